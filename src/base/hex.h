// SPDX-License-Identifier: GPL-3.0-or-later
// Hexadecimal text, upper case unless said otherwise, zero-padded to a
// least number of digits (a wider value keeps every digit, as "%0*X" does).
// The program's addresses, bytes, words and sums are all written through
// here, so a width is chosen by name: a device address has five digits
// (0x7FFFF), an address in an image file or the buffer six (0xFFFFFF).
#pragma once

#include <cstdint>
#include <string>

namespace vexo {

inline constexpr int kByteDigits = 2;           // "A5"
inline constexpr int kWordDigits = 4;           // "BEEF", a sum16
inline constexpr int kLongDigits = 8;           // "DEADBEEF", a crc32
inline constexpr int kAddressDigits = 5;        // "7FFFF", a device address
inline constexpr int kBufDigits = 6;   // "00FFFF", an image or buffer address

// Writes `value` at `out` with at least `digits` digits (1 when 0 is
// given) and returns the end; no terminating zero. At most 16 digits are
// written. For loops that must not allocate (the trace file, image writers).
inline char* WriteHex(char* out, std::uint64_t value, int digits, bool upper = true)
{
    const char* const set = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    int n = 1;
    while (n < 16 && (value >> (4 * n)) != 0) ++n;
    if (n < digits) n = digits;
    for (int i = n - 1; i >= 0; --i) *out++ = set[(value >> (4 * i)) & 0xF];
    return out;
}

// The value of one hexadecimal digit of either case; -1 for any other character.
constexpr int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// "%0*X": Hex(0x1F, 4) is "001F".
std::string Hex(std::uint64_t value, int digits = 1);
// "0x%0*X": Hex0x(0x378) is "0x378", Hex0x(0x1F, kAddressDigits) "0x0001F".
std::string Hex0x(std::uint64_t value, int digits = 1);
// "0x%0*x", for texts that have always been lower case (the checksums).
std::string HexLower0x(std::uint64_t value, int digits = 1);

// The widths by name.
inline std::string HexByte(std::uint8_t value) { return Hex(value, kByteDigits); }
inline std::string HexByte0x(std::uint8_t value) { return Hex0x(value, kByteDigits); }
inline std::string HexAddress(std::uint32_t address) { return Hex(address, kAddressDigits); }
inline std::string HexAddress0x(std::uint32_t address) { return Hex0x(address, kAddressDigits); }
inline std::string HexBuf0x(std::uint64_t address) { return Hex0x(address, kBufDigits); }

}  // namespace vexo
