// SPDX-License-Identifier: GPL-3.0-or-later
// The shared record of a production line: every chip's record in a table
// `chips` of a database that several stations write at once, SQLite (a file
// in WAL mode) or PostgreSQL. With a serial plan the database also hands out
// the numbers: one row per plan and image holds the next number, taken in a
// transaction, and a failed chip's number goes to a pool the next chip takes
// from first, so no two stations program the same number and none is
// skipped.
//
//   sqlite:PATH, or a name ending in .sqlite or .db      SQLite
//   postgresql://…, postgres://…, postgresql:…           PostgreSQL (a libpq connection string)
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.h"
#include "rom/production_log.h"
#include "rom/serial_number.h"

namespace vexo {

enum class DatabaseKind : std::uint8_t { None, Sqlite, Postgres };

// Which database `target` names (None: a CSV or JSON Lines file).
DatabaseKind DatabaseKindOf(std::string_view target);
// The SQLite file of a target ("sqlite:a.db" -> "a.db"); empty for others.
std::string SqlitePathOf(std::string_view target);

// A chip's row: the CSV log's fields and where it was programmed.
struct ChipRow {
    ProductionRecord record;  // time stays 0 when read back: timeText holds it
    std::string timeText;     // "2026-12-08T10:15:02+01:00"
    std::string station;
    std::string jobSha256;  // empty: no job
};

class ProductionDatabase {
public:
    virtual ~ProductionDatabase() = default;

    // Connects (opens) and makes the tables when they are missing. The
    // failure names the target and the reason.
    static Result<std::unique_ptr<ProductionDatabase>> Open(const std::string& target);

    // Whether the database still answers (before each chip).
    virtual Status Reachable() = 0;
    // Writes one chip's row in its own transaction.
    virtual Status Append(const ChipRow& row) = 0;
    // The next number of the plan `plan` (SerialPlanText) for the image with
    // `imageSha256`: the pool's lowest first, else the plan's next (the
    // plan's start when the plan is new), in one transaction.
    virtual Result<std::uint64_t> TakeSerial(const std::string& plan, const std::string& imageSha256,
                                             std::uint64_t start, std::uint64_t step) = 0;
    // Puts a number back into the plan's pool (a failed chip's, one never used).
    virtual Status ReturnSerial(const std::string& plan, const std::string& imageSha256, std::uint64_t serial) = 0;
    // Every row, in the order written.
    virtual Result<std::vector<ChipRow>> Rows() = 0;

    const std::string& Target() const { return m_target; }

protected:
    explicit ProductionDatabase(std::string target) : m_target(std::move(target)) {}
    std::string m_target;
};

// The numbers of one plan on one image, from a database.
class DatabaseSerials final : public SerialSource {
public:
    DatabaseSerials(ProductionDatabase& db, const SerialPlan& plan, std::string imageSha256)
        : m_db(db), m_plan(plan), m_key(SerialPlanText(plan)), m_image(std::move(imageSha256)) {}
    Result<std::uint64_t> Take() override;
    Status Done(std::uint64_t serial, SerialOutcome outcome) override;

private:
    ProductionDatabase& m_db;
    SerialPlan m_plan;
    std::string m_key;
    std::string m_image;
};

// One summary line per image, device and station:
// "fw.bin 27C512 station-2: 120 chips, 118 passed, 2 failed, serials 1000-1119".
struct LogSummary {
    std::string image, device, station;
    unsigned chips = 0, passed = 0, failed = 0;
    bool hasSerials = false;
    std::uint64_t firstSerial = 0, lastSerial = 0;
    std::string Line() const;
};
std::vector<LogSummary> SummarizeRows(const std::vector<ChipRow>& rows);

}  // namespace vexo
