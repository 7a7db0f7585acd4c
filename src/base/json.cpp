// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/json.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace vexo {
namespace {

// Length of the well-formed UTF-8 sequence at the start of `s` (1..4), or 0
// when it is not one (stray continuation byte, overlong form, surrogate,
// past U+10FFFF, cut short).
std::size_t Utf8Length(std::string_view s)
{
    const auto b = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned c = b(0);
    std::size_t len;
    unsigned lo = 0x80, hi = 0xBF;  // allowed range of the second byte
    if (c < 0x80) return 1;
    if (c >= 0xC2 && c <= 0xDF) len = 2;
    else if (c >= 0xE0 && c <= 0xEF) {
        len = 3;
        if (c == 0xE0) lo = 0xA0;
        if (c == 0xED) hi = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4;
        if (c == 0xF0) lo = 0x90;
        if (c == 0xF4) hi = 0x8F;
    } else {
        return 0;
    }
    if (s.size() < len) return 0;
    if (b(1) < lo || b(1) > hi) return 0;
    for (std::size_t i = 2; i < len; ++i)
        if (b(i) < 0x80 || b(i) > 0xBF) return 0;
    return len;
}

}  // namespace

std::string JsonString(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + 2);
    out += '"';
    while (!text.empty()) {
        const unsigned char c = static_cast<unsigned char>(text[0]);
        const std::size_t len = Utf8Length(text);
        if (len == 0) {
            out += "\\ufffd";  // not UTF-8: the replacement character
            text.remove_prefix(1);
            continue;
        }
        if (len == 1) {
            switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            case '\b': out += "\\b"; break;
            case '\f': out += "\\f"; break;
            default:
                if (c < 0x20 || c == 0x7F) {
                    char esc[8];
                    std::snprintf(esc, sizeof esc, "\\u%04x", c);
                    out += esc;
                } else {
                    out += char(c);
                }
            }
        } else if (len == 3 && c == 0xE2 && static_cast<unsigned char>(text[1]) == 0x80 &&
                   (static_cast<unsigned char>(text[2]) == 0xA8 ||
                    static_cast<unsigned char>(text[2]) == 0xA9)) {
            // U+2028/U+2029 are valid JSON but end lines in some readers.
            out += static_cast<unsigned char>(text[2]) == 0xA8 ? "\\u2028" : "\\u2029";
        } else {
            out.append(text.substr(0, len));
        }
        text.remove_prefix(len);
    }
    out += '"';
    return out;
}

JsonObject& JsonObject::Member(std::string_view key, std::string_view rawValue)
{
    if (!m_body.empty()) m_body += ',';
    m_body += JsonString(key);
    m_body += ':';
    m_body.append(rawValue);
    return *this;
}

JsonObject& JsonObject::String(std::string_view key, std::string_view value)
{
    return Member(key, JsonString(value));
}

JsonObject& JsonObject::Merge(const JsonObject& other)
{
    if (other.m_body.empty()) return *this;
    if (!m_body.empty()) m_body += ',';
    m_body += other.m_body;
    return *this;
}

JsonObject& JsonObject::Bool(std::string_view key, bool value)
{
    return Member(key, value ? "true" : "false");
}

JsonObject& JsonObject::Int(std::string_view key, std::int64_t value)
{
    return Member(key, std::to_string(value));
}

JsonObject& JsonObject::Unsigned(std::string_view key, std::uint64_t value)
{
    return Member(key, std::to_string(value));
}

JsonObject& JsonObject::Fixed(std::string_view key, double value, int decimals)
{
    if (!std::isfinite(value)) return Null(key);
    // to_chars, not printf: Qt sets the desktop's locale, and "21,4" is no JSON.
    char text[400];
    const int places = decimals < 0 ? 0 : decimals > 9 ? 9 : decimals;
    const auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, places);
    if (end.ec != std::errc()) return Null(key);
    return Member(key, std::string_view(text, std::size_t(end.ptr - text)));
}

JsonObject& JsonObject::Null(std::string_view key) { return Member(key, "null"); }

JsonObject& JsonObject::Object(std::string_view key, const JsonObject& value)
{
    return Member(key, value.Text());
}

}  // namespace vexo
