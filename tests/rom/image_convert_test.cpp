// SPDX-License-Identifier: GPL-3.0-or-later
// Converting image files by extension: fill, offset, refusals, and that a
// failure keeps an existing output file.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "rom/image_convert.h"
#include "support/sim_fixture.h"

namespace vexo {
namespace {

using test::ReadFileBytes;
using test::TempDir;

std::string WriteText(const TempDir& dir, const std::string& name, const std::string& text)
{
    const std::string path = dir.File(name);
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

// 0x11 0x22 at 0x0002, 0x33 at 0x0006.
const char kSparseHex[] = ":020002001122C9\n:0100060033C6\n:00000001FF\n";

TEST(ImageConvert, HexToBinFillsTheGapsFromAddressZero)
{
    TempDir dir;
    const std::string in = WriteText(dir, "a.hex", kSparseHex);
    const Result<Conversion> result = ConvertImageFile(in, dir.File("a.bin"));
    ASSERT_TRUE(result.ok()) << result.message();
    EXPECT_EQ(ReadFileBytes(dir.File("a.bin")),
              (std::vector<std::uint8_t>{0xFF, 0xFF, 0x11, 0x22, 0xFF, 0xFF, 0x33}));
    EXPECT_EQ(result->input, ImageFormat::IntelHex);
    EXPECT_EQ(result->lowest, 2u);
    EXPECT_EQ(result->dataBytes, 3u);
    EXPECT_EQ(DescribeConversion(*result), "0x000000-0x000006, 7 bytes");
}

TEST(ImageConvert, FillAndOffsetShapeTheOutput)
{
    TempDir dir;
    const std::string in = WriteText(dir, "a.hex", kSparseHex);
    ConvertOptions options;
    options.fill = 0x00;
    options.offset = 3;
    const Result<Conversion> result = ConvertImageFile(in, dir.File("a.bin"), options);
    ASSERT_TRUE(result.ok()) << result.message();
    EXPECT_EQ(ReadFileBytes(dir.File("a.bin")), (std::vector<std::uint8_t>{0x22, 0x00, 0x00, 0x33}));
    EXPECT_EQ(DescribeConversion(*result), "0x000003-0x000006, 4 bytes");
}

TEST(ImageConvert, RawToTextAndBackKeepsEveryByte)
{
    TempDir dir;
    const auto image = test::RandomBytes(70000, 3);
    const std::string raw = dir.Write("image.bin", image);
    for (const char* name : {"image.hex", "image.s28"}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(ConvertImageFile(raw, dir.File(name)).ok());
        ASSERT_TRUE(ConvertImageFile(dir.File(name), dir.File("back.bin")).ok());
        EXPECT_EQ(ReadFileBytes(dir.File("back.bin")), image);
    }
    // S-record straight to Intel HEX.
    const Result<Conversion> result = ConvertImageFile(dir.File("image.s28"), dir.File("again.ihx"));
    ASSERT_TRUE(result.ok()) << result.message();
    EXPECT_EQ(result->output, ImageFormat::IntelHex);
    std::ifstream a(dir.File("again.ihx")), b(dir.File("image.hex"));
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(a), {}),
              std::string(std::istreambuf_iterator<char>(b), {}));
}

TEST(ImageConvert, RefusalsNameTheFileAndKeepTheOutput)
{
    TempDir dir;
    const std::string out = dir.Write("out.bin", {1, 2, 3});
    const std::string bad = WriteText(dir, "bad.hex", ":0100000055AA\n:010001006699\n:00000001FF\n");
    const std::string empty = WriteText(dir, "empty.hex", ":00000001FF\n");
    const std::string good = WriteText(dir, "good.hex", kSparseHex);
    ConvertOptions past;
    past.offset = 7;

    struct Case {
        std::string in;
        ConvertOptions options;
        std::string error;
    } cases[] = {
        {bad, {}, bad + ": line 2: bad checksum"},
        {empty, {}, empty + ": holds no data"},
        {dir.File("missing.hex"), {}, dir.File("missing.hex") + ": No such file or directory"},
        {dir.Path(), {}, dir.Path() + ": is a folder, not a file"},
        {good, past, "offset 0x000007 is past the image, which ends at 0x000006"},
        {out, {}, out + ": is the input file; choose another output name"},
    };
    for (const Case& c : cases) {
        const Result<Conversion> result = ConvertImageFile(c.in, out, c.options);
        EXPECT_FALSE(result.ok());
        EXPECT_EQ(result.message(), c.error);
        EXPECT_EQ(ReadFileBytes(out), (std::vector<std::uint8_t>{1, 2, 3}));
    }
    // An output folder that does not exist: the error names the output.
    const Result<Conversion> result = ConvertImageFile(good, dir.File("no/such.bin"));
    EXPECT_EQ(result.message(), dir.File("no/such.bin") + ": No such file or directory");
}

TEST(ImageConvert, TooLargeRawInputIsRefusedBeforeReading)
{
    TempDir dir;
    const std::string big = dir.File("big.bin");
    {
        std::ofstream file(big, std::ios::binary);
        file.seekp(kImageCapacity);
        file.put('\0');  // a sparse file one byte over the buffer
    }
    const Result<Conversion> result = ConvertImageFile(big, dir.File("big.hex"));
    EXPECT_EQ(result.message(), big + ": the file is larger than the 16 MiB buffer");
}

TEST(ImageConvert, DefaultOutputNameAndNumbers)
{
    EXPECT_EQ(DefaultBinPath("fw.hex"), "fw.bin");
    EXPECT_EQ(DefaultBinPath("/a.b/fw.v2.s19"), "/a.b/fw.v2.bin");
    EXPECT_EQ(DefaultBinPath("/a.b/fw"), "/a.b/fw.bin");
    EXPECT_EQ(DefaultBinPath("dir/.hidden"), "dir/.hidden.bin");

    std::uint32_t n = 0;
    EXPECT_TRUE(ParseImageNumber("0xFF", 0xFF, &n));
    EXPECT_EQ(n, 0xFFu);
    EXPECT_TRUE(ParseImageNumber("8000h", 0xFFFFFF, &n));
    EXPECT_EQ(n, 0x8000u);
    EXPECT_TRUE(ParseImageNumber("255", 0xFF, &n));
    EXPECT_EQ(n, 255u);
    for (const char* bad : {"", "0x", "256", "0x100", "-1", "12a", "h", "0xFFFFFFFFFFFF"})
        EXPECT_FALSE(ParseImageNumber(bad, 0xFF, &n)) << bad;
}

TEST(ImageConvert, OneFillCheckForEveryFrontEnd)
{
    EXPECT_EQ(*ParseFillByte("0"), 0x00);
    EXPECT_EQ(*ParseFillByte("0xA5"), 0xA5);
    EXPECT_EQ(*ParseFillByte("FFh"), 0xFF);
    for (const char* bad : {"", "0x100", "300", "-1", "x"}) {
        const Result<std::uint8_t> fill = ParseFillByte(bad);
        ASSERT_FALSE(fill) << bad;
        EXPECT_EQ(fill.message(), std::string(bad) + " is not a byte (0 to 0xFF)");
    }
}

}  // namespace
}  // namespace vexo
