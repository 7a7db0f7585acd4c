// SPDX-License-Identifier: GPL-3.0-or-later
// What a compare or an erase check found, in the words an operator reads in
// a window (the `vexo` lines stay as diagnosis.h writes them), and the share
// of bad bytes over the chip's address space for a map of it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "rom/diagnosis.h"

namespace vexo {

// "3 of 32768 bytes differ from the buffer (0x00000 to 0x07FFF): all 3 can
// still be programmed." / "The chip matches the buffer: all 32768 bytes
// (0x00000 to 0x07FFF)."
std::string CompareSummaryWords(const CompareReport& report);
// "The chip is erased: all 32768 bytes read FF." / "The chip is not erased:
// 3 bytes (15 bits) are still programmed, from 0x04003 to 0x06001."
std::string EraseSummaryWords(const EraseReport& report);
// One sentence for each finding, with what to check.
std::string FindingWords(const Finding& finding);

// A chip that only falls short here and there: every difference needs only
// programming, no pattern explains them, and they are not one run of bytes
// (which a shorter image or an interrupted write leaves). Retries may help.
bool LooksWeak(const CompareReport& report);

// The address space of `size` bytes cut into `cells` equal parts (fewer
// when the chip has fewer bytes): the share, 0 to 1, of each part's bytes
// that are in `diffs` (in address order, below `size`).
std::vector<double> DiffShares(const CompareReport& report, std::size_t cells);

}  // namespace vexo
