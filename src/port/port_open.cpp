#include "port/port_open.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <tuple>

#include "base/numbers.h"
#include "base/text.h"
#include "port/fault_port.h"
#include "port/hardware_ports.h"
#include "port/port_check.h"
#include "port/sim_module.h"
#include "port/trace_file.h"
#include "port/vcd_port.h"

namespace vexo {
namespace {

// A description as the table below reads it: the backend's row and what
// its parser filled in.
struct Description {
    const PortBackend* backend = nullptr;
    SimConfig sim;
    std::string device = "/dev/parport0";
    std::uint16_t base = 0x378;
};

// --- the simulated module's keys ---

// The chip sizes the module's five EPROM types have, by name, for size=.
std::optional<std::uint32_t> EpromSize(std::string_view name)
{
    static constexpr std::pair<std::string_view, std::uint32_t> kSizes[] = {
        {"27C256", 0x8000}, {"27C512", 0x10000}, {"27C010", 0x20000}, {"27C020", 0x40000}, {"27C040", 0x80000}};
    for (const auto& [eprom, size] : kSizes)
        if (SameText(eprom, name)) return size;
    return std::nullopt;
}

struct SimKey {
    std::string_view name;
    std::string_view value;  // for the help text
    std::string_view help;
    // Reads `value` into the configuration; false with the usage text's reason.
    bool (*parse)(std::string_view value, SimConfig& sim, std::string& why);
};

bool Fail(std::string& why, std::string reason)
{
    why = std::move(reason);
    return false;
}

constexpr SimKey kSimKeys[] = {
    {"chip", "PATH", "keep the chip's contents in PATH",
     [](std::string_view v, SimConfig& s, std::string& why) {
         if (v.empty()) return Fail(why, "needs a file name");
         s.chipPath = v;
         return true;
     }},
    {"size", "NAME|BYTES", "chip size when PATH is new (27C040, 524288)",
     [](std::string_view v, SimConfig& s, std::string& why) {
         std::optional<std::uint64_t> bytes = EpromSize(v);
         if (!bytes) bytes = ParseUnsigned(v);
         if (!bytes) return Fail(why, "is not a chip size; give a device (27C256 to 27C040) or a byte count");
         if (*bytes == 0 || *bytes > kMaxChipSize) return Fail(why, "is out of range; a chip has 1 byte to 16 MiB");
         s.size = std::uint32_t(*bytes);
         return true;
     }},
    {"module", "absent", "no module on the port",
     [](std::string_view v, SimConfig& s, std::string& why) {
         if (v != "absent" && v != "present")
             return Fail(why, "is not understood; give module=absent or module=present");
         s.present = v == "present";
         return true;
     }},
    {"pulses", "N", "pulses a byte needs before it holds (1 to 1000)",
     [](std::string_view v, SimConfig& s, std::string& why) {
         const auto n = ParseUnsigned(v, 1000);
         if (!n || *n < 1) return Fail(why, "is not understood; give pulses= from 1 to 1000");
         s.pulses = std::uint32_t(*n);
         return true;
     }},
    {"data-stuck", "BIT:LEVEL", "data line BIT of the chip stuck at LEVEL",
     [](std::string_view v, SimConfig& s, std::string& why) {
         const std::size_t colon = v.find(':');
         const auto bit = ParseUnsigned(v.substr(0, colon), 7);
         const auto level = colon == std::string_view::npos ? std::nullopt : ParseUnsigned(v.substr(colon + 1), 1);
         if (!bit || !level)
             return Fail(why, "is not understood; give data-stuck=BIT:LEVEL, BIT 0 to 7 and LEVEL 0 or 1");
         s.faults.dataStuckBit = int(*bit);
         s.faults.dataStuckLevel = *level == 1;
         return true;
     }},
    {"addr-open", "BIT", "address line BIT not connected (the chip sees 0)",
     [](std::string_view v, SimConfig& s, std::string& why) {
         const auto bit = ParseUnsigned(v, 23);
         if (!bit) return Fail(why, "is not understood; give addr-open= an address line, 0 to 23");
         s.faults.addressOpenBit = int(*bit);
         return true;
     }},
    {"weak", "PERCENT", "that share of bytes needs twice the pulses",
     [](std::string_view v, SimConfig& s, std::string& why) {
         const auto percent = ParseUnsigned(v, 100);
         if (!percent) return Fail(why, "is not understood; give weak= a percentage, 0 to 100");
         s.faults.weakPercent = std::uint32_t(*percent);
         return true;
     }},
    {"seed", "N", "which bytes are weak",
     [](std::string_view v, SimConfig& s, std::string& why) {
         const auto seed = ParseUnsigned(v);
         if (!seed) return Fail(why, "is not understood; give seed= a whole number");
         s.faults.seed = *seed;
         return true;
     }},
    {"tray", "DIR", "a tray of chips DIR/chip-N.bin, the next one per chip of a batch",
     [](std::string_view v, SimConfig& s, std::string& why) {
         if (v.empty()) return Fail(why, "needs a folder name");
         s.trayDir = v;
         return true;
     }},
};

std::string SimKeyList()
{
    std::string list;
    for (const SimKey& key : kSimKeys) list += Cat({list.empty() ? "" : ", ", key.name});
    return list;
}

bool ParseSim(std::string_view options, SimConfig* sim, std::string* why)
{
    unsigned seen = 0;
    while (true) {
        const std::size_t comma = options.find(',');
        const std::string_view item = options.substr(0, comma);
        const std::size_t equals = item.find('=');
        if (item.empty() || equals == std::string_view::npos || equals == 0) {
            *why = item.empty() ? "sim: empty option; write sim:key=value,key=value"
                                : "sim: '" + std::string(item) + "' is not key=value";
            return false;
        }
        const std::string_view name = item.substr(0, equals);
        const std::string_view value = item.substr(equals + 1);
        const auto key = std::find_if(std::begin(kSimKeys), std::end(kSimKeys),
                                      [name](const SimKey& k) { return k.name == name; });
        if (key == std::end(kSimKeys)) {
            *why = Cat({"sim: unknown key '", name, "'; the keys are ", SimKeyList()});
            return false;
        }
        const unsigned bit = 1u << unsigned(key - std::begin(kSimKeys));
        if (seen & bit) {
            *why = Cat({"sim: ", name, "= is given twice"});
            return false;
        }
        seen |= bit;
        std::string reason;
        if (!key->parse(value, *sim, reason)) {
            // "sim: chip= needs a file name", "sim: size=0 is out of range; …"
            *why = value.empty() && reason.rfind("needs", 0) == 0 ? Cat({"sim: ", name, "= ", reason})
                                                                  : Cat({"sim: ", item, " ", reason});
            return false;
        }
        if (comma == std::string_view::npos) return true;
        options.remove_prefix(comma + 1);
    }
}

std::string SimDescription(const SimModule& module)
{
    std::string text = module.ChipPath().empty()
                           ? "simulated module, chip in memory"
                           : "simulated module, chip file " + module.ChipPath();
    text += " (" + Count(module.Size(), "byte", "bytes") + ")";
    if (module.State() == SimState::Absent) text += ", module absent";
    if (module.PulsesToProgram() != 1)
        text += ", " + std::to_string(module.PulsesToProgram()) + " pulses per byte";
    const SimFaults& faults = module.Faults();
    if (faults.dataStuckBit >= 0)
        text += ", data line D" + std::to_string(faults.dataStuckBit) + " stuck at " +
                (faults.dataStuckLevel ? "1" : "0");
    if (faults.addressOpenBit >= 0)
        text += ", address line A" + std::to_string(faults.addressOpenBit) + " open";
    if (faults.weakPercent > 0)
        text += ", " + std::to_string(faults.weakPercent) + "% weak bytes (seed " +
                std::to_string(faults.seed) + ")";
    return text;
}

OpenedPort Disconnected(std::string error)
{
    OpenedPort opened;
    opened.port = std::make_unique<DisconnectedPort>();
    opened.description = "disconnected (no port)";
    opened.error = std::move(error);
    return opened;
}

// --- the backends: how each reads its description and opens ---

bool ParseSimArgument(std::string_view argument, bool given, Description& d, std::string& why)
{
    return !given || ParseSim(argument, &d.sim, &why);
}

OpenedPort OpenSim(const Description& d, const PortOptions& options, std::string& error)
{
    OpenedPort opened;
    auto module = SimModule::Open(d.sim, options.defaultChipSize, &error);
    if (!module) return opened;
    module->SetFaults(d.sim.faults);
    if (!d.sim.trayDir.empty()) {
        module->SetTray(d.sim.trayDir, d.sim.size != 0 ? d.sim.size : options.defaultChipSize);
        SimModule* sim = module.get();  // lives as long as the port
        opened.nextChip = [sim] { return sim->InsertNextChip(); };
    }
    opened.description = SimDescription(*module);
    if (!d.sim.trayDir.empty()) opened.description += ", tray " + d.sim.trayDir;
    opened.simulated = true;
    opened.port = std::move(module);
    return opened;
}

bool ParsePpdevArgument(std::string_view argument, bool given, Description& d, std::string& why)
{
    if (!given) return true;
    if (argument.empty() || argument[0] != '/')
        return Fail(why, "ppdev: '" + std::string(argument) + "' is not a device path; write ppdev:/dev/parportN");
    d.device = argument;
    return true;
}

OpenedPort OpenPpdev(const Description& d, const PortOptions& options, std::string& error)
{
    OpenedPort opened;
    auto port = PpdevPort::Open(d.device, &error, options.ppdevCalls ? *options.ppdevCalls : SystemPpdevCalls());
    if (!port) return opened;
    opened.description = "ppdev " + d.device + " (control bit 4 is kept by the kernel)";
    const PpdevPort* ppdev = port.get();  // lives as long as the port
    opened.health = [ppdev, device = d.device]() -> std::string {
        if (ppdev->Fault() == 0) return {};
        return device + ": the port stopped answering (" + std::strerror(ppdev->Fault()) +
               "); the results since are not the module's";
    };
    opened.port = std::move(port);
    return opened;
}

bool ParseDirectArgument(std::string_view argument, bool given, Description& d, std::string& why)
{
    if (!given) return true;
    // Firmware set-up screens print "378": the base is hexadecimal.
    std::string_view digits = argument;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) digits.remove_prefix(2);
    const std::optional<std::uint64_t> parsed = digits.empty() || digits[0] == 'x' || digits[0] == 'X'
                                                    ? std::nullopt
                                                    : ParseUnsigned("0x" + std::string(digits), 0xFFFD);
    if (!parsed)
        return Fail(why, "direct: '" + std::string(argument) +
                             "' is not a port base address; give a hexadecimal address from 0x0 to "
                             "0xFFFD, e.g. 378 or 0x378");
    d.base = std::uint16_t(*parsed);
    return true;
}

OpenedPort OpenDirect(const Description& d, const PortOptions& options, std::string& error)
{
    OpenedPort opened;
    if (const Status parallel = CheckParallelBase(d.base, options.ioportsPath); !parallel) {
        error = "direct:" + HexAddress(d.base) + ": " + parallel.message();
        return opened;
    }
    auto port = DirectPort::Open(d.base, &error);
    if (!port) return opened;
    opened.description = "direct I/O at " + HexAddress(d.base);
    opened.port = std::move(port);
    return opened;
}

bool ParseNoArgument(std::string_view, bool given, Description&, std::string& why)
{
    return !given || Fail(why, "none: takes no options");
}

OpenedPort OpenNone(const Description&, const PortOptions&, std::string&) { return Disconnected({}); }

}  // namespace

