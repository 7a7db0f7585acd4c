// SPDX-License-Identifier: GPL-3.0-or-later
// Open BIN File and Save Buffer. Raw images: file offset = device address;
// HEX and S-record files are read by their extension (ReadImageSource).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "base/file_io.h"
#include "rom/image_formats.h"
#include "rom/image_source.h"
#include "rom/info_panel.h"
#include "rom/rom.h"

namespace vexo {
namespace {

constexpr const char* kLoadFailed = "Faild File Loading...";
constexpr const char* kTooLarge =
    "File too large: the buffer holds at most 16 MiB (16777216 bytes). Nothing was loaded.";

constexpr const char* kTextTooLarge =
    "File too large: a HEX or S-record image file may be at most 64 MiB. Nothing was loaded.";

}  // namespace

bool CRom::LoadFile()
{
    ClearBuffer();
    return LoadChosenFile(m_ui.ChooseFileToOpen());
}

bool CRom::LoadFile(const std::string& path, std::optional<ImageFormat> format)
{
    ClearBuffer();
    return LoadChosenFile(path, format);
}

bool CRom::LoadChosenFile(const std::optional<std::string>& chosen, std::optional<ImageFormat> format)
{
    InfoPanel& panel = m_panel;
    panel.m_strFileName = chosen ? BaseName(*chosen) : std::string();
    panel.Push();
    if (!chosen) {
        m_ui.AppMessageBox(kLoadFailed);
        return false;
    }

    // Read-only: a write-protected image loads too. Only a regular file
    // (or "-", standard input): a pipe must not hang the program. HEX and
    // S-record text: every byte at its address, gaps read as erased,
    // whatever an earlier read left above the reset range.
    ImageSourceOptions options;
    options.format = format;
    options.gapFill = 0xFF;
    const ImageSource source = ReadImageSource(*chosen, m_Buffer.get(), kBufferSize, options);
    switch (source.problem) {
    case ImageSourceProblem::None:
        break;
    case ImageSourceProblem::TooLarge:
        m_ui.AppMessageBox(source.format == ImageFormat::Raw ? kTooLarge : kTextTooLarge);
        return false;
    case ImageSourceProblem::Records:
        m_ui.AppMessageBox(panel.m_strFileName + ": " + source.detail);
        return false;
    case ImageSourceProblem::Read:
        ClearBuffer();
        m_ui.AppMessageBox(kLoadFailed);
        return false;
    case ImageSourceProblem::Terminal:
    case ImageSourceProblem::Empty:
        m_ui.SetNextBoxDetails(source.detail);
        m_ui.AppMessageBox(kLoadFailed);
        return false;
    case ImageSourceProblem::Open:
    case ImageSourceProblem::Folder:
    case ImageSourceProblem::NotRegular:
        m_ui.AppMessageBox(kLoadFailed);
        return false;
    }
    if (source.guessed) m_ui.Note(DescribeGuess(*chosen, source.format));
    m_nLength = std::int32_t(source.read.length);
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
    const Status saved =
        m_saveFormat && *m_saveFormat != ImageFormat::Raw
            ? ReplaceOutput(m_strSaveName, WriteTextImage(*m_saveFormat, m_Buffer.get(), DeviceSize()))
            : ReplaceOutput(m_strSaveName, m_Buffer.get(), DeviceSize());
    if (!saved) {
        m_ui.SetNextBoxDetails("save: " + saved.message());
        m_ui.RomMessageBox("Save Failed !!");
        return false;
    }
    m_ui.RomMessageBox("Save OK !!");
    return true;
}

}  // namespace vexo
