// SPDX-License-Identifier: GPL-3.0-or-later
// Numbers read the same in every locale, and nothing loose is taken.
#include "base/numbers.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

namespace vexo {
namespace {

TEST(Numbers, DecimalsTakeNoSignNoBlanksAndIgnoreTheLocale)
{
    for (const char* bad : {" 0.5", "0.5 ", "-0", "-0.5", "+0.5", "0,5", "", "nan", "inf", "1e999"})
        EXPECT_FALSE(ParseDecimal(bad)) << '"' << bad << '"';

    // A comma locale where the system has one (de_DE); the C locale otherwise.
    const std::string was = std::setlocale(LC_ALL, nullptr);
    const bool german = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
    EXPECT_EQ(ParseDecimal("0.5"), 0.5);
    EXPECT_EQ(ParseDecimal("1e-3"), 1e-3);
    EXPECT_FALSE(ParseDecimal("0,5"));
    EXPECT_EQ(ParseUnsigned("0x1F"), 0x1Fu);
    EXPECT_EQ(ParseAddress("8000h"), 0x8000u);
    std::setlocale(LC_ALL, was.c_str());
    if (!german) GTEST_SKIP() << "no de_DE.UTF-8 locale here; checked in the C locale only";
}

TEST(Numbers, UnsignedRefusesSignsBlanksAndOverflow)
{
    for (const char* bad : {"-1", "+1", " 1", "1 ", "0x", "18446744073709551616", "1.0"})
        EXPECT_FALSE(ParseUnsigned(bad)) << '"' << bad << '"';
    EXPECT_EQ(ParseUnsigned("255", 255), 255u);
    EXPECT_FALSE(ParseUnsigned("256", 255));
}

}  // namespace
}  // namespace vexo
