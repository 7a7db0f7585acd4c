// SPDX-License-Identifier: GPL-3.0-or-later
// The line test: the module's output lines driven one at a time from their
// reset state, for a meter, a logic probe or LEDs, with the two status lines
// the module answers on read back after each step.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "port/port.h"

namespace vexo {

// The lines as the device object's line reset leaves them.
inline constexpr std::uint8_t kResetData = 0x00;
inline constexpr std::uint8_t kResetControl = 0x09;

struct LineStep {
    std::string name;  // "D3 (pin 5) high"
    std::uint8_t data = kResetData;
    std::uint8_t control = kResetControl;
};

// D0..D7 set one at a time, then C0..C3 (and C4 when `withBit4`: a register
// bit with no pin of its own, which ppdev keeps to the kernel) each turned
// from its reset value. Every step differs from the reset state in one bit.
std::vector<LineStep> LineTestSteps(bool withBit4);

struct StatusLines {
    bool s6 = false;  // status register bit 6 (pin 10)
    bool s7 = false;  // status register bit 7 (pin 11)
    bool operator==(const StatusLines&) const = default;
};

// "S6 (pin 10) 1, S7 (pin 11) 0": register bits as read.
std::string FormatStatusLines(const StatusLines& lines);

class LineTest {
public:
    LineTest(IPort& port, bool withBit4) : m_port(port), m_steps(LineTestSteps(withBit4)) {}

    const std::vector<LineStep>& Steps() const { return m_steps; }
    // Puts step `index` on the lines: the data register, then the control.
    void Apply(std::size_t index);
    // Data and control back to their reset values.
    void Reset();
    // One status read.
    StatusLines Read();

private:
    IPort& m_port;
    std::vector<LineStep> m_steps;
};

}  // namespace vexo
