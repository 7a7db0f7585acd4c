// SPDX-License-Identifier: GPL-3.0-or-later
// JSON Lines output: one object per line, every string escaped so that any
// JSON parser reads it back (quotes, backslashes, control characters; bytes
// that are not UTF-8 become U+FFFD). Written here rather than taken from a
// library: output is all the programs need, a flat builder is a page of
// code, it never throws, and it keeps the core free of a heavy header.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vexo {

// `text` as a JSON string literal, quotes included.
std::string JsonString(std::string_view text);

class JsonObject {
public:
    JsonObject& String(std::string_view key, std::string_view value);
    JsonObject& Bool(std::string_view key, bool value);
    JsonObject& Int(std::string_view key, std::int64_t value);
    JsonObject& Unsigned(std::string_view key, std::uint64_t value);
    // Fixed-point with `decimals` places (durations); NaN and infinities as null.
    JsonObject& Fixed(std::string_view key, double value, int decimals);
    JsonObject& Null(std::string_view key);
    JsonObject& Object(std::string_view key, const JsonObject& value);
    // Every member of `other` after these (the caller keeps keys distinct).
    JsonObject& Merge(const JsonObject& other);

    bool Empty() const { return m_body.empty(); }
    // "{...}" without a line end.
    std::string Text() const { return "{" + m_body + "}"; }
    // "{...}\n": one JSON Lines record.
    std::string Line() const { return Text() + "\n"; }

private:
    JsonObject& Member(std::string_view key, std::string_view rawValue);
    std::string m_body;
};

}  // namespace vexo
