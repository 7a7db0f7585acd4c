// SPDX-License-Identifier: GPL-3.0-or-later
// Exact register traffic of the line operations, the module check and the
// serial primitives.
#include <gtest/gtest.h>

#include "support/rom_fixture.h"

namespace vexo::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(ModuleCheck, FirstConstructionWritesControlThenDataThenReadsStatus)
{
    for (std::uint8_t status : {0x00, 0x7F, 0x80, 0xFF}) {
        ResetShadows();
        RecordingPort port(nullptr, status);
        UiRecorder ui;
        CRom rom(port, ui);
        const std::vector<PortAccess> expected{
            {'W', kControlPort, 0x04}, {'W', kDataPort, 0x00}, {'R', kStatusPort, status}};
        EXPECT_EQ(port.Log(), expected);
        const bool present = status & 0x80;
        EXPECT_EQ(ui.messages.size(), present ? 0u : 1u) << int(status);
        if (!present) {
            EXPECT_EQ(ui.messages[0],
                      "Programming Module not found ! Please check connection of power Adapter.");
        }
        EXPECT_EQ(g_byStatus, status);
    }
}

TEST(ModuleCheck, FreshObjectState)
{
    ResetShadows();
    RecordingPort port;
    UiRecorder ui;
    CRom rom(port, ui);
    EXPECT_EQ(rom.m_nLength, 0x7FFF);
    EXPECT_EQ(rom.m_nDevice, 0);
    EXPECT_EQ(rom.m_nSpeed, 0);
    EXPECT_EQ(rom.m_nPort, 0);
    EXPECT_EQ(rom.m_bError, 0);
    EXPECT_EQ(rom.m_nHexCount, 0);
    EXPECT_EQ(rom.DeviceSize(), 0x8000u);
    EXPECT_EQ(g_nPulseCount[rom.m_nSpeed], 20);
    for (std::uint32_t i = 0; i < kBufferSize; i += 4093) ASSERT_EQ(rom.m_Buffer[i], 0xFF) << i;
    EXPECT_FALSE(rom.ImageLoaded());
}

using Lines = RomOnRecorder;

TEST_F(Lines, ResetLinesWritesFourControlBytesEvenWhenNothingChanges)
{
    g_byControl = 0x04;
    rom->ResetLines();
    EXPECT_EQ(port.Writes(kControlPort), (Bytes{0x05, 0x01, 0x09, 0x09}));
    port.Clear();
    g_byControl = 0x00;
    rom->ResetLines();
    EXPECT_EQ(port.Writes(kControlPort), (Bytes{0x01, 0x01, 0x09, 0x09}));
    EXPECT_EQ(port.Writes(kDataPort), Bytes{});
    port.Clear();
    g_byControl = 0x10;  // bit 4 is left as it was
    rom->ResetLines();
    EXPECT_EQ(port.Writes(kControlPort).back(), 0x19);
}

TEST_F(Lines, EveryOperationWritesTheWholeShadowOnce)
{
    g_byControl = 0;
    g_byData = 0;
    rom->SetControlBit3();
    rom->SetControlBit3();
    rom->SetControlBit4();
    rom->ClearControlBit3();
    rom->SetControlBit0();
    rom->ClearControlBit0();
    rom->SetControlBit1();
    rom->ClearControlBit1();
    rom->SetControlBit2();
    rom->ClearControlBit2();
    rom->ClearControlBit4();
    rom->SetDataBit1();
    rom->ClearDataBit1();
    EXPECT_EQ(port.Writes(kControlPort),
              (Bytes{0x08, 0x08, 0x18, 0x10, 0x11, 0x10, 0x12, 0x10, 0x14, 0x10, 0x00}));
    EXPECT_EQ(port.Writes(kDataPort), (Bytes{0x02, 0x00}));
    EXPECT_EQ(port.CountReads(), 0u);
}

