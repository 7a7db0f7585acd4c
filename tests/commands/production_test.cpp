// SPDX-License-Identifier: GPL-3.0-or-later
// Production runs end to end on the simulator's tray: the chips hold the
// image with their serial numbers, the buffer stays as loaded, a failed chip
// gives its number to the next one, and the log has a record per chip.
#include "commands/production.h"

#include <gtest/gtest.h>

#include "port/port_open.h"
#include "port/sim_module.h"
#include "rom/rom.h"
#include "support/sim_fixture.h"

namespace vexo::test {
namespace {

class ProductionOnTray : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetShadows();
        tray = dir.File("tray");
        opened = OpenPort("sim:tray=" + tray, PortOptions{kDevices[0].Size()});
        ASSERT_TRUE(opened.status.message().empty()) << opened.status.message();
        ASSERT_TRUE(opened.nextChip);
        rom = std::make_unique<CRom>(*opened.port, ui);
        image = RandomBytes(kDevices[0].Size(), 7);
        ui.choices.push_back(dir.Write("fw.bin", image));
        ASSERT_TRUE(rom->LoadFile());
        ui.Take();
    }

    ProductionSetup Setup(const char* serial)
    {
        ProductionSetup setup;
        setup.image = "fw.bin";
        if (serial) setup.serial = *ParseSerialPlan(serial);
        setup.insertChip = opened.nextChip;
        return setup;
    }

    std::string ChipFile(int n) const { return tray + "/chip-" + std::to_string(n) + ".bin"; }

    // The image with `serial` at 0x7FF0 in 4 bytes, little-endian.
    std::vector<std::uint8_t> Expected(std::uint32_t serial) const
    {
        auto bytes = image;
        for (int i = 0; i < 4; ++i) bytes[0x7FF0 + i] = std::uint8_t(serial >> (8 * i));
        return bytes;
    }

    TempDir dir;
    std::string tray;
    UiRecorder ui;
    OpenedPort opened;
    std::unique_ptr<CRom> rom;
    std::vector<std::uint8_t> image;
};

TEST_F(ProductionOnTray, ThreeChipsGetTheImageWithTheirSerials)
{
    const std::string logPath = dir.File("run.csv");
    auto log = ProductionLog::Open(logPath);
    ASSERT_TRUE(log.ok()) << log.message();
    ProductionRun run(*rom, Setup("0x7FF0:4:1000"), log->get());
    EXPECT_EQ(run.ImageCrc32(), Crc32(image.data(), image.size()));
    for (std::uint32_t n = 0; n < 3; ++n) {
        auto chip = run.RunChip();
        ASSERT_TRUE(chip.ok()) << chip.message();
        EXPECT_TRUE(chip->passed) << FormatChipLine(*chip);
        EXPECT_TRUE(chip->logged.ok()) << chip->logged.message();
        EXPECT_EQ(chip->serial, 1000 + n);
        const auto expected = Expected(1000 + n);
        EXPECT_EQ(chip->programmed.crc32, Crc32(expected.data(), expected.size()));
        const std::string line = FormatChipLine(*chip);
        EXPECT_EQ(line.rfind("chip " + std::to_string(n + 1) + ": passed, serial " +
                                 std::to_string(1000 + n) + ", crc32 0x", 0), 0u) << line;
        EXPECT_EQ(line.substr(line.size() - 2), " s") << line;
    }
    EXPECT_EQ(run.SummaryLine(), "batch: 3 chips, 3 passed, 0 failed");
    EXPECT_TRUE(run.AllPassed());
    for (int n = 1; n <= 3; ++n) EXPECT_EQ(ReadFileBytes(ChipFile(n)), Expected(999 + n)) << n;
    // The buffer is still the image as loaded.
    EXPECT_TRUE(std::equal(image.begin(), image.end(), rom->m_Buffer.get()));
    ASSERT_TRUE((*log)->Close().ok());

    const auto text = ReadFileBytes(logPath);
    const std::string csv(text.begin(), text.end());
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 4) << csv;
    std::size_t passed = 0;
    for (std::size_t at = 0; (at = csv.find(",passed,,,", at)) != std::string::npos; ++at) ++passed;
    EXPECT_EQ(passed, 3u) << csv;
    EXPECT_NE(csv.find(",3,27C256,fw.bin,"), std::string::npos) << csv;
}

