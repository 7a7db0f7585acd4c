#include "port/port_open.h"

#include <charconv>
#include <cstring>
#include <string_view>
#include <tuple>

#include "base/numbers.h"
#include "port/fault_port.h"
#include "port/hardware_ports.h"
#include "port/port_check.h"
#include "port/sim_module.h"
#include "port/trace_file.h"
#include "port/vcd_port.h"
#include "rom/catalogue.h"

namespace vexo {
namespace {

enum class Backend { Sim, Ppdev, Direct, None };

struct Description {
    Backend backend = Backend::None;
    SimConfig sim;
    std::string device = "/dev/parport0";
    std::uint16_t base = 0x378;
};

bool ParseNumber(std::string_view text, std::uint64_t* value)
{
    const std::optional<std::uint64_t> n = ParseUnsigned(text);
    if (n) *value = *n;
    return n.has_value();
}

bool ParseSimKey(std::string_view key, std::string_view value, SimConfig* sim, std::string* why)
{
    const std::string item = std::string(key) + "=" + std::string(value);
    if (key == "chip") {
        if (value.empty()) {
            *why = "sim: chip= needs a file name";
            return false;
        }
        sim->chipPath = value;
        return true;
    }
    if (key == "size") {
        std::uint64_t bytes = 0;
        if (const auto device = FindDevice(value)) {
            bytes = kDevices[*device].Size();
        } else if (!ParseNumber(value, &bytes)) {
            *why = "sim: " + item +
                   " is not a chip size; give a device (27C256 to 27C040) or a byte count";
            return false;
        }
        if (bytes == 0 || bytes > kMaxChipSize) {
            *why = "sim: " + item + " is out of range; a chip has 1 byte to 16 MiB";
            return false;
        }
        sim->size = std::uint32_t(bytes);
        return true;
    }
    if (key == "module") {
        if (value != "absent" && value != "present") {
            *why = "sim: " + item + " is not understood; give module=absent or module=present";
            return false;
        }
        sim->present = value == "present";
        return true;
    }
    if (key == "pulses") {
        std::uint64_t n = 0;
        if (!ParseNumber(value, &n) || n < 1 || n > 1000) {
            *why = "sim: " + item + " is not understood; give pulses= from 1 to 1000";
            return false;
        }
        sim->pulses = std::uint32_t(n);
        return true;
    }
    if (key == "data-stuck") {
        const std::size_t colon = value.find(':');
        const auto bit = ParseUnsigned(value.substr(0, colon), 7);
        const auto level = colon == std::string_view::npos
                               ? std::nullopt
                               : ParseUnsigned(value.substr(colon + 1), 1);
        if (!bit || !level) {
            *why = "sim: " + item + " is not understood; give data-stuck=BIT:LEVEL, "
                   "BIT 0 to 7 and LEVEL 0 or 1";
            return false;
        }
        sim->faults.dataStuckBit = int(*bit);
        sim->faults.dataStuckLevel = *level == 1;
        return true;
    }
    if (key == "addr-open") {
        const auto bit = ParseUnsigned(value, 23);
        if (!bit) {
            *why = "sim: " + item + " is not understood; give addr-open= an address line, 0 to 23";
            return false;
        }
        sim->faults.addressOpenBit = int(*bit);
        return true;
    }
    if (key == "weak") {
        const auto percent = ParseUnsigned(value, 100);
        if (!percent) {
            *why = "sim: " + item + " is not understood; give weak= a percentage, 0 to 100";
            return false;
        }
        sim->faults.weakPercent = std::uint32_t(*percent);
        return true;
    }
    if (key == "seed") {
        const auto seed = ParseUnsigned(value);
        if (!seed) {
            *why = "sim: " + item + " is not understood; give seed= a whole number";
            return false;
        }
        sim->faults.seed = *seed;
        return true;
    }

    if (key == "tray") {
        if (value.empty()) {
            *why = "sim: tray= needs a folder name";
            return false;
        }
        sim->trayDir = value;
        return true;
    }
    *why = "sim: unknown key '" + std::string(key) +
           "'; the keys are chip, size, module, pulses, data-stuck, addr-open, weak, seed, tray";
    return false;
}

bool ParseSim(std::string_view options, SimConfig* sim, std::string* why)
{
    unsigned seen = 0;
    static constexpr std::string_view kKeys[] = {"chip",      "size", "module", "pulses", "data-stuck",
                                                 "addr-open", "weak", "seed",   "tray"};
    while (true) {
        const std::size_t comma = options.find(',');
        const std::string_view item = options.substr(0, comma);
        const std::size_t equals = item.find('=');
        if (item.empty() || equals == std::string_view::npos || equals == 0) {
            *why = item.empty() ? "sim: empty option; write sim:key=value,key=value"
                                : "sim: '" + std::string(item) + "' is not key=value";
            return false;
        }
        const std::string_view key = item.substr(0, equals);
        for (unsigned i = 0; i < std::size(kKeys); ++i) {
            if (key != kKeys[i]) continue;
            if (seen & (1u << i)) {
                *why = "sim: " + std::string(key) + "= is given twice";
                return false;
            }
            seen |= 1u << i;
        }
        if (!ParseSimKey(key, item.substr(equals + 1), sim, why)) return false;
        if (comma == std::string_view::npos) return true;
        options.remove_prefix(comma + 1);
    }
}

bool Parse(const std::string& text, Description* out, std::string* why)
{
    const std::size_t colon = text.find(':');
    const std::string_view name = std::string_view(text).substr(0, colon);
    const bool hasArgument = colon != std::string::npos;
    const std::string_view argument =
        hasArgument ? std::string_view(text).substr(colon + 1) : std::string_view();

    if (name == "sim") {
        out->backend = Backend::Sim;
        return !hasArgument || ParseSim(argument, &out->sim, why);
    }
    if (name == "ppdev") {
        out->backend = Backend::Ppdev;
        if (!hasArgument) return true;
        if (argument.empty() || argument[0] != '/') {
            *why = "ppdev: '" + std::string(argument) +
                   "' is not a device path; write ppdev:/dev/parportN";
            return false;
        }
        out->device = argument;
        return true;
    }
    if (name == "direct") {
        out->backend = Backend::Direct;
        if (!hasArgument) return true;
        // Firmware set-up screens print "378": the base is hexadecimal.
        std::string_view digits = argument;
        if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X'))
            digits.remove_prefix(2);
        const std::optional<std::uint64_t> parsed =
            digits.empty() || digits[0] == 'x' || digits[0] == 'X'
                ? std::nullopt
                : ParseUnsigned("0x" + std::string(digits), 0xFFFD);
        if (!parsed) {
            *why = "direct: '" + std::string(argument) +
                   "' is not a port base address; give a hexadecimal address from 0x0 to "
                   "0xFFFD, e.g. 378 or 0x378";
            return false;
        }
        const std::uint64_t base = *parsed;
        out->base = std::uint16_t(base);
        return true;
    }
    if (name == "none") {
        out->backend = Backend::None;
        if (!hasArgument) return true;
        *why = "none: takes no options";
        return false;
    }
    *why = name.empty() ? "empty port description; use sim, ppdev, direct or none"
                        : "unknown port backend '" + std::string(name) +
                              "'; use sim, ppdev, direct or none";
    return false;
}

std::string SimDescription(const SimModule& module)
{
    std::string text = module.ChipPath().empty()
                           ? "simulated module, chip in memory"
                           : "simulated module, chip file " + module.ChipPath();
    text += " (" + std::to_string(module.Size()) + " bytes)";
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

}  // namespace

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

