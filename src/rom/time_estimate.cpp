// SPDX-License-Identifier: GPL-3.0-or-later
#include "rom/time_estimate.h"

#include <cmath>
#include <cstdio>

#include "rom/catalogue.h"

namespace vexo {
namespace {

// One serial read: the data bit-1 frame and eight samples of two writes and
// a status read each.
constexpr std::uint64_t kReadByte = 2 + 8 * 3;
constexpr std::uint64_t kShiftAddress = 24 * 3;
constexpr std::uint64_t kResetLines = 4;

// Per byte: line reset, address, one control write, the read.
constexpr std::uint64_t kReadPassByte = kResetLines + kShiftAddress + 1 + kReadByte;

std::uint64_t VerifyPassByte(int device)
{
    const int lastBank = g_nLastBank[std::size_t(device)];
    const int setup = lastBank == 7 ? 2 : (lastBank == 1 || lastBank == 3) ? 3 : 1;
    return kResetLines + kShiftAddress + std::uint64_t(setup) + kReadByte;
}

std::uint64_t ProgramPassByte(int device, int speed)
{
    const int lastBank = g_nLastBank[std::size_t(device)];
    const std::uint64_t setup = PulseUsesBit4(lastBank) ? 5 : 4;
    const std::uint64_t pulse = lastBank == 7 ? 7 : PulseUsesBit4(lastBank) ? 6 : 3;
    // Setup, address, the program-line write and the data byte, the pulses.
    return setup + kShiftAddress + 2 + std::uint64_t(g_nPulseCount[std::size_t(speed)]) * pulse;
}

}  // namespace

std::string_view CommandName(Command command)
{
    switch (command) {
    case Command::ReadRom: return "Read ROM";
    case Command::BlankCheck: return "Blank Check";
    case Command::WriteRom: return "Write ROM";
    case Command::Verify: return "Verify";
    case Command::AutoWrite: return "Auto Write";
    }
    return {};
}

CommandCost CountCommand(Command command, int device, int speed, std::uint32_t skippedBytes)
{
    const std::uint64_t size = kDevices[std::size_t(device)].Size();
    const std::uint64_t programmed = skippedBytes < size ? size - skippedBytes : 0;
    const CommandCost program{programmed * ProgramPassByte(device, speed),
                              programmed * std::uint64_t(g_nPulseCount[std::size_t(speed)])};
    const std::uint64_t verify = size * VerifyPassByte(device);
    switch (command) {
    case Command::ReadRom:
        // Two control writes and the module check (two writes, one read).
        return {2 + 3 + size * kReadPassByte, 0};
    case Command::BlankCheck: return {size * kReadPassByte, 0};
    case Command::WriteRom:
        // Address 0 is read before programming.
        return {kReadPassByte + program.accesses + verify, program.pulses};
    case Command::Verify: return {verify, 0};
    case Command::AutoWrite:
        return {size * kReadPassByte + program.accesses + kResetLines + verify, program.pulses};
    }
    return {};
}

double CommandSeconds(const CommandCost& cost, double nanosPerAccess, std::uint32_t pulseMicros)
{
    return double(cost.accesses) * nanosPerAccess * 1e-9 + double(cost.pulses) * pulseMicros * 1e-6;
}

std::string FormatDuration(double seconds)
{
    char text[48];
    if (!(seconds >= 0.0)) seconds = 0.0;
    if (seconds < 10.0) {
        std::snprintf(text, sizeof text, "%.1f s", seconds);
        return text;
    }
    const auto whole = std::uint64_t(std::llround(seconds));
    if (whole < 60)
        std::snprintf(text, sizeof text, "%llu s", static_cast<unsigned long long>(whole));
    else if (whole < 3600)
        std::snprintf(text, sizeof text, "%llu min %llu s", static_cast<unsigned long long>(whole / 60),
                      static_cast<unsigned long long>(whole % 60));
    else
        std::snprintf(text, sizeof text, "%llu h %llu min",
                      static_cast<unsigned long long>(whole / 3600),
                      static_cast<unsigned long long>(whole % 3600 / 60));
    return text;
}

std::vector<std::string> FormatTimeTable(double nanosPerAccess, std::uint32_t pulseMicros)
{
    std::vector<std::string> lines;
    char text[160];
    std::snprintf(text, sizeof text, "%-8s %-8s", "device", "speed");
    std::string header = text;
    for (int c = 0; c < kCommandCount; ++c) {
        std::snprintf(text, sizeof text, " %12s", std::string(CommandName(Command(c))).c_str());
        header += text;
    }
    lines.push_back(header);
    for (int device = 0; device < kDeviceCount; ++device) {
        for (int speed = 0; speed < kSpeedCount; ++speed) {
            std::snprintf(text, sizeof text, "%-8s %-8s",
                          std::string(kDevices[std::size_t(device)].name).c_str(),
                          std::string(kSpeeds[std::size_t(speed)].name).c_str());
            std::string line = text;
            for (int c = 0; c < kCommandCount; ++c) {
                const double seconds =
                    CommandSeconds(CountCommand(Command(c), device, speed), nanosPerAccess, pulseMicros);
                std::snprintf(text, sizeof text, " %12s", FormatDuration(seconds).c_str());
                line += text;
            }
            lines.push_back(line);
        }
    }
    return lines;
}

std::string FormatPassProgress(std::string_view pass, std::uint64_t done, std::uint64_t total,
                               double elapsedSeconds)
{
    if (total == 0) total = 1;
    if (done > total) done = total;
    const auto percent = done * 100 / total;
    std::string line = std::string(pass) + " " + std::to_string(percent) + "%";
    // Half a second and one byte in, the rate says something.
    if (done > 0 && done < total && elapsedSeconds >= 0.5) {
        const double left = elapsedSeconds * double(total - done) / double(done);
        line += ", about " + FormatDuration(left) + " left";
    }
    return line;
}

}  // namespace vexo
