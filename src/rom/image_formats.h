// SPDX-License-Identifier: GPL-3.0-or-later
// Text image formats beside raw binary: Intel HEX and Motorola S-record.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.h"

namespace vexo {

enum class ImageFormat { Raw, IntelHex, SRecord };

// By extension: .hex .ihx .ihex -> IntelHex; .s19 .s28 .s37 .srec .mot ->
// SRecord; anything else Raw. Case-insensitive.
ImageFormat FormatForPath(std::string_view path);

// Addresses an image gives, from `first` up to (not including) `end`.
struct ImageRun {
    std::uint32_t first = 0;
    std::uint32_t end = 0;
};

// What a read placed; a read that fails says why ("line 12: bad checksum").
struct ImageRead {
    std::uint32_t length = 0;  // highest address written + 1
    std::uint32_t lowest = 0;  // lowest address written (0 when nothing was)
    std::uint32_t bytes = 0;   // data bytes placed
    // ReadTextImageRuns only: the addresses written, in order, neighbours
    // joined (what the records gave, as against the gaps).
    std::vector<ImageRun> runs;
};

// Places every data byte of `text` at its address in `buffer` (capacity
// bytes), leaving the gaps as they are. On any error nothing is written.
//
// Both text formats: blank lines and blanks around a record are ignored, as
// are a DOS end-of-file mark (Ctrl-Z) and CR line ends. Errors, each as
// "line N: ..." for the first faulty line: a line that is not a record, a
// character that is not a hexadecimal digit, a byte count that disagrees
// with the record's length, a bad checksum, an unknown record type, an
// address at or past `capacity`, a byte given twice, and a record after the
// end record. Intel HEX needs its end-of-file record (type 01): without it
// the file is taken as cut short. The S-record termination (S7/S8/S9) may be
// missing, as many tools leave it out; a count record (S5/S6) must match the
// data records before it. Start-address records (03, 05, S7..S9) are
// checked and otherwise ignored; so is the S0 header.
//
// Raw: the text's bytes from address 0; longer than `capacity` is an error.
Result<ImageRead> ReadTextImage(ImageFormat format, std::string_view text, std::uint8_t* buffer,
                                std::uint32_t capacity);
// The same, but on success every address below `length` that no record gave
// is set to `gapFill` first (the loader's erased gaps). On an error nothing
// is written either.
Result<ImageRead> ReadTextImage(ImageFormat format, std::string_view text, std::uint8_t* buffer,
                                std::uint32_t capacity, std::uint8_t gapFill);

// The same (gaps left as they are), listing in `runs` the addresses the
// records gave. Raw gives one run, its whole length.
Result<ImageRead> ReadTextImageRuns(ImageFormat format, std::string_view text, std::uint8_t* buffer,
                                    std::uint32_t capacity);

// The same for a text format read from `fd` a block at a time: the memory
// taken is bounded by the image the file gives (the staged bytes, at most
// `capacity` and an eighth more), whatever the file's size. `gapFill` as
// above when set. A pipe reads as a stream. Errors also "read error: ..."
// and "line N: malformed record (a line longer than any record)".
Result<ImageRead> ReadTextImageFile(ImageFormat format, int fd, std::uint8_t* buffer,
                                    std::uint32_t capacity, std::optional<std::uint8_t> gapFill);
// The same, listing in `runs` the addresses the records gave when `keepRuns`.
Result<ImageRead> ReadTextImageFile(ImageFormat format, int fd, std::uint8_t* buffer,
                                    std::uint32_t capacity, std::optional<std::uint8_t> gapFill,
                                    bool keepRuns);
// ReadTextImage with both: gaps set to `gapFill` when given, runs when asked.
Result<ImageRead> ReadTextImage(ImageFormat format, std::string_view text, std::uint8_t* buffer,
                                std::uint32_t capacity, std::optional<std::uint8_t> gapFill,
                                bool keepRuns);

// Formats `data` (starting at address `base`) as Intel HEX or S-record text.
// 16 data bytes per record, upper-case digits, LF line ends. Intel HEX
// starts a type 04 record whenever the upper 16 address bits change (none
// while they are 0), never lets a record cross a 64 KiB boundary and ends
// with ":00000001FF". S-record: an S0 header, then S1, S2 or S3 records as
// the highest address needs 16, 24 or 32 bits, closed by the matching S9, S8
// or S7 with start address 0. Raw gives the bytes themselves.
// base + size must not exceed 4 GiB.
std::string WriteTextImage(ImageFormat format, const std::uint8_t* data, std::uint32_t size,
                           std::uint32_t base = 0);

struct TextImageOptions {
    unsigned bytesPerRecord = 16;  // 1..255 (Intel HEX), 1..250 (S-record)
    std::string header;            // S0 record text; empty gives an empty S0
};

std::string WriteTextImage(ImageFormat format, const std::uint8_t* data, std::uint32_t size,
                           std::uint32_t base, const TextImageOptions& options);

// "Intel HEX", "S-record", "raw binary".
std::string_view FormatName(ImageFormat format);

}  // namespace vexo
