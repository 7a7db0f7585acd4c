// SPDX-License-Identifier: GPL-3.0-or-later
// The real port steps: the port check and the line test.
#include <unistd.h>

#include <string_view>
#include <utility>

#include "base/json.h"
#include "cli/cli_ui.h"
#include "cli/lines.h"
#include "cli/steps.h"
#include "session/session.h"

namespace vexo::cli {
namespace {

// The check a doctor line reports on, as a record's "check".
std::string_view CheckKey(std::string_view detail)
{
    static constexpr std::pair<std::string_view, std::string_view> kKeys[] = {
        {"port opened", "port_open"},       {"cannot open", "port_open"},
        {"module answers", "module"},       {"no module", "module"},
        {"module stopped", "module"},       {"port access", "access_time"},
        {"parallel port", "parallel_port"}, {"parport_pc", "module_parport_pc"},
        {"ppdev", "module_ppdev"},          {"/dev/parport", "device_node"},
        {"printer driver", "printer_driver"}, {"/proc/ioports", "ioports"},
    };
    for (const auto& [words, key] : kKeys)
        if (detail.find(words) != std::string_view::npos) return key;
    return "other";
}

// "ok: X (note)" and "problem: X (fix)" as {"check","ok","detail","fix"};
// the time table's lines as lines.
void EmitDoctorLine(StepContext& c, const std::string& line)
{
    const bool ok = line.rfind("ok: ", 0) == 0;
    const bool problem = line.rfind("problem: ", 0) == 0;
    if (!c.json || (!ok && !problem)) {
        Emit(c, line);
        return;
    }
    std::string detail = line.substr(ok ? 4 : 9);
    std::string fix;
    if (problem && !detail.empty() && detail.back() == ')') {
        // The fix is the last parenthesis that opens at the top level.
        int depth = 0;
        for (std::size_t i = detail.size(); i-- > 0;) {
            if (detail[i] == ')') ++depth;
            if (detail[i] == '(' && --depth == 0) {
                fix = detail.substr(i + 1, detail.size() - i - 2);
                detail = detail.substr(0, i > 0 && detail[i - 1] == ' ' ? i - 1 : i);
                break;
            }
        }
    }
    JsonObject fields;
    fields.String("check", CheckKey(detail)).Bool("ok", ok).String("detail", detail);
    if (fix.empty()) fields.Null("fix");
    else fields.String("fix", fix);
    fields.String("text", line);
    EmitFields(c, line, fields);
}

bool RunPortCheckStep(StepContext& c, const Step&)
{
    const PortCheckReport report = c.session.RunPortCheck();
    for (const std::string& line : report.lines) EmitDoctorLine(c, line);
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
                     0, {}, NoCheck, RunPortCheckStep});
    table.push_back({"lines", "", "line test at a terminal: one output line at a time (take the EPROM out)",
                     0, {}, NoCheck, RunLines});
}

}  // namespace vexo::cli