struct PortBackend::Ops {
    bool (*parse)(std::string_view argument, bool given, Description& d, std::string& why);
    OpenedPort (*open)(const Description& d, const PortOptions& options, std::string& error);
};

namespace {

constexpr PortBackend::Ops kSimOps{ParseSimArgument, OpenSim};
constexpr PortBackend::Ops kPpdevOps{ParsePpdevArgument, OpenPpdev};
constexpr PortBackend::Ops kDirectOps{ParseDirectArgument, OpenDirect};
constexpr PortBackend::Ops kNoneOps{ParseNoArgument, OpenNone};

constexpr PortBackend kBackends[] = {
    {"sim", "sim[:KEY=VALUE,...]", "the simulated module (the default)", "sim:chip=chip.bin,size=27C040",
     &kSimOps},
    {"ppdev", "ppdev[:/dev/parportN]", "Linux parallel port driver (default /dev/parport0)",
     "ppdev:/dev/parport0", &kPpdevOps},
    {"direct", "direct[:0x378]", "direct port I/O (x86, needs ioperm rights; base in hexadecimal)", "direct:378",
     &kDirectOps},
    {"none", "none", "a disconnected port", "none", &kNoneOps},
};

std::string BackendNames()
{
    std::string names;
    for (std::size_t i = 0; i < std::size(kBackends); ++i)
        names += Cat({i == 0 ? "" : i + 1 == std::size(kBackends) ? " or " : ", ", kBackends[i].name});
    return names;
}

bool Parse(const std::string& text, Description* out, std::string* why)
{
    const std::size_t colon = text.find(':');
    const std::string_view name = std::string_view(text).substr(0, colon);
    const bool given = colon != std::string::npos;
    const std::string_view argument = given ? std::string_view(text).substr(colon + 1) : std::string_view();
    for (const PortBackend& backend : kBackends) {
        if (backend.name != name) continue;
        out->backend = &backend;
        return backend.ops->parse(argument, given, *out, *why);
    }
    *why = name.empty() ? "empty port description; use " + BackendNames()
                        : Cat({"unknown port backend '", name, "'; use ", BackendNames()});
    return false;
}

}  // namespace

