// SPDX-License-Identifier: GPL-3.0-or-later
#include "rom/catalogue.h"

#include "base/text.h"

namespace vexo {
namespace {


template <typename Table>
std::optional<int> Find(const Table& table, std::string_view name)
{
    for (std::size_t i = 0; i < table.size(); ++i)
        if (SameText(table[i].name, name)) return int(i);
    return std::nullopt;
}

}  // namespace

std::optional<int> FindDevice(std::string_view name) { return Find(kDevices, name); }
std::optional<int> FindSpeed(std::string_view name) { return Find(kSpeeds, name); }

}  // namespace vexo
