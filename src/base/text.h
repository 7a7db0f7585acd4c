// SPDX-License-Identifier: GPL-3.0-or-later
// Small text helpers shared by every layer.
#pragma once

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace vexo {

// ASCII case-insensitive equality ("27c256" names the 27C256).
inline bool SameText(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
               return lower(x) == lower(y);
           });
}

// ASCII case-insensitive suffix test ("IMAGE.HEX" ends with ".hex").
inline bool EndsWithText(std::string_view text, std::string_view tail)
{
    return text.size() >= tail.size() && SameText(text.substr(text.size() - tail.size()), tail);
}

// The same for a prefix ("SQLITE:" starts with "sqlite:").
inline bool StartsWithText(std::string_view text, std::string_view head)
{
    return text.size() >= head.size() && SameText(text.substr(0, head.size()), head);
}

// Joins pieces into one string (chains of std::string's operator+ trip
// GCC 12's -Wrestrict false positive).
inline std::string Cat(std::initializer_list<std::string_view> parts)
{
    std::string out;
    std::size_t size = 0;
    for (std::string_view p : parts) size += p.size();
    out.reserve(size);
    for (std::string_view p : parts) out.append(p);
    return out;
}

// "1 byte", "2 bytes": a count with its noun, singular for one.
inline std::string Count(std::uint64_t n, std::string_view one, std::string_view many)
{
    return Cat({std::to_string(n), " ", n == 1 ? one : many});
}

}  // namespace vexo
