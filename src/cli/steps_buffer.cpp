// SPDX-License-Identifier: GPL-3.0-or-later
// The buffer steps: fill, patch, swap, split, merge, load-at, repeat, export.
// The numbers' form is checked before the run (a usage error); whether a
// range fits the buffer is the operation's own refusal, at its turn.
#include "base/hex.h"
#include "base/numbers.h"
#include "base/text.h"
#include "cli/step_files.h"
#include "cli/steps.h"
#include "rom/buffer_ops.h"
#include "session/session.h"

namespace vexo::cli {
namespace {

// Ends the step: its line on success, its reason on standard error otherwise.
bool ReportStep(StepContext& c, const Status& status, std::string_view line)
{
    if (!status) {
        ReportFailure(c, Cat({c.step, ": ", status.message()}));
        return false;
    }
    Emit(c, line);
    return true;
}

bool IsNumber(const std::string& text) { return ParseUnsigned(text, UINT32_MAX).has_value(); }

Status CheckAddresses(const Step& step, std::size_t count)
{
    for (std::size_t i = 0; i < count && i < step.args.size(); ++i)
        if (!IsNumber(step.args[i]))
            return Status::Fail(Cat({"'", step.def->name, "': '", step.args[i],
                        "' is not an address (decimal or 0x hex)"}));
    return Status::Ok();
}

Status CheckBytes(const Step& step, std::size_t from)
{
    for (std::size_t i = from; i < step.args.size(); ++i)
        if (!ParseUnsigned(step.args[i], 0xFF))
            return Status::Fail(Cat({"'", step.def->name, "': '", step.args[i], "' is not a byte (0 to 0xFF)"}));
    return Status::Ok();
}

Status CheckFill(const Step& step)
{
    if (Status problem = CheckAddresses(step, 2); !problem) return problem;
    return CheckBytes(step, 2);
}

bool RunFill(StepContext& c, const Step& step)
{
    const Result<FillArgs> a = ParseFillArgs(step.args);
    if (!a) return ReportStep(c, Status::Fail(a.message()), {});
    return ReportStep(c, c.session.FillBuffer(a->range, a->value),
                  Cat({"filled ", HexBuf0x(a->range.first), "-", HexBuf0x(a->range.last), " with ",
                       HexByte0x(a->value)}));
}

Status CheckPatch(const Step& step)
{
    if (Status problem = CheckAddresses(step, 1); !problem) return problem;
    return CheckBytes(step, 1);
}

bool RunPatch(StepContext& c, const Step& step)
{
    const Result<PatchArgs> a = ParsePatchArgs(step.args);
    if (!a) return ReportStep(c, Status::Fail(a.message()), {});
    return ReportStep(c, c.session.PatchBuffer(a->address, a->bytes),
                  Cat({"patched ", Count(a->bytes.size(), "byte", "bytes"), " at ", HexBuf0x(a->address)}));
}

bool RunSwap(StepContext& c, const Step&)
{
    const BufferRange range = c.session.DeviceRange();
    return ReportStep(c, c.session.SwapBufferBytes(),
                  Cat({"swapped the bytes of ", HexBuf0x(range.first), "-", HexBuf0x(range.last)}));
}

bool RunRepeat(StepContext& c, const Step&)
{
    const BufferRange range = c.session.DeviceRange();
    return ReportStep(c, c.session.RepeatToDevice(),
                  Cat({"repeated the image over ", HexBuf0x(range.first), "-", HexBuf0x(range.last)}));
}

Status CheckFiles(const Step& step)
{
    if (Status problem = CheckFormatOptions(step); !problem) return problem;
    if (Status s = CheckSplitFiles(step.args); !s)
        return Status::Fail(Cat({"'", step.def->name, "' takes FILE0 FILE1 [FILE2 FILE3]: ", s.message()}));
    return Status::Ok();
}

std::string JoinFiles(const Step& step)
{
    std::string text;
    for (const std::string& f : step.args) text += (text.empty() ? "" : " ") + f;
    return text;
}

bool RunSplit(StepContext& c, const Step& step)
{
    return ReportStep(c, c.session.SplitImage(step.args), Cat({"split into ", JoinFiles(step)}));
}

bool RunMerge(StepContext& c, const Step& step)
{
    return ReportStep(c, c.session.MergeFiles(step.args, StepFormat(step)), Cat({"merged ", JoinFiles(step)}));
}

Status CheckLoadAt(const Step& step)
{
    if (Status problem = CheckAddresses(step, 1); !problem) return problem;
    return CheckFormatOptions(step);
}

bool RunLoadAt(StepContext& c, const Step& step)
{
    const Result<LoadAtArgs> a = ParseLoadAtArgs(step.args);
    if (!a) return ReportStep(c, Status::Fail(a.message()), {});
    return ReportStep(c, c.session.LoadAt(a->offset, a->file, StepFormat(step)),
                      Cat({"loaded ", a->file, " at ", HexBuf0x(a->offset)}));
}

bool RunExport(StepContext& c, const Step& step)
{
    const BufferRange range = c.session.DeviceRange();
    return ReportStep(c, c.session.ExportDevice(step.args[0], StepFormat(step)),
                      Cat({"exported ", HexBuf0x(range.first), "-", HexBuf0x(range.last), " to ", step.args[0]}));
}

}  // namespace

void AddBufferSteps(std::vector<StepDef>& table)
{
    table.push_back({"fill", "START END BYTE", "set the buffer from START to END (inclusive) to BYTE", 3,
                     {}, CheckFill, RunFill});
    table.push_back({"patch", "ADDR BYTE...", "set the buffer's bytes from ADDR on", 2, {}, CheckPatch,
                     RunPatch, -1});
    table.push_back({"swap", "", "swap the bytes of each 16-bit word of the device's range", 0, {},
                     NoCheck, RunSwap});
    table.push_back({"split", "FILE0 FILE1 [FILE2 FILE3]",
                     "write the image's even and odd bytes (or every fourth) to the files", 2, {},
                     CheckFiles, RunSplit, 2});
    table.push_back({"merge", "FILE0 FILE1 [FILE2 FILE3]",
                     "interleave the files into the buffer from 0 (a load)", 2, {kFormatOption}, CheckFiles,
                     RunMerge, 2});
    table.push_back({"load-at", "OFFSET FILE", "load FILE at a buffer offset, the rest as it is", 2,
                     {kFormatOption}, CheckLoadAt, RunLoadAt});
    table.push_back({"repeat", "", "fill the device's range with copies of the loaded image", 0, {},
                     NoCheck, RunRepeat});
    table.push_back({"export", "FILE", "save the buffer's device range to FILE (no chip read)", 1,
                     {kFormatOption}, CheckFormatOptions, RunExport});
}

}  // namespace vexo::cli
