// SPDX-License-Identifier: GPL-3.0-or-later
// The production steps: `batch`, chip after chip until the operator stops.
#include <cstdio>
#include <optional>
#include <string>

#include "base/hex.h"
#include "base/json.h"
#include "base/numbers.h"
#include "base/stop_request.h"
#include "base/text.h"
#include "cli/cli_ui.h"
#include "cli/steps.h"
#include "commands/production.h"
#include "rom/catalogue.h"
#include "rom/job_file.h"
#include "rom/production_db.h"
#include "session/session.h"

namespace vexo::cli {
namespace {

std::string Option(const Step& step, std::string_view name)
{
    const auto it = step.options.find(name);
    return it == step.options.end() ? std::string() : it->second;
}

// The serial and log options batch and job-save share; `name` is the step's.
Status CheckSerialOptions(std::string_view name, const Step& step)
{
    if (step.options.count("--serial")) {
        auto plan = ParseSerialPlan(Option(step, "--serial"));
        if (!plan) return Status::Fail(Cat({name, " --serial: ", plan.message()}));
    }
    if (step.options.count("--serial") && step.options.count("--serial-list"))
        return Status::Fail(Cat({name, ": --serial and --serial-list exclude each other"}));
    if (step.options.count("--serial-list") != step.options.count("--serial-at"))
        return Status::Fail(Cat({name, ": --serial-list and --serial-at go together"}));
    if (step.options.count("--serial-list") && Option(step, "--serial-list").empty())
        return Status::Fail(Cat({name, " --serial-list needs a file name"}));
    if (step.options.count("--serial-at")) {
        auto plan = ParseSerialAt(Option(step, "--serial-at"));
        if (!plan) return Status::Fail(Cat({name, " --serial-at: ", plan.message()}));
    }
    if (step.options.count("--log") && Option(step, "--log").empty()) return Status::Fail(Cat({name, " --log needs a file name"}));
    return Status::Ok();
}

Status CheckBatch(const Step& step)
{
    if (Status why = CheckSerialOptions("batch", step); !why) return why;
    if (step.options.count("--station") && Option(step, "--station").empty())
        return Status::Fail("batch --station needs a name");
    if (step.options.count("--retries") && !ParseUnsigned(Option(step, "--retries"), kMaxRetries))
        return Status::Fail(Cat({"batch --retries ", Option(step, "--retries"), ": ", RetriesRangeText()}));
    if (step.options.count("--log") && Option(step, "--log").empty()) return Status::Fail("batch --log needs a file name");
    return Status::Ok();
}

// One line from the operator, without its line end and the blanks around
// it; nothing at the end of input (a last line without its line end counts
// as the end).
std::optional<std::string> ReadAnswer(std::FILE* in)
{
    std::string line;
    for (int ch; (ch = std::fgetc(in)) != EOF;) {
        if (ch == '\n') {
            while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
                line.pop_back();
            std::size_t first = 0;
            while (first < line.size() && (line[first] == ' ' || line[first] == '\t')) ++first;
            return line.substr(first);
        }
        if (line.size() < 256) line.push_back(char(ch));
    }
    return std::nullopt;
}

// True when the operator asks for the next chip: an empty line (Enter) only.
// "q", "quit", "stop" and the end of input stop; anything else asks again,
// so that a stray word never starts a chip.
bool WaitForChip(StepContext& c, unsigned number)
{
    c.ui.Note(Cat({"Insert chip ", std::to_string(number), " and press Enter (q to stop)"}));
    for (;;) {
        const std::optional<std::string> answer = ReadAnswer(c.in);
        if (!answer) return false;
        if (answer->empty()) return true;
        for (std::string_view stop : {"q", "quit", "stop"})
            if (SameText(*answer, stop)) return false;
        c.ui.Note("press Enter for the next chip, or q to stop");
    }
}

JsonObject ChipFields(const ChipResult& r)
{
    JsonObject fields;
    fields.Unsigned("chip", r.chip).String("result", r.passed ? "passed" : "failed");
    if (r.serial) fields.Unsigned("serial", *r.serial);
    else fields.Null("serial");
    fields.Unsigned("sum16", r.programmed.sum16).Unsigned("crc32", r.programmed.crc32).Fixed("seconds", r.seconds, 1);
    if (!r.passed) {
        fields.String("failed_step", ProductionStepName(r.failedStep));
        if (r.failedAddress) fields.Unsigned("failed_address", *r.failedAddress);
        if (r.bufferByte) fields.Unsigned("buffer", *r.bufferByte);
        if (r.chipByte) fields.Unsigned("chip_byte", *r.chipByte);
    }
    return fields;
}

bool RunBatch(StepContext& c, const Step& step)
{
    Session::ProductionOptions options;
    if (step.options.count("--serial")) options.serial = *ParseSerialPlan(Option(step, "--serial"));
    if (step.options.count("--serial-at")) options.serial = *ParseSerialAt(Option(step, "--serial-at"));
    options.serialList = Option(step, "--serial-list");
    options.station = Option(step, "--station");
    if (step.options.count("--retries"))
        options.retries = unsigned(*ParseUnsigned(Option(step, "--retries"), kMaxRetries));
    options.skipBlank = step.options.count("--skip-blank") > 0;
    options.logPath = Option(step, "--log");
    options.stopOnPortFault = true;  // reported after the step
    if (Status started = c.session.StartProduction(options); !started) {
        ReportFailure(c, started.message());
        return false;
    }

    bool stoppedEarly = false;
    // A stop request (a signal, a closed standard output) ends the run
    // before the next chip; a chip under way stops at its next byte.
    while (!StopRequested() && WaitForChip(c, c.session.Production()->NextChipNumber()) && !StopRequested()) {
        Result<ChipResult> chip = c.session.ProductionChip();
        if (chip) Emit(c, FormatChipLine(*chip), ChipFields(*chip));
        const RunEnd end = c.session.ProductionEndAfter(chip);
        if (end == RunEnd::NotStarted) ReportFailure(c, chip.message());
        if (end == RunEnd::NotLogged)
            ReportFailure(c, Cat({"batch: ", chip->logged.message(), "; the run stops here"}));
        if (end == RunEnd::NotStarted || end == RunEnd::NotLogged) stoppedEarly = true;
        if (end != RunEnd::None) break;
    }

    const ProductionRun& run = *c.session.Production();
    const bool succeeded = run.Succeeded();
    JsonObject summary;
    summary.Unsigned("chips", run.Chips()).Unsigned("passed", run.Passed()).Unsigned("failed", run.Failed());
    // With standard output gone the summary goes to standard error.
    if (StopReason() != kStopOutputClosed) Emit(c, run.SummaryLine(), summary);
    if (StopReason() == kStopOutputClosed) c.ui.Note(run.SummaryLine());
    if (run.Chips() == 0) c.ui.Note("vexo: batch: no chip was programmed");
    if (Status closed = c.session.StopProduction(); !closed) {
        ReportFailure(c, Cat({"batch: ", closed.message()}));
        return false;
    }
    return succeeded && !stoppedEarly && !StopRequested();
}

Status CheckJobSave(const Step& step)
{
    if (step.args.empty() || step.args[0].empty()) return Status::Fail("job-save needs a file name");
    return CheckSerialOptions("job-save", step);
}

bool RunJobSave(StepContext& c, const Step& step)
{
    Job production;
    production.serial = Option(step, "--serial");
    if (!production.serial.empty()) production.serial = SerialPlanText(*ParseSerialPlan(production.serial));
    production.serialList = Option(step, "--serial-list");
    production.serialAt = Option(step, "--serial-at");
    production.log = Option(step, "--log");
    production.note = Option(step, "--note");
    const std::string& path = step.args[0];
    if (Status saved = c.session.SaveJob(path, production); !saved) {
        ReportFailure(c, saved.message());
        return false;
    }
    auto job = ReadJob(path);
    if (!job) {
        ReportFailure(c, job.message());
        return false;
    }
    JsonObject fields;
    fields.String("file", path).String("image", job->image).String("image_sha256", job->imageSha256)
        .String("device", job->device);
    Emit(c, Cat({"job-save: ", path, ": ", job->image, " sha256 ", job->imageSha256, " ", job->device}), fields);
    return true;
}

Status CheckLogReport(const Step& step)
{
    if (Option(step, "--log").empty()) return Status::Fail("log-report needs --log TARGET");
    if (DatabaseKindOf(Option(step, "--log")) == DatabaseKind::None)
        return Status::Fail(Cat({"log-report --log ", Option(step, "--log"), ": not a database (sqlite:PATH or postgresql://…)"}));
    return Status::Ok();
}

bool RunLogReport(StepContext& c, const Step& step)
{
    auto rows = Session::ReadLogRows(Option(step, "--log"));
    if (!rows) {
        ReportFailure(c, rows.message());
        return false;
    }
    // Under --json the chips' records first, then the summaries.
    if (c.json) {
        for (const ChipRow& row : *rows) {
            const ProductionRecord& r = row.record;
            JsonObject f;
            f.String("kind", "chip").String("time", row.timeText).Unsigned("chip", r.chip)
                .String("device", r.device).String("image", r.image).Unsigned("image_crc32", r.imageCrc32)
                .Bool("image_edited", r.imageEdited);
            if (r.serial) f.Unsigned("serial", *r.serial);
            else f.Null("serial");
            f.Unsigned("sum16", r.sum16).Unsigned("crc32", r.crc32).String("result", r.passed ? "passed" : "failed");
            if (r.passed) f.Null("failed_step");
            else f.String("failed_step", r.failedStep);
            if (r.failedAddress) f.Unsigned("failed_address", *r.failedAddress);
            else f.Null("failed_address");
            f.Fixed("seconds", r.seconds, 1).String("station", row.station);
            if (row.jobSha256.empty()) f.Null("job_sha256");
            else f.String("job_sha256", row.jobSha256);
            char crc[16];
            std::snprintf(crc, sizeof crc, "0x%08X", unsigned(r.crc32));
            Emit(c, Cat({"chip ", std::to_string(r.chip), " ", row.station, " ", r.passed ? "passed" : "failed",
                         r.serial ? ", serial " + std::to_string(*r.serial) : "", ", crc32 ", crc}),
                 f);
        }
    }
    for (const LogSummary& g : SummarizeRows(*rows)) {
        JsonObject f;
        f.String("kind", "summary").String("image", g.image).String("device", g.device).String("station", g.station)
            .Unsigned("chips", g.chips).Unsigned("passed", g.passed).Unsigned("failed", g.failed);
        if (g.hasSerials) f.Unsigned("serial_first", g.firstSerial).Unsigned("serial_last", g.lastSerial);
        else f.Null("serial_first").Null("serial_last");
        Emit(c, g.Line(), f);
    }
    if (rows->empty()) Emit(c, "log-report: no chips recorded", JsonObject().String("kind", "empty"));
    return true;
}

}  // namespace

Status CheckBatchSerials(const std::vector<Step>& steps)
{
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const Step& step = steps[i];
        if (step.def->run != RunBatch || !(step.options.count("--serial") || step.options.count("--serial-at")))
            continue;
        const Result<SerialPlan> plan = step.options.count("--serial") ? ParseSerialPlan(Option(step, "--serial"))
                                                                      : ParseSerialAt(Option(step, "--serial-at"));
        if (!plan) continue;  // the step's own check says why
        const DeviceInfo& device = kDevices[std::size_t(DeviceAt(steps, i))];
        if (Status within = CheckSerialWithin(*plan, device.Size(), device.name); !within)
            return Status::Fail(Cat({"batch --serial: ", within.message()}));
    }
    return Status::Ok();
}

