#include "rom/line_test.h"

#include "base/text.h"

#include <cstdio>

namespace vexo {
namespace {

// Control bits 0, 1 and 3 are inverted between the register and the pin.
constexpr std::uint8_t kInvertedControl = 0x0B;
constexpr int kControlPins[] = {1, 14, 16, 17};

std::string Registers(std::uint8_t data, std::uint8_t control)
{
    char text[48];
    std::snprintf(text, sizeof text, "data 0x%02X, control 0x%02X", unsigned(data), unsigned(control));
    return text;
}

}  // namespace

std::vector<LineStep> LineTestSteps(bool withBit4)
{
    std::vector<LineStep> steps;
    for (int bit = 0; bit < 8; ++bit) {
        const auto data = std::uint8_t(kResetData | (1u << bit));
        steps.push_back({Cat({"D", std::to_string(bit), " (pin ", std::to_string(bit + 2), ") high; ",
                              Registers(data, kResetControl)}),
                         data, kResetControl});
    }
    for (int bit = 0; bit < (withBit4 ? 5 : 4); ++bit) {
        const auto control = std::uint8_t(kResetControl ^ (1u << bit));
        std::string name = Cat({"C", std::to_string(bit)});
        if (bit < 4) {
            const bool registerBit = (control >> bit) & 1u;
            const bool pinHigh = registerBit != bool((kInvertedControl >> bit) & 1u);
            name = Cat({name, " (pin ", std::to_string(kControlPins[bit]), ") ", pinHigh ? "high" : "low"});
        } else {
            name = Cat({name, " (register bit 4, no pin) set"});
        }
        steps.push_back({Cat({name, "; ", Registers(kResetData, control)}), kResetData, control});
    }
    return steps;
}

std::string FormatStatusLines(const StatusLines& lines)
{
    return std::string("S6 (pin 10) ") + (lines.s6 ? "1" : "0") + ", S7 (pin 11) " +
           (lines.s7 ? "1" : "0");
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
    return {bool((status >> 6) & 1u), bool((status >> 7) & 1u)};
}

}  // namespace vexo
