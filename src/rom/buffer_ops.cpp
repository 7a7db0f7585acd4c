// SPDX-License-Identifier: GPL-3.0-or-later
#include "rom/buffer_ops.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>

#include "base/file_io.h"
#include "base/hex.h"
#include "base/hex_input.h"
#include "base/numbers.h"
#include "base/sizes.h"
#include "base/text.h"
#include "rom/edit_history.h"
#include "rom/image_formats.h"
#include "rom/image_source.h"
#include "rom/info_panel.h"
#include "rom/rom.h"

namespace vexo {
namespace {

constexpr const char* kUnchanged = "; the buffer is unchanged.";

std::string Decimal(std::uint64_t value)
{
    return std::to_string(value);
}

// Records (when asked), changes the range through `change`, and marks the image present.
// The image then reaches at least past the range, or is `length` long when given.
void Change(CRom& rom, std::uint32_t address, std::uint32_t size, EditHistory* history,
            const std::function<void(std::uint8_t*)>& change,
            std::optional<std::uint32_t> length = std::nullopt)
{
    if (history) history->Begin(rom, address, size);
    change(rom.m_Buffer.get() + address);
    const std::uint32_t end = address + size;
    rom.m_nLength = std::int32_t(length ? *length : std::max(LoadedImageLength(rom), end));
    rom.SetImageLoaded(true);
    if (history) history->Commit(rom);
}

std::string FileError(const std::string& file, int err)
{
    return Cat({file, ": ", std::strerror(err)});
}

Result<std::uint32_t> ParseNumber(const std::string& text, std::uint64_t max, std::string_view what)
{
    const std::optional<std::uint64_t> v = ParseUnsigned(text, max);
    if (!v)
        return Status::Fail(Cat({"Bad ", what, " \"", text, "\": give a number up to ", HexBuf0x(max),
                                 " (decimal or 0x hex)."}));
    return std::uint32_t(*v);
}

Result<std::uint8_t> ParseByte(const std::string& text)
{
    const std::optional<std::uint64_t> v = ParseUnsigned(text, 0xFF);
    if (!v) return Status::Fail(Cat({"Bad byte \"", text, "\": give 0..255 or 0x00..0xFF."}));
    return std::uint8_t(*v);
}

}  // namespace

std::uint32_t LoadedImageLength(const CRom& rom)
{
    if (!rom.ImageLoaded() || rom.m_nLength <= 0) return 0;
    return std::min<std::uint32_t>(std::uint32_t(rom.m_nLength), kBufferSize);
}

namespace {

// What is wrong with a range, as a sentence without its end; empty when nothing.
std::string RangeProblem(BufferRange range)
{
    if (range.first > range.last)
        return Cat(
            {"The range starts at ", HexBuf0x(range.first), ", after its end ", HexBuf0x(range.last)});
    if (range.last >= kBufferSize)
        return Cat({"The range ", HexBuf0x(range.first), "-", HexBuf0x(range.last),
                    " does not fit the buffer (0x000000-0xFFFFFF)"});
    return {};
}

}  // namespace

Status CheckRange(BufferRange range)
{
    const std::string problem = RangeProblem(range);
    if (!problem.empty()) return Status::Fail(Cat({problem, kUnchanged}));
    return Status::Ok();
}

Status Fill(CRom& rom, BufferRange range, std::uint8_t value, EditHistory* history)
{
    if (Status s = CheckRange(range); !s) return s;
    Change(rom, range.first, range.Size(), history,
           [&](std::uint8_t* at) { std::fill_n(at, range.Size(), value); });
    return Status::Ok();
}

Status Patch(CRom& rom, std::uint32_t address, std::span<const std::uint8_t> bytes,
             EditHistory* history)
{
    if (bytes.empty()) return Status::Fail(Cat({"No bytes to patch", kUnchanged}));
    if (bytes.size() > kBufferSize || address >= kBufferSize ||
        bytes.size() > kBufferSize - address)
        return Status::Fail(Cat({Decimal(bytes.size()), " bytes at ", HexBuf0x(address),
                                 " do not fit the buffer (0x000000-0xFFFFFF)", kUnchanged}));
    Change(rom, address, std::uint32_t(bytes.size()), history,
           [&](std::uint8_t* at) { std::copy(bytes.begin(), bytes.end(), at); });
    return Status::Ok();
}

Status SwapBytes(CRom& rom, EditHistory* history)
{
    const std::uint32_t size = rom.DeviceSize() & ~1u;
    // A loaded image keeps its length, made even where its last word was
    // swapped whole (its last byte moved past the old end); without one the
    // device's range is the image.
    std::uint32_t image = LoadedImageLength(rom);
    if (image % 2 != 0 && image < size) ++image;
    Change(
        rom, 0, size, history,
        [size](std::uint8_t* at) {
            for (std::uint32_t i = 0; i < size; i += 2) std::swap(at[i], at[i + 1]);
        },
        image ? image : size);
    return Status::Ok();
}

Status RepeatToDevice(CRom& rom, EditHistory* history)
{
    const std::uint32_t image = LoadedImageLength(rom);
    const std::uint32_t device = rom.DeviceSize();
    const std::string name(rom.Device().name);
    if (image == 0) return Status::Fail(Cat({"No image is loaded to repeat", kUnchanged}));
    if (image > device)
        return Status::Fail(Cat({"The image (", Decimal(image), " bytes) is larger than the ", name,
                                 " (", Decimal(device), " bytes)", kUnchanged}));
    if (device % image != 0)
        return Status::Fail(Cat({"The image (", Decimal(image), " bytes) does not divide the ",
                                 name, " (", Decimal(device), " bytes)", kUnchanged}));
    if (image == device) return Status::Ok();
    Change(rom, image, device - image, history, [&](std::uint8_t* at) {
        const std::uint8_t* base = rom.m_Buffer.get();
        for (std::uint32_t o = 0; o < device - image; o += image) std::copy_n(base, image, at + o);
    });
    return Status::Ok();
}

namespace {

// An image file's bytes from address 0 (gaps 0xFF) and the addresses it
// gives: a raw file every one, HEX and S-record those of their records.
struct ImageData {
    std::vector<std::uint8_t> bytes;
    std::vector<ImageRun> runs;
};

Result<ImageData> ReadImageData(const std::string& file, std::optional<ImageFormat> format,
                                IUiServices* ui)
{
    std::vector<std::uint8_t> image(kBufferSize, 0xFF);
    ImageSourceOptions options;
    options.format = format;
    options.keepRuns = true;
    ImageSource source = ReadImageSource(file, image.data(), kBufferSize, options);
    switch (source.problem) {
    case ImageSourceProblem::None:
        break;
    case ImageSourceProblem::Open:
    case ImageSourceProblem::Read:
        return Status::Fail(FileError(file, source.errnum), source.errnum);
    case ImageSourceProblem::Folder:
    case ImageSourceProblem::NotRegular:
        return Status::Fail(Cat({file, ": not a regular file."}));
    case ImageSourceProblem::TooLarge:
        return Status::Fail(Cat({file, ": too large for the 16 MiB buffer."}));
    case ImageSourceProblem::Terminal:
    case ImageSourceProblem::Empty:
        return Status::Fail(source.detail);
    case ImageSourceProblem::Records:
        return Status::Fail(Cat({file, ": ", source.detail}));
    }
    if (source.guessed && ui) ui->Note(DescribeGuess(file, source.format));
    image.resize(source.read.length);
    image.shrink_to_fit();
    ImageData data;
    data.bytes = std::move(image);
    data.runs = std::move(source.read.runs);
    return data;
}

}  // namespace

Result<std::vector<std::uint8_t>> ReadImageFile(const std::string& file)
{
    Result<ImageData> data = ReadImageData(file, std::nullopt, nullptr);
    if (!data) return data.status();
    return std::move(data->bytes);
}

Status WriteImageFile(const std::string& file, const std::uint8_t* data, std::uint32_t size,
                      std::optional<ImageFormat> given)
{
    // A stream written ("-") is raw unless the operator names a format.
    const ImageFormat format = given ? *given : IsStandardStream(file) ? ImageFormat::Raw : FormatForPath(file);
    if (format == ImageFormat::Raw) return ReplaceOutput(file, data, size);
    return ReplaceOutput(file, WriteTextImage(format, data, size, 0));
}

Status LoadAt(CRom& rom, std::uint32_t offset, const std::string& file, EditHistory* history,
              std::optional<ImageFormat> format)
{
    if (offset >= kBufferSize)
        return Status::Fail(Cat({"The offset ", HexBuf0x(offset),
                                 " is outside the buffer (0x000000-0xFFFFFF)", kUnchanged}));
    Result<ImageData> data = ReadImageData(file, format, &rom.Ui());
    if (!data)
        return Status::Fail(Cat({data.message(), kUnchanged}),
                            data.status().errnum());
    const std::vector<std::uint8_t>& bytes = data->bytes;
    if (bytes.empty()) return Status::Fail(Cat({file, ": the file holds no data", kUnchanged}));
    if (bytes.size() > kBufferSize - offset)
        return Status::Fail(Cat({file, " (", Decimal(bytes.size()), " bytes) at ", HexBuf0x(offset),
                                 " runs past the buffer's end (0xFFFFFF)", kUnchanged}));
    // Only what the file gives is placed: a HEX or S-record file's gaps
    // leave the buffer's bytes there as they are.
    const std::vector<ImageRun>& runs = data->runs;
    const std::uint32_t first = runs.front().first;
    Change(rom, offset + first, runs.back().end - first, history, [&](std::uint8_t* at) {
        for (const ImageRun& run : runs)
            std::copy(bytes.begin() + run.first, bytes.begin() + run.end, at + (run.first - first));
    });
    return Status::Ok();
}

Status MergeFiles(CRom& rom, const std::vector<std::string>& files, EditHistory* history,
                  std::optional<ImageFormat> format)
{
    if (Status s = CheckSplitFiles(files); !s) return s;
    std::vector<ImageData> parts;
    std::uint64_t total = 0;
    for (const std::string& f : files) {
        Result<ImageData> data = ReadImageData(f, format, &rom.Ui());
        if (!data)
            return Status::Fail(Cat({data.message(), kUnchanged}),
                                data.status().errnum());
        total += data->bytes.size();
        parts.push_back(std::move(*data));
    }
    // As a split leaves them: no part longer than the first, none more than a byte shorter.
    const std::size_t n0 = parts[0].bytes.size();
    for (std::size_t k = 1; k < parts.size(); ++k) {
        const std::size_t nk = parts[k].bytes.size();
        if (nk > parts[k - 1].bytes.size() || nk + 1 < n0)
            return Status::Fail(
                Cat({"The files' sizes do not interleave (", files[k], " holds ", Decimal(nk),
                     " bytes, ", files[0], " ", Decimal(n0), ")", kUnchanged}));
    }
    if (total == 0) return Status::Fail(Cat({"The files hold no data", kUnchanged}));
    if (total > kBufferSize)
        return Status::Fail(Cat({"The files together (", Decimal(total),
                                 " bytes) are larger than the 16 MiB buffer", kUnchanged}));
    const std::size_t count = parts.size();
    // A load: the image is what was merged. A HEX or S-record part places
    // only the bytes its records give.
    Change(
        rom, 0, std::uint32_t(total), history,
        [&](std::uint8_t* at) {
            for (std::size_t k = 0; k < count; ++k)
                for (const ImageRun& run : parts[k].runs)
                    for (std::size_t i = run.first; i < run.end; ++i) at[i * count + k] = parts[k].bytes[i];
        },
        std::uint32_t(total));
    InfoPanel& panel = rom.Panel();
    panel.m_strFileName = BaseName(files[0]);
    panel.Push();
    return Status::Ok();
}

Status CheckSplitFiles(const std::vector<std::string>& files)
{
    if (files.size() != 2 && files.size() != 4) return Status::Fail("Give two or four files.");
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (files[i].empty()) return Status::Fail("A file name is empty.");
        for (std::size_t j = 0; j < i; ++j)
            if (files[i] == files[j]) return Status::Fail(Cat({files[i], " is given twice."}));
    }
    return Status::Ok();
}

