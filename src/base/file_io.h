// SPDX-License-Identifier: GPL-3.0-or-later
// Small, careful file helpers shared by the image loader, the save and the
// converter.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "base/error.h"

namespace vexo {

// Owns a descriptor for the length of a scope.
class Fd {
public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd();
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int Get() const { return m_fd; }
    // Closes now; false (errno set) when the close reports an error.
    bool Close();
    // Hands the descriptor over: this no longer closes it.
    int Release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    int m_fd;
};

// The last part of a path: "dir/image.bin" -> "image.bin".
std::string BaseName(const std::string& path);

// Exactly `size` bytes, retrying short transfers; false (errno set) on an
// error, and for a read also on an early end.
bool ReadAllBytes(int fd, void* out, std::size_t size);
bool WriteAllBytes(int fd, const void* data, std::size_t size);

// Puts `size` bytes into the file `name`. A regular file is written beside
// the target and renamed over it only once every byte is on the disk, so a
// failure leaves an existing file as it was; an existing target keeps its
// permissions and is replaced where it really lives (through links), and a
// write-protected one is refused. A device or pipe is written in place (a
// pipe without a reader is refused). Returns 0, or the errno of the failure.
//
// Opens `path` to write a stream into (a trace, a capture): created when
// missing, emptied when it is a regular file, written in place otherwise.
// Never waits: a pipe that nobody reads is refused ("no program is reading
// it"). The descriptor returned blocks as usual. Fails with "PATH: reason".
Result<int> OpenOutputStream(const std::string& path);

// Opens `path` to read without waiting in open() (a pipe without a writer);
// the descriptor then blocks as usual, so a pipe reads as a stream.
Result<int> OpenInputStream(const std::string& path);

// A name for one of this process's descriptors (/dev/stdout, /dev/fd/N,
// /proc/self/fd/N, ...) is written through that descriptor, where its
// redirection points (appending when it appends); another process's
// (/proc/PID/fd/N) is added to, never cut. A dangling link gets the file it
// names. A temporary name too long for the folder falls back to a short one.
// The failure reads "name: reason" and carries the errno.
Status ReplaceFile(const std::string& name, const void* data, std::size_t size);

// N when `path` names this process's descriptor N (/dev/stdout, /dev/fd/N,
// /proc/self/fd/N, /proc/<our pid>/fd/N).
std::optional<int> OwnDescriptor(const std::string& path);
// Any name of an open descriptor, ours or another process's (/proc/PID/fd/N).
bool IsDescriptorPath(const std::string& path);
// True when writing `path` would write where descriptor `fd` writes.
bool NamesDescriptor(const std::string& path, int fd);
// Where a chain of links that ends in nothing leads; `path` itself otherwise.
std::string FollowDanglingLink(const std::string& path);

}  // namespace vexo
