// SPDX-License-Identifier: GPL-3.0-or-later
// The diagnosis steps: compare the chip with the buffer, check it is erased.
#include <cstddef>
#include <cstdio>
#include <string>

#include "base/numbers.h"
#include "base/text.h"
#include "cli/steps.h"
#include "rom/diagnosis.h"
#include "session/session.h"

namespace vexo::cli {
namespace {

// Lines cap: --max-diffs, or the default when not given. Checked before the run.
std::size_t MaxDiffs(const Step& step)
{
    const auto given = step.options.find("--max-diffs");
    if (given == step.options.end()) return kDefaultMaxDiffs;
    return std::size_t(ParseUnsigned(given->second, 0xFFFFFFFFu).value_or(kDefaultMaxDiffs));
}

std::string CheckMaxDiffs(const Step& step)
{
    const auto given = step.options.find("--max-diffs");
    if (given != step.options.end() && !ParseUnsigned(given->second, 0xFFFFFFFFu))
        return Cat({"--max-diffs takes a number of lines (0 for all), not '", given->second, "'"});
    return {};
}

std::string CheckCompare(const Step& step)
{
    if (std::string problem = CheckMaxDiffs(step); !problem.empty()) return problem;
    const auto csv = step.options.find("--csv");
    if (csv != step.options.end() && csv->second.empty()) return "--csv needs a file name";
    return {};
}

bool RunCompare(StepContext& c, const Step& step)
{
    const Result<CompareReport> report = c.session.CompareChip();
    if (!report) {
        Emit(c, report.message());
        c.error = report.message();
        return false;
    }
    for (const std::string& line : CompareLines(*report, MaxDiffs(step))) Emit(c, line);
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
    for (const std::string& line : EraseCheckLines(*report, MaxDiffs(step))) Emit(c, line);
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
