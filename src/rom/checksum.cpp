// SPDX-License-Identifier: GPL-3.0-or-later
#include "rom/checksum.h"

#include <zlib.h>

#include <algorithm>

#include "base/hex.h"
#include "base/text.h"

namespace vexo {

std::uint16_t Sum16(const std::uint8_t* data, std::size_t size)
{
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < size; ++i) sum += data[i];  // 16 MiB x 255 fits in 32 bits
    return std::uint16_t(sum);
}

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size)
{
    uLong crc = crc32(0L, Z_NULL, 0);
    // zlib takes a 32-bit length; feed it in slices.
    constexpr std::size_t kSlice = 1u << 30;
    while (size > 0) {
        const std::size_t n = std::min(size, kSlice);
        crc = crc32(crc, data, uInt(n));
        data += n;
        size -= n;
    }
    return std::uint32_t(crc);
}

Checksums ComputeChecksums(const std::uint8_t* data, std::size_t size)
{
    return {Sum16(data, size), Crc32(data, size)};
}

std::string FormatSum16(std::uint16_t sum)
{
    return Cat({"sum16 ", HexLower0x(sum, kWordDigits)});
}

std::string FormatCrc32(std::uint32_t crc)
{
    return Cat({"crc32 ", HexLower0x(crc, kLongDigits)});
}

std::string FormatChecksums(const Checksums& sums)
{
    return FormatSum16(sums.sum16) + " " + FormatCrc32(sums.crc32);
}

std::string FormatChecksumLine(std::uint32_t first, const std::uint8_t* data, std::size_t size)
{
    return MakeChecksumReport(first, data, size).Line();
}

ChecksumReport MakeChecksumReport(std::uint32_t first, const std::uint8_t* data, std::size_t size)
{
    return {first, size, ComputeChecksums(data, size)};
}

std::string ChecksumReport::RangeText() const
{
    if (size == 0) return "(empty)";
    return Cat({HexAddress(first), "-", HexAddress(std::uint32_t(first + size - 1))});
}

std::string ChecksumReport::Line() const { return RangeText() + " " + FormatChecksums(sums); }

}  // namespace vexo
