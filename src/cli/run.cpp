// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/run.h"

#include <fcntl.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstring>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "base/file_roles.h"
#include "base/json.h"
#include "base/numbers.h"
#include "base/stop_request.h"
#include "base/text.h"
#include "base/version.h"
#include "cli/cli_ui.h"
#include "cli/complete.h"
#include "cli/job_options.h"
#include "cli/step_files.h"
#include "cli/steps.h"
#include "port/port_open.h"
#include "rom/catalogue.h"
#include "rom/diagnosis.h"
#include "rom/job_file.h"
#include "rom/rom.h"
#include "session/session.h"

namespace vexo::cli {
namespace {

// What the options before the steps ask for.
struct Options {
    std::string port = "sim";
    std::string trace;
    std::string device;
    std::string speed;
    std::string fault;
    std::string vcd;
    std::string retries;
    std::string pulseMicros;
    std::string job;
    bool skipBlank = false;
    bool json = false;
};

constexpr const char* kExamples =
    "Examples:\n"
    "  vexo blank\n"
    "  vexo --port sim:chip=chip.bin --device 27C040 load image.bin auto\n"
    "  vexo --port ppdev:/dev/parport0 --device 27C512 read save dump.bin\n"
    "  vexo --port sim:module=absent status\n"
    "  vexo --trace wire.log --port sim read\n";

// The usage line names the steps, which the step table reads past CLI11.
class HelpFormatter final : public CLI::Formatter {
public:
    std::string make_usage(const CLI::App*, std::string name) const override
    {
        return "Usage: " + name + " [OPTIONS] STEP...\n";
    }
};

// A run's failure before or after the steps, under --json also as a record
// on standard output: {"v":1,"step":"usage","ok":false,"error":"..."}.
void FailureRecord(std::FILE* out, bool json, std::string_view step, std::string_view reason)
{
    if (!json) return;
    JsonObject record = Record(step);
    record.Bool("ok", false).String("error", reason);
    PrintRecord(out, record);
}

void UsageError(std::FILE* out, std::FILE* err, bool json, const std::string& reason)
{
    std::fprintf(err, "vexo: %s (see vexo --help)\n", reason.c_str());
    FailureRecord(out, json, "usage", reason);
}

// --json among the options of a command line that did not parse.
bool AsksForJson(int argc, const char* const* argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view word = argv[i];
        if (word == "--json") return true;
        if (word == "--" || FindStep(word)) return false;
    }
    return false;
}

// "vexo: " before every line of `text`.
void PrintLines(std::FILE* err, const std::string& text)
{
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        std::fprintf(err, "vexo: %.*s\n", int(end - start), text.data() + start);
        start = end + 1;
    }
}

// "vexo: interrupted by SIGTERM: 'auto' stopped at 0x1A2B3 (Programming)":
// what a stop request ended, and where.
void SayWhereStopped(std::FILE* err, const StepContext& context, const CRom& rom)
{
    const int reason = StopReason();
    std::string text = reason == kStopOutputClosed ? StopReasonText(reason)
                                                   : "interrupted by " + StopReasonText(reason);
    if (!context.stepStarted) {
        text += ": stopped before the first step";
    } else {
        text += Cat({": '", context.step, "' stopped"});
        if (!context.stoppedAt.empty())
            text += " at " + context.stoppedAt;
        else if (const auto& where = rom.WhereStopped())
            text += Cat({" at ", FormatAddress(where->address), " (", where->pass, ")"});
    }
    std::fprintf(err, "vexo: %s\n", text.c_str());
    std::fflush(err);
}

// The options that take a value, and the flags: what the checks after the
// parse look at.
struct OptionRefs {
    std::vector<const CLI::Option*> valued;
    std::vector<const CLI::Option*> flags;
    const CLI::Option* fault = nullptr;
};

