// SPDX-License-Identifier: GPL-3.0-or-later
// The session's buffer actions: each operation of rom/buffer_ops.h with the
// session's history, the held files checked before anything is written, and
// the listener told afterwards.
#include "session/session.h"

#include <algorithm>

#include "base/text.h"
#include "rom/checksum.h"
#include "rom/rom.h"

namespace vexo {

Status Session::Changed(Status status)
{
    if (status && m_bufferListener) m_bufferListener(false);
    return status;
}

void Session::BufferReplaced()
{
    m_history.Reset();
    SourceLoaded(m_rom->ImagePath());
    if (m_bufferListener) m_bufferListener(true);
}

void Session::SourceLoaded(std::string name)
{
    m_sourceName = std::move(name);
    m_sourceState = m_history.State();
}

Session::ImageSource Session::Source() const
{
    return {m_sourceName, m_history.State() != m_sourceState};
}

Status Session::FillBuffer(BufferRange range, std::uint8_t value)
{
    return Changed(vexo::Fill(*m_rom, range, value, &m_history));
}

Status Session::PatchBuffer(std::uint32_t address, std::span<const std::uint8_t> bytes)
{
    return Changed(vexo::Patch(*m_rom, address, bytes, &m_history));
}

Status Session::SwapBufferBytes() { return Changed(vexo::SwapBytes(*m_rom, &m_history)); }

Status Session::RepeatToDevice() { return Changed(vexo::RepeatToDevice(*m_rom, &m_history)); }

Status Session::LoadAt(std::uint32_t offset, const std::string& file, std::optional<ImageFormat> format)
{
    return Changed(vexo::LoadAt(*m_rom, offset, file, &m_history, format));
}

Result<std::uint64_t> Session::BytesPastDevice(std::uint32_t offset, const std::string& file) const
{
    Result<std::vector<std::uint8_t>> bytes = ReadImageFile(file);
    if (!bytes) return bytes.status();
    const std::uint64_t end = std::uint64_t(offset) + bytes->size();
    const std::uint64_t device = m_rom->DeviceSize();
    return end > device ? end - std::max<std::uint64_t>(offset, device) : 0;
}

Status Session::CheckImage(std::string_view what) const
{
    if (m_rom->ImageLoaded()) return Status::Ok();
    return Status::Fail(Cat({what, ": there is no image in the buffer (open a file or read a chip first)"}));
}

Status Session::MergeFiles(const std::vector<std::string>& files, std::optional<ImageFormat> format)
{
    Status merged = vexo::MergeFiles(*m_rom, files, &m_history, format);
    if (merged) {
        // A load of its own: the image is the files together, as yet unedited.
        std::string name;
        for (const std::string& file : files) {
            if (!name.empty()) name += '+';
            name += file;
        }
        SourceLoaded(std::move(name));
    }
    return Changed(std::move(merged));
}

Status Session::SplitImage(const std::vector<std::string>& files) const
{
    for (const std::string& file : files)
        if (Status s = CheckSaveTarget(file); !s) return s;
    return vexo::SplitImage(*m_rom, files);
}

Status Session::ExportDevice(const std::string& file, std::optional<ImageFormat> format) const
{
    if (Status s = CheckSaveTarget(file); !s) return s;
    return vexo::ExportDevice(*m_rom, file, format);
}

BufferRange Session::DeviceRange() const { return {0, m_rom->DeviceSize() - 1}; }

Result<ChecksumReport> Session::Checksum(BufferRange range) const
{
    const Result<Checksums> sums = vexo::ChecksumRange(*m_rom, range);
    if (!sums) return Status::Fail(sums.message());
    return ChecksumReport{range.first, range.Size(), *sums};
}

Status Session::Undo()
{
    if (!m_history.CanUndo()) return Status::Fail("Nothing to undo.");
    return Changed(m_history.Undo(*m_rom));
}

Status Session::Redo()
{
    if (!m_history.CanRedo()) return Status::Fail("Nothing to redo.");
    return Changed(m_history.Redo(*m_rom));
}

}  // namespace vexo