std::span<const PortBackend> PortBackends() { return kBackends; }

std::string PortHelpText()
{
    std::string text = "Ports (--port):\n";
    auto row = [&text](std::string_view head, std::string_view help, std::size_t width) {
        std::string line = Cat({"  ", head});
        line.resize(std::max(line.size() + 2, width), ' ');
        text += Cat({line, help, "\n"});
    };
    for (const PortBackend& backend : kBackends) {
        row(backend.synopsis, Cat({backend.help, ", e.g. ", backend.example}), 25);
        if (&backend == &kBackends[0]) {
            text += "                         keys:\n";
            for (const SimKey& key : kSimKeys) row(Cat({"  ", key.name, "=", key.value}), key.help, 27);
        }
    }
    return text;
}

bool ParsePortDescription(const std::string& text, std::string* reason)
{
    Description description;
    std::string why;
    const bool ok = Parse(text, &description, &why);
    if (reason) *reason = ok ? std::string() : why;
    return ok;
}

OpenedPort OpenPort(const std::string& text, const PortOptions& options)
{
    Description d;
    std::string error;
    if (!Parse(text, &d, &error)) return Disconnected(error);
    OpenedPort opened = d.backend->ops->open(d, options, error);
    if (!opened.port) return Disconnected(error);
    return opened;
}