void AddProductionSteps(std::vector<StepDef>& table)
{
    table.push_back({"batch", "",
                     "production run: chip after chip (Enter; q stops), each with its serial and a log record",
                     0,
                     {{"--serial", "ADDR:WIDTH:START[:STEP[:FORMAT]]"},
                      {"--serial-list", "FILE.csv"},
                      {"--serial-at", "ADDR:WIDTH[:FORMAT]"},
                      {"--log", "FILE|sqlite:PATH|postgresql://..."},
                      {"--station", "NAME"},
                      {"--retries", "N"},
                      {"--skip-blank", ""}},
                     CheckBatch,
                     RunBatch});
    table.push_back({"job-save", "FILE",
                     "write a job file: the loaded image's name and SHA-256, device, speed and settings",
                     1,
                     {{"--serial", "ADDR:WIDTH:START[:STEP[:FORMAT]]"},
                      {"--serial-list", "FILE.csv"},
                      {"--serial-at", "ADDR:WIDTH[:FORMAT]"},
                      {"--log", "TARGET"},
                      {"--note", "TEXT"}},
                     CheckJobSave,
                     RunJobSave});
    table.push_back({"log-report", "",
                     "summary of a database log per image, device and station (--log TARGET)",
                     0,
                     {{"--log", "TARGET"}},
                     CheckLogReport,
                     RunLogReport});
}

}  // namespace vexo::cli
