// SPDX-License-Identifier: GPL-3.0-or-later
// The steps of a vexo run: what the operator's button presses and dialog OKs
// become on the command line. Each step is one row of the table in steps.cpp
// (name, argument count, step-local options, check, handler); a new step is a
// new row.
#pragma once

#include <cstdio>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.h"

namespace vexo {
class Session;
class JsonObject;
}

namespace vexo::cli {

class CliUi;

// What a step acts on: the operator's session of the run and its host.
struct StepContext {
    Session& session;
    CliUi& ui;
    std::FILE* out;  // where `status` and `checksum` print
    std::FILE* err;  // where a failed conversion says why
    std::string_view step = {};  // the step running, for --json records
    bool json = false;           // --json: records instead of plain lines
    std::FILE* in = stdin;       // where a step that asks the operator reads the answer
    bool stepStarted = false;    // a step has begun (`step` names the last)
    // Where a stop request ended the step, when the step knows better than
    // the device object's passes ("3/12 D2 (pin 4) high").
    std::string stoppedAt = {};
    // Why the running step failed, as told on `err` through ReportFailure;
    // under --json the step's {"ok":false} record carries it as "error".
    std::string error = {};
    bool emitted = false;  // the running step printed a result line
    // A failed step's exit status when it is not the usual 1 (identify: 2
    // for a DAT file it cannot read).
    int exitStatus = 0;
};

// The start of every --json record: {"v":1,"step":STEP}. `v` is the
// version of the records' contract (docs/json.md, docs/json.schema.json):
// a change that would break a reader raises it.
inline constexpr int kJsonVersion = 1;
JsonObject Record(std::string_view step);
// Writes `record` as one line on `out` and flushes it.
void PrintRecord(std::FILE* out, const JsonObject& record);

// A failed step's reason: "vexo: TEXT" on standard error, and the step's
// error under --json (the first reason of the step counts).
void ReportFailure(StepContext& c, std::string_view text);

// A step's result line on `out`: the plain text (a "\n" is added); under
// --json a record of the step instead. Every step prints through here.
void Emit(StepContext& c, std::string_view line);
// The same with the line's parts as fields of its record under --json
// ({"step":"checksum","line":"...","crc32":"0xCBF43926"}); the plain
// output is the line alone.
void Emit(StepContext& c, std::string_view line, const JsonObject& fields);

// A record whose fields say it all, with no "line" of its own (a finding
// names a wire line in "line"): `plain` is what prints without --json.
void EmitFields(StepContext& c, std::string_view plain, const JsonObject& fields);

struct StepDef;

// One step as given on the command line.
struct Step {
    const StepDef* def = nullptr;
    std::vector<std::string> args;
    // Step-local options that were given ("--fill" -> "0xFF").
    std::map<std::string, std::string, std::less<>> options;
};

struct StepOption {
    std::string_view name;  // "--fill"
    std::string_view value;  // "BYTE", for the help text; empty: a flag without a value
    // May be given more than once; the values are kept in order, one per line.
    bool repeats = false;
};

struct StepDef {
    std::string_view name;
    std::string_view args;  // "FILE", "1|2|3", for the help text
    std::string_view help;
    int arity;
    std::vector<StepOption> options;  // each takes one value, after the arguments
    // Checks the arguments before anything runs: empty when they are good,
    // else the one-line reason of the usage error.
    Status (*check)(const Step&);
    // Runs the step: true when it succeeded.
    bool (*run)(StepContext&, const Step&);
    // More arguments it may take after the first `arity`: 0 none, -1 any
    // number. The optional ones end at the first word that names a step or
    // starts with "--".
    int moreArity = 0;
};

// Pieces the rows of several step files share (steps.cpp).
Status NoCheck(const Step&);  // a step with nothing to check
extern const StepOption kFormatOption;  // --format raw|ihex|srec
// --max-diffs: the lines cap given, else the default; CheckMaxDiffs refuses
// a value that is not a number before the run.
std::size_t MaxDiffs(const Step& step);
Status CheckMaxDiffs(const Step& step);

// The steps of each capability, each in its own file; the table is theirs
// in this order after the seed's own.
void AddDiagnosisSteps(std::vector<StepDef>& table);   // steps_diagnosis.cpp
void AddRealPortSteps(std::vector<StepDef>& table);    // steps_real_port.cpp
void AddBufferSteps(std::vector<StepDef>& table);      // steps_buffer.cpp
void AddProductionSteps(std::vector<StepDef>& table);  // steps_production.cpp
void AddDumpSteps(std::vector<StepDef>& table);        // steps_dumps.cpp

// read and save with their --passes and --max-diffs (steps_dumps.cpp); one
// pass, the default, is the seed's Read ROM and save.
Status CheckReadPasses(const Step& step);
bool RunReadPasses(StepContext& c, const Step& step);
bool RunSavePasses(StepContext& c, const Step& step);

const std::vector<StepDef>& StepTable();
const StepDef* FindStep(std::string_view name);  // case-insensitive

// Splits the words after the options into steps and checks them. A usage
// error fails with a one-line reason. `globalOptions` ("--json", ...) are
// the options that go before the steps: one of them among the steps is told
// to move; any other unknown option after a step is one that step lacks.
Result<std::vector<Step>> ParseSteps(const std::vector<std::string>& words,
                                     const std::vector<std::string>& globalOptions = {});

// Runs the steps in order and stops at the first that fails. True when all
// succeeded. Under --json each step ends in {"step":"verify","ok":true}; a
// failed one's record says why in "error" when the reason was told on
// standard error only (the step's own report, the details behind a failure
// box, or the box itself when the step printed no result line); a step
// whose result lines already tell the outcome (a chip that failed, bytes
// that differ) has no "error".
bool RunSteps(StepContext& context, const std::vector<Step>& steps);

// The device index the run selects first: its first `device` step, else 0.
int FirstDevice(const std::vector<Step>& steps);
// The device index selected when step `index` runs: the last `device` step
// before it, else 0.
int DeviceAt(const std::vector<Step>& steps, std::size_t index);

// Checks that need the steps together (steps_production.cpp): a batch's
// serial number must lie within the device selected for it. Empty when
// they are good, else the one-line reason of the usage error.
Status CheckBatchSerials(const std::vector<Step>& steps);

// "  load FILE        Open BIN File ..." lines for --help.
std::string StepHelp();

}  // namespace vexo::cli
