// SPDX-License-Identifier: GPL-3.0-or-later
// Byte sum and CRC-32 against known values, and their printed forms.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rom/checksum.h"

namespace vexo {
namespace {

const std::uint8_t* AsBytes(const std::string& s) { return reinterpret_cast<const std::uint8_t*>(s.data()); }

TEST(Checksum, KnownValues)
{
    const std::string check = "123456789";
    EXPECT_EQ(Crc32(AsBytes(check), check.size()), 0xCBF43926u);
    EXPECT_EQ(Sum16(AsBytes(check), check.size()), 0x01DDu);
    EXPECT_EQ(Crc32(nullptr, 0), 0u);
    const std::string fox = "The quick brown fox jumps over the lazy dog";
    EXPECT_EQ(Crc32(AsBytes(fox), fox.size()), 0x414FA339u);

    // A blank 27C256 and 27C512: the sum wraps at 16 bits.
    const std::vector<std::uint8_t> blank(0x10000, 0xFF);
    EXPECT_EQ(Sum16(blank.data(), 0x8000), 0x8000u);
    EXPECT_EQ(Sum16(blank.data(), 0x10000), 0x0000u);
    EXPECT_EQ(Sum16(blank.data(), 0xFFFF), 0xFF01u);
}

TEST(Checksum, PrintedForms)
{
    EXPECT_EQ(FormatSum16(0x1DD), "sum16 0x01dd");
    EXPECT_EQ(FormatCrc32(0xCBF43926u), "crc32 0xcbf43926");
    EXPECT_EQ(FormatCrc32(0x1234u), "crc32 0x00001234");
    const std::string check = "123456789";
    EXPECT_EQ(FormatChecksumLine(0, AsBytes(check), check.size()),
              "00000-00008 sum16 0x01dd crc32 0xcbf43926");
    EXPECT_EQ(FormatChecksumLine(0x70000, AsBytes(check), check.size()),
              "70000-70008 sum16 0x01dd crc32 0xcbf43926");
    EXPECT_EQ(FormatChecksumLine(0, nullptr, 0), "(empty) sum16 0x0000 crc32 0x00000000");
}

}  // namespace
}  // namespace vexo
