// SPDX-License-Identifier: GPL-3.0-or-later
#include "rom/production_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <optional>

#include "base/file_io.h"
#include "base/hex.h"
#include "base/json.h"
#include "base/text.h"

namespace vexo {
namespace {

std::string Seconds(double seconds)
{
    // to_chars: a point whatever the desktop's locale says.
    char text[400];
    const auto end = std::to_chars(text, text + sizeof text, seconds, std::chars_format::fixed, 1);
    if (end.ec != std::errc()) return "0.0";
    return std::string(text, std::size_t(end.ptr - text));
}

// A CSV field, quoted when it holds a separator, a quote or a line end.
std::string CsvField(std::string_view text)
{
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

// The fields of one CSV line; quoted fields lose their quotes.
std::vector<std::string> CsvFields(std::string_view line)
{
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c != '"') fields.back() += c;
            else if (i + 1 < line.size() && line[i + 1] == '"') fields.back() += line[++i];
            else quoted = false;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            fields.emplace_back();
        } else if (c != '\r') {
            fields.back() += c;
        }
    }
    return fields;
}

// The value of `key` in a one-line JSON object as text: a string without its
// quotes, a number or literal as written; nothing for null or a missing key.
std::optional<std::string> JsonField(std::string_view line, std::string_view key)
{
    const std::string name = Cat({"\"", key, "\":"});
    std::size_t at = line.find(name);
    if (at == std::string_view::npos) return std::nullopt;
    at += name.size();
    while (at < line.size() && line[at] == ' ') ++at;
    if (at >= line.size()) return std::nullopt;
    if (line[at] == '"') {
        std::string value;
        for (std::size_t i = at + 1; i < line.size(); ++i) {
            if (line[i] == '\\' && i + 1 < line.size()) value += line[++i];
            else if (line[i] == '"') return value;
            else value += line[i];
        }
        return std::nullopt;
    }
    const std::size_t end = line.find_first_of(",}", at);
    const std::string_view value = line.substr(at, end == std::string_view::npos ? line.size() - at : end - at);
    if (value == "null") return std::nullopt;
    return std::string(value);
}

std::optional<unsigned> ChipNumber(std::string_view text)
{
    unsigned chip = 0;
    const auto end = std::from_chars(text.data(), text.data() + text.size(), chip);
    if (end.ec != std::errc() || end.ptr != text.data() + text.size() || chip == 0) return std::nullopt;
    return chip;
}

// An address the log wrote as text ("0x001A3") or as a number (6563).
std::string AddressText(const std::string& text)
{
    if (text.empty() || text.rfind("0x", 0) == 0) return text;
    std::uint32_t value = 0;
    const auto end = std::from_chars(text.data(), text.data() + text.size(), value);
    if (end.ec != std::errc()) return text;
    return Hex(value, 5);
}

}  // namespace

Result<std::vector<LoggedChip>> ReadProductionLog(const std::string& path)
{
    std::vector<LoggedChip> records;
    // Only a file holds records to read back: a pipe or a terminal as the
    // log is written, never read (reading would take what it carries).
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        const int error = errno;
        if (error == ENOENT) return records;
        return Status::Fail(Cat({path, ": ", std::strerror(error)}), error);
    }
    if (!S_ISREG(info.st_mode)) return records;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        const int error = errno;
        if (error == ENOENT) return records;
        return Status::Fail(Cat({path, ": ", std::strerror(error)}), error);
    }
    std::string text;
    char chunk[4096];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, n);
    const bool failed = std::ferror(file) != 0;
    const int error = errno;
    std::fclose(file);
    if (failed) return Status::Fail(Cat({path, ": ", std::strerror(error)}), error);

    const bool json = EndsWithText(path, ".jsonl");
    std::vector<std::string> header;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        const bool whole = end != std::string::npos;
        if (!whole) end = text.size();
        const std::string_view line(text.data() + start, end - start);
        start = end + 1;
        if (!whole || line.empty()) continue;  // a cut-off record
        LoggedChip r;
        if (json) {
            const auto chip = JsonField(line, "chip");
            if (!chip || !ChipNumber(*chip) || line.back() != '}') continue;
            r.chip = *ChipNumber(*chip);
            r.time = JsonField(line, "time").value_or("");
            r.serial = JsonField(line, "serial").value_or("");
            r.crc32 = JsonField(line, "crc32").value_or("");
            r.passed = JsonField(line, "result").value_or("") == "passed";
            r.failedStep = JsonField(line, "failed_step").value_or("");
            r.failedAddress = AddressText(JsonField(line, "failed_address").value_or(""));
            r.seconds = JsonField(line, "seconds").value_or("");
        } else {
            std::vector<std::string> fields = CsvFields(line);
            if (header.empty()) {
                header = std::move(fields);
                continue;
            }
            const auto field = [&](std::string_view name) -> std::string {
                for (std::size_t i = 0; i < header.size() && i < fields.size(); ++i)
                    if (header[i] == name) return fields[i];
                return {};
            };
            const auto chip = ChipNumber(field("chip"));
            if (!chip || fields.size() < header.size()) continue;
            r.chip = *chip;
            r.time = field("time");
            r.serial = field("serial");
            r.crc32 = field("crc32");
            r.passed = field("result") == "passed";
            r.failedStep = field("failed_step");
            r.failedAddress = AddressText(field("failed_address"));
            r.seconds = field("seconds");
        }
        records.push_back(std::move(r));
    }
    return records;
}

unsigned LastLoggedChip(const std::vector<LoggedChip>& records)
{
    unsigned last = 0;
    for (const LoggedChip& r : records) last = std::max(last, r.chip);
    return last;
}

