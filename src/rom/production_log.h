// SPDX-License-Identifier: GPL-3.0-or-later
// The record of a production run: one line per chip, CSV (a header line when
// the file is new) or JSON Lines when the name ends in ".jsonl". Every record
// is appended in one write and pushed to the disk before the next chip, so a
// crash or a pulled plug loses at most the chip in progress. An existing log
// is continued, never truncated.
#pragma once

#include <cstdint>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/error.h"

namespace vexo {

struct ProductionRecord {
    std::time_t time = 0;   // when the chip was started
    unsigned chip = 0;      // 1, 2, ... within the run
    std::string device;     // "27C512"
    std::string image;      // the image file as the operator named it; "a.bin+b.bin" for a merge
    std::uint32_t imageCrc32 = 0;  // of the device's range as programmed, before the serial
    bool imageEdited = false;      // the buffer was changed after the image's load
    std::optional<std::uint64_t> serial;
    // Of what was programmed: the image with this chip's serial (for a chip
    // refused before programming, what it was to get).
    std::uint16_t sum16 = 0;
    std::uint32_t crc32 = 0;
    bool passed = false;
    std::string failedStep;  // empty when passed
    std::optional<std::uint32_t> failedAddress;
    double seconds = 0;
};

// "2026-12-08T10:15:02+01:00": local time with its offset from UTC.
std::string IsoLocalTime(std::time_t time);

// The CSV header line and one record as a line (both end in '\n').
std::string ProductionCsvHeader();
std::string ProductionCsvLine(const ProductionRecord& record);
// One record as a JSON Lines object (ends in '\n').
std::string ProductionJsonLine(const ProductionRecord& record);

// A record of a log written earlier, with its fields as the log has them
// ("0x001A3", "12.4"), for showing beside the records of a new run.
struct LoggedChip {
    std::string time;
    unsigned chip = 0;
    std::string serial;  // empty: none
    std::string crc32;
    bool passed = false;
    std::string failedStep;
    std::string failedAddress;  // empty: none
    std::string seconds;
};

// The records of the log at `path` (CSV, or JSON Lines for ".jsonl"), in
// file order; none when there is no such file or it is no regular file (a
// pipe, which is written, never read). A line that is no record (a cut-off
// last line) is left out.
Result<std::vector<LoggedChip>> ReadProductionLog(const std::string& path);
// The highest chip number among `records`; 0 for none.
unsigned LastLoggedChip(const std::vector<LoggedChip>& records);

class ProductionLog {
public:
    ~ProductionLog();
    ProductionLog(const ProductionLog&) = delete;
    ProductionLog& operator=(const ProductionLog&) = delete;

    // Opens `path` for appending (creating it, with the CSV header, when it is
    // missing or empty).
    static Result<std::unique_ptr<ProductionLog>> Open(const std::string& path);

    // Appends one record and pushes it to the disk.
    Status Append(const ProductionRecord& record);
    // Closes the file; the failure of the last write-back, if any.
    Status Close();

    const std::string& Path() const { return m_path; }
    bool JsonLines() const { return m_json; }

private:
    ProductionLog(int fd, std::string path, bool json, bool needsNewline);
    Status Write(const std::string& text);

    int m_fd;
    std::string m_path;
    bool m_json;
    // The file ended without a line end (a record cut off by a crash): the
    // next record starts on a line of its own.
    bool m_needsNewline;
};

}  // namespace vexo
