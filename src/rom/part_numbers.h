// SPDX-License-Identifier: GPL-3.0-or-later
// The part numbers printed on chips, mapped to the five module types. A
// number is read the way people copy it off a package: maker prefix, the
// family, a revision letter, then speed and package codes ("M27C512-12F1",
// "AM27C010-150DC", "TMS27C010A-12JL").
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vexo {

struct PartInfo {
    int device = 0;          // index into kDevices
    std::string family;      // the table entry that matched ("27C512")
    std::string note;        // empty, or what matters about this part here
};

// The entry for `part` (case-insensitive; maker prefix, revision letter and
// speed/package suffixes allowed). Empty when the family is not one of ours.
std::optional<PartInfo> FindPart(std::string_view part);

// Up to `count` table names closest to `part`, closest first: for "unknown
// part; did you mean ...".
std::vector<std::string> ClosestParts(std::string_view part, std::size_t count = 3);

// The operator's sentence for a number FindPart does not know:
// "27C521 is not a part this module programs; the closest are 27C512, ...".
std::string UnknownPartMessage(std::string_view part);

// Every family name the table knows, in table order.
std::vector<std::string> KnownPartFamilies();

}  // namespace vexo
