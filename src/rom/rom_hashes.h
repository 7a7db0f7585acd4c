// SPDX-License-Identifier: GPL-3.0-or-later
// The hashes ROM archives name images by: CRC-32 (zlib's, as `checksum`
// prints it) and SHA-1 (nettle's).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace vexo {

using Sha1Digest = std::array<std::uint8_t, 20>;

Sha1Digest Sha1(std::span<const std::uint8_t> data);
// 40 lower-case hexadecimal digits.
std::string Sha1Hex(const Sha1Digest& digest);
// 40 hexadecimal digits of either case; unset for anything else.
std::optional<Sha1Digest> ParseSha1(std::string_view text);
// "0x1A2B3C4D": eight upper-case digits.
std::string Crc32Hex(std::uint32_t crc);

}  // namespace vexo
