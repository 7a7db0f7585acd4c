// SPDX-License-Identifier: GPL-3.0-or-later
// XML DATs through expat, a streaming parser (only the game being read is
// kept); ClrMamePro text through a small tokenizer of its own, which reads
// the same way.
#include "rom/dat_reader.h"

#include <expat.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/file_io.h"
#include "base/numbers.h"
#include "base/text.h"

namespace vexo {

std::string_view DatFormatName(DatFormat format)
{
    switch (format) {
    case DatFormat::SoftwareList: return "software list";
    case DatFormat::MachineList: return "machine listing";
    case DatFormat::Logiqx: return "Logiqx XML DAT";
    case DatFormat::ClrMamePro: return "ClrMamePro DAT";
    }
    return "?";
}

namespace {

constexpr std::size_t kChunk = 64 * 1024;
constexpr std::string_view kNoFormat =
    "is none of the DAT formats (a software list, a machine listing, a Logiqx XML or a ClrMamePro DAT)";

// A source of bytes: a file read a chunk at a time, or text in memory.
class Input {
public:
    explicit Input(int fd) : m_fd(fd) {}
    explicit Input(std::string_view text) : m_text(text) {}
    // The next piece; empty at the end. Fails with the reason.
    Result<std::string_view> Next()
    {
        if (m_fd < 0) {
            const std::string_view piece = m_text.substr(0, kChunk);
            m_text.remove_prefix(piece.size());
            return piece;
        }
        m_buffer.resize(kChunk);
        while (true) {
            const ssize_t got = read(m_fd, m_buffer.data(), m_buffer.size());
            if (got >= 0) return std::string_view(m_buffer.data(), std::size_t(got));
            if (errno != EINTR) return Status::Fail(std::strerror(errno), errno);
        }
    }

private:
    int m_fd = -1;
    std::string_view m_text;
    std::string m_buffer;
};

int HexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<std::uint32_t> ParseCrc(std::string_view text)
{
    if (text.empty() || text.size() > 8) return std::nullopt;
    std::uint32_t value = 0;
    for (char c : text) {
        const int digit = HexValue(c);
        if (digit < 0) return std::nullopt;
        value = value * 16 + std::uint32_t(digit);
    }
    return value;
}

// Stores one of a rom's fields; the reason when its value is not understood.
std::string SetRomField(DatRom& rom, std::string_view key, std::string_view value)
{
    if (key == "name") {
        rom.name = value;
    } else if (key == "size") {
        rom.size = ParseUnsigned(value);
        if (!rom.size) return Cat({"rom \"", rom.name, "\": size '", value, "' is not a number"});
    } else if (key == "crc") {
        rom.crc32 = ParseCrc(value);
        if (!rom.crc32) return Cat({"rom \"", rom.name, "\": crc '", value, "' is not 8 hexadecimal digits"});
    } else if (key == "sha1") {
        rom.sha1 = ParseSha1(value);
        if (!rom.sha1) return Cat({"rom \"", rom.name, "\": sha1 '", value, "' is not 40 hexadecimal digits"});
    } else if (key == "status" || key == "flags") {
        if (value == "baddump") rom.badDump = true;
        if (value == "nodump") rom.noDump = true;
    }
    return {};
}

// --- XML ---

struct XmlState {
    XML_Parser parser = nullptr;
    const std::function<void(const DatGame&)>* game = nullptr;
    std::optional<DatFormat> format;
    std::string rootName;
    int depth = 0;
    int gameDepth = -1;  // depth of the game element being read; -1 outside one
    bool inDescription = false;
    DatGame current;
    std::string error;  // ours, when we stopped the parser
};

void Fail(XmlState& s, std::string reason)
{
    if (s.error.empty())
        s.error = Cat({"line ", std::to_string(XML_GetCurrentLineNumber(s.parser)), ": ", reason});
    XML_StopParser(s.parser, XML_FALSE);
}

bool IsGameElement(std::string_view name) { return name == "software" || name == "machine" || name == "game"; }

void XMLCALL OnStart(void* data, const XML_Char* name, const XML_Char** attrs)
{
    XmlState& s = *static_cast<XmlState*>(data);
    const std::string_view element = name;
    ++s.depth;
    if (s.depth == 1) {
        if (element == "softwarelist" || element == "softwarelists") s.format = DatFormat::SoftwareList;
        else if (element == "mame" || element == "mess") s.format = DatFormat::MachineList;
        else if (element == "datafile") s.format = DatFormat::Logiqx;
        else {
            s.error = Cat({kNoFormat, ": its root element is <", element, ">"});
            XML_StopParser(s.parser, XML_FALSE);
        }
        return;
    }
    if (s.gameDepth < 0) {
        if (!IsGameElement(element)) return;
        s.gameDepth = s.depth;
        s.current.name.clear();
        s.current.description.clear();
        s.current.roms.clear();
        for (const XML_Char** a = attrs; *a; a += 2)
            if (std::string_view(a[0]) == "name") s.current.name = a[1];
        return;
    }
    if (element == "description" && s.depth == s.gameDepth + 1) {
        s.inDescription = true;
        return;
    }
    if (element != "rom") return;
    DatRom rom;
    // The name first, so that a bad field names its rom.
    for (const XML_Char** a = attrs; *a; a += 2)
        if (std::string_view(a[0]) == "name") rom.name = a[1];
    for (const XML_Char** a = attrs; *a; a += 2) {
        if (std::string reason = SetRomField(rom, a[0], a[1]); !reason.empty()) {
            Fail(s, std::move(reason));
            return;
        }
    }
    s.current.roms.push_back(std::move(rom));
}

void XMLCALL OnEnd(void* data, const XML_Char*)
{
    XmlState& s = *static_cast<XmlState*>(data);
    if (s.depth == s.gameDepth) {
        (*s.game)(s.current);
        s.gameDepth = -1;
    }
    s.inDescription = false;
    --s.depth;
}

void XMLCALL OnText(void* data, const XML_Char* text, int length)
{
    XmlState& s = *static_cast<XmlState*>(data);
    if (s.inDescription) s.current.description.append(text, std::size_t(length));
}

Result<DatFormat> ReadXml(Input& input, std::string_view head, const std::function<void(const DatGame&)>& game)
{
    XmlState s;
    s.game = &game;
    s.parser = XML_ParserCreate(nullptr);
    if (!s.parser) return Status::Fail("out of memory");
    XML_SetUserData(s.parser, &s);
    XML_SetElementHandler(s.parser, OnStart, OnEnd);
    XML_SetCharacterDataHandler(s.parser, OnText);
    std::string_view piece = head;
    Status outcome = Status::Ok();
    while (true) {
        const bool last = piece.empty();
        if (XML_Parse(s.parser, piece.data(), int(piece.size()), last) != XML_STATUS_OK) {
            if (s.error.empty())
                s.error = Cat({"line ", std::to_string(XML_GetCurrentLineNumber(s.parser)), ": ",
                               XML_ErrorString(XML_GetErrorCode(s.parser))});
            break;
        }
        if (last) break;
        Result<std::string_view> next = input.Next();
        if (!next) {
            outcome = next.status();
            break;
        }
        piece = *next;
    }
    XML_ParserFree(s.parser);
    if (!outcome) return outcome;
    if (!s.error.empty()) return Status::Fail(s.error);
    if (!s.format) return Status::Fail(std::string(kNoFormat));
    return *s.format;
}

// --- ClrMamePro text ---

// Tokens: "(", ")", a quoted string or a bare word.
class Tokenizer {
public:
    Tokenizer(Input& input, std::string_view head) : m_input(input), m_piece(head) {}

