// SPDX-License-Identifier: GPL-3.0-or-later
// SHA-256 as 64 lower-case hexadecimal digits: of bytes, and of a file.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "base/error.h"

namespace vexo {

std::string Sha256Hex(std::span<const std::uint8_t> bytes);
// The file's digest, or why it could not be read ("fw.bin: No such file or directory").
Result<std::string> FileSha256(const std::string& path);

}  // namespace vexo
