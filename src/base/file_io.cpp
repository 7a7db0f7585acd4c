// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string_view>

#include "base/numbers.h"

namespace vexo {
namespace {

std::string DirName(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

mode_t NewFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

std::string BaseName(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

Fd::~Fd()
{
    if (m_fd >= 0) ::close(m_fd);
}

bool Fd::Close()
{
    const int fd = m_fd;
    m_fd = -1;
    return ::close(fd) == 0;
}

bool ReadAllBytes(int fd, void* out, std::size_t size)
{
    auto* p = static_cast<std::uint8_t*>(out);
    while (size > 0) {
        const ssize_t got = ::read(fd, p, size);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) {
            errno = EIO;  // the file ended early: it changed under us
            return false;
        }
        p += got;
        size -= std::size_t(got);
    }
    return true;
}

bool WriteAllBytes(int fd, const void* data, std::size_t size)
{
    const auto* p = static_cast<const std::uint8_t*>(data);
    while (size > 0) {
        const ssize_t put = ::write(fd, p, size);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) {
            if (put == 0) errno = ENOSPC;
            return false;
        }
        p += put;
        size -= std::size_t(put);
    }
    return true;
}

namespace {

bool ClearNonBlocking(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0;
}

}  // namespace

Result<int> OpenOutputStream(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
    if (fd < 0) {
        if (errno == ENXIO) return Status::Fail(path + ": no program is reading it", ENXIO);
        return Status::Fail(path + ": " + std::strerror(errno), errno);
    }
    Fd file(fd);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || (S_ISREG(st.st_mode) && ::ftruncate(fd, 0) != 0) ||
        !ClearNonBlocking(fd))
        return Status::Fail(path + ": " + std::strerror(errno), errno);
    return file.Release();
}

Result<int> OpenInputStream(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return Status::Fail(path + ": " + std::strerror(errno), errno);
    Fd file(fd);
    if (!ClearNonBlocking(fd)) return Status::Fail(path + ": " + std::strerror(errno), errno);
    return file.Release();
}

std::optional<int> OwnDescriptor(const std::string& path)
{
    if (path == "/dev/stdin") return 0;
    if (path == "/dev/stdout") return 1;
    if (path == "/dev/stderr") return 2;
    std::string_view rest = path;
    const auto strip = [&rest](std::string_view prefix) {
        if (rest.substr(0, prefix.size()) != prefix) return false;
        rest.remove_prefix(prefix.size());
        return true;
    };
    const std::string self = "/proc/" + std::to_string(::getpid()) + "/fd/";
    if (!strip("/dev/fd/") && !strip("/proc/self/fd/") && !strip("/proc/thread-self/fd/") &&
        !strip(self))
        return std::nullopt;
    const std::optional<std::uint64_t> n = ParseUnsigned(rest);
    if (!n || *n > 1u << 30 || rest.empty() || rest[0] < '0' || rest[0] > '9') return std::nullopt;
    return int(*n);
}

bool IsDescriptorPath(const std::string& path)
{
    if (OwnDescriptor(path)) return true;
    // Another process's descriptor: /proc/PID/fd/N.
    std::string_view rest = path;
    if (rest.substr(0, 6) != "/proc/") return false;
    rest.remove_prefix(6);
    const auto slash = rest.find('/');
    if (slash == std::string_view::npos || !ParseUnsigned(rest.substr(0, slash))) return false;
    rest.remove_prefix(slash);
    if (rest.substr(0, 4) != "/fd/") return false;
    return ParseUnsigned(rest.substr(4)).has_value();
}

bool NamesDescriptor(const std::string& path, int fd)
{
    if (const auto own = OwnDescriptor(path)) return *own == fd;
    struct stat a {}, b {};
    if (::stat(path.c_str(), &a) != 0 || ::fstat(fd, &b) != 0) return false;
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

std::string FollowDanglingLink(const std::string& path)
{
    std::string current = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
        std::string target(PATH_MAX, '\0');
        const ssize_t n = ::readlink(current.c_str(), target.data(), target.size());
        if (n <= 0) return current;
        target.resize(std::size_t(n));
        current = target.front() == '/' ? target : DirName(current) + "/" + target;
    }
    return current;
}

namespace {

// Writes into something that is not a file of its own to replace: one of our
// descriptors (where its redirection put it, appending if it appends), a
// device or a pipe (a pipe without a reader is refused, not waited for).
int WriteInPlace(const std::string& name, const void* data, std::size_t size)
{
    int fd = -1;
    if (const auto own = OwnDescriptor(name)) {
        fd = ::fcntl(*own, F_DUPFD_CLOEXEC, 3);
    } else {
        struct stat st {};
        const bool regular = ::stat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode);
        // Someone else's descriptor to a file: add to it, never cut it.
        const int how = regular ? O_APPEND : (IsDescriptorPath(name) ? 0 : O_TRUNC);
        fd = ::open(name.c_str(), O_WRONLY | how | O_CLOEXEC | O_NONBLOCK);
        if (fd >= 0) {
            const int flags = ::fcntl(fd, F_GETFL);
            if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
                const int error = errno;
                ::close(fd);
                return error;
            }
        }
    }
    if (fd < 0) return errno;
    Fd out(fd);
    if (!WriteAllBytes(out.Get(), data, size) || !out.Close()) return errno;
    return 0;
}

