// SPDX-License-Identifier: GPL-3.0-or-later
#include "rom/diagnosis.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>

#include "base/file_io.h"
#include "base/hex.h"
#include "base/text.h"

namespace vexo {
namespace {

std::string Binary(std::uint8_t value)
{
    std::string text(8, '0');
    for (int bit = 0; bit < 8; ++bit)
        if (value & (0x80u >> bit)) text[std::size_t(bit)] = '1';
    return text;
}

std::string Range(std::uint32_t size)
{
    return Cat({FormatAddress(0), "-", FormatAddress(size == 0 ? 0 : size - 1)});
}

bool Strong(std::size_t explained, std::size_t total)
{
    return total >= kFindingMinBytes && double(explained) >= kFindingShare * double(total);
}

// Data lines that read the same level at every address while the buffer
// wants the other level there at enough addresses to show it; a finding
// when the differences lie within them. A line is only blamed beside one
// that does vary: a chip that reads one value at every address says
// nothing about any single line.
void FindStuckDataLines(std::span<const std::uint8_t> chip, CompareReport& report)
{
    std::uint8_t all = 0xFF, any = 0x00;
    for (std::uint8_t byte : chip) {
        all &= byte;
        any |= byte;
    }
    const std::uint8_t constant = std::uint8_t(all | std::uint8_t(~any));
    std::uint8_t stuck = 0;
    for (int bit = 0; bit < 8; ++bit) {
        const std::uint8_t mask = std::uint8_t(1u << bit);
        if (!(constant & mask) || std::uint8_t(constant | mask) == 0xFF) continue;
        // The chip's level is the same everywhere: a difference in this bit
        // is the buffer wanting the other level.
        const auto against = std::count_if(report.diffs.begin(), report.diffs.end(),
                                           [mask](const ByteDiff& d) { return (d.Bits() & mask) != 0; });
        if (std::size_t(against) >= kFindingMinBytes) stuck |= mask;
    }
    if (stuck == 0) return;
    const std::size_t explained = std::size_t(std::count_if(
        report.diffs.begin(), report.diffs.end(),
        [stuck](const ByteDiff& d) { return (d.Bits() & ~stuck) == 0; }));
    if (!Strong(explained, report.diffs.size())) return;
    for (int bit = 0; bit < 8; ++bit) {
        if (!(stuck & (1u << bit))) continue;
        const bool high = (all & (1u << bit)) != 0;
        report.findings.push_back(Cat({"finding: data line D", std::to_string(bit), " reads ",
                                       high ? "1" : "0", " at every address"}));
        report.found.push_back({Finding::Kind::DataLineStuck, unsigned(bit), std::uint8_t(high ? 1 : 0)});
    }
}

// Address lines that make no difference to what the chip reads: its
// contents repeat with that line's period, while the buffer's do not.
void FindDeadAddressLines(std::span<const std::uint8_t> buffer, std::span<const std::uint8_t> chip,
                          CompareReport& report)
{
    const std::uint32_t size = report.size;
    for (std::uint32_t line = 0; (1u << line) < size; ++line) {
        const std::uint32_t bit = 1u << line;
        bool repeats = true;
        for (std::uint32_t a = 0; a < size && repeats; ++a)
            if (!(a & bit) && (a | bit) < size && chip[a] != chip[a | bit]) repeats = false;
        if (!repeats) continue;
        // A difference the repeat forces: the buffer's pair differs, so the
        // chip cannot hold both.
        const std::size_t explained = std::size_t(std::count_if(
            report.diffs.begin(), report.diffs.end(), [&](const ByteDiff& d) {
                const std::uint32_t partner = d.address ^ bit;
                return partner < size && buffer[partner] != buffer[d.address];
            }));
        if (Strong(explained, report.diffs.size())) {
            report.findings.push_back(
                Cat({"finding: address line A", std::to_string(line), " has no effect"}));
            report.found.push_back({Finding::Kind::AddressLineDead, line, 0});
        }
    }
}

void FindPatterns(std::span<const std::uint8_t> buffer, std::span<const std::uint8_t> chip,
                  CompareReport& report)
{
    const std::size_t n = report.diffs.size();
    if (n < kFindingMinBytes) return;
    // One value at every address: no line, data or address, can be told apart.
    if (std::all_of(chip.begin(), chip.end(), [&](std::uint8_t b) { return b == chip.front(); })) {
        report.findings.push_back(Cat({"finding: chip reads ", FormatByte(chip.front()), " at every address",
                                       chip.front() == 0xFF ? " (blank)" : ""}));
        report.found.push_back({Finding::Kind::OneValue, 0, chip.front()});
        return;
    }
    FindStuckDataLines(chip, report);
    // A line stuck explains a repeat as well as the dead address line would:
    // no address line is to blame beside it.
    if (report.findings.empty()) FindDeadAddressLines(buffer, chip, report);
    if (!report.findings.empty()) return;
    // Most bytes differ, and mostly in ways programming cannot mend.
    if (n * 2 > report.size && report.needErasing * 2 > n) {
        report.findings.emplace_back("finding: chip holds a different image");
        report.found.push_back({Finding::Kind::DifferentImage, 0, 0});
    }
}

// The byte lines under the cut, and the cut line.
template <typename Item, typename Format>
void AppendCut(std::vector<std::string>& lines, const std::vector<Item>& items,
               std::size_t maxLines, Format format)
{
    const std::size_t shown =
        maxLines == 0 ? items.size() : std::min(items.size(), maxLines);
    for (std::size_t i = 0; i < shown; ++i) lines.push_back(format(items[i]));
    if (shown < items.size())
        lines.push_back(Cat({"... and ", std::to_string(items.size() - shown), " more"}));
}

}  // namespace

std::string_view DiffKindText(DiffKind kind)
{
    switch (kind) {
    case DiffKind::NeedsProgramming: return "needs programming";
    case DiffKind::NeedsErasing: return "needs erasing";
    case DiffKind::NeedsBoth: return "needs erasing and programming";
    }
    return "?";
}

DiffKind ClassifyByte(std::uint8_t buffer, std::uint8_t chip)
{
    const std::uint8_t differ = std::uint8_t(buffer ^ chip);
    const bool program = (differ & chip) != 0;   // chip 1, buffer 0
    const bool erase = (differ & buffer) != 0;   // chip 0, buffer 1
    if (program && erase) return DiffKind::NeedsBoth;
    return erase ? DiffKind::NeedsErasing : DiffKind::NeedsProgramming;
}

std::string FormatByte(std::uint8_t value)
{
    return HexByte(value);
}

std::string FormatAddress(std::uint32_t address)
{
    return HexAddress0x(address);
}

CompareReport Compare(std::span<const std::uint8_t> buffer, std::span<const std::uint8_t> chip)
{
    CompareReport report;
    report.size = std::uint32_t(std::min(buffer.size(), chip.size()));
    buffer = buffer.first(report.size);
    chip = chip.first(report.size);
    for (std::uint32_t a = 0; a < report.size; ++a) {
        if (buffer[a] == chip[a]) continue;
        const DiffKind kind = ClassifyByte(buffer[a], chip[a]);
        report.diffs.push_back({a, buffer[a], chip[a], kind});
        if (kind == DiffKind::NeedsProgramming) ++report.needProgramming;
        else ++report.needErasing;
    }
    FindPatterns(buffer, chip, report);
    return report;
}

std::string FormatDiffLine(const ByteDiff& diff)
{
    return Cat({FormatAddress(diff.address), ": buffer ", FormatByte(diff.buffer), ", chip ",
                FormatByte(diff.chip), " (", DiffKindText(diff.kind), ")"});
}

std::string CompareSummary(const CompareReport& report)
{
    if (report.Matches()) return Cat({"compare: chip matches buffer in ", Range(report.size)});
    return Cat({"compare: ", Count(report.diffs.size(), "byte differs", "bytes differ"), " in ",
                Range(report.size), " (", std::to_string(report.needProgramming),
                " need programming, ", std::to_string(report.needErasing), " need erasing)"});
}

std::vector<std::string> CompareLines(const CompareReport& report, std::size_t maxDiffs)
{
    std::vector<std::string> lines;
    AppendCut(lines, report.diffs, maxDiffs, FormatDiffLine);
    lines.push_back(CompareSummary(report));
    lines.insert(lines.end(), report.findings.begin(), report.findings.end());
    return lines;
}

std::string CompareCsv(const CompareReport& report)
{
    std::string out = "address,buffer,chip,differing bits,kind\n";
    out.reserve(out.size() + report.diffs.size() * 48);
    for (const ByteDiff& d : report.diffs)
        out += Cat({FormatAddress(d.address), ",", FormatByte(d.buffer), ",", FormatByte(d.chip), ",",
                    Binary(d.Bits()), ",", DiffKindText(d.kind), "\n"});
    return out;
}

Status WriteCompareCsv(const std::string& path, const CompareReport& report)
{
    const std::string text = CompareCsv(report);
    return ReplaceFile(path, text.data(), text.size());
}

EraseReport EraseCheck(std::span<const std::uint8_t> chip)
{
    EraseReport report;
    report.size = std::uint32_t(chip.size());
    for (std::uint32_t a = 0; a < report.size; ++a) {
        if (chip[a] == 0xFF) continue;
        report.bytes.push_back({a, chip[a]});
        report.bits += unsigned(std::popcount(unsigned(std::uint8_t(~chip[a]))));
    }
    return report;
}

std::vector<std::string> EraseCheckLines(const EraseReport& report, std::size_t maxDiffs)
{
    std::vector<std::string> lines;
    AppendCut(lines, report.bytes, maxDiffs, [](const ProgrammedByte& b) {
        return Cat({FormatAddress(b.address), ": chip ", FormatByte(b.chip)});
    });
    if (report.Erased()) {
        lines.push_back(Cat({"erase-check: all ", Count(report.size, "byte", "bytes"), " erased"}));
    } else {
        lines.push_back(Cat({"erase-check: ", Count(report.bits, "bit", "bits"), " in ",
                             Count(report.bytes.size(), "byte", "bytes"), " still programmed, first ",
                             FormatAddress(report.bytes.front().address), ", last ",
                             FormatAddress(report.bytes.back().address)}));
    }
    return lines;
}

}  // namespace vexo
