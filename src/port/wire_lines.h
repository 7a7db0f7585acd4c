// SPDX-License-Identifier: GPL-3.0-or-later
// The lines of the parallel port as the programming module uses them: one
// table, read by the device object's named bits, the simulated module and
// the value change dump's signal names.
//
// Polarity is the register bit's: "high" means the bit is 1 in the register
// value (the port hardware inverts Strobe, Auto Feed, Select In and Busy on
// the connector; the module and this program deal in register values only).
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "port/port.h"

namespace vexo {

struct WireLine {
    std::string_view name;     // "D0": also the capture's signal name
    std::uint16_t reg;         // kDataPort, kStatusPort or kControlPort
    std::uint8_t mask;         // the bit in that register
    std::string_view role;     // what the module does with it
    bool activeLow;            // the function is on while the bit is 0
    int pin;                   // on the 25-pin connector; 0: a register bit without a pin
    bool pinInverted;          // the port hardware inverts the bit on its way to the pin
};

inline constexpr std::array<WireLine, 15> kWireLines{{
    {"D0", kDataPort, 0x01, "address clock: the module shifts D1 in on the rising edge", false, 2, false},
    {"D1", kDataPort, 0x02, "address data, most significant bit first; 1 for the first read sample", false, 3, false},
    {"D2", kDataPort, 0x04, "read clock: a 0-1-0 pulse shifts the next read bit onto S6", false, 4, false},
    {"D3", kDataPort, 0x08, "data bit 3 of the byte being programmed", false, 5, false},
    {"D4", kDataPort, 0x10, "data bit 4 of the byte being programmed", false, 6, false},
    {"D5", kDataPort, 0x20, "data bit 5 of the byte being programmed", false, 7, false},
    {"D6", kDataPort, 0x40, "data bit 6 of the byte being programmed", false, 8, false},
    {"D7", kDataPort, 0x80, "data bit 7 of the byte being programmed", false, 9, false},
    {"C0", kControlPort, 0x01, "program enable, with C1 and C2: on while C0 is 0", true, 1, true},
    {"C1", kControlPort, 0x02, "program enable, with C0 and C2: on while C1 is 1", false, 14, true},
    {"C2", kControlPort, 0x04, "program enable with C0 and C1; set by the module check", false, 16, false},
    {"C3", kControlPort, 0x08, "program pulse (27C256, 27C512); set while reading", false, 17, true},
    {"C4", kControlPort, 0x10, "with C3, the program pulse of 27C010 to 27C040", false, 0, false},
    {"S6", kStatusPort, 0x40, "read data: the read byte's current bit, inverted", true, 10, false},
    {"S7", kStatusPort, 0x80, "module present: answers 1 while D0 is 0", false, 11, true},
}};

// The named line; a name not in the table does not compile.
consteval WireLine Wire(std::string_view name)
{
    for (const WireLine& line : kWireLines)
        if (line.name == name) return line;
    throw "no such line";
}

// The bit of a named line.
consteval std::uint8_t WireMask(std::string_view name) { return Wire(name).mask; }

// The status lines the program reads, as constants. Pass these, never a
// Wire("S6") call, to a function that takes a line: clang 14 miscompiles
// the result of a consteval call handed on as an argument (it reads
// garbage for the polarity; GCC is right).
inline constexpr WireLine kReadDataLine = Wire("S6");
inline constexpr WireLine kModulePresentLine = Wire("S7");

// Operations on a register value, one line at a time, given the line's mask
// (a constant: WireMask("D0")). They take and give `unsigned`, as the port's
// register writes do, so that a caller's write is what a literal mask makes:
// one OR or AND, no struct passed and no narrowing before the write.
constexpr unsigned SetLine(unsigned value, unsigned mask) { return value | mask; }
constexpr unsigned ClearLine(unsigned value, unsigned mask) { return value & ~mask; }
// The register value with the line's bit at `high`.
constexpr unsigned PutLine(unsigned value, unsigned mask, bool high)
{
    return high ? SetLine(value, mask) : ClearLine(value, mask);
}
constexpr bool LineHigh(unsigned value, unsigned mask) { return (value & mask) != 0; }
// The same by a row of the table, for code that walks the table.
constexpr unsigned SetLine(unsigned value, const WireLine& line) { return SetLine(value, unsigned{line.mask}); }
constexpr unsigned ClearLine(unsigned value, const WireLine& line) { return ClearLine(value, unsigned{line.mask}); }
constexpr unsigned PutLine(unsigned value, const WireLine& line, bool high)
{
    return PutLine(value, unsigned{line.mask}, high);
}
constexpr bool LineHigh(unsigned value, const WireLine& line) { return LineHigh(value, unsigned{line.mask}); }
// The line's function with its polarity: on while the bit is 1, or 0 for
// an active-low line.
constexpr bool LineOn(unsigned value, const WireLine& line) { return LineHigh(value, line.mask) != line.activeLow; }
// The register value with the line's function turned on or off.
constexpr unsigned TurnLine(unsigned value, const WireLine& line, bool on)
{
    return PutLine(value, line.mask, on != line.activeLow);
}

// The lines of `names` together: their masks, and their bits as they stand
// when every one of them is on.
struct WireGroup {
    std::uint8_t mask = 0;
    std::uint8_t on = 0;
};
consteval WireGroup WireLinesOn(std::initializer_list<std::string_view> names)
{
    WireGroup group;
    for (std::string_view name : names) {
        const WireLine line = Wire(name);
        group.mask = std::uint8_t(group.mask | line.mask);
        if (!line.activeLow) group.on = std::uint8_t(group.on | line.mask);
    }
    return group;
}

}  // namespace vexo
