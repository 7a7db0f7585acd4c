// SPDX-License-Identifier: GPL-3.0-or-later
// The dump steps: read and save over several passes, inspect, identify.
#include <cstdio>
#include <string>
#include <vector>

#include "base/numbers.h"
#include "base/text.h"
#include "cli/run.h"
#include "cli/step_files.h"
#include "cli/steps.h"
#include "rom/buffer_ops.h"
#include "rom/diagnosis.h"
#include "session/session.h"

namespace vexo::cli {
namespace {

unsigned Passes(const Step& step)
{
    const auto given = step.options.find("--passes");
    if (given == step.options.end()) return 1;
    return unsigned(ParseUnsigned(given->second, kMaxReadPasses).value_or(1));
}

void EmitLines(StepContext& c, const std::vector<ReportLine>& lines)
{
    for (const ReportLine& line : lines) Emit(c, line.text, line.fields);
}

// After a read of more than one pass: the vote's lines.
bool ReportVote(StepContext& c, const Step& step, bool done)
{
    const ReadVote& vote = c.session.LastReadVote();
    if (vote.passes <= 1) return done;  // the read stopped before its other passes
    EmitLines(c, ReadVoteLines(vote, MaxDiffs(step), step.def->name));
    return done;
}

// --- inspect ---

Status CheckInspect(const Step& step)
{
    const auto range = step.options.find("--range");
    if (range == step.options.end()) return Status::Ok();
    const std::size_t space = range->second.find(' ');
    for (const std::string& word : {range->second.substr(0, space), range->second.substr(space + 1)})
        if (!ParseUnsigned(word, UINT32_MAX))
            return Status::Fail(Cat({"'inspect --range': '", word, "' is not an address (decimal or 0x hex)"}));
    return Status::Ok();
}

bool RunInspect(StepContext& c, const Step& step)
{
    std::optional<BufferRange> range;
    if (const auto option = step.options.find("--range"); option != step.options.end()) {
        const std::size_t space = option->second.find(' ');
        // Checked as numbers before the run.
        range = BufferRange{std::uint32_t(ParseUnsigned(option->second.substr(0, space), UINT32_MAX).value_or(0)),
                            std::uint32_t(ParseUnsigned(option->second.substr(space + 1), UINT32_MAX).value_or(0))};
    }
    const Result<InspectReport> report = c.session.Inspect(range);
    if (!report) {
        ReportFailure(c, report.message());
        return false;
    }
    EmitLines(c, InspectLines(*report));
    return true;
}

// --- identify ---

std::vector<std::string> DatPaths(const Step& step)
{
    std::vector<std::string> paths;
    const auto given = step.options.find("--dat");
    if (given == step.options.end()) return paths;
    std::string_view rest = given->second;
    while (true) {
        const std::size_t end = rest.find('\n');
        paths.emplace_back(rest.substr(0, end));
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end + 1);
    }
    return paths;
}

Status CheckIdentify(const Step& step)
{
    const std::vector<std::string> paths = DatPaths(step);
    if (paths.empty()) return Status::Fail("'identify' needs --dat PATH (a DAT file or a folder of them)");
    for (const std::string& path : paths)
        if (path.empty()) return Status::Fail("--dat needs a file or folder name");
    return Status::Ok();
}

bool RunIdentify(StepContext& c, const Step& step)
{
    const IdentifyReport report = c.session.Identify(DatPaths(step));
    EmitLines(c, IdentifyLines(report));
    for (const std::string& problem : report.problems) ReportFailure(c, Cat({"identify: ", problem}));
    if (!report.problems.empty()) {
        c.exitStatus = kExitUsage;
        return false;
    }
    return !report.matches.empty();
}

}  // namespace

Status CheckReadPasses(const Step& step)
{
    if (const auto given = step.options.find("--passes"); given != step.options.end()) {
        const auto n = ParseUnsigned(given->second, kMaxReadPasses);
        if (!n || *n < 2)
            return Status::Fail(Cat({"--passes takes a number of passes from 2 to ", std::to_string(kMaxReadPasses), ", not '",
                        given->second, "'"}));
    }
    return CheckMaxDiffs(step);
}

bool RunReadPasses(StepContext& c, const Step& step)
{
    const unsigned passes = Passes(step);
    if (passes <= 1) return c.session.ReadRom();
    return ReportVote(c, step, c.session.ReadRom(passes));
}

bool RunSavePasses(StepContext& c, const Step& step)
{
    const unsigned passes = Passes(step);
    if (passes <= 1) return c.session.SaveChip(step.args[0], StepFormat(step));
    return ReportVote(c, step, c.session.SaveChip(step.args[0], passes, StepFormat(step)));
}

void AddDumpSteps(std::vector<StepDef>& table)
{
    table.push_back({"inspect", "", "look at the buffer for the signs of a bad read (stuck bits, dead address lines, "
                                    "repeats, blank runs)",
                     0, {{"--range", "START END"}}, CheckInspect, RunInspect});
    table.push_back({"identify", "", "match the buffer against DAT files or folders of them (--dat again for more)", 0,
                     {{"--dat", "PATH", true}}, CheckIdentify, RunIdentify});
}

}  // namespace vexo::cli
