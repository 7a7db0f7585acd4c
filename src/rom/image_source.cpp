// SPDX-License-Identifier: GPL-3.0-or-later
#include "rom/image_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/file_io.h"

namespace vexo {
namespace {

ImageSource Problem(ImageSourceProblem problem, std::string detail, int errnum = 0)
{
    ImageSource source;
    source.problem = problem;
    source.detail = std::move(detail);
    source.errnum = errnum;
    return source;
}

std::string Reason(const std::string& path, int errnum) { return path + ": " + std::strerror(errnum); }

// Reads to the end into `out`, at most `limit` bytes: false with errno set
// on a read error; `*over` when there was more.
bool ReadUpTo(int fd, std::uint8_t* out, std::uint64_t limit, std::uint64_t* got, bool* over)
{
    *got = 0;
    *over = false;
    for (;;) {
        std::uint8_t spill;
        std::uint8_t* into = *got < limit ? out + *got : &spill;
        const std::size_t want = *got < limit ? std::size_t(std::min<std::uint64_t>(limit - *got, 1 << 20)) : 1;
        const ssize_t n = ::read(fd, into, want);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return true;
        if (into == &spill) {
            *over = true;
            return true;
        }
        *got += std::uint64_t(n);
    }
}

bool LooksLikeRecords(std::string_view text, char mark)
{
    const std::size_t first = text.find_first_not_of(" \t\r\n\f");
    return first != std::string_view::npos && (text[first] == mark || (mark == 'S' && text[first] == 's'));
}

ImageSource ReadRaw(const std::string& path, int fd, std::uint8_t* buffer, std::uint32_t capacity)
{
    std::uint64_t got = 0;
    bool over = false;
    if (!ReadUpTo(fd, buffer, capacity, &got, &over)) {
        const int error = errno ? errno : EIO;
        ImageSource failed = Problem(ImageSourceProblem::Read, Reason(path, error), error);
        return failed;
    }
    if (over) return Problem(ImageSourceProblem::TooLarge, {});
    ImageSource source;
    source.read.length = std::uint32_t(got);
    source.read.bytes = std::uint32_t(got);
    return source;
}

// A stream without a format of its own: read whole, then tried as Intel HEX
// and as S-record before it is taken as raw bytes.
ImageSource ReadGuessing(const std::string& path, int fd, std::uint8_t* buffer, std::uint32_t capacity,
                         const ImageSourceOptions& options)
{
    const std::uint64_t limit = std::max<std::uint64_t>(options.textLimit ? options.textLimit : kMaxTextImageFile, capacity);
    std::string text;
    bool over = false;
    char chunk[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR) continue;
            const int error = errno;
            return Problem(ImageSourceProblem::Read, Reason(path, error), error);
        }
        if (n == 0) break;
        if (text.size() + std::size_t(n) > limit) {
            over = true;
            break;
        }
        text.append(chunk, std::size_t(n));
    }
    ImageSource source;
    source.guessed = true;
    for (const auto& [format, mark] : {std::pair{ImageFormat::IntelHex, ':'}, std::pair{ImageFormat::SRecord, 'S'}}) {
        if (over || !LooksLikeRecords(text, mark)) continue;
        Result<ImageRead> read = ReadTextImage(format, text, buffer, capacity, options.gapFill, options.keepRuns);
        if (!read) continue;
        source.format = format;
        source.read = std::move(*read);
        return source;
    }
    source.format = ImageFormat::Raw;
    if (over || text.size() > capacity) {
        source.problem = ImageSourceProblem::TooLarge;
        return source;
    }
    Result<ImageRead> raw = ReadTextImage(ImageFormat::Raw, text, buffer, capacity, std::nullopt, options.keepRuns);
    if (!raw) {
        source.problem = ImageSourceProblem::TooLarge;
        return source;
    }
    source.read = std::move(*raw);
    return source;
}

}  // namespace

bool IsStandardStream(std::string_view path) { return path == "-"; }

std::string OutputPath(const std::string& path) { return IsStandardStream(path) ? "/dev/stdout" : path; }

Status ReplaceOutput(const std::string& path, const void* data, std::size_t size)
{
    Status written = ReplaceFile(OutputPath(path), data, size);
    if (!written && IsStandardStream(path) && written.errnum() != 0)
        return Status::Fail(path + ": " + std::strerror(written.errnum()), written.errnum());
    return written;
}

