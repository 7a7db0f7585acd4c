// SPDX-License-Identifier: GPL-3.0-or-later
// The backends that reach a real parallel port, and the disconnected port.
// Each maps the three register addresses the device object uses (data 0x378,
// status 0x379, control 0x37A) onto the port it was opened on and passes
// register values through unchanged.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "base/error.h"
#include "port/port.h"

namespace vexo {

// No port at all: writes go nowhere, the status reads 0x7F (no module).
class DisconnectedPort final : public IPort {
public:
    std::uint8_t In(std::uint16_t address) override { return address == kStatusPort ? 0x7F : 0xFF; }
    void Out(std::uint16_t, std::uint8_t) override {}
};

// The three system calls the ppdev backend makes, as plain function pointers
// so that a test can stand in for the kernel. Each follows its system call:
// -1 with errno set on failure. `ioctl` gets null for requests without an
// argument.
struct PpdevCalls {
    int (*open)(const char* path, int flags);
    int (*ioctl)(int fd, unsigned long request, void* argument);
    int (*close)(int fd);
};

// The real open(2), ioctl(2) and close(2).
const PpdevCalls& SystemPpdevCalls();

// Linux ppdev: one ioctl per access on a port claimed exclusively.
//
// The kernel keeps control bit 4 (the port's interrupt enable) to itself:
// PPWCONTROL masks it off, and PPRCONTROL may show it differently from what
// was written. On a standard port that bit drives no pin, so the module never
// sees it either way; the device object's bit 4 steps simply do not reach the
// register.
class PpdevPort final : public IPort {
public:
    // Opens, takes exclusive use and claims `device`. Fails with the device,
    // the reason and the fix.
    static Result<std::unique_ptr<PpdevPort>> Open(const std::string& device,
                                                   const PpdevCalls& calls = SystemPpdevCalls());
    ~PpdevPort() override;
    PpdevPort(const PpdevPort&) = delete;
    PpdevPort& operator=(const PpdevPort&) = delete;

    std::uint8_t In(std::uint16_t address) override;
    void Out(std::uint16_t address, std::uint8_t value) override;

    // errno of the first access the kernel refused (0: none). A refused status
    // read answers 0x7F, which the device object takes for a missing module.
    int Fault() const { return m_fault; }

private:
    PpdevPort(int fd, std::string device, const PpdevCalls& calls)
        : m_fd(fd), m_device(std::move(device)), m_calls(calls)
    {
    }
    void NoteFault(int error)
    {
        if (m_fault == 0) m_fault = error;
    }

    int m_fd;
    std::string m_device;
    PpdevCalls m_calls;
    int m_fault = 0;
};

// The three calls the direct backend makes, for a test to stand in for the
// processor and the kernel: `ioperm` follows ioperm(2) (-1 with errno set),
// `in` and `out` are inb and outb on an absolute I/O address.
struct DirectCalls {
    int (*ioperm)(unsigned long from, unsigned long count, int turnOn);
    std::uint8_t (*in)(std::uint16_t address);
    void (*out)(std::uint16_t address, std::uint8_t value);
};

// The real ioperm(2), inb and outb; elsewhere than x86 Linux, an ioperm that
// fails with ENOSYS.
const DirectCalls& SystemDirectCalls();

// Direct register access with ioperm and inb/outb (x86 Linux, needs
// CAP_SYS_RAWIO and a kernel without lockdown).
class DirectPort final : public IPort {
public:
    // Gets access to the three registers at `base`. Fails with the range,
    // the reason and the fix.
    static Result<std::unique_ptr<DirectPort>> Open(std::uint16_t base,
                                                    const DirectCalls& calls = SystemDirectCalls());
    ~DirectPort() override;
    DirectPort(const DirectPort&) = delete;
    DirectPort& operator=(const DirectPort&) = delete;

    std::uint8_t In(std::uint16_t address) override;
    void Out(std::uint16_t address, std::uint8_t value) override;

private:
    DirectPort(std::uint16_t base, const DirectCalls& calls) : m_base(base), m_calls(calls) {}
    std::uint16_t m_base;
    DirectCalls m_calls;
};

}  // namespace vexo
