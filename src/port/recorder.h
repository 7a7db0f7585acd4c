// SPDX-License-Identifier: GPL-3.0-or-later
// An in-memory traffic recorder: keeps every access, and answers status reads
// from a queue of bytes (then from the wrapped port, else a fixed byte).
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "port/port.h"

namespace vexo {

struct PortAccess {
    char op;  // 'W' or 'R'
    std::uint16_t address;
    std::uint8_t value;
    bool operator==(const PortAccess&) const = default;
};

// "W 37A 04"
std::string FormatAccess(const PortAccess& access);

class RecordingPort final : public IPort {
public:
    explicit RecordingPort(IPort* inner = nullptr, std::uint8_t idleStatus = 0x80)
        : m_inner(inner), m_idleStatus(idleStatus) {}

    std::uint8_t In(std::uint16_t address) override;
    void Out(std::uint16_t address, std::uint8_t value) override;
    void EndOfPass() override
    {
        if (m_inner) m_inner->EndOfPass();
    }

    void QueueStatus(std::uint8_t value) { m_statusQueue.push_back(value); }
    void SetIdleStatus(std::uint8_t value) { m_idleStatus = value; }

    const std::vector<PortAccess>& Log() const { return m_log; }
    void Clear() { m_log.clear(); }
    // Values written to one register, in order.
    std::vector<std::uint8_t> Writes(std::uint16_t address) const;
    std::size_t CountReads() const;
    std::size_t CountWrites() const;

private:
    IPort* m_inner;
    std::uint8_t m_idleStatus;
    std::deque<std::uint8_t> m_statusQueue;
    std::vector<PortAccess> m_log;
};

}  // namespace vexo
