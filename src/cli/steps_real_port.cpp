// SPDX-License-Identifier: GPL-3.0-or-later
// The real port steps: the port check and the line test.
#include <unistd.h>

#include "cli/cli_ui.h"
#include "cli/lines.h"
#include "cli/steps.h"
#include "session/session.h"

namespace vexo::cli {
namespace {

std::string NoCheck(const Step&) { return {}; }

bool RunDoctor(StepContext& c, const Step&)
{
    const PortCheckReport report = c.session.CheckPort();
    for (const std::string& line : report.lines) Emit(c, line);
    return report.ExitStatus() == 0;
}

bool RunLines(StepContext& c, const Step&)
{
    c.ui.EndPass();
    IPort* port = c.session.PortInUse();
    if (!port) return false;
    if (!isatty(STDIN_FILENO)) {
        ReportFailure(c, kLineTestNeedsTerminal);
        return false;
    }
    // The test's screen is for the operator: under --json it goes to
    // standard error, which keeps standard output to records.
    return RunLineTest(*port, c.session.LineTestCanDriveBit4(), STDIN_FILENO, c.json ? c.err : c.out,
                       c.err, &c.stoppedAt) == 0;
}

}  // namespace

void AddRealPortSteps(std::vector<StepDef>& table)
{
    table.push_back({"doctor", "", "port check: the machine's set-up, the port, the module, the time table",
                     0, {}, NoCheck, RunDoctor});
    table.push_back({"lines", "", "line test at a terminal: one output line at a time (take the EPROM out)",
                     0, {}, NoCheck, RunLines});
}

}  // namespace vexo::cli
