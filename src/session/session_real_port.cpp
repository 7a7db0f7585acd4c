// SPDX-License-Identifier: GPL-3.0-or-later
// The session's real port actions: the port check, part numbers, what the
// line test may drive.
#include "session/session.h"

#include "base/text.h"
#include "rom/catalogue.h"

namespace vexo {

PortCheckReport Session::RunPortCheck()
{
    PortCheckOptions check;
    check.user = UserIdentity::Current();
    return RunPortCheck(std::move(check));
}

PortCheckReport Session::RunPortCheck(PortCheckOptions check)
{
    PortCheckReport report;
    const PortBackend* backend = FindPortBackend(m_portText);
    check.direct = backend && backend->directIo;
    for (const CheckLine& line : PortCheckSetupLines(check)) report.lines.push_back(line.Text());

    if (!m_report.opened || !m_port) {
        report.lines.push_back(ProblemFromOpenError(m_report.openStatus.ok() ? "the port did not open"
                                                                             : m_report.openStatus.message()));
        return report;
    }
    if (backend && !backend->connects) {
        report.lines.push_back("problem: the port is 'none' (choose sim, ppdev or direct)");
        return report;
    }
    report.portOpened = true;
    std::string opened = "ok: port opened: " + m_report.description;
    if (m_report.simulated)
        opened += " (the simulator: give --port ppdev or --port direct to check a real port)";
    report.lines.push_back(std::move(opened));

    if (!m_rom) Start();
    // The module check's own sequence and nothing else.
    const bool answered = m_rom->ModulePresent();
    AddModuleLines(report, answered, PortHealth(), *m_port, m_settings.pulseMicros);
    return report;
}

PortCheckReport Session::CheckPortInWindow()
{
    PortCheckReport report = RunPortCheck();
    if (!m_report.simulated) return report;
    // The set-up lines come first, up to the port's own line.
    const std::string opened = "ok: port opened: ";
    std::vector<std::string> lines{
        "ok: the machine's checks (parallel port drivers, /dev/parport*, /proc/ioports) do not apply to a "
        "simulated module"};
    bool port = false;
    for (std::string& line : report.lines) {
        if (line.starts_with(opened)) {
            port = true;
            line = Cat({opened, m_report.description,
                        " (the simulator: to check a real port, choose it in the Ports dialog and run Port Check "
                        "again)"});
        }
        if (port) lines.push_back(std::move(line));
    }
    report.lines = std::move(lines);
    return report;
}

Result<PartInfo> Session::LookUpPart(std::string_view part)
{
    // The five type names themselves, as the device dialog lists them.
    if (const std::optional<int> device = FindDevice(part))
        return PartInfo{*device, std::string(kDevices[std::size_t(*device)].name), {}};
    if (std::optional<PartInfo> found = FindPart(part)) return std::move(*found);
    return Status::Fail(UnknownPartMessage(part));
}

Result<PartInfo> Session::SelectPart(std::string_view part)
{
    Result<PartInfo> found = LookUpPart(part);
    if (!found) return found;
    SelectDevice(found->device);
    if (const std::string note = PartNote(*found); !note.empty()) m_ui.Note(note);
    return found;
}

std::string Session::PartNote(const PartInfo& part)
{
    return part.note.empty() ? std::string() : Cat({part.family, ": ", part.note});
}

bool Session::LineTestCanDriveBit4() const
{
    const PortBackend* backend = FindPortBackend(m_portText);
    return !backend || backend->drivesControlBit4;
}

}  // namespace vexo
