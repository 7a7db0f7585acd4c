// SPDX-License-Identifier: GPL-3.0-or-later
#include "port/fault_port.h"

#include "base/numbers.h"

#include <cmath>
#include <limits>
#include <string_view>

namespace vexo {
namespace {

template <typename T>
bool ParseNumber(std::string_view text, T& out)
{
    const std::optional<std::uint64_t> n = ParseUnsigned(text, std::numeric_limits<T>::max());
    if (n) out = T(*n);
    return n.has_value();
}

// A probability, 0 to 1, as a plain decimal ("0.5", "1e-3"); no sign.
bool ParseProbability(std::string_view text, double& out)
{
    if (text.empty() || text.front() == '-') return false;
    const std::optional<double> p = ParseDecimal(text);
    if (!p || *p < 0 || *p > 1) return false;
    out = *p == 0 ? 0.0 : *p;
    return true;
}

}  // namespace

Result<FaultConfig> ParseFaultDescription(const std::string& text)
{
    FaultConfig parsed;
    if (text.empty()) return Status::Fail("empty fault description");
    std::string_view rest = text;
    for (bool more = true; more;) {
        const auto comma = rest.find(',');
        more = comma != std::string_view::npos;
        const std::string_view item = rest.substr(0, comma);
        if (more) rest.remove_prefix(comma + 1);
        const auto eq = item.find('=');
        if (eq == std::string_view::npos) return Status::Fail("fault '" + std::string(item) + "' needs key=value");
        const std::string_view key = item.substr(0, eq);
        const std::string_view value = item.substr(eq + 1);
        const std::string bad = "bad value for fault " + std::string(key) + ": '" + std::string(value) + "'";
        if (key == "seed") {
            if (!ParseNumber(value, parsed.seed)) return Status::Fail(bad);
        } else if (key == "flip") {
            if (!ParseProbability(value, parsed.flipProbability))
                return Status::Fail(bad + " (a probability 0..1)");
        } else if (key == "mask") {
            unsigned mask = 0;
            if (!ParseNumber(value, mask) || mask == 0 || mask > 0xFF)
                return Status::Fail(bad + " (bits 0x01..0xFF)");
            parsed.flipMask = std::uint8_t(mask);
        } else if (key == "stuck") {
            unsigned bit = 0, level = 0;
            const auto colon = value.find(':');
            if (colon == std::string_view::npos || !ParseNumber(value.substr(0, colon), bit) ||
                !ParseNumber(value.substr(colon + 1), level) || bit > 7 || level > 1)
                return Status::Fail(bad + " (BIT:VALUE, e.g. 6:1)");
            parsed.stuckMask = std::uint8_t(parsed.stuckMask | (1u << bit));
            parsed.stuckValue = std::uint8_t((parsed.stuckValue & ~(1u << bit)) | (level << bit));
        } else if (key == "unplug") {
            std::uint64_t after = 0;
            if (!ParseNumber(value, after)) return Status::Fail(bad + " (a number of port accesses)");
            parsed.unplugAfter = after;
        } else {
            return Status::Fail("unknown fault '" + std::string(key) + "' (seed, flip, mask, stuck, unplug)");
        }
    }
    return parsed;
}

FaultPort::FaultPort(std::unique_ptr<IPort> inner, const FaultConfig& config)
    : m_inner(std::move(inner)), m_config(config), m_state(config.seed)
{
    // Chance() compares 64 random bits with this.
    const double scaled = std::ldexp(config.flipProbability, 64);
    m_threshold = scaled >= 18446744073709551615.0 ? ~std::uint64_t(0) : std::uint64_t(scaled);
}

bool FaultPort::Chance()
{
    std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return (z ^ (z >> 31)) < m_threshold;
}

std::uint8_t FaultPort::In(std::uint16_t address)
{
    if (Unplugged()) {
        ++m_accesses;
        return 0x7F;
    }
    ++m_accesses;
    std::uint8_t value = m_inner->In(address);
    if (m_threshold != 0)
        for (unsigned bit = 0; bit < 8; ++bit)
            if ((m_config.flipMask >> bit) & 1u && Chance()) value ^= std::uint8_t(1u << bit);
    return std::uint8_t((value & ~m_config.stuckMask) | m_config.stuckValue);
}

void FaultPort::Out(std::uint16_t address, std::uint8_t value)
{
    const bool gone = Unplugged();
    ++m_accesses;
    if (!gone) m_inner->Out(address, value);
}

}  // namespace vexo
