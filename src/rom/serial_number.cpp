// SPDX-License-Identifier: GPL-3.0-or-later
#include "rom/serial_number.h"

#include <algorithm>
#include <optional>

#include "base/hex.h"
#include "base/numbers.h"
#include "base/text.h"
#include "base/sizes.h"

namespace vexo {
namespace {

std::vector<std::string_view> SplitColons(std::string_view text)
{
    std::vector<std::string_view> parts;
    while (true) {
        const std::size_t colon = text.find(':');
        parts.push_back(text.substr(0, colon));
        if (colon == std::string_view::npos) return parts;
        text.remove_prefix(colon + 1);
    }
}

Status Bad(std::string_view text, std::string_view why)
{
    return Status::Fail(Cat({"serial number '", text, "': ", why}));
}

}  // namespace

const char* SerialFormatName(SerialFormat format)
{
    switch (format) {
    case SerialFormat::Le: return "le";
    case SerialFormat::Be: return "be";
    case SerialFormat::Bcd: return "bcd";
    case SerialFormat::Ascii: return "ascii";
    }
    return "?";
}

namespace {

// A plan's parts before they are checked: the numbers as typed, the width
// and format as read (nullopt: not a width, not a format name).
struct PlanParts {
    std::string_view address;
    std::optional<std::uint64_t> width;
    std::string_view start;
    std::optional<std::string_view> step;  // nullopt: left out, 1
    std::optional<SerialFormat> format = SerialFormat::Le;
};

std::optional<SerialFormat> FormatNamed(std::string_view name)
{
    for (SerialFormat format : {SerialFormat::Le, SerialFormat::Be, SerialFormat::Bcd, SerialFormat::Ascii})
        if (SameText(name, SerialFormatName(format))) return format;
    return std::nullopt;
}

// Checks the parts in the order an operator reads them; a failure quotes
// the plan as `quote`.
Result<SerialPlan> BuildPlan(std::string_view quote, const PlanParts& parts)
{
    SerialPlan plan;
    const auto address = ParseUnsigned(parts.address, kBufferSize - 1);
    if (!address) return Bad(quote, "the address is not a number from 0 to 0xFFFFFF");
    plan.address = std::uint32_t(*address);
    if (!parts.width || *parts.width == 0 || *parts.width > 8)
        return Bad(quote, "the width is not a byte count from 1 to 8");
    plan.width = unsigned(*parts.width);
    if (plan.address + plan.width > kBufferSize)
        return Bad(quote, "the number would run past the end of the 16 MiB buffer");
    const auto start = ParseUnsigned(parts.start);
    if (!start) return Bad(quote, "the start is not a number");
    plan.start = *start;
    if (parts.step) {
        const auto step = ParseUnsigned(*parts.step);
        if (!step || *step == 0) return Bad(quote, "the step is not a number from 1 up");
        plan.step = *step;
    }
    if (!parts.format) return Bad(quote, "the format is not le, be, bcd or ascii");
    plan.format = *parts.format;
    // The first number must fit; later ones are checked chip by chip.
    if (auto first = EncodeSerial(plan, plan.start); !first) return Bad(quote, first.message());
    return plan;
}

}  // namespace

Result<SerialPlan> ParseSerialPlan(std::string_view text)
{
    const std::vector<std::string_view> parts = SplitColons(text);
    if (parts.size() < 3 || parts.size() > 5)
        return Bad(text, "write ADDR:WIDTH:START[:STEP[:FORMAT]], e.g. 0x7FF0:4:1000");
    PlanParts plan;
    plan.address = parts[0];
    plan.width = ParseUnsigned(parts[1], 8);
    plan.start = parts[2];
    if (parts.size() > 3) plan.step = parts[3];
    if (parts.size() > 4) plan.format = FormatNamed(parts[4]);
    return BuildPlan(text, plan);
}

Result<SerialPlan> ParseSerialAt(std::string_view text)
{
    const std::vector<std::string_view> parts = SplitColons(text);
    if (parts.size() < 2 || parts.size() > 3)
        return Bad(text, "write ADDR:WIDTH[:FORMAT], e.g. 0x7FF0:4");
    PlanParts plan;
    plan.address = parts[0];
    plan.width = ParseUnsigned(parts[1], 8);
    plan.start = "0";
    if (parts.size() > 2) plan.format = FormatNamed(parts[2]);
    return BuildPlan(text, plan);
}

std::string SerialPlanText(const SerialPlan& plan)
{
    char address[16];
    std::snprintf(address, sizeof address, "0x%X", unsigned(plan.address));
    return Cat({address, ":", std::to_string(plan.width), ":", std::to_string(plan.start), ":",
                std::to_string(plan.step), ":", SerialFormatName(plan.format)});
}

Result<SerialPlan> SerialPlanFromFields(const SerialPlanFields& fields)
{
    // Failures quote the fields as the text front would take them.
    const std::string quote = Cat({fields.address, ":", std::to_string(fields.width), ":", fields.start, ":",
                                   fields.step, ":", SerialFormatName(fields.format)});
    PlanParts plan;
    plan.address = fields.address;
    plan.width = fields.width;
    plan.start = fields.start;
    plan.step = fields.step;
    plan.format = fields.format;
    return BuildPlan(quote, plan);
}

std::uint64_t SerialMaximum(unsigned width, SerialFormat format)
{
    if (width == 0) return 0;
    switch (format) {
    case SerialFormat::Le:
    case SerialFormat::Be:
        return width >= 8 ? UINT64_MAX : (std::uint64_t(1) << (8 * width)) - 1;
    case SerialFormat::Bcd:
    case SerialFormat::Ascii: {
        const unsigned digits = format == SerialFormat::Bcd ? 2 * width : width;
        std::uint64_t max = 0;
        for (unsigned i = 0; i < digits; ++i) max = max * 10 + 9;  // at most 16 digits
        return max;
    }
    }
    return 0;
}

Result<std::vector<std::uint8_t>> EncodeSerial(const SerialPlan& plan, std::uint64_t value)
{
    const std::uint64_t max = SerialMaximum(plan.width, plan.format);
    if (plan.width < 1 || plan.width > 8)
        return Status::Fail("a serial number takes 1 to 8 bytes");
    if (value > max) {
        return Status::Fail(Cat({"serial ", std::to_string(value), " does not fit in ",
                                 std::to_string(plan.width), plan.width == 1 ? " byte" : " bytes",
                                 " (", SerialFormatName(plan.format), ", at most ",
                                 std::to_string(max), ")"}));
    }
    std::vector<std::uint8_t> bytes(plan.width);
    std::uint64_t rest = value;
    for (unsigned i = 0; i < plan.width; ++i) {
        // Fill from the least significant end: bytes[plan.width - 1 - i].
        std::uint8_t& out = bytes[plan.width - 1 - i];
        switch (plan.format) {
        case SerialFormat::Le:
        case SerialFormat::Be:
            out = std::uint8_t(rest & 0xFF);
            rest >>= 8;
            break;
        case SerialFormat::Bcd:
            out = std::uint8_t((rest % 10) | ((rest / 10 % 10) << 4));
            rest /= 100;
            break;
        case SerialFormat::Ascii:
            out = std::uint8_t('0' + rest % 10);
            rest /= 10;
            break;
        }
    }
    if (plan.format == SerialFormat::Le) std::reverse(bytes.begin(), bytes.end());
    return bytes;
}

Status CheckSerialWithin(const SerialPlan& plan, std::uint32_t deviceSize, std::string_view deviceName)
{
    if (std::uint64_t(plan.address) + plan.width <= deviceSize) return Status::Ok();
    return Status::Fail(Cat({"the serial number at ", HexAddress0x(plan.address), " lies past the end of the ",
                             deviceName, " (", std::to_string(deviceSize), " bytes)"}));
}

std::string SerialOverlap(const SerialPlan& plan, std::span<const std::uint8_t> buffer)
{
    if (std::uint64_t(plan.address) + plan.width > buffer.size()) return {};
    const std::span<const std::uint8_t> under = buffer.subspan(plan.address, plan.width);
    if (std::all_of(under.begin(), under.end(), [](std::uint8_t b) { return b == 0xFF; })) return {};
    std::string text = Cat({"serial: ", HexAddress0x(plan.address), "-",
                            HexAddress0x(plan.address + plan.width - 1), " lies over image bytes"});
    for (std::uint8_t b : under) {
        text += ' ';
        text += HexByte(b);
    }
    return text;
}

Result<std::vector<std::uint8_t>> SerialCounter::CurrentBytes() const
{
    if (m_overflowed) return Status::Fail("the serial numbers ran past 18446744073709551615");
    return EncodeSerial(m_plan, m_value);
}

void SerialCounter::ChipDone(bool passed)
{
    if (!passed) return;
    if (m_value > UINT64_MAX - m_plan.step) m_overflowed = true;
    else m_value += m_plan.step;
}

}  // namespace vexo
