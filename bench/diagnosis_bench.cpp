// SPDX-License-Identifier: GPL-3.0-or-later
// A compare of a whole 27C040 on the simulated module: the scratch read and
// the classification of its bytes against the buffer.
#include <benchmark/benchmark.h>

#include <vector>

#include "port/sim_module.h"
#include "quiet_ui.h"
#include "rom/diagnosis.h"
#include "rom/rom.h"

namespace {

using namespace vexo;

void CompareBench(benchmark::State& state, bool differentImage)
{
    constexpr int kDevice = 4;  // 27C040
    ResetShadows();
    SimModule sim(kDevices[kDevice].Size());
    bench::QuietUi ui;
    CRom rom(sim, ui);
    rom.m_nDevice = kDevice;
    const std::uint32_t size = rom.DeviceSize();
    for (std::uint32_t a = 0; a < size; ++a) {
        rom.m_Buffer[a] = std::uint8_t(a * 7 + (a >> 8));
        sim.SetChipByte(a, differentImage ? std::uint8_t(a * 13 + 5) : rom.m_Buffer[a]);
    }
    std::vector<std::uint8_t> chip(size);
    for (auto _ : state) {
        if (!rom.ReadChip(chip, "compare").ok()) state.SkipWithError("no module");
        const CompareReport report = Compare({rom.m_Buffer.get(), size}, chip);
        benchmark::DoNotOptimize(report.diffs.data());
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * size);
}

void BM_Compare27C040Matching(benchmark::State& state) { CompareBench(state, false); }
void BM_Compare27C040Different(benchmark::State& state) { CompareBench(state, true); }
BENCHMARK(BM_Compare27C040Matching)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Compare27C040Different)->Unit(benchmark::kMillisecond);

}  // namespace
