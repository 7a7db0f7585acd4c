// SPDX-License-Identifier: GPL-3.0-or-later
#include "rom/image_formats.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "base/hex.h"
#include "base/text.h"

namespace vexo {

namespace {

// ---------------------------------------------------------------------------
// Reading

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

// Hex pairs to bytes; an error text when the digits are not pairs of hex.
std::optional<std::string> DecodeHex(std::string_view digits, std::vector<std::uint8_t>* out)
{
    out->clear();
    for (char c : digits)
        if (HexDigitValue(c) < 0) {
            if (c == ' ' || c == '\t')
                return std::string("malformed record (a blank inside it)");
            return std::string("malformed record (a character that is not a hexadecimal digit)");
        }
    if (digits.size() % 2 != 0) return std::string("malformed record (an odd number of digits)");
    out->reserve(digits.size() / 2);
    for (std::size_t i = 0; i < digits.size(); i += 2)
        out->push_back(std::uint8_t(HexDigitValue(digits[i]) << 4 | HexDigitValue(digits[i + 1])));
    return std::nullopt;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\x1a' || c == '\f'; }

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

// Walks the lines of a text with their 1-based numbers: a text in memory,
// or a file read a block at a time (so that a file of any size costs one
// block and one line).
class LineReader {
public:
    explicit LineReader(std::string_view text) : m_text(text) {}
    explicit LineReader(int fd) : m_fd(fd) {}

    bool Next(std::string_view* line)
    {
        if (m_fd >= 0) return NextFromFile(line);
        if (m_pos >= m_text.size()) return false;
        std::size_t end = m_text.find('\n', m_pos);
        if (end == std::string_view::npos) end = m_text.size();
        *line = m_text.substr(m_pos, end - m_pos);
        m_pos = end + 1;
        ++m_number;
        return true;
    }
    std::size_t Number() const { return m_number; }
    // Why the file stopped early (a read error, a line longer than any
    // record can be); empty when it simply ended.
    const std::string& Error() const { return m_error; }
    // Back to the first line; false when the input cannot go back (a pipe).
    bool Rewind()
    {
        m_pos = 0;
        m_number = 0;
        m_error.clear();
        if (m_fd < 0) return true;
        m_block.clear();
        m_eof = false;
        return ::lseek(m_fd, 0, SEEK_SET) == 0;
    }

private:
    static constexpr std::size_t kBlock = 64 * 1024;
    // Far more than any record with blanks around it.
    static constexpr std::size_t kLongestLine = 1024 * 1024;

    bool NextFromFile(std::string_view* line)
    {
        for (;;) {
            const std::size_t end = m_block.find('\n', m_pos);
            if (end != std::string::npos || (m_eof && m_pos < m_block.size())) {
                const std::size_t stop = end == std::string::npos ? m_block.size() : end;
                *line = std::string_view(m_block).substr(m_pos, stop - m_pos);
                m_pos = stop + 1;
                ++m_number;
                return true;
            }
            if (m_eof || !m_error.empty()) return false;
            // Keep the unfinished line, drop what was read, and read on.
            m_block.erase(0, m_pos);
            m_pos = 0;
            if (m_block.size() > kLongestLine) {
                m_error = AtLine(m_number + 1, "malformed record (a line longer than any record)");
                return false;
            }
            const std::size_t had = m_block.size();
            m_block.resize(had + kBlock);
            ssize_t got;
            do {
                got = ::read(m_fd, m_block.data() + had, kBlock);
            } while (got < 0 && errno == EINTR);
            if (got < 0) {
                m_error = std::string("read error: ") + std::strerror(errno);
                m_block.resize(had);
                return false;
            }
            m_block.resize(had + std::size_t(got));
            if (got == 0) m_eof = true;
        }
    }

    std::string_view m_text;
    std::size_t m_pos = 0;
    std::size_t m_number = 0;
    int m_fd = -1;
    std::string m_block;
    bool m_eof = false;
    std::string m_error;
};

// Collects data records, checking range and overlap as they come so that
// the first fault in file order is the one reported. The data is staged in
// 64 KiB blocks made when first written to: what a text costs is bounded by
// the image it gives, however many records or lines it takes.
class Collector {
public:
    Collector(std::uint32_t capacity, std::optional<std::uint8_t> gapFill)
        : m_gapFill(gapFill), m_capacity(capacity), m_blocks((std::size_t(capacity) + kBlockBytes - 1) / kBlockBytes)
    {
    }
    // A collector that stages nothing and only looks for the first line that
    // gives `address`, stopping the reading there.
    static Collector Probe(std::uint32_t capacity, std::uint32_t address)
    {
        Collector c(capacity, std::nullopt);
        c.m_probe = address;
        return c;
    }

    // Data at address (computed without wrapping, so it may exceed 32 bits).
    std::optional<std::string> Add(std::uint64_t address, const std::uint8_t* data, std::size_t size,
                                   std::size_t line)
    {
        if (size == 0) return std::nullopt;
        if (m_probe) {
            if (*m_probe >= address && *m_probe - address < size) {
                m_foundLine = line;
                return std::string("found");
            }
            return std::nullopt;
        }
        if (address + size > m_capacity) {
            std::uint64_t first = std::max<std::uint64_t>(address, m_capacity);
            return Cat({"address ", HexBuf0x(first), " is past the end of ", SizeText(m_capacity)});
        }
        auto start = std::uint32_t(address);
        for (std::uint32_t a = start; a < start + size; ++a) {
            auto& block = m_blocks[a / kBlockBytes];
            if (!block) block = std::make_unique<Block>();
            std::uint64_t& word = block->written[(a % kBlockBytes) / 64];
            std::uint64_t bit = std::uint64_t(1) << (a % 64);
            if (word & bit) {
                m_duplicate = a;
                m_duplicateLine = line;
                return Cat({"address ", HexBuf0x(a), " was already given on an earlier line"});
            }
            word |= bit;
            block->data[a % kBlockBytes] = data[a - start];
        }
        m_lowest = std::min(m_lowest, start);
        m_end = std::max(m_end, start + std::uint32_t(size));
        m_bytes += std::uint32_t(size);
        return std::nullopt;
    }

    // Writes the staged bytes into `buffer`; with `keepRuns`, lists in the
    // result which addresses they were.
    ImageRead Commit(std::uint8_t* buffer, bool keepRuns = false) const
    {
        ImageRead result;
        if (m_bytes == 0) return result;
        if (m_gapFill) std::memset(buffer, *m_gapFill, m_end);
        // Extends the last run when `address` follows it, else starts one.
        const auto given = [&result, keepRuns](std::uint32_t address, std::uint32_t count) {
            if (!keepRuns) return;
            if (!result.runs.empty() && result.runs.back().end == address) result.runs.back().end += count;
            else result.runs.push_back({address, address + count});
        };
        for (std::size_t b = 0; b < m_blocks.size(); ++b) {
            if (!m_blocks[b]) continue;
            const Block& block = *m_blocks[b];
            std::uint8_t* base = buffer + b * kBlockBytes;
            const auto blockAddress = std::uint32_t(b * kBlockBytes);
            for (std::size_t w = 0; w < block.written.size(); ++w) {
                const std::uint64_t word = block.written[w];
                if (word == ~std::uint64_t(0)) {
                    std::memcpy(base + w * 64, block.data.data() + w * 64, 64);
                    given(blockAddress + std::uint32_t(w * 64), 64);
                } else {
                    for (unsigned i = 0; i < 64; ++i)
                        if ((word >> i) & 1u) {
                            base[w * 64 + i] = block.data[w * 64 + i];
                            given(blockAddress + std::uint32_t(w * 64 + i), 1);
                        }
                }
            }
        }
        result.length = m_end;
        result.lowest = m_lowest;
        result.bytes = m_bytes;
        return result;
    }

    // Where the first address given twice was given the second time.
    std::optional<std::uint32_t> Duplicate() const { return m_duplicate; }
    std::size_t DuplicateLine() const { return m_duplicateLine; }
    std::size_t FoundLine() const { return m_foundLine; }

private:
    static constexpr std::uint32_t kBlockBytes = 0x10000;
    struct Block {
        std::array<std::uint64_t, kBlockBytes / 64> written{};  // one bit per address
        std::array<std::uint8_t, kBlockBytes> data;
    };
    std::optional<std::uint8_t> m_gapFill;  // set: addresses below the end no record gave
    std::uint32_t m_capacity;
    std::vector<std::unique_ptr<Block>> m_blocks;
    std::uint32_t m_lowest = UINT32_MAX;
    std::uint32_t m_end = 0;
    std::uint32_t m_bytes = 0;
    std::optional<std::uint32_t> m_duplicate;
    std::size_t m_duplicateLine = 0;
    std::optional<std::uint32_t> m_probe;
    std::size_t m_foundLine = 0;
};

Status Failure(std::string error) { return Status::Fail(std::move(error)); }

// Reads every record into `collector`; ok (nothing committed) or the first fault.
Status ReadIntelHex(LineReader& lines, Collector& collector)
{
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
            return Failure(AtLine(n, Cat({"byte count ", HexByte(std::uint8_t(count)),
                                          " does not match the record's ", std::to_string(rec.size() - 5), " data bytes"})));
        }
        unsigned sum = 0;
        for (std::uint8_t b : rec) sum += b;
        if ((sum & 0xFF) != 0) return Failure(AtLine(n, "bad checksum"));

        const unsigned offset = unsigned(rec[1]) << 8 | rec[2];
        const unsigned type = rec[3];
        const std::uint8_t* data = rec.data() + 4;
        auto needCount = [&](unsigned want) -> std::optional<std::string> {
            if (count == want) return std::nullopt;
            return Cat({"record type ", HexByte(std::uint8_t(type)), " must hold ", std::to_string(want),
                        " data bytes, not ", std::to_string(count)});
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
            return Failure(AtLine(n, Cat({"unknown record type ", HexByte(std::uint8_t(type))})));
        }
        }
    }
    if (!lines.Error().empty()) return Failure(lines.Error());
    if (!ended)
        return Failure(AtLine(lines.Number() + 1,
                              "the file ends without an end-of-file record (:00000001FF); "
                              "is it cut short?"));
    return Status::Ok();
}