TEST_F(ProductionOnTray, AFailedChipGivesItsSerialToTheNext)
{
    // Chip 2 was used before: a programmed byte fails its blank check.
    std::vector<std::uint8_t> used(kDevices[0].Size(), 0xFF);
    used[0x1A3] = 0x7B;
    std::filesystem::create_directories(tray);
    dir.Write("tray/chip-2.bin", used);

    ProductionRun run(*rom, Setup("0x7FF0:4:1000"), nullptr);
    std::vector<std::string> lines;
    for (int n = 0; n < 3; ++n) {
        auto chip = run.RunChip();
        ASSERT_TRUE(chip.ok()) << chip.message();
        lines.push_back(FormatChipLine(*chip));
    }
    EXPECT_EQ(lines[1], "chip 2: failed at blank, not blank at 0x001A3: chip 7B");
    EXPECT_EQ(lines[2].rfind("chip 3: passed, serial 1001, ", 0), 0u) << lines[2];
    EXPECT_EQ(run.SummaryLine(), "batch: 3 chips, 2 passed, 1 failed");
    EXPECT_FALSE(run.AllPassed());
    EXPECT_EQ(run.NextSerial(), 1002u);
    EXPECT_EQ(ReadFileBytes(ChipFile(2)), used);  // a refused chip is left alone
    EXPECT_EQ(ReadFileBytes(ChipFile(3)), Expected(1001));
}

TEST_F(ProductionOnTray, AVerifyFailureNamesTheFirstDifference)
{
    // Skipping the blank check programs over a stuck-low bit.
    std::vector<std::uint8_t> used(kDevices[0].Size(), 0xFF);
    image[0x1A3] = 0x5A;
    ui.choices.push_back(dir.Write("fw.bin", image));
    ASSERT_TRUE(rom->LoadFile());
    used[0x1A3] = 0x52;  // bit 3 already 0
    std::filesystem::create_directories(tray);
    dir.Write("tray/chip-1.bin", used);

    ProductionSetup setup = Setup(nullptr);
    setup.blankCheck = false;
    ProductionRun run(*rom, setup, nullptr);
    auto chip = run.RunChip();
    ASSERT_TRUE(chip.ok()) << chip.message();
    EXPECT_EQ(FormatChipLine(*chip), "chip 1: failed at verify, first difference at 0x001A3: buffer 5A, chip 52");
    EXPECT_EQ(chip->failedAddress, 0x1A3u);
}

TEST_F(ProductionOnTray, RetriesProgramAgainOnlyAfterAVerifyFailure)
{
    ProductionSetup setup = Setup(nullptr);
    setup.retries = 2;
    ProductionRun good(*rom, setup, nullptr);
    auto chip = good.RunChip();
    ASSERT_TRUE(chip.ok()) << chip.message();
    EXPECT_TRUE(chip->passed);
    EXPECT_EQ(chip->attempts, 1u);

    // A chip whose cells take more pulses than any speed gives never verifies.
    OpenedPort slow = OpenPort("sim:pulses=1000,tray=" + dir.File("slow"), PortOptions{kDevices[0].Size()});
    CRom other(*slow.port, ui);
    ui.choices.push_back(dir.File("fw.bin"));
    ASSERT_TRUE(other.LoadFile());
    setup.insertChip = slow.nextChip;
    ProductionRun run(other, setup, nullptr);
    chip = run.RunChip();
    ASSERT_TRUE(chip.ok()) << chip.message();
    EXPECT_FALSE(chip->passed);
    EXPECT_EQ(chip->failedStep, ProductionStep::Verify);
    EXPECT_EQ(chip->attempts, 3u);
}

TEST_F(ProductionOnTray, RunStopsBeforeAChipWhoseSerialDoesNotFit)
{
    ProductionRun run(*rom, Setup("0x7FF0:1:254:1"), nullptr);
    ASSERT_TRUE(run.RunChip().ok());
    ASSERT_TRUE(run.RunChip().ok());
    auto third = run.RunChip();
    ASSERT_FALSE(third.ok());
    EXPECT_NE(third.message().find("256 does not fit in 1 byte"), std::string::npos) << third.message();
    EXPECT_EQ(run.Chips(), 2u);
    EXPECT_FALSE(std::filesystem::exists(ChipFile(3)));  // no chip taken from the tray

    ProductionRun outside(*rom, Setup("0x7FFF:2:1"), nullptr);
    auto past = outside.RunChip();
    ASSERT_FALSE(past.ok());
    EXPECT_NE(past.message().find("past the end of the 27C256"), std::string::npos) << past.message();
}

TEST_F(ProductionOnTray, TheRunEndsOnAChipNotStartedOrNotLoggedOrAPortFaultWhereAsked)
{
    ProductionRun run(*rom, Setup("0x7FF0:1:255:1"), nullptr);
    EXPECT_EQ(run.NextChipNumber(), 1u);
    Result<ChipResult> first = run.RunChip();
    ASSERT_TRUE(first.ok()) << first.message();
    EXPECT_EQ(first->chip, 1u);
    EXPECT_EQ(run.NextChipNumber(), 2u);
    EXPECT_EQ(run.EndAfter(first, false), RunEnd::None);
    // The window goes on over a port fault; the command line's setup stops.
    EXPECT_EQ(run.EndAfter(first, true), RunEnd::None);
    ProductionSetup stopping = Setup(nullptr);
    stopping.stopOnPortFault = true;
    ProductionRun strict(*rom, std::move(stopping), nullptr);
    EXPECT_EQ(strict.EndAfter(first, true), RunEnd::PortFault);
    EXPECT_EQ(strict.EndAfter(first, false), RunEnd::None);

    // A failed chip does not end it; one whose record was lost does.
    ChipResult failed = *first;
    failed.passed = false;
    failed.failedStep = ProductionStep::Verify;
    EXPECT_EQ(run.EndAfter(Result<ChipResult>(failed), false), RunEnd::None);
    failed.logged = Status::Fail("the log could not be written");
    EXPECT_EQ(run.EndAfter(Result<ChipResult>(failed), false), RunEnd::NotLogged);

    // 256 does not fit in the byte: the chip never starts, the number stays.
    const Result<ChipResult> second = run.RunChip();
    ASSERT_FALSE(second.ok());
    EXPECT_EQ(run.EndAfter(second, false), RunEnd::NotStarted);
    EXPECT_EQ(run.NextChipNumber(), 2u);
}

