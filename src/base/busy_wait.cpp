// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/busy_wait.h"

#include <chrono>

namespace vexo {

void BusyWaitMicros(std::uint32_t micros)
{
    if (micros == 0) return;
    using Clock = std::chrono::steady_clock;
    const auto until = Clock::now() + std::chrono::microseconds(micros);
    while (Clock::now() < until) {
    }
}

}  // namespace vexo
