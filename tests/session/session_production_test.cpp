// The session's production run: what it refuses before a chip, the log as a
// held file, and the extra pulse rounds taken from the session's settings.
#include <gtest/gtest.h>

#include "session/session.h"
#include "support/sim_fixture.h"

namespace vexo::test {
namespace {

class SessionProduction : public ::testing::Test {
protected:
    void Open(const std::string& port)
    {
        ResetShadows();
        session = std::make_unique<Session>(ui);
        const PortReport& report = session->OpenPort(PortSetup{port, {}, 0x8000});
        ASSERT_TRUE(report.opened) << report.openError;
        session->Start();
    }
    void LoadImage()
    {
        ASSERT_TRUE(session->OpenImage(dir.Write("fw.bin", RandomBytes(0x8000, 3))));
        ui.Take();
    }

    TempDir dir;
    UiRecorder ui;
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
    EXPECT_TRUE(session->Finish().ok());
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
    EXPECT_TRUE(session->Finish().ok());
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
    EXPECT_TRUE(session->Finish().ok());
}

}  // namespace
}  // namespace vexo::test
