// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated module driven register by register, independent of the
// device object: its address register, serial read, program pulse rule,
// pulse counting, wrap-around and the absent module.
#include <gtest/gtest.h>

#include "port/sim_module.h"

namespace vexo {
namespace {

void Data(SimModule& m, std::uint8_t v) { m.Out(kDataPort, v); }
void Control(SimModule& m, std::uint8_t v) { m.Out(kControlPort, v); }

// Clocks `bits` address bits in, most significant first: bit 1 set up while
// bit 0 is low, then bit 0 raised.
void Shift(SimModule& m, std::uint32_t address, int bits = 24)
{
    for (int i = bits - 1; i >= 0; --i) {
        const std::uint8_t bit = ((address >> i) & 1) ? 0x02 : 0x00;
        Data(m, bit);
        Data(m, bit | 0x01);
    }
}

// Eight 0-1-0 pulses of data bit 2, the first with bit 1 high; returns the
// samples of the read line (status bit 6 inverted), first sample in bit 7.
std::uint8_t ReadSerial(SimModule& m)
{
    std::uint8_t byte = 0;
    for (int i = 0; i < 8; ++i) {
        const std::uint8_t select = i == 0 ? 0x02 : 0x00;
        Data(m, select);
        Data(m, select | 0x04);
        Data(m, select);
        const std::uint8_t status = m.In(kStatusPort);
        EXPECT_EQ(status & 0xBF, 0x80) << "only bits 7 and 6 may be set";
        byte = std::uint8_t((byte << 1) | (((status >> 6) & 1) ^ 1));
    }
    return byte;
}

// Program set-up as the device object leaves it (bits 1 and 2 set, 0 and 3
// clear), the byte on the data lines, then `pulses` rising edges of bit 3.
void Program(SimModule& m, std::uint8_t value, int pulses)
{
    Control(m, 0x06);
    Data(m, value);
    for (int i = 0; i < pulses; ++i) {
        Control(m, 0x0E);
        Control(m, 0x06);
    }
}

TEST(SimModule, PowersUpIdleWithErasedChipAndModulePresent)
{
    SimModule m(0x8000);
    EXPECT_EQ(m.State(), SimState::Idle);
    EXPECT_EQ(m.Size(), 0x8000u);
    EXPECT_EQ(m.In(kStatusPort), 0x80);  // present, read line idle at 1
    for (std::uint32_t a = 0; a < m.Size(); a += 511) ASSERT_EQ(m.ChipByte(a), 0xFF);
    Data(m, 0x5A);
    Control(m, 0x0C);
    EXPECT_EQ(m.In(kDataPort), 0x5A);
    EXPECT_EQ(m.In(kControlPort), 0x0C);
}

TEST(SimModule, AddressShiftsInMostSignificantBitFirstOnRisingClockOnly)
{
    SimModule m(0x80000);
    Shift(m, 0xABCDEF);
    EXPECT_EQ(m.State(), SimState::Addressing);
    EXPECT_EQ(m.AddressRegister(), 0xABCDEFu);

    // Bit 1 changing while the clock stays high, and the clock falling, shift nothing.
    Data(m, 0x03);
    Data(m, 0x01);
    Data(m, 0x03);
    Data(m, 0x02);
    EXPECT_EQ(m.AddressRegister(), 0xABCDEFu);

    // A 25th bit pushes the oldest out: the register keeps 24 bits.
    Shift(m, 0x1800001, 25);
    EXPECT_EQ(m.AddressRegister(), 0x800001u);
    Shift(m, 1, 1);
    EXPECT_EQ(m.AddressRegister(), 0x000003u);
}

TEST(SimModule, ReadLatchesTheAddressedByteAndShiftsItOutInverted)
{
    SimModule m(0x10000);
    m.SetChipByte(0x1234, 0x5A);
    m.SetChipByte(0x1235, 0x00);
    m.SetChipByte(0x0000, 0x81);

    // Pulses with bit 1 low before anything is latched leave the line alone.
    Shift(m, 0x1234);
    Data(m, 0x04);
    Data(m, 0x00);
    EXPECT_EQ(m.State(), SimState::Addressing);
    EXPECT_EQ(m.In(kStatusPort), 0x80);

    Shift(m, 0x1234);
    EXPECT_EQ(ReadSerial(m), 0x5A);
    EXPECT_EQ(m.State(), SimState::Reading);
    Shift(m, 0x1235);
    EXPECT_EQ(ReadSerial(m), 0x00);
    Shift(m, 0x0000);
    EXPECT_EQ(ReadSerial(m), 0x81);
    // Past bit 0 the line idles at 1; a new select pulse latches afresh.
    Data(m, 0x04);
    Data(m, 0x00);
    EXPECT_EQ(m.In(kStatusPort), 0x80);
    EXPECT_EQ(ReadSerial(m), 0x81);
    // Reading changes nothing in the chip.
    EXPECT_EQ(m.ChipByte(0x1234), 0x5A);
}

TEST(SimModule, ProgramPulseOnlyWithBits1And2SetAndBit0Clear)
{
    SimModule m(0x8000);
    Shift(m, 0x10);
    Control(m, 0x06);
    Data(m, 0x5A);
    Control(m, 0x0E);
    EXPECT_EQ(m.ChipByte(0x10), 0x5A);
    EXPECT_EQ(m.State(), SimState::Programming);

    // Bit 3 held high, bit 4 toggling: still one pulse.
    Data(m, 0x00);
    Control(m, 0x0E);
    Control(m, 0x1E);
    Control(m, 0x1E);
    EXPECT_EQ(m.ChipByte(0x10), 0x5A);
    EXPECT_EQ(m.PulseCount(), 1u);

    // The line reset after programming: 06 -> 07 -> 03 -> 0B raises bit 3
    // while bit 1 is set, but with bit 0 set / bit 2 clear: nothing is written.
    Shift(m, 0x20);
    Data(m, 0x00);
    for (std::uint8_t c : {0x06, 0x07, 0x03, 0x0B, 0x09}) Control(m, c);
    // Other near misses: bit 2 clear, bit 0 set, bit 1 clear.
    for (std::uint8_t c : {0x02, 0x0A, 0x07, 0x0F, 0x04, 0x0C}) Control(m, c);
    EXPECT_EQ(m.ChipByte(0x20), 0xFF);
    EXPECT_EQ(m.PulseCount(), 0u);
}

TEST(SimModule, ProgrammingOnlyClearsBits)
{
    SimModule m(0x8000);
    m.SetChipByte(7, 0xF0);
    Shift(m, 7);
    Program(m, 0x3C, 1);
    EXPECT_EQ(m.ChipByte(7), 0x30);
    Shift(m, 7);
    Program(m, 0xFF, 5);
    EXPECT_EQ(m.ChipByte(7), 0x30);
}

TEST(SimModule, ByteChangesAfterPulsesCountedFromTheLastAddressClock)
{
    SimModule m(0x8000, 3);
    EXPECT_EQ(m.PulsesToProgram(), 3u);
    Shift(m, 0x100);
    Program(m, 0x00, 2);
    EXPECT_EQ(m.PulseCount(), 2u);
    EXPECT_EQ(m.ChipByte(0x100), 0xFF);
    // Clocking an address in again, even the same one, starts a new count.
    Shift(m, 0x100);
    EXPECT_EQ(m.PulseCount(), 0u);
    Program(m, 0x00, 2);
    EXPECT_EQ(m.ChipByte(0x100), 0xFF);
    Program(m, 0x00, 1);  // third pulse of this programming
    EXPECT_EQ(m.ChipByte(0x100), 0x00);

    // A read between pulses does not restart the count.
    Shift(m, 0x101);
    Program(m, 0x10, 2);
    EXPECT_EQ(ReadSerial(m), 0xFF);
    Program(m, 0x10, 1);  // bit 0 stays low: no address clock
    EXPECT_EQ(m.ChipByte(0x101), 0x10);
}

TEST(SimModule, AddressesPastTheChipWrap)
{
    SimModule m(0x8000);
    Shift(m, 0x18001);  // a 27C256 in a socket wired for more
    Program(m, 0x42, 1);
    EXPECT_EQ(m.ChipByte(0x0001), 0x42);
    Shift(m, 0xFF8001);
    EXPECT_EQ(ReadSerial(m), 0x42);

    SimModule odd(1000);
    Shift(odd, 1005);
    Program(odd, 0x24, 1);
    EXPECT_EQ(odd.ChipByte(5), 0x24);
}

TEST(SimModule, AbsentModuleReadsSevenFAndIgnoresEverything)
{
    SimModule m(0x8000, 1, false);
    EXPECT_EQ(m.State(), SimState::Absent);
    EXPECT_EQ(m.In(kStatusPort), 0x7F);
    Shift(m, 5);
    Program(m, 0x00, 3);
    EXPECT_EQ(m.AddressRegister(), 0u);
    EXPECT_EQ(m.ChipByte(5), 0xFF);
    Data(m, 0x02);
    Data(m, 0x06);
    Data(m, 0x02);
    EXPECT_EQ(m.In(kStatusPort), 0x7F);
    EXPECT_EQ(m.State(), SimState::Absent);
}

}  // namespace
}  // namespace vexo
