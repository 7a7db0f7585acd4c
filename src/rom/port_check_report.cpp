// SPDX-License-Identifier: GPL-3.0-or-later
#include "rom/port_check_report.h"

#include <cstdio>

#include "rom/info_panel.h"
#include "rom/rom.h"
#include "rom/time_estimate.h"

namespace vexo {
namespace {

// Hosts the device object for its start-up check and remembers whether it
// complained.
class SilentUi final : public IUiServices {
public:
    void RomMessageBox(std::string_view) override { complained = true; }
    void AppMessageBox(std::string_view) override { complained = true; }
    void SetHexCountText(std::string_view) override {}
    std::optional<std::string> ChooseFileToOpen() override { return std::nullopt; }
    bool complained = false;

private:
};

}  // namespace

std::string ProblemFromOpenError(const std::string& error)
{
    const std::size_t split = error.find("; ");
    if (split == std::string::npos) return "problem: " + error + " (check the port description)";
    return "problem: " + error.substr(0, split) + " (" + error.substr(split + 2) + ")";
}

std::vector<std::string> PortTimingLines(IPort& port, std::uint32_t pulseMicros, std::uint32_t reads)
{
    std::vector<std::string> lines;
    const double nanos = MeasureAccessNanos(port, reads);
    char text[128];
    std::snprintf(text, sizeof text, "ok: one port access takes %.3f us (%u status reads)",
                  nanos / 1000.0, unsigned(reads));
    lines.emplace_back(text);
    std::snprintf(text, sizeof text, "time each command takes on this port (pulse pause %u us):",
                  unsigned(pulseMicros));
    lines.emplace_back(text);
    for (std::string& line : FormatTimeTable(nanos, pulseMicros)) lines.push_back("  " + line);
    return lines;
}

void AddModuleLines(PortCheckReport& report, bool answered, const Status& portHealth, IPort& port,
                    std::uint32_t pulseMicros)
{
    report.moduleAnswered = answered && portHealth.ok();
    if (!portHealth) {
        report.lines.push_back("problem: " + portHealth.message() + " (check the port)");
    } else if (answered) {
        report.lines.push_back("ok: a programming module answers on this port");
    } else {
        report.lines.push_back(
            "problem: no programming module answers on this port (check the cable, the module's "
            "power adapter, and that no other program holds the port)");
    }
    for (std::string& line : PortTimingLines(port, pulseMicros)) report.lines.push_back(std::move(line));
}

PortCheckReport RunPortCheck(const std::string& portDescription, PortCheckOptions check,
                        std::uint32_t pulseMicros, const PortOptions& portOptions)
{
    PortCheckReport report;
    const PortBackend* backend = FindPortBackend(portDescription);
    check.direct = backend && backend->directIo;
    for (const CheckLine& line : PortCheckSetupLines(check)) report.lines.push_back(line.Text());

    OpenedPort opened = OpenPort(portDescription, portOptions);
    if (!opened.status) {
        report.lines.push_back(ProblemFromOpenError(opened.status.message()));
        return report;
    }
    if (backend && !backend->connects) {
        report.lines.push_back("problem: the port is 'none' (choose sim, ppdev or direct)");
        return report;
    }
    report.portOpened = true;
    report.lines.push_back("ok: port opened: " + opened.description);

    {
        SilentUi ui;
        CRom rom(*opened.port, ui);  // its start-up module check
        report.moduleAnswered = !ui.complained;
    }
    AddModuleLines(report, report.moduleAnswered, opened.health ? opened.health() : Status::Ok(), *opened.port,
                   pulseMicros);
    return report;
}

}  // namespace vexo
