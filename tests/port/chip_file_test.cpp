// SPDX-License-Identifier: GPL-3.0-or-later
// The simulator's chip file under attack: another program on it, a file cut
// short under the run, sparse files, the shared-files check around it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/file_roles.h"
#include "port/port_open.h"
#include "port/sim_module.h"
#include "support/sim_fixture.h"

namespace vexo {
using test::ReadFileBytes;
using test::TempDir;
namespace {

TEST(ChipFileLock, ASecondModuleOnTheSameChipIsTurnedAwayUntilTheFirstCloses)
{
    TempDir dir;
    const std::string path = dir.File("chip.bin");
    {
        OpenedPort first = OpenPort("sim:chip=" + path + ",size=27C256");
        ASSERT_EQ(first.status.message(), "");
        OpenedPort second = OpenPort("sim:chip=" + path);
        EXPECT_FALSE(second.simulated);
        EXPECT_NE(second.status.message().find("chip file in use by another program"), std::string::npos)
            << second.status.message();
    }
    EXPECT_EQ(OpenPort("sim:chip=" + path).status.message(), "");
}

TEST(ChipFileLock, AFileCutShortUnderTheRunCostsNoCrashAndGetsItsBytesBack)
{
    TempDir dir;
    const std::string path = dir.File("chip.bin");
    OpenedPort opened = OpenPort("sim:chip=" + path + ",size=27C256");
    ASSERT_EQ(opened.status.message(), "");
    auto* sim = dynamic_cast<SimModule*>(opened.port.get());
    ASSERT_NE(sim, nullptr);
    ASSERT_EQ(::truncate(path.c_str(), 0), 0);  // another program, ignoring the lock
    for (std::uint32_t a = 0; a < 0x8000; a += 0x1000) EXPECT_EQ(sim->ChipByte(a), 0xFF);
    sim->SetChipByte(0x7FFF, 0x12);
    EXPECT_TRUE(sim->FileStatus().ok());
    const auto bytes = ReadFileBytes(path);
    ASSERT_EQ(bytes.size(), 0x8000u);
    EXPECT_EQ(bytes[0x7FFF], 0x12);
}

TEST(ChipFileLock, ASparseChipHasItsBlocksOnceOpened)
{
    TempDir dir;
    const std::string path = dir.File("sparse.bin");
    ASSERT_EQ(::truncate(dir.Write("sparse.bin", {0xFF}).c_str(), 0x80000), 0);
    OpenedPort opened = OpenPort("sim:chip=" + path);
    ASSERT_EQ(opened.status.message(), "");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_GE(std::uint64_t(st.st_blocks) * 512u, 0x80000u);
}

TEST(FileRoles, EachFileHasOneRoleWhileItIsHeld)
{
    TempDir dir;
    const std::string chip = dir.Write("c.bin", {1, 2, 3});
    ::symlink("c.bin", dir.File("link").c_str());
    ::symlink("nothing-yet", dir.File("dangling").c_str());
    auto check = [](std::vector<FileRole> roles) { return CheckFileRoles(roles).ok(); };

    EXPECT_FALSE(check({{"chip", chip, true}, {"--trace", dir.File("link"), true}}));
    EXPECT_FALSE(check({{"chip", chip, true}, {"save", dir.Path() + "/./c.bin", false, 3}}));
    EXPECT_FALSE(check({{"--trace", dir.File("new.log"), true},
                        {"--vcd", dir.Path() + "/../" + dir.Path().substr(dir.Path().rfind('/') + 1) + "/new.log", true}}));
    EXPECT_FALSE(check({{"--trace", dir.File("nothing-yet"), true}, {"save", dir.File("dangling"), false, 1}}));
    EXPECT_FALSE(check({{"convert", chip, false, 2}, {"convert", dir.File("link"), false, 2}}));
    // One step after another may share a file; /dev/null takes any role.
    EXPECT_TRUE(check({{"save", chip, false, 1}, {"load", chip, false, 2}}));
    EXPECT_TRUE(check({{"--trace", "/dev/null", true}, {"--vcd", "/dev/null", true}}));
    EXPECT_TRUE(check({{"chip", chip, true}, {"--trace", "", true}, {"save", dir.File("other"), false, 1}}));
    // Records (a log, a report) and images never share a file, whichever steps.
    EXPECT_FALSE(check({{"load", chip, false, 1}, {"batch --log", dir.File("link"), false, 2, true}}));
    EXPECT_FALSE(check({{"compare --csv", chip, false, 1, true}, {"export", chip, false, 3}}));
    EXPECT_TRUE(check({{"compare --csv", chip, false, 1, true}, {"compare --csv", chip, false, 2, true}}));

    const Status clash = CheckFileRoles({{"the chip file", chip, true}, {"--trace", chip, true}});
    EXPECT_EQ(clash.message(), "the chip file " + chip + " and --trace " + chip +
                                   " are the same file; give each its own");
}

}  // namespace
}  // namespace vexo