    enum class Kind : std::uint8_t { End, Open, Close, Word, Failed };
    struct Token {
        Kind kind = Kind::End;
        std::string text;
    };

    Token Next()
    {
        Token token;
        // Blanks before the token.
        while (true) {
            const int c = Peek();
            if (c < 0) return {m_failed ? Kind::Failed : Kind::End, m_error};
            if (c == '\n') ++m_line;
            if (c != ' ' && c != '\t' && c != '\r' && c != '\n') break;
            Take();
        }
        const int c = Take();
        if (c == '(') return {Kind::Open, "("};
        if (c == ')') return {Kind::Close, ")"};
        token.kind = Kind::Word;
        if (c == '"') {
            while (true) {
                const int d = Take();
                if (d < 0 || d == '\n') return {Kind::Failed, m_failed ? m_error : "a quoted text does not end"};
                if (d == '"') break;
                if (d == '\\') {
                    const int e = Take();
                    if (e < 0) return {Kind::Failed, "a quoted text does not end"};
                    token.text += char(e);
                    continue;
                }
                token.text += char(d);
            }
            return token;
        }
        token.text += char(c);
        while (true) {
            const int d = Peek();
            if (d < 0 || d == ' ' || d == '\t' || d == '\r' || d == '\n' || d == '(' || d == ')' || d == '"') break;
            token.text += char(Take());
        }
        return token;
    }
    unsigned Line() const { return m_line; }

private:
    int Peek()
    {
        if (m_piece.empty() && !Refill()) return -1;
        return static_cast<unsigned char>(m_piece.front());
    }
    int Take()
    {
        const int c = Peek();
        if (c >= 0) m_piece.remove_prefix(1);
        return c;
    }
    bool Refill()
    {
        if (m_ended) return false;
        Result<std::string_view> next = m_input.Next();
        if (!next) {
            m_failed = true;
            m_error = next.message();
            m_ended = true;
            return false;
        }
        m_piece = *next;
        if (m_piece.empty()) m_ended = true;
        return !m_piece.empty();
    }

