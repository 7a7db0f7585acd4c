// SPDX-License-Identifier: GPL-3.0-or-later
#include "rom/shadows.h"

namespace vexo {

std::uint8_t g_byControl = 0;
std::uint8_t g_byData = 0;
std::uint8_t g_byStatus = 0;
std::uint8_t g_byReadByte = 0;
std::uint8_t g_byAddrByte = 0;

void ResetShadows()
{
    g_byControl = g_byData = g_byStatus = g_byReadByte = g_byAddrByte = 0;
}

}  // namespace vexo
