// SPDX-License-Identifier: GPL-3.0-or-later
// The port check, part numbers and the line test through the built vexo.
#include <string>

#include "vexo_runner.h"

namespace vexo::test {
namespace {

bool HasLineStarting(const VexoResult& r, const std::string& start)
{
    for (const std::string& line : r.Lines())
        if (line.rfind(start, 0) == 0) return true;
    return false;
}

TEST_F(VexoTest, DoctorWithoutAPortSaysSoAndFails)
{
    const VexoResult r = Vexo({"--port", "ppdev:/dev/vexo-no-such-parport", "doctor"});
    EXPECT_EQ(r.code, 1) << r.out << r.err;
    EXPECT_TRUE(HasLineStarting(r, "problem: cannot open /dev/vexo-no-such-parport")) << r.out;
    // Nothing opened, so no time table.
    EXPECT_FALSE(HasLineStarting(r, "ok: one port access takes")) << r.out;
    // The open error is on standard error too, before the steps, as always.
    EXPECT_NE(r.err.find("vexo: cannot open /dev/vexo-no-such-parport"), std::string::npos) << r.err;
}

TEST_F(VexoTest, DoctorOnTheSimulatorTimesThePortAtThePulseWidth)
{
    const VexoResult r = Vexo({"--pulse-us", "100", "doctor"});
    EXPECT_EQ(r.code, 0) << r.out << r.err;
    EXPECT_TRUE(HasLineStarting(r, "ok: port opened: simulated module")) << r.out;
    EXPECT_TRUE(HasLineStarting(r, "ok: a programming module answers on this port")) << r.out;
    EXPECT_TRUE(HasLineStarting(r, "time each command takes on this port (pulse pause 100 us):")) << r.out;

    const VexoResult absent = Vexo({"--port", "sim:module=absent", "doctor"});
    EXPECT_EQ(absent.code, 1);
    EXPECT_TRUE(HasLineStarting(absent, "problem: no programming module answers")) << absent.out;
}

TEST_F(VexoTest, PartNumbersSelectTheirDevice)
{
    const VexoResult r = Vexo({"--device", "M27C512-12F1", "status"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("Device Type: 27C512"), std::string::npos) << r.out;

    // The step takes them too; a note that matters reaches standard error.
    const VexoResult w = Vexo({"device", "W27C512-45", "status"});
    EXPECT_EQ(w.code, 0) << w.err;
    EXPECT_NE(w.out.find("Device Type: 27C512"), std::string::npos) << w.out;
    EXPECT_NE(w.err.find("cannot erase"), std::string::npos) << w.err;

    // The simulated chip made for the run has the part's size.
    const VexoResult big = Vexo({"--port", "sim:chip=" + Path("chip.bin"), "--device", "AT27C040-70PC",
                                 "blank"});
    EXPECT_EQ(big.code, 0) << big.err;
    EXPECT_EQ(Slurp(Path("chip.bin")).size(), 0x80000u);
}

TEST_F(VexoTest, UnknownPartNumberListsTheClosestAndNothingRuns)
{
    const VexoResult r = Vexo({"--device", "27C521", "status"});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("unknown device '27C521'"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("the closest are 27C512"), std::string::npos) << r.err;
}

TEST_F(VexoTest, LineTestRefusedWithoutATerminal)
{
    const std::string trace = Path("wire.log");
    const VexoResult r = Vexo({"--trace", trace, "lines"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("the line test needs a terminal"), std::string::npos) << r.err;
    // Only the start-up and exit module checks and resets are on the wire:
    // the same traffic as a run that does nothing.
    const VexoResult idle = Vexo({"--trace", Path("idle.log"), "status"});
    EXPECT_EQ(Slurp(trace), Slurp(Path("idle.log")));
}

}  // namespace
}  // namespace vexo::test
