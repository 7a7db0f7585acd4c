// SPDX-License-Identifier: GPL-3.0-or-later
// The five commands as the operator runs them: messages in order, the error
// flag afterwards, and what reached the chip.
#include <gtest/gtest.h>

#include "support/sim_fixture.h"

namespace vexo::test {
namespace {

using Commands = RomOnSim;

TEST_F(Commands, AutoWriteOnABlankChip)
{
    Select(4);
    const auto image = RandomBytes(0x80000);
    LoadImage(image);
    EXPECT_TRUE(rom->AutoWrite());
    EXPECT_EQ(ui->Take(), (Messages{"Blank check !! Please wait...", "Done !",
                                    "Programming now!!  please wait... ", "Done",
                                    "Verify now !!   please wait...", "Done!"}));
    EXPECT_TRUE(ChipEquals(image));
    EXPECT_EQ(rom->m_bError, 0);
    EXPECT_EQ(ui->hexCount, "Hex Count: 0x80000");
}

TEST_F(Commands, AutoWriteRefusals)
{
    // A programmed byte anywhere stops it after the blank check.
    sim->SetChipByte(0x100, 0x00);
    LoadImage(RandomBytes(0x8000));
    EXPECT_FALSE(rom->AutoWrite());
    EXPECT_EQ(ui->Take(), (Messages{"Blank check !! Please wait...", "Error Occured",
                                    "Blank check failure !!!"}));
    EXPECT_EQ(rom->m_bError, 0);
    EXPECT_EQ(sim->ChipByte(0), 0xFF);

    // No image: the whole blank check runs first.
    sim->Erase();
    rom->ClearBuffer();
    EXPECT_FALSE(rom->AutoWrite());
    EXPECT_EQ(ui->Take(), (Messages{"Blank check !! Please wait...", "Done !",
                                    "Sorry! load file to buffer..first!!"}));
    EXPECT_EQ(rom->m_nHexCount, 0x8000);
    EXPECT_EQ(sim->ChipByte(0), 0xFF);
}

TEST_F(Commands, AutoWriteReportsAVerifyMismatch)
{
    Start(0x8000, /*pulses=*/21);  // more pulses than Normal gives: nothing sticks
    LoadImage(RandomBytes(0x8000));
    EXPECT_FALSE(rom->AutoWrite());
    EXPECT_EQ(ui->Take(), (Messages{"Blank check !! Please wait...", "Done !",
                                    "Programming now!!  please wait... ", "Done",
                                    "Verify now !!   please wait...",
                                    "Writing verify failure !!!"}));
    EXPECT_EQ(rom->m_bError, 0);
}

TEST_F(Commands, BlankCheck)
{
    Select(0);
    rom->m_bError = 1;  // the pass sets the flag but never clears it
    rom->RunBlankCheck();
    EXPECT_EQ(rom->m_bError, 1);
    EXPECT_EQ(rom->m_nHexCount, 0x8000);
    EXPECT_EQ(ui->hexCount, "Hex Count: 0x8000");
    EXPECT_TRUE(ui->Take().empty());

    rom->m_bError = 0;
    EXPECT_TRUE(rom->BlankCheck());
    EXPECT_EQ(ui->Take(), Messages{"EPROM Checking OK !!!"});

    sim->SetChipByte(0x100, 0x00);
    EXPECT_FALSE(rom->BlankCheck());
    EXPECT_EQ(ui->Take(), (Messages{"Error Occured", "Blank Check Failure !!"}));
    EXPECT_EQ(rom->m_bError, 0);
    EXPECT_EQ(rom->m_nHexCount, 0x101);      // the failing byte is counted ...
    EXPECT_EQ(ui->hexCount, "Hex Count: 0x100");  // ... but not published
}

TEST_F(Commands, BlankCheckFailingAtAddressZeroLeavesThePaneAlone)
{
    sim->SetChipByte(0, 0x00);
    ui->hexCount = "Hex Count: 0x42";
    ui->hexCountUpdates = 0;
    rom->RunBlankCheck();
    EXPECT_EQ(ui->Take(), Messages{"Error Occured"});
    EXPECT_EQ(rom->m_bError, 1);
    EXPECT_EQ(rom->m_nHexCount, 1);
    EXPECT_EQ(ui->hexCountUpdates, 0);
    EXPECT_EQ(ui->hexCount, "Hex Count: 0x42");
}

TEST_F(Commands, WriteRom)
{
    EXPECT_FALSE(rom->WriteRom());
    EXPECT_EQ(ui->Take(), Messages{"Sorry! Check file to buffer !!"});

    const auto image = RandomBytes(0x8000, 7);
    LoadImage(image);
    sim->SetChipByte(0, 0x00);
    EXPECT_FALSE(rom->WriteRom());
    EXPECT_EQ(ui->Take(), (Messages{"*** Start Writing ***", "Failed"}));
    EXPECT_EQ(rom->m_bError, 0);
    EXPECT_EQ(sim->ChipByte(1), 0xFF);  // nothing programmed

    sim->Erase();
    EXPECT_TRUE(rom->WriteRom());
    EXPECT_EQ(ui->Take(), (Messages{"*** Start Writing ***", "Done! -> Verify next!",
                                    "*** Writing OK ***"}));
    EXPECT_TRUE(ChipEquals(image));
}

TEST_F(Commands, WriteRomReportsAVerifyMismatchAndClearsTheFlag)
{
    Start(0x8000, /*pulses=*/21);
    LoadImage(RandomBytes(0x8000));
    EXPECT_FALSE(rom->WriteRom());
    EXPECT_EQ(ui->Take(), (Messages{"*** Start Writing ***", "Done! -> Verify next!",
                                    "Writing verify failure !!!"}));
    EXPECT_EQ(rom->m_bError, 0);
    // So the next blank check of a blank chip is not failed by a stale flag.
    sim->Erase();
    EXPECT_TRUE(rom->BlankCheck());
}

TEST_F(Commands, Verify)
{
    EXPECT_FALSE(rom->VerifyRom());
    EXPECT_EQ(ui->Take(), (Messages{"*** Start Verify ***", "Sorry! file load to buffer. first!!"}));

    const auto image = RandomBytes(0x8000, 3);
    LoadImage(image);
    for (std::uint32_t i = 0; i < image.size(); ++i) sim->SetChipByte(i, image[i]);
    rom->m_bError = 1;  // cleared before the pass
    EXPECT_TRUE(rom->VerifyRom());
    EXPECT_EQ(ui->Take(), (Messages{"*** Start Verify ***", "*** Verify OK ***"}));

    sim->SetChipByte(5, std::uint8_t(~image[5]));
    EXPECT_FALSE(rom->VerifyRom());
    EXPECT_EQ(ui->Take(), (Messages{"*** Start Verify ***", "verify failure !!!"}));
    EXPECT_EQ(rom->m_bError, 0);
    EXPECT_EQ(rom->m_nHexCount, 5);
    EXPECT_EQ(ui->hexCount, "Hex Count: 0x5");
}

TEST_F(Commands, VerifyStopsAtTheFirstMismatchAcrossBanks)
{
    Select(2);
    LoadImage(std::vector<std::uint8_t>(0x20000, 0xFF));
    sim->SetChipByte(0x10000, 0x00);
    rom->VerifyAll();
    EXPECT_EQ(rom->m_bError, 1);
    EXPECT_EQ(rom->m_nHexCount, 0x10000);
    EXPECT_TRUE(ui->Take().empty());
}

TEST_F(Commands, ReadRomReadsEveryTimeAndChecksTheModuleFirst)
{
    Select(1);
    const auto chip = RandomBytes(0x10000, 9);
    for (std::uint32_t i = 0; i < chip.size(); ++i) sim->SetChipByte(i, chip[i]);
    for (int round = 0; round < 2; ++round) {
        EXPECT_TRUE(rom->ReadRom());
        EXPECT_EQ(ui->Take(), (Messages{"*** Start Reading ***", "Reading OK"}));
        EXPECT_TRUE(std::equal(chip.begin(), chip.end(), rom->m_Buffer.get()));
        EXPECT_EQ(rom->m_nLength, 0x7FFF);
        EXPECT_TRUE(rom->ImageLoaded());
    }
    // A read image may be written back.
    sim->Erase();
    EXPECT_TRUE(rom->WriteRom());
    ui->Take();

    Start(0x80000, 1, /*present=*/false);
    rom->m_Buffer[0] = 0x12;
    EXPECT_FALSE(rom->ReadRom());
    EXPECT_EQ(ui->Take(), (Messages{"*** Start Reading ***", "ROM not found"}));
    EXPECT_EQ(rom->m_Buffer[0], 0x12);  // a refused read leaves the buffer alone
}

TEST_F(Commands, ReadKeepsBytesBeyondTheDeviceAndReportsTheFirstErasedByte)
{
    Select(4);
    for (std::uint32_t i = 0; i < 0x80000; ++i) sim->SetChipByte(i, 0x11);
    rom->ReadRom();
    Select(1);
    for (std::uint32_t i = 0; i < 0x10000; ++i) sim->SetChipByte(i, 0x22);
    sim->SetChipByte(0x1234, 0xFF);
    sim->SetChipByte(0x2000, 0xFF);
    rom->ReadRom();
    EXPECT_EQ(rom->m_Buffer[0xFFFF], 0x22);
    EXPECT_EQ(rom->m_Buffer[0x10000], 0x11);
    EXPECT_EQ(rom->m_Buffer[0x7FFFF], 0x11);
    EXPECT_EQ(ui->panel.m_nEndAddr, 0x1234);
    EXPECT_EQ(ui->panel.m_strEndAddr, "01233");
    EXPECT_EQ(rom->m_bEndFound, 0);

    // No erased byte: the panel is left alone.
    sim->SetChipByte(0x1234, 0);
    sim->SetChipByte(0x2000, 0);
    ui->panel.m_strEndAddr = "untouched";
    rom->ReadRom();
    EXPECT_EQ(ui->panel.m_strEndAddr, "untouched");

    // A blank chip: the address before 0, as a 32-bit value.
    sim->Erase();
    rom->ReadRom();
    EXPECT_EQ(ui->panel.m_strEndAddr, "FFFFFFFF");
}

TEST_F(Commands, ProgramPassWritesEveryAddressFromTheBuffer)
{
    Select(4);
    LoadImage(RandomBytes(0x8000, 5));
    rom->m_Buffer[0x40000] = 0x12;  // beyond the file: whatever the buffer holds
    rom->ProgramAll();
    EXPECT_EQ(rom->m_nHexCount, 0x80000);
    EXPECT_EQ(sim->ChipByte(0x40000), 0x12);
    EXPECT_EQ(sim->ChipByte(0x7FFFF), 0xFF);
}

TEST_F(Commands, PulseCountsAgainstTheThreeSpeeds)
{
    const std::vector<std::uint8_t> image(0x8000, 0x00);
    for (int speed = 0; speed < kSpeedCount; ++speed) {
        Start(0x8000, /*pulses=*/16);
        LoadImage(image);
        rom->m_nSpeed = std::int8_t(speed);
        rom->ProgramAll();
        // Normal gives 20 pulses, High 15, Express 5.
        EXPECT_EQ(sim->ChipByte(0x1234), speed == 0 ? 0x00 : 0xFF) << speed;
    }
}

TEST_F(Commands, PortSelectionMarksTheModuleCheckForReadRom)
{
    rom->RunBlankCheck();
    EXPECT_EQ(g_byControl & 0x04, 0);
    rom->m_bError = 1;
    rom->SelectPort(2);
    rom->m_bError = 0;
    EXPECT_EQ(ui->Take(), Messages{"Module Not found!!"});
    EXPECT_EQ(g_byControl & 0x04, 0x04);
    EXPECT_TRUE(rom->ReadRom());
}

}  // namespace
}  // namespace vexo::test
