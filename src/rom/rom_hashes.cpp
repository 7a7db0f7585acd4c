// SPDX-License-Identifier: GPL-3.0-or-later
#include "rom/rom_hashes.h"

#include <nettle/sha1.h>

#include <cstdio>

#include "base/hex.h"

namespace vexo {

Sha1Digest Sha1(std::span<const std::uint8_t> data)
{
    sha1_ctx context;
    sha1_init(&context);
    sha1_update(&context, data.size(), data.data());
    Sha1Digest digest{};
    sha1_digest(&context, digest.size(), digest.data());
    return digest;
}

std::string Sha1Hex(const Sha1Digest& digest)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(40);
    for (std::uint8_t byte : digest) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 15];
    }
    return text;
}

std::optional<Sha1Digest> ParseSha1(std::string_view text)
{
    if (text.size() != 40) return std::nullopt;
    Sha1Digest digest{};
    for (std::size_t i = 0; i < 20; ++i) {
        const int high = HexDigitValue(text[2 * i]);
        const int low = HexDigitValue(text[2 * i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        digest[i] = std::uint8_t(high * 16 + low);
    }
    return digest;
}

std::string Crc32Hex(std::uint32_t crc)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", unsigned(crc));
    return text;
}

}  // namespace vexo
