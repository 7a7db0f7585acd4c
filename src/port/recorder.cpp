// SPDX-License-Identifier: GPL-3.0-or-later
#include "port/recorder.h"

#include "base/hex.h"

namespace vexo {

std::string FormatAccess(const PortAccess& access)
{
    char line[16];
    char* p = line;
    *p++ = access.op;
    *p++ = ' ';
    p = WriteHex(p, access.address, 3);
    *p++ = ' ';
    p = WriteHex(p, access.value, kByteDigits);
    return std::string(line, p);
}

std::uint8_t RecordingPort::In(std::uint16_t address)
{
    std::uint8_t value;
    if (!m_statusQueue.empty()) {
        value = m_statusQueue.front();
        m_statusQueue.pop_front();
        if (m_inner) (void)m_inner->In(address);  // keep the inner device in step
    } else if (m_inner) {
        value = m_inner->In(address);
    } else {
        value = m_idleStatus;
    }
    m_log.push_back({'R', address, value});
    return value;
}

void RecordingPort::Out(std::uint16_t address, std::uint8_t value)
{
    m_log.push_back({'W', address, value});
    if (m_inner) m_inner->Out(address, value);
}

std::vector<std::uint8_t> RecordingPort::Writes(std::uint16_t address) const
{
    std::vector<std::uint8_t> out;
    for (const auto& a : m_log)
        if (a.op == 'W' && a.address == address) out.push_back(a.value);
    return out;
}

std::size_t RecordingPort::CountReads() const
{
    std::size_t n = 0;
    for (const auto& a : m_log) n += a.op == 'R';
    return n;
}

std::size_t RecordingPort::CountWrites() const { return m_log.size() - CountReads(); }

}  // namespace vexo
