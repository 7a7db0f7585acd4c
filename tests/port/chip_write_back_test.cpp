// SPDX-License-Identifier: GPL-3.0-or-later
// The chip file's write-back: programmed bytes reach the file in large runs
// and at the end of every pass, reads cost no write, and a stop request
// loses none of what the module programmed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <memory>

#include "base/stop_request.h"
#include "commands/production.h"
#include "port/sim_module.h"
#include "support/sim_fixture.h"

namespace vexo::test {
namespace {

class ChipWriteBack : public ::testing::Test {
protected:
    void Open(std::uint32_t size)
    {
        ResetShadows();
        SimConfig config;
        config.chipPath = dir.File("chip.bin");
        Result<std::unique_ptr<SimModule>> opened = SimModule::Open(config, size);
        ASSERT_TRUE(opened) << opened.message();
        sim = std::move(*opened);
        rom = std::make_unique<CRom>(*sim, ui, ui.panel);
        ui.Take();
    }
    void TearDown() override { ClearStopRequest(); }

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
    std::vector<std::uint8_t> File() const { return ReadFileBytes(dir.File("chip.bin")); }

    TempDir dir;
    UiRecorder ui;
    std::unique_ptr<SimModule> sim;
    std::unique_ptr<CRom> rom;
};

TEST_F(ChipWriteBack, AutoWriteOf27C040WritesTheFileInAFewLargeRunsAndEndsWithItComplete)
{
    Open(0x80000);
    rom->m_nDevice = 4;
    const auto image = RandomBytes(0x80000, 17);
    std::copy(image.begin(), image.end(), rom->m_Buffer.get());
    rom->SetImageLoaded(true);
    ASSERT_TRUE(rom->AutoWrite());
    // 512 KiB in runs of at most 64 KiB; the verify reads add none.
    EXPECT_LE(sim->FileWrites(), 16u);
    EXPECT_GE(sim->FileWrites(), 8u);
    // The pass has ended: the file holds the chip with the module still open.
    EXPECT_EQ(sim->WaitingBytes(), 0u);
    EXPECT_TRUE(File() == image);
}

TEST_F(ChipWriteBack, AReadIsServedFromMemoryAndThePassEndWritesTheBytes)
{
    Open(0x8000);
    for (std::uint32_t a = 0; a < 16; ++a) ProgramAt(a, std::uint8_t(a));
    const std::uint64_t writes = sim->FileWrites();
    for (std::uint32_t a = 0; a < 16; ++a) EXPECT_EQ(ReadAt(a), std::uint8_t(a));
    EXPECT_EQ(sim->FileWrites(), writes);  // no write per read latch
    EXPECT_EQ(sim->WaitingBytes(), 16u);
    EXPECT_EQ(File()[3], 0xFF);
    sim->EndOfPass();
    EXPECT_EQ(sim->FileWrites(), writes + 1);
    const auto file = File();
    for (std::uint32_t a = 0; a < 16; ++a) EXPECT_EQ(file[a], a);
    EXPECT_EQ(file[16], 0xFF);
}

TEST_F(ChipWriteBack, WaitingBytesNeverSpanMoreThan64KiB)
{
    Open(0x80000);
    rom->m_nDevice = 4;
    ProgramAt(0x100, 0x11);
    ProgramAt(0x200, 0x22);  // near: joins the span
    EXPECT_EQ(sim->WaitingBytes(), 0x101u);
    ProgramAt(0x7FF00, 0x33);  // far: the span so far goes to the file first
    EXPECT_EQ(sim->WaitingBytes(), 1u);
    auto file = File();
    EXPECT_EQ(file[0x100], 0x11);
    EXPECT_EQ(file[0x200], 0x22);
    EXPECT_EQ(file[0x7FF00], 0xFF);
    // A span that reaches 64 KiB is written at once.
    ProgramAt(0x6FF01, 0x44);
    EXPECT_EQ(sim->WaitingBytes(), 0u);
    file = File();
    EXPECT_EQ(file[0x6FF01], 0x44);
    EXPECT_EQ(file[0x7FF00], 0x33);
}

// A UI that asks the run to stop when the Hex Count reaches a number, as a
// signal arriving mid-pass would.
class StopAtCount : public UiRecorder {
public:
    void SetHexCountText(std::string_view text) override
    {
        UiRecorder::SetHexCountText(text);
        if (armed && text == stopText) RequestStop(SIGTERM);
    }
    bool armed = false;
    std::string stopText;
};

TEST(StopMidPass, AutoWriteStopsAtAByteBoundaryAndTheFileHoldsEveryProgrammedByte)
{
    TempDir dir;
    ResetShadows();
    SimConfig config;
    config.chipPath = dir.File("chip.bin");
    Result<std::unique_ptr<SimModule>> opened = SimModule::Open(config, 0x80000);
    ASSERT_TRUE(opened) << opened.message();
    std::unique_ptr<SimModule> sim = std::move(*opened);
    StopAtCount ui;
    CRom rom(*sim, ui, ui.panel);
    rom.m_nDevice = 4;
    const auto image = RandomBytes(0x80000, 5);
    std::copy(image.begin(), image.end(), rom.m_Buffer.get());
    rom.SetImageLoaded(true);
    ui.Take();
    // The blank check counts to 0x80000 first; the programming pass's
    // 0x12345th byte is where the stop comes.
    ui.stopText = "Hex Count: 0x12345";
    rom.RunBlankCheck();
    ui.armed = true;
    rom.ProgramAll();
    ASSERT_TRUE(rom.Stopped());
    EXPECT_EQ(rom.WhereStopped()->pass, "Programming");
    EXPECT_EQ(rom.WhereStopped()->address, 0x12345u);
    // Later passes stop before their first byte and change nothing.
    rom.VerifyAll();
    EXPECT_EQ(rom.m_bError, 0);
    EXPECT_EQ(rom.WhereStopped()->pass, "Programming");
    EXPECT_TRUE(ui.messages.empty());
    sim.reset();  // the module closes, as the front end's finish does
    const auto file = ReadFileBytes(dir.File("chip.bin"));
    ASSERT_EQ(file.size(), image.size());
    for (std::uint32_t a = 0; a < 0x12345; ++a)
        ASSERT_EQ(file[a], image[a]) << "byte " << a << " was programmed";
    for (std::uint32_t a = 0x12345; a < 0x80000; ++a) ASSERT_EQ(file[a], 0xFF) << "byte " << a;
    ClearStopRequest();
}

TEST(StopMidPass, TheCommandsEndQuietlyInsteadOfReportingAnOutcome)
{
    ResetShadows();
    SimModule sim(0x8000);
    StopAtCount ui;
    CRom rom(sim, ui, ui.panel);
    const auto image = RandomBytes(0x8000, 9);
    std::copy(image.begin(), image.end(), rom.m_Buffer.get());
    rom.SetImageLoaded(true);
    ui.Take();
    // Stopped during the verify: no "Done!", no verify failure.
    ui.stopText = "Hex Count: 0x100";
    ui.armed = false;
    rom.RunBlankCheck();
    rom.ProgramAll();
    ui.armed = true;
    ui.Take();
    EXPECT_FALSE(rom.VerifyRom());
    EXPECT_EQ(ui.Take(), (std::vector<std::string>{"*** Start Verify ***"}));
    EXPECT_EQ(rom.WhereStopped()->pass, "Verifying");
    EXPECT_EQ(rom.WhereStopped()->address, 0x100u);
    // Every later command stops before its first byte, and says nothing of the chip.
    EXPECT_FALSE(rom.AutoWrite());
    EXPECT_EQ(ui.Take(), (std::vector<std::string>{"Blank check !! Please wait..."}));
    EXPECT_FALSE(rom.BlankCheck());
    EXPECT_TRUE(ui.Take().empty());
    EXPECT_FALSE(rom.ReadRom());
    EXPECT_EQ(ui.Take(), (std::vector<std::string>{"*** Start Reading ***"}));
    EXPECT_FALSE(rom.ImageLoaded());  // a partial read is no image
    EXPECT_EQ(rom.WhereStopped()->pass, "Verifying");  // the first stop is kept
    ClearStopRequest();
}

TEST(StopMidPass, ABatchChipStoppedMidPassFailsWithItsAddressInsteadOfPassing)
{
    ResetShadows();
    SimModule sim(0x8000);
    StopAtCount ui;
    CRom rom(sim, ui, ui.panel);
    const auto image = RandomBytes(0x8000, 11);
    std::copy(image.begin(), image.end(), rom.m_Buffer.get());
    rom.SetImageLoaded(true);
    ProductionSetup setup;
    setup.blankCheck = false;
    ProductionRun run(rom, setup, nullptr);
    ui.stopText = "Hex Count: 0x2000";
    ui.armed = true;
    Result<ChipResult> chip = run.RunChip();
    ASSERT_TRUE(chip.ok()) << chip.message();
    EXPECT_FALSE(chip->passed);
    EXPECT_TRUE(chip->stopped);
    EXPECT_EQ(chip->failedStep, ProductionStep::Program);
    EXPECT_EQ(FormatChipLine(*chip), "chip 1: failed at program, stopped at 0x02000");
    EXPECT_EQ(run.Failed(), 1u);
    EXPECT_EQ(sim.ChipByte(0x1FFF), image[0x1FFF]);
    EXPECT_EQ(sim.ChipByte(0x2000), 0xFF);
    ClearStopRequest();
}

TEST(StopRequest, TheFirstReasonStaysAndTheNotifyPipeWakes)
{
    ClearStopRequest();
    EXPECT_FALSE(StopRequested());
    ASSERT_TRUE(InstallStopHandlers({SIGHUP}).ok());
    const int fd = StopNotifyDescriptor();
    ASSERT_GE(fd, 0);
    std::raise(SIGHUP);
    EXPECT_EQ(StopReason(), SIGHUP);
    RequestStop(kStopOutputClosed);
    EXPECT_EQ(StopReason(), SIGHUP);
    char byte = 0;
    EXPECT_EQ(::read(fd, &byte, 1), 1);
    EXPECT_EQ(StopReasonText(StopReason()), "SIGHUP");
    EXPECT_EQ(StopExitStatus(SIGHUP), 129);
    EXPECT_EQ(StopExitStatus(SIGINT), 130);
    EXPECT_EQ(StopExitStatus(SIGTERM), 143);
    EXPECT_EQ(StopExitStatus(kStopOutputClosed), 1);
    ClearStopRequest();
    EXPECT_FALSE(StopRequested());
    EXPECT_EQ(::read(fd, &byte, 1), -1);  // drained
    RequestStop(kStopOutputClosed);
    EXPECT_EQ(StopReasonText(StopReason()), "standard output closed");
    ClearStopRequest();
    std::signal(SIGHUP, SIG_DFL);
}

}  // namespace
}  // namespace vexo::test
