// SPDX-License-Identifier: GPL-3.0-or-later
#include "port/vcd_port.h"

#include "base/file_io.h"
#include "port/wire_lines.h"

#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>

namespace vexo {

namespace {

// The signals in the table's order: D0..D7, C0..C4, S6, S7.
constexpr int kSignals = int(kWireLines.size());
constexpr int kControlShift = 8;
constexpr std::uint32_t kControlMask = 0x1Fu << kControlShift;
constexpr int kStatusShift = 13;  // S6 is bit 13, S7 bit 14
constexpr std::uint32_t kStatusMask = 0x3u << kStatusShift;
constexpr std::size_t kFlushAt = 1u << 20;

// The state word packs the registers' bits at their signal's index: the
// table must list each register's lines together, lowest bit first.
consteval bool SignalsFollowTheTable()
{
    for (int i = 0; i < kSignals; ++i) {
        const WireLine& line = kWireLines[std::size_t(i)];
        const int shift = line.reg == kDataPort ? 0 : line.reg == kControlPort ? kControlShift : kStatusShift - 6;
        if (line.mask != (1u << (i - shift))) return false;
    }
    return true;
}
static_assert(SignalsFollowTheTable());

char Id(int signal) { return char('!' + signal); }

}  // namespace

VcdPort::VcdPort(std::unique_ptr<IPort> inner, std::FILE* file)
    : m_inner(std::move(inner)), m_file(file)
{
    m_buffer.reserve(kFlushAt + 256);
    m_buffer +=
        "$comment Vexo Writer port traffic: one access per microsecond; register bits, "
        "not pin levels $end\n"
        "$version vexo $end\n"
        "$timescale 1us $end\n"
        "$scope module lpt $end\n";
    for (int i = 0; i < kSignals; ++i) {
        m_buffer += "$var wire 1 ";
        m_buffer += Id(i);
        m_buffer += ' ';
        m_buffer += kWireLines[std::size_t(i)].name;
        m_buffer += " $end\n";
    }
    m_buffer += "$upscope $end\n$enddefinitions $end\n#0\n$dumpvars\n";
    for (int i = 0; i < kSignals; ++i) {
        m_buffer += '0';
        m_buffer += Id(i);
        m_buffer += '\n';
    }
    m_buffer += "$end\n";
}

VcdPort::~VcdPort()
{
    // A destructor has nobody to tell: whoever wants to know calls Close().
    if (m_file) static_cast<void>(Close());
}

std::uint8_t VcdPort::In(std::uint16_t address)
{
    const std::uint8_t value = m_inner->In(address);
    std::uint32_t next = m_state;
    if (address == kStatusPort)
        next = (next & ~kStatusMask) | (std::uint32_t(value >> 6) << kStatusShift);
    Access(next);
    return value;
}

void VcdPort::Out(std::uint16_t address, std::uint8_t value)
{
    m_inner->Out(address, value);
    std::uint32_t next = m_state;
    if (address == kDataPort)
        next = (next & ~0xFFu) | value;
    else if (address == kControlPort)
        next = (next & ~kControlMask) | (std::uint32_t(value & 0x1F) << kControlShift);
    Access(next);
}

void VcdPort::Access(std::uint32_t next)
{
    ++m_time;
    if (!m_file) return;
    std::uint32_t changed = next ^ m_state;
    m_state = next;
    if (changed == 0) return;
    char stamp[24];
    stamp[0] = '#';
    char* end = std::to_chars(stamp + 1, stamp + sizeof stamp - 1, m_time).ptr;
    *end++ = '\n';
    m_buffer.append(stamp, end);
    while (changed) {
        const int i = __builtin_ctz(changed);
        changed &= changed - 1;
        m_buffer += char('0' + ((next >> i) & 1u));
        m_buffer += Id(i);
        m_buffer += '\n';
    }
    if (m_buffer.size() >= kFlushAt) Flush();
}

void VcdPort::Flush()
{
    if (m_buffer.empty()) return;
    if (m_errno == 0 && std::fwrite(m_buffer.data(), 1, m_buffer.size(), m_file) != m_buffer.size())
        m_errno = errno ? errno : EIO;
    m_buffer.clear();
}

Status VcdPort::Close()
{
    if (!m_file) return Status::Fail("the capture was already finished");
    m_buffer += '#';
    m_buffer += std::to_string(m_time + 1);
    m_buffer += '\n';
    Flush();
    if (std::fflush(m_file) != 0 && m_errno == 0) m_errno = errno ? errno : EIO;
    if (std::fclose(m_file) != 0 && m_errno == 0) m_errno = errno ? errno : EIO;
    m_file = nullptr;
    if (m_errno != 0)
        return Status::Fail(std::string("writing the capture failed: ") + std::strerror(m_errno), m_errno);
    return {};
}

Result<std::unique_ptr<VcdPort>> MakeVcdFile(std::unique_ptr<IPort>&& inner, const std::string& path)
{
    // Never waits for a reader: a pipe nobody reads is refused at once.
    const Result<int> fd = OpenOutputStream(path);
    if (!fd) return fd.status();
    return MakeVcdFile(std::move(inner), *fd, path);
}

Result<std::unique_ptr<VcdPort>> MakeVcdFile(std::unique_ptr<IPort>&& inner, int fd, const std::string& path)
{
    std::FILE* file = ::fdopen(fd, "wb");
    if (!file) {
        const int error = errno;
        ::close(fd);
        return Status::Fail(path + ": " + std::strerror(error), error);
    }
    return std::make_unique<VcdPort>(std::move(inner), file);
}

}  // namespace vexo
