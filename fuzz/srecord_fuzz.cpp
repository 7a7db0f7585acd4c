// SPDX-License-Identifier: GPL-3.0-or-later
#include "text_image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return FuzzTextImage(vexo::ImageFormat::SRecord, data, size);
}
