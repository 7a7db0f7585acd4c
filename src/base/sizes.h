// SPDX-License-Identifier: GPL-3.0-or-later
// Sizes every layer agrees on.
#pragma once

#include <cstdint>

namespace vexo {

// The image buffer: the largest address space the module's 24-bit address reaches.
inline constexpr std::uint32_t kBufferSize = 16u * 1024u * 1024u;

// The largest file any program here reads whole (a text image of a full
// buffer at one byte per record stays below it).
inline constexpr std::uint64_t kMaxInputFile = 512ull * 1024 * 1024;

}  // namespace vexo
