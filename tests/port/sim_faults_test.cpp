// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated module's fault keys: how they are written, and what each
// does to reads and programming.
#include <gtest/gtest.h>

#include "port/port_open.h"
#include "port/sim_module.h"
#include "rom/rom.h"
#include "support/ui_recorder.h"

namespace vexo {
namespace {

TEST(SimFaultKeys, ParsedAndRefused)
{
    for (const char* text : {"sim:data-stuck=0:0", "sim:data-stuck=7:1", "sim:addr-open=0",
                             "sim:addr-open=23", "sim:weak=0", "sim:weak=100,seed=0x10",
                             "sim:size=27C040,pulses=20,weak=5,seed=3,data-stuck=3:1,addr-open=14"}) {
        const Status parsed = ParsePortDescription(text);
        const std::string reason = parsed.message();
        EXPECT_TRUE(parsed.ok()) << text << ": " << reason;
    }
    const std::pair<const char*, const char*> refused[] = {
        {"sim:data-stuck=8:1", "data-stuck=8:1 is not understood"},
        {"sim:data-stuck=3", "give data-stuck=BIT:LEVEL"},
        {"sim:data-stuck=3:2", "LEVEL 0 or 1"},
        {"sim:data-stuck=:1", "data-stuck=:1"},
        {"sim:addr-open=24", "addr-open=24"},
        {"sim:addr-open=", "addr-open="},
        {"sim:weak=101", "weak=101"},
        {"sim:weak=5%", "weak=5%"},
        {"sim:seed=-1", "seed=-1"},
        {"sim:weak=1,weak=2", "weak= is given twice"},
        {"sim:stuck=1", "the keys are chip, size, module, pulses, data-stuck, addr-open, weak, seed"},
    };
    for (const auto& [text, expected] : refused) {
        const Status parsed = ParsePortDescription(text);
        const std::string reason = parsed.message();
        EXPECT_FALSE(parsed.ok()) << text;
        EXPECT_NE(reason.find(expected), std::string::npos) << text << " -> " << reason;
    }

    const OpenedPort opened = OpenPort("sim:size=27C256,data-stuck=3:1,addr-open=14,weak=5,seed=9");
    ASSERT_TRUE(opened.status.message().empty()) << opened.status.message();
    EXPECT_EQ(opened.description,
              "simulated module, chip in memory (32768 bytes), data line D3 stuck at 1, address "
              "line A14 open, 5% weak bytes (seed 9)");
    const auto* sim = dynamic_cast<const SimModule*>(opened.port.get());
    ASSERT_NE(sim, nullptr);
    EXPECT_EQ(sim->Faults().addressOpenBit, 14);
}

class SimFaultsOnRom : public ::testing::Test {
protected:
    void Start(const SimFaults& faults, std::uint32_t pulses = 1)
    {
        ResetShadows();
        sim = std::make_unique<SimModule>(0x8000u, pulses);
        sim->SetFaults(faults);
        rom = std::make_unique<CRom>(*sim, ui);
    }
    void ProgramAt(std::uint32_t address, std::uint8_t value)
    {
        rom->ProgramSetup();
        rom->ShiftAddress(address);
        rom->ProgramByte(value);
    }
    std::uint8_t ReadAt(std::uint32_t address)
    {
        rom->ResetLines();
        rom->ShiftAddress(address);
        rom->SetControlBit3();
        return rom->ReadByte();
    }

    test::UiRecorder ui;
    std::unique_ptr<SimModule> sim;
    std::unique_ptr<CRom> rom;
};

TEST_F(SimFaultsOnRom, StuckDataLineForReadsAndProgramming)
{
    SimFaults high;
    high.dataStuckBit = 3;
    high.dataStuckLevel = true;
    Start(high);
    ProgramAt(0x10, 0x00);
    EXPECT_EQ(sim->ChipByte(0x10), 0x08);  // the line never carried a 0
    sim->SetChipByte(0x20, 0x00);
    EXPECT_EQ(ReadAt(0x20), 0x08);

    SimFaults low;
    low.dataStuckBit = 0;
    Start(low);
    ProgramAt(0x10, 0xFF);
    EXPECT_EQ(sim->ChipByte(0x10), 0xFE);  // programmed by a line that reads 0
    EXPECT_EQ(ReadAt(0x30), 0xFE);
}

TEST_F(SimFaultsOnRom, OpenAddressLineReadsAndProgramsAsZero)
{
    SimFaults open;
    open.addressOpenBit = 14;
    Start(open);
    ProgramAt(0x4123, 0x5A);
    EXPECT_EQ(sim->ChipByte(0x0123), 0x5A);
    EXPECT_EQ(sim->ChipByte(0x4123), 0xFF);
    EXPECT_EQ(ReadAt(0x4123), 0x5A);
    sim->SetChipByte(0x0200, 0x33);
    EXPECT_EQ(ReadAt(0x4200), 0x33);
}

TEST_F(SimFaultsOnRom, WeakBytesNeedTwiceThePulsesOverTheRun)
{
    SimFaults weak;
    weak.weakPercent = 5;
    weak.seed = 1;
    Start(weak, 20);
    std::uint32_t weakOne = 0, strongOne = 0, count = 0;
    for (std::uint32_t a = 0; a < 0x8000; ++a) {
        if (sim->IsWeak(a)) {
            ++count;
            weakOne = a;
        } else {
            strongOne = a;
        }
    }
    EXPECT_NEAR(double(count) / 0x8000, 0.05, 0.01);
    rom->m_nSpeed = 0;  // Normal: 20 pulses
    ProgramAt(strongOne, 0x00);
    ProgramAt(weakOne, 0x00);
    EXPECT_EQ(sim->ChipByte(strongOne), 0x00);
    EXPECT_EQ(sim->ChipByte(weakOne), 0xFF);
    ProgramAt(weakOne, 0x00);  // a second train, after a new address: they add up
    EXPECT_EQ(sim->ChipByte(weakOne), 0x00);

    // The same seed picks the same bytes; UV light makes them forget.
    SimModule other(0x8000u, 20);
    other.SetFaults(weak);
    EXPECT_TRUE(other.IsWeak(weakOne));
    sim->Erase();
    ProgramAt(weakOne, 0x00);
    EXPECT_EQ(sim->ChipByte(weakOne), 0xFF);
}

}  // namespace
}  // namespace vexo
