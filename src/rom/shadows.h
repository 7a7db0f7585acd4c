// SPDX-License-Identifier: GPL-3.0-or-later
// The port-register shadows. Every write to the data or control register
// sends a whole shadow after changing one bit of it; the status shadow keeps
// the last byte read. Process-wide, zero at start.
#pragma once

#include <cstdint>

namespace vexo {

extern std::uint8_t g_byControl;
extern std::uint8_t g_byData;
extern std::uint8_t g_byStatus;
extern std::uint8_t g_byReadByte;
extern std::uint8_t g_byAddrByte;

// Back to the process-start state (tests run many device objects in one process).
void ResetShadows();

}  // namespace vexo
