// SPDX-License-Identifier: GPL-3.0-or-later
// What a dump checker looks for in an image read from a chip: data bits that
// never change, address lines that make no difference, an image that
// repeats, long runs of FF or 00. Each is a sign of a bad read (a dead data
// line, a socket contact, the wrong device type) or of a chip larger than
// its contents.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "rom/report_line.h"
#include "rom/rom_hashes.h"

namespace vexo {

// Runs of FF or 00 at least this long are named.
inline constexpr std::size_t kInspectMinRun = 256;
// The most runs named one by one.
inline constexpr std::size_t kInspectMaxRuns = 16;

struct InspectReport {
    std::uint32_t first = 0;
    std::uint32_t size = 0;
    std::uint32_t crc32 = 0;
    Sha1Digest sha1{};
    struct FixedBit {
        unsigned bit = 0;  // D0..D7
        bool level = false;
    };
    std::vector<FixedBit> fixedBits;
    // Lines An for which every byte equals the byte at its address XOR 2^n.
    std::vector<unsigned> deadAddressLines;
    // The smallest power-of-two period the image repeats with, when smaller
    // than the image.
    std::optional<std::uint32_t> period;
    struct Run {
        std::uint32_t first = 0;
        std::uint32_t last = 0;
        std::uint8_t value = 0;
    };
    std::vector<Run> runs;  // every run of kInspectMinRun or more, in order

    bool Unusual() const { return !fixedBits.empty() || !deadAddressLines.empty() || period || !runs.empty(); }
};

// `data` is the image from address `first`.
InspectReport InspectImage(std::span<const std::uint8_t> data, std::uint32_t first = 0);

// The smallest power of two p < size, dividing it, with data[i] == data[i + p]
// for every i; unset when there is none.
std::optional<std::uint32_t> RepeatPeriod(std::span<const std::uint8_t> data);

// "inspect: 0x00000-0x07FFF, 32768 bytes, crc32 0x1A2B3C4D, sha1 …", then
// one line per finding, or "inspect: nothing unusual".
std::vector<ReportLine> InspectLines(const InspectReport& report);

}  // namespace vexo
