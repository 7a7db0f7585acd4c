#include "rom/image_convert.h"

#include "base/file_io.h"
#include "base/numbers.h"
#include "rom/image_source.h"

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

bool WriteFileAtomically(const std::string& path, std::string_view data, std::string* error)
{
    if (const int code = ReplaceFile(OutputPath(path), data.data(), data.size()); code != 0) {
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
    // A stream written ("-") is raw unless the operator names a format.
    result.output = options.outputFormat ? *options.outputFormat
                    : IsStandardStream(out)  ? ImageFormat::Raw
                                             : FormatForPath(out);
    result.first = options.offset;

    if (SameFile(in, out)) {
        result.error = out + ": is the input file; choose another output name";
        return result;
    }

    std::vector<std::uint8_t> buffer(kImageCapacity, options.fill);
    // Pipes and devices too; a text of any size costs no more than the image it gives.
    ImageSourceOptions source;
    source.format = options.inputFormat;
    source.streams = true;
    source.textLimit = 0;
    const ImageSource input = ReadImageSource(in, buffer.data(), kImageCapacity, source);
    result.input = input.format;
    result.guessed = input.guessed;
    switch (input.problem) {
    case ImageSourceProblem::None:
        break;
    case ImageSourceProblem::Open:
    case ImageSourceProblem::Read:
    case ImageSourceProblem::Folder:
    case ImageSourceProblem::Terminal:
    case ImageSourceProblem::Empty:
    case ImageSourceProblem::NotRegular:
        result.error = input.detail;
        return result;
    case ImageSourceProblem::TooLarge:
        result.error = in + ": the file is larger than the 16 MiB buffer";
        return result;
    case ImageSourceProblem::Records:
        result.error = in + ": " + input.detail;
        return result;
    }
    const ImageReadResult& read = input.read;
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