std::optional<ImageFormat> ParseFormatName(std::string_view name)
{
    for (ImageFormat format : {ImageFormat::Raw, ImageFormat::IntelHex, ImageFormat::SRecord})
        if (name == FormatWord(format)) return format;
    return std::nullopt;
}

std::string_view FormatWord(ImageFormat format)
{
    switch (format) {
    case ImageFormat::IntelHex: return "ihex";
    case ImageFormat::SRecord: return "srec";
    case ImageFormat::Raw: break;
    }
    return "raw";
}

std::string FormatNameProblem(std::string_view option, std::string_view word)
{
    return std::string(option) + ": '" + std::string(word) + "' is not a format (raw, ihex or srec)";
}

namespace {

ImageSource ReadOpened(const std::string& path, int fd, std::uint8_t* buffer, std::uint32_t capacity,
                       const ImageSourceOptions& options, bool standardInput);

}  // namespace

ImageSource ReadImageSource(const std::string& path, std::uint8_t* buffer, std::uint32_t capacity,
                            const ImageSourceOptions& options)
{
    const bool standardInput = IsStandardStream(path);
    int opened = -1;
    if (standardInput) {
        if (::isatty(STDIN_FILENO))
            return Problem(ImageSourceProblem::Terminal,
                           "-: standard input is a terminal; pipe or redirect an image into it");
        opened = ::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 3);
        if (opened < 0) return Problem(ImageSourceProblem::Open, Reason("-", errno), errno);
    } else {
        // Never waits in open(): a pipe without a writer reads as empty.
        const Result<int> stream = OpenInputStream(path);
        if (!stream) return Problem(ImageSourceProblem::Open, stream.message(), stream.status().errnum());
        opened = *stream;
    }
    Fd fd(opened);
    ImageSource source = ReadOpened(path, fd.Get(), buffer, capacity, options, standardInput);
    // A run that reads standard input expects an image there.
    if (standardInput && source.ok() && source.read.length == 0) {
        source.problem = ImageSourceProblem::Empty;
        source.detail = "-: standard input gave no data (is it closed, or empty?)";
        source.guessed = false;
    }
    return source;
}

namespace {

ImageSource ReadOpened(const std::string& path, int fd, std::uint8_t* buffer, std::uint32_t capacity,
                       const ImageSourceOptions& options, bool standardInput)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0) return Problem(ImageSourceProblem::Open, Reason(path, errno), errno);
    if (S_ISDIR(st.st_mode)) return Problem(ImageSourceProblem::Folder, path + ": is a folder, not a file");
    const bool regular = S_ISREG(st.st_mode);
    if (!regular && !options.streams && !standardInput)
        return Problem(ImageSourceProblem::NotRegular, path + ": not a regular file.");

    const ImageFormat byName = FormatForPath(path);
    if (!options.format && byName == ImageFormat::Raw && (standardInput || !regular))
        return ReadGuessing(path, fd, buffer, capacity, options);

    const ImageFormat format = options.format ? *options.format : byName;
    ImageSource source;
    if (format == ImageFormat::Raw) {
        if (regular && std::uint64_t(st.st_size) > capacity) source.problem = ImageSourceProblem::TooLarge;
        else source = ReadRaw(path, fd, buffer, capacity);
        source.format = format;
        if (source.ok() && options.keepRuns && source.read.length > 0)
            source.read.runs.push_back({0, source.read.length});
        return source;
    }
    source.format = format;
    if (regular && options.textLimit && std::uint64_t(st.st_size) > options.textLimit) {
        source.problem = ImageSourceProblem::TooLarge;
        return source;
    }
    // A block at a time: a text of any size costs no more than the image it gives.
    Result<ImageRead> read = ReadTextImageFile(format, fd, buffer, capacity, options.gapFill, options.keepRuns);
    if (!read) {
        source.problem = ImageSourceProblem::Records;
        source.detail = read.message();
        return source;
    }
    source.read = std::move(*read);
    return source;
}

}  // namespace

std::string DescribeGuess(const std::string& path, ImageFormat format)
{
    const std::string name = IsStandardStream(path) ? "- (standard input)" : path;
    if (format == ImageFormat::Raw)
        return name + ": read as raw binary (neither Intel HEX nor S-record; --format names another)";
    return name + ": read as " + std::string(FormatName(format)) + " (its content; --format names another)";
}

}  // namespace vexo
