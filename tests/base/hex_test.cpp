// SPDX-License-Identifier: GPL-3.0-or-later
// The hex family writes what printf's "%0*X" has always written here, so
// that every text built from it stays as it was.
#include "base/hex.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace vexo {
namespace {

std::string Printf(const char* format, int digits, unsigned long long value)
{
    char text[40];
    std::snprintf(text, sizeof text, format, digits, value);
    return text;
}

TEST(Hex, MatchesPrintfAtEveryWidthAndAroundEachDigitBoundary)
{
    for (int digits : {0, 1, 2, 3, 4, 5, 6, 8, 16}) {
        for (int shift = 0; shift <= 64; shift += 4) {
            for (long long delta : {-1LL, 0LL, 1LL}) {
                const unsigned long long base = shift == 64 ? 0ULL : 1ULL << shift;
                const unsigned long long value = base + static_cast<unsigned long long>(delta);
                EXPECT_EQ(Hex(value, digits), Printf("%0*llX", digits, value)) << digits << " " << value;
                EXPECT_EQ(Hex0x(value, digits), Printf("0x%0*llX", digits, value));
                EXPECT_EQ(HexLower0x(value, digits), Printf("0x%0*llx", digits, value));
            }
        }
    }
}

TEST(Hex, NamedWidths)
{
    EXPECT_EQ(HexByte(0x0A), "0A");
    EXPECT_EQ(HexByte0x(0xFF), "0xFF");
    EXPECT_EQ(HexAddress(0x1F), "0001F");
    EXPECT_EQ(HexAddress(0x123456), "123456");  // wider than five: every digit
    EXPECT_EQ(HexAddress0x(0x7FFFF), "0x7FFFF");
    EXPECT_EQ(HexBuf0x(0xABC), "0x000ABC");
    EXPECT_EQ(Hex0x(0x378), "0x378");
    EXPECT_EQ(Hex0x(0), "0x0");
}

TEST(Hex, WriteHexStopsAtItsLastDigit)
{
    char text[8] = "#######";
    char* end = WriteHex(text, 0xABC, 2);
    EXPECT_EQ(end - text, 3);
    EXPECT_EQ(std::string(text, 7), "ABC####");
    end = WriteHex(text, 0x5, 3, false);
    EXPECT_EQ(std::string(text, end), "005");
}

}  // namespace
}  // namespace vexo
