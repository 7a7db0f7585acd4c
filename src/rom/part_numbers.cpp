// SPDX-License-Identifier: GPL-3.0-or-later
#include "rom/part_numbers.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "rom/catalogue.h"

namespace vexo {
namespace {

struct Family {
    std::string_view name;  // upper case, no maker prefix
    int device;
    std::string_view note;
};

constexpr std::string_view kNmos =
    "an NMOS part: compare the programming voltage (Vpp) on its data sheet with the "
    "module's before writing";
constexpr std::string_view kEeprom =
    "electrically erasable: this module programs it but cannot erase it; UV light does "
    "nothing to it, erase it in a programmer that can";

// One row per family as the chip prints it after the maker's prefix.
constexpr std::array<Family, 17> kFamilies{{
    {"27C256", 0, {}},
    {"27256", 0, kNmos},
    {"W27C257", 0, kEeprom},
    {"W27E257", 0, kEeprom},
    {"27C512", 1, {}},
    {"27512", 1, kNmos},
    {"W27C512", 1, kEeprom},
    {"W27E512", 1, kEeprom},
    {"27C010", 2, {}},
    {"27C1001", 2, {}},
    {"W27C010", 2, kEeprom},
    {"27C020", 3, {}},
    {"27C2001", 3, {}},
    {"W27C020", 3, kEeprom},
    {"27C040", 4, {}},
    {"27C4001", 4, {}},
    {"W27C040", 4, kEeprom},
}};

// Maker prefixes seen in front of the family (longest first so that "AM"
// does not leave an "M" behind).
constexpr std::array<std::string_view, 17> kPrefixes{
    "TMS", "MBM", "UPD", "SST", "HN", "AM", "AT", "NM", "ST", "MX", "TC", "CY", "KM", "D", "M", "I",
    "P"};

std::string Upper(std::string_view text)
{
    std::string out;
    for (char c : text)
        if (c != ' ') out.push_back(char(std::toupper(static_cast<unsigned char>(c))));
    return out;
}

// "M27C512-12F1" -> "27C512" tails: what follows the family must be a
// suffix, not more digits of another number.
bool SuffixFits(std::string_view rest)
{
    if (rest.empty()) return true;
    const char c = rest.front();
    // A revision letter ("TMS27C010A"), a dash or a speed/package code
    // ("27C256-15", "27C512JC", "27C010 F1"); digits would make another part.
    return !std::isdigit(static_cast<unsigned char>(c));
}

// The family at the start of `text`, the longest that fits.
const Family* MatchFamily(std::string_view text)
{
    const Family* best = nullptr;
    for (const Family& f : kFamilies) {
        if (text.substr(0, f.name.size()) != f.name) continue;
        if (!SuffixFits(text.substr(f.name.size()))) continue;
        if (!best || f.name.size() > best->name.size()) best = &f;
    }
    return best;
}

std::size_t EditDistance(std::string_view a, std::string_view b)
{
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// Strips speed and package suffixes: everything from the first dash.
std::string_view BeforeDash(std::string_view text) { return text.substr(0, text.find('-')); }

}  // namespace

std::optional<PartInfo> FindPart(std::string_view part)
{
    const std::string text = Upper(part);
    if (text.empty()) return std::nullopt;
    // The five module names themselves, as FindDevice takes them.
    if (const auto device = FindDevice(text))
        return PartInfo{*device, std::string(kDevices[std::size_t(*device)].name), {}};

    const Family* found = MatchFamily(text);
    if (!found) {
        for (std::string_view prefix : kPrefixes) {
            if (text.size() <= prefix.size() || text.compare(0, prefix.size(), prefix) != 0)
                continue;
            if ((found = MatchFamily(std::string_view(text).substr(prefix.size())))) break;
        }
    }
    if (!found) return std::nullopt;
    return PartInfo{found->device, std::string(found->name), std::string(found->note)};
}

std::vector<std::string> ClosestParts(std::string_view part, std::size_t count)
{
    const std::string text = Upper(part);
    const std::string_view core = BeforeDash(text);
    std::vector<std::pair<std::size_t, std::string_view>> ranked;
    for (const Family& f : kFamilies) {
        std::size_t distance = EditDistance(core, f.name);
        // A maker prefix in front costs nothing.
        for (std::string_view prefix : kPrefixes)
            if (core.size() > prefix.size() && core.substr(0, prefix.size()) == prefix)
                distance = std::min(distance, EditDistance(core.substr(prefix.size()), f.name));
        ranked.emplace_back(distance, f.name);
    }
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string> out;
    for (const auto& [distance, name] : ranked) {
        if (out.size() == count) break;
        out.emplace_back(name);
    }
    return out;
}

std::string UnknownPartMessage(std::string_view part)
{
    std::string message = std::string(part) + " is not a part this module programs; the closest are ";
    const std::vector<std::string> closest = ClosestParts(part);
    for (std::size_t i = 0; i < closest.size(); ++i) message += (i ? ", " : "") + closest[i];
    return message;
}

std::vector<std::string> KnownPartFamilies()
{
    std::vector<std::string> out;
    for (const Family& f : kFamilies) out.emplace_back(f.name);
    return out;
}

}  // namespace vexo
