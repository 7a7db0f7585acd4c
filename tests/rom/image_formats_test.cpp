// SPDX-License-Identifier: GPL-3.0-or-later
// Intel HEX and S-record: round trips, the writers against checked-in text,
// and every reader fault with its line number.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "rom/catalogue.h"
#include "rom/image_formats.h"
#include "rom/rom.h"
#include "support/sim_fixture.h"

namespace vexo {
namespace {

using test::RandomBytes;

std::string Golden(const std::string& name)
{
    const auto path = std::filesystem::path(VEXO_TESTS_DIR) / "rom" / "golden" / name;
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in.good()) << path;
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::uint8_t> Counting(std::size_t size)
{
    std::vector<std::uint8_t> out(size);
    for (std::size_t i = 0; i < size; ++i) out[i] = std::uint8_t(i);
    return out;
}

// A reader over a buffer in its reset state, as the device object holds it.
struct Reader {
    std::vector<std::uint8_t> buffer = std::vector<std::uint8_t>(kBufferSize, 0xFF);
    Result<ImageRead> Read(ImageFormat format, std::string_view text)
    {
        return ReadTextImage(format, text, buffer.data(), kBufferSize);
    }
    bool Untouched() const
    {
        for (std::uint8_t b : buffer)
            if (b != 0xFF) return false;
        return true;
    }
};

TEST(ImageFormats, FormatFollowsTheExtensionInAnyCase)
{
    EXPECT_EQ(FormatForPath("a.hex"), ImageFormat::IntelHex);
    EXPECT_EQ(FormatForPath("dir.s19/A.IHX"), ImageFormat::IntelHex);
    EXPECT_EQ(FormatForPath("x.ihex"), ImageFormat::IntelHex);
    for (const char* name : {"a.s19", "a.S28", "a.s37", "a.srec", "a.MOT"})
        EXPECT_EQ(FormatForPath(name), ImageFormat::SRecord) << name;
    for (const char* name : {"a.bin", "hex", "a.hex.bin", "a.s1", "", "a.rom"})
        EXPECT_EQ(FormatForPath(name), ImageFormat::Raw) << name;
}

TEST(ImageFormats, EveryDeviceSizeSurvivesBothTextFormats)
{
    for (const DeviceInfo& device : kDevices) {
        const auto image = RandomBytes(device.Size(), device.Size());
        for (ImageFormat format : {ImageFormat::IntelHex, ImageFormat::SRecord}) {
            SCOPED_TRACE(std::string(device.name) + " " + std::string(FormatName(format)));
            const std::string text = WriteTextImage(format, image.data(), device.Size());
            Reader reader;
            const Result<ImageRead> result = reader.Read(format, text);
            ASSERT_TRUE(result) << result.message();
            EXPECT_EQ(result->length, device.Size());
            EXPECT_EQ(result->bytes, device.Size());
            EXPECT_EQ(result->lowest, 0u);
            EXPECT_TRUE(std::equal(image.begin(), image.end(), reader.buffer.begin()));
            EXPECT_EQ(reader.buffer[device.Size()], 0xFF);
        }
    }
}

TEST(ImageFormats, RoundTripsKeepTheBaseAddressAndRecordSize)
{
    const auto image = RandomBytes(100000, 7);
    TextImageOptions options;
    options.bytesPerRecord = 32;
    for (ImageFormat format : {ImageFormat::IntelHex, ImageFormat::SRecord}) {
        for (std::uint32_t base : {0x0u, 0xFFF1u, 0xFE0000u, kBufferSize - 100000}) {
            SCOPED_TRACE(base);
            const std::string text =
                WriteTextImage(format, image.data(), std::uint32_t(image.size()), base, options);
            Reader reader;
            const Result<ImageRead> result = reader.Read(format, text);
            ASSERT_TRUE(result) << result.message();
            EXPECT_EQ(result->lowest, base);
            EXPECT_EQ(result->length, base + image.size());
            EXPECT_TRUE(std::equal(image.begin(), image.end(), reader.buffer.begin() + base));
        }
    }
}

TEST(ImageFormats, WritersMatchTheCheckedInText)
{
    const auto counting = Counting(40);
    EXPECT_EQ(WriteTextImage(ImageFormat::IntelHex, counting.data(), 40), Golden("counting40.hex"));
    // Crosses 64 KiB: the record stops at the boundary and a type 04 follows.
    EXPECT_EQ(WriteTextImage(ImageFormat::IntelHex, counting.data(), 40, 0xFFF8),
              Golden("across64k.hex"));
    TextImageOptions wide;
    wide.bytesPerRecord = 32;
    wide.header = "counting";
    EXPECT_EQ(WriteTextImage(ImageFormat::SRecord, counting.data(), 40, 0, wide),
              Golden("counting40.s19"));
    EXPECT_EQ(WriteTextImage(ImageFormat::SRecord, counting.data(), 20, 0xFFF8), Golden("s2.s28"));
    EXPECT_EQ(WriteTextImage(ImageFormat::SRecord, counting.data(), 8, 0x01000000), Golden("s3.s37"));
    EXPECT_EQ(WriteTextImage(ImageFormat::IntelHex, nullptr, 0), ":00000001FF\n");
    EXPECT_EQ(WriteTextImage(ImageFormat::SRecord, nullptr, 0), "S0030000FC\nS9030000FC\n");
}

TEST(ImageFormats, GapsKeepTheBufferAndLengthIsTheHighestAddressPlusOne)
{
    Reader reader;
    std::fill(reader.buffer.begin(), reader.buffer.end(), 0xAA);
    const Result<ImageRead> result = reader.Read(
        ImageFormat::IntelHex, ":020100001122CA\n:02020000334485\n:00000001FF\n");
    ASSERT_TRUE(result) << result.message();
    EXPECT_EQ(result->lowest, 0x100u);
    EXPECT_EQ(result->length, 0x202u);
    EXPECT_EQ(result->bytes, 4u);
    EXPECT_EQ(reader.buffer[0x0FF], 0xAA);
    EXPECT_EQ(reader.buffer[0x100], 0x11);
    EXPECT_EQ(reader.buffer[0x101], 0x22);
    EXPECT_EQ(reader.buffer[0x102], 0xAA);
    EXPECT_EQ(reader.buffer[0x201], 0x44);
    EXPECT_EQ(reader.buffer[0x202], 0xAA);
}

TEST(ImageFormats, ReadersAreLenientWhereRealFilesDiffer)
{
    // CR line ends, blank lines, lower case, blanks around records, start
    // address records and a DOS end-of-file mark.
    Reader hex;
    auto result = hex.Read(ImageFormat::IntelHex,
                           "\r\n:0400000501020304ED\r\n  :0200000011aa43  \r\n\r\n"
                           ":0400000300001000E9\r\n:00000001ff\r\n\x1a");
    ASSERT_TRUE(result) << result.message();
    EXPECT_EQ(hex.buffer[1], 0xAA);

    // No S9 at the end, S5 with the right count, lower-case mark.
    Reader srec;
    result = srec.Read(ImageFormat::SRecord, "S00600004844521B\ns1050010aabb85\nS5030001FB\n");
    ASSERT_TRUE(result) << result.message();
    EXPECT_EQ(srec.buffer[0x11], 0xBB);
    EXPECT_EQ(result->length, 0x12u);
}

TEST(ImageFormats, ExtendedAddressesReachTheWholeBuffer)
{
    Reader reader;
    // Segment 0x1000: offset 0xFFFE wraps inside the segment to 0x10000.
    auto result = reader.Read(ImageFormat::IntelHex,
                              ":020000021000EC\n:04FFFE00A1A2A3A475\n"
                              ":0200000400FFFB\n:01FFFF00C33E\n:00000001FF\n");
    ASSERT_TRUE(result) << result.message();
    EXPECT_EQ(reader.buffer[0x1FFFE], 0xA1);
    EXPECT_EQ(reader.buffer[0x1FFFF], 0xA2);
    EXPECT_EQ(reader.buffer[0x10000], 0xA3);
    EXPECT_EQ(reader.buffer[0x10001], 0xA4);
    EXPECT_EQ(reader.buffer[0xFFFFFF], 0xC3);
    EXPECT_EQ(result->length, kBufferSize);
    EXPECT_EQ(result->lowest, 0x10000u);
}

struct Fault {
    ImageFormat format;
    const char* text;
    const char* error;
};

TEST(ImageFormats, EveryFaultNamesItsLineAndLoadsNothing)
{
    const ImageFormat H = ImageFormat::IntelHex;
    const ImageFormat S = ImageFormat::SRecord;
    // Each text starts with a good data record, which must not reach the buffer.
    const Fault faults[] = {
        {H, ":0100000055AA\n0100010066\n", "line 2: not a record (it does not start with ':')"},
        {H, ":0100000055AA\n:01000100G698\n",
         "line 2: malformed record (a character that is not a hexadecimal digit)"},
        {H, ":0100000055AA\n:010001006698F\n", "line 2: malformed record (an odd number of digits)"},
        {H, ":0100000055AA\n:01 000100 66 98\n", "line 2: malformed record (a blank inside it)"},
        {H, ":0100000055AA\n\n:0000\n", "line 3: malformed record (too short)"},
        {H, ":0100000055AA\n:0200010066F7\n",
         "line 2: byte count 02 does not match the record's 1 data bytes"},
        {H, ":0100000055AA\n:010001006699\n", "line 2: bad checksum"},
        {H, ":0100000055AA\n:00000006FA\n", "line 2: unknown record type 06"},
        {H, ":0100000055AA\n:0100000401FA\n", "line 2: record type 04 must hold 2 data bytes, not 1"},
        {H, ":0100000055AA\n:00000001FF\n:010001006698\n",
         "line 3: record after the end-of-file record"},
        {H, ":0100000055AA\n:010001006698\n",
         "line 3: the file ends without an end-of-file record (:00000001FF); is it cut short?"},
        {H, ":0100000055AA\n:020000040100F9\n:010000006699\n",
         "line 3: address 0x1000000 is past the end of the 16 MiB buffer"},
        {H, ":0100000055AA\n:02000004FFFFFC\n:01FFFF00669B\n",
         "line 3: address 0xFFFFFFFF is past the end of the 16 MiB buffer"},
        {H, ":0100000055AA\n:0200000400FFFB\n:02FFFF00667723\n",
         "line 3: address 0x1000000 is past the end of the 16 MiB buffer"},
        // Segment 0: the second byte wraps to address 0.
        {H, ":0100000055AA\n:010001006698\n:020000020000FC\n:02FFFF00667723\n:00000001FF\n",
         "line 4: address 0x000000 was already given on line 1"},
        {S, "S1040000551A6\n", "line 1: malformed record (an odd number of digits)"},
        {S, "S104000055A6\n:0100010066F7\n", "line 2: not a record (it does not start with 'S')"},
        {S, "S104000055A6\nS40400010000FA\n", "line 2: unknown record type S4"},
        {S, "S104000055A6\nSX\n", "line 2: unknown record type SX"},
        {S, "S104000055A6\nS105000166A6\n",
         "line 2: byte count 05 does not match the record's 4 bytes"},
        {S, "S104000055A6\nS2030001FB\n", "line 2: malformed record (too short for an S2 record)"},
        {S, "S104000055A6\nS104000166A5\n", "line 2: bad checksum"},
        {S, "S104000055A6\nS5030002FA\n",
         "line 2: record count 2 does not match the 1 data records before it"},
        {S, "S104000055A6\nS9030000FC\nS10400016694\n",
         "line 3: record after the termination record"},
        {S, "S104000055A6\nS30601000000AA4E\n",
         "line 2: address 0x1000000 is past the end of the 16 MiB buffer"},
        {S, "S104000055A6\nS10500FF66771E\nS10401018871\nS104000099623\n",
         "line 4: malformed record (an odd number of digits)"},
        {S, "S104000055A6\nS10500FF66771E\nS10401018871\nS10400FF9963\n",
         "line 4: address 0x0000FF was already given on line 2"},
    };
    for (const Fault& fault : faults) {
        SCOPED_TRACE(fault.text);
        Reader reader;
        const Result<ImageRead> result = reader.Read(fault.format, fault.text);
        EXPECT_FALSE(result);
        EXPECT_EQ(result.message(), fault.error);
        EXPECT_TRUE(reader.Untouched());
    }
}

TEST(ImageFormats, RawIsTheBytesThemselves)
{
    Reader reader;
    const Result<ImageRead> result = reader.Read(ImageFormat::Raw, std::string_view("\x01\x02\xFF", 3));
    ASSERT_TRUE(result);
    EXPECT_EQ(result->length, 3u);
    EXPECT_EQ(reader.buffer[1], 0x02);
    const std::uint8_t small[4] = {1, 2, 3, 4};
    EXPECT_EQ(ReadTextImage(ImageFormat::Raw, "12345", reader.buffer.data(), 4).message(),
              "the file is larger than the buffer (4 bytes)");
    EXPECT_EQ(WriteTextImage(ImageFormat::Raw, small, 4), std::string("\x01\x02\x03\x04"));
}

}  // namespace
}  // namespace vexo
