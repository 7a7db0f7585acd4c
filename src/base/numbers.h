// SPDX-License-Identifier: GPL-3.0-or-later
// Numbers as every program here reads them: decimal, or hexadecimal after
// 0x; never through the locale (a German desktop must not turn "0.5" into a
// usage error). std::from_chars underneath.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace vexo {

// Digits of `base` (10 or 16) and nothing else, at most `max`: no prefix,
// sign or blank.
std::optional<std::uint64_t> ParseDigits(std::string_view text, int base, std::uint64_t max = UINT64_MAX);

// Decimal or 0x-hex, nothing before or after it, at most `max`.
std::optional<std::uint64_t> ParseUnsigned(std::string_view text,
                                           std::uint64_t max = UINT64_MAX);

// As ParseUnsigned, and also a trailing h for hexadecimal ("8000h"): the
// image tools' form.
std::optional<std::uint64_t> ParseAddress(std::string_view text, std::uint64_t max = UINT64_MAX);

// A plain decimal fraction ("0.5", "1e-3"), finite, no sign, no spaces. The "C" form whatever the locale.
std::optional<double> ParseDecimal(std::string_view text);

}  // namespace vexo
