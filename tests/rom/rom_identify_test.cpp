// SPDX-License-Identifier: GPL-3.0-or-later
// DAT files of each format, each kind of candidate, and DATs that are not
// well-formed. The DATs are written here, small and made up.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "rom/checksum.h"
#include "rom/rom_identify.h"

namespace vexo {
namespace {

std::vector<std::uint8_t> VariedImage(std::size_t size, std::uint32_t seed)
{
    std::vector<std::uint8_t> bytes(size);
    std::uint32_t x = seed * 2654435761u + 7;
    for (auto& b : bytes) {
        x = x * 1103515245u + 12345u;
        b = std::uint8_t(x >> 16);
    }
    return bytes;
}

std::string CrcText(std::span<const std::uint8_t> bytes)
{
    char text[16];
    std::snprintf(text, sizeof text, "%08x", unsigned(Crc32(bytes.data(), bytes.size())));
    return text;
}

class Identification : public ::testing::Test {
protected:
    Identification()
    {
        dir = std::filesystem::temp_directory_path() / ("vexo-identify-" + std::to_string(getpid()) + "-" +
                                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
    }
    ~Identification() override { std::filesystem::remove_all(dir); }
    std::string Write(const std::string& name, const std::string& text) const
    {
        const std::string path = (dir / name).string();
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    // A <rom .../> of `bytes` with its hashes.
    static std::string XmlRom(const std::string& name, std::span<const std::uint8_t> bytes, bool sha1 = true,
                              const std::string& extra = {})
    {
        std::string rom = "<rom name=\"" + name + "\" size=\"" + std::to_string(bytes.size()) + "\" crc=\"" +
                          CrcText(bytes) + "\"";
        if (sha1) rom += " sha1=\"" + Sha1Hex(Sha1(bytes)) + "\"";
        return rom + extra + "/>";
    }
    std::vector<std::string> Lines(const IdentifyReport& report) const
    {
        std::vector<std::string> texts;
        for (const ReportLine& line : IdentifyLines(report)) texts.push_back(line.text);
        return texts;
    }
    std::filesystem::path dir;
};

TEST_F(Identification, EachXmlFormatMatchesTheDevice)
{
    const std::vector<std::uint8_t> chip = VariedImage(0x4000, 1);
    const std::string soft = Write("soft.xml",
        "<?xml version=\"1.0\"?>\n<softwarelist name=\"carts\">\n<software name=\"pacman\">"
        "<description>Pac-Man</description><part name=\"cart\" interface=\"c\"><dataarea name=\"rom\" size=\"16384\">" +
        XmlRom("pm1_prg1.6e", chip, true, " offset=\"0\"") + "</dataarea></part></software></softwarelist>\n");
    const std::string machines = Write("mame.xml",
        "<?xml version=\"1.0\"?>\n<mame build=\"x\"><machine name=\"pacman\"><description>Pac-Man</description>" +
        XmlRom("pm1_prg1.6e", chip, true, " status=\"baddump\"") + "<rom name=\"other\" size=\"16384\" crc=\"12345678\"/>"
        "</machine></mame>");
    const std::string logiqx = Write("logiqx.dat",
        "<?xml version=\"1.0\"?>\n<!DOCTYPE datafile>\n<datafile><header><name>x</name></header><game name=\"pacman\">"
        "<description>Pac-Man &amp; co</description>" + XmlRom("pm1_prg1.6e", chip, false, " md5=\"00\"") +
        "</game></datafile>");
    const IdentifyReport report = Identify(MakeCandidates(chip, std::nullopt), {soft, machines, logiqx});
    EXPECT_TRUE(report.problems.empty());
    EXPECT_EQ(report.roms, 4u);
    EXPECT_EQ(report.files, 3u);
    const std::string crc = "crc32 0x" + [&] {
        std::string c = CrcText(chip);
        for (char& ch : c) ch = char(std::toupper(ch));
        return c;
    }();
    EXPECT_EQ(Lines(report), (std::vector<std::string>{
        "identify: 0x00000-0x03FFF matches \"pm1_prg1.6e\" of pacman (Pac-Man), 16384 bytes, " + crc +
            ", sha1 verified, in " + soft,
        "identify: 0x00000-0x03FFF matches \"pm1_prg1.6e\" of pacman (Pac-Man), 16384 bytes, " + crc +
            ", sha1 verified, marked bad dump, in " + machines,
        "identify: 0x00000-0x03FFF matches \"pm1_prg1.6e\" of pacman (Pac-Man & co), 16384 bytes, " + crc +
            ", crc32 only, in " + logiqx}));
}

TEST_F(Identification, ClrMameProTextAndFolders)
{
    const std::vector<std::uint8_t> chip = VariedImage(0x8000, 2);
    Write("a/one.dat", "");
    std::filesystem::create_directories(dir / "a");
    Write("a/one.dat",
          "clrmamepro (\n\tname \"Test\"\n\tdescription \"made up\"\n)\n\n"
          "game (\n\tname galaxy\n\tdescription \"Galaxy \\\"II\\\"\"\n"
          "\trom ( name g.1 size 32768 crc " + CrcText(chip) + " sha1 " + Sha1Hex(Sha1(chip)) + " flags baddump )\n"
          "\trom ( name nodump.2 size 32768 flags nodump )\n)\n"
          "resource ( name bios rom ( name b size 16 crc 00000000 ) )\n");
    const IdentifyReport report = Identify(MakeCandidates(chip, std::nullopt), {(dir / "a").string()});
    ASSERT_TRUE(report.problems.empty()) << report.problems[0];
    EXPECT_EQ(report.roms, 2u) << "a rom without hashes is not counted";
    ASSERT_EQ(report.matches.size(), 1u);
    EXPECT_EQ(Lines(report)[0].find("identify: 0x00000-0x07FFF matches \"g.1\" of galaxy (Galaxy \"II\"), 32768 bytes"),
              0u) << Lines(report)[0];
    EXPECT_NE(Lines(report)[0].find("sha1 verified, marked bad dump, in "), std::string::npos);
}

TEST_F(Identification, EveryKindOfCandidate)
{
    // A 27C512's range: halves and quarters, even and odd bytes, byte lanes,
    // the unique part of a repeat, the image with its trailing FF trimmed,
    // and the length of the file loaded.
    std::vector<std::uint8_t> device = VariedImage(0x10000, 3);
    std::vector<std::uint8_t> even, lane2;
    for (std::size_t i = 0; i < device.size(); i += 2) even.push_back(device[i]);
    for (std::size_t i = 2; i < device.size(); i += 4) lane2.push_back(device[i]);
    const std::span<const std::uint8_t> whole(device);
    std::string roms;
    roms += XmlRom("half1", whole.subspan(0x8000, 0x8000));
    roms += XmlRom("quarter2", whole.subspan(0x8000, 0x4000));
    roms += XmlRom("even", even);
    roms += XmlRom("lane2", lane2);
    roms += XmlRom("image", whole.subspan(0, 0x9000));
    const std::string dat = Write("kinds.xml", "<datafile><game name=\"g\">" + roms + "</game></datafile>");
    IdentifyReport report = Identify(MakeCandidates(device, 0x9000), {dat});
    std::vector<std::string> found;
    for (const IdentifyMatch& m : report.matches)
        found.push_back(report.candidates[m.candidate].label + " " + m.rom);
    EXPECT_EQ(found, (std::vector<std::string>{"0x08000-0x0FFFF half1", "0x08000-0x0BFFF quarter2", "even bytes even",
                                               "byte lane 2 of 4 lane2", "0x00000-0x08FFF image"}));
    EXPECT_NE(Lines(report)[2].find("identify: even bytes match \"even\" of g, 32768 bytes"), std::string::npos);

    // A 0x1000-byte image repeated over the device, and one followed by FF.
    std::vector<std::uint8_t> unique = VariedImage(0x1000, 4);
    for (std::size_t i = 0; i < device.size(); ++i) device[i] = unique[i % unique.size()];
    const std::string repeated = Write("repeat.xml", "<datafile><game name=\"r\">" + XmlRom("u", unique) + "</game></datafile>");
    report = Identify(MakeCandidates(device, std::nullopt), {repeated});
    ASSERT_EQ(report.matches.size(), 1u);
    EXPECT_EQ(report.candidates[report.matches[0].candidate].kind, "unique");

    std::vector<std::uint8_t> short_ = VariedImage(0x1800, 5);
    std::fill(device.begin(), device.end(), 0xFF);
    std::copy(short_.begin(), short_.end(), device.begin());
    const std::vector<std::uint8_t> padded(device.begin(), device.begin() + 0x2000);
    const std::string trimmed = Write("trim.xml", "<datafile><game name=\"t\">" + XmlRom("p", padded) + "</game></datafile>");
    report = Identify(MakeCandidates(device, std::nullopt), {trimmed});
    ASSERT_EQ(report.matches.size(), 1u);
    EXPECT_EQ(report.candidates[report.matches[0].candidate].kind, "trimmed");
    EXPECT_EQ(Lines(report)[0].rfind("identify: 0x00000-0x01FFF matches \"p\" of t, 8192 bytes", 0), 0u);
}

TEST_F(Identification, NothingMatchesAndAWrongSha1IsNoMatch)
{
    const std::vector<std::uint8_t> chip = VariedImage(0x100, 6);
    const std::string dat = Write("x.xml", "<datafile><game name=\"g\"><rom name=\"r\" size=\"256\" crc=\"" +
                                               CrcText(chip) + "\" sha1=\"" + std::string(40, '0') +
                                               "\"/></game></datafile>");
    const IdentifyReport report = Identify(MakeCandidates(chip, std::nullopt), {dat});
    EXPECT_TRUE(report.matches.empty());
    EXPECT_EQ(Lines(report), std::vector<std::string>{"identify: nothing matches among 1 rom in 1 file"});
}

TEST_F(Identification, MalformedFilesAreNamedWithTheReason)
{
    const std::vector<std::uint8_t> chip = VariedImage(0x100, 7);
    const std::string good = Write("good.xml", "<datafile><game name=\"g\">" + XmlRom("r", chip) + "</game></datafile>");
    struct Case {
        std::string name, text, reason;
    };
    const std::vector<Case> cases = {
        {"soft.xml", "<softwarelist><software name=\"a\"><rom name=\"r\" size=\"1\"></software>",
         "line 1: mismatched tag"},
        {"mame.xml", "<mame>\n<machine name=\"a\"><rom name=\"r\" size=\"ten\" crc=\"00000000\"/></machine></mame>",
         "line 2: rom \"r\": size 'ten' is not a number"},
        {"logiqx.dat", "<datafile><game name=\"a\"><rom name=\"r\" size=\"1\" crc=\"xyz\"/></game>",
         "line 1: rom \"r\": crc 'xyz' is not 8 hexadecimal digits"},
        {"cmp.dat", "game (\n name a\n rom ( name r size 1 crc 00000000 )\n", "line 4: the block 'game' does not end"},
        {"quote.dat", "game ( name \"a )\n", "line 1: a quoted text does not end"},
        {"html.xml", "<html><body/></html>", "is none of the DAT formats"},
        {"notes.txt", "just some words\n", "is none of the DAT formats"},
        {"empty.dat", "", "is empty"},
    };
    for (const Case& c : cases) {
        const std::string path = Write(c.name, c.text);
        const IdentifyReport report = Identify(MakeCandidates(chip, std::nullopt), {path, good});
        ASSERT_EQ(report.problems.size(), 1u) << c.name;
        EXPECT_EQ(report.problems[0].rfind(path + ": " + c.reason, 0), 0u) << report.problems[0];
        EXPECT_EQ(report.matches.size(), 1u) << "the other files are still read";
    }
    const IdentifyReport missing = Identify(MakeCandidates(chip, std::nullopt), {(dir / "nothing.dat").string()});
    ASSERT_EQ(missing.problems.size(), 1u);
    EXPECT_NE(missing.problems[0].find("No such file or directory"), std::string::npos);
}

TEST_F(Identification, LongListingsAreReadInPieces)
{
    // A rom far past the first piece read, and a description split by one.
    const std::vector<std::uint8_t> chip = VariedImage(0x100, 8);
    std::string text = "<mame>";
    for (int i = 0; i < 3000; ++i)
        text += "<machine name=\"m" + std::to_string(i) + "\"><description>Machine number " + std::to_string(i) +
                "</description><rom name=\"x\" size=\"256\" crc=\"00000001\"/></machine>\n";
    text += "<machine name=\"last\"><description>The last</description>" + XmlRom("r", chip) + "</machine></mame>";
    const IdentifyReport report = Identify(MakeCandidates(chip, std::nullopt), {Write("big.xml", text)});
    ASSERT_EQ(report.matches.size(), 1u);
    EXPECT_EQ(report.matches[0].description, "The last");
    EXPECT_EQ(report.roms, 3001u);
}

}  // namespace
}  // namespace vexo
