// SPDX-License-Identifier: GPL-3.0-or-later
// The access counts behind the time table, checked against what the commands
// really send, and the duration and progress texts.
#include <gtest/gtest.h>

#include "port/sim_module.h"
#include "rom/time_estimate.h"
#include "support/rom_fixture.h"
#include "support/sim_fixture.h"

namespace vexo::test {
namespace {

// Counts the accesses on their way to the simulated module.
class CountingPort final : public IPort {
public:
    explicit CountingPort(IPort& inner) : m_inner(inner) {}
    std::uint8_t In(std::uint16_t address) override
    {
        ++count;
        return m_inner.In(address);
    }
    void Out(std::uint16_t address, std::uint8_t value) override
    {
        ++count;
        m_inner.Out(address, value);
    }
    std::uint64_t count = 0;

private:
    IPort& m_inner;
};

// Runs `command` on a fresh erased chip holding a loaded image of `fill`
// (every other byte 0xFF when `halfBlank`) and returns the accesses it made.
std::uint64_t Measure(Command command, int device, int speed, bool skipBlank = false,
                      bool halfBlank = false)
{
    ResetShadows();
    SimModule sim(kDevices[device].Size());
    CountingPort port(sim);
    UiRecorder ui;
    CRom rom(port, ui);
    rom.m_nDevice = std::int8_t(device);
    rom.m_nSpeed = std::int8_t(speed);
    rom.SetSkipBlank(skipBlank);
    // The image comes in as a read of a chip holding it, which marks it loaded.
    for (std::uint32_t i = 0; i < rom.DeviceSize(); ++i)
        sim.SetChipByte(i, (halfBlank && i % 2) ? 0xFF : std::uint8_t(i % 251));
    rom.ReadAll();
    if (command != Command::Verify) sim.Erase();
    port.count = 0;
    bool ok = false;
    switch (command) {
    case Command::ReadRom: ok = rom.ReadRom(); break;
    case Command::BlankCheck: ok = rom.BlankCheck(); break;
    case Command::WriteRom: ok = rom.WriteRom(); break;
    case Command::Verify: ok = rom.VerifyRom(); break;
    case Command::AutoWrite: ok = rom.AutoWrite(); break;
    }
    return ok ? port.count : 0;
}

TEST(TimeEstimate, CountsMatchTheCommandsTraffic)
{
    // Every command on the single-bank parts at every speed, and on a banked
    // part at one speed (the larger ones are slow to simulate).
    struct Case {
        int device;
        int speed;
    };
    const Case cases[] = {{0, 0}, {0, 2}, {1, 1}, {2, 2}};
    for (const Case& c : cases) {
        for (int command = 0; command < kCommandCount; ++command) {
            const Command cmd = Command(command);
            EXPECT_EQ(Measure(cmd, c.device, c.speed), CountCommand(cmd, c.device, c.speed).accesses)
                << CommandName(cmd) << " " << kDevices[c.device].name << " speed " << c.speed;
        }
    }
}

TEST(TimeEstimate, LargestPartPerByte)
{
    // The 27C040's own pulse and verify shapes: 219/184/114 writes per
    // programmed byte (the wire tests' numbers), 96 writes and 8 reads per
    // verified byte.
    const std::uint64_t size = 0x80000;
    const std::uint64_t verify = CountCommand(Command::Verify, 4, 0).accesses;
    EXPECT_EQ(verify, size * 104);
    const std::uint64_t perByte[] = {219, 184, 114};
    for (int speed = 0; speed < kSpeedCount; ++speed) {
        const CommandCost write = CountCommand(Command::WriteRom, 4, speed);
        EXPECT_EQ(write.accesses, 103 + size * perByte[speed] + verify) << speed;
    }
}

TEST(TimeEstimate, SkippedBytesCostNothing)
{
    for (Command cmd : {Command::WriteRom, Command::AutoWrite}) {
        const std::uint64_t measured = Measure(cmd, 1, 2, true, true);
        const CommandCost expected = CountCommand(cmd, 1, 2, 0x8000);
        EXPECT_EQ(measured, expected.accesses) << CommandName(cmd);
        EXPECT_EQ(expected.pulses, 0x8000u * 5);
        EXPECT_LT(expected.accesses, CountCommand(cmd, 1, 2).accesses);
    }
    // More skipped bytes than the device has: nothing is programmed.
    EXPECT_EQ(CountCommand(Command::WriteRom, 0, 0, 0xFFFFFFFF).pulses, 0u);
}

TEST(TimeEstimate, SecondsAddThePulsePause)
{
    const CommandCost cost{1000000, 2000};
    EXPECT_DOUBLE_EQ(CommandSeconds(cost, 1000.0, 0), 1.0);
    EXPECT_DOUBLE_EQ(CommandSeconds(cost, 1000.0, 500), 2.0);
    // A 27C512 written at Normal speed with 100 us pulses: 65536 * 20 pulses.
    const CommandCost write = CountCommand(Command::WriteRom, 1, 0);
    EXPECT_EQ(write.pulses, 65536u * 20);
    EXPECT_NEAR(CommandSeconds(write, 0.0, 100), 131.072, 1e-9);
}

TEST(TimeEstimate, Durations)
{
    EXPECT_EQ(FormatDuration(0.0), "0.0 s");
    EXPECT_EQ(FormatDuration(3.24), "3.2 s");
    EXPECT_EQ(FormatDuration(12.4), "12 s");
    EXPECT_EQ(FormatDuration(80.0), "1 min 20 s");
    EXPECT_EQ(FormatDuration(7500.0), "2 h 5 min");
    EXPECT_EQ(FormatDuration(-1.0), "0.0 s");
    EXPECT_EQ(FormatDuration(std::nan("")), "0.0 s");
}

TEST(TimeEstimate, TableHasALinePerDeviceAndSpeed)
{
    const auto lines = FormatTimeTable(1000.0, 0);
    ASSERT_EQ(lines.size(), 1u + kDeviceCount * kSpeedCount);
    EXPECT_NE(lines[0].find("Auto Write"), std::string::npos);
    EXPECT_EQ(lines[1].rfind("27C256   Normal", 0), 0u) << lines[1];
    EXPECT_EQ(lines.back().rfind("27C040   Express", 0), 0u) << lines.back();
    // 27C256 Blank Check at 1 us per access: 32768 * 103 accesses.
    EXPECT_NE(lines[1].find("3.4 s"), std::string::npos) << lines[1];
}

TEST(TimeEstimate, PassProgress)
{
    EXPECT_EQ(FormatPassProgress("Programming", 0, 100, 0.0), "Programming 0%");
    EXPECT_EQ(FormatPassProgress("Programming", 45, 100, 0.2), "Programming 45%");
    EXPECT_EQ(FormatPassProgress("Programming", 45, 100, 65.5), "Programming 45%, about 1 min 20 s left");
    EXPECT_EQ(FormatPassProgress("Verify", 100, 100, 10.0), "Verify 100%");
    EXPECT_EQ(FormatPassProgress("Verify", 200, 100, 10.0), "Verify 100%");
    EXPECT_EQ(FormatPassProgress("Verify", 0, 0, 10.0), "Verify 0%");
}

}  // namespace
}  // namespace vexo::test
