// SPDX-License-Identifier: GPL-3.0-or-later
// The compare and erase-check classifier on hand-made chip/buffer pairs.
#include "rom/diagnosis.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <vector>

#include "base/text.h"
#include "support/sim_fixture.h"

namespace vexo {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Lines = std::vector<std::string>;

TEST(Diagnosis, KindsAndCounts)
{
    EXPECT_EQ(ClassifyByte(0x5A, 0x7B), DiffKind::NeedsProgramming);
    EXPECT_EQ(ClassifyByte(0x7B, 0x5A), DiffKind::NeedsErasing);
    EXPECT_EQ(ClassifyByte(0x0F, 0xF0), DiffKind::NeedsBoth);

    Bytes buffer(0x8000, 0xFF), chip(0x8000, 0xFF);
    buffer[0x1A3] = 0x5A;
    chip[0x1A3] = 0x7B;  // short of programming
    buffer[0x200] = 0x7B;
    chip[0x200] = 0x5A;  // a 0 where a 1 belongs
    buffer[0x300] = 0x0F;
    chip[0x300] = 0xF0;  // both: counts as needing erasing
    const CompareReport report = Compare(buffer, chip);
    ASSERT_EQ(report.diffs.size(), 3u);
    EXPECT_EQ(report.needProgramming, 1u);
    EXPECT_EQ(report.needErasing, 2u);
    EXPECT_TRUE(report.findings.empty());  // too few bytes for any finding
    EXPECT_EQ(CompareLines(report, 16),
              (Lines{"0x001A3: buffer 5A, chip 7B (needs programming)",
                     "0x00200: buffer 7B, chip 5A (needs erasing)",
                     "0x00300: buffer 0F, chip F0 (needs erasing and programming)",
                     "compare: 3 bytes differ in 0x00000-0x07FFF (1 need programming, 2 need "
                     "erasing)"}));

    const Bytes same = test::RandomBytes(0x8000, 3);
    const CompareReport match = Compare(same, same);
    EXPECT_TRUE(match.Matches());
    EXPECT_EQ(CompareLines(match, 16), (Lines{"compare: chip matches buffer in 0x00000-0x07FFF"}));
}

TEST(Diagnosis, CutList)
{
    Bytes buffer(0x80000, 0x00), chip(0x80000, 0x00);
    for (std::uint32_t a = 0; a < 20; ++a) chip[a * 0x1000] = 0x01;
    const CompareReport report = Compare(buffer, chip);
    Lines lines = CompareLines(report, 3);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "0x00000: buffer 00, chip 01 (needs programming)");
    EXPECT_EQ(lines[2], "0x02000: buffer 00, chip 01 (needs programming)");
    EXPECT_EQ(lines[3], "... and 17 more");
    EXPECT_EQ(lines[4], "compare: 20 bytes differ in 0x00000-0x7FFFF (20 need programming, 0 need "
                        "erasing)");
    EXPECT_EQ(CompareLines(report, 0).size(), 21u);   // 0: every line
    EXPECT_EQ(CompareLines(report, 20).size(), 21u);  // exactly enough: no cut line
}

TEST(Diagnosis, StuckDataLine)
{
    const Bytes buffer = test::RandomBytes(0x8000, 1);
    Bytes high = buffer, low = buffer;
    for (auto& b : high) b |= 0x08;
    for (auto& b : low) b &= 0x7F;
    Lines findings = Compare(buffer, high).findings;
    EXPECT_EQ(findings, (Lines{"finding: data line D3 reads 1 at every address"}));
    EXPECT_EQ(Compare(buffer, low).findings, (Lines{"finding: data line D7 reads 0 at every address"}));

    // A chip that reads 00 everywhere: one finding, no line of either kind.
    EXPECT_EQ(Compare(buffer, Bytes(buffer.size(), 0x00)).findings,
              (Lines{"finding: chip reads 00 at every address"}));

    // Two lines at once are both named.
    for (auto& b : high) b &= 0xFE;
    const CompareReport two = Compare(buffer, high);
    EXPECT_EQ(two.findings,
              (Lines{"finding: data line D0 reads 0 at every address",
                     "finding: data line D3 reads 1 at every address"}));
    // The same findings as data, in the same order, for --json.
    ASSERT_EQ(two.found.size(), 2u);
    EXPECT_EQ(two.found[0].kind, Finding::Kind::DataLineStuck);
    EXPECT_EQ(two.found[0].line, 0u);
    EXPECT_EQ(two.found[0].value, 0);
    EXPECT_EQ(two.found[1].line, 3u);
    EXPECT_EQ(two.found[1].value, 1);
    const CompareReport zero = Compare(buffer, Bytes(buffer.size(), 0x00));
    ASSERT_EQ(zero.found.size(), 1u);
    EXPECT_EQ(zero.found[0].kind, Finding::Kind::OneValue);
    EXPECT_EQ(zero.found[0].value, 0);
}

