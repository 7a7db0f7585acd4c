// SPDX-License-Identifier: GPL-3.0-or-later
// Undo and redo for the image buffer. Each change keeps only the bytes it
// overwrote (one contiguous range) and the image's length before and after,
// never a copy of the buffer; undoing swaps the kept bytes with the buffer's,
// so the same storage then serves the redo. The memory the history holds is
// capped: the oldest changes are dropped first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "base/error.h"
#include "base/sizes.h"

namespace vexo {

class CRom;

class EditHistory {
public:
    // Room for the undo of a full-buffer change and a little more.
    static constexpr std::size_t kDefaultCap = std::size_t(kBufferSize) + 1024 * 1024;

    explicit EditHistory(std::size_t capBytes = kDefaultCap) : m_cap(capBytes) {}

    // A change about to be made to `size` bytes from `address`: keeps their
    // present values and the image state. Call Commit() once the buffer has
    // been changed, or Cancel() when it was not.
    void Begin(const CRom& rom, std::uint32_t address, std::uint32_t size);
    void Commit(const CRom& rom);
    void Cancel() { m_pending.reset(); }

    bool CanUndo() const { return !m_undo.empty(); }
    bool CanRedo() const { return !m_redo.empty(); }
    // Refused (history dropped, buffer unchanged) when the bytes in the
    // buffer are no longer what the change left there: something else, a
    // load or a chip read, has replaced them since.
    Status Undo(CRom& rom);
    Status Redo(CRom& rom);

    // Forgets every change; the buffer as it is counts as unmodified (after a
    // load or a read).
    void Reset();
    // The buffer as it is now counts as unmodified (after a save).
    void MarkClean() { m_cleanId = TopId(); }
    // True while the buffer differs from what was loaded or read, as far as
    // the history knows.
    bool IsModified() const { return TopId() != m_cleanId; }
    // Names the buffer's state as far as the history knows: equal values,
    // the same bytes (a change undone gives the earlier state back).
    std::uint64_t State() const { return TopId(); }

    // Where the change the next Undo (Redo) reverts (makes again) starts.
    std::optional<std::uint32_t> UndoAddress() const;
    std::optional<std::uint32_t> RedoAddress() const;
    // True when a kept change wrote `address` since the last load or read.
    bool Touched(std::uint32_t address) const;

    std::size_t MemoryUsed() const { return m_memory; }
    std::size_t Cap() const { return m_cap; }
    std::size_t UndoCount() const { return m_undo.size(); }
    std::size_t RedoCount() const { return m_redo.size(); }

private:
    struct Change {
        std::uint64_t id = 0;
        std::uint32_t address = 0;
        std::vector<std::uint8_t> bytes;  // the other state's bytes of the range
        std::uint32_t crc = 0;            // of the range's bytes as the buffer holds them
        std::int32_t lengthBefore = 0, lengthAfter = 0;
        bool loadedBefore = false, loadedAfter = false;
        std::size_t Memory() const { return sizeof(Change) + bytes.capacity(); }
    };
    struct Pending {
        Change change;
        bool active = false;
        void reset() { *this = Pending{}; }
    };

    std::uint64_t TopId() const { return m_undo.empty() ? m_baseId : m_undo.back().id; }
    static bool Apply(CRom& rom, Change& change, bool undo);
    void DropRedo();
    void Trim();

    std::deque<Change> m_undo;
    std::deque<Change> m_redo;
    Pending m_pending;
    std::size_t m_cap;
    std::size_t m_memory = 0;
    std::uint64_t m_nextId = 1;
    std::uint64_t m_baseId = 0;   // the state below the oldest kept change
    std::uint64_t m_cleanId = 0;  // the state that counts as unmodified
};

}  // namespace vexo
