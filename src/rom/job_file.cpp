// SPDX-License-Identifier: GPL-3.0-or-later
#include "rom/job_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "base/file_io.h"
#include "base/json.h"
#include "base/json_read.h"
#include "base/numbers.h"
#include "base/text.h"
#include "rom/serial_number.h"

namespace vexo {
namespace {

Result<std::string> ReadSmallFile(const std::string& path)
{
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.Get() < 0) {
        const int error = errno;
        return Status::Fail(Cat({"job ", path, ": ", std::strerror(error)}), error);
    }
    std::string text;
    char block[8192];
    for (;;) {
        const ssize_t n = ::read(fd.Get(), block, sizeof block);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int error = errno;
            return Status::Fail(Cat({"job ", path, ": ", std::strerror(error)}), error);
        }
        if (n == 0) return text;
        if (text.size() > (1u << 20)) return Status::Fail(Cat({"job ", path, ": too large for a job file"}));
        text.append(block, std::size_t(n));
    }
}

bool IsSha256(std::string_view text)
{
    if (text.size() != 64) return false;
    for (char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

}  // namespace

Result<Job> ReadJob(const std::string& path)
{
    auto content = ReadSmallFile(path);
    if (!content) return content.status();
    auto members = ParseFlatJsonObject(*content);
    const auto bad = [&](std::string_view why) { return Status::Fail(Cat({"job ", path, ": ", why})); };
    if (!members) return bad(members.message());

    Job job;
    bool versioned = false;
    for (const auto& member : *members) {
        // Named, not bound: the lambdas below capture them (clang refuses bindings).
        const auto& key = member.first;
        const auto& value = member.second;
        using K = JsonValue::Kind;
        const auto text = [&](std::string* out, bool required) -> Status {
            if (value.kind == K::Null && !required) return {};
            if (value.kind != K::String || (required && value.text.empty()))
                return bad(Cat({"'", key, "' must be ", required ? "a text" : "a text or null"}));
            *out = value.text;
            return {};
        };
        const auto number = [&](unsigned* out) -> Status {
            const auto n = value.kind == K::Number ? ParseUnsigned(value.text, 1000000) : std::nullopt;
            if (!n) return bad(Cat({"'", key, "' must be a whole number from 0 up"}));
            *out = unsigned(*n);
            return {};
        };
        Status s;
        if (key == "vexojob") {
            unsigned version = 0;
            s = number(&version);
            if (s && version != unsigned(kJobVersion))
                s = bad(Cat({"version ", value.text, " is not one this program reads (1)"}));
            versioned = true;
        } else if (key == "image") s = text(&job.image, true);
        else if (key == "image_sha256") {
            s = text(&job.imageSha256, true);
            if (s && !IsSha256(job.imageSha256)) s = bad("'image_sha256' must be 64 lower-case hexadecimal digits");
        } else if (key == "device") s = text(&job.device, true);
        else if (key == "speed") s = text(&job.speed, false);
        else if (key == "retries") s = number(&job.retries);
        else if (key == "pulse_us") s = number(&job.pulseMicros);
        else if (key == "skip_blank") {
            if (value.kind != K::Bool) s = bad("'skip_blank' must be true or false");
            job.skipBlank = value.flag;
        } else if (key == "serial") s = text(&job.serial, false);
        else if (key == "serial_list") s = text(&job.serialList, false);
        else if (key == "serial_at") s = text(&job.serialAt, false);
        else if (key == "log") s = text(&job.log, false);
        else if (key == "note") s = text(&job.note, false);
        else s = bad(Cat({"unknown member '", key, "'"}));
        if (!s) return s;
    }
    if (!versioned) return bad("not a job file (no \"vexojob\" member)");
    for (const auto& [key, field] : {std::pair<const char*, const std::string*>{"image", &job.image},
                                    {"image_sha256", &job.imageSha256},
                                    {"device", &job.device}})
        if (field->empty()) return bad(Cat({"'", key, "' is missing"}));
    if (!job.serial.empty() && !job.serialList.empty()) return bad("'serial' and 'serial_list' exclude each other");
    if (job.serialList.empty() != job.serialAt.empty())
        return bad("'serial_list' and 'serial_at' go together");
    if (!job.serial.empty()) {
        if (auto plan = ParseSerialPlan(job.serial); !plan) return bad(Cat({"'serial': ", plan.message()}));
    }
    if (!job.serialAt.empty()) {
        if (auto plan = ParseSerialAt(job.serialAt); !plan) return bad(Cat({"'serial_at': ", plan.message()}));
    }
    return job;
}

std::string JobText(const Job& job)
{
    // One member a line, for a reader and for a diff.
    std::string out = "{\n";
    // Each member as JsonObject writes it, {"key":value}, with a blank after the colon.
    const auto add = [&](const JsonObject& member) {
        const std::string text = member.Text();
        const std::size_t colon = text.find("\":") + 2;
        if (out.size() > 2) out += ",\n";
        out += "  ";
        out.append(text, 1, colon - 1);
        out += ' ';
        out.append(text, colon, text.size() - colon - 1);
    };
    const auto textOrNull = [&](std::string_view key, const std::string& value) {
        add(value.empty() ? JsonObject().Null(key) : JsonObject().String(key, value));
    };
    add(JsonObject().Unsigned("vexojob", unsigned(kJobVersion)));
    add(JsonObject().String("image", job.image));
    add(JsonObject().String("image_sha256", job.imageSha256));
    add(JsonObject().String("device", job.device));
    textOrNull("speed", job.speed);
    add(JsonObject().Unsigned("retries", job.retries));
    add(JsonObject().Unsigned("pulse_us", job.pulseMicros));
    add(JsonObject().Bool("skip_blank", job.skipBlank));
    textOrNull("serial", job.serial);
    textOrNull("serial_list", job.serialList);
    textOrNull("serial_at", job.serialAt);
    textOrNull("log", job.log);
    textOrNull("note", job.note);
    return out + "\n}\n";
}

Status WriteJob(const std::string& path, const Job& job)
{
    const std::string text = JobText(job);
    if (const Status written = ReplaceFile(path, text.data(), text.size()); !written)
        return Status::Fail(Cat({"cannot write job ", written.message()}), written.errnum());
    return {};
}

std::string JobRelativeTo(const std::string& jobPath, const std::string& name)
{
    const std::filesystem::path p(name);
    if (p.is_absolute()) return name;
    const std::filesystem::path folder = std::filesystem::path(jobPath).parent_path();
    if (folder.empty()) return name;
    return (folder / p).lexically_normal().string();
}

std::string NameForJob(const std::string& jobPath, const std::string& path)
{
    std::error_code ec;
    const auto target = std::filesystem::absolute(path, ec);
    const auto folder = std::filesystem::absolute(jobPath, ec).parent_path();
    if (ec) return path;
    const std::filesystem::path relative = target.lexically_normal().lexically_relative(folder.lexically_normal());
    return relative.empty() ? path : relative.string();
}

}  // namespace vexo
