// SPDX-License-Identifier: GPL-3.0-or-later
#include "rom/diagnosis_words.h"

#include <algorithm>
#include <string>

#include "base/text.h"

namespace vexo {
namespace {

std::string Span(std::uint32_t size)
{
    return size == 0 ? std::string("no bytes")
                     : Cat({FormatAddress(0), " to ", FormatAddress(size - 1)});
}

std::string Number(std::size_t n) { return std::to_string(n); }

}  // namespace

std::string CompareSummaryWords(const CompareReport& report)
{
    if (report.Matches())
        return Cat({"The chip matches the buffer: all ", Count(report.size, "byte", "bytes"), " (",
                    Span(report.size), ")."});
    const std::size_t n = report.diffs.size();
    std::string text = Cat({Number(n), " of ", Count(report.size, "byte", "bytes"), " ",
                            n == 1 ? "differs" : "differ", " from the buffer (", Span(report.size), "): "});
    if (report.needErasing == 0)
        text += n == 1 ? "it can still be programmed." : Cat({"all ", Number(n), " can still be programmed."});
    else if (report.needProgramming == 0)
        text += n == 1 ? "it needs the chip erased first." : Cat({"all ", Number(n), " need the chip erased first."});
    else
        text += Cat({Number(report.needProgramming), " can still be programmed, ", Number(report.needErasing),
                     " need the chip erased first."});
    return text;
}

std::string EraseSummaryWords(const EraseReport& report)
{
    if (report.Erased()) return Cat({"The chip is erased: all ", Count(report.size, "byte", "bytes"), " read FF."});
    const std::size_t n = report.bytes.size();
    std::string text = Cat({"The chip is not erased: ", Count(n, "byte", "bytes"), " (",
                            Count(report.bits, "bit", "bits"), ") ", n == 1 ? "is" : "are", " still programmed"});
    if (n == 1) return Cat({text, ", at ", FormatAddress(report.bytes.front().address), "."});
    return Cat({text, ", from ", FormatAddress(report.bytes.front().address), " to ",
                FormatAddress(report.bytes.back().address), "."});
}

std::string FindingWords(const Finding& finding)
{
    const std::string line = std::to_string(finding.line);
    switch (finding.kind) {
    case Finding::Kind::OneValue:
        if (finding.value == 0xFF)
            return "The chip reads FF at every address: it is blank, or it does not sit in the socket "
                   "(check its legs, the lever and the DIP switches).";
        return Cat({"The chip reads ", FormatByte(finding.value),
                    " at every address: check that it sits the right way round in the socket and that "
                    "the module has power."});
    case Finding::Kind::DataLineStuck:
        return Cat({"Data line D", line, " reads ", finding.value ? "1" : "0",
                    " at every address: check the chip's leg for D", line, " and its pin in the socket."});
    case Finding::Kind::AddressLineDead:
        return Cat({"Address line A", line, " makes no difference: where A", line,
                    " is 1 (marked on the map) the chip answers with the bytes where it is 0. Check the chip's "
                    "leg for A",
                    line, ", its pin in the socket and the DIP switches for this device."});
    case Finding::Kind::DifferentImage:
        return "The chip holds a different image: check that the right file is loaded, or erase the chip "
               "and program it again.";
    }
    return {};
}

bool LooksWeak(const CompareReport& report)
{
    if (report.Matches() || report.needErasing != 0 || !report.found.empty()) return false;
    if (report.diffs.size() == 1) return true;
    const std::uint32_t span = report.diffs.back().address - report.diffs.front().address + 1;
    return span != report.diffs.size();
}

std::vector<double> DiffShares(const CompareReport& report, std::size_t cells)
{
    const std::uint64_t size = report.size;
    cells = std::size_t(std::min<std::uint64_t>(cells, size));
    std::vector<double> shares(cells, 0.0);
    if (cells == 0) return shares;
    // Cell k holds the addresses [k * size / cells, (k + 1) * size / cells).
    const auto first = [&](std::size_t k) { return std::uint64_t(k) * size / cells; };
    std::vector<std::uint64_t> counts(cells, 0);
    for (const ByteDiff& d : report.diffs) {
        if (d.address >= size) continue;
        std::size_t k = std::size_t(std::uint64_t(d.address) * cells / size);
        while (k + 1 < cells && first(k + 1) <= d.address) ++k;
        while (k > 0 && first(k) > d.address) --k;
        ++counts[k];
    }
    for (std::size_t k = 0; k < cells; ++k)
        shares[k] = double(counts[k]) / double(first(k + 1) - first(k));
    return shares;
}

}  // namespace vexo
