// SPDX-License-Identifier: GPL-3.0-or-later
// The one reader of image files: Open BIN File, load-at, merge, convert and
// vexo-hexbin all read through ReadImageSource. It opens the file (or
// standard input for "-"), decides the format (the operator's --format, else
// the extension, else for a stream its content), reads raw bytes or the
// records into the caller's buffer and says what went wrong as a kind, so
// that each caller keeps its own sentences.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/error.h"
#include "base/sizes.h"
#include "rom/image_formats.h"

namespace vexo {

// A HEX or S-record file of a full 16 MiB image is under 48 MiB.
inline constexpr std::uint64_t kMaxTextImageFile = 64ull * 1024 * 1024;

// "-": standard input for a reader, standard output for a writer.
bool IsStandardStream(std::string_view path);
// The path a writer opens for `path`: "/dev/stdout" for "-", else `path`.
std::string OutputPath(const std::string& path);
// ReplaceFile on OutputPath(path); a failure names `path` as the operator
// wrote it ("-: No space left on device").
Status ReplaceOutput(const std::string& path, const void* data, std::size_t size);
inline Status ReplaceOutput(const std::string& path, std::string_view text)
{
    return ReplaceOutput(path, text.data(), text.size());
}

// "raw", "ihex", "srec" as --format spells them, read and written.
std::optional<ImageFormat> ParseFormatName(std::string_view name);
std::string_view FormatWord(ImageFormat format);
// The usage error for a word that is none of them.
std::string FormatNameProblem(std::string_view option, std::string_view word);

struct ImageSourceOptions {
    std::optional<ImageFormat> format;  // given by the operator: no guess
    // Pipes, terminals and other devices are read as streams; otherwise only
    // a regular file (and "-") is read.
    bool streams = false;
    // A regular HEX or S-record file longer than this is refused before
    // reading (0: no limit; the image's capacity bounds the memory anyway).
    std::uint64_t textLimit = kMaxTextImageFile;
    std::optional<std::uint8_t> gapFill;  // as ReadTextImage
    bool keepRuns = false;                // as ReadTextImageRuns
};

enum class ImageSourceProblem {
    None,
    Open,        // open or fstat failed: `errnum`, `detail` "PATH: reason"
    Folder,      // a folder
    NotRegular,  // a device or pipe where only files are read
    Terminal,    // "-" is a terminal: nothing is piped in
    Empty,       // "-" gave nothing (closed, or an empty pipe): `detail`
    TooLarge,    // a raw image over `capacity`, or a text file over `textLimit`
    Read,        // reading raw bytes failed: `errnum`
    Records,     // the text's records are faulty: `detail` "line 12: bad checksum"
};

struct ImageSource {
    ImageSourceProblem problem = ImageSourceProblem::None;
    std::string detail;
    int errnum = 0;
    ImageFormat format = ImageFormat::Raw;  // the format read (or refused)
    bool guessed = false;  // a stream's format, told by its content
    // On success: what was placed (length, lowest, bytes, runs when asked).
    ImageRead read;
    bool ok() const { return problem == ImageSourceProblem::None; }
};

// Reads `path` into `buffer` (capacity bytes): raw bytes from address 0, or
// every record's bytes at its address. A faulty text writes nothing; a raw
// read that fails may have written part.
//
// The format: options.format when given; else the extension
// (FormatForPath); else, for a stream ("-", a pipe, a device) whose name
// gives no text extension, Intel HEX or S-record when the whole stream is
// valid as one, raw otherwise (`guessed` is set).
ImageSource ReadImageSource(const std::string& path, std::uint8_t* buffer, std::uint32_t capacity,
                            const ImageSourceOptions& options = {});

// "-: read as Intel HEX (its content; --format names another)" for a
// guessed format, to tell on standard error.
std::string DescribeGuess(const std::string& path, ImageFormat format);

}  // namespace vexo
