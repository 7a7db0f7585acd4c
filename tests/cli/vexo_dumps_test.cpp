// SPDX-License-Identifier: GPL-3.0-or-later
// Read passes, inspect and identify through the vexo binary.
#include <cstdio>
#include <regex>

#include "rom/checksum.h"
#include "rom/rom_hashes.h"
#include "vexo_runner.h"

namespace vexo::test {
namespace {

class VexoDumps : public VexoTest {};

std::string DatRom(const std::string& name, const std::string& bytes)
{
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    char crc[16];
    std::snprintf(crc, sizeof crc, "%08x", unsigned(Crc32(data, bytes.size())));
    return "<rom name=\"" + name + "\" size=\"" + std::to_string(bytes.size()) + "\" crc=\"" + crc + "\" sha1=\"" +
           Sha1Hex(Sha1({data, bytes.size()})) + "\"/>";
}

TEST_F(VexoDumps, FlakyBytesAreListedAndFailTheRead)
{
    const std::string port = "sim:chip=" + Path("c.bin") + ",flaky=4,seed=9";
    VexoResult r = Vexo({"--port", port, "--device", "27C256", "read", "--passes", "8"});
    EXPECT_EQ(r.code, 1) << r.err;
    std::vector<std::string> unstable;
    for (const std::string& line : r.Lines())
        if (std::regex_match(line, std::regex("0x[0-9A-F]{5}: reads( [0-9A-F]{2}){8} \\(bit [0-7] unstable\\)")))
            unstable.push_back(line);
    EXPECT_EQ(unstable.size(), 4u) << r.out;
    EXPECT_TRUE(std::regex_search(r.out, std::regex("\nread: 4 unstable bits in 4 bytes over 8 passes, first "
                                                    "0x[0-9A-F]{5}, last 0x[0-9A-F]{5}; the buffer holds each "
                                                    "bit's majority\n")))
        << r.out;

    // The same seed places the same bytes; --max-diffs cuts the list; save
    // keeps the majority image and fails the same way.
    VexoResult s = Vexo({"--port", port, "--device", "27C256", "save", Path("dump.bin"), "--passes", "3",
                         "--max-diffs", "1"});
    EXPECT_EQ(s.code, 1);
    EXPECT_EQ(Slurp(Path("dump.bin")).size(), 0x8000u);
    std::size_t byteLines = 0;
    for (const std::string& line : s.Lines()) byteLines += std::regex_match(line, std::regex("0x[0-9A-F]{5}: reads.*"));
    EXPECT_EQ(byteLines, 1u) << s.out;
    EXPECT_TRUE(std::regex_search(s.out, std::regex("save: [0-9]+ unstable bits? in [0-9]+ bytes? over 3 passes")))
        << s.out;
}

TEST_F(VexoDumps, StableChipAgreesAndOnePassIsTheUsualRead)
{
    const std::string port = "sim:chip=" + Path("c.bin");
    VexoResult plain = Vexo({"--port", port, "read"});
    VexoResult one = Vexo({"--port", port, "read", "--passes", "3"});
    EXPECT_EQ(one.code, 0) << one.err;
    EXPECT_EQ(one.out, plain.out + "read: 3 passes agree\n");
    VexoResult json = Vexo({"--json", "--port", port, "read", "--passes", "2"});
    EXPECT_NE(json.out.find(R"("line":"read: 2 passes agree","kind":"passes_agree","passes":2)"), std::string::npos)
        << json.out;
    for (const char* bad : {"1", "17", "x"}) {
        VexoResult usage = Vexo({"read", "--passes", bad});
        EXPECT_EQ(usage.code, 2) << bad;
        EXPECT_NE(usage.err.find("--passes takes a number of passes from 2 to 16"), std::string::npos) << usage.err;
    }
}

TEST_F(VexoDumps, InspectNamesWhatItFinds)
{
    std::string image = RandomImage(0x4000, 3);
    image += std::string(0x4000, '\xFF');
    const std::string file = Write("half.bin", image);
    VexoResult r = Vexo({"load", file, "inspect"});
    EXPECT_EQ(r.code, 0) << r.err;
    ASSERT_EQ(r.Lines().size(), 2u) << r.out;
    EXPECT_TRUE(std::regex_match(r.Lines()[0], std::regex("inspect: 0x00000-0x07FFF, 32768 bytes, crc32 0x[0-9A-F]{8}, "
                                                          "sha1 [0-9a-f]{40}")))
        << r.Lines()[0];
    EXPECT_EQ(r.Lines().back(), "inspect: 0x04000-0x07FFF is all FF");
    r = Vexo({"load", file, "inspect", "--range", "0", "0x3FFF"});
    EXPECT_EQ(r.Lines().back(), "inspect: nothing unusual");
    r = Vexo({"inspect", "--range", "0x10", "0x1"});
    EXPECT_EQ(r.code, 1);
}

TEST_F(VexoDumps, EvenAndOddFilesRoundTrip)
{
    const std::string image = Write("image.bin", RandomImage(0x8000, 5));
    VexoResult split = Vexo({"load", image, "split", Path("even.bin"), Path("odd.bin")});
    ASSERT_EQ(split.code, 0) << split.err;
    const std::string even = Slurp(Path("even.bin"));
    ASSERT_EQ(even.size(), 0x4000u);
    const std::string dat = Write("set.xml", "<?xml version=\"1.0\"?>\n<datafile><game name=\"board\">"
                                             "<description>A board</description>" +
                                                 DatRom("u12.even", even) + "</game></datafile>\n");
    VexoResult r = Vexo({"merge", Path("even.bin"), Path("odd.bin"), "identify", "--dat", dat});
    EXPECT_EQ(r.code, 0) << r.err;
    ASSERT_FALSE(r.Lines().empty());
    EXPECT_TRUE(std::regex_match(r.Lines().back(),
                                 std::regex("identify: even bytes match \"u12.even\" of board \\(A board\\), 16384 "
                                            "bytes, crc32 0x[0-9A-F]{8}, sha1 verified, in .*set.xml")))
        << r.out;

    // Nothing matches a blank buffer: exit 1. A file that is no DAT: exit 2.
    const std::string other = Write("other.dat", "game ( name x rom ( name y size 16 crc 01234567 ) )\n");
    r = Vexo({"identify", "--dat", dat, "--dat", other});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.Lines().back(), "identify: nothing matches among 2 roms in 2 files");
    r = Vexo({"identify", "--dat", dat, "--dat", Write("bad.xml", "<html/>")});
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("vexo: identify: " + Path("bad.xml") + ": is none of the DAT formats"), std::string::npos)
        << r.err;
    EXPECT_EQ(Vexo({"identify"}).code, 2) << "--dat is needed";
}

}  // namespace
}  // namespace vexo::test