// Each data line stuck at each level, seen on chips that were blank, that
// hold the image, that read 00, and that hold another image: only the stuck
// line is ever named, and only where the chip gives evidence for it.
TEST(Diagnosis, OnlyTheStuckLineIsNamed)
{
    const Bytes buffer = test::RandomBytes(0x8000, 9);
    const Bytes other = test::RandomBytes(0x8000, 10);
    const auto through = [](Bytes chip, int bit, bool level) {
        for (auto& b : chip) b = level ? std::uint8_t(b | (1u << bit)) : std::uint8_t(b & ~(1u << bit));
        return chip;
    };
    const auto hex = [](unsigned v) {
        char text[3];
        std::snprintf(text, sizeof text, "%02X", v);
        return std::string(text);
    };
    for (int bit = 0; bit < 8; ++bit) {
        for (bool level : {false, true}) {
            SCOPED_TRACE(Cat({"D", std::to_string(bit), level ? " at 1" : " at 0"}));
            const Lines line{Cat({"finding: data line D", std::to_string(bit), " reads ", level ? "1" : "0",
                                  " at every address"})};
            EXPECT_EQ(Compare(buffer, through(buffer, bit, level)).findings, line);
            const unsigned blank = level ? 0xFFu : (0xFFu & ~(1u << bit));
            EXPECT_EQ(Compare(buffer, through(Bytes(0x8000, 0xFF), bit, level)).findings,
                      (Lines{Cat({"finding: chip reads ", hex(blank), " at every address",
                                  blank == 0xFF ? " (blank)" : ""})}));
            const unsigned zero = level ? (1u << bit) : 0u;
            EXPECT_EQ(Compare(buffer, through(Bytes(0x8000, 0x00), bit, level)).findings,
                      (Lines{Cat({"finding: chip reads ", hex(zero), " at every address"})}));
            for (const std::string& finding : Compare(buffer, through(other, bit, level)).findings)
                EXPECT_TRUE(finding == line[0] || finding.find("data line") == std::string::npos) << finding;
        }
    }
    // Healthy: nothing on the chip that holds the image, no line on the others.
    EXPECT_TRUE(Compare(buffer, buffer).findings.empty());
    EXPECT_EQ(Compare(buffer, other).findings, (Lines{"finding: chip holds a different image"}));
    // D6 reads 0 and the buffer wants 1 at 200 addresses; D4 reads 1 too,
    // but the buffer wants 0 at only 7: D6 is named, D4 is not.
    Bytes chip = buffer;
    for (auto& b : chip) b = std::uint8_t((b | 0x10) & ~0x40);
    Bytes wanted = chip;
    for (std::uint32_t a = 0; a < 200; ++a) wanted[a * 7] |= 0x40;
    for (std::uint32_t a = 0; a < 7; ++a) wanted[0x4000 + a * 11] &= std::uint8_t(~0x10);
    EXPECT_EQ(Compare(wanted, chip).findings, (Lines{"finding: data line D6 reads 0 at every address"}));
}

TEST(Diagnosis, DeadAddressLine)
{
    const Bytes buffer = test::RandomBytes(0x8000, 2);
    // The chip answers as if A14 were 0.
    Bytes chip(buffer.size());
    for (std::uint32_t a = 0; a < chip.size(); ++a) chip[a] = buffer[a & ~0x4000u];
    EXPECT_EQ(Compare(buffer, chip).findings, (Lines{"finding: address line A14 has no effect"}));
    // Programmed through the same socket: both halves hold the AND of the pair.
    for (std::uint32_t a = 0; a < chip.size(); ++a)
        chip[a] = buffer[a & ~0x0100u] & buffer[a | 0x0100u];
    EXPECT_EQ(Compare(buffer, chip).findings, (Lines{"finding: address line A8 has no effect"}));
}

TEST(Diagnosis, BlankAndDifferentChips)
{
    const Bytes buffer = test::RandomBytes(0x8000, 4);
    EXPECT_EQ(Compare(buffer, Bytes(0x8000, 0xFF)).findings,
              (Lines{"finding: chip reads FF at every address (blank)"}));
    EXPECT_EQ(Compare(buffer, test::RandomBytes(0x8000, 5)).findings,
              (Lines{"finding: chip holds a different image"}));
}

