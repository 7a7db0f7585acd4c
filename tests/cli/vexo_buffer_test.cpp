// SPDX-License-Identifier: GPL-3.0-or-later
// vexo's buffer steps end to end, the files they write compared byte for byte.
#include "vexo_runner.h"

namespace vexo::test {
namespace {

TEST_F(VexoTest, SplitThenMergeGivesTheImageBack)
{
    const std::string image = RandomImage(0x8000, 3);
    Write("image.bin", image);
    VexoResult r = Vexo({"load", "image.bin", "split", "even.bin", "odd.hex"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.Lines(), std::vector<std::string>{"split into even.bin odd.hex"});
    const std::string even = Slurp(Path("even.bin"));
    ASSERT_EQ(even.size(), 0x4000u);
    for (std::size_t i = 0; i < even.size(); ++i) ASSERT_EQ(even[i], image[2 * i]) << i;
    EXPECT_EQ(Slurp(Path("odd.hex")).substr(0, 1), ":");

    r = Vexo({"merge", "even.bin", "odd.hex", "export", "back.bin"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Slurp(Path("back.bin")), image);

    // Four ways, and back, the files written as S-records.
    r = Vexo({"load", "image.bin", "split", "q0.s19", "q1.bin", "q2.bin", "q3.bin", "merge", "q0.s19",
              "q1.bin", "q2.bin", "q3.bin", "export", "back4.bin"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Slurp(Path("back4.bin")), image);
    EXPECT_EQ(Slurp(Path("q1.bin")).size(), 0x2000u);
}

TEST_F(VexoTest, FillPatchSwapThenExport)
{
    std::string image = RandomImage(0x8000, 5);
    Write("image.bin", image);
    VexoResult r = Vexo({"load", "image.bin", "fill", "0x100", "0x1FF", "0xAA", "patch", "0x7FFE",
                         "1", "0x02", "export", "out.bin", "swap", "export", "swapped.bin"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.Lines(), (std::vector<std::string>{"filled 0x000100-0x0001FF with 0xAA",
                                                   "patched 2 bytes at 0x007FFE",
                                                   "exported 0x000000-0x007FFF to out.bin",
                                                   "swapped the bytes of 0x000000-0x007FFF",
                                                   "exported 0x000000-0x007FFF to swapped.bin"}));
    std::fill(image.begin() + 0x100, image.begin() + 0x200, '\xAA');
    image[0x7FFE] = 1;
    image[0x7FFF] = 2;
    EXPECT_EQ(Slurp(Path("out.bin")), image);
    for (std::size_t i = 0; i < image.size(); i += 2) std::swap(image[i], image[i + 1]);
    EXPECT_EQ(Slurp(Path("swapped.bin")), image);
    // Without any image: a fill makes one present; export covers the device.
    r = Vexo({"fill", "0", "3", "0", "export", "fresh.bin"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Slurp(Path("fresh.bin")), std::string(4, '\0') + std::string(0x8000 - 4, '\xFF'));
}

TEST_F(VexoTest, RepeatFillsA27C512AndLoadAtPlacesAFile)
{
    const std::string image = RandomImage(0x8000, 9);
    Write("image.bin", image);
    Write("tail.bin", "SERIAL42");
    VexoResult r = Vexo({"load", "image.bin", "device", "27C512", "repeat", "load-at", "0xFFF8",
                         "tail.bin", "export", "out.bin", "checksum", "--range", "0", "0x7FFF"});
    ASSERT_EQ(r.code, 0) << r.err;
    const std::string out = Slurp(Path("out.bin"));
    ASSERT_EQ(out.size(), 0x10000u);
    EXPECT_EQ(out.substr(0, 0x8000), image);
    EXPECT_EQ(out.substr(0x8000, 0x7FF8), image.substr(0, 0x7FF8));
    EXPECT_EQ(out.substr(0xFFF8), "SERIAL42");
    ASSERT_EQ(r.Lines().size(), 4u);
    EXPECT_EQ(r.Lines()[3].substr(0, 11), "00000-07FFF");

    // A 40 KiB image neither fits nor divides the 32 KiB device.
    Write("odd.bin", RandomImage(0xA000, 1));
    r = Vexo({"load", "odd.bin", "repeat"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("vexo: repeat: The image (40960 bytes) is larger"), std::string::npos) << r.err;
}

// The red-team case: 16 bytes of HEX at 0x7000 placed over a loaded image
// change those 16 bytes and no other; an S-record file likewise.
TEST_F(VexoTest, LoadAtOfATextFilePlacesOnlyItsRecords)
{
    const std::string image = RandomImage(0x8000, 13);
    Write("fw.bin", image);
    Write("hi.hex", ":10700000000102030405060708090A0B0C0D0E0F08\n:00000001FF\n");
    Write("hi.s19", "S1137000000102030405060708090A0B0C0D0E0F04\n");
    for (const char* file : {"hi.hex", "hi.s19"}) {
        VexoResult r = Vexo({"load", "fw.bin", "load-at", "0", file, "export", "out.bin"});
        ASSERT_EQ(r.code, 0) << r.err;
        const std::string out = Slurp(Path("out.bin"));
        ASSERT_EQ(out.size(), image.size());
        std::string expected = image;
        for (int i = 0; i < 16; ++i) expected[0x7000 + i] = char(i);
        EXPECT_EQ(out, expected) << file;
    }
}

// An odd-length image swapped takes its last word whole: split and merge
// give every byte back.
TEST_F(VexoTest, SwapOfAnOddImageKeepsItsLastByte)
{
    Write("odd.bin", "\x01\x02\x03\x04\x05");
    VexoResult r = Vexo({"load", "odd.bin", "swap", "split", "a.bin", "b.bin"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Slurp(Path("a.bin")), "\x02\x04\xFF");
    EXPECT_EQ(Slurp(Path("b.bin")), "\x01\x03\x05");
    r = Vexo({"merge", "a.bin", "b.bin", "swap", "export", "back.bin"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Slurp(Path("back.bin")).substr(0, 6), std::string("\x01\x02\x03\x04\x05\xFF"));
}

TEST_F(VexoTest, RangeRefusalsFailTheRunAndWriteNothing)
{
    Write("image.bin", RandomImage(0x8000, 2));
    struct Case {
        std::vector<std::string> steps;
        std::string says;
    } cases[] = {
        {{"fill", "0", "0x1000000", "0"}, "vexo: fill: Bad end \"0x1000000\": give a number up to 0xFFFFFF"},
        {{"fill", "0x20", "0x10", "0"}, "vexo: fill: The range starts at 0x000020"},
        {{"patch", "0xFFFFFF", "1", "2"}, "vexo: patch: 2 bytes at 0xFFFFFF"},
        {{"load-at", "0xFFFFF0", "image.bin"}, "vexo: load-at: image.bin (32768 bytes) at 0xFFFFF0"},
        {{"checksum", "--range", "0x10", "0"}, "vexo: checksum: The range starts at 0x000010"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{"load", "image.bin"};
        args.insert(args.end(), c.steps.begin(), c.steps.end());
        args.insert(args.end(), {"export", "out.bin"});
        const VexoResult r = Vexo(args);
        EXPECT_EQ(r.code, 1) << c.steps[0];
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_TRUE(Slurp(Path("out.bin")).empty()) << c.steps[0];
    }
    // Words that are no numbers, or three files, are usage errors: nothing runs.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"fill", "0", "x", "0"}, {"patch", "0", "0x100"},
          {"split", "a.bin", "b.bin", "c.bin"}, {"checksum", "--range", "0"},
          {"split", "a.bin", "a.bin"}}) {
        const VexoResult r = Vexo(args);
        EXPECT_EQ(r.code, 2) << args[0] << r.err;
    }
    // The chip file is no target or source of theirs: refused before anything runs.
    const std::string chip = Write("chip.bin", std::string(0x8000, '\x5A'));
    const VexoResult r = Vexo({"--port", "sim:chip=chip.bin", "load", "image.bin", "export", "chip.bin"});
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("the chip file chip.bin and export chip.bin are the same file"), std::string::npos)
        << r.err;
    EXPECT_EQ(Vexo({"--port", "sim:chip=chip.bin", "merge", "chip.bin", "image.bin"}).code, 2);
    EXPECT_EQ(Slurp(chip), std::string(0x8000, '\x5A'));
}

}  // namespace
}  // namespace vexo::test
