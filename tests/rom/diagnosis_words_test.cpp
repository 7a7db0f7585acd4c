// SPDX-License-Identifier: GPL-3.0-or-later
// The diagnosis in the operator's words, its findings as data, the weak-chip
// guess and the chip map's shares.
#include "rom/diagnosis_words.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/sim_fixture.h"

namespace vexo {
namespace {

using Bytes = std::vector<std::uint8_t>;

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(DiagnosisWords, SummaryCountsInWords)
{
    Bytes buffer(0x8000, 0xFF), chip(0x8000, 0xFF);
    EXPECT_EQ(CompareSummaryWords(Compare(buffer, chip)),
              "The chip matches the buffer: all 32768 bytes (0x00000 to 0x07FFF).");
    buffer[0x4003] = 0x12;
    EXPECT_EQ(CompareSummaryWords(Compare(buffer, chip)),
              "1 of 32768 bytes differs from the buffer (0x00000 to 0x07FFF): it can still be programmed.");
    buffer[0x5000] = 0x7F;
    chip[0x6000] = 0x00;
    EXPECT_EQ(CompareSummaryWords(Compare(buffer, chip)),
              "3 of 32768 bytes differ from the buffer (0x00000 to 0x07FFF): 2 can still be programmed, 1 "
              "need the chip erased first.");

    EraseReport erased = EraseCheck(Bytes(0x8000, 0xFF));
    EXPECT_EQ(EraseSummaryWords(erased), "The chip is erased: all 32768 bytes read FF.");
    EXPECT_EQ(EraseSummaryWords(EraseCheck(chip)),
              "The chip is not erased: 1 byte (8 bits) is still programmed, at 0x06000.");
    chip[0x100] = 0x7F;
    EXPECT_EQ(EraseSummaryWords(EraseCheck(chip)),
              "The chip is not erased: 2 bytes (9 bits) are still programmed, from 0x00100 to 0x06000.");
}

// Every finding line comes with its data, and the data reads as a sentence
// that names the line and what to check.
TEST(DiagnosisWords, FindingsAsDataAndWords)
{
    const Bytes buffer = test::RandomBytes(0x8000, 2);
    Bytes chip(buffer.size());
    for (std::uint32_t a = 0; a < chip.size(); ++a) chip[a] = buffer[a & ~0x4000u];
    CompareReport report = Compare(buffer, chip);
    ASSERT_EQ(report.found.size(), report.findings.size());
    ASSERT_EQ(report.found.size(), 1u);
    EXPECT_EQ(report.found[0].kind, Finding::Kind::AddressLineDead);
    EXPECT_EQ(report.found[0].line, 14u);
    EXPECT_TRUE(Has(FindingWords(report.found[0]), "Address line A14 makes no difference"));
    EXPECT_FALSE(LooksWeak(report));

    Bytes stuck = buffer;
    for (auto& b : stuck) b |= 0x08;
    report = Compare(buffer, stuck);
    ASSERT_EQ(report.found.size(), 1u);
    EXPECT_EQ(report.found[0].kind, Finding::Kind::DataLineStuck);
    EXPECT_EQ(report.found[0].line, 3u);
    EXPECT_EQ(report.found[0].value, 1);
    EXPECT_TRUE(Has(FindingWords(report.found[0]), "Data line D3 reads 1 at every address"));

    report = Compare(buffer, Bytes(0x8000, 0xFF));
    ASSERT_EQ(report.found.size(), 1u);
    EXPECT_EQ(report.found[0].kind, Finding::Kind::OneValue);
    EXPECT_TRUE(Has(FindingWords(report.found[0]), "reads FF at every address: it is blank"));

    report = Compare(buffer, test::RandomBytes(0x8000, 5));
    ASSERT_EQ(report.found.size(), 1u);
    EXPECT_EQ(report.found[0].kind, Finding::Kind::DifferentImage);
    EXPECT_TRUE(Has(FindingWords(report.found[0]), "different image"));
}

TEST(DiagnosisWords, WeakChipIsScatteredShortProgramming)
{
    Bytes buffer(0x8000, 0x00), chip(0x8000, 0x00);
    EXPECT_FALSE(LooksWeak(Compare(buffer, chip)));  // nothing differs
    chip[0x0100] = 0x01;
    EXPECT_TRUE(LooksWeak(Compare(buffer, chip)));  // one byte short
    chip[0x2345] = 0x40;
    chip[0x7000] = 0xFF;
    EXPECT_TRUE(LooksWeak(Compare(buffer, chip)));
    // One byte that needs erasing: not a weak chip.
    buffer[0x3000] = 0x80;
    EXPECT_FALSE(LooksWeak(Compare(buffer, chip)));
    // One run of unprogrammed bytes at the end: a short write, not a weak chip.
    Bytes image(0x8000, 0x00), shortWrite(0x8000, 0x00);
    for (std::uint32_t a = 0x7F00; a < 0x8000; ++a) shortWrite[a] = 0xFF;
    EXPECT_FALSE(LooksWeak(Compare(image, shortWrite)));
}

TEST(DiagnosisWords, SharesPerCell)
{
    Bytes buffer(0x8000, 0xFF), chip(0x8000, 0xFF);
    // 4096 cells of 8 bytes: two bad bytes in cell 0, all eight in the last.
    chip[0] = chip[7] = 0x00;
    for (std::uint32_t a = 0x7FF8; a < 0x8000; ++a) chip[a] = 0x00;
    const std::vector<double> shares = DiffShares(Compare(buffer, chip), 4096);
    ASSERT_EQ(shares.size(), 4096u);
    EXPECT_DOUBLE_EQ(shares[0], 0.25);
    EXPECT_DOUBLE_EQ(shares[1], 0.0);
    EXPECT_DOUBLE_EQ(shares[4095], 1.0);

    // A chip smaller than the grid: one cell per byte.
    EXPECT_EQ(DiffShares(Compare(Bytes(10, 0xFF), Bytes(10, 0x00)), 4096), std::vector<double>(10, 1.0));
    // A size the cells do not divide: every byte lands in one cell, none is lost.
    Bytes odd(1000, 0xFF);
    const std::vector<double> all = DiffShares(Compare(odd, Bytes(1000, 0x00)), 64);
    ASSERT_EQ(all.size(), 64u);
    for (double s : all) EXPECT_DOUBLE_EQ(s, 1.0);
    EXPECT_TRUE(DiffShares(Compare(Bytes{}, Bytes{}), 64).empty());
}

}  // namespace
}  // namespace vexo
