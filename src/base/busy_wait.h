// SPDX-License-Identifier: GPL-3.0-or-later
// A pause of a few microseconds to a few milliseconds, timed on the steady
// clock. It spins rather than sleeps: a sleep may overshoot by a scheduler
// tick, which is longer than the pauses it is meant for.
#pragma once

#include <cstdint>

namespace vexo {

void BusyWaitMicros(std::uint32_t micros);

}  // namespace vexo
