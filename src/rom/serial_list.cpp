// SPDX-License-Identifier: GPL-3.0-or-later
#include "rom/serial_list.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/file_io.h"
#include "base/numbers.h"
#include "base/text.h"

namespace vexo {
namespace {

Result<std::string> ReadText(const std::string& path)
{
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.Get() < 0) {
        const int error = errno;
        return Status::Fail(Cat({"serial list ", path, ": ", std::strerror(error)}), error);
    }
    std::string text;
    char block[16384];
    for (;;) {
        const ssize_t n = ::read(fd.Get(), block, sizeof block);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int error = errno;
            return Status::Fail(Cat({"serial list ", path, ": ", std::strerror(error)}), error);
        }
        if (n == 0) return text;
        text.append(block, std::size_t(n));
    }
}

}  // namespace

std::string SerialList::Value(const std::string& raw)
{
    std::string_view v = raw;
    while (!v.empty() && (v.front() == ' ' || v.front() == '\t')) v.remove_prefix(1);
    while (!v.empty() && (v.back() == ' ' || v.back() == '\t')) v.remove_suffix(1);
    if (v.size() < 2 || v.front() != '"' || v.back() != '"') return std::string(v);
    std::string out;
    for (std::size_t i = 1; i + 1 < v.size(); ++i) {
        out += v[i];
        if (v[i] == '"' && v[i + 1] == '"') ++i;
    }
    return out;
}

Result<SerialList> SerialList::Open(const std::string& path)
{
    auto text = ReadText(path);
    if (!text) return text.status();
    SerialList list;
    list.m_path = path;
    // Fields split at commas outside quotes; rows at line ends outside quotes.
    Row row;
    std::string field;
    bool quoted = false;
    const std::string& t = *text;
    for (std::size_t i = 0; i < t.size(); ++i) {
        const char c = t[i];
        if (c == '"') quoted = !quoted;
        if (!quoted && c == ',') {
            row.raw.push_back(std::move(field));
            field.clear();
            continue;
        }
        if (!quoted && (c == '\n' || (c == '\r' && i + 1 < t.size() && t[i + 1] == '\n'))) {
            row.end = c == '\n' ? "\n" : "\r\n";
            if (c == '\r') ++i;
            row.raw.push_back(std::move(field));
            field.clear();
            list.m_rows.push_back(std::move(row));
            row = Row();
            continue;
        }
        field += c;
    }
    if (!field.empty() || !row.raw.empty()) {
        row.raw.push_back(std::move(field));
        list.m_rows.push_back(std::move(row));
    }
    if (quoted) return Status::Fail(Cat({"serial list ", path, ": a quoted field has no closing quote"}));
    if (list.m_rows.empty()) return Status::Fail(Cat({"serial list ", path, ": the file is empty"}));
    std::optional<std::size_t> serial, status;
    const std::vector<std::string>& header = list.m_rows.front().raw;
    for (std::size_t c = 0; c < header.size(); ++c) {
        const std::string name = Value(header[c]);
        if (SameText(name, "serial") && !serial) serial = c;
        if (SameText(name, "status") && !status) status = c;
    }
    if (!serial || !status)
        return Status::Fail(Cat({"serial list ", path, ": the header needs the columns serial and status"}));
    list.m_serialColumn = *serial;
    list.m_statusColumn = *status;
    for (std::size_t r = 1; r < list.m_rows.size(); ++r) {
        Row& each = list.m_rows[r];
        // A blank line stays a blank line.
        if (each.raw.size() == 1 && Value(each.raw[0]).empty()) continue;
        if (each.raw.size() <= std::max(*serial, *status))
            return Status::Fail(Cat({"serial list ", path, ": line ", std::to_string(r + 1),
                                     " has fewer fields than the header"}));
    }
    return list;
}

std::size_t SerialList::Pending() const
{
    std::size_t n = 0;
    for (std::size_t r = 1; r < m_rows.size(); ++r)
        if (m_rows[r].raw.size() > m_statusColumn && SameText(Value(m_rows[r].raw[m_statusColumn]), "pending")) ++n;
    return n;
}

Result<std::uint64_t> SerialList::Take()
{
    for (std::size_t r = 1; r < m_rows.size(); ++r) {
        const Row& row = m_rows[r];
        if (row.raw.size() <= m_statusColumn || !SameText(Value(row.raw[m_statusColumn]), "pending")) continue;
        const std::string text = Value(row.raw[m_serialColumn]);
        const auto value = ParseUnsigned(text);
        if (!value)
            return Status::Fail(Cat({"serial list ", m_path, ": line ", std::to_string(r + 1), ": '", text,
                                     "' is not a number"}));
        m_taken = r;
        return *value;
    }
    return Status::Fail(Cat({"serial list ", m_path, " has no pending serial"}));
}

Status SerialList::Done(std::uint64_t, SerialOutcome outcome)
{
    if (!m_taken) return Status::Fail(Cat({"serial list ", m_path, ": no serial was taken"}));
    const std::size_t row = *m_taken;
    m_taken.reset();
    if (outcome == SerialOutcome::Unused) return {};
    m_rows[row].raw[m_statusColumn] = outcome == SerialOutcome::Passed ? "used" : "failed";
    return WriteBack();
}

Status SerialList::WriteBack() const
{
    std::string text;
    for (const Row& row : m_rows) {
        for (std::size_t c = 0; c < row.raw.size(); ++c) {
            if (c) text += ',';
            text += row.raw[c];
        }
        text += row.end;
    }
    if (const Status written = ReplaceFile(m_path, text.data(), text.size()); !written)
        return Status::Fail(Cat({"cannot write serial list ", written.message()}), written.errnum());
    return {};
}

}  // namespace vexo
