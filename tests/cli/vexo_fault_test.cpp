// SPDX-License-Identifier: GPL-3.0-or-later
// Faults injected under every command: a failure message and exit status 1,
// never an OK, never a crash.
#include "vexo_runner.h"

namespace vexo::test {
namespace {

bool SaysOk(const std::vector<std::string>& lines)
{
    for (const auto& l : lines)
        if (l == "Done!" || l == "*** Writing OK ***" || l == "*** Verify OK ***" || l == "Reading OK" ||
            l == "EPROM Checking OK !!!" || l == "Save OK !!")
            return true;
    return false;
}

TEST_F(VexoTest, InjectedFaultsFailEveryCommand)
{
    const std::string image = RandomImage(0x8000, 5);
    Write("image.bin", image);
    // A programmed chip for verify; blank ones for the rest.
    const std::string programmed = "sim:chip=" + Write("programmed.bin", image);

    // Port accesses of a 27C256 pass: 103 per byte for reading passes.
    const std::string midPass = std::to_string(4 + 0x8000 * 103 / 2);
    const std::string inProgramming = std::to_string(4 + 0x8000 * 103 + 4 + 0x8000 * 138 / 2);
    struct Case {
        std::string port;
        std::vector<std::string> steps;
    };
    const std::vector<Case> commands{
        {"sim", {"blank"}},
        {"sim", {"load", "image.bin", "auto"}},
        {"sim", {"load", "image.bin", "write"}},
        {programmed, {"load", "image.bin", "verify"}},
        {programmed, {"read"}},
        {programmed, {"save", "copy.bin"}},
    };
    const std::vector<std::string> faults{"unplug=" + midPass, "stuck=7:0", "seed=3,flip=0.001",
                                          "seed=4,flip=0.3,mask=0x80"};
    for (const auto& command : commands) {
        for (const auto& fault : faults) {
            const bool readOnly = command.steps[0] == "read" || command.steps[0] == "save";
            // A flipped read line cannot be told from data by a plain read.
            if (readOnly && fault.find("mask") == std::string::npos && fault.find("flip") != std::string::npos)
                continue;
            std::vector<std::string> args{"--port", command.port, "--fault", fault};
            args.insert(args.end(), command.steps.begin(), command.steps.end());
            const VexoResult r = Vexo(args);
            const std::string what = fault + " / " + command.steps.back();
            EXPECT_EQ(r.code, 1) << what << "\n" << r.out << r.err;
            EXPECT_FALSE(SaysOk(r.Lines())) << what << "\n" << r.out;
        }
    }
    EXPECT_FALSE(std::filesystem::exists(Path("copy.bin")));

    // Unplugged in the middle of programming: the verify tells.
    const VexoResult r = Vexo({"--fault", "unplug=" + inProgramming, "load", "image.bin", "auto"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.Lines().back() , "Programming Module not found ! Please check connection of power Adapter.");
    EXPECT_NE(r.out.find("Writing verify failure !!!"), std::string::npos);
}

TEST_F(VexoTest, BadFaultDescriptionsAreUsageErrors)
{
    for (const char* bad : {"flip=2", "stuck=9:1", "zap=1", ""}) {
        const VexoResult r = Vexo({"--fault", bad, "blank"});
        EXPECT_EQ(r.code, 2) << bad;
        EXPECT_TRUE(r.out.empty()) << bad;
    }
}

}  // namespace
}  // namespace vexo::test
