// SPDX-License-Identifier: GPL-3.0-or-later
#include "rom/line_test.h"

#include "base/hex.h"
#include "base/text.h"
#include "port/wire_lines.h"

namespace vexo {
namespace {

std::string Registers(std::uint8_t data, std::uint8_t control)
{
    return Cat({"data ", HexByte0x(data), ", control ", HexByte0x(control)});
}

// "D3 (pin 5)", "C4 (register bit 4, no pin)".
std::string LineName(const WireLine& line)
{
    if (line.pin != 0) return Cat({line.name, " (pin ", std::to_string(line.pin), ")"});
    return Cat({line.name, " (register bit ", std::to_string(__builtin_ctz(line.mask)), ", no pin)"});
}

// The level on the connector for the register value `value`.
bool PinHigh(std::uint8_t value, const WireLine& line) { return LineHigh(value, line) != line.pinInverted; }

}  // namespace

std::vector<LineStep> LineTestSteps(bool withBit4)
{
    std::vector<LineStep> steps;
    for (const WireLine& line : kWireLines) {
        if (line.reg != kDataPort) continue;
        const std::uint8_t data = SetLine(kResetData, line);
        steps.push_back({Cat({LineName(line), " ", PinHigh(data, line) ? "high" : "low", "; ",
                              Registers(data, kResetControl)}),
                         data, kResetControl});
    }
    for (const WireLine& line : kWireLines) {
        if (line.reg != kControlPort || (line.pin == 0 && !withBit4)) continue;
        const std::uint8_t control = PutLine(kResetControl, line, !LineHigh(kResetControl, line));
        const std::string level = line.pin != 0 ? (PinHigh(control, line) ? "high" : "low") : "set";
        steps.push_back({Cat({LineName(line), " ", level, "; ", Registers(kResetData, control)}), kResetData,
                         control});
    }
    return steps;
}

std::string FormatStatusLines(const StatusLines& lines)
{
    return Cat({LineName(kReadDataLine), " ", lines.s6 ? "1" : "0", ", ", LineName(kModulePresentLine), " ",
                lines.s7 ? "1" : "0"});
}

void LineTest::Apply(std::size_t index)
{
    const LineStep& step = m_steps.at(index);
    m_port.Out(kDataPort, step.data);
    m_port.Out(kControlPort, step.control);
}

void LineTest::Reset()
{
    m_port.Out(kDataPort, kResetData);
    m_port.Out(kControlPort, kResetControl);
}

StatusLines LineTest::Read()
{
    const std::uint8_t status = m_port.In(kStatusPort);
    return {LineHigh(status, kReadDataLine), LineHigh(status, kModulePresentLine)};
}

}  // namespace vexo
