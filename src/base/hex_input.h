// SPDX-License-Identifier: GPL-3.0-or-later
// What the desktop program's Go To, Find and Fill fields take: hexadecimal
// unless the entry says otherwise, as the hex view shows addresses and bytes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.h"

namespace vexo {

// A number typed where an address or a byte is meant: hexadecimal by default
// ("4000", "0x4000", "4000h" are 0x4000), decimal after '#' or 'd'
// ("#16384", "d16384"). Blanks around it are ignored. Refused above `max`,
// with a sentence naming `what` and the range.
Result<std::uint64_t> ParseHexNumber(std::string_view text, std::uint64_t max,
                                     std::string_view what = "address");

// How a Find entry is read.
enum class FindMode {
    Auto,  // hex bytes when every word is hex, "quoted" or anything else text
    Hex,   // hex bytes only
    Text,  // the entry's characters as they are
};

struct FindQuery {
    std::vector<std::uint8_t> bytes;
    bool text = false;        // read as text (else hex bytes)
    bool ignoreCase = false;  // only for text
    // What was searched for and how it was read: `DE AD (read as hex bytes)`,
    // `"Hello" (read as text, ignoring case)`.
    std::string Describe() const;
};

// Hex bytes in any of the usual spellings: "DEADBEEF", "DE AD BE EF",
// "0xDE 0xAD", "de,ad", "DEh ADh"; every word an even number of digits.
Result<FindQuery> ParseFindQuery(std::string_view entry, FindMode mode, bool ignoreCase = false);

}  // namespace vexo
