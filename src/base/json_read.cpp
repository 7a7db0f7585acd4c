// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/json_read.h"

#include "base/text.h"

namespace vexo {
namespace {

class Reader {
public:
    explicit Reader(std::string_view text) : m_text(text) {}

    Result<JsonMembers> Object()
    {
        JsonMembers members;
        Blanks();
        if (!Take('{')) return Fail("the file does not hold a JSON object");
        Blanks();
        if (Take('}')) return End(std::move(members));
        for (;;) {
            Blanks();
            auto key = String();
            if (!key) return key.status();
            Blanks();
            if (!Take(':')) return Fail("a ':' must follow a member's name");
            Blanks();
            auto value = Value();
            if (!value) return value.status();
            if (members.count(*key)) return Fail(Cat({"'", *key, "' is given twice"}));
            members.emplace(std::move(*key), std::move(*value));
            Blanks();
            if (Take('}')) return End(std::move(members));
            if (!Take(',')) return Fail("a ',' or '}' must follow a member");
        }
    }

private:
    Result<JsonMembers> End(JsonMembers members)
    {
        Blanks();
        if (m_at != m_text.size()) return Fail("text after the object's end");
        return members;
    }

    Status Fail(std::string_view why) const
    {
        unsigned line = 1;
        for (std::size_t i = 0; i < m_at && i < m_text.size(); ++i) line += m_text[i] == '\n';
        return Status::Fail(Cat({"line ", std::to_string(line), ": ", why}));
    }

    void Blanks()
    {
        while (m_at < m_text.size() &&
               (m_text[m_at] == ' ' || m_text[m_at] == '\t' || m_text[m_at] == '\n' || m_text[m_at] == '\r'))
            ++m_at;
    }

    bool Take(char c)
    {
        if (m_at < m_text.size() && m_text[m_at] == c) {
            ++m_at;
            return true;
        }
        return false;
    }

    bool Word(std::string_view word)
    {
        if (m_text.substr(m_at, word.size()) != word) return false;
        m_at += word.size();
        return true;
    }

    static void Utf8(std::string& out, std::uint32_t cp)
    {
        if (cp < 0x80) {
            out += char(cp);
        } else if (cp < 0x800) {
            out += char(0xC0 | (cp >> 6));
            out += char(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += char(0xE0 | (cp >> 12));
            out += char(0x80 | ((cp >> 6) & 0x3F));
            out += char(0x80 | (cp & 0x3F));
        } else {
            out += char(0xF0 | (cp >> 18));
            out += char(0x80 | ((cp >> 12) & 0x3F));
            out += char(0x80 | ((cp >> 6) & 0x3F));
            out += char(0x80 | (cp & 0x3F));
        }
    }

    std::optional<std::uint32_t> Hex4()
    {
        if (m_at + 4 > m_text.size()) return std::nullopt;
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = m_text[m_at++];
            v <<= 4;
            if (c >= '0' && c <= '9') v |= std::uint32_t(c - '0');
            else if (c >= 'a' && c <= 'f') v |= std::uint32_t(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F') v |= std::uint32_t(c - 'A' + 10);
            else return std::nullopt;
        }
        return v;
    }

    Result<std::string> String()
    {
        if (!Take('"')) return Fail("a member's name must be a string");
        std::string out;
        while (m_at < m_text.size()) {
            const char c = m_text[m_at++];
            if (c == '"') return out;
            if (static_cast<unsigned char>(c) < 0x20) return Fail("a control character inside a string");
            if (c != '\\') {
                out += c;
                continue;
            }
            if (m_at >= m_text.size()) break;
            const char e = m_text[m_at++];
            switch (e) {
            case '"': case '\\': case '/': out += e; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u': {
                auto cp = Hex4();
                if (!cp) return Fail("a \\u escape needs four hexadecimal digits");
                if (*cp >= 0xD800 && *cp < 0xDC00 && Word("\\u")) {
                    auto low = Hex4();
                    if (!low || *low < 0xDC00 || *low >= 0xE000) return Fail("a lone surrogate in a \\u escape");
                    *cp = 0x10000 + ((*cp - 0xD800) << 10) + (*low - 0xDC00);
                } else if (*cp >= 0xD800 && *cp < 0xE000) {
                    return Fail("a lone surrogate in a \\u escape");
                }
                Utf8(out, *cp);
                break;
            }
            default: return Fail("an unknown escape in a string");
            }
        }
        return Fail("a string needs its closing quote");
    }

    Result<JsonValue> Value()
    {
        JsonValue value;
        if (m_at < m_text.size() && m_text[m_at] == '"') {
            auto text = String();
            if (!text) return text.status();
            value.kind = JsonValue::Kind::String;
            value.text = std::move(*text);
            return value;
        }
        if (Word("null")) return value;
        const bool isTrue = Word("true");
        if (isTrue || Word("false")) {
            value.kind = JsonValue::Kind::Bool;
            value.flag = isTrue;
            return value;
        }
        const std::size_t from = m_at;
        Take('-');
        while (m_at < m_text.size() && std::string_view("0123456789.eE+-").find(m_text[m_at]) != std::string_view::npos)
            ++m_at;
        if (m_at == from || (m_at == from + 1 && m_text[from] == '-')) {
            if (m_at < m_text.size() && (m_text[m_at] == '{' || m_text[m_at] == '['))
                return Fail("nested objects and arrays are not read here");
            return Fail("a value must be a string, a number, true, false or null");
        }
        value.kind = JsonValue::Kind::Number;
        value.text = std::string(m_text.substr(from, m_at - from));
        return value;
    }

    std::string_view m_text;
    std::size_t m_at = 0;
};

}  // namespace

Result<JsonMembers> ParseFlatJsonObject(std::string_view text)
{
    return Reader(text).Object();
}

}  // namespace vexo
