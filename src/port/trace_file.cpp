// SPDX-License-Identifier: GPL-3.0-or-later
#include "port/trace_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/file_io.h"

namespace vexo {

Result<std::unique_ptr<TraceFilePort>> TraceFilePort::Create(std::unique_ptr<IPort>&& inner,
                                                             const std::string& path)
{
    if (!inner) return Status::Fail("cannot trace to " + path + ": there is no port to trace");
    // Never waits for a reader: a pipe nobody reads is refused at once.
    const Result<int> fd = OpenOutputStream(path);
    if (!fd) {
        const int error = fd.status().errnum();
        return Status::Fail("cannot create trace file " + fd.message() +
                                (error == ENXIO ? "" : "; check that its folder exists and is writable"),
                            error);
    }
    return std::unique_ptr<TraceFilePort>(new TraceFilePort(std::move(inner), *fd, path));
}

Result<std::unique_ptr<TraceFilePort>> TraceFilePort::Create(std::unique_ptr<IPort>&& inner, int fd,
                                                             const std::string& path)
{
    if (!inner) {
        if (fd >= 0) close(fd);
        return Status::Fail("cannot trace to " + path + ": there is no port to trace");
    }
    return std::unique_ptr<TraceFilePort>(new TraceFilePort(std::move(inner), fd, path));
}

TraceFilePort::TraceFilePort(std::unique_ptr<IPort> inner, int fd, std::string path)
    : m_inner(std::move(inner)),
      m_fd(fd),
      m_path(std::move(path)),
      m_buffer(new char[kBufferSize])
{
}

TraceFilePort::~TraceFilePort()
{
    CloseFile();
    // Nobody is left to ask for Error(); a trace that lost lines must not
    // pass for a complete one.
    if (!m_error.empty() && !m_reported) std::fprintf(stderr, "vexo: %s\n", m_error.c_str());
}

void TraceFilePort::CloseFile()
{
    WriteOut();
    if (m_fd >= 0) {
        if ((fsync(m_fd) != 0 && errno != EINVAL) || close(m_fd) != 0) {
            if (m_error.empty()) m_error = "cannot write trace file " + m_path + ": " + std::strerror(errno);
        }
        m_fd = -1;
    }
}

bool TraceFilePort::WriteOut()
{
    if (!m_error.empty() || m_fd < 0) {
        m_used = 0;
        return m_error.empty();
    }
    std::size_t done = 0;
    while (done < m_used) {
        const ssize_t n = write(m_fd, m_buffer.get() + done, m_used - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            m_error = "cannot write trace file " + m_path + ": " +
                      (n < 0 ? std::strerror(errno) : "nothing written") +
                      "; the trace is incomplete";
            m_used = 0;
            return false;
        }
        done += std::size_t(n);
    }
    m_used = 0;
    return true;
}

std::uint8_t TraceFilePort::In(std::uint16_t address)
{
    const std::uint8_t value = m_inner->In(address);
    Append('R', address, value);
    return value;
}

void TraceFilePort::Out(std::uint16_t address, std::uint8_t value)
{
    Append('W', address, value);
    m_inner->Out(address, value);
}

}  // namespace vexo