// The parser: every option before the steps, and the help's texts.
OptionRefs DefineOptions(CLI::App& app, Options& options)
{
    app.formatter(std::make_shared<HelpFormatter>());
    CLI::Option* portOption =
        app.add_option("--port", options.port, "the port, see Ports below (default sim)")->type_name("PORT");
    CLI::Option* traceOption =
        app.add_option("--trace", options.trace, "write every port access to FILE (\"W 37A 04\")")
            ->type_name("FILE");
    CLI::Option* vcdOption = app.add_option("--vcd", options.vcd,
                   "write the port traffic to FILE as a value change dump (GTKWave, PulseView)")
        ->type_name("FILE");
    CLI::Option* faultOption = app.add_option("--fault", options.fault,
                   "inject seeded faults into the port (seed=N,flip=P,mask=0xNN,stuck=BIT:VALUE,unplug=N)")
        ->type_name("FAULTS");
    CLI::Option* deviceOption =
        app.add_option("--device", options.device, "same as a first step 'device NAME'")->type_name("NAME");
    CLI::Option* speedOption =
        app.add_option("--speed", options.speed, "same as a first step 'speed NAME'")->type_name("NAME");
    CLI::Option* retriesOption =
        app.add_option("--retries", options.retries,
                       "Write ROM and Auto Write: up to N more pulse rounds for bytes still short (default 0)")
            ->type_name("N");
    CLI::Option* pulseOption =
        app.add_option("--pulse-us", options.pulseMicros,
                       "a real pause of N microseconds inside each program pulse, 0 to " +
                           std::to_string(kMaxPulseMicroseconds) + " (default 0)")
            ->type_name("N");
    CLI::Option* skipBlankOption = app.add_flag("--skip-blank", options.skipBlank,
                 "the programming pass leaves out bytes that are 0xFF in the buffer");
    CLI::Option* jobOption =
        app.add_option("--job", options.job,
                       "run a job file: its image (SHA-256 checked), device, settings, serials and log")
            ->type_name("FILE");
    CLI::Option* jsonOption = app.add_flag("--json", options.json,
                 "print every message and result line as a JSON object, one per line");
    app.set_version_flag("-V,--version", std::string("vexo ") + kVersion + "\n" + kLicenceNotice,
                         "print the version and licence and exit");
    // The first word that is not an option starts the steps; the step table
    // reads the rest.
    app.prefix_command();
    app.footer("Steps:\n" + StepHelp() + "\n" + PortHelpText() + "\n" + kExamples);
    return {{portOption, traceOption, vcdOption, faultOption, deviceOption, speedOption, retriesOption,
             pulseOption, jobOption},
            {skipBlankOption, jsonOption},
            faultOption};
}

// "--device=" with nothing after it: CLI11 would take the next word as the
// value. Looked for before the parse, among the words before the steps.
Status CheckNoEmptyAssignment(int argc, const char* const* argv, const OptionRefs& refs)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view word = argv[i];
        if (word == "--" || FindStep(word)) break;
        for (const CLI::Option* option : refs.valued)
            if (word.size() == option->get_name().size() + 1 && word.back() == '=' &&
                word.substr(0, word.size() - 1) == option->get_name())
                return Status::Fail(Cat({"'", option->get_name(), "' needs a value, not an empty word"}));
    }
    return Status::Ok();
}

// An empty value is a mistake, never "not given"; an option is given once.
Status CheckOptionCounts(const OptionRefs& refs)
{
    for (const CLI::Option* option : refs.valued) {
        if (option->count() > 1) return Status::Fail(Cat({"'", option->get_name(), "' is given twice"}));
        if (option->count() == 1 && option->as<std::string>().empty())
            return Status::Fail(Cat({"'", option->get_name(), "' needs a value, not an empty word"}));
    }
    for (const CLI::Option* flag : refs.flags)
        if (flag->count() > 1) return Status::Fail(Cat({"'", flag->get_name(), "' is given twice"}));
    return Status::Ok();
}

// A job fixes the device, the settings, the serials and the log; the
// command line may repeat them but not change them.
Status TakeJobSettings(const Job& job, Options& options)
{
    if (Status same = JobContradiction(job, options.job, options.device, options.speed, options.retries,
                                       options.pulseMicros, options.skipBlank);
        !same)
        return same;
    if (options.device.empty()) options.device = job.device;
    if (options.speed.empty()) options.speed = job.speed;
    if (options.retries.empty()) options.retries = std::to_string(job.retries);
    if (options.pulseMicros.empty()) options.pulseMicros = std::to_string(job.pulseMicros);
    options.skipBlank = job.skipBlank;
    return Status::Ok();
}

// What a run does, read from a command line that parsed.
struct RunPlan {
    std::vector<Step> steps;
    PortSetup setup;
};