    Input& m_input;
    std::string_view m_piece;
    bool m_ended = false;
    bool m_failed = false;
    std::string m_error;
    unsigned m_line = 1;
};

Result<DatFormat> ReadClrMamePro(Input& input, std::string_view head, const std::function<void(const DatGame&)>& game)
{
    using Kind = Tokenizer::Kind;
    Tokenizer tokens(input, head);
    const auto failAt = [&tokens](std::string_view reason) {
        return Status::Fail(Cat({"line ", std::to_string(tokens.Line()), ": ", reason}));
    };
    bool first = true;
    while (true) {
        // A block: NAME ( ... )
        Tokenizer::Token name = tokens.Next();
        if (name.kind == Kind::End) break;
        if (name.kind == Kind::Failed) return failAt(name.text);
        Tokenizer::Token open = name.kind == Kind::Word ? tokens.Next() : Tokenizer::Token{};
        if (name.kind != Kind::Word || open.kind != Kind::Open) {
            if (first) return Status::Fail(std::string(kNoFormat));
            if (open.kind == Kind::Failed) return failAt(open.text);
            return failAt(Cat({"'", name.text, "' where a block (NAME ( ... )) should start"}));
        }
        first = false;
        const bool isGame = name.text == "game" || name.text == "machine" || name.text == "resource";
        DatGame current;
        // Inside the block: KEY VALUE pairs and KEY ( ... ) sub-blocks.
        while (true) {
            Tokenizer::Token key = tokens.Next();
            if (key.kind == Kind::Close) break;
            if (key.kind == Kind::End) return failAt(Cat({"the block '", name.text, "' does not end"}));
            if (key.kind == Kind::Failed) return failAt(key.text);
            if (key.kind == Kind::Open) return failAt("'(' where a key should be");
            Tokenizer::Token value = tokens.Next();
            if (value.kind == Kind::Failed) return failAt(value.text);
            if (value.kind == Kind::End) return failAt(Cat({"the block '", name.text, "' does not end"}));
            if (value.kind == Kind::Close) break;  // a bare flag ends the block
            if (value.kind == Kind::Word) {
                if (key.text == "name") current.name = value.text;
                else if (key.text == "description") current.description = value.text;
                continue;
            }
            // A sub-block: rom ( ... ), disk ( ... ), ...
            DatRom rom;
            while (true) {
                Tokenizer::Token field = tokens.Next();
                if (field.kind == Kind::Close) break;
                if (field.kind == Kind::Failed) return failAt(field.text);
                if (field.kind != Kind::Word)
                    return failAt(Cat({"the block '", key.text, "' does not end"}));
                Tokenizer::Token fieldValue = tokens.Next();
                if (fieldValue.kind == Kind::Failed) return failAt(fieldValue.text);
                if (fieldValue.kind == Kind::Close) {
                    if (field.text == "baddump") rom.badDump = true;
                    if (field.text == "nodump") rom.noDump = true;
                    break;
                }
                if (fieldValue.kind != Kind::Word)
                    return failAt(Cat({"the block '", key.text, "' does not end"}));
                if (key.text != "rom") continue;
                if (std::string reason = SetRomField(rom, field.text, fieldValue.text); !reason.empty())
                    return failAt(reason);
            }
            if (key.text == "rom") current.roms.push_back(std::move(rom));
        }
        if (isGame) game(current);
    }
    if (first) return Status::Fail(Cat({"is empty; ", kNoFormat.substr(3)}));
    return DatFormat::ClrMamePro;
}

Result<DatFormat> ReadFrom(Input& input, const std::string& name, const std::function<void(const DatGame&)>& game)
{
    // The first piece that holds something tells XML from text.
    std::string_view head;
    while (true) {
        Result<std::string_view> next = input.Next();
        if (!next) return Status::Fail(Cat({name, ": ", next.message()}), next.status().errnum());
        head = *next;
        if (head.empty()) break;
        if (head.find_first_not_of(" \t\r\n") != std::string_view::npos) break;
    }
    std::size_t start = 0;
    if (head.substr(0, 3) == "\xEF\xBB\xBF") start = 3;
    start = head.find_first_not_of(" \t\r\n", start);
    Result<DatFormat> format = start != std::string_view::npos && head[start] == '<'
                                   ? ReadXml(input, head, game)
                                   : ReadClrMamePro(input, head, game);
    if (!format) return Status::Fail(Cat({name, ": ", format.message()}), format.status().errnum());
    return format;
}

}  // namespace

Result<DatFormat> ReadDat(const std::string& path, const std::function<void(const DatGame&)>& game)
{
    Fd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.Get() < 0) return Status::Fail(Cat({path, ": ", std::strerror(errno)}), errno);
    Input input(fd.Get());
    return ReadFrom(input, path, game);
}

Result<DatFormat> ReadDatText(std::string_view text, const std::string& name,
                              const std::function<void(const DatGame&)>& game)
{
    Input input(text);
    return ReadFrom(input, name, game);
}

}  // namespace vexo
