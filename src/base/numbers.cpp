// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/numbers.h"

#include <cctype>
#include <charconv>
#include <cmath>

namespace vexo {

std::optional<std::uint64_t> ParseDigits(std::string_view text, int base, std::uint64_t max)
{
    if (text.empty()) return std::nullopt;
    // from_chars takes a leading minus for signed types only, but be plain about it.
    const char first = text.front();
    if (!((first >= '0' && first <= '9') || (base == 16 && std::isxdigit(static_cast<unsigned char>(first)))))
        return std::nullopt;
    std::uint64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (ec != std::errc() || end != text.data() + text.size() || value > max) return std::nullopt;
    return value;
}

std::optional<std::uint64_t> ParseUnsigned(std::string_view text, std::uint64_t max)
{
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        return ParseDigits(text.substr(2), 16, max);
    return ParseDigits(text, 10, max);
}

std::optional<std::uint64_t> ParseAddress(std::string_view text, std::uint64_t max)
{
    if (text.size() > 1 && (text.back() == 'h' || text.back() == 'H') &&
        !(text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')))
        return ParseDigits(text.substr(0, text.size() - 1), 16, max);
    return ParseUnsigned(text, max);
}

std::optional<double> ParseDecimal(std::string_view text)
{
    if (text.empty()) return std::nullopt;
    const char first = text.front();
    // No sign at all: "-0" is no probability, nor a size.
    if (!((first >= '0' && first <= '9') || first == '.')) return std::nullopt;
    double value = 0;
    const auto [end, ec] =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

}  // namespace vexo
