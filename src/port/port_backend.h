// SPDX-License-Identifier: GPL-3.0-or-later
// A port backend's row: what --port calls it, how the help shows it, what
// the port can do, and how its description is read and opened. Each backend
// defines its row in its own file; port_open.cpp only lists the rows.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "base/error.h"
#include "port/port.h"

namespace vexo {

struct PpdevCalls;
struct DirectCalls;

struct PortOptions {
    // Size of a simulated chip that has no file yet: the selected device's.
    std::uint32_t defaultChipSize = 0x8000;
    // Where the kernel lists the I/O ranges that `direct` is checked against.
    std::string ioportsPath = "/proc/ioports";
    // The system calls the ppdev and direct backends make; null: the real ones.
    const PpdevCalls* ppdevCalls = nullptr;
    const DirectCalls* directCalls = nullptr;
};

struct PortBackend;

struct OpenedPort {
    std::unique_ptr<IPort> port;  // never null: the disconnected port on failure
    std::string description;      // for "port: ..." lines and captions
    Status status;                // the failure: device, reason and fix
    bool simulated = false;       // the row's, once opened
    // Ok while the port works; once the system refused an access, the
    // device and the reason. (The accesses themselves report nothing: a
    // refused status read reads as a missing module.) Unset for ports that
    // cannot fail this way.
    std::function<Status()> health;
    // Puts the next chip of the simulator's tray (sim:tray=DIR) in the socket.
    // Unset for every other port: real modules get their chips by hand.
    std::function<Status()> nextChip;
};

// What a backend's parser made of a description: how to open it, and the
// chip file the port keeps open while it lives (sim:chip=PATH), if any.
struct ParsedPort {
    std::function<Result<OpenedPort>(const PortOptions&)> open;
    std::string chipFile;
};

struct PortBackend {
    std::string_view name;      // "sim"
    std::string_view synopsis;  // "sim[:KEY=VALUE,...]"
    std::string_view help;      // what it is, one line
    std::string_view example;   // a description that opens it
    // Lines the help prints under the row (the simulator's keys); may be null.
    std::string (*helpDetail)();
    // Reads what follows "name:" (`given`: there was a colon). A failure is
    // a usage error with a one-line reason, not an open failure.
    Result<ParsedPort> (*parse)(std::string_view argument, bool given);

    // --- what the port can do ---
    bool simulated;          // the simulated module, not a real port
    bool connects;           // reaches a module at all ("none" does not)
    bool drivesControlBit4;  // writes to control bit 4 reach the register
    bool directIo;           // needs I/O port rights (ioperm), which the port check looks at
};

// The rows, each in its backend's own file.
extern const PortBackend kSimBackend;     // sim_backend.cpp
extern const PortBackend kPpdevBackend;   // hardware_ports.cpp
extern const PortBackend kDirectBackend;  // hardware_ports.cpp
extern const PortBackend kNoneBackend;    // hardware_ports.cpp

}  // namespace vexo
