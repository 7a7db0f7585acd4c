// SPDX-License-Identifier: GPL-3.0-or-later
// Converting image files between raw binary, Intel HEX and S-record, the
// format of each side chosen by its extension (FormatForPath). Shared by
// vexo-hexbin and `vexo convert`.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/error.h"
#include "base/sizes.h"
#include "rom/image_formats.h"

namespace vexo {

struct ConvertOptions {
    std::uint8_t fill = 0xFF;  // gaps between the input's records
    std::uint32_t offset = 0;  // first address of the output; bytes below it are dropped
    // The formats the operator gave (--in-format, --out-format); otherwise
    // by extension, a stream read ("-", a pipe) by its content, a stream
    // written ("-") raw.
    std::optional<ImageFormat> inputFormat;
    std::optional<ImageFormat> outputFormat;
};

// What a conversion read and wrote.
struct Conversion {
    ImageFormat input = ImageFormat::Raw;
    bool guessed = false;  // the input's format was told by its content (DescribeGuess)
    ImageFormat output = ImageFormat::Raw;
    std::uint32_t lowest = 0;   // lowest address the input gave
    std::uint32_t length = 0;   // highest address the input gave + 1
    std::uint32_t dataBytes = 0;  // data bytes in the input
    std::uint32_t first = 0;    // first address written (the offset)
    std::uint32_t written = 0;  // bytes of image written, first .. first + written - 1
};

// Reads `in` whole, lays it into a buffer of kImageCapacity bytes filled with
// `fill`, and writes the addresses offset .. length - 1 to `out` (raw: those
// bytes; text: records at those addresses). The output is written to a
// temporary file beside it and renamed into place, so a failure leaves an
// existing `out` untouched. Refused: an input without data, an offset at or
// past the input's end, and `out` naming the same file as `in`.
// The failure names the file and the reason ("in.hex: line 12: bad checksum").
Result<Conversion> ConvertImageFile(const std::string& in, const std::string& out,
                               const ConvertOptions& options = {});

// "0x000000-0x007FFF, 32768 bytes" (the range written and its size).
std::string DescribeConversion(const Conversion& result);

// The same path with its extension (if any) replaced by ".bin".
std::string DefaultBinPath(std::string_view in);

// A number as the command line and the window take it: decimal, or
// hexadecimal after 0x (also a trailing h: "8000h"). False when it is not a
// number or is greater than `max`.
bool ParseImageNumber(std::string_view text, std::uint32_t max, std::uint32_t* value);

// The byte a conversion writes into the gaps (--fill, the window's Fill
// field), read as ParseImageNumber reads; the failure is
// "300 is not a byte (0 to 0xFF)", for each front end to put its label before.
Result<std::uint8_t> ParseFillByte(std::string_view text);

inline constexpr std::uint32_t kImageCapacity = kBufferSize;

}  // namespace vexo
