// SPDX-License-Identifier: GPL-3.0-or-later
#include "rom/dump_inspect.h"

#include <cstring>

#include "base/text.h"
#include "rom/checksum.h"
#include "rom/diagnosis.h"

namespace vexo {

std::optional<std::uint32_t> RepeatPeriod(std::span<const std::uint8_t> data)
{
    const std::size_t size = data.size();
    for (std::size_t p = 1; p < size; p *= 2) {
        if (size % p != 0) break;  // powers of two beyond divide it no more
        if (std::memcmp(data.data(), data.data() + p, size - p) == 0) return std::uint32_t(p);
    }
    return std::nullopt;
}

namespace {

// True when every byte equals the one at its offset XOR `step`.
bool LineHasNoEffect(std::span<const std::uint8_t> data, std::size_t step)
{
    const std::size_t size = data.size();
    for (std::size_t base = 0; base + step < size; base += 2 * step) {
        const std::size_t length = std::min(step, size - base - step);
        if (std::memcmp(data.data() + base, data.data() + base + step, length) != 0) return false;
    }
    return true;
}

}  // namespace

InspectReport InspectImage(std::span<const std::uint8_t> data, std::uint32_t first)
{
    InspectReport r;
    r.first = first;
    r.size = std::uint32_t(data.size());
    r.crc32 = Crc32(data.data(), data.size());
    r.sha1 = Sha1(data);
    if (data.empty()) return r;

    std::uint8_t all = 0xFF, any = 0x00;
    for (std::uint8_t byte : data) {
        all &= byte;
        any |= byte;
    }
    // One value throughout: its run (FF, 00) or its fixed bits say it all;
    // every address line and period would hold as well.
    const bool constant = all == any;
    if (constant && (all == 0xFF || all == 0x00)) {
        r.runs.push_back({first, std::uint32_t(first + data.size() - 1), all});
        return r;
    }
    for (unsigned bit = 8; bit-- > 0;) {
        const std::uint8_t mask = std::uint8_t(1u << bit);
        if (all & mask) r.fixedBits.push_back({bit, true});
        else if (!(any & mask)) r.fixedBits.push_back({bit, false});
    }

    if (constant) return r;
    for (unsigned line = 0; (std::size_t(2) << line) <= data.size() && line < 24; ++line)
        if (LineHasNoEffect(data, std::size_t(1) << line)) r.deadAddressLines.push_back(line);

    r.period = RepeatPeriod(data);

    for (std::size_t i = 0; i < data.size();) {
        const std::uint8_t value = data[i];
        std::size_t end = i + 1;
        while (end < data.size() && data[end] == value) ++end;
        if ((value == 0xFF || value == 0x00) && end - i >= kInspectMinRun)
            r.runs.push_back({std::uint32_t(first + i), std::uint32_t(first + end - 1), value});
        i = end;
    }
    return r;
}

std::vector<ReportLine> InspectLines(const InspectReport& r)
{
    std::vector<ReportLine> lines;
    const auto add = [&lines](std::string text, JsonObject fields) {
        lines.push_back({std::move(text), std::move(fields)});
    };
    const std::uint32_t last = r.size == 0 ? r.first : r.first + r.size - 1;
    add(Cat({"inspect: ", FormatAddress(r.first), "-", FormatAddress(last), ", ", Count(r.size, "byte", "bytes"),
             ", crc32 ", Crc32Hex(r.crc32), ", sha1 ", Sha1Hex(r.sha1)}),
        JsonObject()
            .String("kind", "image")
            .Unsigned("first", r.first)
            .Unsigned("last", last)
            .Unsigned("size", r.size)
            .Unsigned("crc32", r.crc32)
            .String("sha1", Sha1Hex(r.sha1)));
    for (const InspectReport::FixedBit& b : r.fixedBits)
        add(Cat({"inspect: data bit D", std::to_string(b.bit), " is ", b.level ? "1" : "0", " at every address"}),
            JsonObject().String("kind", "fixed_bit").Unsigned("bit", b.bit).Unsigned("level", b.level ? 1 : 0));
    for (unsigned line : r.deadAddressLines) {
        const std::uint32_t step = std::uint32_t(1) << line;
        add(Cat({"inspect: address line A", std::to_string(line), " has no effect (", FormatAddress(r.first), "-",
                 FormatAddress(r.first + step - 1), " equals ", FormatAddress(r.first + step), "-",
                 FormatAddress(r.first + 2 * step - 1), ")"}),
            JsonObject().String("kind", "dead_address_line").String("address_line", Cat({"A", std::to_string(line)})));
    }
    if (r.period)
        add(Cat({"inspect: the image repeats every ", FormatAddress(*r.period), " bytes; the unique part is ",
                 FormatAddress(r.first), "-", FormatAddress(r.first + *r.period - 1)}),
            JsonObject().String("kind", "repeat").Unsigned("period", *r.period).Unsigned("first", r.first).Unsigned(
                "last", r.first + *r.period - 1));
    const std::size_t shown = std::min(r.runs.size(), kInspectMaxRuns);
    for (std::size_t i = 0; i < shown; ++i) {
        const InspectReport::Run& run = r.runs[i];
        add(Cat({"inspect: ", FormatAddress(run.first), "-", FormatAddress(run.last), " is all ", FormatByte(run.value)}),
            JsonObject()
                .String("kind", "run")
                .Unsigned("first", run.first)
                .Unsigned("last", run.last)
                .Unsigned("value", run.value));
    }
    if (shown < r.runs.size())
        add(Cat({"... and ", std::to_string(r.runs.size() - shown), " more"}),
            JsonObject().String("kind", "more_runs").Unsigned("count", r.runs.size() - shown));
    if (!r.Unusual()) add("inspect: nothing unusual", JsonObject().String("kind", "nothing_unusual"));
    return lines;
}

}  // namespace vexo
