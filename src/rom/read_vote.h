// SPDX-License-Identifier: GPL-3.0-or-later
// Several reads of one chip, voted bit by bit. An aging EPROM has cells that
// read differently from one read to the next; reading it a few times and
// keeping each bit's majority gives the likeliest image, and the bits that
// disagreed tell the operator how far to trust it.
//
//   0x01234: reads 7F 7F 3F (bit 6 unstable)
//   ... and 3 more
//   read: 5 unstable bits in 4 bytes over 3 passes, first 0x01234, last 0x7FF00; the buffer holds each bit's majority
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "rom/report_line.h"

namespace vexo {

// The passes a read may make: 1 is the one read the module always did.
inline constexpr unsigned kMinReadPasses = 1;
inline constexpr unsigned kMaxReadPasses = 16;

struct UnstableByte {
    std::uint32_t address = 0;
    std::uint8_t majority = 0;
    std::uint8_t unstable = 0;  // the bits that did not read the same every time
};

struct ReadVote {
    unsigned passes = 0;
    std::uint32_t first = 0;            // address of reads[0][0]
    std::vector<UnstableByte> bytes;    // in address order
    std::vector<std::uint8_t> reads;    // passes bytes per unstable byte, pass order
    std::uint64_t unstableBits = 0;

    bool Agrees() const { return bytes.empty(); }
    // What each pass read at bytes[index].
    std::span<const std::uint8_t> ReadsOf(std::size_t index) const
    {
        return {reads.data() + index * passes, passes};
    }
};

// Votes `reads` (each one pass over the same addresses, the first at
// address `first`) bit by bit into `out` (as long as each read): a bit is
// the value most passes read, a tie the first pass's value.
ReadVote VoteReads(std::span<const std::span<const std::uint8_t>> reads, std::span<std::uint8_t> out,
                   std::uint32_t first = 0);

// "0x01234: reads 7F 7F 3F (bit 6 unstable)", "... (bits 0, 6 unstable)".
std::string UnstableByteLine(const ReadVote& vote, std::size_t index);
// "read: 3 passes agree", or the first `maxLines` byte lines (0: all), "...
// and N more" and the summary. `step` starts the summary ("read", "save").
std::vector<ReportLine> ReadVoteLines(const ReadVote& vote, std::size_t maxLines, std::string_view step);

}  // namespace vexo
