// SPDX-License-Identifier: GPL-3.0-or-later
// The device object's diagnosis on the simulated module: the scratch read,
// the failing pass's line, the extra programming rounds, and the simulated
// faults seen through compare.
#include <gtest/gtest.h>

#include "port/recorder.h"
#include "rom/diagnosis.h"
#include "support/sim_fixture.h"

namespace vexo::test {
namespace {

class Diagnose : public RomOnSim {
protected:
    void SetUp() override {}

    void StartFaulty(const SimFaults& faults, std::uint32_t pulses = 1, int device = 0)
    {
        Start(kDevices[device].Size(), pulses);
        Select(device);
        sim->SetFaults(faults);
    }

    CompareReport CompareChip()
    {
        std::vector<std::uint8_t> chip(rom->DeviceSize());
        EXPECT_TRUE(rom->ReadChip(chip, "compare").ok());
        return Compare({rom->m_Buffer.get(), rom->DeviceSize()}, chip);
    }
};

TEST_F(Diagnose, ScratchReadLeavesBufferPanelAndImageAlone)
{
    Start(0x8000);
    const auto image = RandomBytes(0x8000, 11);
    for (std::uint32_t a = 0; a < 0x8000; ++a) sim->SetChipByte(a, image[a]);
    std::vector<std::uint8_t> chip(0x8000);
    ui->panel.m_nEndAddr = 0x1234;
    ASSERT_TRUE(rom->ReadChip(chip, "compare").ok());
    EXPECT_EQ(chip, image);
    EXPECT_EQ(ui->panel.m_nEndAddr, 0x1234);
    EXPECT_EQ(rom->m_Buffer[0], 0xFF);
    EXPECT_FALSE(rom->ImageLoaded());
    EXPECT_EQ(ui->hexCount, "Hex Count: 0x8000");
    EXPECT_TRUE(ui->Take().empty());  // no box

    // The same accesses per byte as the read pass.
    RecordingPort scratch(sim.get()), pass(sim.get());
    ResetShadows();
    CRom a(scratch, *ui);
    scratch.Clear();
    ASSERT_TRUE(a.ReadDevice(chip));
    ResetShadows();
    CRom b(pass, *ui);
    pass.Clear();
    b.ReadAll();
    EXPECT_TRUE(scratch.Log() == pass.Log());

    Start(0x8000, 1, false);  // nothing on the port
    const Status absent = rom->ReadChip(chip, "compare");
    EXPECT_EQ(absent.message(), "compare: no module answers on the port");
}

TEST_F(Diagnose, FailingPassesNameTheFirstBadByte)
{
    Start(0x8000);
    sim->SetChipByte(0x100, 0x7F);
    EXPECT_FALSE(rom->BlankCheck());
    EXPECT_EQ(ui->Take(), (Messages{"Error Occured", "Blank Check Failure !!"}));
    EXPECT_EQ(ui->details, (Messages{"blank check: first programmed byte at 0x00100: chip 7F"}));

    ui->details.clear();
    EXPECT_FALSE(rom->AutoWrite());
    EXPECT_EQ(ui->details, (Messages{"blank check: first programmed byte at 0x00100: chip 7F"}));

    // Write ROM looks at address 0 only.
    sim->Erase();
    sim->SetChipByte(0, 0x3C);
    auto image = RandomBytes(0x8000, 5);
    image[0x1A3] = 0x5A;
    LoadImage(image);
    ui->details.clear();
    EXPECT_FALSE(rom->WriteRom());
    EXPECT_EQ(ui->Take(), (Messages{"*** Start Writing ***", "Failed"}));
    EXPECT_EQ(ui->details, (Messages{"blank check: first programmed byte at 0x00000: chip 3C"}));

    for (std::uint32_t a = 0; a < 0x8000; ++a) sim->SetChipByte(a, image[a]);
    sim->SetChipByte(0x1A3, 0x7B);
    ui->details.clear();
    EXPECT_FALSE(rom->VerifyRom());
    EXPECT_EQ(ui->Take(), (Messages{"*** Start Verify ***", "verify failure !!!"}));
    EXPECT_EQ(ui->details, (Messages{"verify: first difference at 0x001A3: buffer 5A, chip 7B"}));

    // Success leaves no line behind.
    sim->SetChipByte(0x1A3, 0x5A);
    ui->details.clear();
    EXPECT_TRUE(rom->VerifyRom());
    EXPECT_TRUE(ui->details.empty());
    EXPECT_EQ(rom->FailureDetails(), "");
}

TEST_F(Diagnose, WeakBytesFailWithoutRetriesAndHoldWithThem)
{
    SimFaults weak;
    weak.weakPercent = 5;
    weak.seed = 42;
    const auto image = RandomBytes(0x8000, 9);
    std::uint32_t weakToProgram = 0;

    StartFaulty(weak, 20);  // Normal speed gives 20 pulses, weak bytes need 40
    for (std::uint32_t a = 0; a < 0x8000; ++a) weakToProgram += sim->IsWeak(a) && image[a] != 0xFF;
    ASSERT_GT(weakToProgram, 1000u);
    LoadImage(image);
    EXPECT_FALSE(rom->WriteRom());
    EXPECT_EQ(ui->Take().back(), "Writing verify failure !!!");
    ASSERT_EQ(ui->details.size(), 1u);
    EXPECT_EQ(ui->details[0].rfind("verify: first difference at 0x", 0), 0u);
    EXPECT_TRUE(rom->m_retriedPerRound.empty());
    const CompareReport shortChip = CompareChip();
    EXPECT_EQ(shortChip.diffs.size(), weakToProgram);
    EXPECT_EQ(shortChip.needProgramming, weakToProgram);

    StartFaulty(weak, 20);
    LoadImage(image);
    rom->m_retries = 3;
    EXPECT_TRUE(rom->WriteRom());
    EXPECT_EQ(ui->Take(), (Messages{"*** Start Writing ***", "Done! -> Verify next!",
                                    "*** Writing OK ***"}));
    EXPECT_TRUE(ChipEquals(image));
    EXPECT_EQ(rom->m_retriedPerRound, (std::vector<std::uint32_t>{weakToProgram}));

    StartFaulty(weak, 20);
    LoadImage(image);
    rom->m_retries = 1;
    EXPECT_TRUE(rom->AutoWrite());
    EXPECT_TRUE(ChipEquals(image));
    EXPECT_EQ(rom->m_retriedPerRound, (std::vector<std::uint32_t>{weakToProgram}));
}

TEST_F(Diagnose, RetriesNeverTouchBytesThatNeedErasing)
{
    Start(0x8000);
    auto image = RandomBytes(0x8000, 3);
    image[0] = 0xFF;
    image[0x10] = 0x5A;
    sim->SetChipByte(0x10, 0x00);
    LoadImage(image);
    rom->m_retries = 3;
    EXPECT_FALSE(rom->WriteRom());
    EXPECT_TRUE(rom->m_retriedPerRound.empty());
    EXPECT_EQ(ui->details, (Messages{"verify: first difference at 0x00010: buffer 5A, chip 00"}));
}

TEST_F(Diagnose, NoRetriesIsTheModulesOwnTraffic)
{
    const auto image = RandomBytes(0x8000, 4);
    // Each command, and the passes it has always been made of, on fresh chips.
    auto record = [&](auto run) {
        ResetShadows();
        SimModule chip(0x8000);
        RecordingPort port(&chip);
        UiRecorder quiet;
        CRom device(port, quiet);
        device.m_nSpeed = 2;  // Express: the shortest pulse train
        quiet.choices.push_back(dir.Write("image.bin", image));
        EXPECT_TRUE(device.LoadFile());
        port.Clear();
        run(device);
        return port.Log();
    };
    EXPECT_TRUE(record([](CRom& d) { EXPECT_TRUE(d.WriteRom()); }) == record([](CRom& d) {
        d.ResetLines();
        d.ShiftAddress(0);
        d.SetControlBit3();
        d.ReadByte();
        d.ProgramAll();
        d.VerifyAll();
    }));
    EXPECT_TRUE(record([](CRom& d) { EXPECT_TRUE(d.AutoWrite()); }) == record([](CRom& d) {
        d.RunBlankCheck();
        d.ProgramAll();
        d.ResetLines();
        d.VerifyAll();
    }));
}

TEST_F(Diagnose, SimulatedFaultsAreNamed)
{
    const auto image = RandomBytes(0x8000, 8);
    SimFaults stuck;
    stuck.dataStuckBit = 3;
    stuck.dataStuckLevel = true;
    StartFaulty(stuck);
    LoadImage(image);
    EXPECT_FALSE(rom->WriteRom());
    EXPECT_EQ(CompareChip().findings, (Messages{"finding: data line D3 reads 1 at every address"}));

    SimFaults open;
    open.addressOpenBit = 14;
    StartFaulty(open);
    LoadImage(image);
    EXPECT_FALSE(rom->WriteRom());
    EXPECT_EQ(CompareChip().findings, (Messages{"finding: address line A14 has no effect"}));

    // An erase check of that chip: everything it holds is still programmed.
    std::vector<std::uint8_t> chip(0x8000);
    ASSERT_TRUE(rom->ReadChip(chip, "erase-check").ok());
    const EraseReport erase = EraseCheck(chip);
    EXPECT_FALSE(erase.Erased());
    sim->Erase();
    ASSERT_TRUE(rom->ReadChip(chip, "erase-check").ok());
    EXPECT_TRUE(EraseCheck(chip).Erased());
}

// Every data line stuck at either level on the simulated module, on a chip
// that is blank, one that holds the image and one that reads 00: only the
// stuck line is named, and the chips that read one value get that finding.
TEST_F(Diagnose, EveryStuckDataLineAloneIsNamed)
{
    const auto image = RandomBytes(0x8000, 12);
    const auto fill = [&](const std::vector<std::uint8_t>& bytes) {
        for (std::uint32_t a = 0; a < 0x8000; ++a) sim->SetChipByte(a, bytes[a]);
    };
    for (int bit = 0; bit < 8; ++bit) {
        for (bool level : {false, true}) {
            SCOPED_TRACE("D" + std::to_string(bit) + (level ? " at 1" : " at 0"));
            SimFaults stuck;
            stuck.dataStuckBit = bit;
            stuck.dataStuckLevel = level;
            StartFaulty(stuck);
            LoadImage(image);
            const std::uint8_t mask = std::uint8_t(1u << bit);
            char blank[64], zero[64];
            std::snprintf(blank, sizeof blank, "finding: chip reads %02X at every address%s",
                          level ? 0xFFu : unsigned(0xFF & ~mask), level ? " (blank)" : "");
            std::snprintf(zero, sizeof zero, "finding: chip reads %02X at every address", level ? unsigned(mask) : 0u);
            EXPECT_EQ(CompareChip().findings, (Messages{blank}));
            fill(image);
            EXPECT_EQ(CompareChip().findings,
                      (Messages{"finding: data line D" + std::to_string(bit) + " reads " + (level ? "1" : "0") +
                                " at every address"}));
            fill(std::vector<std::uint8_t>(0x8000, 0x00));
            EXPECT_EQ(CompareChip().findings, (Messages{zero}));
        }
    }
    // The healthy module: nothing on the chip that holds the image.
    StartFaulty(SimFaults{});
    LoadImage(image);
    fill(image);
    EXPECT_TRUE(CompareChip().Matches());
    EXPECT_TRUE(CompareChip().findings.empty());
}

}  // namespace
}  // namespace vexo::test
