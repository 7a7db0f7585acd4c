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
#include "session/session.h"

namespace vexo::cli {
namespace {

std::string Option(const Step& step, std::string_view name)
{
    const auto it = step.options.find(name);
    return it == step.options.end() ? std::string() : it->second;
}

std::string CheckBatch(const Step& step)
{
    if (step.options.count("--serial")) {
        auto plan = ParseSerialPlan(Option(step, "--serial"));
        if (!plan) return Cat({"batch --serial: ", plan.message()});
    }
    if (step.options.count("--retries") && !ParseUnsigned(Option(step, "--retries"), kMaxRetries))
        return Cat({"batch --retries ", Option(step, "--retries"), ": ", RetriesRangeText()});
    if (step.options.count("--log") && Option(step, "--log").empty()) return "batch --log needs a file name";
    return {};
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

}  // namespace

std::string CheckBatchSerials(const std::vector<Step>& steps)
{
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const Step& step = steps[i];
        if (step.def->run != RunBatch || !step.options.count("--serial")) continue;
        const Result<SerialPlan> plan = ParseSerialPlan(Option(step, "--serial"));
        if (!plan) continue;  // the step's own check says why
        const DeviceInfo& device = kDevices[std::size_t(DeviceAt(steps, i))];
        if (Status within = CheckSerialWithin(*plan, device.Size(), device.name); !within)
            return Cat({"batch --serial: ", within.message()});
    }
    return {};
}

void AddProductionSteps(std::vector<StepDef>& table)
{
    table.push_back({"batch", "",
                     "production run: chip after chip (Enter; q stops), each with its serial and a log record",
                     0,
                     {{"--serial", "ADDR:WIDTH:START[:STEP[:FORMAT]]"},
                      {"--log", "FILE"},
                      {"--retries", "N"},
                      {"--skip-blank", ""}},
                     CheckBatch,
                     RunBatch});
}

}  // namespace vexo::cli
