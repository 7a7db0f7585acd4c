#include "rom/image_formats.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>

namespace vexo {

namespace {

// ---------------------------------------------------------------------------
// Reading

// One run of data bytes at consecutive addresses, staged until the whole text
// has been checked.
struct Chunk {
    std::uint32_t address;
    std::uint32_t size;
    std::size_t offset;  // into Staged::bytes
};

struct Staged {
    std::vector<std::uint8_t> bytes;
    std::vector<Chunk> chunks;
    std::vector<std::size_t> chunkLine;  // source line of each chunk
};

std::string SizeText(std::uint32_t capacity)
{
    char text[48];
    if (capacity != 0 && capacity % (1024u * 1024u) == 0)
        std::snprintf(text, sizeof text, "the %u MiB buffer", unsigned(capacity / (1024u * 1024u)));
    else
        std::snprintf(text, sizeof text, "the buffer (%u bytes)", unsigned(capacity));
    return text;
}

std::string AtLine(std::size_t line, std::string_view what)
{
    return "line " + std::to_string(line) + ": " + std::string(what);
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Hex pairs to bytes; an error text when the digits are not pairs of hex.
std::optional<std::string> DecodeHex(std::string_view digits, std::vector<std::uint8_t>* out)
{
    out->clear();
    for (char c : digits)
        if (HexDigit(c) < 0) {
            if (c == ' ' || c == '\t')
                return std::string("malformed record (a blank inside it)");
            return std::string("malformed record (a character that is not a hexadecimal digit)");
        }
    if (digits.size() % 2 != 0) return std::string("malformed record (an odd number of digits)");
    out->reserve(digits.size() / 2);
    for (std::size_t i = 0; i < digits.size(); i += 2)
        out->push_back(std::uint8_t(HexDigit(digits[i]) << 4 | HexDigit(digits[i + 1])));
    return std::nullopt;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\x1a' || c == '\f'; }

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

// Walks the lines of a text with their 1-based numbers.
class LineReader {
public:
    explicit LineReader(std::string_view text) : m_text(text) {}
    bool Next(std::string_view* line)
    {
        if (m_pos >= m_text.size()) return false;
        std::size_t end = m_text.find('\n', m_pos);
        if (end == std::string_view::npos) end = m_text.size();
        *line = m_text.substr(m_pos, end - m_pos);
        m_pos = end + 1;
        ++m_number;
        return true;
    }
    std::size_t Number() const { return m_number; }

private:
    std::string_view m_text;
    std::size_t m_pos = 0;
    std::size_t m_number = 0;
};

// Collects data records, checking range and overlap as they come so that
// the first fault in file order is the one reported.
class Collector {
public:
    Collector(std::uint32_t capacity, std::optional<std::uint8_t> gapFill)
        : m_gapFill(gapFill), m_capacity(capacity), m_written((std::size_t(capacity) + kBlockBytes - 1) / kBlockBytes)
    {
    }

    // Data at address (computed without wrapping, so it may exceed 32 bits).
    std::optional<std::string> Add(std::uint64_t address, const std::uint8_t* data, std::size_t size,
                                   std::size_t line)
    {
        if (size == 0) return std::nullopt;
        if (address + size > m_capacity) {
            std::uint64_t first = std::max<std::uint64_t>(address, m_capacity);
            char what[96];
            std::snprintf(what, sizeof what, "address 0x%06llX is past the end of ",
                          static_cast<unsigned long long>(first));
            return what + SizeText(m_capacity);
        }
        auto start = std::uint32_t(address);
        for (std::uint32_t a = start; a < start + size; ++a) {
            auto& block = m_written[a / kBlockBytes];
            if (!block) block = std::make_unique<Block>();
            std::uint64_t& word = (*block)[(a % kBlockBytes) / 64];
            std::uint64_t bit = std::uint64_t(1) << (a % 64);
            if (word & bit) {
                char what[96];
                std::snprintf(what, sizeof what, "address 0x%06X was already given on line %zu",
                              unsigned(a), EarlierLine(a));
                return std::string(what);
            }
            word |= bit;
        }
        m_staged.chunks.push_back({start, std::uint32_t(size), m_staged.bytes.size()});
        m_staged.chunkLine.push_back(line);
        m_staged.bytes.insert(m_staged.bytes.end(), data, data + size);
        return std::nullopt;
    }

    ImageReadResult Commit(std::uint8_t* buffer) const
    {
        ImageReadResult result;
        result.ok = true;
        if (m_staged.chunks.empty()) return result;
        std::uint32_t lowest = UINT32_MAX;
        std::uint32_t end = 0;
        for (const Chunk& c : m_staged.chunks) {
            lowest = std::min(lowest, c.address);
            end = std::max(end, c.address + c.size);
        }
        if (m_gapFill) std::memset(buffer, *m_gapFill, end);
        for (const Chunk& c : m_staged.chunks)
            std::memcpy(buffer + c.address, m_staged.bytes.data() + c.offset, c.size);
        result.length = end;
        result.lowest = lowest;
        result.bytes = std::uint32_t(m_staged.bytes.size());
        return result;
    }

    std::size_t Chunks() const { return m_staged.chunks.size(); }

private:
    std::size_t EarlierLine(std::uint32_t address) const
    {
        for (std::size_t i = 0; i < m_staged.chunks.size(); ++i) {
            const Chunk& c = m_staged.chunks[i];
            if (address >= c.address && address - c.address < c.size) return m_staged.chunkLine[i];
        }
        return 0;
    }

    // One bit per address, in blocks made when first written to, so that a
    // small file costs little whatever the capacity.
    static constexpr std::uint32_t kBlockBytes = 0x10000;
    std::optional<std::uint8_t> m_gapFill;  // set: addresses below the end no record gave
    using Block = std::array<std::uint64_t, kBlockBytes / 64>;
    std::uint32_t m_capacity;
    std::vector<std::unique_ptr<Block>> m_written;
    Staged m_staged;
};

ImageReadResult Failure(std::string error)
{
    ImageReadResult result;
    result.error = std::move(error);
    return result;
}

ImageReadResult ReadIntelHex(std::string_view text, std::uint8_t* buffer, std::uint32_t capacity,
                             std::optional<std::uint8_t> gapFill)
{
    Collector collector(capacity, gapFill);
    LineReader lines(text);
    std::string_view line;
    std::vector<std::uint8_t> rec;
    std::uint64_t segmentBase = 0;  // type 02: address = base + (offset mod 64K)
    std::uint64_t linearBase = 0;   // type 04: address = base + offset
    bool segmented = false;
    bool ended = false;

    while (lines.Next(&line)) {
        const std::size_t n = lines.Number();
        line = Trim(line);
        if (line.empty()) continue;
        if (ended) return Failure(AtLine(n, "record after the end-of-file record"));
        if (line.front() != ':')
            return Failure(AtLine(n, "not a record (it does not start with ':')"));
        if (auto fault = DecodeHex(line.substr(1), &rec)) return Failure(AtLine(n, *fault));
        if (rec.size() < 5) return Failure(AtLine(n, "malformed record (too short)"));
        const unsigned count = rec[0];
        if (rec.size() != count + 5u) {
            char what[80];
            std::snprintf(what, sizeof what, "byte count %02X does not match the record's %zu data bytes",
                          count, rec.size() - 5);
            return Failure(AtLine(n, what));
        }
        unsigned sum = 0;
        for (std::uint8_t b : rec) sum += b;
        if ((sum & 0xFF) != 0) return Failure(AtLine(n, "bad checksum"));

        const unsigned offset = unsigned(rec[1]) << 8 | rec[2];
        const unsigned type = rec[3];
        const std::uint8_t* data = rec.data() + 4;
        auto needCount = [&](unsigned want) -> std::optional<std::string> {
            if (count == want) return std::nullopt;
            char what[64];
            std::snprintf(what, sizeof what, "record type %02X must hold %u data bytes, not %u", type,
                          want, count);
            return std::string(what);
        };
        switch (type) {
        case 0x00:
            if (segmented) {
                // Within a segment the offset wraps at 64 KiB.
                unsigned first = std::min<unsigned>(count, 0x10000u - offset);
                if (auto fault = collector.Add(segmentBase + offset, data, first, n))
                    return Failure(AtLine(n, *fault));
                if (auto fault = collector.Add(segmentBase, data + first, count - first, n))
                    return Failure(AtLine(n, *fault));
            } else if (auto fault = collector.Add(linearBase + offset, data, count, n)) {
                return Failure(AtLine(n, *fault));
            }
            break;
        case 0x01:
            if (auto fault = needCount(0)) return Failure(AtLine(n, *fault));
            ended = true;
            break;
        case 0x02:
            if (auto fault = needCount(2)) return Failure(AtLine(n, *fault));
            segmentBase = (std::uint64_t(data[0]) << 8 | data[1]) << 4;
            segmented = true;
            break;
        case 0x04:
            if (auto fault = needCount(2)) return Failure(AtLine(n, *fault));
            linearBase = (std::uint64_t(data[0]) << 8 | data[1]) << 16;
            segmented = false;
            break;
        case 0x03:
        case 0x05:
            if (auto fault = needCount(4)) return Failure(AtLine(n, *fault));
            break;
        default: {
            char what[40];
            std::snprintf(what, sizeof what, "unknown record type %02X", type);
            return Failure(AtLine(n, what));
        }
        }
    }
    if (!ended)
        return Failure(AtLine(lines.Number() + 1,
                              "the file ends without an end-of-file record (:00000001FF); "
                              "is it cut short?"));
    return collector.Commit(buffer);
}

ImageReadResult ReadSRecord(std::string_view text, std::uint8_t* buffer, std::uint32_t capacity,
                            std::optional<std::uint8_t> gapFill)
{
    Collector collector(capacity, gapFill);
    LineReader lines(text);
    std::string_view line;
    std::vector<std::uint8_t> rec;
    bool ended = false;
    std::size_t dataRecords = 0;

    while (lines.Next(&line)) {
        const std::size_t n = lines.Number();
        line = Trim(line);
        if (line.empty()) continue;
        if (ended) return Failure(AtLine(n, "record after the termination record"));
        if (line.front() != 'S' && line.front() != 's')
            return Failure(AtLine(n, "not a record (it does not start with 'S')"));
        if (line.size() < 2) return Failure(AtLine(n, "malformed record (too short)"));
        const char type = line[1];
        int addressBytes = 0;
        switch (type) {
        case '0': case '1': case '5': case '9': addressBytes = 2; break;
        case '2': case '6': case '8': addressBytes = 3; break;
        case '3': case '7': addressBytes = 4; break;
        default: {
            std::string what = "unknown record type S";
            what += (type >= 0x21 && type < 0x7f) ? type : '?';
            return Failure(AtLine(n, what));
        }
        }
        if (auto fault = DecodeHex(line.substr(2), &rec)) return Failure(AtLine(n, *fault));
        if (rec.empty()) return Failure(AtLine(n, "malformed record (too short)"));
        const unsigned count = rec[0];
        if (rec.size() != count + 1u) {
            char what[96];
            std::snprintf(what, sizeof what, "byte count %02X does not match the record's %zu bytes",
                          count, rec.size() - 1);
            return Failure(AtLine(n, what));
        }
        if (count < unsigned(addressBytes) + 1) {
            char what[64];
            std::snprintf(what, sizeof what, "malformed record (too short for an S%c record)", type);
            return Failure(AtLine(n, what));
        }
        unsigned sum = 0;
        for (std::uint8_t b : rec) sum += b;
        if ((sum & 0xFF) != 0xFF) return Failure(AtLine(n, "bad checksum"));

        std::uint64_t address = 0;
        for (int i = 0; i < addressBytes; ++i) address = address << 8 | rec[1 + i];
        const std::uint8_t* data = rec.data() + 1 + addressBytes;
        const std::size_t size = count - 1 - addressBytes;

        switch (type) {
        case '1': case '2': case '3':
            if (auto fault = collector.Add(address, data, size, n)) return Failure(AtLine(n, *fault));
            ++dataRecords;
            break;
        case '5': case '6':
            if (size != 0) return Failure(AtLine(n, "malformed record (a count record with data)"));
            if (address != dataRecords) {
                char what[96];
                std::snprintf(what, sizeof what,
                              "record count %llu does not match the %zu data records before it",
                              static_cast<unsigned long long>(address), dataRecords);
                return Failure(AtLine(n, what));
            }
            break;
        case '7': case '8': case '9':
            ended = true;
            break;
        default:  // S0: header text, not loaded
            break;
        }
    }
    return collector.Commit(buffer);
}

// ---------------------------------------------------------------------------
// Writing

class RecordWriter {
public:
    explicit RecordWriter(std::string* out) : m_out(out) {}

    void Begin(const char* mark) { m_out->append(mark); m_sum = 0; }
    void Byte(std::uint8_t b)
    {
        static constexpr char kDigits[] = "0123456789ABCDEF";
        m_out->push_back(kDigits[b >> 4]);
        m_out->push_back(kDigits[b & 15]);
        m_sum += b;
    }
    void Bytes(const std::uint8_t* data, std::size_t n)
    {
        for (std::size_t i = 0; i < n; ++i) Byte(data[i]);
    }
    unsigned Sum() const { return m_sum; }
    void End(std::uint8_t checksum)
    {
        Byte(checksum);
        m_out->push_back('\n');
    }

private:
    std::string* m_out;
    unsigned m_sum = 0;
};

unsigned ClampRecord(unsigned bytes, unsigned most) { return std::clamp(bytes, 1u, most); }

std::string WriteIntelHex(const std::uint8_t* data, std::uint32_t size, std::uint32_t base,
                          const TextImageOptions& options)
{
    const unsigned perRecord = ClampRecord(options.bytesPerRecord, 255);
    std::string out;
    out.reserve(std::size_t(size) * 2 + std::size_t(size) / perRecord * 12 + 64);
    RecordWriter w(&out);
    std::uint64_t address = base;
    const std::uint64_t end = std::uint64_t(base) + size;
    std::uint32_t upper = 0;
    while (address < end) {
        const auto high = std::uint32_t(address >> 16);
        if (high != upper) {
            upper = high;
            w.Begin(":");
            w.Byte(2); w.Byte(0); w.Byte(0); w.Byte(4);
            w.Byte(std::uint8_t(high >> 8)); w.Byte(std::uint8_t(high));
            w.End(std::uint8_t(-w.Sum()));
        }
        const auto low = unsigned(address & 0xFFFF);
        const auto n = unsigned(std::min<std::uint64_t>({perRecord, end - address, 0x10000u - low}));
        w.Begin(":");
        w.Byte(std::uint8_t(n)); w.Byte(std::uint8_t(low >> 8)); w.Byte(std::uint8_t(low)); w.Byte(0);
        w.Bytes(data + (address - base), n);
        w.End(std::uint8_t(-w.Sum()));
        address += n;
    }
    out.append(":00000001FF\n");
    return out;
}

std::string WriteSRecord(const std::uint8_t* data, std::uint32_t size, std::uint32_t base,
                         const TextImageOptions& options)
{
    const std::uint64_t end = std::uint64_t(base) + size;
    const std::uint64_t highest = size ? end - 1 : base;
    const int addressBytes = highest <= 0xFFFF ? 2 : highest <= 0xFFFFFF ? 3 : 4;
    const char* dataMark = addressBytes == 2 ? "S1" : addressBytes == 3 ? "S2" : "S3";
    const char* endMark = addressBytes == 2 ? "S9" : addressBytes == 3 ? "S8" : "S7";
    const unsigned perRecord = ClampRecord(options.bytesPerRecord, 255 - 1 - addressBytes);

    std::string out;
    out.reserve(std::size_t(size) * 2 + std::size_t(size) / perRecord * 16 + 128);
    RecordWriter w(&out);
    auto putAddress = [&](std::uint64_t a, int bytes) {
        for (int i = bytes - 1; i >= 0; --i) w.Byte(std::uint8_t(a >> (8 * i)));
    };

    const std::size_t headerSize = std::min<std::size_t>(options.header.size(), 252);
    w.Begin("S0");
    w.Byte(std::uint8_t(headerSize + 3));
    putAddress(0, 2);
    w.Bytes(reinterpret_cast<const std::uint8_t*>(options.header.data()), headerSize);
    w.End(std::uint8_t(~w.Sum()));

    for (std::uint64_t address = base; address < end;) {
        const auto n = unsigned(std::min<std::uint64_t>(perRecord, end - address));
        w.Begin(dataMark);
        w.Byte(std::uint8_t(n + addressBytes + 1));
        putAddress(address, addressBytes);
        w.Bytes(data + (address - base), n);
        w.End(std::uint8_t(~w.Sum()));
        address += n;
    }

    w.Begin(endMark);
    w.Byte(std::uint8_t(addressBytes + 1));
    putAddress(0, addressBytes);
    w.End(std::uint8_t(~w.Sum()));
    return out;
}

bool EndsWith(std::string_view text, std::string_view suffix)
{
    if (text.size() < suffix.size()) return false;
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        char c = text[text.size() - suffix.size() + i];
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
        if (c != suffix[i]) return false;
    }
    return true;
}

}  // namespace

ImageFormat FormatForPath(std::string_view path)
{
    for (std::string_view ext : {".hex", ".ihx", ".ihex"})
        if (EndsWith(path, ext)) return ImageFormat::IntelHex;
    for (std::string_view ext : {".s19", ".s28", ".s37", ".srec", ".mot"})
        if (EndsWith(path, ext)) return ImageFormat::SRecord;
    return ImageFormat::Raw;
}

std::string_view FormatName(ImageFormat format)
{
    switch (format) {
    case ImageFormat::IntelHex: return "Intel HEX";
    case ImageFormat::SRecord: return "S-record";
    case ImageFormat::Raw: break;
    }
    return "raw binary";
}

namespace {

ImageReadResult ReadImage(ImageFormat format, std::string_view text, std::uint8_t* buffer,
                          std::uint32_t capacity, std::optional<std::uint8_t> gapFill)
{
    switch (format) {
    case ImageFormat::IntelHex: return ReadIntelHex(text, buffer, capacity, gapFill);
    case ImageFormat::SRecord: return ReadSRecord(text, buffer, capacity, gapFill);
    case ImageFormat::Raw: break;
    }
    if (text.size() > capacity) return Failure("the file is larger than " + SizeText(capacity));
    ImageReadResult result;
    result.ok = true;
    std::memcpy(buffer, text.data(), text.size());
    result.length = std::uint32_t(text.size());
    result.bytes = result.length;
    return result;
}

}  // namespace

ImageReadResult ReadTextImage(ImageFormat format, std::string_view text, std::uint8_t* buffer,
                              std::uint32_t capacity)
{
    return ReadImage(format, text, buffer, capacity, std::nullopt);
}

ImageReadResult ReadTextImage(ImageFormat format, std::string_view text, std::uint8_t* buffer,
                              std::uint32_t capacity, std::uint8_t gapFill)
{
    return ReadImage(format, text, buffer, capacity, gapFill);
}

std::string WriteTextImage(ImageFormat format, const std::uint8_t* data, std::uint32_t size,
                           std::uint32_t base)
{
    return WriteTextImage(format, data, size, base, TextImageOptions{});
}

std::string WriteTextImage(ImageFormat format, const std::uint8_t* data, std::uint32_t size,
                           std::uint32_t base, const TextImageOptions& options)
{
    switch (format) {
    case ImageFormat::IntelHex: return WriteIntelHex(data, size, base, options);
    case ImageFormat::SRecord: return WriteSRecord(data, size, base, options);
    case ImageFormat::Raw: break;
    }
    return std::string(reinterpret_cast<const char*>(data), size);
}

}  // namespace vexo
