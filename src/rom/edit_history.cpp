// SPDX-License-Identifier: GPL-3.0-or-later
#include "rom/edit_history.h"

#include <algorithm>

#include "rom/checksum.h"
#include "rom/rom.h"

namespace vexo {

void EditHistory::Begin(const CRom& rom, std::uint32_t address, std::uint32_t size)
{
    m_pending.reset();
    m_pending.active = true;
    Change& c = m_pending.change;
    c.address = address;
    const std::uint8_t* from = rom.m_Buffer.get() + address;
    c.bytes.assign(from, from + size);
    c.lengthBefore = rom.m_nLength;
    c.loadedBefore = rom.ImageLoaded();
}

void EditHistory::Commit(const CRom& rom)
{
    if (!m_pending.active) return;
    Change c = std::move(m_pending.change);
    m_pending.reset();
    c.id = m_nextId++;
    c.lengthAfter = rom.m_nLength;
    c.loadedAfter = rom.ImageLoaded();
    c.crc = Crc32(rom.m_Buffer.get() + c.address, c.bytes.size());
    DropRedo();
    if (c.Memory() > m_cap) {
        // Too large to keep: nothing below it can be undone any more.
        for (const Change& old : m_undo) m_memory -= old.Memory();
        m_undo.clear();
        m_baseId = c.id;
        return;
    }
    m_memory += c.Memory();
    m_undo.push_back(std::move(c));
    Trim();
}

bool EditHistory::Apply(CRom& rom, Change& change, bool undo)
{
    std::uint8_t* at = rom.m_Buffer.get() + change.address;
    const std::size_t size = change.bytes.size();
    if (Crc32(at, size) != change.crc) return false;
    std::swap_ranges(change.bytes.begin(), change.bytes.end(), at);
    change.crc = Crc32(at, size);
    rom.m_nLength = undo ? change.lengthBefore : change.lengthAfter;
    rom.SetImageLoaded(undo ? change.loadedBefore : change.loadedAfter);
    return true;
}

Status EditHistory::Undo(CRom& rom)
{
    if (m_undo.empty()) return Status::Fail("Nothing to undo.");
    Change c = std::move(m_undo.back());
    m_undo.pop_back();
    if (!Apply(rom, c, true)) {
        m_memory -= c.Memory();
        Reset();  // the buffer now holds what replaced it: a load or a read
        return Status::Fail("The buffer was replaced since the change; nothing was undone.");
    }
    m_redo.push_back(std::move(c));
    return Status::Ok();
}

Status EditHistory::Redo(CRom& rom)
{
    if (m_redo.empty()) return Status::Fail("Nothing to redo.");
    Change c = std::move(m_redo.back());
    m_redo.pop_back();
    if (!Apply(rom, c, false)) {
        m_memory -= c.Memory();
        Reset();
        return Status::Fail("The buffer was replaced since the change; nothing was redone.");
    }
    m_undo.push_back(std::move(c));
    return Status::Ok();
}

void EditHistory::Reset()
{
    m_undo.clear();
    m_redo.clear();
    m_pending.reset();
    m_memory = 0;
    m_baseId = m_nextId++;
    m_cleanId = m_baseId;
}

void EditHistory::DropRedo()
{
    for (const Change& c : m_redo) m_memory -= c.Memory();
    m_redo.clear();
}

void EditHistory::Trim()
{
    while (m_memory > m_cap && !m_undo.empty()) {
        m_memory -= m_undo.front().Memory();
        m_baseId = m_undo.front().id;
        m_undo.pop_front();
    }
}

std::optional<std::uint32_t> EditHistory::UndoAddress() const
{
    if (m_undo.empty()) return std::nullopt;
    return m_undo.back().address;
}

std::optional<std::uint32_t> EditHistory::RedoAddress() const
{
    if (m_redo.empty()) return std::nullopt;
    return m_redo.back().address;
}

bool EditHistory::Touched(std::uint32_t address) const
{
    for (const Change& c : m_undo)
        if (address >= c.address && address - c.address < c.bytes.size()) return true;
    return false;
}

}  // namespace vexo
