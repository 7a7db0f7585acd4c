#include "rom/catalogue.h"

#include <algorithm>
#include <cctype>

namespace vexo {
namespace {

bool SameText(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

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
