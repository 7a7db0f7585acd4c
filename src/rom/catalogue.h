// SPDX-License-Identifier: GPL-3.0-or-later
// The devices the module programs and the speeds it programs them at.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace vexo {

struct DeviceInfo {
    std::string_view name;
    std::int32_t lastPage;   // pages 0..lastPage in each bank
    std::int32_t lastBank;   // banks 0..lastBank
    std::uint16_t dipOn;     // module DIP switches 1..12 that stand ON (bit n-1)

    constexpr std::uint32_t Size() const
    {
        return std::uint32_t(lastBank + 1) * std::uint32_t(lastPage + 1) * 256u;
    }
    constexpr bool SwitchOn(int number) const { return (dipOn >> (number - 1)) & 1u; }
};

constexpr std::uint16_t Switches(std::initializer_list<int> on)
{
    std::uint16_t mask = 0;
    for (int n : on) mask = std::uint16_t(mask | (1u << (n - 1)));
    return mask;
}

inline constexpr int kDeviceCount = 5;
inline constexpr std::array<DeviceInfo, kDeviceCount> kDevices{{
    {"27C256", 127, 0, Switches({1, 2, 5, 6, 8, 9})},
    {"27C512", 255, 0, Switches({3, 5, 7, 8, 9})},
    {"27C010", 255, 1, Switches({3, 5, 6, 10, 11})},
    {"27C020", 255, 3, Switches({3, 5, 6, 10, 11})},
    {"27C040", 255, 7, Switches({3, 5, 6, 8, 10, 12})},
}};

struct SpeedInfo {
    std::string_view name;
    std::int32_t pulses;
};

inline constexpr int kSpeedCount = 3;
inline constexpr std::array<SpeedInfo, kSpeedCount> kSpeeds{{
    {"Normal", 20},
    {"High", 15},
    {"Express", 5},
}};

namespace detail {
template <typename F>
constexpr std::array<std::int32_t, kDeviceCount> PerDevice(F f)
{
    std::array<std::int32_t, kDeviceCount> out{};
    for (int i = 0; i < kDeviceCount; ++i) out[i] = f(kDevices[i]);
    return out;
}
}  // namespace detail

// The tables the passes read, indexed by device and speed index.
inline constexpr auto g_nLastPage = detail::PerDevice([](const DeviceInfo& d) { return d.lastPage; });
inline constexpr auto g_nLastBank = detail::PerDevice([](const DeviceInfo& d) { return d.lastBank; });
inline constexpr std::array<std::int32_t, kSpeedCount> g_nPulseCount{
    kSpeeds[0].pulses, kSpeeds[1].pulses, kSpeeds[2].pulses};

// Whether a device's program pulse takes control bit 4 beside bit 3: the
// parts whose last bank is 1, 3 or 7 (27C010 to 27C040).
constexpr bool PulseUsesBit4(int lastBank) { return lastBank == 1 || lastBank == 3 || lastBank == 7; }

// Index by name ("27C040", "High"); case-insensitive. Empty when unknown.
std::optional<int> FindDevice(std::string_view name);
std::optional<int> FindSpeed(std::string_view name);

}  // namespace vexo
