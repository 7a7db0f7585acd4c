// SPDX-License-Identifier: GPL-3.0-or-later
// The integrity report on crafted images, one per kind of line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rom/dump_inspect.h"

namespace vexo {
namespace {

// Bytes that repeat nothing and leave no bit fixed.
std::vector<std::uint8_t> Varied(std::size_t size, std::uint32_t seed = 1)
{
    std::vector<std::uint8_t> bytes(size);
    std::uint32_t x = seed * 2654435761u + 1;
    for (auto& b : bytes) {
        x = x * 1103515245u + 12345u;
        b = std::uint8_t(x >> 16);
    }
    return bytes;
}

std::vector<std::string> InspectTexts(const std::vector<std::uint8_t>& image, std::uint32_t first = 0)
{
    std::vector<std::string> texts;
    for (const ReportLine& line : InspectLines(InspectImage(image, first))) texts.push_back(line.text);
    return texts;
}

TEST(Inspect, NothingUnusualAfterTheHeadline)
{
    const std::vector<std::string> lines = InspectTexts(std::vector<std::uint8_t>{'a', 'b', 'c'}, 0x100);
    EXPECT_EQ(lines[0], "inspect: 0x00100-0x00102, 3 bytes, crc32 0x352441C2, sha1 "
                        "a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(lines[1], "inspect: data bit D7 is 0 at every address") << "ASCII letters";
    EXPECT_EQ(InspectTexts(Varied(0x8000)), (std::vector<std::string>{InspectTexts(Varied(0x8000))[0], "inspect: nothing unusual"}));
}

TEST(Inspect, FixedDataBit)
{
    std::vector<std::uint8_t> image = Varied(0x8000);
    for (auto& b : image) b &= 0x7F;
    const std::vector<std::string> lines = InspectTexts(image);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], "inspect: data bit D7 is 0 at every address");
    for (auto& b : image) b |= 0x04;
    EXPECT_EQ(InspectTexts(image)[2], "inspect: data bit D2 is 1 at every address");
}

TEST(Inspect, AddressLineWithoutEffectAndRepeat)
{
    // The upper half a copy of the lower: A14 does nothing, and the image repeats.
    std::vector<std::uint8_t> image = Varied(0x4000);
    image.insert(image.end(), image.begin(), image.end());
    std::vector<std::string> lines = InspectTexts(image);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], "inspect: address line A14 has no effect (0x00000-0x03FFF equals 0x04000-0x07FFF)");
    EXPECT_EQ(lines[2], "inspect: the image repeats every 0x04000 bytes; the unique part is 0x00000-0x03FFF");

    // A line in the middle: bit 3 of the address makes no difference,
    // which is no repeat of the whole image.
    image = Varied(0x8000);
    for (std::size_t i = 0; i < image.size(); ++i)
        if (i & 8) image[i] = image[i ^ 8];
    lines = InspectTexts(image);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], "inspect: address line A3 has no effect (0x00000-0x00007 equals 0x00008-0x0000F)");

    // Four copies of 0x2000 bytes: the smallest period is named.
    image = Varied(0x2000);
    for (int i = 0; i < 2; ++i) image.insert(image.end(), image.begin(), image.end());
    EXPECT_EQ(InspectTexts(image).back(), "inspect: the image repeats every 0x02000 bytes; the unique part is 0x00000-0x01FFF");
}

TEST(Inspect, BlankAndZeroRuns)
{
    std::vector<std::uint8_t> image = Varied(0x8000);
    std::fill(image.begin() + 0x4000, image.end(), 0xFF);
    std::fill(image.begin() + 0x100, image.begin() + 0x200, 0x00);      // 256: named
    std::fill(image.begin() + 0x1000, image.begin() + 0x10FF, 0x00);    // 255: too short
    std::vector<std::string> lines = InspectTexts(image);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], "inspect: 0x00100-0x001FF is all 00");
    EXPECT_EQ(lines[2], "inspect: 0x04000-0x07FFF is all FF");

    // Twenty runs: sixteen named, then the rest counted.
    image = Varied(0x8000);
    for (std::size_t run = 0; run < 20; ++run) std::fill_n(image.begin() + std::ptrdiff_t(run * 0x400), 0x100, 0xFF);
    lines = InspectTexts(image);
    ASSERT_EQ(lines.size(), 18u);
    EXPECT_EQ(lines[16], "inspect: 0x03C00-0x03CFF is all FF");
    EXPECT_EQ(lines[17], "... and 4 more");
}

TEST(Inspect, OneValueThroughout)
{
    // A blank chip is one run; another value, its fixed bits.
    std::vector<std::uint8_t> image(0x200, 0xFF);
    std::vector<ReportLine> lines = InspectLines(InspectImage(image));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1].text, "inspect: 0x00000-0x001FF is all FF");
    EXPECT_EQ(lines[1].fields.Text(), R"({"kind":"run","first":0,"last":511,"value":255})");
    image.assign(0x200, 0x80);
    lines = InspectLines(InspectImage(image));
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[1].fields.Text(), R"({"kind":"fixed_bit","bit":7,"level":1})");
    EXPECT_EQ(lines[8].text, "inspect: data bit D0 is 0 at every address");
}

}  // namespace
}  // namespace vexo
