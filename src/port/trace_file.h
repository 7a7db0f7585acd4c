// SPDX-License-Identifier: GPL-3.0-or-later
// A port that writes every access of the port it wraps to a text file, one
// line each: "W 37A 04", "W 378 00", "R 379 80". The file is written in large
// blocks; it is complete once the port is destroyed.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "base/error.h"
#include "base/hex.h"
#include "port/port.h"

namespace vexo {

class TraceFilePort final : public IPort {
public:
    // Creates (or truncates) `path`. Fails when it cannot; `inner` is then
    // left with the caller.
    static Result<std::unique_ptr<TraceFilePort>> Create(std::unique_ptr<IPort>&& inner,
                                                         const std::string& path);
    // The same on a descriptor already open for writing (taken over, closed
    // here also on failure); `path` names it in messages.
    static Result<std::unique_ptr<TraceFilePort>> Create(std::unique_ptr<IPort>&& inner, int fd,
                                                         const std::string& path);
    ~TraceFilePort() override;
    TraceFilePort(const TraceFilePort&) = delete;
    TraceFilePort& operator=(const TraceFilePort&) = delete;

    std::uint8_t In(std::uint16_t address) override;
    void Out(std::uint16_t address, std::uint8_t value) override;
    void EndOfPass() override { m_inner->EndOfPass(); }

    // Writes out what is buffered. Fails once any write has failed; the
    // traffic itself carries on, only the trace stops.
    Status Flush()
    {
        WriteOut();
        return Error();
    }
    // Writes out the rest and closes the file: fails when any line was lost.
    // Accesses afterwards reach the wrapped port only.
    Status Close()
    {
        CloseFile();
        return Error();
    }
    // Ok while every write has succeeded; else the file and the reason.
    // Whoever asks takes over telling the operator.
    Status Error() const
    {
        m_reported = !m_error.empty();
        return m_error.empty() ? Status::Ok() : Status::Fail(m_error);
    }
    IPort& Inner() { return *m_inner; }

private:
    TraceFilePort(std::unique_ptr<IPort> inner, int fd, std::string path);
    // False once a write has failed (the reason in m_error).
    bool WriteOut();
    void CloseFile();
    void Append(char op, std::uint16_t address, std::uint8_t value)
    {
        if (m_used > kBufferSize - kLongestLine && !WriteOut()) return;
        char* p = m_buffer.get() + m_used;
        *p++ = op;
        *p++ = ' ';
        p = WriteHex(p, address, 3);
        *p++ = ' ';
        p = WriteHex(p, value, kByteDigits);
        *p++ = '\n';
        m_used = std::size_t(p - m_buffer.get());
    }

    static constexpr std::size_t kBufferSize = 1u << 20;
    static constexpr std::size_t kLongestLine = 16;

    std::unique_ptr<IPort> m_inner;
    int m_fd;
    std::string m_path;
    std::unique_ptr<char[]> m_buffer;
    std::size_t m_used = 0;
    std::string m_error;
    mutable bool m_reported = false;
};

}  // namespace vexo
