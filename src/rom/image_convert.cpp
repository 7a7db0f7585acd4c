// SPDX-License-Identifier: GPL-3.0-or-later
#include "rom/image_convert.h"

#include "base/file_io.h"
#include "base/hex.h"
#include "base/numbers.h"
#include "base/text.h"
#include "rom/image_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace vexo {

namespace {

bool SameFile(const std::string& a, const std::string& b)
{
    struct stat sa {}, sb {};
    if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

}  // namespace

Result<Conversion> ConvertImageFile(const std::string& in, const std::string& out,
                                    const ConvertOptions& options)
{
    Conversion result;
    // A stream written ("-") is raw unless the operator names a format.
    result.output = options.outputFormat ? *options.outputFormat
                    : IsStandardStream(out)  ? ImageFormat::Raw
                                             : FormatForPath(out);
    result.first = options.offset;

    if (SameFile(in, out)) return Status::Fail(out + ": is the input file; choose another output name");

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
        return Status::Fail(input.detail, input.errnum);
    case ImageSourceProblem::TooLarge:
        return Status::Fail(in + ": the file is larger than the 16 MiB buffer");
    case ImageSourceProblem::Records:
        return Status::Fail(in + ": " + input.detail);
    }
    const ImageRead& read = input.read;
    result.lowest = read.lowest;
    result.length = read.length;
    result.dataBytes = read.bytes;
    if (read.bytes == 0) return Status::Fail(in + ": holds no data");
    if (options.offset >= read.length) {
        return Status::Fail(Cat({"offset ", HexBuf0x(options.offset), " is past the image, which ends at ",
                                 HexBuf0x(read.length - 1)}));
    }

    result.written = read.length - options.offset;
    TextImageOptions text;
    text.header = BaseName(out);
    const std::string image = WriteTextImage(result.output, buffer.data() + options.offset,
                                             result.written, options.offset, text);
    if (const Status written = ReplaceOutput(out, image); !written) return written;
    return result;
}

std::string DescribeConversion(const Conversion& result)
{
    const std::uint32_t last = result.first + (result.written ? result.written - 1 : 0);
    return Cat({HexBuf0x(result.first), "-", HexBuf0x(last), ", ", std::to_string(result.written),
                result.written == 1 ? " byte" : " bytes"});
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
