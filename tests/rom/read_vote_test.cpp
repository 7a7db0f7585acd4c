// SPDX-License-Identifier: GPL-3.0-or-later
// The bit vote over several reads of a chip, and its lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rom/read_vote.h"

namespace vexo {
namespace {

ReadVote VoteOf(const std::vector<std::vector<std::uint8_t>>& passes, std::vector<std::uint8_t>& out,
                std::uint32_t first = 0)
{
    std::vector<std::span<const std::uint8_t>> reads(passes.begin(), passes.end());
    out.assign(passes.front().size(), 0x5A);
    return VoteReads(reads, out, first);
}

std::vector<std::string> Texts(const std::vector<ReportLine>& lines)
{
    std::vector<std::string> texts;
    for (const ReportLine& line : lines) texts.push_back(line.text);
    return texts;
}

TEST(ReadVote, AllAgree)
{
    std::vector<std::uint8_t> out;
    const ReadVote vote = VoteOf({{1, 2, 3}, {1, 2, 3}, {1, 2, 3}}, out);
    EXPECT_TRUE(vote.Agrees());
    EXPECT_EQ(out, (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_EQ(Texts(ReadVoteLines(vote, 16, "read")), std::vector<std::string>{"read: 3 passes agree"});
    EXPECT_EQ(ReadVoteLines(vote, 16, "read")[0].fields.Text(), R"({"kind":"passes_agree","passes":3})");
}

TEST(ReadVote, MajorityPerBitAndTiesTakeTheFirstRead)
{
    std::vector<std::uint8_t> out;
    // Byte 1: bit 6 reads 1, 1, 0 (majority 1). Byte 3: bits 0 and 7 disagree.
    ReadVote vote = VoteOf({{0, 0x7F, 9, 0x81}, {0, 0x7F, 9, 0x00}, {0, 0x3F, 9, 0x01}}, out, 0x1000);
    EXPECT_EQ(out, (std::vector<std::uint8_t>{0, 0x7F, 9, 0x01}));
    ASSERT_EQ(vote.bytes.size(), 2u);
    EXPECT_EQ(vote.unstableBits, 3u);
    EXPECT_EQ(Texts(ReadVoteLines(vote, 16, "read")),
              (std::vector<std::string>{"0x01001: reads 7F 7F 3F (bit 6 unstable)",
                                        "0x01003: reads 81 00 01 (bits 0, 7 unstable)",
                                        "read: 3 unstable bits in 2 bytes over 3 passes, first 0x01001, last "
                                        "0x01003; the buffer holds each bit's majority"}));

    // Two passes against two: the first read's value wins, whichever it is.
    vote = VoteOf({{0x10}, {0x00}, {0x00}, {0x10}}, out);
    EXPECT_EQ(out[0], 0x10);
    vote = VoteOf({{0x00}, {0x10}, {0x10}, {0x00}}, out);
    EXPECT_EQ(out[0], 0x00);
    EXPECT_EQ(vote.bytes[0].unstable, 0x10);
}

TEST(ReadVote, EveryBitUnstable)
{
    std::vector<std::uint8_t> out;
    std::vector<std::uint8_t> ones(40, 0xFF), zeros(40, 0x00);
    const ReadVote vote = VoteOf({ones, zeros, zeros}, out);
    EXPECT_EQ(out, zeros);
    EXPECT_EQ(vote.bytes.size(), 40u);
    EXPECT_EQ(vote.unstableBits, 320u);
    const std::vector<std::string> lines = Texts(ReadVoteLines(vote, 2, "save"));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "0x00000: reads FF 00 00 (bits 0, 1, 2, 3, 4, 5, 6, 7 unstable)");
    EXPECT_EQ(lines[2], "... and 38 more");
    EXPECT_EQ(lines[3], "save: 320 unstable bits in 40 bytes over 3 passes, first 0x00000, last 0x00027; the "
                        "buffer holds each bit's majority");
    EXPECT_EQ(ReadVoteLines(vote, 0, "save").size(), 41u) << "0 lists every byte";
}

}  // namespace
}  // namespace vexo
