// SPDX-License-Identifier: GPL-3.0-or-later
// Reads one flat JSON object: string, number, true/false and null members
// (what a job file holds). Nested objects and arrays are refused.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "base/error.h"

namespace vexo {

struct JsonValue {
    enum class Kind : std::uint8_t { Null, String, Number, Bool };
    Kind kind = Kind::Null;
    std::string text;    // a string's value; a number as written
    bool flag = false;   // a true/false
};

using JsonMembers = std::map<std::string, JsonValue, std::less<>>;

// The members of the object `text` holds; the failure names what is wrong
// and where ("line 3: a string needs its closing quote").
Result<JsonMembers> ParseFlatJsonObject(std::string_view text);

}  // namespace vexo
