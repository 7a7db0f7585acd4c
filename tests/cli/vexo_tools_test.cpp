// SPDX-License-Identifier: GPL-3.0-or-later
// vexo's image tools and wire capture: checksum, convert, --vcd.
#include "vexo_runner.h"

namespace vexo::test {
namespace {

TEST_F(VexoTest, ChecksumCoversTheDeviceRangeOfTheBuffer)
{
    // "123456789" then erased bytes: the 27C256 range is 32 KiB.
    Write("digits.bin", "123456789");
    VexoResult r = Vexo({"load", "digits.bin", "checksum", "device", "27C512", "checksum"});
    EXPECT_EQ(r.code, 0) << r.err;
    const auto lines = r.Lines();
    ASSERT_EQ(lines.size(), 2u);
    // Sum: 0x1DD for the digits plus 0xFF for each of the 32759 erased bytes.
    EXPECT_EQ(lines[0].substr(0, 24), "00000-07FFF sum16 0x78e6");
    EXPECT_EQ(lines[1].substr(0, 11), "00000-0FFFF");
}

TEST_F(VexoTest, ConvertRoundTripsAndRefusesBadInput)
{
    const std::string image = RandomImage(0x8000, 9);
    Write("image.bin", image);
    VexoResult r = Vexo({"convert", "image.bin", "image.hex", "convert", "image.hex", "back.bin",
                         "convert", "image.bin", "image.s37", "convert", "image.s37", "again.bin"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.Lines().size(), 4u);
    EXPECT_EQ(Slurp(Path("back.bin")), image);
    EXPECT_EQ(Slurp(Path("again.bin")), image);
    EXPECT_EQ(Slurp(Path("image.hex")).substr(0, 1), ":");

    // A damaged record: exit 1, the line named, the old output kept.
    std::string hex = Slurp(Path("image.hex"));
    hex[12] = hex[12] == '0' ? '1' : '0';
    Write("bad.hex", hex);
    r = Vexo({"convert", "bad.hex", "back.bin"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("bad.hex: line 1:"), std::string::npos) << r.err;
    EXPECT_EQ(Slurp(Path("back.bin")), image);

    r = Vexo({"convert", "image.hex", "filled.bin", "--fill", "0x100"});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(r.out.empty());
    EXPECT_NE(r.err.find("--fill: 0x100 is not a byte (0 to 0xFF)"), std::string::npos) << r.err;
}

TEST_F(VexoTest, VcdCapturesTheWire)
{
    VexoResult r = Vexo({"--vcd", "wire.vcd", "status"});
    EXPECT_EQ(r.code, 0) << r.err;
    const std::string vcd = Slurp(Path("wire.vcd"));
    EXPECT_NE(vcd.find("$timescale 1us $end"), std::string::npos);
    EXPECT_NE(vcd.find("$var wire 1 / S7 $end"), std::string::npos);
    // Start-up and exit each write control 0x04 and data 0x00 and read the
    // status: six accesses, then the closing time stamp.
    EXPECT_NE(vcd.find("#1\n1+\n"), std::string::npos) << vcd.substr(vcd.find("#0"));
    EXPECT_NE(vcd.rfind("#7\n"), std::string::npos) << vcd.substr(vcd.find("#0"));

    r = Vexo({"--vcd", "/no/such/folder/wire.vcd", "status"});
    EXPECT_EQ(r.code, 2);
    r = Vexo({"--vcd", "/dev/full", "blank"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("capture"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace vexo::test
