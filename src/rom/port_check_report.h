// SPDX-License-Identifier: GPL-3.0-or-later
// The whole port check as an operator runs it: the machine's set-up, then
// the chosen port opened, the module asked, one access timed and the time
// each command would take on that port.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "port/port.h"
#include "port/port_check.h"
#include "port/port_open.h"

namespace vexo {

struct PortCheckReport {
    std::vector<std::string> lines;  // "ok: ...", "problem: ... (fix)", then the table
    bool portOpened = false;
    bool moduleAnswered = false;
    // 0 when the port opened and a module answered, else 1.
    int ExitStatus() const { return portOpened && moduleAnswered ? 0 : 1; }
};

// "cannot open X: reason; fix" as the report's "problem: cannot open X:
// reason (fix)" line.
std::string ProblemFromOpenError(const std::string& error);

// The timing part alone, for a port that is already open: the access time
// over `reads` status reads, then the time table at `pulseMicros`.
std::vector<std::string> PortTimingLines(IPort& port, std::uint32_t pulseMicros,
                                         std::uint32_t reads = 5000);

// The module's line (it answers, it does not, or the port stopped
// answering: `portHealth` failed), then the time table on `port`.
void AddModuleLines(PortCheckReport& report, bool answered, const Status& portHealth, IPort& port,
                    std::uint32_t pulseMicros);

// Checks the machine (`check.direct` is set from the description), opens
// `portDescription`, runs the module check's own sequence on it (the one the
// program sends at start: control 0x04, data 0x00, a status read) and, with
// the port open, adds the timing lines. Nothing else is written to the port.
// The check runs a device object's start-up on the port, so the line shadows
// afterwards are those of a fresh start, as on the wire.
PortCheckReport RunPortCheck(const std::string& portDescription, PortCheckOptions check,
                        std::uint32_t pulseMicros, const PortOptions& portOptions = {});

}  // namespace vexo
