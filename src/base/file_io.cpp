#include "base/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

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

int ReplaceFile(const std::string& name, const void* data, std::size_t size)
{
    if (name.empty()) return ENOENT;
    if (name.back() == '/') return EISDIR;

    std::string path = name;
    mode_t mode = NewFileMode();
    struct stat st {};
    if (::stat(name.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return EISDIR;
        if (!S_ISREG(st.st_mode)) {
            // A device or pipe: there is no file to replace. A pipe nobody
            // reads is refused rather than waited for.
            Fd out(::open(name.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NONBLOCK));
            if (out.Get() < 0) return errno;
            const int flags = ::fcntl(out.Get(), F_GETFL);
            if (flags < 0 || ::fcntl(out.Get(), F_SETFL, flags & ~O_NONBLOCK) != 0) return errno;
            if (!WriteAllBytes(out.Get(), data, size) || !out.Close()) return errno;
            return 0;
        }
        // A write-protected file stays as it is, as if it were written in place.
        if (::access(name.c_str(), W_OK) != 0) return errno;
        mode = st.st_mode & 07777;
        if (char* real = ::realpath(name.c_str(), nullptr)) {
            path = real;
            std::free(real);
        }
    }

    std::string temp = DirName(path) + "/." + BaseName(path) + ".XXXXXX";
    Fd file(::mkstemp(temp.data()));
    if (file.Get() < 0) return errno;
    int error = 0;
    if (!WriteAllBytes(file.Get(), data, size) || ::fchmod(file.Get(), mode) != 0 ||
        ::fsync(file.Get()) != 0)
        error = errno;
    if (!file.Close() && error == 0) error = errno;
    if (error == 0 && ::rename(temp.c_str(), path.c_str()) != 0) error = errno;
    if (error != 0) {
        ::unlink(temp.c_str());
        return error;
    }
    // The new name itself must survive a power loss too.
    Fd folder(::open(DirName(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.Get() < 0 || (::fsync(folder.Get()) != 0 && errno != EINVAL)) return errno;
    return 0;
}

}  // namespace vexo
