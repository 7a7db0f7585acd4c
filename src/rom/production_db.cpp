// SPDX-License-Identifier: GPL-3.0-or-later
#include "rom/production_db.h"

#include <libpq-fe.h>
#include <sqlite3.h>

#include <algorithm>
#include <charconv>
#include <functional>
#include <cstdio>
#include <map>
#include <optional>
#include <tuple>

#include "base/hex.h"
#include "base/numbers.h"
#include "base/text.h"

namespace vexo {
namespace {

std::string Fixed1(double seconds)
{
    char text[64];
    const auto end = std::to_chars(text, text + sizeof text, seconds, std::chars_format::fixed, 1);
    return end.ec == std::errc() ? std::string(text, std::size_t(end.ptr - text)) : "0.0";
}

std::uint32_t ParseHex(const std::string& text)
{
    const auto v = ParseUnsigned(text, 0xFFFFFFFFu);
    return v ? std::uint32_t(*v) : 0;
}

// The row's fields as text, in the table's column order.
constexpr const char* kColumns =
    "time, chip, device, image, image_crc32, serial, sum16, crc32, result, failed_step, failed_address, "
    "seconds, image_edited, station, job_sha256";

struct RowText {
    std::vector<std::optional<std::string>> fields;
};

RowText Fields(const ChipRow& row)
{
    const ProductionRecord& r = row.record;
    RowText t;
    const auto opt = [](const std::string& s) { return s.empty() ? std::nullopt : std::optional<std::string>(s); };
    t.fields = {IsoLocalTime(r.time),
                std::to_string(r.chip),
                r.device,
                r.image,
                Hex0x(r.imageCrc32, kLongDigits),
                r.serial ? std::optional<std::string>(std::to_string(*r.serial)) : std::nullopt,
                Hex0x(r.sum16, kWordDigits),
                Hex0x(r.crc32, kLongDigits),
                std::string(r.passed ? "passed" : "failed"),
                opt(r.failedStep),
                r.failedAddress ? std::optional<std::string>(Hex0x(*r.failedAddress, kAddressDigits)) : std::nullopt,
                Fixed1(r.seconds),
                std::string(r.imageEdited ? "1" : "0"),
                row.station,
                opt(row.jobSha256)};
    return t;
}

ChipRow FromFields(const std::vector<std::optional<std::string>>& f)
{
    ChipRow row;
    ProductionRecord& r = row.record;
    const auto get = [&](std::size_t i) { return f[i] ? *f[i] : std::string(); };
    row.timeText = get(0);
    r.chip = unsigned(ParseUnsigned(get(1), 0xFFFFFFFFu).value_or(0));
    r.device = get(2);
    r.image = get(3);
    r.imageCrc32 = ParseHex(get(4));
    if (f[5]) r.serial = ParseUnsigned(*f[5]);
    r.sum16 = std::uint16_t(ParseHex(get(6)));
    r.crc32 = ParseHex(get(7));
    r.passed = get(8) == "passed";
    r.failedStep = get(9);
    if (f[10]) r.failedAddress = ParseHex(*f[10]);
    double seconds = 0;
    const std::string s = get(11);
    std::from_chars(s.data(), s.data() + s.size(), seconds);
    r.seconds = seconds;
    r.imageEdited = get(12) == "1" || get(12) == "t" || get(12) == "true";
    row.station = get(13);
    row.jobSha256 = get(14);
    return row;
}

// --- SQLite ---

class SqliteDatabase final : public ProductionDatabase {
public:
    SqliteDatabase(std::string target, sqlite3* db) : ProductionDatabase(std::move(target)), m_db(db) {}
    ~SqliteDatabase() override { sqlite3_close(m_db); }

    Status Fail(std::string_view what) const
    {
        return Status::Fail(Cat({"cannot ", what, " log ", m_target, ": ", sqlite3_errmsg(m_db)}));
    }

    Status Exec(const char* sql, std::string_view what)
    {
        if (sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) return Fail(what);
        return {};
    }

