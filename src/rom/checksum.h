// SPDX-License-Identifier: GPL-3.0-or-later
// Checksums over a range of the image buffer, in the forms EPROM programmers
// and ROM archives print them.
//
//   sum16 0x1a2b          the bytes added up, modulo 65536 (what a programmer
//                         shows as the "checksum" of a chip)
//   crc32 0xcbf43926      CRC-32 as zlib, `crc32` and zip archives compute it
//
// Both forms are lower-case hexadecimal with 0x and a fixed width (4 and 8
// digits), so that they can be compared as text and pasted into a search.
// A whole line, as `vexo checksum` prints it for a range:
//   "00000-07FFF sum16 0x1a2b crc32 0xcbf43926"
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vexo {

std::uint16_t Sum16(const std::uint8_t* data, std::size_t size);
std::uint32_t Crc32(const std::uint8_t* data, std::size_t size);

struct Checksums {
    std::uint16_t sum16 = 0;
    std::uint32_t crc32 = 0;
};

Checksums ComputeChecksums(const std::uint8_t* data, std::size_t size);

std::string FormatSum16(std::uint16_t sum);    // "sum16 0x1a2b"
std::string FormatCrc32(std::uint32_t crc);    // "crc32 0xcbf43926"
std::string FormatChecksums(const Checksums& sums);  // "sum16 0x1a2b crc32 0xcbf43926"

// "00000-07FFF sum16 0x1a2b crc32 0xcbf43926": the range's first and last
// address in the information panel's style (upper case, at least five digits),
// then the two sums of `size` bytes of `data`, which starts at `first`
// ("(empty) ..." when size is 0).
std::string FormatChecksumLine(std::uint32_t first, const std::uint8_t* data, std::size_t size);

// A range's sums as the session hands them to the front ends, which format
// them: Line() is FormatChecksumLine's text, RangeText() its first word.
struct ChecksumReport {
    std::uint32_t first = 0;
    std::size_t size = 0;  // 0: the empty range
    Checksums sums;

    std::string RangeText() const;  // "00000-07FFF", or "(empty)"
    std::string Line() const;       // "00000-07FFF sum16 0x1a2b crc32 0xcbf43926"
};

ChecksumReport MakeChecksumReport(std::uint32_t first, const std::uint8_t* data, std::size_t size);

}  // namespace vexo
