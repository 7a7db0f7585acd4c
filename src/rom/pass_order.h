// SPDX-License-Identifier: GPL-3.0-or-later
// The order every whole-device pass visits the chip in: bank, page and byte
// ascending, byte innermost.
#pragma once

#include <cstdint>

#include "rom/catalogue.h"

namespace vexo {

// Calls visit(address) for every address of the device, in pass order, until
// it returns false.
template <typename Visit>
void ForEachAddress(int device, Visit visit)
{
    const std::uint32_t lastBank = std::uint32_t(g_nLastBank[device]);
    const std::uint32_t lastPage = std::uint32_t(g_nLastPage[device]);
    for (std::uint32_t bank = 0; bank <= lastBank; ++bank)
        for (std::uint32_t page = 0; page <= lastPage; ++page)
            for (std::uint32_t byte = 0; byte <= 255; ++byte)
                if (!visit(bank * 0x10000 + page * 0x100 + byte)) return;
}

}  // namespace vexo