Status ReadSRecord(LineReader& lines, Collector& collector)
{
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
            return Failure(AtLine(n, Cat({"byte count ", HexByte(std::uint8_t(count)),
                                          " does not match the record's ", std::to_string(rec.size() - 1), " bytes"})));
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
    if (!lines.Error().empty()) return Failure(lines.Error());
    return Status::Ok();
}

// Reads a text image from `lines` and, when it is sound, lays it into `buffer`.
Result<ImageRead> ReadRecords(ImageFormat format, LineReader& lines, std::uint8_t* buffer,
                              std::uint32_t capacity, std::optional<std::uint8_t> gapFill,
                              bool keepRuns = false)
{
    const auto parse = [format](LineReader& from, Collector& into) {
        return format == ImageFormat::IntelHex ? ReadIntelHex(from, into) : ReadSRecord(from, into);
    };
    Collector collector(capacity, gapFill);
    Status parsed = parse(lines, collector);
    if (!parsed && collector.Duplicate()) {
        // Which line gave the address first: a second, staging-free reading.
        const std::uint32_t address = *collector.Duplicate();
        std::size_t earlier = 0;
        if (lines.Rewind()) {
            Collector probe = Collector::Probe(capacity, address);
            static_cast<void>(parse(lines, probe));
            earlier = probe.FoundLine();
        }
        const std::string where = earlier != 0 ? Cat({"line ", std::to_string(earlier)}) : "an earlier line";
        parsed = Failure(AtLine(collector.DuplicateLine(), Cat({"address ", HexBuf0x(std::uint32_t(address)),
                                                               " was already given on ", where})));
    }
    if (!parsed) return parsed;
    return collector.Commit(buffer, keepRuns);
}