std::unique_ptr<IPort> MakeTraceFile(std::unique_ptr<IPort>&& inner, const std::string& path,
                                     std::string* error)
{
    std::string why;
    auto port = TraceFilePort::Create(std::move(inner), path, &why);
    if (error) *error = why;
    return port;
}

WrappedPort WrapPort(std::unique_ptr<IPort>& port, const PortWrapping& wrapping)
{
    WrappedPort wrapped;
    if (!wrapping.fault.empty()) {
        FaultConfig config;
        std::string why;
        if (ParseFaultDescription(wrapping.fault, &config, &why))
            port = std::make_unique<FaultPort>(std::move(port), config);
        else
            wrapped.errors.push_back("--fault " + wrapping.fault + ": " + why);
    }
    if (!wrapping.vcdPath.empty()) {
        std::string why;
        auto vcd = wrapping.vcdFile ? MakeVcdFile(std::move(port), wrapping.vcdFile->Release(),
                                                  wrapping.vcdPath, &why)
                                    : MakeVcdFile(std::move(port), wrapping.vcdPath, &why);
        if (vcd) {
            wrapped.vcd = vcd.get();
            port = std::move(vcd);
        } else {
            wrapped.errors.push_back("cannot create capture file " + why);
        }
    }
    if (!wrapping.tracePath.empty()) {
        std::string why;
        auto trace = wrapping.traceFile
                         ? TraceFilePort::Create(std::move(port), wrapping.traceFile->Release(),
                                                 wrapping.tracePath, &why)
                         : TraceFilePort::Create(std::move(port), wrapping.tracePath, &why);
        if (trace) {
            wrapped.trace = trace.get();
            port = std::move(trace);
        } else {
            wrapped.errors.push_back(why);
        }
    }
    return wrapped;
}

Status OpenWrappingFiles(PortWrapping* wrapping)
{
    for (const auto& [flag, path, file] :
         {std::tuple{"--trace", &wrapping->tracePath, &wrapping->traceFile},
          std::tuple{"--vcd", &wrapping->vcdPath, &wrapping->vcdFile}}) {
        if (path->empty()) continue;
        const Result<int> fd = OpenOutputStream(*path);
        if (!fd) return Status::Fail(std::string(flag) + " " + fd.message(), fd.status().errnum());
        *file = std::make_shared<Fd>(*fd);
    }
    return {};
}

std::optional<std::string> ChipFileOf(const std::string& description)
{
    Description d;
    std::string why;
    if (!Parse(description, &d, &why) || d.backend != &kBackends[0] || d.sim.chipPath.empty())
        return std::nullopt;
    return d.sim.chipPath;
}

bool FinishWrappedPort(const WrappedPort& wrapped, std::vector<std::string>* errors)
{
    bool ok = true;
    if (wrapped.trace && !wrapped.trace->Close()) {
        ok = false;
        if (errors) errors->push_back(wrapped.trace->Error());
    }
    std::string why;
    if (wrapped.vcd && !wrapped.vcd->Finish(&why)) {
        ok = false;
        if (errors) errors->push_back(why);
    }
    return ok;
}

}  // namespace vexo
