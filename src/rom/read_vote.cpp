// SPDX-License-Identifier: GPL-3.0-or-later
#include "rom/read_vote.h"

#include <algorithm>
#include <bit>

#include "base/text.h"
#include "rom/diagnosis.h"

namespace vexo {

ReadVote VoteReads(std::span<const std::span<const std::uint8_t>> reads, std::span<std::uint8_t> out,
                   std::uint32_t first)
{
    ReadVote vote;
    vote.passes = unsigned(reads.size());
    vote.first = first;
    if (reads.empty()) return vote;
    const std::size_t size = std::min(out.size(), reads.front().size());
    const std::span<const std::uint8_t> head = reads.front();
    unsigned counts[8];
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t seed = head[i];
        std::uint8_t differ = 0;
        for (std::size_t p = 1; p < reads.size(); ++p) differ |= std::uint8_t(reads[p][i] ^ seed);
        if (differ == 0) {
            out[i] = seed;
            continue;
        }
        std::fill(std::begin(counts), std::end(counts), 0u);
        for (const std::span<const std::uint8_t>& pass : reads)
            for (unsigned bit = 0; bit < 8; ++bit) counts[bit] += (pass[i] >> bit) & 1u;
        std::uint8_t majority = 0;
        for (unsigned bit = 0; bit < 8; ++bit) {
            const unsigned ones = counts[bit];
            const unsigned zeros = vote.passes - ones;
            const bool one = ones == zeros ? ((seed >> bit) & 1u) != 0 : ones > zeros;
            if (one) majority = std::uint8_t(majority | (1u << bit));
        }
        out[i] = majority;
        vote.bytes.push_back({std::uint32_t(first + i), majority, differ});
        for (const std::span<const std::uint8_t>& pass : reads) vote.reads.push_back(pass[i]);
        vote.unstableBits += unsigned(std::popcount(unsigned(differ)));
    }
    return vote;
}

std::string UnstableByteLine(const ReadVote& vote, std::size_t index)
{
    const UnstableByte& b = vote.bytes[index];
    std::string line = Cat({FormatAddress(b.address), ": reads"});
    for (std::uint8_t value : vote.ReadsOf(index)) line += Cat({" ", FormatByte(value)});
    std::string bits;
    for (unsigned bit = 0; bit < 8; ++bit)
        if ((b.unstable >> bit) & 1u) bits += Cat({bits.empty() ? "" : ", ", std::to_string(bit)});
    const bool one = std::popcount(unsigned(b.unstable)) == 1;
    return Cat({line, one ? " (bit " : " (bits ", bits, " unstable)"});
}

std::vector<ReportLine> ReadVoteLines(const ReadVote& vote, std::size_t maxLines, std::string_view step)
{
    const std::string passes = std::to_string(vote.passes);
    if (vote.Agrees())
        return {{Cat({step, ": ", passes, " passes agree"}),
                 JsonObject().String("kind", "passes_agree").Unsigned("passes", vote.passes)}};
    std::vector<ReportLine> lines;
    const std::size_t shown = maxLines == 0 ? vote.bytes.size() : std::min(maxLines, vote.bytes.size());
    for (std::size_t i = 0; i < shown; ++i) {
        const UnstableByte& b = vote.bytes[i];
        lines.push_back({UnstableByteLine(vote, i), JsonObject()
                                                        .String("kind", "unstable_byte")
                                                        .Unsigned("address", b.address)
                                                        .Unsigned("majority", b.majority)
                                                        .Unsigned("unstable_mask", b.unstable)});
    }
    if (shown < vote.bytes.size())
        lines.push_back({Cat({"... and ", std::to_string(vote.bytes.size() - shown), " more"}),
                         JsonObject().String("kind", "more_bytes").Unsigned("count", vote.bytes.size() - shown)});
    lines.push_back({Cat({step, ": ", Count(vote.unstableBits, "unstable bit", "unstable bits"), " in ",
                          Count(vote.bytes.size(), "byte", "bytes"), " over ", passes, " passes, first ",
                          FormatAddress(vote.bytes.front().address), ", last ",
                          FormatAddress(vote.bytes.back().address), "; the buffer holds each bit's majority"}),
                     JsonObject()
                         .String("kind", "read_summary")
                         .Unsigned("unstable_bits", vote.unstableBits)
                         .Unsigned("unstable_bytes", vote.bytes.size())
                         .Unsigned("passes", vote.passes)
                         .Unsigned("first", vote.bytes.front().address)
                         .Unsigned("last", vote.bytes.back().address)});
    return lines;
}

}  // namespace vexo
