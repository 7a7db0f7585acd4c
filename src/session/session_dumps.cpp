// SPDX-License-Identifier: GPL-3.0-or-later
// The session's dump actions: reads voted over several passes, the integrity
// report of the buffer and its identification against DAT files.
#include <string>
#include <vector>

#include "base/text.h"
#include "base/sizes.h"
#include "rom/buffer_ops.h"
#include "rom/diagnosis.h"
#include "session/session.h"

namespace vexo {

bool Session::ReadRom(unsigned passes)
{
    m_rom->m_readPasses = passes;
    m_rom->m_readVote = {};
    const bool read = m_rom->ReadRom();
    m_rom->m_readPasses = 1;
    BufferReplaced();
    return read && m_rom->m_readVote.Agrees();
}

bool Session::SaveChip(const std::string& path, unsigned passes, std::optional<ImageFormat> format)
{
    m_rom->m_readPasses = passes;
    m_rom->m_readVote = {};
    const bool saved = SaveChip(path, format);
    m_rom->m_readPasses = 1;
    return saved && m_rom->m_readVote.Agrees();
}

std::string Session::ReadPassesRangeText()
{
    return Cat({"give a number of passes from ", std::to_string(kMinReadPasses), " to ",
                std::to_string(kMaxReadPasses)});
}

Status Session::SetReadPasses(unsigned passes)
{
    if (passes < kMinReadPasses || passes > kMaxReadPasses)
        return Status::Fail("read passes: " + ReadPassesRangeText());
    m_readPasses = passes;
    return Status::Ok();
}

Result<InspectReport> Session::Inspect(std::optional<BufferRange> range) const
{
    const BufferRange r = range.value_or(DeviceRange());
    if (r.first > r.last || r.last >= kBufferSize)
        return Status::Fail(Cat({"inspect: the range ", FormatAddress(r.first), "-", FormatAddress(r.last),
                                 " is not inside the buffer (0x00000-", FormatAddress(kBufferSize - 1), ")"}));
    return InspectImage({m_rom->m_Buffer.get() + r.first, r.Size()}, r.first);
}

IdentifyReport Session::Identify(const std::vector<std::string>& dats) const
{
    const std::span<const std::uint8_t> device(m_rom->m_Buffer.get(), m_rom->DeviceSize());
    std::optional<std::uint32_t> length;
    if (m_rom->ImageLoaded() && !m_rom->ImagePath().empty()) length = LoadedImageLength(*m_rom);
    return vexo::Identify(MakeCandidates(device, length), dats);
}

}  // namespace vexo
