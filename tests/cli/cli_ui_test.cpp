// SPDX-License-Identifier: GPL-3.0-or-later
// vexo's pieces in-process: the progress line, the host's bookkeeping, and
// a step failing when the port stops answering.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "cli/cli_ui.h"
#include "cli/steps.h"
#include "port/sim_module.h"
#include "rom/rom.h"
#include "rom/shadows.h"
#include "session/session.h"

namespace vexo::cli {
namespace {

TEST(FormatProgress, ElapsedTimeStandsBeforeTheTimeLeft)
{
    EXPECT_EQ(FormatProgress(0x40000, 0x80000, 2.0 * 1024 * 1024, 65.7),
              "[############------------]  50%  2.0 MiB/s  1:05 elapsed  0:00 left");
    EXPECT_EQ(FormatProgress(10, 100, 0.0, 0.0),
              "[##----------------------]  10%  0 B/s  0:00 elapsed  -:-- left");
    EXPECT_EQ(FormatProgress(10, 100, 0.0, -3.0),
              "[##----------------------]  10%  0 B/s  0:00 elapsed  -:-- left");
}

TEST(FormatProgress, ShowsBarPercentRateAndTimeLeft)
{
    EXPECT_EQ(FormatProgress(0x40000, 0x80000, 2.0 * 1024 * 1024),
              "[############------------]  50%  2.0 MiB/s  0:00 left");
    EXPECT_EQ(FormatProgress(0x1000, 0x80000, 1024.0), "[------------------------]   0%  1.0 KiB/s  8:28 left");
    EXPECT_EQ(FormatProgress(10, 100, 0.0), "[##----------------------]  10%  0 B/s  -:-- left");
    // A count past the total (a nested pass) stays at a full bar.
    EXPECT_EQ(FormatProgress(200, 100, 50.0).substr(0, 31), "[########################] 100%");
}

// Message boxes land in a memory stream.
class Captured {
public:
    Captured() : m_file(open_memstream(&m_data, &m_size)) {}
    ~Captured()
    {
        std::fclose(m_file);
        std::free(m_data);
    }
    std::FILE* File() { return m_file; }
    std::string Text()
    {
        std::fflush(m_file);
        return std::string(m_data, m_size);
    }

private:
    char* m_data = nullptr;
    std::size_t m_size = 0;
    std::FILE* m_file;
};

TEST(CliUi, KeepsTheHexCountAndAnswersTheChooserOnce)
{
    Captured out;
    CliUi ui(out.File(), stderr, false);
    EXPECT_EQ(ui.HexCountText(), CliUi::kInitialHexCount);
    ui.SetHexCountText("Hex Count: 0x7ffff");
    EXPECT_EQ(ui.HexCountText(), "Hex Count: 0x7ffff");

    EXPECT_EQ(ui.ChooseFileToOpen(), std::nullopt);  // files come named

    ui.RomMessageBox("EPROM writing failure !!! \twriting terminated !!!");
    ui.AppMessageBox("Faild File Loading...");
    EXPECT_EQ(out.Text(), "EPROM writing failure !!! \twriting terminated !!!\nFaild File Loading...\n");
}

TEST(RunSteps, APortThatStoppedWorkingFailsTheStepAndSaysWhy)
{
    ResetShadows();
    Captured out, err;
    CliUi ui(out.File(), err.File(), false);
    std::string fault;
    OpenedPort opened;
    opened.port = std::make_unique<SimModule>(0x8000);
    opened.health = [&fault] { return fault.empty() ? Status::Ok() : Status::Fail(fault); };
    Session session(ui);
    session.AdoptPort(std::move(opened));
    session.Start();
    StepContext context{session, ui, out.File(), err.File()};

    const Result<std::vector<Step>> steps = ParseSteps({"status", "status"});
    ASSERT_TRUE(steps.ok()) << steps.message();
    EXPECT_TRUE(RunSteps(context, *steps));
    fault = "/dev/parport0: the port stopped answering (No such device)";
    EXPECT_FALSE(RunSteps(context, *steps));
    EXPECT_EQ(err.Text(), "vexo: /dev/parport0: the port stopped answering (No such device)\n");
}

TEST(ParseSteps, TheFirstDeviceDecidesTheChipSize)
{
    const Result<std::vector<Step>> four = ParseSteps({"blank", "device", "27c020", "device", "27C040"});
    ASSERT_TRUE(four.ok());
    EXPECT_EQ(FirstDevice(*four), 3);
    const Result<std::vector<Step>> one = ParseSteps({"blank"});
    ASSERT_TRUE(one.ok());
    EXPECT_EQ(FirstDevice(*one), 0);
}

}  // namespace
}  // namespace vexo::cli
