// Open BIN File and Save Buffer. Raw images: file offset = device address;
// HEX and S-record files are read by their extension.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "base/file_io.h"
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

}  // namespace

bool CRom::LoadFile()
{
    ClearBuffer();
    return LoadChosenFile(m_ui.ChooseFileToOpen());
}

bool CRom::LoadFile(const std::string& path)
{
    ClearBuffer();
    return LoadChosenFile(path);
}

bool CRom::LoadChosenFile(const std::optional<std::string>& chosen)
{
    InfoPanel& panel = m_panel;
    panel.m_strFileName = chosen ? BaseName(*chosen) : std::string();
    panel.Push();
    if (!chosen) {
        m_ui.AppMessageBox(kLoadFailed);
        return false;
    }

    // Read-only: a write-protected image loads too. Without waiting: a pipe
    // must not hang the program before it is refused below.
    Fd file(::open(chosen->c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat st {};
    if (file.Get() < 0 || ::fstat(file.Get(), &st) != 0 || !S_ISREG(st.st_mode)) {
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
        if (!ReadAllBytes(file.Get(), m_Buffer.get(), size)) {
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
        // Read a block at a time. Gaps read as erased, whatever an earlier
        // read left above the reset range.
        const ImageReadResult result = ReadTextImageFile(format, file.Get(), m_Buffer.get(), kBufferSize, 0xFF);
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
    m_imagePath = *chosen;
    return true;
}

bool CRom::SaveBuffer()
{
    ReadAll();
    if (Stopped()) return false;  // a part of the chip is no file to save
    if (m_bModuleLost || !ReadMorePasses()) {
        if (Stopped()) return false;
        m_ui.RomMessageBox("Save Failed !!");
        return false;
    }
    if (m_nLength == 0) {
        m_ui.AppMessageBox("Failed. File is empty!!");
        return false;
    }
    // The whole device: every bank the read just filled.
    if (const int code = ReplaceFile(m_strSaveName, m_Buffer.get(), DeviceSize()); code != 0) {
        m_ui.SetNextBoxDetails("save: " + m_strSaveName + ": " + std::strerror(code));
        m_ui.RomMessageBox("Save Failed !!");
        return false;
    }
    m_ui.RomMessageBox("Save OK !!");
    return true;
}

}  // namespace vexo