// ".NAME.XXXXXX", or a short name where that would be longer than the folder
// allows.
std::string TempNameFor(const std::string& path)
{
    const std::string dir = DirName(path);
    const std::string base = BaseName(path);
    long most = ::pathconf(dir.c_str(), _PC_NAME_MAX);
    if (most <= 0) most = NAME_MAX;
    if (base.size() + 8 <= std::size_t(most)) return dir + "/." + base + ".XXXXXX";
    return dir + "/.vexo-save.XXXXXX";
}

// ReplaceFile's work: 0, or the errno of what failed.
int ReplaceFileErrno(const std::string& name, const void* data, std::size_t size)
{
    if (name.empty()) return ENOENT;
    if (name.back() == '/') return EISDIR;
    if (IsDescriptorPath(name)) return WriteInPlace(name, data, size);

    std::string path = name;
    mode_t mode = NewFileMode();
    struct stat st {};
    if (::stat(name.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return EISDIR;
        if (!S_ISREG(st.st_mode)) return WriteInPlace(name, data, size);
        // A write-protected file stays as it is, as if it were written in place.
        if (::access(name.c_str(), W_OK) != 0) return errno;
        mode = st.st_mode & 07777;
        if (char* real = ::realpath(name.c_str(), nullptr)) {
            path = real;
            std::free(real);
        }
    } else {
        // A link to nothing yet: make the file it names, as a redirection would.
        path = FollowDanglingLink(name);
    }

    std::string temp = TempNameFor(path);
    Fd file(::mkstemp(temp.data()));
    if (file.Get() < 0) return errno;
    int error = 0;
    if (!WriteAllBytes(file.Get(), data, size) || ::fchmod(file.Get(), mode) != 0 ||
        ::fsync(file.Get()) != 0)
        error = errno;
    if (!file.Close() && error == 0) error = errno;
    // The folder is opened before the rename: once the new file is in place
    // the save has succeeded, and making the new name durable is best effort
    // (a folder we may write but not read cannot be synced).
    Fd folder(error == 0 ? ::open(DirName(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1);
    if (error == 0 && ::rename(temp.c_str(), path.c_str()) != 0) error = errno;
    if (error != 0) {
        ::unlink(temp.c_str());
        return error;
    }
    if (folder.Get() >= 0) static_cast<void>(::fsync(folder.Get()));
    return 0;
}

}  // namespace

Status ReplaceFile(const std::string& name, const void* data, std::size_t size)
{
    if (const int error = ReplaceFileErrno(name, data, size); error != 0)
        return Status::Fail(name + ": " + std::strerror(error), error);
    return Status::Ok();
}

}  // namespace vexo
