// Shared body of the HEX and S-record targets: read, and when the text was
// good, write the image back and read it again to the same bytes.
#pragma once

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>

#include "rom/image_formats.h"
#include "rom/rom.h"

inline int FuzzTextImage(vexo::ImageFormat format, const std::uint8_t* data, std::size_t size)
{
    static const auto buffer = std::make_unique<std::uint8_t[]>(vexo::kBufferSize);
    static const auto again = std::make_unique<std::uint8_t[]>(vexo::kBufferSize);
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const vexo::ImageReadResult first = vexo::ReadTextImage(format, text, buffer.get(), vexo::kBufferSize);
    if (!first.ok) {
        if (first.error.empty()) std::abort();  // every refusal says why
        return 0;
    }
    if (first.length > vexo::kBufferSize) std::abort();
    if (first.length > 0x10000) return 0;  // keep the round trip quick
    const std::string written = vexo::WriteTextImage(format, buffer.get(), first.length);
    std::memset(again.get(), 0xA5, first.length);
    const vexo::ImageReadResult second = vexo::ReadTextImage(format, written, again.get(), vexo::kBufferSize);
    if (!second.ok || second.length != first.length ||
        std::memcmp(buffer.get(), again.get(), first.length) != 0)
        std::abort();
    return 0;
}