Status SplitImage(const CRom& rom, const std::vector<std::string>& files)
{
    if (Status s = CheckSplitFiles(files); !s) return s;
    const std::uint32_t image = LoadedImageLength(rom);
    if (image == 0) return Status::Fail("No image is loaded to split.");
    const std::uint32_t count = std::uint32_t(files.size());
    for (std::uint32_t k = 0; k < count; ++k) {
        std::vector<std::uint8_t> part;
        part.reserve(image / count + 1);
        for (std::uint32_t i = k; i < image; i += count) part.push_back(rom.m_Buffer[i]);
        if (Status s = WriteImageFile(files[k], part.data(), std::uint32_t(part.size())); !s)
            return s;
    }
    return Status::Ok();
}

Status ExportDevice(const CRom& rom, const std::string& file, std::optional<ImageFormat> format)
{
    if (file.empty()) return Status::Fail("No file name given.");
    return WriteImageFile(file, rom.m_Buffer.get(), rom.DeviceSize(), format);
}

Result<Checksums> ChecksumRange(const CRom& rom, BufferRange range)
{
    if (const std::string problem = RangeProblem(range); !problem.empty())
        return Status::Fail(Cat({problem, "."}));
    return ComputeChecksums(rom.m_Buffer.get() + range.first, range.Size());
}