    OpenedPort opened;
    switch (d.backend) {
    case Backend::Sim:
        if (auto module = SimModule::Open(d.sim, options.defaultChipSize, &error)) {
            module->SetFaults(d.sim.faults);
            if (!d.sim.trayDir.empty()) {
                module->SetTray(d.sim.trayDir,
                                d.sim.size != 0 ? d.sim.size : options.defaultChipSize);
                SimModule* sim = module.get();  // lives as long as the port
                opened.nextChip = [sim] { return sim->InsertNextChip(); };
            }
            opened.description = SimDescription(*module);
            if (!d.sim.trayDir.empty()) opened.description += ", tray " + d.sim.trayDir;
            opened.simulated = true;
            opened.port = std::move(module);
        }
        break;
    case Backend::Ppdev:
        if (auto port = PpdevPort::Open(d.device, &error,
                                        options.ppdevCalls ? *options.ppdevCalls : SystemPpdevCalls())) {
            opened.description = "ppdev " + d.device + " (control bit 4 is kept by the kernel)";
            const PpdevPort* ppdev = port.get();  // lives as long as the port
            opened.health = [ppdev, device = d.device]() -> std::string {
                if (ppdev->Fault() == 0) return {};
                return device + ": the port stopped answering (" + std::strerror(ppdev->Fault()) +
                       "); the results since are not the module's";
            };
            opened.port = std::move(port);
        }
        break;
    case Backend::Direct:
        if (const Status parallel = CheckParallelBase(d.base, options.ioportsPath); !parallel) {
            error = "direct:" + HexAddress(d.base) + ": " + parallel.message();
            break;
        }
        if (auto port = DirectPort::Open(d.base, &error)) {
            char what[40];
            std::snprintf(what, sizeof what, "direct I/O at 0x%X", unsigned(d.base));
            opened.description = what;
            opened.port = std::move(port);
        }
        break;
    case Backend::None:
        return Disconnected({});
    }
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
    if (!Parse(description, &d, &why) || d.backend != Backend::Sim || d.sim.chipPath.empty())
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
