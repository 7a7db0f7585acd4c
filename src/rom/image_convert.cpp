// SPDX-License-Identifier: GPL-3.0-or-later
#include "rom/image_convert.h"

#include "base/file_io.h"
#include "base/numbers.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace vexo {

namespace {

std::string Hex6(std::uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%06X", unsigned(value));
    return text;
}

bool ReadWholeFile(const std::string& path, std::uint64_t limit, const std::string& tooLarge,
                   std::string* content, std::string* error)
{
    // Never waits in open(): a pipe without a writer is read as an empty
    // stream, one with a writer as the stream it is.
    const Result<int> opened = OpenInputStream(path);
    if (!opened) {
        *error = opened.message();
        return false;
    }
    Fd fd(*opened);
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0) {
        *error = path + ": " + std::strerror(errno);
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        *error = path + ": is a folder, not a file";
        return false;
    }
    if (S_ISREG(st.st_mode) && std::uint64_t(st.st_size) > limit) {
        *error = path + ": " + tooLarge;
        return false;
    }
    content->clear();
    if (S_ISREG(st.st_mode)) content->reserve(std::size_t(st.st_size));
    char chunk[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd.Get(), chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR) continue;
            *error = path + ": " + std::strerror(errno);
            return false;
        }
        if (n == 0) break;
        content->append(chunk, std::size_t(n));
        if (content->size() > limit) {
            *error = path + ": " + tooLarge;
            return false;
        }
    }
    return true;
}

bool WriteFileAtomically(const std::string& path, std::string_view data, std::string* error)
{
    if (const int code = ReplaceFile(path, data.data(), data.size()); code != 0) {
        *error = path + ": " + std::strerror(code);
        return false;
    }
    return true;
}

bool SameFile(const std::string& a, const std::string& b)
{
    struct stat sa {}, sb {};
    if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

}  // namespace

ConvertResult ConvertImageFile(const std::string& in, const std::string& out,
                               const ConvertOptions& options)
{
    ConvertResult result;
    result.input = FormatForPath(in);
    result.output = FormatForPath(out);
    result.first = options.offset;

    if (SameFile(in, out)) {
        result.error = out + ": is the input file; choose another output name";
        return result;
    }

    std::vector<std::uint8_t> buffer(kImageCapacity, options.fill);
    ImageReadResult read;
    if (result.input == ImageFormat::Raw) {
        std::string content;
        if (!ReadWholeFile(in, kImageCapacity, "the file is larger than the 16 MiB buffer", &content,
                           &result.error))
            return result;
        read = ReadTextImage(result.input, content, buffer.data(), kImageCapacity);
    } else {
        // Records are read a block at a time: a text of any size costs no
        // more than the image it gives.
        const Result<int> opened = OpenInputStream(in);
        if (!opened) {
            result.error = opened.message();
            return result;
        }
        Fd file(*opened);
        struct stat st {};
        if (::fstat(file.Get(), &st) != 0 || S_ISDIR(st.st_mode)) {
            result.error = in + ": " + (S_ISDIR(st.st_mode) ? "is a folder, not a file" : std::strerror(errno));
            return result;
        }
        read = ReadTextImageFile(result.input, file.Get(), buffer.data(), kImageCapacity, std::nullopt);
    }
    if (!read.ok) {
        result.error = in + ": " + read.error;
        return result;
    }
    result.lowest = read.lowest;
    result.length = read.length;
    result.dataBytes = read.bytes;
    if (read.bytes == 0) {
        result.error = in + ": holds no data";
        return result;
    }
    if (options.offset >= read.length) {
        result.error = "offset " + Hex6(options.offset) + " is past the image, which ends at " +
                       Hex6(read.length - 1);
        return result;
    }

    result.written = read.length - options.offset;
    TextImageOptions text;
    text.header = BaseName(out);
    const std::string image = WriteTextImage(result.output, buffer.data() + options.offset,
                                             result.written, options.offset, text);
    if (!WriteFileAtomically(out, image, &result.error)) {
        result.written = 0;
        return result;
    }
    result.ok = true;
    return result;
}

std::string DescribeConversion(const ConvertResult& result)
{
    const std::uint32_t last = result.first + (result.written ? result.written - 1 : 0);
    return Hex6(result.first) + "-" + Hex6(last) + ", " + std::to_string(result.written) +
           (result.written == 1 ? " byte" : " bytes");
}

std::string DefaultBinPath(std::string_view in)
{
    const std::size_t slash = in.find_last_of('/');
    const std::size_t dot = in.find_last_of('.');
    std::string_view stem = in;
    // A dot that starts the name (".hidden") is not an extension.
    if (dot != std::string_view::npos && dot > 0 &&
        (slash == std::string_view::npos || (dot > slash + 1)))
        stem = in.substr(0, dot);
    return std::string(stem) + ".bin";
}

Result<std::uint8_t> ParseFillByte(std::string_view text)
{
    std::uint32_t value = 0;
    if (!ParseImageNumber(text, 0xFF, &value))
        return Status::Fail(std::string(text) + " is not a byte (0 to 0xFF)");
    return std::uint8_t(value);
}

bool ParseImageNumber(std::string_view text, std::uint32_t max, std::uint32_t* value)
{
    const std::optional<std::uint64_t> n = ParseAddress(text, max);
    if (!n) return false;
    *value = std::uint32_t(*n);
    return true;
}

}  // namespace vexo
