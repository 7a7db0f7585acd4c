// SPDX-License-Identifier: GPL-3.0-or-later
// Which known ROM a dump is: the parts of the buffer a chip's image may be
// (the device, its halves and quarters, the even and odd bytes of a 16-bit
// set, the byte lanes of a 32-bit one, the unique part of a repeated image,
// the image without its trailing FF) matched by size, CRC-32 and SHA-1
// against DAT files.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "rom/dat_reader.h"
#include "rom/dump_inspect.h"
#include "rom/rom_hashes.h"

namespace vexo {

struct IdentifyCandidate {
    // "0x00000-0x03FFF", "even bytes", "byte lane 1 of 4"
    std::string label;
    bool plural = false;  // "even bytes match", "0x00000-0x03FFF matches"
    std::string kind;     // "device", "image", "half", "quarter", "even", "odd", "lane", "unique", "trimmed"
    std::uint32_t size = 0;
    std::uint32_t crc32 = 0;
    Sha1Digest sha1{};
    std::uint32_t first = 0;  // a range's first address; 0 for the lanes
};

// The candidates of a buffer whose device range is `device` (from address
// 0); `imageLength` is the loaded file's length when the buffer holds one.
// Each is hashed once, here; a range that two kinds give is listed once.
std::vector<IdentifyCandidate> MakeCandidates(std::span<const std::uint8_t> device,
                                              std::optional<std::uint32_t> imageLength);

struct IdentifyMatch {
    std::size_t candidate = 0;
    std::string rom;
    std::string game;
    std::string description;
    std::string file;
    bool sha1Verified = false;  // the DAT gave a SHA-1 and it is the same
    bool badDump = false;
};

struct IdentifyReport {
    std::vector<IdentifyCandidate> candidates;
    std::vector<IdentifyMatch> matches;
    std::uint64_t roms = 0;     // rom entries with a size and a hash, over every file read
    std::size_t files = 0;      // DAT files read whole
    std::vector<std::string> problems;  // "PATH: reason" for each file that could not be read
};

// Reads every DAT (a file, or every file below a folder, in name order) as a
// stream and matches each of its roms against the candidates.
IdentifyReport Identify(std::vector<IdentifyCandidate> candidates, const std::vector<std::string>& paths);

// The match lines, or "identify: nothing matches among N roms in M files".
std::vector<ReportLine> IdentifyLines(const IdentifyReport& report);

}  // namespace vexo
