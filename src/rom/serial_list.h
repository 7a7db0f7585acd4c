// SPDX-License-Identifier: GPL-3.0-or-later
// A list of serial numbers to program, one row per number, as a CSV file
// with a header naming at least the columns `serial` and `status` (in any
// order; other columns are kept as they are). Each chip takes the first row
// whose status is `pending`; after the chip the row says `used` or `failed`
// and the file is replaced (a temporary file and a rename) before the next
// chip, so a list survives a crash or a stop with every finished chip marked.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/error.h"
#include "rom/serial_number.h"

namespace vexo {

class SerialList final : public SerialSource {
public:
    // Reads the list; fails naming the file and what is wrong with it.
    static Result<SerialList> Open(const std::string& path);

    // The first pending row's number; "serial list FILE has no pending
    // serial" when none is left.
    Result<std::uint64_t> Take() override;
    // Marks the row taken last (`used`, `failed`; Unused leaves it pending)
    // and writes the list back.
    Status Done(std::uint64_t serial, SerialOutcome outcome) override;

    const std::string& Path() const { return m_path; }
    std::size_t Pending() const;

private:
    struct Row {
        std::vector<std::string> raw;  // each field as the file writes it (quotes included)
        std::string end;               // its line end ("\n", "\r\n", "" for a last line without one)
    };
    static std::string Value(const std::string& raw);
    Status WriteBack() const;

    std::string m_path;
    std::vector<Row> m_rows;  // the header first
    std::size_t m_serialColumn = 0;
    std::size_t m_statusColumn = 0;
    std::optional<std::size_t> m_taken;  // the row Take gave out
};

}  // namespace vexo
