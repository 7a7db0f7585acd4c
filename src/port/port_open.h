// Opening a port backend from its description string, the same for every
// front end (--port):
//   sim[:key=value,...]   the simulated module (chip=PATH, size=NAME|BYTES,
//                          module=absent, pulses=N)
//   ppdev[:/dev/parportN] Linux ppdev (default /dev/parport0)
//   direct[:0x378]        ioperm and inb/outb (x86 Linux)
//   none                  a disconnected port
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "port/port.h"

namespace vexo {

struct PortOptions {
    // Size of a simulated chip that has no file yet: the selected device's.
    std::uint32_t defaultChipSize = 0x8000;
};

struct OpenedPort {
    std::unique_ptr<IPort> port;  // never null: the disconnected port on failure
    std::string description;      // for "port: ..." lines and captions
    std::string error;            // empty on success; else device, reason and fix
    bool simulated = false;
};

// Checks the string's form only; false with a one-line reason when it is not
// a description this program understands (a usage error, not an open failure).
bool ParsePortDescription(const std::string& text, std::string* reason);

// Opens the backend. A backend that cannot be opened yields the disconnected
// port with `error` set, so the caller reports it and carries on.
OpenedPort OpenPort(const std::string& text, const PortOptions& options = {});

// Wraps `inner` so that every access is written to `path`, one line each
// ("W 37A 04", "R 379 80"). Returns null with `error` set when the file
// cannot be created.
std::unique_ptr<IPort> MakeTraceFile(std::unique_ptr<IPort> inner, const std::string& path,
                                     std::string* error);

}  // namespace vexo