    Status Setup()
    {
        sqlite3_busy_timeout(m_db, 30000);
        // WAL: readers and one writer at a time, several processes.
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(m_db, "PRAGMA journal_mode=WAL", -1, &st, nullptr) != SQLITE_OK) return Fail("open");
        const int step = sqlite3_step(st);
        const std::string mode =
            step == SQLITE_ROW ? reinterpret_cast<const char*>(sqlite3_column_text(st, 0)) : std::string();
        sqlite3_finalize(st);
        if (step != SQLITE_ROW) return Fail("open");
        if (!SameText(mode, "wal"))
            return Status::Fail(Cat({"cannot open log ", m_target, ": the file cannot use WAL mode (", mode, ")"}));
        if (Status s = Exec("PRAGMA synchronous=FULL", "open"); !s) return s;
        return Exec("BEGIN IMMEDIATE;"
                    "CREATE TABLE IF NOT EXISTS chips (time TEXT, chip INTEGER, device TEXT, image TEXT,"
                    " image_crc32 TEXT, serial INTEGER, sum16 TEXT, crc32 TEXT, result TEXT, failed_step TEXT,"
                    " failed_address TEXT, seconds REAL, image_edited INTEGER, station TEXT, job_sha256 TEXT);"
                    "CREATE TABLE IF NOT EXISTS serial_plans (plan TEXT, image_sha256 TEXT, next INTEGER,"
                    " PRIMARY KEY (plan, image_sha256));"
                    "CREATE TABLE IF NOT EXISTS serial_pool (plan TEXT, image_sha256 TEXT, serial INTEGER,"
                    " PRIMARY KEY (plan, image_sha256, serial));"
                    "COMMIT;",
                    "open");
    }

    Status Reachable() override { return {}; }

    // Runs `sql` with text parameters (null for nullopt); `row` sees each result row.
    Status Run(const char* sql, const std::vector<std::optional<std::string>>& params, std::string_view what,
               const std::function<void(sqlite3_stmt*)>& row = {})
    {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(m_db, sql, -1, &st, nullptr) != SQLITE_OK) return Fail(what);
        for (std::size_t i = 0; i < params.size(); ++i) {
            const int at = int(i) + 1;
            if (params[i]) sqlite3_bind_text(st, at, params[i]->c_str(), int(params[i]->size()), SQLITE_TRANSIENT);
            else sqlite3_bind_null(st, at);
        }
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW)
            if (row) row(st);
        sqlite3_finalize(st);
        if (rc != SQLITE_DONE) return Fail(what);
        return {};
    }

    Status Append(const ChipRow& row) override
    {
        const std::string sql =
            Cat({"INSERT INTO chips (", kColumns, ") VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"});
        // Numbers as numbers in the file.
        RowText t = Fields(row);
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(m_db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) return Fail("write");
        for (std::size_t i = 0; i < t.fields.size(); ++i) {
            const int at = int(i) + 1;
            const auto& f = t.fields[i];
            if (!f) sqlite3_bind_null(st, at);
            else if (i == 1 || i == 12) sqlite3_bind_int64(st, at, std::int64_t(ParseUnsigned(*f).value_or(0)));
            else if (i == 5) sqlite3_bind_int64(st, at, std::int64_t(*row.record.serial));
            else if (i == 11) sqlite3_bind_double(st, at, row.record.seconds);
            else sqlite3_bind_text(st, at, f->c_str(), int(f->size()), SQLITE_TRANSIENT);
        }
        const int rc = sqlite3_step(st);
        sqlite3_finalize(st);
        if (rc != SQLITE_DONE) return Fail("write");
        return {};
    }

    Result<std::uint64_t> TakeSerial(const std::string& plan, const std::string& image, std::uint64_t start,
                                     std::uint64_t step) override
    {
        // The write lock first: no other station reads the plan's row meanwhile.
        if (Status s = Exec("BEGIN IMMEDIATE", "take a serial from"); !s) return s;
        auto taken = TakeInside(plan, image, start, step);
        if (!taken) {
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
            return taken;
        }
        if (Status s = Exec("COMMIT", "take a serial from"); !s) {
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
            return s;
        }
        return taken;
    }

    Result<std::uint64_t> TakeInside(const std::string& plan, const std::string& image, std::uint64_t start,
                                     std::uint64_t step)
    {
        const std::string what = "take a serial from";
        std::optional<std::int64_t> pooled;
        if (Status s = Run("SELECT min(serial) FROM serial_pool WHERE plan=? AND image_sha256=?", {plan, image}, what,
                           [&](sqlite3_stmt* st) {
                               if (sqlite3_column_type(st, 0) != SQLITE_NULL) pooled = sqlite3_column_int64(st, 0);
                           });
            !s)
            return s;
        if (pooled) {
            if (Status s = Run("DELETE FROM serial_pool WHERE plan=? AND image_sha256=? AND serial=?",
                               {plan, image, std::to_string(*pooled)}, what);
                !s)
                return s;
            return std::uint64_t(*pooled);
        }
        std::optional<std::int64_t> next;
        if (Status s = Run("SELECT next FROM serial_plans WHERE plan=? AND image_sha256=?", {plan, image}, what,
                           [&](sqlite3_stmt* st) { next = sqlite3_column_int64(st, 0); });
            !s)
            return s;
        const std::uint64_t value = next ? std::uint64_t(*next) : start;
        if (Status s = Run("INSERT OR REPLACE INTO serial_plans (plan, image_sha256, next) VALUES (?,?,?)",
                           {plan, image, std::to_string(std::int64_t(value + step))}, what);
            !s)
            return s;
        return value;
    }

    Status ReturnSerial(const std::string& plan, const std::string& image, std::uint64_t serial) override
    {
        return Run("INSERT OR IGNORE INTO serial_pool (plan, image_sha256, serial) VALUES (?,?,?)",
                   {plan, image, std::to_string(std::int64_t(serial))}, "give a serial back to");
    }

    Result<std::vector<ChipRow>> Rows() override
    {
        std::vector<ChipRow> rows;
        const std::string sql = Cat({"SELECT ", kColumns, " FROM chips ORDER BY rowid"});
        Status s = Run(sql.c_str(), {}, "read", [&](sqlite3_stmt* st) {
            std::vector<std::optional<std::string>> f;
            for (int i = 0; i < 15; ++i) {
                if (sqlite3_column_type(st, i) == SQLITE_NULL) f.emplace_back();
                else if (i == 5) f.emplace_back(std::to_string(std::uint64_t(sqlite3_column_int64(st, i))));
                else if (i == 11) f.emplace_back(Fixed1(sqlite3_column_double(st, i)));
                else f.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, i)));
            }
            rows.push_back(FromFields(f));
        });
        if (!s) return s;
        return rows;
    }

