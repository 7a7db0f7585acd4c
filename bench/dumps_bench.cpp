// SPDX-License-Identifier: GPL-3.0-or-later
// Dumps: Read ROM of a 27C040 with one and three passes on the simulated
// module, and identification over a generated machine listing read as a
// stream (bytes per second of DAT).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "port/sim_module.h"
#include "quiet_ui.h"
#include "rom/rom.h"
#include "rom/rom_identify.h"

namespace {

using namespace vexo;

void BM_ReadPasses(benchmark::State& state)
{
    ResetShadows();
    SimModule sim(kDevices[4].Size());
    bench::QuietUi ui;
    CRom rom(sim, ui);
    rom.m_nDevice = 4;  // 27C040
    rom.m_readPasses = unsigned(state.range(0));
    for (auto _ : state) {
        // Read ROM's module check looks at the lines a port selection leaves.
        rom.InitModule();
        benchmark::DoNotOptimize(rom.ReadRom());
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * rom.DeviceSize() * state.range(0));
    state.counters["passes"] = double(state.range(0));
}
BENCHMARK(BM_ReadPasses)->Arg(1)->Arg(3)->Unit(benchmark::kMillisecond);

// A machine listing of about `megabytes` MB: machines of four roms each.
std::string MakeListing(std::size_t megabytes)
{
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("vexo-bench-listing-" + std::to_string(getpid()) + ".xml")).string();
    std::ofstream out(path, std::ios::binary);
    out << "<?xml version=\"1.0\"?>\n<mame build=\"bench\">\n";
    std::size_t written = 0;
    char rom[256];
    for (unsigned machine = 0; written < megabytes * 1000000; ++machine) {
        std::string text = "\t<machine name=\"m" + std::to_string(machine) + "\" sourcefile=\"bench.cpp\">\n\t\t"
                           "<description>Benchmark machine " + std::to_string(machine) + "</description>\n";
        for (unsigned r = 0; r < 4; ++r) {
            const unsigned x = machine * 4 + r;
            std::snprintf(rom, sizeof rom,
                          "\t\t<rom name=\"rom%u.bin\" size=\"%u\" crc=\"%08x\" sha1=\"%08x%032x\" region=\"maincpu\" "
                          "offset=\"0\"/>\n",
                          r, 0x4000u << (x % 4), x * 2654435761u, x, 0u);
            text += rom;
        }
        text += "\t</machine>\n";
        out << text;
        written += text.size();
    }
    out << "</mame>\n";
    return path;
}

void BM_IdentifyListing(benchmark::State& state)
{
    const std::string path = MakeListing(std::size_t(state.range(0)));
    const std::uintmax_t size = std::filesystem::file_size(path);
    std::vector<std::uint8_t> device(0x80000, 0x5A);
    const std::vector<IdentifyCandidate> candidates = MakeCandidates(device, std::nullopt);
    for (auto _ : state) {
        const IdentifyReport report = Identify(candidates, {path});
        benchmark::DoNotOptimize(report.roms);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations() * size));
    std::filesystem::remove(path);
}
BENCHMARK(BM_IdentifyListing)->Arg(20)->Unit(benchmark::kMillisecond);

}  // namespace
