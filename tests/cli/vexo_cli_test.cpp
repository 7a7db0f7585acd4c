// SPDX-License-Identifier: GPL-3.0-or-later
// vexo end to end: the built binary on the simulated module, its message
// lines, its status lines, its files and its exit codes.
#include <sys/stat.h>
#include <unistd.h>

#include <regex>

#include "port/port_open.h"
#include "vexo_runner.h"

namespace vexo::test {
namespace {

using Lines = std::vector<std::string>;

const std::string kNoModule =
    "Programming Module not found ! Please check connection of power Adapter.";

Lines StatusLines(const std::string& device = "27C256", const std::string& speed = "Normal",
                  const std::string& endAddress = "007FFFH", const std::string& hex = "Hex Counter :",
                  const std::string& file = "default.bin")
{
    return {"Port Type: LPT1 Port",
            "File Name: " + file,
            "Device Type: " + device,
            "Program Speed: " + speed,
            "Buffer Start Address: 000000H",
            "Buffer end Address: " + endAddress,
            hex};
}

Lines Concat(Lines a, const Lines& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const Lines kAutoWriteOk = {"Blank check !! Please wait...",  "Done !", "Programming now!!  please wait... ",
                            "Done", "Verify now !!   please wait...", "Done!"};

TEST_F(VexoTest, BlankCheckOfAFreshChipNamesTheSimulator)
{
    const VexoResult r = Vexo({"blank"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, "EPROM Checking OK !!!\n");
    // The port line comes first, and nothing else: a file is no terminal, so no bar.
    EXPECT_EQ(r.err.rfind("port: simulated module, chip in memory", 0), 0u) << r.err;
    EXPECT_EQ(r.err.find('\r'), std::string::npos);
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);
}

TEST_F(VexoTest, StepNamesAndValuesIgnoreCase)
{
    const VexoResult r = Vexo({"--speed", "EXPRESS", "DEVICE", "27c512", "Blank", "STATUS"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.Lines(), Concat({"EPROM Checking OK !!!"},
                                StatusLines("27C512", "Express", "007FFFH", "Hex Count: 0x10000")));
}

TEST_F(VexoTest, CommandsWithoutAnImageRefuseAndStopTheRun)
{
    VexoResult r = Vexo({"write", "status"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.Lines(), Lines{"Sorry! Check file to buffer !!"});

    r = Vexo({"verify"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.Lines(), (Lines{"*** Start Verify ***", "Sorry! file load to buffer. first!!"}));

    r = Vexo({"auto"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.Lines(),
              (Lines{"Blank check !! Please wait...", "Done !", "Sorry! load file to buffer..first!!"}));
}

TEST_F(VexoTest, MissingModuleIsReportedAtStartAndAtExitEvenAfterAFailure)
{
    VexoResult r = Vexo({"--port", "sim:module=absent", "status"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.Lines(), Concat(Concat({kNoModule}, StatusLines()), {kNoModule}));
    EXPECT_NE(r.err.find("module absent"), std::string::npos) << r.err;

    r = Vexo({"--port", "sim:module=absent", "write", "status"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.Lines(), (Lines{kNoModule, "Sorry! Check file to buffer !!", kNoModule}));
}

TEST_F(VexoTest, StatusFollowsTheSettingsAndTheLastPass)
{
    VexoResult r = Vexo({"status"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.Lines(), StatusLines());

    r = Vexo({"blank", "status"});
    EXPECT_EQ(r.Lines(), Concat({"EPROM Checking OK !!!"},
                                StatusLines("27C256", "Normal", "007FFFH", "Hex Count: 0x8000")));

    // A read of a blank chip finds 0xFF at address 0: the end address is 0 - 1.
    r = Vexo({"--device", "27C040", "--speed", "high", "read", "status"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.Lines(), Concat({"*** Start Reading ***", "Reading OK"},
                                StatusLines("27C040", "High", "FFFFFFFF", "Hex Count: 0x80000")));
}

TEST_F(VexoTest, PortSelection)
{
    VexoResult r = Vexo({"port", "1", "read"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.Lines(), (Lines{"Module found!!", "*** Start Reading ***", "Reading OK"}));

    for (const char* refused : {"2", "3"}) {
        r = Vexo({"port", refused, "status"});
        EXPECT_EQ(r.code, 1) << refused;
        EXPECT_EQ(r.Lines(), Lines{"Module Not found!!"}) << refused;
    }

    r = Vexo({"--port", "sim:module=absent", "port", "1"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.Lines(), (Lines{kNoModule, "Module Not found!!", kNoModule}));
}

TEST_F(VexoTest, UsageErrorsRunNothing)
{
    const std::vector<Lines> cases = {
        {},
        {"bogus"},
        {"load"},
        {"blank", "save"},
        {"device", "27C128"},
        {"--device", "2764", "blank"},
        {"speed", "fast"},
        {"--speed"},
        {"port", "4"},
        {"port", "LPT1"},
        {"--port", "serial", "blank"},
        {"--port", "sim:color=blue", "blank"},
        {"--bogus", "blank"},
        {"blank", "--port", "sim"},
    };
    for (const Lines& args : cases) {
        std::string shown;
        for (const auto& a : args) shown += a + " ";
        const VexoResult r = Vexo(args);
        EXPECT_EQ(r.code, 2) << shown;
        EXPECT_EQ(r.out, "") << shown;
        EXPECT_EQ(r.err.rfind("vexo: ", 0), 0u) << shown << "-> " << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << shown << "-> " << r.err;
    }
}

TEST_F(VexoTest, HelpListsTheStepsAndThePorts)
{
    const VexoResult r = Vexo({"--help"});
    EXPECT_EQ(r.code, 0);
    for (const char* word : {"load FILE", "save FILE", "read", "blank", "write", "verify", "auto",
                             "port 1|2|3", "device NAME", "speed NAME", "status", "chip=PATH",
                             "size=", "module=absent", "pulses=N", "--trace", "Examples:"})
        EXPECT_NE(r.out.find(word), std::string::npos) << word;
    // Every backend of the table, with an example that is a description it reads.
    for (const PortBackend* row : PortBackends()) {
        const PortBackend& backend = *row;
        EXPECT_NE(r.out.find(backend.synopsis), std::string::npos) << backend.name;
        EXPECT_NE(r.out.find(backend.example), std::string::npos) << backend.name;
        EXPECT_TRUE(ParsePortDescription(std::string(backend.example)).ok()) << backend.example;
    }
}

TEST_F(VexoTest, LoadRefusesBadFiles)
{
    VexoResult r = Vexo({"load", Path("missing.bin"), "status"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.Lines(), Lines{"Faild File Loading..."});

    ::mkdir(Path("folder.bin").c_str(), 0755);
    r = Vexo({"load", Path("folder.bin")});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.Lines(), Lines{"Faild File Loading..."});

    // One byte over the buffer (a sparse file).
    Write("big.bin", "");
    ASSERT_EQ(::truncate(Path("big.bin").c_str(), 16 * 1024 * 1024 + 1), 0);
    r = Vexo({"load", Path("big.bin")});
    EXPECT_EQ(r.code, 1);
    ASSERT_EQ(r.Lines().size(), 1u) << r.out;
    EXPECT_NE(r.out.find("16 MiB"), std::string::npos) << r.out;

    // An empty file loads, but is no image to write.
    Write("empty.bin", "");
    r = Vexo({"load", Path("empty.bin"), "write"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.Lines(), Lines{"Sorry! Check file to buffer !!"});
}

TEST_F(VexoTest, LoadShowsTheFileAndItsFirstErasedByte)
{
    std::string image(0x2000, '\0');
    image[0x1234] = char(0xFF);
    ::mkdir(Path("sub").c_str(), 0755);
    Write("sub/image.bin", image);
    const VexoResult r = Vexo({"load", "sub/image.bin", "status"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.Lines(), StatusLines("27C256", "Normal", "01234", "Hex Counter :", "image.bin"));
}

TEST_F(VexoTest, SaveLandsInTheCurrentDirectory)
{
    ::mkdir(Path("sub").c_str(), 0755);
    Write("sub/image.bin", std::string(100, 'x'));
    const VexoResult r = Vexo({"load", "sub/image.bin", "save", "out.bin"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.Lines(), Lines{"Save OK !!"});
    // The save reads the (blank) device first and writes all of it.
    EXPECT_EQ(Slurp(Path("out.bin")), std::string(0x8000, char(0xFF)));
    EXPECT_FALSE(std::filesystem::exists(Path("sub/out.bin")));
}

TEST_F(VexoTest, SaveFailuresAreReported)
{
    for (const std::string target : {"/dev/full", "/proc/vexo-save.bin", "/nonexistent/out.bin"}) {
        const VexoResult r = Vexo({"save", target, "status"});
        EXPECT_EQ(r.code, 1) << target;
        EXPECT_EQ(r.Lines(), Lines{"Save Failed !!"}) << target;
    }
}

TEST_F(VexoTest, SaveIntoALockedFolderFails)
{
    if (::geteuid() == 0 && !RunAsNobody()) GTEST_SKIP() << "folder permissions do not bind root, and nobody cannot run vexo here (no setpriv, or /tmp is noexec)";
    ::mkdir(Path("locked").c_str(), 0555);
    const VexoResult r = Vexo({"save", Path("locked/out.bin")});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.Lines(), Lines{"Save Failed !!"});
    EXPECT_FALSE(std::filesystem::exists(Path("locked/out.bin")));
}

TEST_F(VexoTest, RoundTripOfA27C040ThroughAChipFile)
{
    std::string image = RandomImage(512 * 1024, 7);
    image[0] = 0x00;  // so that a second write is refused at address 0
    Write("image.bin", image);
    const std::string port = "sim:chip=" + Path("chip.bin");

    VexoResult r = Vexo({"--port", port, "--device", "27C040", "load", "image.bin", "auto"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.Lines(), kAutoWriteOk);
    EXPECT_EQ(Slurp(Path("chip.bin")), image);

    r = Vexo({"--port", port, "--device", "27C040", "read", "save", "copy.bin"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.Lines(), (Lines{"*** Start Reading ***", "Reading OK", "Save OK !!"}));
    EXPECT_TRUE(Slurp(Path("copy.bin")) == image) << "the saved copy differs from the image";

    r = Vexo({"--port", port, "--device", "27C040", "load", "image.bin", "verify"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.Lines(), (Lines{"*** Start Verify ***", "*** Verify OK ***"}));

    // A programmed chip is neither blank nor writable again.
    r = Vexo({"--port", port, "--device", "27C040", "blank"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.Lines(), (Lines{"Error Occured", "Blank Check Failure !!"}));
    r = Vexo({"--port", port, "--device", "27C040", "load", "image.bin", "write"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.Lines(), (Lines{"*** Start Writing ***", "Failed"}));
}

TEST_F(VexoTest, TooFewPulsesFailTheVerifyOfAutoWrite)
{
    Write("image.bin", RandomImage(0x8000, 3));
    // The chip needs 18 pulses a byte: Normal gives 20, High only 15.
    VexoResult r = Vexo({"--port", "sim:pulses=18", "--speed", "normal", "load", "image.bin", "auto"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.Lines(), kAutoWriteOk);

    r = Vexo({"--port", "sim:pulses=18", "--speed", "high", "load", "image.bin", "auto", "status"});
    EXPECT_EQ(r.code, 1);
    Lines expected(kAutoWriteOk.begin(), kAutoWriteOk.end() - 1);
    expected.push_back("Writing verify failure !!!");
    EXPECT_EQ(r.Lines(), expected);
}

TEST_F(VexoTest, ANewChipFileTakesTheSizeOfTheFirstDevice)
{
    VexoResult r = Vexo({"--port", "sim:chip=" + Path("a.bin"), "device", "27C010", "device", "27C040",
                         "status"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(std::filesystem::file_size(Path("a.bin")), 0x20000u);

    r = Vexo({"--port", "sim:chip=" + Path("b.bin"), "--device", "27C512", "device", "27C040", "status"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(std::filesystem::file_size(Path("b.bin")), 0x10000u);

    r = Vexo({"--port", "sim:chip=" + Path("c.bin"), "status"});
    EXPECT_EQ(std::filesystem::file_size(Path("c.bin")), 0x8000u);
}

TEST_F(VexoTest, APortThatCannotBeOpenedIsReportedAndTheRunCarriesOn)
{
    const VexoResult r = Vexo({"--port", "sim:chip=" + Path("no/such/folder/chip.bin"), "status"});
    EXPECT_EQ(r.err.rfind("port: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("cannot create chip file"), std::string::npos) << r.err;
    // The disconnected port has no module on it.
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.Lines(), Concat(Concat({kNoModule}, StatusLines()), {kNoModule}));
}

TEST_F(VexoTest, TraceWritesEveryPortAccess)
{
    VexoResult r = Vexo({"--trace", "wire.log", "status"});
    EXPECT_EQ(r.code, 0);
    const std::string trace = Slurp(Path("wire.log"));
    // The power-on module check: control 0x04, data 0x00, one status read.
    EXPECT_EQ(trace.rfind("W 37A 04\nW 378 00\nR 379 80\n", 0), 0u) << trace.substr(0, 100);
    std::istringstream lines(trace);
    int count = 0;
    for (std::string line; std::getline(lines, line); ++count)
        EXPECT_TRUE(std::regex_match(line, std::regex("[WR] 37[89A] [0-9A-F]{2}"))) << line;
    EXPECT_EQ(count, 6);  // the start-up check and the exit-time check

    // A trace file that cannot be created is a usage error: the chip file is
    // not even created.
    r = Vexo({"--trace", Path("no/such/folder/wire.log"), "--port", "sim:chip=" + Path("chip.bin"), "status"});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_FALSE(std::filesystem::exists(Path("chip.bin")));
}

}  // namespace
}  // namespace vexo::test
