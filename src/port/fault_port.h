// SPDX-License-Identifier: GPL-3.0-or-later
// Seeded, reproducible faults on any port, for proving that every failure
// reaches the operator as a failure. Description (--fault), keys joined by
// commas:
//   seed=N        the random sequence (default 1)
//   flip=P        each status read flips, with probability P (0..1), each of
//                 the bits in mask=0xNN (default 0x40, the read line)
//   stuck=B:V     status bit B (0..7) always reads V (0 or 1)
//   unplug=N      after N port accesses the module is gone: status reads
//                 0x7F and writes reach nothing
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "base/error.h"
#include "port/port.h"

namespace vexo {

struct FaultConfig {
    std::uint64_t seed = 1;
    double flipProbability = 0;
    std::uint8_t flipMask = 0x40;
    std::uint8_t stuckMask = 0;   // bits held ...
    std::uint8_t stuckValue = 0;  // ... at these values
    std::optional<std::uint64_t> unplugAfter;
};

// Fails with a one-line reason when the text is not a fault description.
Result<FaultConfig> ParseFaultDescription(const std::string& text);

class FaultPort final : public IPort {
public:
    FaultPort(std::unique_ptr<IPort> inner, const FaultConfig& config);

    std::uint8_t In(std::uint16_t address) override;
    void Out(std::uint16_t address, std::uint8_t value) override;
    void EndOfPass() override { m_inner->EndOfPass(); }

    std::uint64_t Accesses() const { return m_accesses; }
    bool Unplugged() const { return m_config.unplugAfter && m_accesses >= *m_config.unplugAfter; }

private:
    bool Chance();

    std::unique_ptr<IPort> m_inner;
    FaultConfig m_config;
    std::uint64_t m_state;  // splitmix64
    std::uint64_t m_threshold;
    std::uint64_t m_accesses = 0;
};

}  // namespace vexo
