// SPDX-License-Identifier: GPL-3.0-or-later
#include "rom/serial_number.h"

#include <gtest/gtest.h>

namespace vexo {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Encode(const char* text, std::uint64_t value)
{
    auto plan = ParseSerialPlan(text);
    EXPECT_TRUE(plan.ok()) << plan.message();
    auto bytes = EncodeSerial(*plan, value);
    EXPECT_TRUE(bytes.ok()) << bytes.message();
    return bytes.ok() ? *bytes : Bytes{};
}

TEST(SerialNumber, ParsesEveryPart)
{
    auto plan = ParseSerialPlan("0x7FF0:4:1000");
    ASSERT_TRUE(plan.ok()) << plan.message();
    EXPECT_EQ(plan->address, 0x7FF0u);
    EXPECT_EQ(plan->width, 4u);
    EXPECT_EQ(plan->start, 1000u);
    EXPECT_EQ(plan->step, 1u);
    EXPECT_EQ(plan->format, SerialFormat::Le);
    plan = ParseSerialPlan("16:6:0x10:5:ASCII");
    ASSERT_TRUE(plan.ok()) << plan.message();
    EXPECT_EQ(plan->address, 16u);
    EXPECT_EQ(plan->start, 16u);
    EXPECT_EQ(plan->step, 5u);
    EXPECT_EQ(plan->format, SerialFormat::Ascii);

    for (const char* bad : {"", "0x10", "0x10:4", "x:4:1", "0:0:1", "0:9:1", "0:4:-1", "0:4:1:0",
                            "0:4:1:1:hex", "0:4:1:1:le:x", "0:1:256", "0:2:100:1:bcd:",
                            "0xFFFFFF:2:1", "0x1000000:1:1", " 0:4:1"})
        EXPECT_FALSE(ParseSerialPlan(bad).ok()) << bad;
    EXPECT_NE(ParseSerialPlan("0:1:256").message().find("does not fit in 1 byte"), std::string::npos)
        << ParseSerialPlan("0:1:256").message();
}

SerialPlanFields Fields(const char* address, unsigned width, const char* start, const char* step,
                        SerialFormat format)
{
    return SerialPlanFields{std::string(address), width, std::string(start), std::string(step), format};
}

TEST(SerialNumber, FieldsGiveTheSamePlanAndMessagesAsTheText)
{
    auto plan = SerialPlanFromFields(Fields("0x7FF0", 6, "0x10", "5", SerialFormat::Ascii));
    ASSERT_TRUE(plan.ok()) << plan.message();
    EXPECT_EQ(plan->address, 0x7FF0u);
    EXPECT_EQ(plan->width, 6u);
    EXPECT_EQ(plan->start, 16u);
    EXPECT_EQ(plan->step, 5u);
    EXPECT_EQ(plan->format, SerialFormat::Ascii);

    // Each wrong field is named as the text front names it, the fields
    // quoted in its order.
    const struct {
        const char *address, *start, *step;
        unsigned width;
        SerialFormat format;
        const char* text;
    } cases[] = {{"x", "1", "1", 4, SerialFormat::Le, "x:4:1:1:le"},
                 {"0", "1", "1", 0, SerialFormat::Le, "0:0:1:1:le"},
                 {"0", "1", "1", 9, SerialFormat::Be, "0:9:1:1:be"},
                 {"0xFFFFFF", "1", "1", 2, SerialFormat::Le, "0xFFFFFF:2:1:1:le"},
                 {"0", "-1", "1", 4, SerialFormat::Le, "0:4:-1:1:le"},
                 {"0", "1", "0", 4, SerialFormat::Bcd, "0:4:1:0:bcd"},
                 {"0", "", "1", 4, SerialFormat::Le, "0:4::1:le"},
                 {"0x7FF0", "5000000000", "1", 4, SerialFormat::Le, "0x7FF0:4:5000000000:1:le"},
                 {"0", "100", "1", 2, SerialFormat::Ascii, "0:2:100:1:ascii"}};
    for (const auto& c : cases) {
        const auto fromFields = SerialPlanFromFields(Fields(c.address, c.width, c.start, c.step, c.format));
        const auto fromText = ParseSerialPlan(c.text);
        ASSERT_FALSE(fromFields.ok()) << c.text;
        ASSERT_FALSE(fromText.ok()) << c.text;
        EXPECT_EQ(fromFields.message(), fromText.message());
    }
    EXPECT_EQ(SerialPlanFromFields(Fields("0x7FF0", 4, "5000000000", "5", SerialFormat::Le)).message(),
              "serial number '0x7FF0:4:5000000000:5:le': serial 5000000000 does not fit in 4 bytes (le, at most "
              "4294967295)");
}

TEST(SerialNumber, EachFormat)
{
    EXPECT_EQ(Encode("0:4:0:1:le", 0x12345678), (Bytes{0x78, 0x56, 0x34, 0x12}));
    EXPECT_EQ(Encode("0:4:0:1:be", 0x12345678), (Bytes{0x12, 0x34, 0x56, 0x78}));
    EXPECT_EQ(Encode("0:3:0:1:bcd", 12345), (Bytes{0x01, 0x23, 0x45}));
    EXPECT_EQ(Encode("0:6:0:1:ascii", 1002), (Bytes{'0', '0', '1', '0', '0', '2'}));
    EXPECT_EQ(Encode("0:8:0", UINT64_MAX), Bytes(8, 0xFF));
    EXPECT_EQ(Encode("0:8:0:1:bcd", 9999999999999999u), Bytes(8, 0x99));
}

TEST(SerialNumber, WidthLimits)
{
    const struct {
        const char* plan;
        std::uint64_t fits, tooBig;
    } cases[] = {{"0:1:0", 255, 256},          {"0:2:0:1:be", 65535, 65536},
                 {"0:2:0:1:bcd", 9999, 10000}, {"0:3:0:1:ascii", 999, 1000},
                 {"0:7:0", (1ull << 56) - 1, 1ull << 56}};
    for (const auto& c : cases) {
        const SerialPlan plan = *ParseSerialPlan(c.plan);
        EXPECT_TRUE(EncodeSerial(plan, c.fits).ok()) << c.plan;
        const auto tooBig = EncodeSerial(plan, c.tooBig);
        ASSERT_FALSE(tooBig.ok()) << c.plan;
        EXPECT_NE(tooBig.message().find(std::to_string(c.tooBig)), std::string::npos)
            << tooBig.message();
    }
}

TEST(SerialNumber, CounterRepeatsAfterAFailureAndStopsAtTheWidth)
{
    SerialCounter counter(*ParseSerialPlan("0:1:250:2"));
    EXPECT_EQ(counter.Current(), 250u);
    counter.ChipDone(true);
    EXPECT_EQ(counter.Current(), 252u);
    counter.ChipDone(false);
    EXPECT_EQ(counter.Current(), 252u);
    counter.ChipDone(true);
    counter.ChipDone(true);
    EXPECT_EQ(counter.Current(), 256u);
    EXPECT_FALSE(counter.CurrentBytes().ok());

    SerialCounter wraps(*ParseSerialPlan("0:8:18446744073709551615"));
    EXPECT_TRUE(wraps.CurrentBytes().ok());
    wraps.ChipDone(true);
    EXPECT_FALSE(wraps.CurrentBytes().ok());  // no silent wrap to 0
}

}  // namespace
}  // namespace vexo