TEST_F(ProductionOnTray, NoModuleFailsTheModuleCheck)
{
    OpenedPort absent = OpenPort("sim:module=absent,tray=" + tray, PortOptions{kDevices[0].Size()});
    CRom other(*absent.port, ui);
    ui.choices.push_back(dir.File("fw.bin"));
    ASSERT_TRUE(other.LoadFile());
    ProductionSetup setup = Setup(nullptr);
    setup.insertChip = absent.nextChip;
    ProductionRun run(other, setup, nullptr);
    auto chip = run.RunChip();
    ASSERT_TRUE(chip.ok()) << chip.message();
    EXPECT_EQ(FormatChipLine(*chip), "chip 1: failed at module, no module answers");
}

// A pass that lost the module names where, not a byte it never read.
TEST(ChipLine, AModuleThatStopsAnsweringIsNoByte)
{
    ChipResult r;
    r.chip = 1;
    r.failedStep = ProductionStep::Blank;
    r.failedAddress = 0x25EC;
    EXPECT_EQ(FormatChipLine(r), "chip 1: failed at blank, the module stopped answering at 0x025EC");
    r.failedStep = ProductionStep::Verify;
    r.bufferByte = 0x5A;
    EXPECT_EQ(FormatChipLine(r), "chip 1: failed at verify, the module stopped answering at 0x025EC");
    r.chipByte = 0x52;
    EXPECT_EQ(FormatChipLine(r), "chip 1: failed at verify, first difference at 0x025EC: buffer 5A, chip 52");
}

// Nothing programmed is no success; the log's image CRC-32 is the device's
// range without the serial, and an edit during the run shows.
TEST_F(ProductionOnTray, ARunWithoutChipsFailsAndTheRecordKeepsTheImage)
{
    const std::string path = dir.File("run.csv");
    auto log = ProductionLog::Open(path);
    ASSERT_TRUE(log.ok());
    ProductionRun run(*rom, Setup("0x7FF0:4:1"), log->get());
    EXPECT_FALSE(run.Succeeded());
    EXPECT_EQ(run.ImageCrc32(), Crc32(image.data(), image.size()));
    ASSERT_TRUE(run.RunChip().ok());
    EXPECT_TRUE(run.Succeeded());
    rom->m_Buffer[0x10] ^= 0xFF;
    ASSERT_TRUE(run.RunChip().ok());
    ASSERT_TRUE((*log)->Close().ok());
    const std::vector<std::uint8_t> bytes = ReadFileBytes(path);
    const std::string text(bytes.begin(), bytes.end());
    char crc[16];
    std::snprintf(crc, sizeof crc, "0x%08X", unsigned(Crc32(image.data(), image.size())));
    EXPECT_NE(text.find(std::string(",1,27C256,fw.bin,") + crc + ","), std::string::npos) << text;
    EXPECT_NE(text.find(",false\n"), std::string::npos) << text;
    EXPECT_EQ(text.substr(text.size() - 6), ",true\n") << text;
}

TEST(SimTray, OnlyTheSimulatorHasOne)
{
    TempDir dir;
    const Status parsed = ParsePortDescription("sim:tray=" + dir.Path());
    const std::string why = parsed.message();
    EXPECT_TRUE(parsed.ok()) << why;
    EXPECT_FALSE(ParsePortDescription("sim:tray=").ok());
    EXPECT_FALSE(ParsePortDescription("sim:tray=a,tray=b").ok());
    EXPECT_FALSE(OpenPort("none").nextChip);
    EXPECT_FALSE(OpenPort("sim").nextChip);
    SimModule sim(16);
    EXPECT_FALSE(sim.InsertNextChip().ok());
    sim.SetTray(dir.File("t"), 16);
    ASSERT_TRUE(sim.InsertNextChip().ok());
    EXPECT_EQ(sim.TrayChip(), 1u);
    EXPECT_EQ(sim.ChipPath(), dir.File("t") + "/chip-1.bin");
    EXPECT_EQ(ReadFileBytes(sim.ChipPath()), std::vector<std::uint8_t>(16, 0xFF));
}

}  // namespace
}  // namespace vexo::test