std::string IsoLocalTime(std::time_t time)
{
    std::tm local {};
    if (!localtime_r(&time, &local)) return "1970-01-01T00:00:00+00:00";
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    const long offset = local.tm_gmtoff;
    // Whole, as the zone gives it: a POSIX TZ may reach 24:59 either way.
    const long minutes = (offset < 0 ? -offset : offset) / 60;
    char zone[32];
    std::snprintf(zone, sizeof zone, "%c%02ld:%02ld", offset < 0 ? '-' : '+', minutes / 60,
                  minutes % 60);
    return Cat({text, zone});
}

std::string ProductionCsvHeader()
{
    return "time,chip,device,image,image_crc32,serial,sum16,crc32,result,failed_step,"
           "failed_address,seconds,image_edited\n";
}

std::string ProductionCsvLine(const ProductionRecord& r)
{
    return Cat({IsoLocalTime(r.time), ",", std::to_string(r.chip), ",", CsvField(r.device), ",",
                CsvField(r.image), ",", Hex0x(r.imageCrc32, 8), ",",
                r.serial ? std::to_string(*r.serial) : std::string(), ",", Hex0x(r.sum16, 4), ",",
                Hex0x(r.crc32, 8), ",", r.passed ? "passed" : "failed", ",", CsvField(r.failedStep),
                ",", r.failedAddress ? Hex0x(*r.failedAddress, 5) : std::string(), ",",
                Seconds(r.seconds), ",", r.imageEdited ? "true" : "false", "\n"});
}

std::string ProductionJsonLine(const ProductionRecord& r)
{
    JsonObject o;
    o.String("time", IsoLocalTime(r.time))
        .Unsigned("chip", r.chip)
        .String("device", r.device)
        .String("image", r.image)
        .String("image_crc32", Hex0x(r.imageCrc32, 8))
        .Bool("image_edited", r.imageEdited);
    if (r.serial) o.Unsigned("serial", *r.serial);
    else o.Null("serial");
    o.String("sum16", Hex0x(r.sum16, 4))
        .String("crc32", Hex0x(r.crc32, 8))
        .String("result", r.passed ? "passed" : "failed");
    if (r.passed) o.Null("failed_step");
    else o.String("failed_step", r.failedStep);
    if (r.failedAddress) o.String("failed_address", Hex0x(*r.failedAddress, 5));
    else o.Null("failed_address");
    o.Fixed("seconds", r.seconds, 1);
    return o.Line();
}

ProductionLog::ProductionLog(int fd, std::string path, bool json, bool needsNewline)
    : m_fd(fd), m_path(std::move(path)), m_json(json), m_needsNewline(needsNewline)
{
}

ProductionLog::~ProductionLog()
{
    if (m_fd >= 0) ::close(m_fd);
}

Result<std::unique_ptr<ProductionLog>> ProductionLog::Open(const std::string& path)
{
    if (path.empty()) return Status::Fail("the log needs a file name");
    const auto fail = [&](std::string_view what, int error) {
        return Status::Fail(Cat({"cannot ", what, " log ", path, ": ", std::strerror(error)}),
                            error);
    };
    // O_APPEND: every record lands at the end, whoever else writes the file.
    // Write-only, so that a pipe's records reach its reader and never this
    // program; without waiting, so that a pipe nobody reads is refused
    // ("No such device or address") instead of waited for.
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NONBLOCK, 0644);
    if (fd < 0) return fail("open", errno);
    std::unique_ptr<ProductionLog> log(new ProductionLog(fd, path, EndsWithText(path, ".jsonl"), false));
    struct stat st {};
    if (fstat(fd, &st) != 0) return fail("open", errno);
    if (S_ISDIR(st.st_mode)) return fail("open", EISDIR);
    // Written as usual from here: a slow reader is waited for.
    if (const int flags = ::fcntl(fd, F_GETFL); flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
        return fail("open", errno);
    if (S_ISREG(st.st_mode) && st.st_size > 0) {
        // The last byte, through a second descriptor; a log we may only
        // write is written all the same.
        Fd reader(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
        char last = '\n';
        const ssize_t n = reader.Get() < 0 ? -1 : pread(reader.Get(), &last, 1, st.st_size - 1);
        if (n < 0 && reader.Get() >= 0) return fail("read", errno);
        log->m_needsNewline = n == 1 && last != '\n';
    } else if (S_ISREG(st.st_mode) && !log->m_json) {
        if (Status s = log->Write(ProductionCsvHeader()); !s) return s;
    }
    return log;
}

Status ProductionLog::Write(const std::string& text)
{
    const std::string line = m_needsNewline ? "\n" + text : text;
    if (!WriteAllBytes(m_fd, line.data(), line.size())) {
        const int error = errno;
        return Status::Fail(Cat({"cannot write log ", m_path, ": ", std::strerror(error)}), error);
    }
    m_needsNewline = false;
    // On the disk before the next chip. Pipes and terminals have no disk.
    if (fdatasync(m_fd) != 0 && errno != EINVAL && errno != EROFS) {
        const int error = errno;
        return Status::Fail(Cat({"cannot write log ", m_path, ": ", std::strerror(error)}), error);
    }
    return {};
}

Status ProductionLog::Append(const ProductionRecord& record)
{
    if (m_fd < 0) return Status::Fail(Cat({"log ", m_path, " is closed"}));
    return Write(m_json ? ProductionJsonLine(record) : ProductionCsvLine(record));
}

Status ProductionLog::Close()
{
    if (m_fd < 0) return {};
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0) {
        const int error = errno;
        return Status::Fail(Cat({"cannot write log ", m_path, ": ", std::strerror(error)}), error);
    }
    return {};
}

}  // namespace vexo