private:
    sqlite3* m_db;
};

// --- PostgreSQL ---

class PgResult {
public:
    explicit PgResult(PGresult* r) : m_r(r) {}
    ~PgResult() { PQclear(m_r); }
    PgResult(const PgResult&) = delete;
    PgResult& operator=(const PgResult&) = delete;
    PGresult* Get() const { return m_r; }

private:
    PGresult* m_r;
};

class PostgresDatabase final : public ProductionDatabase {
public:
    PostgresDatabase(std::string target, PGconn* conn) : ProductionDatabase(std::move(target)), m_conn(conn) {}
    ~PostgresDatabase() override { PQfinish(m_conn); }

    Status Fail(std::string_view what, const PGresult* result = nullptr) const
    {
        std::string reason = result ? PQresultErrorMessage(result) : PQerrorMessage(m_conn);
        if (reason.empty()) reason = PQerrorMessage(m_conn);
        while (!reason.empty() && (reason.back() == '\n' || reason.back() == ' ')) reason.pop_back();
        if (reason.empty()) reason = "the server does not answer";
        return Status::Fail(Cat({"cannot ", what, " log ", m_target, ": ", reason}));
    }

    // Runs `sql` with text parameters; `row` sees each result row's fields.
    Status Run(const char* sql, const std::vector<std::optional<std::string>>& params, std::string_view what,
               const std::function<void(const std::vector<std::optional<std::string>>&)>& row = {})
    {
        std::vector<const char*> values;
        for (const auto& p : params) values.push_back(p ? p->c_str() : nullptr);
        PgResult r(PQexecParams(m_conn, sql, int(values.size()), nullptr, values.data(), nullptr, nullptr, 0));
        const ExecStatusType status = r.Get() ? PQresultStatus(r.Get()) : PGRES_FATAL_ERROR;
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) return Fail(what, r.Get());
        if (row && status == PGRES_TUPLES_OK) {
            for (int i = 0; i < PQntuples(r.Get()); ++i) {
                std::vector<std::optional<std::string>> f;
                for (int c = 0; c < PQnfields(r.Get()); ++c)
                    f.push_back(PQgetisnull(r.Get(), i, c) ? std::nullopt
                                                           : std::optional<std::string>(PQgetvalue(r.Get(), i, c)));
                row(f);
            }
        }
        return {};
    }

    void Rollback() { PgResult r(PQexec(m_conn, "ROLLBACK")); }

    Status Setup()
    {
        // Stations that start together make the tables once.
        if (Status s = Run("BEGIN", {}, "open"); !s) return s;
        Status s = Run("SELECT pg_advisory_xact_lock(7305730)", {}, "open");
        if (s)
            s = Run("CREATE TABLE IF NOT EXISTS chips (id BIGSERIAL PRIMARY KEY, time TEXT, chip INTEGER,"
                    " device TEXT, image TEXT, image_crc32 TEXT, serial BIGINT, sum16 TEXT, crc32 TEXT, result TEXT,"
                    " failed_step TEXT, failed_address TEXT, seconds DOUBLE PRECISION, image_edited BOOLEAN,"
                    " station TEXT, job_sha256 TEXT)",
                    {}, "open");
        if (s)
            s = Run("CREATE TABLE IF NOT EXISTS serial_plans (plan TEXT, image_sha256 TEXT, next BIGINT,"
                    " PRIMARY KEY (plan, image_sha256))",
                    {}, "open");
        if (s)
            s = Run("CREATE TABLE IF NOT EXISTS serial_pool (plan TEXT, image_sha256 TEXT, serial BIGINT,"
                    " PRIMARY KEY (plan, image_sha256, serial))",
                    {}, "open");
        if (s) s = Run("COMMIT", {}, "open");
        if (!s) Rollback();
        return s;
    }

    Status Reachable() override
    {
        if (PQstatus(m_conn) != CONNECTION_OK) PQreset(m_conn);
        if (PQstatus(m_conn) != CONNECTION_OK) return Fail("reach");
        return Run("SELECT 1", {}, "reach");
    }

    Status Append(const ChipRow& row) override
    {
        RowText t = Fields(row);
        t.fields[12] = row.record.imageEdited ? "true" : "false";
        const std::string sql = Cat({"INSERT INTO chips (", kColumns,
                                     ") VALUES ($1,$2,$3,$4,$5,$6,$7,$8,$9,$10,$11,$12,$13,$14,$15)"});
        return Run(sql.c_str(), t.fields, "write");
    }

    Result<std::uint64_t> TakeSerial(const std::string& plan, const std::string& image, std::uint64_t start,
                                     std::uint64_t step) override
    {
        const std::string what = "take a serial from";
        if (Status s = Run("BEGIN", {}, what); !s) return s;
        auto taken = TakeInside(plan, image, start, step);
        if (taken) {
            if (Status s = Run("COMMIT", {}, what); !s) taken = s;
        }
        if (!taken) Rollback();
        return taken;
    }

    Result<std::uint64_t> TakeInside(const std::string& plan, const std::string& image, std::uint64_t start,
                                     std::uint64_t step)
    {
        const std::string what = "take a serial from";
        const std::string first = std::to_string(std::int64_t(start));
        if (Status s = Run("INSERT INTO serial_plans (plan, image_sha256, next) VALUES ($1,$2,$3)"
                           " ON CONFLICT DO NOTHING",
                           {plan, image, first}, what);
            !s)
            return s;
        // The plan's row locked: the other stations wait here until commit.
        std::optional<std::string> next;
        if (Status s = Run("SELECT next FROM serial_plans WHERE plan=$1 AND image_sha256=$2 FOR UPDATE", {plan, image},
                           what, [&](const auto& f) { next = f[0]; });
            !s)
            return s;
        std::optional<std::string> pooled;
        if (Status s = Run("SELECT min(serial) FROM serial_pool WHERE plan=$1 AND image_sha256=$2", {plan, image}, what,
                           [&](const auto& f) { pooled = f[0]; });
            !s)
            return s;
        if (pooled) {
            if (Status s = Run("DELETE FROM serial_pool WHERE plan=$1 AND image_sha256=$2 AND serial=$3",
                               {plan, image, *pooled}, what);
                !s)
                return s;
            return ParseUnsigned(*pooled).value_or(0);
        }
        const std::uint64_t value = next ? ParseUnsigned(*next).value_or(start) : start;
        if (Status s = Run("UPDATE serial_plans SET next=$3 WHERE plan=$1 AND image_sha256=$2",
                           {plan, image, std::to_string(std::int64_t(value + step))}, what);
            !s)
            return s;
        return value;
    }

    Status ReturnSerial(const std::string& plan, const std::string& image, std::uint64_t serial) override
    {
        return Run("INSERT INTO serial_pool (plan, image_sha256, serial) VALUES ($1,$2,$3) ON CONFLICT DO NOTHING",
                   {plan, image, std::to_string(std::int64_t(serial))}, "give a serial back to");
    }

    Result<std::vector<ChipRow>> Rows() override
    {
        std::vector<ChipRow> rows;
        const std::string sql = Cat({"SELECT ", kColumns, " FROM chips ORDER BY id"});
        Status s = Run(sql.c_str(), {}, "read", [&](const std::vector<std::optional<std::string>>& f) {
            rows.push_back(FromFields(f));
        });
        if (!s) return s;
        return rows;
    }

