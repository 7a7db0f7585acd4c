// SPDX-License-Identifier: GPL-3.0-or-later
// Whole-device passes on the simulated module, per device: bytes per second
// and nanoseconds per port access.
#include <benchmark/benchmark.h>

#include <memory>
#include <optional>

#include "port/sim_module.h"
#include "quiet_ui.h"
#include "rom/rom.h"

namespace {

using namespace vexo;

using bench::QuietUi;

enum Pass { kBlank, kProgram, kVerify, kRead };

// Port accesses per byte: writes plus status reads.
int AccessesPerByte(Pass pass, int device, int speed)
{
    const int lastBank = g_nLastBank[device];
    const bool bit4 = lastBank == 1 || lastBank == 3 || lastBank == 7;
    switch (pass) {
    case kBlank:
    case kRead: return 95 + 8;
    case kVerify: return (lastBank == 7 ? 96 : bit4 ? 97 : 95) + 8;
    case kProgram: {
        const int setup = bit4 ? 5 : 4;
        const int pulse = lastBank == 7 ? 7 : bit4 ? 6 : 3;
        return setup + 72 + 2 + g_nPulseCount[speed] * pulse;
    }
    }
    return 0;
}

void RunPass(benchmark::State& state, Pass pass)
{
    const int device = int(state.range(0));
    ResetShadows();
    SimModule sim(kDevices[device].Size());
    QuietUi ui;
    CRom rom(sim, ui);
    rom.m_nDevice = std::int8_t(device);
    const std::uint32_t size = rom.DeviceSize();
    // An image of zeros programs every cell; the chip is erased again before
    // each program pass so that every pass does the same work.
    if (pass == kProgram) std::fill_n(rom.m_Buffer.get(), size, std::uint8_t(0x00));
    else if (pass == kVerify) std::fill_n(rom.m_Buffer.get(), size, std::uint8_t(0xFF));

    for (auto _ : state) {
        if (pass == kProgram) {
            state.PauseTiming();
            sim.Erase();
            state.ResumeTiming();
        }
        switch (pass) {
        case kBlank: rom.RunBlankCheck(); break;
        case kProgram: rom.ProgramAll(); break;
        case kVerify: rom.VerifyAll(); break;
        case kRead: rom.ReadAll(); break;
        }
        if (rom.m_bError) state.SkipWithError("pass failed");
    }
    const double accesses = double(size) * AccessesPerByte(pass, device, rom.m_nSpeed);
    state.SetBytesProcessed(std::int64_t(state.iterations()) * size);
    state.counters["ns/access"] = benchmark::Counter(
        accesses * double(state.iterations()) * 1e-9,
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.SetLabel(std::string(kDevices[device].name));
}

void DeviceArgs(benchmark::internal::Benchmark* b)
{
    for (int device = 0; device < kDeviceCount; ++device) b->Arg(device);
    b->Unit(benchmark::kMillisecond);
}

BENCHMARK_CAPTURE(RunPass, BlankCheck, kBlank)->Apply(DeviceArgs);
BENCHMARK_CAPTURE(RunPass, ProgramNormal, kProgram)->Apply(DeviceArgs);
BENCHMARK_CAPTURE(RunPass, Verify, kVerify)->Apply(DeviceArgs);
BENCHMARK_CAPTURE(RunPass, Read, kRead)->Apply(DeviceArgs);

// One 27C040 Auto Write at Normal speed: blank check, program, verify.
void AutoWrite27C040(benchmark::State& state)
{
    ResetShadows();
    SimModule sim(0x80000);
    QuietUi ui;
    CRom rom(sim, ui);
    rom.m_nDevice = 4;
    for (std::uint32_t i = 0; i < 0x80000; ++i) rom.m_Buffer[i] = std::uint8_t(i * 37 + 11);
    for (auto _ : state) {
        state.PauseTiming();
        sim.Erase();
        state.ResumeTiming();
        rom.RunBlankCheck();
        rom.ProgramAll();
        rom.ResetLines();
        rom.VerifyAll();
        if (rom.m_bError) state.SkipWithError("auto write failed");
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * 0x80000);
}
BENCHMARK(AutoWrite27C040)->Unit(benchmark::kMillisecond);

}  // namespace
