// Shared body of the HEX and S-record targets: read, and when the text was
// good, write the image back and read it again to the same bytes.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>

#include "rom/image_formats.h"
#include "rom/rom.h"

// Every allocation counted, so that a reader's peak can be held to the image
// it gives rather than the text it reads (this header is included by one
// file per target).
namespace fuzz_memory {
inline std::size_t live = 0;
inline std::size_t peak = 0;
constexpr std::size_t kHeader = alignof(std::max_align_t);
}  // namespace fuzz_memory

void* operator new(std::size_t size)
{
    auto* block = static_cast<unsigned char*>(std::malloc(size + fuzz_memory::kHeader));
    if (!block) throw std::bad_alloc();
    std::memcpy(block, &size, sizeof size);
    fuzz_memory::live += size;
    fuzz_memory::peak = std::max(fuzz_memory::peak, fuzz_memory::live);
    return block + fuzz_memory::kHeader;
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* p) noexcept
{
    if (!p) return;
    unsigned char* block = static_cast<unsigned char*>(p) - fuzz_memory::kHeader;
    std::size_t size = 0;
    std::memcpy(&size, block, sizeof size);
    fuzz_memory::live -= size;
    std::free(block);
}
void operator delete[](void* p) noexcept { operator delete(p); }
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }
void operator delete[](void* p, std::size_t) noexcept { operator delete(p); }

inline int FuzzTextImage(vexo::ImageFormat format, const std::uint8_t* data, std::size_t size)
{
    static const auto buffer = std::make_unique<std::uint8_t[]>(vexo::kBufferSize);
    static const auto again = std::make_unique<std::uint8_t[]>(vexo::kBufferSize);
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    fuzz_memory::peak = fuzz_memory::live;
    const std::size_t before = fuzz_memory::live;
    const vexo::ImageReadResult first = vexo::ReadTextImage(format, text, buffer.get(), vexo::kBufferSize);
    // Bounded by the image, not the text: a little for the reader, and one
    // staging block (64 KiB of data, 8 KiB of marks) per 64 KiB of addresses
    // the image spans; a refused text staged at most a byte per two digits.
    const std::size_t blocks =
        first.ok ? (first.bytes == 0 ? 0 : (first.length - 1) / 0x10000 - first.lowest / 0x10000 + 1)
                 : std::min<std::size_t>(256, size / 2);
    if (fuzz_memory::peak - before > 256 * 1024 + blocks * (72 * 1024 + 64)) std::abort();
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