private:
    PGconn* m_conn;
};

}  // namespace

DatabaseKind DatabaseKindOf(std::string_view target)
{
    if (StartsWithText(target, "postgresql:") || StartsWithText(target, "postgres:")) return DatabaseKind::Postgres;
    if (StartsWithText(target, "sqlite:") || EndsWithText(target, ".sqlite") || EndsWithText(target, ".db"))
        return DatabaseKind::Sqlite;
    return DatabaseKind::None;
}

std::string SqlitePathOf(std::string_view target)
{
    if (DatabaseKindOf(target) != DatabaseKind::Sqlite) return {};
    if (StartsWithText(target, "sqlite:")) target.remove_prefix(7);
    return std::string(target);
}

Result<std::unique_ptr<ProductionDatabase>> ProductionDatabase::Open(const std::string& target)
{
    switch (DatabaseKindOf(target)) {
    case DatabaseKind::Sqlite: {
        const std::string path = SqlitePathOf(target);
        if (path.empty()) return Status::Fail(Cat({"cannot open log ", target, ": no file named"}));
        sqlite3* db = nullptr;
        const int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        auto opened = std::make_unique<SqliteDatabase>(target, db);
        if (rc != SQLITE_OK) return opened->Fail("open");
        if (Status s = opened->Setup(); !s) return s;
        return std::unique_ptr<ProductionDatabase>(std::move(opened));
    }
    case DatabaseKind::Postgres: {
        // libpq takes "postgres:" only with the two slashes.
        std::string conninfo = target;
        PGconn* conn = PQconnectdb(conninfo.c_str());
        auto opened = std::make_unique<PostgresDatabase>(target, conn);
        if (!conn || PQstatus(conn) != CONNECTION_OK) return opened->Fail("reach");
        // The server's notices ("relation … already exists, skipping") are not the operator's.
        PQsetNoticeProcessor(conn, [](void*, const char*) {}, nullptr);
        if (Status s = opened->Setup(); !s) return s;
        return std::unique_ptr<ProductionDatabase>(std::move(opened));
    }
    case DatabaseKind::None: break;
    }
    return Status::Fail(Cat({"log ", target, " is not a database (sqlite:PATH or postgresql://…)"}));
}

