// Open BIN File and Save Buffer. Raw images: file offset = device address;
// HEX and S-record files are read by their extension.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "rom/image_formats.h"
#include "rom/info_panel.h"
#include "rom/rom.h"

namespace vexo {
namespace {

constexpr const char* kLoadFailed = "Faild File Loading...";
constexpr const char* kTooLarge =
    "File too large: the buffer holds at most 16 MiB (16777216 bytes). Nothing was loaded.";

// A HEX or S-record file of a full 16 MiB image is under 48 MiB.
constexpr off_t kMaxTextImage = 64 * 1024 * 1024;
constexpr const char* kTextTooLarge =
    "File too large: a HEX or S-record image file may be at most 64 MiB. Nothing was loaded.";

std::string BaseName(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string DirName(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Owns a descriptor for the length of a scope.
class Fd {
public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd()
    {
        if (m_fd >= 0) ::close(m_fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }
    // Closes now and reports whether the close succeeded.
    bool Close()
    {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd;
};

// Reads exactly `size` bytes; false on an error or an early end.
bool ReadAllBytes(int fd, std::uint8_t* out, std::size_t size)
{
    while (size > 0) {
        const ssize_t got = ::read(fd, out, size);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        out += got;
        size -= std::size_t(got);
    }
    return true;
}

bool WriteAllBytes(int fd, const std::uint8_t* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t put = ::write(fd, data, size);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        data += put;
        size -= std::size_t(put);
    }
    return true;
}

mode_t NewFileMode(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return st.st_mode & 07777;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

bool CRom::LoadFile()
{
    ClearBuffer();
    const std::optional<std::string> chosen = m_ui.ChooseFileToOpen();

    CInfoPanel& panel = m_ui.InfoPanel();
    panel.m_strFileName = chosen ? BaseName(*chosen) : std::string();
    panel.Push();
    if (!chosen) {
        m_ui.AppMessageBox(kLoadFailed);
        return false;
    }

    // Read-only: a write-protected image loads too.
    Fd file(::open(chosen->c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (file.get() < 0 || ::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        m_ui.AppMessageBox(kLoadFailed);
        return false;
    }
    const ImageFormat format = FormatForPath(*chosen);
    if (format == ImageFormat::Raw) {
        if (st.st_size > off_t(kBufferSize)) {
            m_ui.AppMessageBox(kTooLarge);
            return false;
        }
        const auto size = std::size_t(st.st_size);
        if (!ReadAllBytes(file.get(), m_Buffer.get(), size)) {
            ClearBuffer();
            m_ui.AppMessageBox(kLoadFailed);
            return false;
        }
        m_nLength = std::int32_t(size);
    } else {
        // HEX and S-record text: every byte at its address, gaps as reset.
        if (st.st_size > kMaxTextImage) {
            m_ui.AppMessageBox(kTextTooLarge);
            return false;
        }
        std::string text(std::size_t(st.st_size), '\0');
        if (!ReadAllBytes(file.get(), reinterpret_cast<std::uint8_t*>(text.data()), text.size())) {
            m_ui.AppMessageBox(kLoadFailed);
            return false;
        }
        const ImageReadResult result = ReadTextImage(format, text, m_Buffer.get(), kBufferSize);
        if (!result.ok) {
            m_ui.AppMessageBox(panel.m_strFileName + ": " + result.error);
            return false;
        }
        m_nLength = std::int32_t(result.length);
    }
    const auto size = std::size_t(m_nLength);

    const void* firstErased = std::memchr(m_Buffer.get(), 0xFF, size);
    if (firstErased) {
        panel.m_nEndAddr = std::int32_t(static_cast<const std::uint8_t*>(firstErased) - m_Buffer.get());
        panel.ShowEndAddress();
        m_bEndFound = 1;
    }

    m_port.Out(kDataPort, 0xFF);  // straight to the lines, past the shadow
    Delay(20000);
    m_bEndFound = 0;
    m_bImageLoaded = m_nLength > 0;
    return true;
}

bool CRom::WriteFileAtomically(const std::string& name, std::uint32_t bytes)
{
    if (name.empty() || name.back() == '/') return false;

    // An existing target is written where it really lives (through links).
    std::string path = name;
    struct stat st {};
    if (::stat(name.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return false;
        if (!S_ISREG(st.st_mode)) {
            // A device or pipe is written in place: there is no file to replace.
            Fd out(::open(name.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC));
            return out.get() >= 0 && WriteAllBytes(out.get(), m_Buffer.get(), bytes) && out.Close();
        }
        if (char* real = ::realpath(name.c_str(), nullptr)) {
            path = real;
            std::free(real);
        }
    }

    // Into a new file beside the target, renamed over it only when complete,
    // so a failure leaves an existing file as it was.
    const mode_t mode = NewFileMode(path);
    std::string temp = DirName(path) + "/." + BaseName(path) + ".XXXXXX";
    Fd file(::mkstemp(temp.data()));
    if (file.get() < 0) return false;

    const bool written = WriteAllBytes(file.get(), m_Buffer.get(), bytes) &&
                         ::fchmod(file.get(), mode) == 0 && ::fsync(file.get()) == 0;
    if (!file.Close() || !written || ::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

bool CRom::SaveBuffer()
{
    ReadAll();
    if (m_bModuleLost) {
        m_ui.RomMessageBox("Save Failed !!");
        return false;
    }
    if (m_nLength == 0) {
        m_ui.AppMessageBox("Failed. File is empty!!");
        return false;
    }
    // The whole device: every bank the read just filled.
    if (!WriteFileAtomically(m_strSaveName, DeviceSize())) {
        m_ui.RomMessageBox("Save Failed !!");
        return false;
    }
    m_ui.RomMessageBox("Save OK !!");
    return true;
}

}  // namespace vexo
