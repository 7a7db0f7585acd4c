// SPDX-License-Identifier: GPL-3.0-or-later
// The diagnosis steps: compare the chip with the buffer, check it is erased.
#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <string>

#include "base/json.h"
#include "base/numbers.h"
#include "base/text.h"
#include "cli/steps.h"
#include "rom/diagnosis.h"
#include "session/session.h"

namespace vexo::cli {
namespace {

Status CheckCompare(const Step& step)
{
    if (Status problem = CheckMaxDiffs(step); !problem) return problem;
    const auto csv = step.options.find("--csv");
    if (csv != step.options.end() && csv->second.empty()) return Status::Fail("--csv needs a file name");
    return Status::Ok();
}

std::string_view KindKey(DiffKind kind)
{
    switch (kind) {
    case DiffKind::NeedsProgramming: return "needs_programming";
    case DiffKind::NeedsErasing: return "needs_erasing";
    case DiffKind::NeedsBoth: break;
    }
    return "needs_both";
}

// The lines as CompareLines makes them; under --json each with its data:
// a byte, the cut, the summary, each finding.
void EmitCompare(StepContext& c, const CompareReport& report, std::size_t maxDiffs)
{
    const std::vector<std::string> lines = CompareLines(report, maxDiffs);
    std::size_t at = 0;
    const std::size_t shown = maxDiffs == 0 ? report.diffs.size() : std::min(report.diffs.size(), maxDiffs);
    for (; at < shown; ++at) {
        const ByteDiff& d = report.diffs[at];
        JsonObject fields;
        fields.Unsigned("address", d.address).Unsigned("buffer", d.buffer).Unsigned("chip", d.chip)
            .String("kind", KindKey(d.kind));
        Emit(c, lines[at], fields);
    }
    if (shown < report.diffs.size()) Emit(c, lines[at++], JsonObject().Unsigned("more", report.diffs.size() - shown));
    JsonObject summary;
    summary.Unsigned("range_start", 0)
        .Unsigned("range_end", report.size ? report.size - 1 : 0)
        .Unsigned("differ", report.diffs.size())
        .Unsigned("need_programming", report.needProgramming)
        .Unsigned("need_erasing", report.needErasing);
    Emit(c, lines[at++], summary);
    for (std::size_t k = 0; k < report.found.size() && at < lines.size(); ++k, ++at) {
        const Finding& f = report.found[k];
        JsonObject fields;
        switch (f.kind) {
        case Finding::Kind::DataLineStuck:
            fields.String("finding", "data_line_stuck")
                .String("line", Cat({"D", std::to_string(f.line)}))
                .Unsigned("level", f.value);
            break;
        case Finding::Kind::AddressLineDead:
            fields.String("finding", "address_line_dead").String("line", Cat({"A", std::to_string(f.line)}));
            break;
        case Finding::Kind::OneValue:
            fields.String("finding", "chip_reads_one_value").Unsigned("value", f.value);
            break;
        case Finding::Kind::DifferentImage:
            fields.String("finding", "different_image");
            break;
        }
        fields.String("text", lines[at]);
        EmitFields(c, lines[at], fields);
    }
}

void EmitEraseCheck(StepContext& c, const EraseReport& report, std::size_t maxDiffs)
{
    const std::vector<std::string> lines = EraseCheckLines(report, maxDiffs);
    std::size_t at = 0;
    const std::size_t shown = maxDiffs == 0 ? report.bytes.size() : std::min(report.bytes.size(), maxDiffs);
    for (; at < shown; ++at)
        Emit(c, lines[at],
             JsonObject().Unsigned("address", report.bytes[at].address).Unsigned("chip", report.bytes[at].chip));
    if (shown < report.bytes.size()) Emit(c, lines[at++], JsonObject().Unsigned("more", report.bytes.size() - shown));
    JsonObject summary;
    summary.Unsigned("size", report.size).Unsigned("programmed", report.bytes.size()).Unsigned("bits", report.bits);
    if (!report.Erased())
        summary.Unsigned("first", report.bytes.front().address).Unsigned("last", report.bytes.back().address);
    Emit(c, lines[at], summary);
}

bool RunCompare(StepContext& c, const Step& step)
{
    const Result<CompareReport> report = c.session.CompareChip();
    if (!report) {
        Emit(c, report.message());
        c.error = report.message();
        return false;
    }
    EmitCompare(c, *report, MaxDiffs(step));
    if (const auto csv = step.options.find("--csv"); csv != step.options.end()) {
        if (const Status written = WriteCompareCsv(csv->second, *report); !written) {
            ReportFailure(c, Cat({"compare: ", written.message()}));
            return false;
        }
    }
    return report->Matches();
}

bool RunEraseCheck(StepContext& c, const Step& step)
{
    const Result<EraseReport> report = c.session.CheckErased();
    if (!report) {
        Emit(c, report.message());
        c.error = report.message();
        return false;
    }
    EmitEraseCheck(c, *report, MaxDiffs(step));
    return report->Erased();
}

}  // namespace

void AddDiagnosisSteps(std::vector<StepDef>& table)
{
    table.push_back({"compare", "", "read the device and compare it with the buffer, byte by byte", 0,
                     {{"--max-diffs", "N"}, {"--csv", "FILE"}}, CheckCompare, RunCompare});
    table.push_back({"erase-check", "", "read the device and list what is still programmed", 0,
                     {{"--max-diffs", "N"}}, CheckMaxDiffs, RunEraseCheck});
}

}  // namespace vexo::cli