TEST(Diagnosis, FindingsNeedStrongEvidence)
{
    const Bytes buffer = test::RandomBytes(0x8000, 6);
    // Seven bytes off by the same stuck bit: too few to name a line.
    Bytes chip = buffer;
    int made = 0;
    for (std::uint32_t a = 0; made < 7; ++a)
        if (!(chip[a] & 0x08)) {
            chip[a] |= 0x08;
            ++made;
        }
    EXPECT_TRUE(Compare(buffer, chip).findings.empty());

    // A line stuck everywhere, plus some unrelated damage: named while the
    // stuck line explains 95% of the differing bytes, not below.
    Bytes stuck = buffer;
    for (auto& b : stuck) b |= 0x08;
    const std::size_t explained = Compare(buffer, stuck).diffs.size();
    auto damage = [&](std::size_t count) {
        Bytes out = stuck;
        std::size_t done = 0;
        for (std::uint32_t a = 0; done < count; ++a)
            if (out[a] == buffer[a]) {
                out[a] = std::uint8_t(out[a] ^ 0x81);  // keeps D3, breaks two other bits
                ++done;
            }
        return out;
    };
    const std::size_t within = explained * 5 / 95;  // 95% still explained
    EXPECT_EQ(Compare(buffer, damage(within)).findings.size(), 1u);
    EXPECT_TRUE(Compare(buffer, damage(within + 20)).findings.empty());

    // A chip that was programmed short in places (weak bytes left 0xFF in a
    // half-empty image) is no dead address line, however many bytes differ.
    Bytes image(0x8000, 0xFF);
    for (std::uint32_t a = 0; a < 0x4000; ++a) image[a] = buffer[a];
    Bytes shortChip = image;
    for (std::uint32_t a = 0; a < 0x4000; a += 97) shortChip[a] = 0xFF;
    const CompareReport report = Compare(image, shortChip);
    EXPECT_GT(report.diffs.size(), 100u);
    EXPECT_TRUE(report.findings.empty());
}

TEST(Diagnosis, OneIsSingular)
{
    Bytes buffer(0x8000, 0xFF), chip(0x8000, 0xFF);
    buffer[0x10] = 0xFE;
    EXPECT_EQ(CompareSummary(Compare(buffer, chip)),
              "compare: 1 byte differs in 0x00000-0x07FFF (1 need programming, 0 need erasing)");
    chip[0x20] = 0x7F;
    EXPECT_EQ(EraseCheckLines(EraseCheck(chip), 0).back(),
              "erase-check: 1 bit in 1 byte still programmed, first 0x00020, last 0x00020");
    EXPECT_EQ(EraseCheckLines(EraseCheck(Bytes(1, 0xFF)), 0).back(), "erase-check: all 1 byte erased");
    chip[0x21] = 0x3F;
    EXPECT_EQ(EraseCheckLines(EraseCheck(chip), 0).back(),
              "erase-check: 3 bits in 2 bytes still programmed, first 0x00020, last 0x00021");
}

TEST(Diagnosis, CsvFile)
{
    Bytes buffer(0x100, 0xFF), chip(0x100, 0xFF);
    buffer[0x1A] = 0x5A;
    chip[0x1A] = 0x7B;
    const CompareReport report = Compare(buffer, chip);
    EXPECT_EQ(CompareCsv(report), "address,buffer,chip,differing bits,kind\n"
                                  "0x0001A,5A,7B,00100001,needs programming\n");
    const std::string dir = ::testing::TempDir() + "vexo-diag-csv";
    std::filesystem::create_directories(dir);
    const std::string path = dir + "/diffs.csv";
    ASSERT_TRUE(WriteCompareCsv(path, report).ok());
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), CompareCsv(report));
    const Status failed = WriteCompareCsv(dir + "/no/such/dir/diffs.csv", report);
    EXPECT_FALSE(failed.ok());
    EXPECT_NE(failed.message().find("diffs.csv: "), std::string::npos);
    std::filesystem::remove_all(dir);
}

TEST(Diagnosis, EraseCheck)
{
    Bytes chip(0x8000, 0xFF);
    EXPECT_EQ(EraseCheckLines(EraseCheck(chip), 16), (Lines{"erase-check: all 32768 bytes erased"}));
    chip[0x100] = 0x7F;
    chip[0x200] = 0x00;
    chip[0x7F00] = 0xFE;
    const EraseReport report = EraseCheck(chip);
    EXPECT_EQ(report.bits, 10u);
    EXPECT_EQ(EraseCheckLines(report, 2),
              (Lines{"0x00100: chip 7F", "0x00200: chip 00", "... and 1 more",
                     "erase-check: 10 bits in 3 bytes still programmed, first 0x00100, last "
                     "0x07F00"}));
}

}  // namespace
}  // namespace vexo
