// SPDX-License-Identifier: GPL-3.0-or-later
// The program pulse pause, measured inside real pulses, and what skipping
// blank bytes saves on a half-blank 27C512 image.
#include <benchmark/benchmark.h>

#include <chrono>

#include "port/sim_module.h"
#include "quiet_ui.h"
#include "rom/rom.h"
#include "rom/time_estimate.h"

namespace {

using namespace vexo;

// One byte programmed at Express speed (5 pulses) per iteration with the
// pulse pause set to range(0) us. "us/pulse" is the whole time per pulse;
// "min us/pulse" the fastest byte's, which a busy machine cannot stretch: the
// run fails when that is shorter than asked, or, with range(1) set (for an
// idle machine), more than 5% + 10 us longer.
void PulsePause(benchmark::State& state)
{
    const auto micros = std::uint32_t(state.range(0));
    ResetShadows();
    SimModule sim(0x8000);
    bench::QuietUi ui;
    CRom rom(sim, ui);
    rom.m_nSpeed = 2;
    if (!rom.SetPulseMicros(micros).ok()) state.SkipWithError("pulse width refused");
    const int pulses = g_nPulseCount[2];
    std::uint32_t address = 0;
    double seconds = 0;
    double fastest = 1e9;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        rom.ProgramSetup();
        rom.ShiftAddress(address++ & 0x7FFF);
        rom.ProgramByte(0x00);
        const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        seconds += took;
        if (took < fastest) fastest = took;
    }
    state.counters["us/pulse"] = seconds * 1e6 / double(state.iterations()) / pulses;
    const double minPerPulse = fastest * 1e6 / pulses;
    state.counters["min us/pulse"] = minPerPulse;
    // A pause shorter than asked is a fault anywhere; a longer one only on
    // an idle machine (a loaded one preempts the spin).
    if (minPerPulse < micros || (state.range(1) && minPerPulse > micros * 1.05 + 10.0))
        state.SkipWithError("pulse pause out of tolerance");
}
BENCHMARK(PulsePause)
    ->Args({0, 0})
    ->Args({10, 0})
    ->Args({100, 0})
    ->Args({1000, 0})
    ->Args({100, 1})
    ->Unit(benchmark::kMicrosecond);

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

// Auto Write of a 27C512 image whose second half is blank, at Normal speed,
// with blank-byte skipping off (0) or on (1). "accesses" is the wire's count
// per Auto Write; "s@1us" and "s@1us+100us" the time it would take on a port
// of 1 us per access, without and with 100 us pulses.
void SkipBlankAutoWrite(benchmark::State& state)
{
    const bool skip = state.range(0) != 0;
    ResetShadows();
    SimModule sim(0x10000);
    CountingPort port(sim);
    bench::QuietUi ui;
    CRom rom(port, ui);
    rom.m_nDevice = 1;
    rom.SetSkipBlank(skip);
    for (std::uint32_t i = 0; i < 0x10000; ++i) sim.SetChipByte(i, i < 0x8000 ? std::uint8_t(i % 251) : 0xFF);
    rom.ReadAll();  // the buffer now holds the image, marked loaded
    std::uint64_t accesses = 0;
    for (auto _ : state) {
        state.PauseTiming();
        sim.Erase();
        port.count = 0;
        state.ResumeTiming();
        if (!rom.AutoWrite()) state.SkipWithError("auto write failed");
        accesses = port.count;
    }
    const CommandCost cost{accesses, (skip ? 0x8000u : 0x10000u) * std::uint64_t(g_nPulseCount[0])};
    state.counters["accesses"] = double(accesses);
    state.counters["s@1us"] = CommandSeconds(cost, 1000.0, 0);
    state.counters["s@1us+100us"] = CommandSeconds(cost, 1000.0, 100);
    state.SetLabel(skip ? "skip-blank" : "every byte");
}
BENCHMARK(SkipBlankAutoWrite)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
