// SPDX-License-Identifier: GPL-3.0-or-later
// The session's diagnosis actions: compare and erase check on a scratch read
// of the chip, and the retry rounds' figures after a write.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/text.h"
#include "session/session.h"

namespace vexo {
namespace {

// The chip's contents, read as Read ROM reads them, without touching the buffer.
Result<std::vector<std::uint8_t>> ReadScratch(CRom& rom, std::string_view step)
{
    std::vector<std::uint8_t> chip(rom.DeviceSize(), 0xFF);
    if (Status read = rom.ReadChip(chip, step); !read) return read;
    return chip;
}

}  // namespace

Result<CompareReport> Session::CompareChip()
{
    // An empty buffer is no image to compare with; a missing module is
    // still named first.
    if (!m_rom->ImageLoaded()) {
        if (Status module = m_rom->CheckModule("compare"); !module) return module;
        return Status::Fail("compare: no image in the buffer (load one, or use erase-check)");
    }
    Result<std::vector<std::uint8_t>> chip = ReadScratch(*m_rom, "compare");
    if (!chip) return chip.status();
    const std::span<const std::uint8_t> buffer(m_rom->m_Buffer.get(), m_rom->DeviceSize());
    return Compare(buffer, *chip);
}

Result<EraseReport> Session::CheckErased()
{
    Result<std::vector<std::uint8_t>> chip = ReadScratch(*m_rom, "erase-check");
    if (!chip) return chip.status();
    return EraseCheck(*chip);
}

Session::DiagnosisBasis Session::Basis() const
{
    if (!m_rom) return {};
    return {m_rom->m_nDevice, m_rom->ProgrammedCount(), m_history.State(), m_rom->ImageLoaded(), m_rom->ImagePath()};
}

std::string Session::OutOfDate(const DiagnosisBasis& made, bool usesBuffer) const
{
    const DiagnosisBasis now = Basis();
    if (now.device != made.device) return "another device is selected";
    if (now.programmed != made.programmed) return "the chip was programmed since";
    if (usesBuffer && (now.buffer != made.buffer || now.loaded != made.loaded || now.image != made.image))
        return "the buffer changed since";
    return {};
}

}  // namespace vexo
