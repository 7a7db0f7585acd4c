// Text image formats beside raw binary: Intel HEX and Motorola S-record.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vexo {

enum class ImageFormat { Raw, IntelHex, SRecord };

// By extension: .hex .ihx .ihex -> IntelHex; .s19 .s28 .s37 .srec .mot ->
// SRecord; anything else Raw. Case-insensitive.
ImageFormat FormatForPath(std::string_view path);

struct ImageReadResult {
    bool ok = false;
    std::uint32_t length = 0;  // highest address written + 1
    std::string error;         // "line 12: bad checksum" when !ok
};

// Places every data byte of `text` at its address in `buffer` (capacity
// bytes), leaving the gaps as they are. On any error nothing is written.
ImageReadResult ReadTextImage(ImageFormat format, std::string_view text, std::uint8_t* buffer,
                              std::uint32_t capacity);

// Formats `data` (starting at address `base`) as Intel HEX or S-record text.
std::string WriteTextImage(ImageFormat format, const std::uint8_t* data, std::uint32_t size,
                           std::uint32_t base = 0);

}  // namespace vexo
