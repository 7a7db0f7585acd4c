// SPDX-License-Identifier: GPL-3.0-or-later
// Opening a port backend from its description string, the same for every
// front end (--port):
//   sim[:key=value,...]   the simulated module (chip=PATH, size=NAME|BYTES,
//                          module=absent, pulses=N, data-stuck=BIT:LEVEL,
//                          addr-open=BIT, weak=PERCENT, seed=N, tray=DIR)
//   ppdev[:/dev/parportN] Linux ppdev (default /dev/parport0)
//   direct[:378]          ioperm and inb/outb (x86 Linux); the base address is
//                          hexadecimal, with or without 0x, and must be a
//                          parallel port's (listed in /proc/ioports, or one of
//                          0x378, 0x278, 0x3BC)
//   none                  a disconnected port
#pragma once

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.h"
#include "base/file_io.h"
#include "port/port.h"
#include "port/port_backend.h"

namespace vexo {

// The rows of every backend, in the order the help lists them.
std::span<const PortBackend* const> PortBackends();

// The row a description names (the text before any colon); null when it
// names none. Says what the port can do without opening it.
const PortBackend* FindPortBackend(std::string_view description);

// The "Ports (--port):" text of every program's help: each backend, the
// simulator's keys, an example of each.
std::string PortHelpText();

// Checks the string's form only; fails with a one-line reason when it is not
// a description this program understands (a usage error, not an open failure).
Status ParsePortDescription(const std::string& text);

// Opens the backend. A backend that cannot be opened yields the disconnected
// port with `status` failed, so the caller reports it and carries on.
OpenedPort OpenPort(const std::string& text, const PortOptions& options = {});

// Wraps `inner` so that every access is written to `path`, one line each
// ("W 37A 04", "R 379 80"). Fails when the file cannot be created; `inner`
// is then left with the caller.
Result<std::unique_ptr<IPort>> MakeTraceFile(std::unique_ptr<IPort>&& inner, const std::string& path);

class TraceFilePort;
class VcdPort;

// What may be wrapped around an opened port, each optional: injected faults
// (--fault), a value change dump (--vcd) and a trace (--trace).
struct PortWrapping {
    std::string fault;  // a fault description, checked with ParseFaultDescription
    std::string vcdPath;
    std::string tracePath;
    // Set by OpenWrappingFiles: the capture and trace, opened once and
    // handed to the wrappers (else WrapPort opens the paths itself).
    std::shared_ptr<Fd> vcdFile;
    std::shared_ptr<Fd> traceFile;
};

// Opens the capture and trace files now, without waiting for a pipe's
// reader, so that a bad one is refused before anything else happens and a
// pipe is opened only once. Fails with "--trace PATH: reason".
Status OpenWrappingFiles(PortWrapping* wrapping);

// The chip file a port description names (sim:chip=PATH), if any.
std::optional<std::string> ChipFileOf(const std::string& description);

// The wrappers WrapPort put around a port, for closing their files.
struct WrappedPort {
    VcdPort* vcd = nullptr;        // owned by the port chain
    TraceFilePort* trace = nullptr;
};

// Wraps `port` in place: the faults next to the module, then the capture and
// the trace, which so record what the program sees. A wrapper that cannot be
// made is left out and the port stays usable; the failures returned name
// each one left out (none when all are in place).
std::vector<Status> WrapPort(std::unique_ptr<IPort>& port, const PortWrapping& wrapping, WrappedPort* wrapped);

// Completes and closes the capture and trace files. Fails when any of their
// writes failed, with one line per file that lost some.
Status CloseWrapperFiles(const WrappedPort& wrapped);

}  // namespace vexo
