// SPDX-License-Identifier: GPL-3.0-or-later
// Where and why a chip differs from the buffer: the byte-by-byte comparison,
// the kind of each difference, the patterns a wiring or chip fault leaves,
// and the erase check. Pure functions over memory; reading the chip is the
// device object's business (CRom::ReadChip).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.h"

namespace vexo {

enum class DiffKind : std::uint8_t {
    NeedsProgramming,  // every differing bit is 1 in the chip, 0 in the buffer
    NeedsErasing,      // every differing bit is 0 in the chip, 1 in the buffer
    NeedsBoth,         // some of each
};

// "needs programming", "needs erasing", "needs erasing and programming".
std::string_view DiffKindText(DiffKind kind);
// The kind of a differing pair; meaningless when buffer == chip.
DiffKind ClassifyByte(std::uint8_t buffer, std::uint8_t chip);

struct ByteDiff {
    std::uint32_t address = 0;
    std::uint8_t buffer = 0;
    std::uint8_t chip = 0;
    DiffKind kind = DiffKind::NeedsProgramming;
    std::uint8_t Bits() const { return std::uint8_t(buffer ^ chip); }
};

// A finding as data, beside its line: what a window words and draws itself.
struct Finding {
    enum class Kind : std::uint8_t {
        OneValue,         // the chip reads `value` at every address
        DataLineStuck,    // data line D`line` reads `value` (0 or 1) at every address
        AddressLineDead,  // address line A`line` makes no difference to what the chip reads
        DifferentImage,   // most bytes differ, mostly in ways programming cannot mend
    };
    Kind kind = Kind::OneValue;
    unsigned line = 0;
    std::uint8_t value = 0;
};

struct CompareReport {
    std::uint32_t size = 0;              // bytes compared, from address 0
    std::vector<ByteDiff> diffs;         // in address order
    std::size_t needProgramming = 0;     // bytes that programming can still fix
    std::size_t needErasing = 0;         // bytes with any bit that needs erasing
    std::vector<std::string> findings;   // "finding: ..." lines, strongest evidence only
    std::vector<Finding> found;          // the same findings as data, one for each line
    bool Matches() const { return diffs.empty(); }
};

// A finding is only drawn from at least this many differing bytes, and only
// when it explains at least kFindingShare of them.
inline constexpr std::size_t kFindingMinBytes = 8;
inline constexpr double kFindingShare = 0.95;
// What --max-diffs is when not given.
inline constexpr std::size_t kDefaultMaxDiffs = 16;

// Compares the chip image with the buffer over min(buffer, chip) bytes.
CompareReport Compare(std::span<const std::uint8_t> buffer, std::span<const std::uint8_t> chip);

// "0x001A3: buffer 5A, chip 7B (needs programming)"
std::string FormatDiffLine(const ByteDiff& diff);
// "compare: 37 bytes differ in 0x00000-0x07FFF (21 need programming, 16 need
// erasing)" or "compare: chip matches buffer in 0x00000-0x07FFF".
std::string CompareSummary(const CompareReport& report);
// Everything the compare step prints, in order: at most maxDiffs byte lines
// (0: all) and "... and N more" when cut, the summary, the findings.
std::vector<std::string> CompareLines(const CompareReport& report, std::size_t maxDiffs);
// Every difference as CSV: a header, then address,buffer,chip,bits,kind.
std::string CompareCsv(const CompareReport& report);
// CompareCsv into `path`, atomically (an existing file stays whole on failure).
Status WriteCompareCsv(const std::string& path, const CompareReport& report);

struct ProgrammedByte {
    std::uint32_t address = 0;
    std::uint8_t chip = 0;
};

struct EraseReport {
    std::uint32_t size = 0;
    std::vector<ProgrammedByte> bytes;  // every byte not 0xFF, in address order
    std::uint64_t bits = 0;             // bits still programmed (0) in them
    bool Erased() const { return bytes.empty(); }
};

EraseReport EraseCheck(std::span<const std::uint8_t> chip);
// "0x00100: chip 7F" lines under maxDiffs (0: all), "... and N more", then
// "erase-check: 23 bits in 16 bytes still programmed, first 0x00100, last
// 0x07F00" or "erase-check: all 32768 bytes erased".
std::vector<std::string> EraseCheckLines(const EraseReport& report, std::size_t maxDiffs);

// "0x001A3": the address as every line here writes it.
std::string FormatAddress(std::uint32_t address);
// "7B": a byte as the diagnosis lines print it.
std::string FormatByte(std::uint8_t value);

}  // namespace vexo
