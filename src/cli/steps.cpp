// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/steps.h"

#include <algorithm>
#include <cctype>

#include "base/numbers.h"
#include "base/json.h"
#include "base/stop_request.h"
#include "base/text.h"
#include "cli/cli_ui.h"
#include "cli/step_files.h"
#include "rom/catalogue.h"
#include "rom/diagnosis.h"
#include "rom/image_convert.h"
#include "rom/image_source.h"
#include "rom/rom.h"
#include "session/session.h"

namespace vexo::cli {

Status NoCheck(const Step&) { return Status::Ok(); }

namespace {
constexpr std::string_view kFormatNames = "raw|ihex|srec";
}  // namespace

const StepOption kFormatOption{"--format", kFormatNames};

std::size_t MaxDiffs(const Step& step)
{
    const auto given = step.options.find("--max-diffs");
    if (given == step.options.end()) return kDefaultMaxDiffs;
    return std::size_t(ParseUnsigned(given->second, 0xFFFFFFFFu).value_or(kDefaultMaxDiffs));
}

Status CheckMaxDiffs(const Step& step)
{
    const auto given = step.options.find("--max-diffs");
    if (given != step.options.end() && !ParseUnsigned(given->second, 0xFFFFFFFFu))
        return Status::Fail(Cat({"--max-diffs takes a number of lines (0 for all), not '", given->second, "'"}));
    return Status::Ok();
}

namespace {

// --- settings: the dialogs' OK handlers ---

Status CheckDevice(const Step& step)
{
    // A part number read off the chip names its type too.
    const Result<PartInfo> part = Session::LookUpPart(step.args[0]);
    if (part) return Status::Ok();
    return Status::Fail(Cat({"unknown device '", step.args[0], "' (27C256, 27C512, 27C010, 27C020 or 27C040): ",
                part.message()}));
}

bool RunDevice(StepContext& c, const Step& step) { return c.session.SelectPart(step.args[0]).ok(); }

Status CheckSpeed(const Step& step)
{
    if (FindSpeed(step.args[0])) return Status::Ok();
    return Status::Fail(Cat({"unknown speed '", step.args[0], "' (normal, high or express)"}));
}

bool RunSpeed(StepContext& c, const Step& step)
{
    c.session.SelectSpeed(*FindSpeed(step.args[0]));
    return true;
}

Status CheckPortNumber(const Step& step)
{
    const std::string& a = step.args[0];
    if (a == "1" || a == "2" || a == "3") return Status::Ok();
    return Status::Fail(Cat({"port must be 1, 2 or 3 (LPT1..LPT3), not '", a, "'"}));
}

bool RunPort(StepContext& c, const Step& step) { return c.session.SelectPort(step.args[0][0] - '0'); }

// --- files ---

bool RunLoad(StepContext& c, const Step& step) { return c.session.OpenImage(step.args[0], StepFormat(step)); }

// The save's and the read's options: --format, and the passes.
Status CheckSaveOptions(const Step& step)
{
    if (Status problem = CheckFormatOptions(step); !problem) return problem;
    return CheckReadPasses(step);
}

// --- programming commands ---

bool RunBlank(StepContext& c, const Step&) { return c.session.BlankCheck(); }
bool RunWrite(StepContext& c, const Step&) { return c.session.WriteRom(); }
bool RunVerify(StepContext& c, const Step&) { return c.session.Verify(); }
bool RunAuto(StepContext& c, const Step&) { return c.session.AutoWrite(); }

// Text of several lines, each through Emit.
void Print(StepContext& c, std::string_view text)
{
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        Emit(c, text.substr(0, end));
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
}

// The key of a status line's field under --json.
std::string_view StatusKey(std::string_view name)
{
    if (name == "Port Type") return "port_type";
    if (name == "File Name") return "file_name";
    if (name == "Device Type") return "device_type";
    if (name == "Program Speed") return "program_speed";
    if (name == "Buffer Start Address") return "buffer_start";
    if (name == "Buffer end Address") return "buffer_end";
    if (!name.empty()) return "hex_count";  // "Hex Count", "Hex Counter"
    return {};
}

// A number as the panel shows it: hexadecimal, with or without 0x or a
// trailing H ("000000H", "000A1", "0x8000").
std::optional<std::uint64_t> PanelNumber(std::string_view text)
{
    if (!text.empty() && (text.back() == 'H' || text.back() == 'h')) text.remove_suffix(1);
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text.remove_prefix(2);
    if (text.empty() || text.size() > 8) return std::nullopt;
    std::uint64_t value = 0;
    for (const char ch : text) {
        const int digit = ch >= '0' && ch <= '9' ? ch - '0'
                          : ch >= 'a' && ch <= 'f' ? ch - 'a' + 10
                          : ch >= 'A' && ch <= 'F' ? ch - 'A' + 10
                                                   : -1;
        if (digit < 0) return std::nullopt;
        value = value * 16 + std::uint64_t(digit);
    }
    return value;
}

bool RunStatus(StepContext& c, const Step&)
{
    c.ui.EndPass();
    if (!c.json) {
        Print(c, c.session.StatusText(c.ui.HexCountText()));
        return true;
    }
    // Under --json each line also as its field under a key of its own; the
    // addresses and the count as numbers (null when the panel shows none).
    // A file name's line ends stay inside its record.
    for (const StatusField& field : c.session.StatusFields(c.ui.HexCountText())) {
        JsonObject fields;
        const std::string_view key = StatusKey(field.name);
        if (key.empty()) {
            // A Hex Count pane without a colon: the line alone.
        } else if (key == "buffer_start" || key == "buffer_end" || key == "hex_count") {
            if (const std::optional<std::uint64_t> n = PanelNumber(field.value)) fields.Unsigned(key, *n);
            else fields.Null(key);
        } else {
            fields.String(key, field.value);
        }
        Emit(c, field.line, fields);
    }
    return true;
}

// --- image tools ---

// "00000-07FFF sum16 0x1a2b crc32 0xcbf43926", with its parts as fields under --json.
void EmitChecksum(StepContext& c, const ChecksumReport& report)
{
    JsonObject fields;
    if (c.json) {
        fields.Unsigned("range_start", report.first)
            .Unsigned("range_end", report.size ? report.first + report.size - 1 : report.first)
            .Unsigned("sum16", report.sums.sum16)
            .Unsigned("crc32", report.sums.crc32);
    }
    Emit(c, report.Line(), fields);
}

Status CheckChecksum(const Step& step)
{
    const auto range = step.options.find("--range");
    if (range == step.options.end()) return Status::Ok();
    const std::size_t space = range->second.find(' ');
    for (const std::string& word : {range->second.substr(0, space), range->second.substr(space + 1)})
        if (!ParseUnsigned(word, UINT32_MAX))
            return Status::Fail(Cat({"'checksum --range': '", word, "' is not an address (decimal or 0x hex)"}));
    return Status::Ok();
}

bool RunChecksum(StepContext& c, const Step& step)
{
    const auto option = step.options.find("--range");
    if (option == step.options.end()) {
        EmitChecksum(c, c.session.Checksum());
        return true;
    }
    const std::size_t space = option->second.find(' ');
    const Result<BufferRange> range =
        ParseRangeArgs({option->second.substr(0, space), option->second.substr(space + 1)});
    const Result<ChecksumReport> sums =
        range ? c.session.Checksum(*range) : Result<ChecksumReport>(Status::Fail(range.message()));
    if (!sums) {
        ReportFailure(c, Cat({"checksum: ", sums.message()}));
        return false;
    }
    EmitChecksum(c, *sums);
    return true;
}

Status CheckConvert(const Step& step)
{
    if (Status problem = CheckFormatOptions(step); !problem) return problem;
    const auto fill = step.options.find("--fill");
    if (fill == step.options.end()) return Status::Ok();
    if (const Result<std::uint8_t> byte = ParseFillByte(fill->second); !byte) return Status::Fail("--fill: " + byte.message());
    return Status::Ok();
}

bool RunConvert(StepContext& c, const Step& step)
{
    ConvertOptions options;
    if (const auto fill = step.options.find("--fill"); fill != step.options.end()) {
        // Checked before the run.
        if (const Result<std::uint8_t> byte = ParseFillByte(fill->second)) options.fill = *byte;
    }
    options.inputFormat = StepFormat(step, "--in-format");
    options.outputFormat = StepFormat(step, "--out-format");
    const Result<Conversion> result = Session::Convert(step.args[0], step.args[1], options);
    if (!result) {
        ReportFailure(c, Cat({"convert: ", result.message()}));
        return false;
    }
    if (result->guessed) std::fprintf(c.err, "vexo: %s\n", DescribeGuess(step.args[0], result->input).c_str());
    JsonObject fields;
    fields.String("input_format", FormatWord(result->input))
        .String("output_format", FormatWord(result->output))
        .Unsigned("first", result->first)
        .Unsigned("bytes", result->written);
    Emit(c, Cat({step.args[0], " -> ", step.args[1], ": ", DescribeConversion(*result)}), fields);
    return true;
}

std::vector<StepDef> MakeTable()
{
    return {
        {"load", "FILE", "Open BIN File: load FILE (- standard input) into the buffer", 1, {kFormatOption},
         CheckFormatOptions, RunLoad},
        {"save", "FILE", "read the device and save it to FILE (- standard output)", 1,
         {kFormatOption, {"--passes", "N"}, {"--max-diffs", "N"}}, CheckSaveOptions, RunSavePasses},
        {"read", "", "Read ROM into the buffer", 0, {{"--passes", "N"}, {"--max-diffs", "N"}}, CheckReadPasses,
         RunReadPasses},
        {"blank", "", "Blank Check", 0, {}, NoCheck, RunBlank},
        {"write", "", "Write ROM from the buffer, then verify", 0, {}, NoCheck, RunWrite},
        {"verify", "", "Verify the device against the buffer", 0, {}, NoCheck, RunVerify},
        {"auto", "", "Auto Write: blank check, write, verify", 0, {}, NoCheck, RunAuto},
        {"port", "1|2|3", "select LPT1, LPT2 or LPT3 (only LPT1 is accepted)", 1, {}, CheckPortNumber, RunPort},
        {"device", "NAME", "device type: 27C256 27C512 27C010 27C020 27C040, or a part number (M27C512-12F1)", 1, {}, CheckDevice,
         RunDevice},
        {"speed", "NAME", "programming speed: normal, high or express", 1, {}, CheckSpeed, RunSpeed},
        {"status", "", "print the information panel and the Hex Count", 0, {}, NoCheck, RunStatus},
        {"checksum", "", "print the byte sum and CRC-32 of the device's range of the buffer", 0,
         {{"--range", "START END"}}, CheckChecksum, RunChecksum},
        {"convert", "IN OUT", "convert an image between raw, Intel HEX and S-record (by extension)", 2,
         {{"--fill", "BYTE"}, {"--in-format", kFormatNames}, {"--out-format", kFormatNames}}, CheckConvert,
         RunConvert},
    };
}

}  // namespace

JsonObject Record(std::string_view step)
{
    JsonObject record;
    record.Int("v", kJsonVersion).String("step", step);
    return record;
}

void PrintRecord(std::FILE* out, const JsonObject& record)
{
    const std::string text = record.Line();
    std::fwrite(text.data(), 1, text.size(), out);
    FlushOutput(out);
}

void Emit(StepContext& c, std::string_view line) { Emit(c, line, JsonObject()); }

void ReportFailure(StepContext& c, std::string_view text)
{
    c.ui.EndPass();
    std::fprintf(c.err, "vexo: %.*s\n", int(text.size()), text.data());
    std::fflush(c.err);
    if (c.error.empty()) c.error = text;
}

void Emit(StepContext& c, std::string_view line, const JsonObject& fields)
{
    c.ui.EndPass();
    c.emitted = true;
    if (c.json) {
        JsonObject record = Record(c.step);
        record.String("line", line).Merge(fields);
        const std::string text = record.Line();
        std::fwrite(text.data(), 1, text.size(), c.out);
    } else {
        std::fwrite(line.data(), 1, line.size(), c.out);
        std::fputc('\n', c.out);
    }
    FlushOutput(c.out);
}

void EmitFields(StepContext& c, std::string_view plain, const JsonObject& fields)
{
    if (!c.json) {
        Emit(c, plain);
        return;
    }
    c.ui.EndPass();
    c.emitted = true;
    JsonObject record = Record(c.step);
    record.Merge(fields);
    PrintRecord(c.out, record);
}

const std::vector<StepDef>& StepTable()
{
    static const std::vector<StepDef> table = [] {
        std::vector<StepDef> t = MakeTable();
        AddDiagnosisSteps(t);
        AddRealPortSteps(t);
        AddBufferSteps(t);
        AddProductionSteps(t);
        AddDumpSteps(t);
        return t;
    }();
    return table;
}

const StepDef* FindStep(std::string_view name)
{
    for (const StepDef& def : StepTable())
        if (SameText(def.name, name)) return &def;
    return nullptr;
}

namespace {

// The step-local options right after a step's arguments, from words[i] on:
// "--name VALUE" or "--name=VALUE". `i` ends past the last one taken.
Status ParseStepOptions(const std::vector<std::string>& words, std::size_t& i, Step& step)
{
    const StepDef* def = step.def;
    while (i < words.size()) {
        const std::string& w = words[i];
        const StepOption* found = nullptr;
        std::string value;
        bool inlineValue = false;
        for (const StepOption& opt : def->options) {
            if (w == opt.name) {
                found = &opt;
            } else if (w.size() > opt.name.size() && w.compare(0, opt.name.size(), opt.name) == 0 &&
                       w[opt.name.size()] == '=') {
                found = &opt;
                value = w.substr(opt.name.size() + 1);
                inlineValue = true;
            }
            if (found) break;
        }
        if (!found) break;
        ++i;
        if (found->repeats && step.options.count(found->name) && !found->value.empty()) {
            // Another value of a repeatable option, after the ones before it.
            std::string more;
            if (inlineValue) more = value;
            else if (i < words.size()) more = words[i++];
            else return Status::Fail(Cat({"'", def->name, " ", found->name, "' needs ", found->value}));
            step.options[std::string(found->name)] += "\n" + more;
            continue;
        }
        if (step.options.count(found->name))
            return Status::Fail(Cat({"'", def->name, " ", found->name, "' is given twice"}));
        if (found->value.empty()) {
            if (inlineValue) return Status::Fail(Cat({"'", def->name, " ", found->name, "' takes no value"}));
            step.options[std::string(found->name)] = "";
            continue;
        }
        // A value spelt "START END" takes as many words as it names.
        const auto wordsTaken = std::size_t(std::count(found->value.begin(), found->value.end(), ' ') + 1);
        if ((inlineValue && wordsTaken > 1) || (!inlineValue && i + wordsTaken > words.size()))
            return Status::Fail(Cat({"'", def->name, " ", found->name, "' needs ", found->value}));
        if (!inlineValue) {
            value = words[i++];
            for (std::size_t more = 1; more < wordsTaken; ++more) value += " " + words[i++];
        }
        if (!step.options.emplace(std::string(found->name), value).second)
            return Status::Fail(Cat({"'", def->name, " ", found->name, "' is given twice"}));
    }
    return Status::Ok();
}

// Why words[i], which names no step, cannot stand there.
std::string NotAStep(const std::string& word, const std::vector<Step>& before,
                     const std::vector<std::string>& globalOptions)
{
    const std::string name = word.substr(0, word.find('='));
    const bool global = std::find(globalOptions.begin(), globalOptions.end(), name) != globalOptions.end();
    if (!word.empty() && word[0] == '-' && !before.empty() && !global)
        return Cat({"'", before.back().def->name, "' has no option '", name, "'"});
    if (!word.empty() && word[0] == '-') return Cat({"unknown option '", word, "' (options go before the steps)"});
    return Cat({"unknown step '", word, "'"});
}

// The step that starts at words[i]: its arguments, its options, its check.
// `i` ends past the step's last word.
Result<Step> ParseStep(const std::vector<std::string>& words, std::size_t& i, const std::vector<Step>& before,
                       const std::vector<std::string>& globalOptions)
{
    const StepDef* def = FindStep(words[i]);
    if (!def) return Status::Fail(NotAStep(words[i], before, globalOptions));
    ++i;
    Step step;
    step.def = def;
    for (int a = 0; a < def->arity; ++a, ++i) {
        if (i >= words.size()) return Status::Fail(Cat({"'", def->name, "' needs ", def->args}));
        step.args.push_back(words[i]);
    }
    for (int more = 0; (def->moreArity < 0 || more < def->moreArity) && i < words.size(); ++more, ++i) {
        const std::string& w = words[i];
        if (FindStep(w) || w.rfind("--", 0) == 0) break;
        step.args.push_back(w);
    }
    if (const Status options = ParseStepOptions(words, i, step); !options) return options;
    if (Status checked = def->check(step); !checked) return checked;
    return step;
}

}  // namespace

Result<std::vector<Step>> ParseSteps(const std::vector<std::string>& words,
                                     const std::vector<std::string>& globalOptions)
{
    std::vector<Step> steps;
    std::size_t i = 0;
    while (i < words.size()) {
        Result<Step> step = ParseStep(words, i, steps, globalOptions);
        if (!step) return step.status();
        steps.push_back(std::move(*step));
    }
    if (steps.empty()) return Status::Fail("no steps given");
    if (Status serials = CheckBatchSerials(steps); !serials) return serials;
    if (Status streams = CheckStandardStreams(steps); !streams) return streams;
    return steps;
}

bool RunSteps(StepContext& context, const std::vector<Step>& steps)
{
    // Under --json each step ends in {"step":"verify","ok":true}.
    const auto outcome = [&context](bool ok) {
        if (!context.json) return ok;
        context.ui.EndPass();
        JsonObject record = Record(context.step);
        record.Bool("ok", ok);
        std::string why = context.error;
        if (why.empty()) why = context.ui.StepDetails();
        if (why.empty() && !context.emitted) why = context.ui.StepBox();
        if (!ok && !why.empty()) record.String("error", why);
        const std::string line = record.Line();
        std::fwrite(line.data(), 1, line.size(), context.out);
        FlushOutput(context.out);
        return ok;
    };
    for (const Step& step : steps) {
        // A stop request (a signal, a closed output) ends the run between steps too.
        if (StopRequested()) return false;
        context.step = step.def->name;
        context.stepStarted = true;
        context.error.clear();
        context.emitted = false;
        context.ui.SetStep(step.def->name);
        const bool ok = step.def->run(context, step);
        // A port that stopped working fails the step whatever it showed.
        if (const Status health = context.session.PortHealth(); !health) {
            context.error.clear();
            ReportFailure(context, health.message());
            return outcome(false);
        }
        if (!outcome(ok && !StopRequested())) return false;
    }
    return true;
}

int FirstDevice(const std::vector<Step>& steps)
{
    for (const Step& step : steps)
        if (step.def->run == RunDevice) {
            const Result<PartInfo> part = Session::LookUpPart(step.args[0]);
            return part ? part->device : 0;
        }
    return 0;
}

int DeviceAt(const std::vector<Step>& steps, std::size_t index)
{
    int device = 0;
    for (std::size_t i = 0; i < index && i < steps.size(); ++i) {
        if (steps[i].def->run != RunDevice) continue;
        if (const Result<PartInfo> part = Session::LookUpPart(steps[i].args[0])) device = part->device;
    }
    return device;
}

std::string StepHelp()
{
    std::string text;
    for (const StepDef& def : StepTable()) {
        std::string head = Cat({"  ", def.name});
        if (!def.args.empty()) head += Cat({" ", def.args});
        for (const StepOption& opt : def.options)
            head += opt.value.empty() ? Cat({" [", opt.name, "]"}) : Cat({" [", opt.name, " ", opt.value, "]"});
        if (head.size() < 22) head.resize(22, ' ');
        else head += "  ";
        text += Cat({head, def.help, "\n"});
    }
    return text;
}

}  // namespace vexo::cli
