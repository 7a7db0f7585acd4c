// SPDX-License-Identifier: GPL-3.0-or-later
// The line test's sequence on the wire.
#include <gtest/gtest.h>

#include "port/recorder.h"
#include "rom/line_test.h"

namespace vexo {
namespace {

TEST(LineTest, EachStepChangesOneLineFromTheResetState)
{
    for (bool withBit4 : {false, true}) {
        const auto steps = LineTestSteps(withBit4);
        ASSERT_EQ(steps.size(), withBit4 ? 13u : 12u);
        std::uint16_t seen = 0;
        for (const LineStep& step : steps) {
            const unsigned changed = ((step.data ^ kResetData) << 8) | (step.control ^ kResetControl);
            ASSERT_EQ(__builtin_popcount(changed), 1) << step.name;
            EXPECT_FALSE(seen & changed) << step.name;
            seen = std::uint16_t(seen | changed);
        }
        EXPECT_EQ(seen, withBit4 ? 0xFF1F : 0xFF0F);
    }
    const auto steps = LineTestSteps(true);
    EXPECT_EQ(steps[0].name, "D0 (pin 2) high; data 0x01, control 0x09");
    EXPECT_EQ(steps[7].name, "D7 (pin 9) high; data 0x80, control 0x09");
    // C0 and C3 are high in the register at reset, and inverted: their pins
    // go high when the bit clears. C1 is inverted too, C2 is not.
    EXPECT_EQ(steps[8].name, "C0 (pin 1) high; data 0x00, control 0x08");
    EXPECT_EQ(steps[9].name, "C1 (pin 14) low; data 0x00, control 0x0B");
    EXPECT_EQ(steps[10].name, "C2 (pin 16) high; data 0x00, control 0x0D");
    EXPECT_EQ(steps[11].name, "C3 (pin 17) high; data 0x00, control 0x01");
    EXPECT_EQ(steps[12].name, "C4 (register bit 4, no pin) set; data 0x00, control 0x19");
}

TEST(LineTest, TrafficOfAStepAndTheReset)
{
    RecordingPort port(nullptr, 0xC0);
    LineTest test(port, false);
    test.Reset();
    test.Apply(3);
    EXPECT_EQ(test.Read(), (StatusLines{true, true}));
    port.SetIdleStatus(0x40);
    EXPECT_EQ(test.Read(), (StatusLines{true, false}));
    test.Reset();
    const std::vector<PortAccess> expected{
        {'W', kDataPort, 0x00},    {'W', kControlPort, 0x09}, {'W', kDataPort, 0x08},
        {'W', kControlPort, 0x09}, {'R', kStatusPort, 0xC0},  {'R', kStatusPort, 0x40},
        {'W', kDataPort, 0x00},    {'W', kControlPort, 0x09}};
    EXPECT_EQ(port.Log(), expected);
    EXPECT_EQ(FormatStatusLines({true, false}), "S6 (pin 10) 1, S7 (pin 11) 0");
    EXPECT_THROW(test.Apply(12), std::out_of_range);
}

}  // namespace
}  // namespace vexo