Result<std::uint64_t> DatabaseSerials::Take()
{
    return m_db.TakeSerial(m_key, m_image, m_plan.start, m_plan.step);
}

Status DatabaseSerials::Done(std::uint64_t serial, SerialOutcome outcome)
{
    if (outcome == SerialOutcome::Passed) return {};
    return m_db.ReturnSerial(m_key, m_image, serial);
}

std::string LogSummary::Line() const
{
    std::string line = Cat({image.empty() ? "-" : image, " ", device, " ", station.empty() ? "-" : station, ": ",
                            std::to_string(chips), chips == 1 ? " chip, " : " chips, ", std::to_string(passed),
                            " passed, ", std::to_string(failed), " failed"});
    if (hasSerials) {
        line += Cat({", serials ", std::to_string(firstSerial)});
        if (lastSerial != firstSerial) line += Cat({"-", std::to_string(lastSerial)});
    }
    return line;
}

std::vector<LogSummary> SummarizeRows(const std::vector<ChipRow>& rows)
{
    std::map<std::tuple<std::string, std::string, std::string>, LogSummary> groups;
    for (const ChipRow& row : rows) {
        LogSummary& g = groups[{row.record.image, row.record.device, row.station}];
        g.image = row.record.image;
        g.device = row.record.device;
        g.station = row.station;
        ++g.chips;
        (row.record.passed ? g.passed : g.failed) += 1;
        if (row.record.serial) {
            const std::uint64_t s = *row.record.serial;
            g.firstSerial = g.hasSerials ? std::min(g.firstSerial, s) : s;
            g.lastSerial = g.hasSerials ? std::max(g.lastSerial, s) : s;
            g.hasSerials = true;
        }
    }
    std::vector<LogSummary> out;
    for (auto& [key, g] : groups) out.push_back(std::move(g));
    return out;
}

}  // namespace vexo
