// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/job_options.h"

#include <filesystem>

#include "base/numbers.h"
#include "base/text.h"
#include "rom/catalogue.h"
#include "rom/serial_number.h"
#include "session/session.h"

namespace vexo::cli {
namespace {

Status Says(std::string_view given, const std::string& jobPath, std::string_view what)
{
    return Status::Fail(Cat({given, " contradicts job ", jobPath, " (", what, ")"}));
}

bool SameDevice(const std::string& a, const std::string& b)
{
    const auto pa = Session::LookUpPart(a), pb = Session::LookUpPart(b);
    return pa && pb ? pa->device == pb->device : SameText(a, b);
}

bool SameFile(const std::string& a, const std::string& b)
{
    if (a == b) return true;
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec) && !ec;
}

bool SamePlan(const std::string& a, const std::string& b, bool at)
{
    const auto pa = at ? ParseSerialAt(a) : ParseSerialPlan(a);
    const auto pb = at ? ParseSerialAt(b) : ParseSerialPlan(b);
    return pa && pb ? SerialPlanText(*pa) == SerialPlanText(*pb) : a == b;
}

}  // namespace

Status JobContradiction(const Job& job, const std::string& jobPath, const std::string& device,
                             const std::string& speed, const std::string& retries, const std::string& pulseMicros,
                             bool skipBlank)
{
    if (!device.empty() && !SameDevice(device, job.device))
        return Says(Cat({"--device ", device}), jobPath, "device " + job.device);
    if (!speed.empty()) {
        const auto a = FindSpeed(speed), b = FindSpeed(job.speed.empty() ? "Normal" : job.speed);
        if (a != b) return Says(Cat({"--speed ", speed}), jobPath, "speed " + (job.speed.empty() ? "Normal" : job.speed));
    }
    if (!retries.empty() && ParseUnsigned(retries) != std::optional<std::uint64_t>(job.retries))
        return Says(Cat({"--retries ", retries}), jobPath, "retries " + std::to_string(job.retries));
    if (!pulseMicros.empty() && ParseUnsigned(pulseMicros) != std::optional<std::uint64_t>(job.pulseMicros))
        return Says(Cat({"--pulse-us ", pulseMicros}), jobPath, "pulse_us " + std::to_string(job.pulseMicros));
    if (skipBlank && !job.skipBlank) return Says("--skip-blank", jobPath, "skip_blank false");
    return Status::Ok();
}

Status ApplyJobToSteps(const Job& job, const std::string& jobPath, std::vector<Step>* steps)
{
    const std::string list = job.serialList.empty() ? std::string() : JobRelativeTo(jobPath, job.serialList);
    for (Step& step : *steps) {
        const std::string_view name = step.def->name;
        if (name == "device" && !step.args.empty() && !SameDevice(step.args[0], job.device))
            return Says(Cat({"device ", step.args[0]}), jobPath, "device " + job.device);
        if (name == "speed" && !step.args.empty() &&
            FindSpeed(step.args[0]) != FindSpeed(job.speed.empty() ? "Normal" : job.speed))
            return Says(Cat({"speed ", step.args[0]}), jobPath, "speed " + job.speed);
        if (name != "batch") continue;

        const auto given = [&](std::string_view option) -> const std::string* {
            const auto it = step.options.find(option);
            return it == step.options.end() ? nullptr : &it->second;
        };
        const auto none = [](const std::string& v) { return v.empty() ? std::string("none") : v; };
        if (const std::string* v = given("--serial"); v && (job.serial.empty() || !SamePlan(*v, job.serial, false)))
            return Says(Cat({"batch --serial ", *v}), jobPath, "serial " + none(job.serial));
        if (const std::string* v = given("--serial-list"); v && (list.empty() || !SameFile(*v, list)))
            return Says(Cat({"batch --serial-list ", *v}), jobPath, "serial_list " + none(job.serialList));
        if (const std::string* v = given("--serial-at"); v && (job.serialAt.empty() || !SamePlan(*v, job.serialAt, true)))
            return Says(Cat({"batch --serial-at ", *v}), jobPath, "serial_at " + none(job.serialAt));
        if (const std::string* v = given("--log"); v && *v != job.log)
            return Says(Cat({"batch --log ", *v}), jobPath, "log " + none(job.log));
        if (const std::string* v = given("--retries");
            v && ParseUnsigned(*v) != std::optional<std::uint64_t>(job.retries))
            return Says(Cat({"batch --retries ", *v}), jobPath, "retries " + std::to_string(job.retries));
        if (given("--skip-blank") && !job.skipBlank) return Says("batch --skip-blank", jobPath, "skip_blank false");

        if (!job.serial.empty()) step.options["--serial"] = job.serial;
        if (!list.empty()) {
            step.options["--serial-list"] = list;
            step.options["--serial-at"] = job.serialAt;
        }
        if (!job.log.empty()) step.options["--log"] = job.log;
    }
    return Status::Ok();
}

}  // namespace vexo::cli
