// SPDX-License-Identifier: GPL-3.0-or-later
// Wire capture: a port wrapper that writes the traffic as a value change dump
// (VCD), for GTKWave, PulseView or sigrok-cli.
//
// Signals, one bit each, in this order: D0..D7 (data register 0x378), C0..C4
// (control register 0x37A), S6 and S7 (status register 0x379). They carry
// register bits as the program writes and reads them, not pin levels: the
// port inverts C0, C1, C3 and S7 on the connector, and C4 (interrupt enable)
// reaches no pin at all.
//
// Time: one port access per microsecond ($timescale 1us), the pace of a real
// port. Time 0 holds the state before the first access, every signal 0 (the
// register shadows start at 0); access n (counting from 1) happens at time n.
// A write changes D or C bits, a status read S6 and S7; only changes are
// written after time 0, and the file ends with the time after the last access.
// Accesses to other addresses advance time and change nothing.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "base/error.h"
#include "port/port.h"

namespace vexo {

class VcdPort final : public IPort {
public:
    // Writes the header at once. `file` is owned and closed by the port.
    VcdPort(std::unique_ptr<IPort> inner, std::FILE* file);
    ~VcdPort() override;  // Close(), result ignored: call Close() to learn of errors
    VcdPort(const VcdPort&) = delete;
    VcdPort& operator=(const VcdPort&) = delete;

    std::uint8_t In(std::uint16_t address) override;
    void Out(std::uint16_t address, std::uint8_t value) override;
    void EndOfPass() override { m_inner->EndOfPass(); }

    // Writes the closing time stamp and closes the file. Fails when any
    // write or the close failed (a full disk). Accesses after it go to the
    // inner port only.
    Status Close();

    std::uint64_t Accesses() const { return m_time; }

private:
    void Access(std::uint32_t next);
    void Flush();

    std::unique_ptr<IPort> m_inner;
    std::FILE* m_file;
    std::string m_buffer;
    std::uint32_t m_state = 0;  // bit i = signal i
    std::uint64_t m_time = 0;   // accesses so far = time of the last one
    int m_errno = 0;            // first failed write
};

// Opens `path` for writing and wraps `inner`. Fails ("PATH: reason") when
// the file cannot be created; `inner` is then left with the caller.
Result<std::unique_ptr<VcdPort>> MakeVcdFile(std::unique_ptr<IPort>&& inner, const std::string& path);
// The same on a descriptor already open for writing (taken over, closed on
// failure too); `path` names it in messages.
Result<std::unique_ptr<VcdPort>> MakeVcdFile(std::unique_ptr<IPort>&& inner, int fd, const std::string& path);

}  // namespace vexo
