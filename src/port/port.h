// SPDX-License-Identifier: GPL-3.0-or-later
// The two operations the programming module is driven through: one byte in
// from an I/O address, one byte out to one. Nothing at this level fails.
#pragma once

#include <cstdint>

namespace vexo {

inline constexpr std::uint16_t kDataPort = 0x378;
inline constexpr std::uint16_t kStatusPort = 0x379;
inline constexpr std::uint16_t kControlPort = 0x37A;

class IPort {
public:
    virtual ~IPort() = default;
    virtual std::uint8_t In(std::uint16_t address) = 0;
    virtual void Out(std::uint16_t address, std::uint8_t value) = 0;
    // A pass over the chip ended: a port that holds work back (a simulated
    // chip's programmed bytes on their way to its file) finishes it now.
    // No access, nothing on the wire; wrappers pass it on.
    virtual void EndOfPass() {}
};

}  // namespace vexo
