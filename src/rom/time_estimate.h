// SPDX-License-Identifier: GPL-3.0-or-later
// How many port accesses each operator command makes, and how long that
// takes on a port of a given speed: the passes' traffic is fixed per byte,
// so the count follows from the device, the speed and the settings.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vexo {

enum class Command { ReadRom, BlankCheck, WriteRom, Verify, AutoWrite };
inline constexpr int kCommandCount = 5;

// "Read ROM", "Blank Check", "Write ROM", "Verify", "Auto Write".
std::string_view CommandName(Command command);

struct CommandCost {
    std::uint64_t accesses = 0;  // port writes and reads
    std::uint64_t pulses = 0;    // program pulses, each with the pulse pause
};

// The traffic of a command that succeeds, on an erased chip where it checks
// one. `skippedBytes` are bytes the programming pass leaves out (0xFF bytes
// with blank-byte skipping on); they cost no access.
CommandCost CountCommand(Command command, int device, int speed, std::uint32_t skippedBytes = 0);

// Seconds the traffic takes at `nanosPerAccess`, each pulse stretched by
// `pulseMicros`.
double CommandSeconds(const CommandCost& cost, double nanosPerAccess, std::uint32_t pulseMicros);

// "0.4 s", "12 s", "1 min 20 s", "2 h 5 min".
std::string FormatDuration(double seconds);

// One header line, then a line per device and speed with each command's
// time: the port check's table.
std::vector<std::string> FormatTimeTable(double nanosPerAccess, std::uint32_t pulseMicros);

// "Programming 45%, about 1 min 20 s left": a pass's name, its count so far,
// its total and the seconds it has run. Before there is enough to judge by,
// just "Programming 0%".
std::string FormatPassProgress(std::string_view pass, std::uint64_t done, std::uint64_t total,
                               double elapsedSeconds);

}  // namespace vexo