Result<std::vector<std::uint8_t>> ParseFindPattern(std::string_view text)
{
    Result<FindQuery> query = ParseFindQuery(text, FindMode::Auto);
    if (!query) return query.status();
    return std::move(query->bytes);
}

std::optional<std::uint32_t> FindInBuffer(const std::uint8_t* buffer, std::uint32_t size,
                                          std::span<const std::uint8_t> pattern, std::uint32_t from,
                                          bool ignoreCase)
{
    if (pattern.empty() || pattern.size() > size) return std::nullopt;
    if (from >= size) from = 0;
    if (ignoreCase) {
        const auto fold = [](std::uint8_t c) {
            return std::uint8_t(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
        };
        const auto same = [&fold](std::uint8_t a, std::uint8_t b) { return fold(a) == fold(b); };
        const std::uint8_t* end = buffer + size;
        const std::uint8_t* hit = std::search(buffer + from, end, pattern.begin(), pattern.end(), same);
        if (hit != end) return std::uint32_t(hit - buffer);
        const std::uint8_t* wrapEnd = buffer + std::min<std::size_t>(size, from + pattern.size() - 1);
        hit = std::search(buffer, wrapEnd, pattern.begin(), pattern.end(), same);
        if (hit != wrapEnd) return std::uint32_t(hit - buffer);
        return std::nullopt;
    }
    const std::boyer_moore_horspool_searcher searcher(pattern.begin(), pattern.end());
    const std::uint8_t* end = buffer + size;
    const std::uint8_t* hit = std::search(buffer + from, end, searcher);
    if (hit != end) return std::uint32_t(hit - buffer);
    // Round to the start: matches that begin before `from`.
    const std::uint8_t* wrapEnd = buffer + std::min<std::size_t>(size, from + pattern.size() - 1);
    hit = std::search(buffer, wrapEnd, searcher);
    if (hit != wrapEnd) return std::uint32_t(hit - buffer);
    return std::nullopt;
}

Result<FillArgs> ParseFillArgs(const std::vector<std::string>& args)
{
    if (args.size() != 3) return Status::Fail("fill takes START END BYTE.");
    FillArgs out;
    Result<BufferRange> range = ParseRangeArgs({args[0], args[1]});
    if (!range) return range.status();
    Result<std::uint8_t> value = ParseByte(args[2]);
    if (!value) return value.status();
    out.range = *range;
    out.value = *value;
    return out;
}

Result<PatchArgs> ParsePatchArgs(const std::vector<std::string>& args)
{
    if (args.size() < 2) return Status::Fail("patch takes ADDR BYTE...");
    PatchArgs out;
    Result<std::uint32_t> address = ParseNumber(args[0], kBufferSize - 1, "address");
    if (!address) return address.status();
    out.address = *address;
    for (std::size_t i = 1; i < args.size(); ++i) {
        Result<std::uint8_t> b = ParseByte(args[i]);
        if (!b) return b.status();
        out.bytes.push_back(*b);
    }
    if (out.bytes.size() > kBufferSize - out.address)
        return Status::Fail(Cat({Decimal(out.bytes.size()), " bytes at ", HexBuf0x(out.address),
                                 " do not fit the buffer (0x000000-0xFFFFFF)."}));
    return out;
}

Result<LoadAtArgs> ParseLoadAtArgs(const std::vector<std::string>& args)
{
    if (args.size() != 2) return Status::Fail("load-at takes OFFSET FILE.");
    Result<std::uint32_t> offset = ParseNumber(args[0], kBufferSize - 1, "offset");
    if (!offset) return offset.status();
    if (args[1].empty()) return Status::Fail("No file name given.");
    return LoadAtArgs{*offset, args[1]};
}

Result<BufferRange> ParseRangeArgs(const std::vector<std::string>& args)
{
    if (args.size() != 2) return Status::Fail("A range takes START END.");
    Result<std::uint32_t> first = ParseNumber(args[0], kBufferSize - 1, "start");
    if (!first) return first.status();
    Result<std::uint32_t> last = ParseNumber(args[1], kBufferSize - 1, "end");
    if (!last) return last.status();
    const BufferRange range{*first, *last};
    if (const std::string problem = RangeProblem(range); !problem.empty())
        return Status::Fail(Cat({problem, "."}));
    return range;
}

}  // namespace vexo
