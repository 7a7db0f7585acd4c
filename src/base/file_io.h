// Small, careful file helpers shared by the image loader, the save and the
// converter.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

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
int ReplaceFile(const std::string& name, const void* data, std::size_t size);

}  // namespace vexo