TEST_F(Lines, PortSelectionFollowsTheErrorFlagNotTheModule)
{
    // LPT1 with no module and the flag clear: refused answer, but stored.
    port.SetIdleStatus(0x7F);
    rom->m_nPort = 2;
    EXPECT_FALSE(rom->SelectPort(1));
    EXPECT_EQ(ui.Take(), (std::vector<std::string>{"Module Not found!!"}));
    EXPECT_EQ(rom->m_nPort, 0);

    // With the flag set a present module is still "not found" and nothing is stored.
    port.SetIdleStatus(0x80);
    rom->m_bError = 1;
    rom->m_nPort = 0;
    EXPECT_FALSE(rom->SelectPort(2));
    EXPECT_EQ(ui.Take(), (std::vector<std::string>{"Module Not found!!"}));
    EXPECT_EQ(rom->m_nPort, 0);

    // Any status with bit 7 set counts as present.
    rom->m_bError = 0;
    port.SetIdleStatus(0x80 | 0x3F);
    EXPECT_TRUE(rom->SelectPort(1));
    EXPECT_EQ(ui.Take(), (std::vector<std::string>{"Module found!!"}));
    EXPECT_EQ(g_byControl & 0x04, 0x04);
}

TEST_F(Lines, ShiftAddressSendsTwentyFourBitsMostSignificantFirst)
{
    g_byData = 0x00;
    rom->ShiftAddress(1);
    Bytes expected;
    for (int i = 0; i < 23; ++i) expected.insert(expected.end(), {0x00, 0x00, 0x01});
    expected.insert(expected.end(), {0x00, 0x02, 0x03});
    EXPECT_EQ(port.Writes(kDataPort), expected);
    EXPECT_EQ(g_byData, 0x02);
    EXPECT_EQ(port.Log().size(), 72u);

    // Only the low 24 bits travel.
    port.Clear();
    rom->ShiftAddress(0xAB000001);
    const Bytes high = port.Writes(kDataPort);
    port.Clear();
    rom->ShiftAddress(0x000001);
    EXPECT_EQ(high, port.Writes(kDataPort));
}

TEST_F(Lines, ShiftAddressPutsEachBitOnLineOneBeforeTheClockRises)
{
    g_byData = 0x00;
    const std::uint32_t address = 0x5A3C81;
    rom->ShiftAddress(address);
    const Bytes writes = port.Writes(kDataPort);
    for (int bit = 0; bit < 24; ++bit) {
        const int sent = (address >> (23 - bit)) & 1;
        EXPECT_EQ(writes[bit * 3 + 1] & 0x01, 0);
        EXPECT_EQ(writes[bit * 3 + 2], (sent << 1) | 0x01) << bit;
    }
}

TEST_F(Lines, ReadByteSequenceAndSampling)
{
    g_byData = 0x00;
    port.SetIdleStatus(0x80);
    EXPECT_EQ(rom->ReadByte(), 0xFF);
    Bytes expected{0x02, 0x06, 0x02, 0x00};
    for (int i = 0; i < 7; ++i) expected.insert(expected.end(), {0x04, 0x00});
    EXPECT_EQ(port.Writes(kDataPort), expected);
    EXPECT_EQ(port.CountReads(), 8u);
    // A read after the writes of each sample: W W (W) R.
    const auto& log = port.Log();
    EXPECT_EQ(log[3].op, 'R');
    EXPECT_EQ(log.back().op, 'R');

    port.SetIdleStatus(0xC0);
    EXPECT_EQ(rom->ReadByte(), 0x00);

    // Bit 6 set on the first and the last sample only.
    for (std::uint8_t s : {0xC0, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0xC0}) port.QueueStatus(s);
    EXPECT_EQ(rom->ReadByte(), 0x7E);
    // The result depends on the samples only, never on the previous byte.
    g_byReadByte = 0xA5;
    port.SetIdleStatus(0x80);
    EXPECT_EQ(rom->ReadByte(), 0xFF);
}

