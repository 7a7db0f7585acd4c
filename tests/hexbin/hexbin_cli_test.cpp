// SPDX-License-Identifier: GPL-3.0-or-later
// vexo-hexbin IN [OUT] [--fill B] [--offset N]: outputs, messages, exit status.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

#include "hexbin/hexbin_cli.h"
#include "support/sim_fixture.h"

namespace vexo {
namespace {

using test::ReadFileBytes;
using test::TempDir;

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

Outcome HexBin(std::initializer_list<std::string> args)
{
    std::vector<std::string> words{"vexo-hexbin"};
    words.insert(words.end(), args);
    std::vector<char*> argv;
    for (auto& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    std::ostringstream out, err;
    const int status = RunHexBinCommandLine(int(words.size()), argv.data(), out, err);
    return {status, out.str(), err.str()};
}

std::string WriteText(const TempDir& dir, const std::string& name, const std::string& text)
{
    const std::string path = dir.File(name);
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

const char kHex[] = ":020002001122C9\n:0100060033C6\n:00000001FF\n";

TEST(HexBinCommandLine, ConvertsBesideTheInputByDefault)
{
    TempDir dir;
    const std::string in = WriteText(dir, "fw.hex", kHex);
    const Outcome run = HexBin({in});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, in + " -> " + dir.File("fw.bin") + ": 0x000000-0x000006, 7 bytes\n");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(ReadFileBytes(dir.File("fw.bin")),
              (std::vector<std::uint8_t>{0xFF, 0xFF, 0x11, 0x22, 0xFF, 0xFF, 0x33}));
}

TEST(HexBinCommandLine, FillOffsetAndOutputName)
{
    TempDir dir;
    const std::string in = WriteText(dir, "fw.hex", kHex);
    const Outcome run = HexBin({in, dir.File("out.rom"), "--fill", "0", "--offset", "3h"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadFileBytes(dir.File("out.rom")), (std::vector<std::uint8_t>{0x22, 0, 0, 0x33}));
}

TEST(HexBinCommandLine, UsageErrorsExitTwoAndConversionFailuresOne)
{
    TempDir dir;
    const std::string in = WriteText(dir, "fw.hex", kHex);
    const std::string bad = WriteText(dir, "bad.s19", "S104000055A6\nS104000166A5\n");
    const std::string bin = dir.Write("fw.bin", {1});

    struct Case {
        std::initializer_list<std::string> args;
        int status;
        std::string err;
    } cases[] = {
        {{in, "--fill", "0x100"}, 2, "vexo-hexbin: --fill: 0x100 is not a byte (0 to 0xFF)\n"},
        {{in, "--offset", "0x1000000"}, 2,
         "vexo-hexbin: --offset: 0x1000000 is not an address in the 16 MiB buffer (0 to 0xFFFFFF)\n"},
        {{bin}, 2, "vexo-hexbin: " + bin + " already ends in .bin; name the output file\n"},
        {{bad}, 1, "vexo-hexbin: " + bad + ": line 2: bad checksum\n"},
        {{in, dir.File("x.bin"), "--offset", "7"}, 1,
         "vexo-hexbin: offset 0x000007 is past the image, which ends at 0x000006\n"},
    };
    for (const Case& c : cases) {
        const Outcome run = HexBin(c.args);
        EXPECT_EQ(run.status, c.status) << c.err;
        EXPECT_EQ(run.err, c.err);
        EXPECT_EQ(run.out, "");
    }
    EXPECT_EQ(ReadFileBytes(bin), std::vector<std::uint8_t>{1});
    EXPECT_FALSE(std::ifstream(dir.File("bad.bin")).good());

    // Parser errors: one line, exit 2.
    for (auto args : {std::initializer_list<std::string>{}, {in, "a", "b"}, {in, "--fill"}}) {
        const Outcome run = HexBin(args);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.err.rfind("vexo-hexbin: ", 0), 0u) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    }
    const Outcome help = HexBin({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--offset"), std::string::npos);
}

// The program itself, with arguments and without any display.
TEST(HexBinCommandLine, TheProgramNeedsNoDisplayWithArguments)
{
    TempDir dir;
    const std::string in = WriteText(dir, "fw.s19", "S104000055A6\nS9030000FC\n");
    const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM '" +
                                std::string(VEXO_HEXBIN_PROGRAM) + "' '" + in + "' 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_TRUE(pipe);
    std::string output;
    char chunk[512];
    while (std::size_t n = std::fread(chunk, 1, sizeof chunk, pipe)) output.append(chunk, n);
    const int status = ::pclose(pipe);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << output;
    EXPECT_EQ(output, in + " -> " + dir.File("fw.bin") + ": 0x000000-0x000000, 1 byte\n");
    EXPECT_EQ(ReadFileBytes(dir.File("fw.bin")), std::vector<std::uint8_t>{0x55});

    pipe = ::popen(("'" + std::string(VEXO_HEXBIN_PROGRAM) + "' --fill 2>/dev/null").c_str(), "r");
    ASSERT_TRUE(pipe);
    EXPECT_EQ(WEXITSTATUS(::pclose(pipe)), 2);
}

// "-": the piped text read by its content, raw bytes out, the summary on
// standard error; without an output name standard input is a usage error.
TEST(HexBinCommandLine, StandardInputAndOutput)
{
    TempDir dir;
    const std::string in = WriteText(dir, "fw.s19", "S104000055A6\nS9030000FC\n");
    const std::string program = "'" + std::string(VEXO_HEXBIN_PROGRAM) + "'";
    const auto run = [](const std::string& command, std::string* output) {
        FILE* pipe = ::popen(command.c_str(), "r");
        if (!pipe) return -1;
        char chunk[512];
        while (std::size_t n = std::fread(chunk, 1, sizeof chunk, pipe)) output->append(chunk, n);
        const int status = ::pclose(pipe);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    std::string out;
    EXPECT_EQ(run("cat '" + in + "' | " + program + " - - 2>/dev/null", &out), 0);
    EXPECT_EQ(out, "\x55");
    out.clear();
    EXPECT_EQ(run("cat '" + in + "' | " + program + " - - 2>&1 >/dev/null", &out), 0);
    EXPECT_EQ(out, "vexo-hexbin: - (standard input): read as S-record (its content; --format names another)\n"
                   "- -> -: 0x000000-0x000000, 1 byte\n");
    out.clear();
    EXPECT_EQ(run(program + " - </dev/null 2>&1", &out), 2);
    EXPECT_NE(out.find("name the output file"), std::string::npos) << out;
    out.clear();
    EXPECT_EQ(run(program + " - '" + dir.File("x.bin") + "' </dev/null 2>&1", &out), 1);
    EXPECT_NE(out.find("standard input gave no data"), std::string::npos) << out;
}

}  // namespace
}  // namespace vexo
