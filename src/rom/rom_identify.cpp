// SPDX-License-Identifier: GPL-3.0-or-later
#include "rom/rom_identify.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "base/text.h"
#include "rom/checksum.h"
#include "rom/diagnosis.h"

namespace vexo {
namespace {

std::string RangeLabel(std::uint32_t first, std::uint32_t size)
{
    return Cat({FormatAddress(first), "-", FormatAddress(first + size - 1)});
}

IdentifyCandidate Hashed(std::string label, bool plural, std::string kind, std::span<const std::uint8_t> bytes,
                         std::uint32_t first = 0)
{
    return {std::move(label), plural, std::move(kind), std::uint32_t(bytes.size()), Crc32(bytes.data(), bytes.size()),
            Sha1(bytes), first};
}

}  // namespace

std::vector<IdentifyCandidate> MakeCandidates(std::span<const std::uint8_t> device,
                                              std::optional<std::uint32_t> imageLength)
{
    std::vector<IdentifyCandidate> out;
    std::vector<std::string> ranges;
    const auto range = [&](std::string kind, std::uint32_t first, std::uint32_t size) {
        if (size == 0 || first + size > device.size()) return;
        std::string label = RangeLabel(first, size);
        if (std::find(ranges.begin(), ranges.end(), label) != ranges.end()) return;
        ranges.push_back(label);
        out.push_back(Hashed(std::move(label), false, std::move(kind), device.subspan(first, size), first));
    };
    const auto size = std::uint32_t(device.size());
    range("device", 0, size);
    if (imageLength) range("image", 0, std::min(*imageLength, size));
    for (std::uint32_t half = 0; half < 2; ++half) range("half", half * (size / 2), size / 2);
    for (std::uint32_t quarter = 0; quarter < 4; ++quarter) range("quarter", quarter * (size / 4), size / 4);

    // Byte lanes: every second byte of a 16-bit set, every fourth of a 32-bit one.
    std::vector<std::uint8_t> lane;
    const auto lanes = [&](std::uint32_t count) {
        for (std::uint32_t which = 0; which < count; ++which) {
            lane.clear();
            for (std::size_t i = which; i < device.size(); i += count) lane.push_back(device[i]);
            if (lane.empty()) continue;
            std::string label = count == 2 ? (which == 0 ? "even bytes" : "odd bytes")
                                           : Cat({"byte lane ", std::to_string(which), " of ", std::to_string(count)});
            std::string kind = count == 2 ? (which == 0 ? "even" : "odd") : "lane";
            out.push_back(Hashed(std::move(label), count == 2, std::move(kind), lane));
        }
    };
    lanes(2);
    lanes(4);

    if (const std::optional<std::uint32_t> period = RepeatPeriod(device)) range("unique", 0, *period);

    // Trailing FF trimmed, to the next power of two.
    std::size_t used = device.size();
    while (used > 0 && device[used - 1] == 0xFF) --used;
    if (used > 0) {
        std::uint32_t trimmed = 1;
        while (trimmed < used) trimmed *= 2;
        range("trimmed", 0, trimmed);
    }
    return out;
}

namespace {

// Every file `path` names: itself, or the regular files below a folder in name order.
std::vector<std::string> DatFiles(const std::string& path)
{
    std::error_code error;
    if (!std::filesystem::is_directory(path, error)) return {path};
    std::vector<std::string> files;
    for (std::filesystem::recursive_directory_iterator it(path, error), end; !error && it != end;
         it.increment(error)) {
        if (it->is_regular_file(error)) files.push_back(it->path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace

IdentifyReport Identify(std::vector<IdentifyCandidate> candidates, const std::vector<std::string>& paths)
{
    IdentifyReport report;
    report.candidates = std::move(candidates);
    const std::vector<IdentifyCandidate>& cands = report.candidates;
    for (const std::string& path : paths) {
        for (const std::string& file : DatFiles(path)) {
            std::uint64_t roms = 0;
            std::vector<IdentifyMatch> found;
            const Result<DatFormat> read = ReadDat(file, [&](const DatGame& game) {
                for (const DatRom& rom : game.roms) {
                    if (rom.noDump || !rom.size || (!rom.crc32 && !rom.sha1)) continue;
                    ++roms;
                    for (std::size_t c = 0; c < cands.size(); ++c) {
                        const IdentifyCandidate& cand = cands[c];
                        if (cand.size != *rom.size) continue;
                        if (rom.crc32 && *rom.crc32 != cand.crc32) continue;
                        if (rom.sha1 && *rom.sha1 != cand.sha1) continue;
                        found.push_back({c, rom.name, game.name, game.description, file, rom.sha1.has_value(),
                                         rom.badDump});
                    }
                }
            });
            if (!read) {
                report.problems.push_back(read.message());
                continue;
            }
            report.roms += roms;
            ++report.files;
            report.matches.insert(report.matches.end(), found.begin(), found.end());
        }
    }
    return report;
}

std::vector<ReportLine> IdentifyLines(const IdentifyReport& report)
{
    std::vector<ReportLine> lines;
    for (const IdentifyMatch& m : report.matches) {
        const IdentifyCandidate& c = report.candidates[m.candidate];
        std::string text = Cat({"identify: ", c.label, c.plural ? " match \"" : " matches \"", m.rom, "\" of ", m.game});
        if (!m.description.empty()) text += Cat({" (", m.description, ")"});
        text += Cat({", ", Count(c.size, "byte", "bytes"), ", crc32 ", Crc32Hex(c.crc32), ", ",
                     m.sha1Verified ? "sha1 verified" : "crc32 only"});
        if (m.badDump) text += ", marked bad dump";
        text += Cat({", in ", m.file});
        JsonObject fields;
        fields.String("candidate", c.label)
            .String("kind", c.kind)
            .String("rom", m.rom)
            .String("game", m.game)
            .String("description", m.description)
            .Unsigned("size", c.size)
            .Unsigned("crc32", c.crc32)
            .String("sha1", Sha1Hex(c.sha1))
            .Bool("sha1_verified", m.sha1Verified)
            .Bool("bad_dump", m.badDump)
            .String("file", m.file);
        lines.push_back({std::move(text), std::move(fields)});
    }
    if (report.matches.empty()) {
        JsonObject fields;
        fields.Unsigned("roms", report.roms).Unsigned("files", report.files);
        lines.push_back({Cat({"identify: nothing matches among ", Count(report.roms, "rom", "roms"), " in ",
                              Count(report.files, "file", "files")}),
                         std::move(fields)});
    }
    return lines;
}

}  // namespace vexo
