// SPDX-License-Identifier: GPL-3.0-or-later
// The whole port check on the simulated module and on a port that is not there.
#include <gtest/gtest.h>

#include <filesystem>

#include "port/recorder.h"
#include "rom/port_check_report.h"
#include "support/sim_fixture.h"

namespace vexo {
namespace {

PortCheckOptions EmptyMachine(const test::TempDir& dir)
{
    PortCheckOptions options;
    options.paths = {dir.File("proc"), dir.File("sys"), dir.File("dev"), dir.File("etc")};
    options.user.uid = 1000;
    return options;
}

TEST(PortCheckReport, SimulatedModuleAnswersAndGetsATimeTable)
{
    test::TempDir dir;
    const PortCheckReport report = RunPortCheck("sim", EmptyMachine(dir), 100);
    EXPECT_EQ(report.ExitStatus(), 0);
    const auto& lines = report.lines;
    auto has = [&lines](const std::string& start) {
        for (const std::string& line : lines)
            if (line.rfind(start, 0) == 0) return true;
        return false;
    };
    EXPECT_TRUE(has("problem: this machine shows no parallel port"));
    EXPECT_TRUE(has("ok: port opened: simulated module"));
    EXPECT_TRUE(has("ok: a programming module answers on this port"));
    EXPECT_TRUE(has("ok: one port access takes "));
    EXPECT_TRUE(has("time each command takes on this port (pulse pause 100 us):"));
    EXPECT_TRUE(has("  27C040   Express"));
}

TEST(PortCheckReport, AbsentModuleOrPortFails)
{
    test::TempDir dir;
    EXPECT_EQ(RunPortCheck("sim:module=absent", EmptyMachine(dir), 0).ExitStatus(), 1);
    const PortCheckReport missing = RunPortCheck("ppdev:/dev/vexo-no-such-parport", EmptyMachine(dir), 0);
    EXPECT_EQ(missing.ExitStatus(), 1);
    EXPECT_EQ(missing.lines.back().rfind("problem: cannot open /dev/vexo-no-such-parport: No such "
                                         "file or directory (load the ppdev driver",
                                         0),
              0u)
        << missing.lines.back();
    EXPECT_EQ(missing.lines.back().back(), ')');
    EXPECT_EQ(RunPortCheck("none", EmptyMachine(dir), 0).ExitStatus(), 1);
}

TEST(PortCheckReport, TimingReadsOnly)
{
    RecordingPort port;
    const auto lines = PortTimingLines(port, 0, 200);
    EXPECT_EQ(port.CountWrites(), 0u);
    EXPECT_EQ(port.CountReads(), 200u);
    EXPECT_EQ(lines.size(), 2u + 1u + 15u);
}

}  // namespace
}  // namespace vexo