// The steps (the shorthand options are steps placed first), then the port's
// and the faults' descriptions, and no file in two roles (the chip, the
// trace, the capture, the steps' files).
Result<RunPlan> PlanRun(CLI::App& app, const Options& options, const OptionRefs& refs,
                        const std::optional<Job>& job)
{
    std::vector<std::string> words;
    if (!options.device.empty()) words.insert(words.end(), {"device", options.device});
    if (!options.speed.empty()) words.insert(words.end(), {"speed", options.speed});
    std::vector<std::string> rest = app.remaining();
    if (!rest.empty() && rest.front() == "--") rest.erase(rest.begin());  // "vexo -- status"
    if (!rest.empty() && rest.front().size() > 1 && rest.front()[0] == '-')
        return Status::Fail("unknown option '" + rest.front() + "'");
    words.insert(words.end(), rest.begin(), rest.end());

    std::vector<std::string> globalOptions;
    for (const CLI::Option* option : app.get_options())
        if (!option->get_name().empty()) globalOptions.push_back(option->get_name());
    Result<std::vector<Step>> steps = ParseSteps(words, globalOptions);
    if (!steps) return steps.status();
    RunPlan plan;
    plan.steps = std::move(*steps);
    if (job) {
        if (Status applied = ApplyJobToSteps(*job, options.job, &plan.steps); !applied) return applied;
    }
    PortWords portWords{options.port, std::nullopt, options.trace, options.vcd};
    if (refs.fault->count() > 0) portWords.fault = options.fault;
    Result<PortSetup> made = Session::MakePortSetup(
        portWords, kDevices[std::size_t(FirstDevice(plan.steps))].Size(), StepFileRoles(plan.steps));
    if (!made) return made.status();
    plan.setup = std::move(*made);
    return plan;
}

// --retries and --pulse-us within their limits, and --skip-blank.
Result<ProgramSettings> ReadSettings(const Options& options)
{
    ProgramSettings settings;
    if (!options.retries.empty()) {
        const auto n = ParseUnsigned(options.retries, kMaxRetries);
        if (!n) return Status::Fail("--retries " + options.retries + ": " + RetriesRangeText());
        settings.retries = int(*n);
    }
    if (!options.pulseMicros.empty()) {
        const auto n = ParseUnsigned(options.pulseMicros, kMaxPulseMicroseconds);
        if (!n) return Status::Fail("--pulse-us " + options.pulseMicros + ": " + PulseRangeText());
        settings.pulseMicros = std::uint32_t(*n);
    }
    settings.skipBlank = options.skipBlank;
    return settings;
}

// Where the streams go and what the run was asked for, for its parts below.
struct RunStreams {
    std::FILE* out;
    std::FILE* err;
    bool json;
};

// Opens the port and says on standard error how it came up. False when a
// wrapper's file could not be made (said, and a record under --json).
bool OpenSessionPort(Session& session, const PortSetup& setup, const Options& options, const RunStreams& io)
{
    const PortOpenReport& port = session.OpenPort(setup);
    std::fprintf(io.err, "port: %s\n", port.description.c_str());
    if (!port.openStatus) std::fprintf(io.err, "vexo: %s\n", port.openStatus.message().c_str());
    if (!options.fault.empty()) std::fprintf(io.err, "port: faults injected: %s\n", options.fault.c_str());
    std::fflush(io.err);
    for (const Status& leftOut : port.wrapFailures) {
        std::fprintf(io.err, "vexo: %s\n", leftOut.message().c_str());
        FailureRecord(io.out, io.json, "start", leftOut.message());
    }
    return port.wrapFailures.empty();
}

enum class SessionEnd { kSucceeded, kFailed, kPortNotWrapped };

struct SessionOutcome {
    SessionEnd end = SessionEnd::kFailed;
    int failStatus = kExitFailed;  // a step's own status (2: read passes disagree)
};

// One session: the port opened, the device object started, the steps run,
// then the exit-time reset and the files closed, after a failed step too; a
// trace or capture that lost lines fails the run.
SessionOutcome RunSession(CliUi& ui, const RunPlan& plan, const ProgramSettings& settings, const Options& options,
                          const RunStreams& io)
{
    Session session(ui);
    if (!OpenSessionPort(session, plan.setup, options, io)) return {SessionEnd::kPortNotWrapped};

    static_cast<void>(session.SetProgramSettings(settings));  // checked by ReadSettings
    session.Start();  // the power-on module check, as at start-up
    ui.AttachRom(&session.Rom());
    StepContext context{session, ui, io.out, io.err};
    context.json = io.json;
    // The job's image, checked against its SHA-256, before the steps.
    Status jobOpened = Status::Ok();
    if (!options.job.empty()) {
        jobOpened = session.OpenJob(options.job);
        if (!jobOpened) {
            std::fprintf(io.err, "vexo: %s\n", jobOpened.message().c_str());
            FailureRecord(io.out, io.json, "job", jobOpened.message());
        }
    }
    bool succeeded = jobOpened && RunSteps(context, plan.steps);
    SessionOutcome outcome;
    if (context.exitStatus != 0) outcome.failStatus = context.exitStatus;
    ui.EndPass();
    if (StopRequested()) SayWhereStopped(io.err, context, session.Rom());
    ui.SetStep("finish");
    const Status shutDown = session.Shutdown();
    ui.EndPass();
    ui.AttachRom(nullptr);
    if (!shutDown) {
        PrintLines(io.err, shutDown.message());
        FailureRecord(io.out, io.json, "finish", shutDown.message());
        succeeded = false;
    }
    outcome.end = succeeded ? SessionEnd::kSucceeded : SessionEnd::kFailed;
    return outcome;
}