TEST_F(Lines, FirstBlankCheckByteAfterStartUp)
{
    ASSERT_EQ(g_byControl, 0x04);
    ASSERT_EQ(g_byData, 0x00);
    rom->ResetLines();
    rom->ShiftAddress(0);
    rom->SetControlBit3();
    rom->ReadByte();
    EXPECT_EQ(port.Writes(kControlPort), (Bytes{0x05, 0x01, 0x09, 0x09, 0x09}));
    Bytes data;
    for (int i = 0; i < 24; ++i) data.insert(data.end(), {0x00, 0x00, 0x01});
    data.insert(data.end(), {0x02, 0x06, 0x02, 0x00});
    for (int i = 0; i < 7; ++i) data.insert(data.end(), {0x04, 0x00});
    EXPECT_EQ(port.Writes(kDataPort), data);
}

struct ProgramCase {
    int device;
    Bytes setup;
    Bytes pulse;
};

TEST_F(Lines, ProgrammingOneBytePerDevice)
{
    const ProgramCase cases[] = {
        {0, {0x08, 0x0C, 0x04, 0x04}, {0x0E, 0x0E, 0x06}},
        {1, {0x08, 0x0C, 0x04, 0x04}, {0x0E, 0x0E, 0x06}},
        {2, {0x08, 0x0C, 0x04, 0x04, 0x04}, {0x0E, 0x0E, 0x1E, 0x1E, 0x0E, 0x06}},
        {3, {0x08, 0x0C, 0x04, 0x04, 0x04}, {0x0E, 0x0E, 0x1E, 0x1E, 0x0E, 0x06}},
        {4, {0x08, 0x0C, 0x04, 0x04, 0x04}, {0x0E, 0x0E, 0x1E, 0x1E, 0x16, 0x16, 0x06}},
    };
    const int writesPerByte[5][3] = {
        {138, 123, 93}, {138, 123, 93}, {199, 169, 109}, {199, 169, 109}, {219, 184, 114}};
    for (const auto& c : cases) {
        for (int speed = 0; speed < kSpeedCount; ++speed) {
            rom->m_nDevice = std::int8_t(c.device);
            rom->m_nSpeed = std::int8_t(speed);
            g_byControl = 0x09;
            g_byData = 0x00;
            port.Clear();
            rom->ProgramSetup();
            rom->ShiftAddress(0x1234);
            rom->ProgramByte(0x5A);

            Bytes control = c.setup;
            control.push_back(0x06);
            for (int p = 0; p < g_nPulseCount[speed]; ++p)
                control.insert(control.end(), c.pulse.begin(), c.pulse.end());
            EXPECT_EQ(port.Writes(kControlPort), control) << c.device << "/" << speed;
            EXPECT_EQ(port.Writes(kDataPort).back(), 0x5A);
            EXPECT_EQ(int(port.CountWrites()), writesPerByte[c.device][speed]);
            EXPECT_EQ(port.CountReads(), 0u);
            // The shadow still holds the clock state; the next data write restores it.
            EXPECT_EQ(g_byData, 0x00);
        }
    }
}

TEST_F(Lines, VerifyReadSetupPerDevice)
{
    // Visible through a one-byte verify: the writes between the address and the read.
    const Bytes expected[5] = {{0x01}, {0x09}, {0x09, 0x09, 0x09}, {0x09, 0x09, 0x09}, {0x09, 0x01}};
    for (int device = 0; device < kDeviceCount; ++device) {
        rom->m_nDevice = std::int8_t(device);
        rom->m_Buffer[0] = 0x00;  // mismatch at address 0 ends the pass after one byte
        g_byControl = 0x04;
        port.Clear();
        rom->VerifyAll();
        Bytes control = port.Writes(kControlPort);
        control.erase(control.begin(), control.begin() + 4);  // the line reset
        EXPECT_EQ(control, expected[device]) << device;
        EXPECT_EQ(rom->m_bError, 1);
        rom->m_bError = 0;
    }
}

}  // namespace
}  // namespace vexo::test
