// SPDX-License-Identifier: GPL-3.0-or-later
// The port layer and the device object's serial primitives on the simulated
// module: nanoseconds per port access through the virtual interface, and
// bytes per second for one-byte read and program sequences.
#include <benchmark/benchmark.h>

#include <memory>
#include <optional>
#include <vector>

#include "port/port_open.h"
#include "port/recorder.h"
#include "port/sim_module.h"
#include "quiet_ui.h"
#include "rom/rom.h"

namespace {

using namespace vexo;

using bench::QuietUi;

constexpr int k27C040 = 4;

// The device object's wire traffic for `bytes` consecutive bytes of one kind,
// recorded once so that replaying it measures the port alone.
std::vector<PortAccess> RecordTraffic(bool program, std::uint32_t bytes)
{
    ResetShadows();
    SimModule sim(0x80000);
    RecordingPort recorder(&sim);
    QuietUi ui;
    CRom rom(recorder, ui);
    rom.m_nDevice = k27C040;
    recorder.Clear();
    for (std::uint32_t a = 0; a < bytes; ++a) {
        if (program) {
            rom.ProgramSetup();
            rom.ShiftAddress(a);
            rom.ProgramByte(std::uint8_t(a * 7));
        } else {
            rom.ResetLines();
            rom.ShiftAddress(a);
            rom.SetControlBit3();
            benchmark::DoNotOptimize(rom.ReadByte());
        }
    }
    return recorder.Log();
}

// The port as the device object sees it: an IPort the compiler cannot see through.
IPort& Opaque(IPort& port)
{
    IPort* p = &port;
    benchmark::DoNotOptimize(p);
    return *p;
}

void ReplayThroughSim(benchmark::State& state, bool program)
{
    const auto traffic = RecordTraffic(program, 256);
    SimModule sim(0x80000);
    IPort& port = Opaque(sim);
    for (auto _ : state) {
        for (const PortAccess& access : traffic) {
            if (access.op == 'W')
                port.Out(access.address, access.value);
            else
                benchmark::DoNotOptimize(port.In(access.address));
        }
    }
    const auto accesses = std::int64_t(state.iterations()) * std::int64_t(traffic.size());
    state.SetItemsProcessed(accesses);
    state.counters["ns/access"] = benchmark::Counter(
        double(accesses) * 1e-9, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// ns per port access, read traffic (mostly data writes, 8 status reads a byte).
void BM_SimAccess_ReadTraffic(benchmark::State& state) { ReplayThroughSim(state, false); }
BENCHMARK(BM_SimAccess_ReadTraffic);

// ns per port access, programming traffic at Normal (mostly control writes).
void BM_SimAccess_ProgramTraffic(benchmark::State& state) { ReplayThroughSim(state, true); }
BENCHMARK(BM_SimAccess_ProgramTraffic);

// For scale: the disconnected port, an access that does nothing.
void BM_NoneAccess(benchmark::State& state)
{
    OpenedPort none = OpenPort("none");
    IPort& port = Opaque(*none.port);
    std::uint8_t v = 0;
    for (auto _ : state) {
        port.Out(kDataPort, v++);
        benchmark::DoNotOptimize(port.In(kStatusPort));
    }
    state.SetItemsProcessed(std::int64_t(state.iterations()) * 2);
    state.counters["ns/access"] = benchmark::Counter(
        double(state.iterations()) * 2 * 1e-9, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_NoneAccess);

struct RomOnSim {
    RomOnSim() : sim(0x80000)
    {
        ResetShadows();
        rom = std::make_unique<CRom>(sim, ui);
        rom->m_nDevice = k27C040;
        rom->m_nSpeed = 0;
    }
    SimModule sim;
    QuietUi ui;
    std::unique_ptr<CRom> rom;
};

// One byte as the read pass reads it: line reset, address, bit 3, serial read
// (103 port accesses).
void BM_RomReadByte(benchmark::State& state)
{
    RomOnSim s;
    std::uint32_t address = 0;
    for (auto _ : state) {
        s.rom->ResetLines();
        s.rom->ShiftAddress(address);
        s.rom->SetControlBit3();
        benchmark::DoNotOptimize(s.rom->ReadByte());
        address = (address + 1) & 0x7FFFF;
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()));
}
BENCHMARK(BM_RomReadByte);

// One byte of a 27C040 programmed at Normal: set-up, address, 20 pulses
// (219 port writes).
void BM_RomProgramByteNormal(benchmark::State& state)
{
    RomOnSim s;
    std::uint32_t address = 0;
    for (auto _ : state) {
        s.rom->ProgramSetup();
        s.rom->ShiftAddress(address);
        s.rom->ProgramByte(std::uint8_t(address));
        address = (address + 1) & 0x7FFFF;
        if (address == 0) s.sim.Erase();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()));
}
BENCHMARK(BM_RomProgramByteNormal);

}  // namespace