// ---------------------------------------------------------------------------
// Writing

class RecordWriter {
public:
    explicit RecordWriter(std::string* out) : m_out(out) {}

    void Begin(const char* mark) { m_out->append(mark); m_sum = 0; }
    void Byte(std::uint8_t b)
    {
        char digits[kByteDigits];
        WriteHex(digits, b, kByteDigits);
        m_out->push_back(digits[0]);
        m_out->push_back(digits[1]);
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

}  // namespace

ImageFormat FormatForPath(std::string_view path)
{
    for (std::string_view ext : {".hex", ".ihx", ".ihex"})
        if (EndsWithText(path, ext)) return ImageFormat::IntelHex;
    for (std::string_view ext : {".s19", ".s28", ".s37", ".srec", ".mot"})
        if (EndsWithText(path, ext)) return ImageFormat::SRecord;
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

Result<ImageRead> ReadImage(ImageFormat format, std::string_view text, std::uint8_t* buffer,
                            std::uint32_t capacity, std::optional<std::uint8_t> gapFill,
                            bool keepRuns = false)
{
    if (format != ImageFormat::Raw) {
        LineReader lines(text);
        return ReadRecords(format, lines, buffer, capacity, gapFill, keepRuns);
    }
    if (text.size() > capacity) return Failure("the file is larger than " + SizeText(capacity));
    ImageRead result;
    std::memcpy(buffer, text.data(), text.size());
    result.length = std::uint32_t(text.size());
    result.bytes = result.length;
    if (keepRuns && result.length > 0) result.runs.push_back({0, result.length});
    return result;
}

}  // namespace

Result<ImageRead> ReadTextImage(ImageFormat format, std::string_view text, std::uint8_t* buffer,
                                std::uint32_t capacity)
{
    return ReadImage(format, text, buffer, capacity, std::nullopt);
}

Result<ImageRead> ReadTextImage(ImageFormat format, std::string_view text, std::uint8_t* buffer,
                                std::uint32_t capacity, std::uint8_t gapFill)
{
    return ReadImage(format, text, buffer, capacity, gapFill);
}

Result<ImageRead> ReadTextImageRuns(ImageFormat format, std::string_view text, std::uint8_t* buffer,
                                    std::uint32_t capacity)
{
    return ReadImage(format, text, buffer, capacity, std::nullopt, true);
}

Result<ImageRead> ReadTextImageFile(ImageFormat format, int fd, std::uint8_t* buffer,
                                    std::uint32_t capacity, std::optional<std::uint8_t> gapFill)
{
    LineReader lines(fd);
    return ReadRecords(format, lines, buffer, capacity, gapFill);
}

Result<ImageRead> ReadTextImageFile(ImageFormat format, int fd, std::uint8_t* buffer,
                                    std::uint32_t capacity, std::optional<std::uint8_t> gapFill,
                                    bool keepRuns)
{
    LineReader lines(fd);
    return ReadRecords(format, lines, buffer, capacity, gapFill, keepRuns);
}

Result<ImageRead> ReadTextImage(ImageFormat format, std::string_view text, std::uint8_t* buffer,
                                std::uint32_t capacity, std::optional<std::uint8_t> gapFill,
                                bool keepRuns)
{
    return ReadImage(format, text, buffer, capacity, gapFill, keepRuns);
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
