// SPDX-License-Identifier: GPL-3.0-or-later
// A 27C040 Auto Write onto a chip file beside the same run on a chip in
// memory: the write-back of programmed bytes must cost next to nothing.
// Each runs five times; the table takes the medians and the file's write
// calls per run.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "port/sim_module.h"
#include "quiet_ui.h"
#include "rom/rom.h"

namespace {

using namespace vexo;

using bench::QuietUi;

void AutoWriteOn(benchmark::State& state, SimModule& sim)
{
    ResetShadows();
    QuietUi ui;
    CRom rom(sim, ui);
    rom.m_nDevice = 4;
    for (std::uint32_t i = 0; i < 0x80000; ++i) rom.m_Buffer[i] = std::uint8_t(i * 37 + 11);
    std::uint64_t writes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        sim.Erase();
        const std::uint64_t before = sim.FileWrites();
        state.ResumeTiming();
        rom.RunBlankCheck();
        rom.ProgramAll();
        rom.ResetLines();
        rom.VerifyAll();
        if (rom.m_bError) state.SkipWithError("auto write failed");
        writes += sim.FileWrites() - before;
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * 0x80000);
    state.counters["file writes"] = double(writes) / double(state.iterations());
}

void AutoWrite27C040InMemory(benchmark::State& state)
{
    SimModule sim(0x80000);
    AutoWriteOn(state, sim);
}

void AutoWrite27C040ChipFile(benchmark::State& state)
{
    char dir[] = "/tmp/vexo-bench-XXXXXX";
    if (!mkdtemp(dir)) {
        state.SkipWithError("no scratch folder");
        return;
    }
    const std::string path = std::string(dir) + "/chip.bin";
    {
        SimConfig config;
        config.chipPath = path;
        Result<std::unique_ptr<SimModule>> sim = SimModule::Open(config, 0x80000);
        if (!sim) state.SkipWithError(sim.message().c_str());
        else AutoWriteOn(state, **sim);
    }
    std::remove(path.c_str());
    rmdir(dir);
}

BENCHMARK(AutoWrite27C040InMemory)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(AutoWrite27C040ChipFile)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace
