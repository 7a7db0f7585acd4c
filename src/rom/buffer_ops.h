// SPDX-License-Identifier: GPL-3.0-or-later
// Operations on the 16 MiB image buffer: fill, patch, byte swap, split into
// and merge from interleaved files, load at an offset, repeat to fill the
// device, export, checksums of a range, find. Ranges are inclusive. Each
// operation checks what it is given first and refuses, with the operator's
// sentence and the buffer untouched, what does not fit. An operation that
// changes the buffer makes it hold an image, as a load does, and records the
// bytes it overwrote in `history` when one is given.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.h"
#include "rom/checksum.h"
#include "rom/image_formats.h"

namespace vexo {

class CRom;
class EditHistory;

// An inclusive range of buffer addresses.
struct BufferRange {
    std::uint32_t first = 0;
    std::uint32_t last = 0;
    std::uint32_t Size() const { return last - first + 1; }
};

// The image the buffer holds: its length (0 when none is present).
std::uint32_t LoadedImageLength(const CRom& rom);

// Refused unless first <= last < 16 MiB.
Status CheckRange(BufferRange range);

Status Fill(CRom& rom, BufferRange range, std::uint8_t value, EditHistory* history = nullptr);
Status Patch(CRom& rom, std::uint32_t address, std::span<const std::uint8_t> bytes,
             EditHistory* history = nullptr);
// Swaps the two bytes of every 16-bit word of the selected device's range.
Status SwapBytes(CRom& rom, EditHistory* history = nullptr);
// Fills the device's range with copies of the loaded image.
Status RepeatToDevice(CRom& rom, EditHistory* history = nullptr);
// Places a file's image (by extension, or `format` when given; "-" is
// standard input, its format told by its content) at `offset`; the rest stays.
Status LoadAt(CRom& rom, std::uint32_t offset, const std::string& file,
              EditHistory* history = nullptr, std::optional<ImageFormat> format = std::nullopt);
// Interleaves 2 or 4 files into the buffer from address 0: byte i of file k
// goes to i * count + k. A load: the information panel names the first file.
// Every file is read as `format` when given.
Status MergeFiles(CRom& rom, const std::vector<std::string>& files, EditHistory* history = nullptr,
                  std::optional<ImageFormat> format = std::nullopt);

// Writes the loaded image's bytes k, k + n, k + 2n... (n = 2 or 4 files) to
// file k, each by its extension, each atomically.
Status SplitImage(const CRom& rom, const std::vector<std::string>& files);
// Writes the device's range of the buffer to `file` by its extension, or as
// `format` when given ("-": standard output, raw unless given).
Status ExportDevice(const CRom& rom, const std::string& file,
                    std::optional<ImageFormat> format = std::nullopt);

Result<Checksums> ChecksumRange(const CRom& rom, BufferRange range);

// The bytes of an image file by its extension: raw as they are, HEX and
// S-record from address 0 to the highest address given, gaps 0xFF.
Result<std::vector<std::uint8_t>> ReadImageFile(const std::string& file);
// Writes `size` bytes as the file's extension asks (or `format`), atomically.
Status WriteImageFile(const std::string& file, const std::uint8_t* data, std::uint32_t size,
                      std::optional<ImageFormat> format = std::nullopt);

// --- find ---
// "DE AD BE EF" (every word two hex digits) is bytes; anything else is the
// text itself, and "\"DE\"" in quotes is the text between them.
Result<std::vector<std::uint8_t>> ParseFindPattern(std::string_view text);
// The first match at or after `from`, wrapping round to the buffer's start;
// `ignoreCase` matches ASCII letters either way.
std::optional<std::uint32_t> FindInBuffer(const std::uint8_t* buffer, std::uint32_t size,
                                          std::span<const std::uint8_t> pattern,
                                          std::uint32_t from, bool ignoreCase = false);

// --- arguments as the command line and the dialogs give them ---
struct FillArgs {
    BufferRange range;
    std::uint8_t value = 0;
};
// START END BYTE
Result<FillArgs> ParseFillArgs(const std::vector<std::string>& args);
struct PatchArgs {
    std::uint32_t address = 0;
    std::vector<std::uint8_t> bytes;
};
// ADDR BYTE...
Result<PatchArgs> ParsePatchArgs(const std::vector<std::string>& args);
struct LoadAtArgs {
    std::uint32_t offset = 0;
    std::string file;
};
// OFFSET FILE
Result<LoadAtArgs> ParseLoadAtArgs(const std::vector<std::string>& args);
// START END
Result<BufferRange> ParseRangeArgs(const std::vector<std::string>& args);
// FILE0 FILE1 [FILE2 FILE3]
Status CheckSplitFiles(const std::vector<std::string>& files);

}  // namespace vexo
