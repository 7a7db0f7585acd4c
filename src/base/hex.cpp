// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/hex.h"

namespace vexo {
namespace {

std::string Make(const char* prefix, std::uint64_t value, int digits, bool upper)
{
    char text[24];
    char* p = text;
    while (*prefix) *p++ = *prefix++;
    if (digits > 16) digits = 16;
    p = WriteHex(p, value, digits, upper);
    return std::string(text, p);
}

}  // namespace

std::string Hex(std::uint64_t value, int digits) { return Make("", value, digits, true); }
std::string Hex0x(std::uint64_t value, int digits) { return Make("0x", value, digits, true); }
std::string HexLower0x(std::uint64_t value, int digits) { return Make("0x", value, digits, false); }

}  // namespace vexo
