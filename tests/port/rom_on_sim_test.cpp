// SPDX-License-Identifier: GPL-3.0-or-later
// The device object's serial primitives against the simulated module: what
// the object puts on the wire must program and read real bytes, for every
// device's line steps and every speed's pulse train.
#include <gtest/gtest.h>

#include <set>

#include "support/sim_fixture.h"

namespace vexo::test {
namespace {

class PrimitivesOnSim : public RomOnSim {
protected:
    void SetUp() override {}  // each test starts its own module

    void StartDevice(int device, std::uint32_t pulses = 1)
    {
        Start(kDevices[device].Size(), pulses);
        Select(device);
        ASSERT_TRUE(ui->messages.empty());
    }

    void ProgramAt(std::uint32_t address, std::uint8_t value)
    {
        rom->ProgramSetup();
        rom->ShiftAddress(address);
        rom->ProgramByte(value);
    }

    // As the read pass reads one byte.
    std::uint8_t ReadAt(std::uint32_t address)
    {
        rom->ResetLines();
        rom->ShiftAddress(address);
        rom->SetControlBit3();
        return rom->ReadByte();
    }
};

// Spread over every bank and page, with the first and last byte of each bank.
std::set<std::uint32_t> SampleAddresses(const DeviceInfo& device)
{
    std::set<std::uint32_t> out;
    for (std::uint32_t a = 0; a < device.Size(); a += 97) out.insert(a);
    for (std::uint32_t bank = 0; bank <= std::uint32_t(device.lastBank); ++bank) {
        out.insert(bank << 16);
        out.insert((bank << 16) + std::uint32_t(device.lastPage) * 256 + 255);
    }
    return out;
}

TEST_F(PrimitivesOnSim, EveryDeviceProgramsAndReadsBack)
{
    for (int device = 0; device < kDeviceCount; ++device) {
        SCOPED_TRACE(std::string(kDevices[device].name));
        StartDevice(device);
        const std::uint32_t size = kDevices[device].Size();
        const auto image = RandomBytes(size, unsigned(device) + 7);
        const auto addresses = SampleAddresses(kDevices[device]);
        EXPECT_TRUE(addresses.count(size - 1));

        for (std::uint32_t a : addresses) ProgramAt(a, image[a]);
        rom->ResetLines();  // as after the programming pass: must program nothing
        for (std::uint32_t a = 0; a < size; ++a) {
            const std::uint8_t expected = addresses.count(a) ? image[a] : 0xFF;
            ASSERT_EQ(sim->ChipByte(a), expected) << "address " << a;
        }
        for (std::uint32_t a : addresses) ASSERT_EQ(ReadAt(a), image[a]) << "address " << a;
        // Erased neighbours read back erased.
        EXPECT_EQ(ReadAt(1), addresses.count(1) ? image[1] : 0xFF);
        // Some verify set-ups leave control bit 3 low; the read does not care.
        rom->ResetLines();
        rom->ShiftAddress(size - 1);
        rom->ClearControlBit3();
        EXPECT_EQ(rom->ReadByte(), image[size - 1]);
    }
}

TEST_F(PrimitivesOnSim, EachSpeedDeliversExactlyItsPulseCount)
{
    for (int device = 0; device < kDeviceCount; ++device) {
        for (int speed = 0; speed < kSpeedCount; ++speed) {
            const std::uint32_t pulses = std::uint32_t(g_nPulseCount[speed]);
            SCOPED_TRACE(std::string(kDevices[device].name) + " " +
                         std::string(kSpeeds[speed].name));
            for (std::uint32_t needed : {pulses, pulses + 1}) {
                StartDevice(device, needed);
                rom->m_nSpeed = std::int8_t(speed);
                ProgramAt(0x1234, 0x00);
                EXPECT_EQ(sim->PulseCount(), pulses);
                EXPECT_EQ(sim->ChipByte(0x1234), needed == pulses ? 0x00 : 0xFF);
            }
        }
    }
}

TEST_F(PrimitivesOnSim, SixteenPulseChipsTakeNormalButNotHighOrExpress)
{
    for (int device : {0, 2, 4}) {  // the three pulse shapes
        SCOPED_TRACE(std::string(kDevices[device].name));
        StartDevice(device, 16);
        for (int speed = 0; speed < kSpeedCount; ++speed) {
            rom->m_nSpeed = std::int8_t(speed);
            ProgramAt(std::uint32_t(speed), 0x5A);
        }
        EXPECT_EQ(ReadAt(0), 0x5A);  // Normal, 20 pulses
        EXPECT_EQ(ReadAt(1), 0xFF);  // High, 15
        EXPECT_EQ(ReadAt(2), 0xFF);  // Express, 5
        // Programming the same address again starts counting afresh.
        rom->m_nSpeed = 1;
        ProgramAt(1, 0x00);
        EXPECT_EQ(ReadAt(1), 0xFF);
    }
}

TEST_F(PrimitivesOnSim, ModuleCheckSeesPresenceAndAbsence)
{
    Start(0x8000, 1, false);
    EXPECT_FALSE(rom->ModulePresent());
    rom->InitModule();
    EXPECT_EQ(ui->Take(),
              Messages{"Programming Module not found ! Please check connection of power Adapter."});
    EXPECT_EQ(ReadAt(0), 0x00);  // status 0x7F: bit 6 high on every sample

    Start(0x8000);
    EXPECT_TRUE(rom->ModulePresent());
    rom->InitModule();
    EXPECT_TRUE(ui->Take().empty());
}

}  // namespace
}  // namespace vexo::test
