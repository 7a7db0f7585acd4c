// SPDX-License-Identifier: GPL-3.0-or-later
// The session's production run: what it refuses before a chip, the log as a
// held file, and the extra pulse rounds taken from the session's settings.
#include <gtest/gtest.h>

#include <fstream>

#include "base/text.h"
#include "rom/checksum.h"
#include "session/session.h"
#include "support/sim_fixture.h"

namespace vexo::test {
namespace {

class NotedUi : public UiRecorder {
public:
    void Note(std::string_view text) override { notes.emplace_back(text); }
    std::vector<std::string> notes;
};

class SessionProduction : public ::testing::Test {
protected:
    void Open(const std::string& port)
    {
        ResetShadows();
        session = std::make_unique<Session>(ui);
        const PortOpenReport& report = session->OpenPort(PortSetup{port, {}, 0x8000});
        ASSERT_TRUE(report.opened) << report.openStatus.message();
        session->Start();
    }
    void LoadImage()
    {
        ASSERT_TRUE(session->OpenImage(dir.Write("fw.bin", RandomBytes(0x8000, 3))));
        ui.Take();
    }

    // One chip of a run logged to a fresh JSON Lines file; the record.
    std::string OneChipRecord(const std::string& name)
    {
        Session::ProductionOptions options;
        options.logPath = dir.File(name);
        EXPECT_TRUE(session->StartProduction(options).ok());
        const auto chip = session->ProductionChip();
        EXPECT_TRUE(chip.ok() && chip->passed);
        EXPECT_TRUE(session->StopProduction().ok());
        std::ifstream in(options.logPath);
        std::string line;
        std::getline(in, line);
        return line;
    }
    std::string DeviceCrc()
    {
        char text[16];
        std::snprintf(text, sizeof text, "0x%08X",
                      unsigned(Crc32(session->Rom().m_Buffer.get(), session->Rom().DeviceSize())));
        return text;
    }
    static bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

