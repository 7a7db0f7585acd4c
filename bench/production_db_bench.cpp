// SPDX-License-Identifier: GPL-3.0-or-later
// What a shared record adds to each chip of a production run: the serial
// number taken from the database in its transaction, and the chip's row
// written, as one chip of `batch --serial … --log DATABASE` does.
//   SQLite: a file in a scratch folder.
//   PostgreSQL: the connection string in VEXO_BENCH_POSTGRES (bench/db_bench.sh
//   starts a throwaway cluster and sets it); skipped without it.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "rom/production_db.h"

namespace {

void ChipRecords(benchmark::State& state, const std::string& target)
{
    auto db = vexo::ProductionDatabase::Open(target);
    if (!db) {
        state.SkipWithError(db.message().c_str());
        return;
    }
    vexo::ProductionRecord record;
    record.device = "27C512";
    record.image = "fw.bin";
    record.passed = true;
    record.seconds = 2.5;
    const std::string plan = "0x7FF0:4:1000:1:le";
    const std::string image(64, 'a');
    unsigned chip = 0;
    for (auto _ : state) {
        if (vexo::Status up = (*db)->Reachable(); !up) {
            state.SkipWithError(up.message().c_str());
            return;
        }
        auto serial = (*db)->TakeSerial(plan, image, 1000, 1);
        if (!serial) {
            state.SkipWithError(serial.message().c_str());
            return;
        }
        record.chip = ++chip;
        record.serial = *serial;
        if (vexo::Status s = (*db)->Append({record, {}, "bench", {}}); !s) {
            state.SkipWithError(s.message().c_str());
            return;
        }
    }
    state.SetLabel("per chip: serial taken + row written");
}

void BM_ChipRecordSqlite(benchmark::State& state)
{
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "vexo-bench-sqlite";
    std::filesystem::create_directories(dir);
    const std::filesystem::path file = dir / "line.db";
    std::error_code ec;
    for (const char* tail : {"", "-wal", "-shm"}) std::filesystem::remove(file.string() + tail, ec);
    ChipRecords(state, "sqlite:" + file.string());
    std::filesystem::remove_all(dir, ec);
}
BENCHMARK(BM_ChipRecordSqlite)->Unit(benchmark::kMillisecond)->Iterations(40)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_ChipRecordPostgres(benchmark::State& state)
{
    const char* target = std::getenv("VEXO_BENCH_POSTGRES");
    if (!target || !*target) {
        state.SkipWithError("VEXO_BENCH_POSTGRES is not set (bench/db_bench.sh sets it)");
        return;
    }
    ChipRecords(state, target);
}
BENCHMARK(BM_ChipRecordPostgres)->Unit(benchmark::kMillisecond)->Iterations(40)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace
