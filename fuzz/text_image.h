// SPDX-License-Identifier: GPL-3.0-or-later
// Shared body of the HEX and S-record targets: read, and when the text was
// good, write the image back and read it again to the same bytes.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include <sanitizer/allocator_interface.h>
#include <string_view>

#include "rom/image_formats.h"
#include "rom/rom.h"

// Every allocation counted through the sanitizer's allocator hooks (the
// fuzz targets always run under AddressSanitizer), so that a reader's peak
// can be held to the image it gives rather than the text it reads.
namespace fuzz_memory {
inline std::size_t live = 0;
inline std::size_t peak = 0;
inline void OnAllocate(const volatile void*, std::size_t size)
{
    live += size;
    peak = std::max(peak, live);
}
inline void OnFree(const volatile void* p)
{
    if (p) live -= __sanitizer_get_allocated_size(const_cast<const void*>(p));
}
inline const int kInstalled = __sanitizer_install_malloc_and_free_hooks(OnAllocate, OnFree);
}  // namespace fuzz_memory

inline int FuzzTextImage(vexo::ImageFormat format, const std::uint8_t* data, std::size_t size)
{
    static const auto buffer = std::make_unique<std::uint8_t[]>(vexo::kBufferSize);
    static const auto again = std::make_unique<std::uint8_t[]>(vexo::kBufferSize);
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    fuzz_memory::peak = fuzz_memory::live;
    const std::size_t before = fuzz_memory::live;
    const vexo::Result<vexo::ImageRead> first = vexo::ReadTextImage(format, text, buffer.get(), vexo::kBufferSize);
    // Bounded by the image, not the text: a little for the reader, and one
    // staging block (64 KiB of data, 8 KiB of marks) per 64 KiB of addresses
    // the image spans; a refused text staged at most a byte per two digits.
    const std::size_t blocks =
        first ? (first->bytes == 0 ? 0 : (first->length - 1) / 0x10000 - first->lowest / 0x10000 + 1)
                 : std::min<std::size_t>(256, size / 2);
    if (fuzz_memory::peak - before > 256 * 1024 + blocks * (72 * 1024 + 64)) std::abort();
    if (!first) {
        if (first.message().empty()) std::abort();  // every refusal says why
        return 0;
    }
    if (first->length > vexo::kBufferSize) std::abort();
    if (first->length > 0x10000) return 0;  // keep the round trip quick
    const std::string written = vexo::WriteTextImage(format, buffer.get(), first->length);
    std::memset(again.get(), 0xA5, first->length);
    const vexo::Result<vexo::ImageRead> second = vexo::ReadTextImage(format, written, again.get(), vexo::kBufferSize);
    if (!second || second->length != first->length ||
        std::memcmp(buffer.get(), again.get(), first->length) != 0)
        std::abort();
    return 0;
}