    TempDir dir;
    NotedUi ui;
    std::unique_ptr<Session> session;
};

TEST_F(SessionProduction, RefusesARunItCannotDo)
{
    Open("sim:chip=" + dir.File("c.bin") + ",tray=" + dir.File("tray"));
    Session::ProductionOptions options;
    Status s = session->StartProduction(options);
    EXPECT_FALSE(s.ok());
    EXPECT_NE(s.message().find("load one first"), std::string::npos) << s.message();
    EXPECT_FALSE(session->ProductionChip().ok());

    LoadImage();
    options.logPath = dir.File("c.bin");  // the chip file
    s = session->StartProduction(options);
    EXPECT_FALSE(s.ok());
    EXPECT_EQ(session->Production(), nullptr);
    options.logPath = dir.File("no/such/folder/run.csv");
    EXPECT_FALSE(session->StartProduction(options).ok());

    options.logPath.clear();
    ASSERT_TRUE(session->StartProduction(options).ok());
    EXPECT_FALSE(session->StartProduction(options).ok());  // one run at a time
    EXPECT_TRUE(session->StopProduction().ok());
    EXPECT_TRUE(session->Shutdown().ok());
}

TEST_F(SessionProduction, TheLogIsHeldWhileTheRunGoes)
{
    Open("sim:tray=" + dir.File("tray"));
    LoadImage();
    Session::ProductionOptions options;
    options.logPath = dir.File("run.jsonl");
    ASSERT_TRUE(session->StartProduction(options).ok());
    EXPECT_FALSE(session->CheckSaveTarget(options.logPath).ok());
    auto chip = session->ProductionChip();
    ASSERT_TRUE(chip.ok()) << chip.message();
    EXPECT_TRUE(chip->passed);
    EXPECT_EQ(chip->logged.ok(), true);
    ASSERT_TRUE(session->StopProduction().ok());
    EXPECT_TRUE(session->CheckSaveTarget(options.logPath).ok());
    EXPECT_EQ(ReadFileBytes(options.logPath).size() > 0, true);

    // A run still going when the session finishes ends with it, its record kept.
    options.logPath = dir.File("second.csv");
    ASSERT_TRUE(session->StartProduction(options).ok());
    ASSERT_TRUE(session->ProductionChip().ok());
    EXPECT_TRUE(session->Shutdown().ok());
    const auto csv = ReadFileBytes(options.logPath);
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 2);
}

TEST_F(SessionProduction, ExtraPulseRoundsComeFromTheSessionOrTheRun)
{
    // Weak bytes need twice the pulses one pass gives; their pulses add up.
    Open("sim:tray=" + dir.File("tray") + ",pulses=20,weak=20,seed=5");
    LoadImage();
    Session::ProductionOptions options;
    ASSERT_TRUE(session->StartProduction(options).ok());
    auto chip = session->ProductionChip();
    ASSERT_TRUE(chip.ok());
    EXPECT_FALSE(chip->passed);
    EXPECT_EQ(chip->failedStep, ProductionStep::Verify);
    EXPECT_EQ(chip->attempts, 1u);
    ASSERT_TRUE(session->StopProduction().ok());

    ASSERT_TRUE(session->SetProgramSettings(ProgramSettings{2, 0, false}).ok());
    ASSERT_TRUE(session->StartProduction(options).ok());
    chip = session->ProductionChip();
    ASSERT_TRUE(chip.ok());
    EXPECT_TRUE(chip->passed) << FormatChipLine(*chip);
    EXPECT_GE(chip->attempts, 2u);
    ASSERT_TRUE(session->StopProduction().ok());
    EXPECT_EQ(session->Rom().m_retries, 2);  // the session's setting is left as it was

    ASSERT_TRUE(session->SetProgramSettings(ProgramSettings{}).ok());
    options.retries = 1;
    ASSERT_TRUE(session->StartProduction(options).ok());
    chip = session->ProductionChip();
    ASSERT_TRUE(chip.ok());
    EXPECT_TRUE(chip->passed) << FormatChipLine(*chip);
    EXPECT_EQ(session->Rom().m_retries, 0);
    EXPECT_TRUE(session->Shutdown().ok());
}

// What the log names: the file last loaded, or the merged files; the CRC-32
// of the device's range as programmed (checksum's); whether it was edited.
TEST_F(SessionProduction, TheRecordSaysWhatWasProgrammed)
{
    Open("sim:tray=" + dir.File("tray"));
    const std::string fw = dir.Write("fw.bin", RandomBytes(0x8000, 3));
    const std::string small = dir.Write("small.bin", {1, 2, 3, 4});
    ASSERT_TRUE(session->OpenImage(fw));
    EXPECT_FALSE(session->Source().edited);
    std::string record = OneChipRecord("plain.jsonl");
    EXPECT_TRUE(Has(record, "\"image\":\"" + fw + "\",\"image_crc32\":\"" + DeviceCrc() +
                                "\",\"image_edited\":false"))
        << record;

    ASSERT_TRUE(session->LoadAt(0, small).ok());
    EXPECT_EQ(session->Source().name, fw);
    EXPECT_TRUE(session->Source().edited);
    record = OneChipRecord("edited.jsonl");
    EXPECT_TRUE(Has(record, "\"image\":\"" + fw + "\",\"image_crc32\":\"" + DeviceCrc() +
                                "\",\"image_edited\":true"))
        << record;
    const std::string sums = session->Checksum().Line();
    EXPECT_TRUE(SameText(sums.substr(sums.size() - 10), DeviceCrc())) << sums;
    // Undone, the buffer is the file's again.
    ASSERT_TRUE(session->Undo().ok());
    EXPECT_FALSE(session->Source().edited);

    const std::string a = dir.Write("a.bin", RandomBytes(0x4000, 4));
    const std::string b = dir.Write("b.bin", RandomBytes(0x4000, 5));
    ASSERT_TRUE(session->MergeFiles({a, b}).ok());
    EXPECT_EQ(session->Source().name, a + "+" + b);
    EXPECT_FALSE(session->Source().edited);
    record = OneChipRecord("merged.jsonl");
    EXPECT_TRUE(Has(record, "\"image\":\"" + a + "+" + b + "\",\"image_crc32\":\"" + DeviceCrc() +
                                "\",\"image_edited\":false"))
        << record;
    ASSERT_TRUE(session->PatchBuffer(0x10, std::vector<std::uint8_t>{0xAA}).ok());
    EXPECT_TRUE(session->Source().edited);

    // A chip read is no file.
    ASSERT_TRUE(session->ReadRom());
    EXPECT_EQ(session->Source().name, "");
    EXPECT_FALSE(session->Source().edited);
}

// A serial number past the device is refused before the log is made; one
// over image bytes is said, and the run goes on.
TEST_F(SessionProduction, SerialNumbersAreCheckedBeforeTheFirstChip)
{
    Open("sim:tray=" + dir.File("tray"));
    std::vector<std::uint8_t> image(0x8000, 0xFF);
    image[0x100] = 0x12, image[0x101] = 0x34, image[0x102] = 0x56, image[0x103] = 0x78;
    ASSERT_TRUE(session->OpenImage(dir.Write("fw.bin", image)));
    Session::ProductionOptions options;
    options.logPath = dir.File("run.csv");
    options.serial = *ParseSerialPlan("0x7FFE:4:1");
    Status refused = session->StartProduction(options);
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.message(), "batch: the serial number at 0x07FFE lies past the end of the 27C256 (32768 bytes)");
    EXPECT_FALSE(std::filesystem::exists(options.logPath));
    EXPECT_EQ(session->Production(), nullptr);

    options.serial = *ParseSerialPlan("0x200:4:1");  // over 0xFF bytes: nothing to say
    ASSERT_TRUE(session->StartProduction(options).ok());
    EXPECT_TRUE(ui.notes.empty());
    ASSERT_TRUE(session->StopProduction().ok());
    options.serial = *ParseSerialPlan("0x100:4:1");
    ASSERT_TRUE(session->StartProduction(options).ok());
    EXPECT_EQ(ui.notes, std::vector<std::string>{"serial: 0x00100-0x00103 lies over image bytes 12 34 56 78"});
    ASSERT_TRUE(session->StopProduction().ok());
}

// A run that continues a log numbers on from its last record: never two
// records of one number in a log. Without a log the run starts where its
// caller says (a window whose table goes on).
TEST_F(SessionProduction, AContinuedLogNumbersOn)
{
    Open("sim:tray=" + dir.File("tray"));
    LoadImage();
    Session::ProductionOptions options;
    options.logPath = dir.File("run.csv");
    for (unsigned expected : {1u, 2u, 3u}) {
        ASSERT_TRUE(session->StartProduction(options).ok());
        EXPECT_EQ(session->ProductionEarlier().size(), expected - 1);
        const auto chip = session->ProductionChip();
        ASSERT_TRUE(chip.ok()) << chip.message();
        EXPECT_EQ(chip->chip, expected);
        ASSERT_TRUE(session->StopProduction().ok());
    }
    Session::ProductionOptions unlogged;
    unlogged.firstChip = 12;
    ASSERT_TRUE(session->StartProduction(unlogged).ok());
    EXPECT_EQ(session->Production()->NextChipNumber(), 12u);
    ASSERT_TRUE(session->StopProduction().ok());
}

}  // namespace

}  // namespace vexo::test
