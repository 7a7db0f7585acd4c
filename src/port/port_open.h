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

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.h"
#include "base/file_io.h"
#include "port/port.h"

namespace vexo {

struct PpdevCalls;

struct PortOptions {
    // Size of a simulated chip that has no file yet: the selected device's.
    std::uint32_t defaultChipSize = 0x8000;
    // Where the kernel lists the I/O ranges that `direct` is checked against.
    std::string ioportsPath = "/proc/ioports";
    // The system calls the ppdev backend makes; null: the real ones.
    const PpdevCalls* ppdevCalls = nullptr;
};

struct OpenedPort {
    std::unique_ptr<IPort> port;  // never null: the disconnected port on failure
    std::string description;      // for "port: ..." lines and captions
    std::string error;            // empty on success; else device, reason and fix
    bool simulated = false;
    // Empty while the port works; once the system refused an access, the
    // device and the reason. (The accesses themselves report nothing: a
    // refused status read reads as a missing module.) Unset for ports that
    // cannot fail this way.
    std::function<std::string()> health;
    // Puts the next chip of the simulator's tray (sim:tray=DIR) in the socket.
    // Unset for every other port: real modules get their chips by hand.
    std::function<Status()> nextChip;
};

// One row of the backend table: every --port description names one, and
// the parser, the help text and the tests all read the table.
struct PortBackend {
    std::string_view name;      // "sim"
    std::string_view synopsis;  // "sim[:KEY=VALUE,...]"
    std::string_view help;      // what it is, one line
    std::string_view example;   // a description that opens it
    struct Ops;                 // how it reads its description and opens
    const Ops* ops;
};
std::span<const PortBackend> PortBackends();

// The "Ports (--port):" text of every program's help: each backend, the
// simulator's keys, an example of each.
std::string PortHelpText();

// Checks the string's form only; false with a one-line reason when it is not
// a description this program understands (a usage error, not an open failure).
bool ParsePortDescription(const std::string& text, std::string* reason);

// Opens the backend. A backend that cannot be opened yields the disconnected
// port with `error` set, so the caller reports it and carries on.
OpenedPort OpenPort(const std::string& text, const PortOptions& options = {});

// Wraps `inner` so that every access is written to `path`, one line each
// ("W 37A 04", "R 379 80"). Returns null with `error` set when the file
// cannot be created; `inner` is then left with the caller.
std::unique_ptr<IPort> MakeTraceFile(std::unique_ptr<IPort>&& inner, const std::string& path,
                                     std::string* error);

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

struct WrappedPort {
    VcdPort* vcd = nullptr;        // owned by the port chain
    TraceFilePort* trace = nullptr;
    std::vector<std::string> errors;  // wrappers left out, and why
};

// Wraps `port` in place: the faults next to the module, then the capture and
// the trace, which so record what the program sees. A wrapper whose file
// cannot be created is left out and named in `errors`; the port stays usable.
WrappedPort WrapPort(std::unique_ptr<IPort>& port, const PortWrapping& wrapping);

// Completes and closes the capture and trace files. False, with the reasons
// in `errors`, when any of their writes failed.
bool FinishWrappedPort(const WrappedPort& wrapped, std::vector<std::string>* errors);

}  // namespace vexo
