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
// on standard output: {"step":"usage","ok":false,"error":"..."}.
void FailureRecord(std::FILE* out, bool json, std::string_view step, std::string_view reason)
{
    if (!json) return;
    const std::string line = JsonObject().String("step", step).Bool("ok", false).String("error", reason).Line();
    std::fwrite(line.data(), 1, line.size(), out);
    std::fflush(out);
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

}  // namespace

int Run(int argc, const char* const* argv, std::FILE* out, std::FILE* err, bool showProgress)
{
    Options options;
    CLI::App app{"Vexo Writer: drive the EPROM programming module from the command line.\n"
                 "The steps run in order on one device, as the operator's buttons would;\n"
                 "the run stops at the first step that fails.\n",
                 "vexo"};
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
    app.set_version_flag("--version", std::string("vexo ") + kVersion, "print the version and exit");
    // The first word that is not an option starts the steps; the step table
    // reads the rest.
    app.prefix_command();
    app.footer("Steps:\n" + StepHelp() + "\n" + PortHelpText() + "\n" + kExamples);

    // "--device=" with nothing after it: CLI11 would take the next word as
    // the value.
    const CLI::Option* const valued[] = {portOption,    traceOption,   vcdOption,    faultOption,
                                         deviceOption,  speedOption,   retriesOption, pulseOption,
                                         jobOption};
    for (int i = 1; i < argc; ++i) {
        const std::string_view word = argv[i];
        if (word == "--" || FindStep(word)) break;
        for (const CLI::Option* option : valued)
            if (word.size() == option->get_name().size() + 1 && word.back() == '=' &&
                word.substr(0, word.size() - 1) == option->get_name()) {
                UsageError(out, err, AsksForJson(argc, argv),
                           Cat({"'", option->get_name(), "' needs a value, not an empty word"}));
                return kExitUsage;
            }
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

    // An empty value is a mistake, never "not given"; an option is given once.
    for (const CLI::Option* option : valued) {
        if (option->count() > 1) return usage(Cat({"'", option->get_name(), "' is given twice"}));
        if (option->count() == 1 && option->as<std::string>().empty())
            return usage(Cat({"'", option->get_name(), "' needs a value, not an empty word"}));
    }
    for (const CLI::Option* flag : {skipBlankOption, jsonOption})
        if (flag->count() > 1) return usage(Cat({"'", flag->get_name(), "' is given twice"}));

    // A job fixes the device, the settings, the serials and the log; the
    // command line may repeat them but not change them.
    std::optional<Job> job;
    if (!options.job.empty()) {
        auto read = ReadJob(options.job);
        if (!read) {
            std::fprintf(err, "vexo: %s\n", read.message().c_str());
            FailureRecord(out, json, "job", read.message());
            return kExitFailed;
        }
        job = std::move(*read);
        if (std::string why = JobContradiction(*job, options.job, options.device, options.speed, options.retries,
                                               options.pulseMicros, options.skipBlank);
            !why.empty())
            return usage(why);
        if (options.device.empty()) options.device = job->device;
        if (options.speed.empty()) options.speed = job->speed;
        if (options.retries.empty()) options.retries = std::to_string(job->retries);
        if (options.pulseMicros.empty()) options.pulseMicros = std::to_string(job->pulseMicros);
        options.skipBlank = job->skipBlank;
    }

    // The shorthand options are steps placed first.
    std::vector<std::string> words;
    if (!options.device.empty()) words.insert(words.end(), {"device", options.device});
    if (!options.speed.empty()) words.insert(words.end(), {"speed", options.speed});
    std::vector<std::string> rest = app.remaining();
    if (!rest.empty() && rest.front() == "--") rest.erase(rest.begin());  // "vexo -- status"
    if (!rest.empty() && rest.front().size() > 1 && rest.front()[0] == '-')
        return usage("unknown option '" + rest.front() + "'");
    words.insert(words.end(), rest.begin(), rest.end());

    std::vector<std::string> globalOptions;
    for (const CLI::Option* option : app.get_options())
        if (!option->get_name().empty()) globalOptions.push_back(option->get_name());
    std::vector<Step> steps;
    std::string reason;
    if (!ParseSteps(words, &steps, &reason, globalOptions)) return usage(reason);
    if (job) {
        if (std::string why = ApplyJobToSteps(*job, options.job, &steps); !why.empty()) return usage(why);
    }
    // The port's and the faults' descriptions, and no file in two roles (the
    // chip, the trace, the capture, the steps' files).
    PortWords portWords{options.port, std::nullopt, options.trace, options.vcd};
    if (faultOption->count() > 0) portWords.fault = options.fault;
    Result<PortSetup> made =
        Session::MakePortSetup(portWords, kDevices[std::size_t(FirstDevice(steps))].Size(), StepFileRoles(steps));
    if (!made) return usage(made.message());
    PortSetup setup = std::move(*made);
    // Data on standard output: the messages go to standard error instead.
    if (StepsWriteTo(steps, ::fileno(out))) out = err;

    // The capture and trace files are opened, once, before the port opens (a
    // chip file may be created then), so that a bad one is a usage error that
    // changed nothing. A pipe nobody reads is refused, not waited for.
    if (const Status opened = OpenWrappingFiles(&setup.wrapping); !opened) return usage(opened.message());

    ProgramSettings settings;
    if (!options.retries.empty()) {
        const auto n = ParseUnsigned(options.retries, kMaxRetries);
        if (!n) return usage("--retries " + options.retries + ": " + RetriesRangeText());
        settings.retries = int(*n);
    }
    if (!options.pulseMicros.empty()) {
        const auto n = ParseUnsigned(options.pulseMicros, kMaxPulseMicroseconds);
        if (!n) return usage("--pulse-us " + options.pulseMicros + ": " + PulseRangeText());
        settings.pulseMicros = std::uint32_t(*n);
    }
    settings.skipBlank = options.skipBlank;

    CliUi ui(out, err, showProgress);
    ui.SetJson(options.json);
    bool succeeded;
    {
        Session session(ui);
        const PortReport& port = session.OpenPort(setup);
        std::fprintf(err, "port: %s\n", port.description.c_str());
        if (!port.openError.empty()) std::fprintf(err, "vexo: %s\n", port.openError.c_str());
        if (!options.fault.empty()) std::fprintf(err, "port: faults injected: %s\n", options.fault.c_str());
        std::fflush(err);
        if (!port.wrapErrors.empty()) {
            for (const auto& e : port.wrapErrors) {
                std::fprintf(err, "vexo: %s\n", e.c_str());
                FailureRecord(out, json, "start", e);
            }
            return kExitFailed;
        }

        static_cast<void>(session.SetProgramSettings(settings));  // checked above
        session.Start();  // the power-on module check, as at start-up
        ui.AttachRom(&session.Rom());
        StepContext context{session, ui, out, err};
        context.json = options.json;
        // The job's image, checked against its SHA-256, before the steps.
        Status jobOpened;
        if (job) {
            jobOpened = session.OpenJob(options.job);
            if (!jobOpened) {
                std::fprintf(err, "vexo: %s\n", jobOpened.message().c_str());
                FailureRecord(out, json, "job", jobOpened.message());
            }
        }
        succeeded = jobOpened && RunSteps(context, steps);
        ui.EndPass();
        if (StopRequested()) SayWhereStopped(err, context, session.Rom());
        ui.SetStep("finish");
        // The exit-time reset, after a failed step too; then a trace or
        // capture that lost lines fails the run.
        const Status finished = session.Finish();
        ui.EndPass();
        ui.AttachRom(nullptr);
        if (!finished) {
            PrintLines(err, finished.message());
            FailureRecord(out, json, "finish", finished.message());
            succeeded = false;
        }
    }
    // Messages that never reached standard output fail the run too.
    if (std::fflush(out) != 0 || std::ferror(out)) {
        std::fprintf(err, "vexo: cannot write the messages to standard output: %s\n", std::strerror(errno));
        succeeded = false;
    }
    // A stop request: the session was finished as at any exit; the status says why.
    if (StopRequested()) return StopExitStatus(StopReason());
    return succeeded ? kExitOk : kExitFailed;
}

}  // namespace vexo::cli
