// SPDX-License-Identifier: GPL-3.0-or-later
// Serial numbers written into each chip of a production run: a number at a
// fixed address of the image, in a fixed number of bytes, growing after
// every chip that passed.
//
//   ADDR:WIDTH:START[:STEP[:FORMAT]]   e.g. 0x7FF0:4:1000  or  0x10:6:1:1:ascii
//
// Numbers are decimal or 0x-hexadecimal. WIDTH is 1 to 8 bytes. FORMAT:
//   le     binary, least significant byte first (the default)
//   be     binary, most significant byte first
//   bcd    packed BCD, two decimal digits a byte, most significant first
//   ascii  decimal digits, zero-padded to WIDTH characters
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.h"

namespace vexo {

enum class SerialFormat : std::uint8_t { Le, Be, Bcd, Ascii };

const char* SerialFormatName(SerialFormat format);

struct SerialPlan {
    std::uint32_t address = 0;
    unsigned width = 1;  // 1..8 bytes
    std::uint64_t start = 0;
    std::uint64_t step = 1;
    SerialFormat format = SerialFormat::Le;
};

// Reads ADDR:WIDTH:START[:STEP[:FORMAT]]; the failure quotes the text and
// names the part that is wrong.
Result<SerialPlan> ParseSerialPlan(std::string_view text);

// Reads ADDR:WIDTH[:FORMAT], where a serial list's numbers go (start 0,
// step 1: the list gives the numbers).
Result<SerialPlan> ParseSerialAt(std::string_view text);

// "0x7FF0:4:1000:1:le": the plan written out in full, the same for the same
// plan however it was typed.
std::string SerialPlanText(const SerialPlan& plan);

// A plan as a form holds it: the numbers as the operator typed them (blanks
// around them already trimmed), the width and format as chosen.
struct SerialPlanFields {
    std::string address;
    unsigned width = 1;
    std::string start;
    std::string step = "1";
    SerialFormat format = SerialFormat::Le;
};

// The same checks and messages as ParseSerialPlan; a failure quotes the
// fields as ADDR:WIDTH:START:STEP:FORMAT.
Result<SerialPlan> SerialPlanFromFields(const SerialPlanFields& fields);

// The largest number `width` bytes hold in `format`.
std::uint64_t SerialMaximum(unsigned width, SerialFormat format);

// The WIDTH bytes that hold `value`, or why it does not fit.
Result<std::vector<std::uint8_t>> EncodeSerial(const SerialPlan& plan, std::uint64_t value);

// Refuses a serial number that does not lie within a device of
// `deviceSize` bytes: "the serial number at 0x07FFE lies past the end of
// the 27C256 (32768 bytes)".
Status CheckSerialWithin(const SerialPlan& plan, std::uint32_t deviceSize, std::string_view deviceName);

// When the serial number's bytes would overwrite bytes of the image (any
// that is not 0xFF): "serial: 0x00100-0x00103 lies over image bytes 12 34
// 56 78". Empty when they are all 0xFF or lie past `buffer`.
std::string SerialOverlap(const SerialPlan& plan, std::span<const std::uint8_t> buffer);

// The number for each chip in turn: the same number again after a chip that
// failed, the next (+STEP) after one that passed.
// Where a run's numbers come from when a plain counter will not do: a
// serial list, a database shared by stations. The run takes one number per
// chip and then says what became of it, before the next prompt.
enum class SerialOutcome : std::uint8_t { Passed, Failed, Unused };

class SerialSource {
public:
    virtual ~SerialSource() = default;
    // The next chip's number, or why there is none.
    virtual Result<std::uint64_t> Take() = 0;
    // Passed: the chip holds it. Failed: the chip was programmed and failed.
    // Unused: the chip never started, the number is still free.
    virtual Status Done(std::uint64_t serial, SerialOutcome outcome) = 0;
};

class SerialCounter {
public:
    explicit SerialCounter(const SerialPlan& plan) : m_plan(plan), m_value(plan.start) {}

    const SerialPlan& Plan() const { return m_plan; }
    std::uint64_t Current() const { return m_value; }
    // The bytes of the current number, or why it does not fit its width (or
    // the count ran past 2^64).
    Result<std::vector<std::uint8_t>> CurrentBytes() const;
    void ChipDone(bool passed);

private:
    SerialPlan m_plan;
    std::uint64_t m_value;
    bool m_overflowed = false;
};

}  // namespace vexo
