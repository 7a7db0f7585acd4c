// SPDX-License-Identifier: GPL-3.0-or-later
// Wire capture: the dump's text for a short sequence, and the same file read
// back by sigrok-cli with the edges where they belong.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "port/recorder.h"
#include "port/vcd_port.h"
#include "support/sim_fixture.h"

namespace vexo {
namespace {

using test::TempDir;

std::string ReadText(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Module check, then one clock of D0 and a status bit coming back: the same
// seven accesses in every test. The inner port answers 0xC0, then 0x80.
void RunSequence(IPort& port)
{
    port.Out(kControlPort, 0x04);  // t1: C2 rises
    port.Out(kDataPort, 0x00);     // t2: no change
    port.In(kStatusPort);          // t3: S6 and S7 rise
    port.Out(kDataPort, 0x01);     // t4: D0 rises
    port.Out(kDataPort, 0x00);     // t5: D0 falls
    port.In(kStatusPort);          // t6: S6 falls
    port.Out(kControlPort, 0x1B);  // t7: C0, C1, C3, C4 rise, C2 falls
}

std::unique_ptr<VcdPort> Capture(const std::string& path, RecordingPort** inner)
{
    auto recorder = std::make_unique<RecordingPort>(nullptr, 0x80);
    recorder->QueueStatus(0xC0);
    *inner = recorder.get();
    Result<std::unique_ptr<VcdPort>> made = MakeVcdFile(std::move(recorder), path);
    EXPECT_TRUE(made.ok()) << made.message();
    return made ? std::move(*made) : nullptr;
}

TEST(VcdPort, WritesDeclarationsInitialValuesAndOnlyChanges)
{
    TempDir dir;
    RecordingPort* inner = nullptr;
    auto port = Capture(dir.File("wire.vcd"), &inner);
    RunSequence(*port);
    const Status finished = port->Close();
    ASSERT_TRUE(finished.ok()) << finished.message();
    EXPECT_EQ(port->Accesses(), 7u);
    EXPECT_EQ(inner->Log().size(), 7u);  // every access reached the wrapped port

    const std::string text = ReadText(dir.File("wire.vcd"));
    EXPECT_NE(text.find("$timescale 1us $end"), std::string::npos);
    EXPECT_NE(text.find("$var wire 1 ! D0 $end"), std::string::npos);
    EXPECT_NE(text.find("$var wire 1 / S7 $end"), std::string::npos);
    const std::size_t body = text.find("#0\n");
    ASSERT_NE(body, std::string::npos);
    EXPECT_EQ(text.substr(body),
              "#0\n$dumpvars\n0!\n0\"\n0#\n0$\n0%\n0&\n0'\n0(\n0)\n0*\n0+\n0,\n0-\n0.\n0/\n$end\n"
              "#1\n1+\n#3\n1.\n1/\n#4\n1!\n#5\n0!\n#6\n0.\n#7\n1)\n1*\n0+\n1,\n1-\n#8\n");
}

// Runs sigrok-cli on the file; each channel's samples as a string of 0 and 1.
std::map<std::string, std::string> ReadWithSigrok(const std::string& path)
{
    std::map<std::string, std::string> channels;
    const std::string command = "sigrok-cli -i '" + path + "' -I vcd -O csv 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return channels;
    std::string output;
    char chunk[4096];
    while (std::size_t n = std::fread(chunk, 1, sizeof chunk, pipe)) output.append(chunk, n);
    EXPECT_EQ(::pclose(pipe), 0) << output;

    std::vector<std::string> names;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        const std::string tag = "; Channels (";
        if (line.rfind(tag, 0) == 0) {
            std::istringstream list(line.substr(line.find(':') + 1));
            std::string name;
            while (std::getline(list, name, ',')) names.push_back(name.substr(name.find_first_not_of(' ')));
            continue;
        }
        if (line.empty() || line[0] == ';' || line.rfind("META", 0) == 0 || line.rfind("logic", 0) == 0)
            continue;
        std::istringstream values(line);
        std::string value;
        for (std::size_t i = 0; std::getline(values, value, ',') && i < names.size(); ++i)
            channels[names[i]] += value;
    }
    return channels;
}

TEST(VcdPort, SigrokReadsTheEdgesAtTheirMicroseconds)
{
    if (std::system("command -v sigrok-cli >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "sigrok-cli is not installed";
    TempDir dir;
    RecordingPort* inner = nullptr;
    auto port = Capture(dir.File("wire.vcd"), &inner);
    RunSequence(*port);
    const Status finished = port->Close();
    ASSERT_TRUE(finished.ok()) << finished.message();

    auto channels = ReadWithSigrok(dir.File("wire.vcd"));
    ASSERT_EQ(channels.size(), 15u);
    // One sample per microsecond, times 0 to 7.
    EXPECT_EQ(channels["D0"], "00001000");
    EXPECT_EQ(channels["D1"], "00000000");
    EXPECT_EQ(channels["C0"], "00000001");
    EXPECT_EQ(channels["C2"], "01111110");
    EXPECT_EQ(channels["C4"], "00000001");
    EXPECT_EQ(channels["S6"], "00011100");
    EXPECT_EQ(channels["S7"], "00011111");
}

TEST(VcdPort, ReportsAFileThatCannotBeCreatedOrWritten)
{
    const Result<std::unique_ptr<VcdPort>> missing =
        MakeVcdFile(std::make_unique<RecordingPort>(), "/nonexistent/wire.vcd");
    EXPECT_FALSE(missing.ok());
    EXPECT_EQ(missing.message(), "/nonexistent/wire.vcd: No such file or directory");

    Result<std::unique_ptr<VcdPort>> full = MakeVcdFile(std::make_unique<RecordingPort>(), "/dev/full");
    ASSERT_TRUE(full.ok());
    VcdPort& port = **full;
    for (int i = 0; i < 1000; ++i) port.Out(kDataPort, std::uint8_t(i));
    const Status finished = port.Close();
    EXPECT_FALSE(finished.ok());
    EXPECT_EQ(finished.message(), "writing the capture failed: No space left on device");
}

}  // namespace
}  // namespace vexo