// The exit status once the session has ended: messages that never reached
// standard output fail the run too; a stop request says why it stopped.
int ExitStatusAfter(const SessionOutcome& outcome, const RunStreams& io)
{
    bool succeeded = outcome.end == SessionEnd::kSucceeded;
    if (std::fflush(io.out) != 0 || std::ferror(io.out)) {
        std::fprintf(io.err, "vexo: cannot write the messages to standard output: %s\n", std::strerror(errno));
        succeeded = false;
    }
    if (StopRequested()) return StopExitStatus(StopReason());
    return succeeded ? kExitOk : outcome.failStatus;
}

}  // namespace

int Run(int argc, const char* const* argv, std::FILE* out, std::FILE* err, bool showProgress)
{
    Options options;
    CLI::App app{"Vexo Writer: drive the EPROM programming module from the command line.\n"
                 "The steps run in order on one device, as the operator's buttons would;\n"
                 "the run stops at the first step that fails.\n",
                 "vexo"};
    const OptionRefs refs = DefineOptions(app, options);
    // The shell's completion asks what to offer (hidden: not in --help).
    if (argc >= 2 && std::string_view(argv[1]) == "--complete") {
        const std::vector<std::string> words(argv + 2, argv + argc);
        const std::string lines =
            CompletionLines(CompleteVexo(CompletionOptionsOf(app), words), words.empty() ? "" : words.back());
        std::fwrite(lines.data(), 1, lines.size(), out);
        return kExitOk;
    }
    if (const Status given = CheckNoEmptyAssignment(argc, argv, refs); !given) {
        UsageError(out, err, AsksForJson(argc, argv), given.message());
        return kExitUsage;
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForVersion& version) {
        std::fprintf(out, "%s\n", version.what());
        return kExitOk;
    } catch (const CLI::CallForHelp&) {
        const std::string help = app.help();
        std::fwrite(help.data(), 1, help.size(), out);
        return kExitOk;
    } catch (const CLI::ParseError& e) {
        UsageError(out, err, AsksForJson(argc, argv), e.what());
        return kExitUsage;
    }
    const bool json = options.json;
    const auto usage = [&](const std::string& reason) {
        UsageError(out, err, json, reason);
        return kExitUsage;
    };
    if (const Status counted = CheckOptionCounts(refs); !counted) return usage(counted.message());
    std::optional<Job> job;
    if (!options.job.empty()) {
        Result<Job> read = ReadJob(options.job);
        if (!read) {
            std::fprintf(err, "vexo: %s\n", read.message().c_str());
            FailureRecord(out, json, "job", read.message());
            return kExitFailed;
        }
        job = std::move(*read);
        if (const Status taken = TakeJobSettings(*job, options); !taken) return usage(taken.message());
    }
    Result<RunPlan> plan = PlanRun(app, options, refs, job);
    if (!plan) return usage(plan.message());
    // Data on standard output: the messages go to standard error instead.
    if (StepsWriteTo(plan->steps, ::fileno(out))) out = err;
    // The capture and trace files are opened, once, before the port opens (a
    // chip file may be created then), so that a bad one is a usage error that
    // changed nothing. A pipe nobody reads is refused, not waited for.
    if (const Status opened = OpenWrappingFiles(&plan->setup.wrapping); !opened) return usage(opened.message());
    const Result<ProgramSettings> settings = ReadSettings(options);
    if (!settings) return usage(settings.message());

    CliUi ui(out, err, showProgress);
    ui.SetJson(json);
    const RunStreams io{out, err, json};
    const SessionOutcome outcome = RunSession(ui, *plan, *settings, options, io);
    if (outcome.end == SessionEnd::kPortNotWrapped) return kExitFailed;
    // A stop request: the session was shut down as at any exit; the status says why.
    return ExitStatusAfter(outcome, io);
}

}  // namespace vexo::cli
