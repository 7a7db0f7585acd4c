// SPDX-License-Identifier: GPL-3.0-or-later
// The pulse width and blank-byte skipping settings: what reaches the wire and
// what ends up in the chip.
#include <gtest/gtest.h>

#include "port/recorder.h"
#include "port/sim_module.h"
#include "support/rom_fixture.h"
#include "support/sim_fixture.h"

namespace vexo::test {
namespace {

// The whole traffic of programming a short image on `device`.
std::vector<PortAccess> ProgramTrace(int device, std::uint32_t pulseMicros)
{
    ResetShadows();
    SimModule sim(kDevices[device].Size());
    RecordingPort port(&sim);
    UiRecorder ui;
    CRom rom(port, ui);
    rom.m_nDevice = std::int8_t(device);
    rom.m_nSpeed = 2;
    EXPECT_TRUE(rom.SetPulseMicros(pulseMicros).ok());
    for (std::uint32_t address = 0; address < 16; ++address) {
        rom.ProgramSetup();
        rom.ShiftAddress(address);
        rom.ProgramByte(std::uint8_t(address * 17));
    }
    return port.Log();
}

TEST(PulseWidth, WireSequenceIsTheSameAtAnyWidth)
{
    for (int device : {0, 2, 4}) {
        const auto plain = ProgramTrace(device, 0);
        EXPECT_EQ(ProgramTrace(device, 1), plain) << device;
        EXPECT_EQ(ProgramTrace(device, 20), plain) << device;
    }
}

TEST(PulseWidth, RangeIsZeroToTenMilliseconds)
{
    ResetShadows();
    RecordingPort port;
    UiRecorder ui;
    CRom rom(port, ui);
    EXPECT_EQ(rom.PulseMicros(), 0u);
    EXPECT_TRUE(rom.SetPulseMicros(10000).ok());
    EXPECT_EQ(rom.PulseMicros(), 10000u);
    const Status refused = rom.SetPulseMicros(10001);
    EXPECT_FALSE(refused.ok());
    EXPECT_NE(refused.message().find("give 0 to 10000"), std::string::npos) << refused.message();
    EXPECT_EQ(rom.PulseMicros(), 10000u);  // a refused value leaves the setting
}

// A 27C256 image with every other 256-byte run blank and scattered 0xFF
// bytes elsewhere.
std::vector<std::uint8_t> PatchyImage()
{
    std::vector<std::uint8_t> image = RandomBytes(0x8000, 7);
    for (std::size_t i = 0; i < image.size(); ++i)
        if ((i / 256) % 2 == 1) image[i] = 0xFF;
    return image;
}

// The value of every programmed byte: it goes onto the data lines right
// after control bit 1 rises from the program setup (control 0x06).
std::vector<std::uint8_t> ProgrammedValues(const std::vector<PortAccess>& log)
{
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i + 1 < log.size(); ++i)
        if (log[i].op == 'W' && log[i].address == kControlPort && log[i].value == 0x06 &&
            log[i + 1].op == 'W' && log[i + 1].address == kDataPort)
            out.push_back(log[i + 1].value);
    return out;
}

class SkipBlank : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetShadows();
        rom = std::make_unique<CRom>(port, ui);
        rom->m_nDevice = 0;
        rom->m_nSpeed = 2;
        image = PatchyImage();
        // Read the image in from a chip that holds it: the buffer counts as loaded.
        for (std::size_t i = 0; i < image.size(); ++i) sim.SetChipByte(std::uint32_t(i), image[i]);
        rom->ReadAll();
        sim.Erase();
        ui.Take();
    }

    SimModule sim{0x8000};
    RecordingPort port{&sim};
    UiRecorder ui;
    std::unique_ptr<CRom> rom;
    std::vector<std::uint8_t> image;
};

TEST_F(SkipBlank, ChipEqualsImageAndBlankBytesGetNoPulses)
{
    rom->SetSkipBlank(true);
    port.Clear();
    ASSERT_TRUE(rom->AutoWrite()) << ::testing::PrintToString(ui.messages);
    for (std::size_t i = 0; i < image.size(); ++i) ASSERT_EQ(sim.ChipByte(std::uint32_t(i)), image[i]) << i;
    // The count still reaches every byte.
    EXPECT_EQ(rom->m_nHexCount, 0x8000);

    // Every programmed byte puts its value on the data lines right after
    // control bit 1 goes up (0x06); no 0xFF follows one.
    const std::vector<std::uint8_t> values = ProgrammedValues(port.Log());
    const std::size_t programmed = values.size();
    for (std::uint8_t v : values) ASSERT_NE(v, 0xFF);
    std::size_t notBlank = 0;
    for (std::uint8_t b : image) notBlank += b != 0xFF;
    EXPECT_EQ(programmed, notBlank);
}

TEST_F(SkipBlank, OffProgramsEveryByteAsBefore)
{
    port.Clear();
    rom->ProgramAll();
    EXPECT_EQ(ProgrammedValues(port.Log()).size(), 0x8000u);
}

TEST_F(SkipBlank, VerifyStillChecksBlankBytes)
{
    // A programmed cell where the image is blank is found by the verify.
    rom->SetSkipBlank(true);
    sim.SetChipByte(0x100, 0x00);
    ASSERT_EQ(image[0x100], 0xFF);
    EXPECT_FALSE(rom->WriteRom());
    EXPECT_EQ(ui.messages.back(), "Writing verify failure !!!");
}

}  // namespace
}  // namespace vexo::test
