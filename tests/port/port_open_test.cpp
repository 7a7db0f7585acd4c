// SPDX-License-Identifier: GPL-3.0-or-later
// Port descriptions: their form, opening each backend, chip files and the
// access trace.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "port/port_open.h"
#include "port/sim_module.h"
#include "port/trace_file.h"
#include "support/sim_fixture.h"

namespace vexo {
namespace {

using test::ReadFileBytes;
using test::TempDir;

TEST(PortDescription, AcceptsEveryBackendForm)
{
    for (const char* text :
         {"sim", "sim:chip=/tmp/c.bin", "sim:size=27C040", "sim:size=27c512", "sim:size=0x8000",
          "sim:size=1", "sim:size=16777216", "sim:module=absent", "sim:module=present",
          "sim:pulses=1", "sim:pulses=1000", "sim:chip=rel/c.bin,size=27C010,module=present,pulses=16",
          "ppdev", "ppdev:/dev/parport1", "direct", "direct:0x378", "direct:888", "direct:0",
          "direct:0xFFFD", "none"}) {
        const Status parsed = ParsePortDescription(text);
        const std::string reason = parsed.message();
        EXPECT_TRUE(parsed.ok()) << text << ": " << reason;
        EXPECT_EQ(reason, "") << text;
    }
}

TEST(PortDescription, RefusesMalformedDescriptionsWithAReason)
{
    const std::pair<const char*, const char*> cases[] = {
        {"", "empty port description"},
        {"lpt1", "unknown port backend 'lpt1'"},
        {"Sim", "unknown port backend 'Sim'"},
        {"sim:", "empty option"},
        {"sim:size=27C040,", "empty option"},
        {"sim:chip", "'chip' is not key=value"},
        {"sim:=x", "'=x' is not key=value"},
        {"sim:colour=red", "unknown key 'colour'"},
        {"sim:chip=", "chip= needs a file name"},
        {"sim:size=0", "size=0 is out of range"},
        {"sim:size=16777217", "out of range"},
        {"sim:size=27C080", "size=27C080 is not a chip size"},
        {"sim:size=-5", "not a chip size"},
        {"sim:size=0x", "not a chip size"},
        {"sim:size=12k", "not a chip size"},
        {"sim:module=maybe", "module=maybe"},
        {"sim:pulses=0", "pulses=0"},
        {"sim:pulses=1001", "pulses=1001"},
        {"sim:pulses=x", "pulses=x"},
        {"sim:size=1,size=2", "size= is given twice"},
        {"ppdev:", "is not a device path"},
        {"ppdev:parport0", "'parport0' is not a device path"},
        {"direct:", "is not a port base address"},
        {"direct:0x10000", "'0x10000' is not a port base address"},
        {"direct:0xFFFE", "0xFFFE"},
        {"direct:lpt", "'lpt'"},
        {"none:x", "none: takes no options"},
    };
    for (const auto& [text, expected] : cases) {
        const Status parsed = ParsePortDescription(text);
        const std::string reason = parsed.message();
        EXPECT_FALSE(parsed.ok()) << text;
        EXPECT_NE(reason.find(expected), std::string::npos) << text << " -> " << reason;
        EXPECT_EQ(reason.find('\n'), std::string::npos) << text;
    }
}

TEST(OpenPort, NoneIsTheDisconnectedPort)
{
    OpenedPort opened = OpenPort("none");
    ASSERT_NE(opened.port, nullptr);
    EXPECT_EQ(opened.status.message(), "");
    EXPECT_EQ(opened.description, "disconnected (no port)");
    EXPECT_FALSE(opened.simulated);
    opened.port->Out(kControlPort, 0x04);
    opened.port->Out(kDataPort, 0x00);
    EXPECT_EQ(opened.port->In(kStatusPort), 0x7F);
}

TEST(OpenPort, MalformedDescriptionGivesTheDisconnectedPortAndTheReason)
{
    OpenedPort opened = OpenPort("sim:pulses=0");
    ASSERT_NE(opened.port, nullptr);
    EXPECT_EQ(opened.port->In(kStatusPort), 0x7F);
    EXPECT_NE(opened.status.message().find("pulses=0"), std::string::npos) << opened.status.message();
    EXPECT_FALSE(opened.simulated);
}

TEST(OpenPort, MissingPpdevDeviceNamesThePathTheReasonAndTheFix)
{
    OpenedPort opened = OpenPort("ppdev:/dev/vexo-no-such-parport");
    ASSERT_NE(opened.port, nullptr);
    EXPECT_EQ(opened.port->In(kStatusPort), 0x7F);
    EXPECT_EQ(opened.description, "disconnected (no port)");
    EXPECT_NE(opened.status.message().find("cannot open /dev/vexo-no-such-parport: No such file or directory;"),
              std::string::npos)
        << opened.status.message();
    EXPECT_NE(opened.status.message().find("modprobe ppdev"), std::string::npos) << opened.status.message();
    EXPECT_EQ(opened.status.message().find('\n'), std::string::npos);
}

TEST(OpenPort, FileThatIsNoParallelPortIsRefusedAtClaim)
{
    TempDir dir;
    const std::string path = dir.Write("not-a-port", {1, 2, 3});
    OpenedPort opened = OpenPort("ppdev:" + path);
    EXPECT_EQ(opened.port->In(kStatusPort), 0x7F);
    EXPECT_NE(opened.status.message().find(path), std::string::npos) << opened.status.message();
    EXPECT_NE(opened.status.message().find("is not a ppdev parallel port"), std::string::npos)
        << opened.status.message();
}

TEST(OpenPort, SimInMemoryTakesTheDefaultSizeAndItsKeys)
{
    PortOptions options;
    options.defaultChipSize = 0x20000;
    OpenedPort opened = OpenPort("sim", options);
    ASSERT_EQ(opened.status.message(), "");
    EXPECT_TRUE(opened.simulated);
    EXPECT_EQ(opened.description, "simulated module, chip in memory (131072 bytes)");
    auto* sim = dynamic_cast<SimModule*>(opened.port.get());
    ASSERT_NE(sim, nullptr);
    EXPECT_EQ(sim->Size(), 0x20000u);
    EXPECT_EQ(opened.port->In(kStatusPort), 0x80);

    opened = OpenPort("sim:size=27C040,module=absent,pulses=16", options);
    ASSERT_EQ(opened.status.message(), "");
    sim = dynamic_cast<SimModule*>(opened.port.get());
    ASSERT_NE(sim, nullptr);
    EXPECT_EQ(sim->Size(), 0x80000u);
    EXPECT_EQ(sim->PulsesToProgram(), 16u);
    EXPECT_EQ(opened.port->In(kStatusPort), 0x7F);
    EXPECT_EQ(opened.description,
              "simulated module, chip in memory (524288 bytes), module absent, 16 pulses per byte");
}

TEST(ChipFile, CreatedErasedAtSizeAndProgrammedBytesPersist)
{
    TempDir dir;
    const std::string path = dir.File("chip.bin");
    {
        OpenedPort opened = OpenPort("sim:chip=" + path + ",size=27C512");
        ASSERT_EQ(opened.status.message(), "");
        EXPECT_EQ(opened.description, "simulated module, chip file " + path + " (65536 bytes)");
        auto* sim = dynamic_cast<SimModule*>(opened.port.get());
        ASSERT_NE(sim, nullptr);
        EXPECT_EQ(sim->ChipPath(), path);
        EXPECT_EQ(ReadFileBytes(path), std::vector<std::uint8_t>(0x10000, 0xFF));
        sim->SetChipByte(0x1234, 0x00);
        // Written through: the byte is in the file before the port closes.
        EXPECT_EQ(ReadFileBytes(path)[0x1234], 0x00);
    }
    EXPECT_EQ(access((path + ".new-" + std::to_string(getpid())).c_str(), F_OK), -1);

    // The existing file's size wins over size= and the default.
    PortOptions options;
    options.defaultChipSize = 0x80000;
    OpenedPort again = OpenPort("sim:size=27C256,chip=" + path, options);
    ASSERT_EQ(again.status.message(), "");
    auto* sim = dynamic_cast<SimModule*>(again.port.get());
    ASSERT_NE(sim, nullptr);
    EXPECT_EQ(sim->Size(), 0x10000u);
    EXPECT_EQ(sim->ChipByte(0x1234), 0x00);
    EXPECT_EQ(sim->ChipByte(0x1235), 0xFF);
}

TEST(ChipFile, NewChipWithoutSizeTakesTheDefault)
{
    TempDir dir;
    const std::string path = dir.File("chip.bin");
    PortOptions options;
    options.defaultChipSize = 0x40000;
    OpenedPort opened = OpenPort("sim:chip=" + path, options);
    ASSERT_EQ(opened.status.message(), "");
    EXPECT_EQ(ReadFileBytes(path).size(), 0x40000u);
}

TEST(ChipFile, UnusableFilesAreOpenErrorsNamingTheFile)
{
    TempDir dir;
    const std::string empty = dir.Write("empty.bin", {});
    const std::string big = dir.File("big.bin");
    ASSERT_EQ(truncate(dir.Write("big.bin", {0}).c_str(), off_t(kMaxChipSize) + 1), 0);
    const std::string nowhere = dir.File("no/such/folder/chip.bin");

    const std::pair<std::string, std::string> cases[] = {
        {empty, "is empty"},
        {big, "holds 16777217 bytes, more than the 16 MiB"},
        {dir.Path(), "cannot open chip file"},
        {nowhere, "cannot create chip file"},
    };
    for (const auto& [path, expected] : cases) {
        OpenedPort opened = OpenPort("sim:chip=" + path);
        ASSERT_NE(opened.port, nullptr);
        EXPECT_FALSE(opened.simulated) << path;
        EXPECT_EQ(opened.port->In(kStatusPort), 0x7F) << path;
        EXPECT_NE(opened.status.message().find(path), std::string::npos) << opened.status.message();
        EXPECT_NE(opened.status.message().find(expected), std::string::npos) << opened.status.message();
    }
    // A bad default size for a new chip is refused too, and leaves no file.
    PortOptions options;
    options.defaultChipSize = 0;
    EXPECT_NE(OpenPort("sim:chip=" + dir.File("zero.bin"), options).status.message(), "");
    EXPECT_NE(access(dir.File("zero.bin").c_str(), F_OK), 0);
}

TEST(TraceFile, OneLinePerAccessInOrder)
{
    TempDir dir;
    const std::string path = dir.File("trace.txt");
    Result<std::unique_ptr<IPort>> made = MakeTraceFile(std::make_unique<SimModule>(0x8000), path);
    ASSERT_TRUE(made.ok()) << made.message();
    EXPECT_EQ(made.message(), "");
    std::unique_ptr<IPort> port = std::move(*made);
    port->Out(kControlPort, 0x04);
    port->Out(kDataPort, 0x00);
    EXPECT_EQ(port->In(kStatusPort), 0x80);  // the wrapped module answers
    port->Out(kControlPort, 0xAB);
    port->Out(0x1234, 0x0F);
    port.reset();
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), "W 37A 04\nW 378 00\nR 379 80\nW 37A AB\nW 1234 0F\n");
}

