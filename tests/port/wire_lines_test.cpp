// SPDX-License-Identifier: GPL-3.0-or-later
// The line table and the operations read from it.
#include <gtest/gtest.h>

#include <set>

#include "port/wire_lines.h"

namespace vexo {
namespace {

TEST(WireLines, OperationsKeepTheOtherBitsAndFollowPolarity)
{
    // By mask, as the device object writes them: constants, the row's answer.
    static_assert(SetLine(0x51u, WireMask("D1")) == SetLine(0x51u, Wire("D1")));
    static_assert(ClearLine(0xFFu, WireMask("D0")) == 0xFEu && LineHigh(0x40u, WireMask("S6")));
    static_assert(PutLine(0x07u, WireMask("C1"), false) == 0x05u);
    static_assert(SetLine(0x00, Wire("C3")) == 0x08 && ClearLine(0xFF, Wire("C0")) == 0xFE);
    // Lines as the program passes them, named constants (see kReadDataLine).
    constexpr WireLine c0 = Wire("C0"), c1 = Wire("C1"), c4 = Wire("C4");
    constexpr WireLine d1 = Wire("D1"), d7 = Wire("D7"), s6 = Wire("S6"), s7 = Wire("S7");
    EXPECT_EQ(SetLine(0x51, d1), 0x53u);
    EXPECT_EQ(ClearLine(0x53, d1), 0x51u);
    EXPECT_EQ(PutLine(0x10, c4, false), 0x00u);
    EXPECT_EQ(PutLine(0x00, d7, true), 0x80u);
    // S6 carries the read bit inverted: a 0 in the register is a 1 read.
    EXPECT_TRUE(LineOn(0x80, kReadDataLine));
    EXPECT_FALSE(LineOn(0xC0, s6));
    EXPECT_TRUE(LineHigh(0xC0, s6));
    EXPECT_TRUE(LineOn(0x80, s7));
    EXPECT_FALSE(LineOn(0x7F, s7));
    // Program enable is on with C0 clear and C1, C2 set.
    EXPECT_EQ(TurnLine(0x00, c0, true), 0x00u);
    EXPECT_EQ(TurnLine(0x00, c0, false), 0x01u);
    EXPECT_EQ(TurnLine(0x00, c1, true), 0x02u);
    constexpr WireGroup enable = WireLinesOn({"C0", "C1", "C2"});
    EXPECT_EQ(enable.mask, 0x07);
    EXPECT_EQ(enable.on, 0x06);
}

TEST(WireLines, EachLineIsOneBitOfOneRegisterAndOnePin)
{
    std::set<std::pair<std::uint16_t, std::uint8_t>> bits;
    std::set<int> pins;
    unsigned invertedControl = 0;
    for (const WireLine& line : kWireLines) {
        EXPECT_EQ(__builtin_popcount(line.mask), 1) << line.name;
        EXPECT_TRUE(bits.insert({line.reg, line.mask}).second) << line.name;
        if (line.pin != 0) {
            EXPECT_TRUE(pins.insert(line.pin).second) << line.name;
        }
        if (line.reg == kControlPort && line.pinInverted) invertedControl |= line.mask;
    }
    // Strobe, Auto Feed and Select In are inverted on the connector, Init is not.
    EXPECT_EQ(invertedControl, 0x0Bu);
    EXPECT_TRUE(kModulePresentLine.pinInverted);
    EXPECT_FALSE(kReadDataLine.pinInverted);
    static_assert(Wire("C4").pin == 0, "C4 is a register bit without a pin");
    EXPECT_EQ(pins.size(), kWireLines.size() - 1);
}

}  // namespace
}  // namespace vexo
