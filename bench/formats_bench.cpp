// SPDX-License-Identifier: GPL-3.0-or-later
// Image formats, checksums and wire capture: bytes per second for writing and
// reading Intel HEX and S-record images of a 27C040 and of the whole buffer,
// the two checksums over a 27C040, and port accesses per second through the
// VCD wrapper into a file.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "port/recorder.h"
#include "port/vcd_port.h"
#include "rom/checksum.h"
#include "rom/image_formats.h"
#include "rom/rom.h"

namespace {

using namespace vexo;

std::vector<std::uint8_t> Image(std::size_t size)
{
    std::mt19937 gen(5);
    std::vector<std::uint8_t> out(size);
    for (auto& b : out) b = std::uint8_t(gen());
    return out;
}

void BM_WriteText(benchmark::State& state, ImageFormat format)
{
    const auto image = Image(std::size_t(state.range(0)));
    for (auto _ : state) {
        std::string text = WriteTextImage(format, image.data(), std::uint32_t(image.size()));
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * state.range(0));
}

void BM_ReadText(benchmark::State& state, ImageFormat format)
{
    const auto image = Image(std::size_t(state.range(0)));
    const std::string text = WriteTextImage(format, image.data(), std::uint32_t(image.size()));
    std::vector<std::uint8_t> buffer(kBufferSize, 0xFF);
    for (auto _ : state) {
        Result<ImageRead> result = ReadTextImage(format, text, buffer.data(), kBufferSize);
        if (!result) state.SkipWithError(result.message().c_str());
        else benchmark::DoNotOptimize(result->length);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * state.range(0));
}

BENCHMARK_CAPTURE(BM_WriteText, IntelHex, ImageFormat::IntelHex)
    ->Arg(0x80000)->Arg(kBufferSize)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_WriteText, SRecord, ImageFormat::SRecord)
    ->Arg(0x80000)->Arg(kBufferSize)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReadText, IntelHex, ImageFormat::IntelHex)
    ->Arg(0x80000)->Arg(kBufferSize)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReadText, SRecord, ImageFormat::SRecord)
    ->Arg(0x80000)->Arg(kBufferSize)->Unit(benchmark::kMillisecond);

void BM_Checksums27C040(benchmark::State& state)
{
    const auto image = Image(0x80000);
    for (auto _ : state) benchmark::DoNotOptimize(ComputeChecksums(image.data(), image.size()));
    state.SetBytesProcessed(std::int64_t(state.iterations()) * 0x80000);
}
BENCHMARK(BM_Checksums27C040)->Unit(benchmark::kMicrosecond);

// A read-like pattern: data bit 0 clocks, a status read after every write.
void BM_VcdCapture(benchmark::State& state)
{
    char path[] = "/tmp/vexo-bench-XXXXXX";
    const int fd = ::mkstemp(path);
    if (fd >= 0) ::close(fd);
    Result<std::unique_ptr<VcdPort>> made = MakeVcdFile(std::make_unique<RecordingPort>(nullptr, 0x80), path);
    if (!made) {
        state.SkipWithError(made.message().c_str());
        return;
    }
    std::unique_ptr<VcdPort> port = std::move(*made);
    std::uint8_t data = 0;
    for (auto _ : state) {
        data ^= 0x01;
        port->Out(kDataPort, data);
        benchmark::DoNotOptimize(port->In(kStatusPort));
    }
    state.SetItemsProcessed(std::int64_t(state.iterations()) * 2);
    state.counters["ns/access"] = benchmark::Counter(
        double(state.iterations()) * 2 * 1e-9, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    if (const Status finished = port->Close(); !finished) state.SkipWithError(finished.message().c_str());
    ::unlink(path);
}
BENCHMARK(BM_VcdCapture);

}  // namespace
