// SPDX-License-Identifier: GPL-3.0-or-later
// vexo-hexbin under attack: standard output as the target, pipes, no display.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QLineEdit>
#include <QPushButton>
#include <fstream>
#include <string>

#include "hexbin/hexbin_dlg.h"
#include "support/sim_fixture.h"

namespace vexo {
namespace {

using test::TempDir;

struct ShellRun {
    int status = -1;
    std::string out;  // standard output and standard error, as the shell gives them
};

ShellRun Shell(const std::string& command)
{
    ShellRun run;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return run;
    char chunk[512];
    while (std::size_t n = std::fread(chunk, 1, sizeof chunk, pipe)) run.out.append(chunk, n);
    const int status = ::pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

const std::string kProgram = std::string("'") + VEXO_HEXBIN_PROGRAM + "'";

TEST(HexBinFiles, StandardOutputAsTheTargetKeepsTheFileAndTheSummaryOutOfTheData)
{
    TempDir dir;
    std::ofstream(dir.File("fw.hex")) << ":0100000055AA\n:00000001FF\n";
    std::ofstream(dir.File("log")) << "keep\n";
    const ShellRun r = Shell(kProgram + " '" + dir.File("fw.hex") + "' /dev/stdout >> '" + dir.File("log") +
                        "' 2>'" + dir.File("err") + "'");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(test::ReadFileBytes(dir.File("log")), (std::vector<std::uint8_t>{'k', 'e', 'e', 'p', '\n', 0x55}));
    const auto err = test::ReadFileBytes(dir.File("err"));
    EXPECT_NE(std::string(err.begin(), err.end()).find("-> /dev/stdout: 0x000000-0x000000, 1 byte"),
              std::string::npos);
}

TEST(HexBinFiles, APipeWithoutAWriterIsNeverWaitedFor)
{
    TempDir dir;
    ASSERT_EQ(::mkfifo(dir.File("in.hex").c_str(), 0600), 0);
    const ShellRun r = Shell("timeout 20 " + kProgram + " '" + dir.File("in.hex") + "' '" + dir.File("o.bin") + "' 2>&1");
    EXPECT_EQ(r.status, 1) << r.out;  // an empty stream, not a hang (124)
}

TEST(HexBinFiles, NoDisplayIsSaidAndExitsTwo)
{
    const ShellRun r = Shell("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + kProgram + " 2>&1");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "no display: set DISPLAY, or use vexo for work without one\n");
}

TEST(HexBinFiles, TheWindowRefusesAPipeAtOnce)
{
    TempDir dir;
    ASSERT_EQ(::mkfifo(dir.File("in.hex").c_str(), 0600), 0);
    HexBinDialog dlg;
    auto* input = dlg.findChild<QLineEdit*>("input");
    input->setText(QString::fromStdString(dir.File("in.hex")));
    emit input->textEdited(input->text());
    dlg.findChild<QPushButton*>("convert")->click();
    EXPECT_NE(dlg.ResultText().toStdString().find("is not a regular file"), std::string::npos);
}

}  // namespace
}  // namespace vexo