TEST(TraceFile, LongTracesAreComplete)
{
    TempDir dir;
    const std::string path = dir.File("trace.txt");
    Result<std::unique_ptr<IPort>> made = MakeTraceFile(OpenPort("none").port, path);
    ASSERT_TRUE(made.ok()) << made.message();
    std::unique_ptr<IPort> port = std::move(*made);
    const int n = 300000;  // several buffers' worth
    for (int i = 0; i < n; ++i) port->Out(kDataPort, std::uint8_t(i));
    port.reset();
    const auto bytes = ReadFileBytes(path);
    ASSERT_EQ(bytes.size(), std::size_t(n) * 9);
    const std::string last(bytes.end() - 9, bytes.end());
    EXPECT_EQ(last, "W 378 DF\n");  // (300000 - 1) & 0xFF
}

TEST(TraceFile, CreationAndWriteFailuresAreReportedNotFatal)
{
    TempDir dir;
    const std::string path = dir.File("missing/trace.txt");
    const Result<std::unique_ptr<IPort>> missing = MakeTraceFile(OpenPort("none").port, path);
    EXPECT_FALSE(missing.ok());
    const std::string error = missing.message();
    EXPECT_NE(error.find("cannot create trace file " + path), std::string::npos) << error;

    // A full disk: the traffic goes on, the trace records its failure.
    Result<std::unique_ptr<TraceFilePort>> made =
        TraceFilePort::Create(std::make_unique<SimModule>(0x100), "/dev/full");
    ASSERT_TRUE(made.ok()) << made.message();
    std::unique_ptr<TraceFilePort> full = std::move(*made);
    for (int i = 0; i < 200000; ++i) full->Out(kDataPort, 0x00);
    EXPECT_EQ(full->In(kStatusPort), 0x80);
    EXPECT_FALSE(full->Flush().ok());
    EXPECT_NE(full->Error().message().find("/dev/full"), std::string::npos) << full->Error().message();
}

}  // namespace
}  // namespace vexo
