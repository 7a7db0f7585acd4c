// SPDX-License-Identifier: GPL-3.0-or-later
#include "port/port_open.h"

#include <algorithm>
#include <string_view>
#include <tuple>

#include "base/text.h"
#include "port/fault_port.h"
#include "port/hardware_ports.h"
#include "port/trace_file.h"
#include "port/vcd_port.h"

namespace vexo {
namespace {

// Each row lives in its backend's file; the first is the default.
constexpr const PortBackend* kBackends[] = {&kSimBackend, &kPpdevBackend, &kDirectBackend, &kNoneBackend};

std::string BackendNames()
{
    std::string names;
    for (std::size_t i = 0; i < std::size(kBackends); ++i)
        names += Cat({i == 0 ? "" : i + 1 == std::size(kBackends) ? " or " : ", ", kBackends[i]->name});
    return names;
}

Result<ParsedPort> Parse(const std::string& text)
{
    const std::size_t colon = text.find(':');
    const bool given = colon != std::string::npos;
    const std::string_view argument = given ? std::string_view(text).substr(colon + 1) : std::string_view();
    if (const PortBackend* backend = FindPortBackend(text)) return backend->parse(argument, given);
    const std::string_view name = std::string_view(text).substr(0, colon);
    return Status::Fail(name.empty() ? "empty port description; use " + BackendNames()
                                     : Cat({"unknown port backend '", name, "'; use ", BackendNames()}));
}

OpenedPort Disconnected(Status failure)
{
    OpenedPort opened;
    opened.port = std::make_unique<DisconnectedPort>();
    opened.description = "disconnected (no port)";
    opened.status = std::move(failure);
    return opened;
}

}  // namespace

std::span<const PortBackend* const> PortBackends() { return kBackends; }

const PortBackend* FindPortBackend(std::string_view description)
{
    const std::string_view name = description.substr(0, description.find(':'));
    for (const PortBackend* backend : kBackends)
        if (backend->name == name) return backend;
    return nullptr;
}

std::string PortHelpText()
{
    std::string text = "Ports (--port):\n";
    for (const PortBackend* backend : kBackends) {
        std::string line = Cat({"  ", backend->synopsis});
        line.resize(std::max(line.size() + 2, std::size_t(25)), ' ');
        text += Cat({line, backend->help, ", e.g. ", backend->example, "\n"});
        if (backend->helpDetail) text += backend->helpDetail();
    }
    return text;
}

Status ParsePortDescription(const std::string& text)
{
    Result<ParsedPort> parsed = Parse(text);
    return parsed ? Status::Ok() : parsed.status();
}

OpenedPort OpenPort(const std::string& text, const PortOptions& options)
{
    Result<ParsedPort> parsed = Parse(text);
    if (!parsed) return Disconnected(parsed.status());
    Result<OpenedPort> opened = parsed->open(options);
    if (!opened) return Disconnected(opened.status());
    opened->simulated = FindPortBackend(text)->simulated;
    return std::move(*opened);
}

Result<std::unique_ptr<IPort>> MakeTraceFile(std::unique_ptr<IPort>&& inner, const std::string& path)
{
    Result<std::unique_ptr<TraceFilePort>> port = TraceFilePort::Create(std::move(inner), path);
    if (!port) return port.status();
    return std::unique_ptr<IPort>(std::move(*port));
}

namespace {

// Each wraps `port` in place, or leaves it as it was and says why not.
Status AddFaults(std::unique_ptr<IPort>& port, const std::string& fault)
{
    const Result<FaultConfig> config = ParseFaultDescription(fault);
    if (!config) return Status::Fail("--fault " + fault + ": " + config.message());
    port = std::make_unique<FaultPort>(std::move(port), *config);
    return Status::Ok();
}

Result<VcdPort*> AddCapture(std::unique_ptr<IPort>& port, const PortWrapping& wrapping)
{
    Result<std::unique_ptr<VcdPort>> vcd =
        wrapping.vcdFile ? MakeVcdFile(std::move(port), wrapping.vcdFile->Release(), wrapping.vcdPath)
                         : MakeVcdFile(std::move(port), wrapping.vcdPath);
    if (!vcd) return Status::Fail("cannot create capture file " + vcd.message(), vcd.status().errnum());
    VcdPort* const capture = vcd->get();
    port = std::move(*vcd);
    return capture;
}

Result<TraceFilePort*> AddTrace(std::unique_ptr<IPort>& port, const PortWrapping& wrapping)
{
    Result<std::unique_ptr<TraceFilePort>> trace =
        wrapping.traceFile ? TraceFilePort::Create(std::move(port), wrapping.traceFile->Release(), wrapping.tracePath)
                           : TraceFilePort::Create(std::move(port), wrapping.tracePath);
    if (!trace) return trace.status();
    TraceFilePort* const traced = trace->get();
    port = std::move(*trace);
    return traced;
}

}  // namespace

std::vector<Status> WrapPort(std::unique_ptr<IPort>& port, const PortWrapping& wrapping, WrappedPort* wrapped)
{
    *wrapped = {};
    std::vector<Status> leftOut;
    if (!wrapping.fault.empty()) {
        if (Status faults = AddFaults(port, wrapping.fault); !faults) leftOut.push_back(std::move(faults));
    }
    if (!wrapping.vcdPath.empty()) {
        if (Result<VcdPort*> vcd = AddCapture(port, wrapping)) wrapped->vcd = *vcd;
        else leftOut.push_back(vcd.status());
    }
    if (!wrapping.tracePath.empty()) {
        if (Result<TraceFilePort*> trace = AddTrace(port, wrapping)) wrapped->trace = *trace;
        else leftOut.push_back(trace.status());
    }
    return leftOut;
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
    const Result<ParsedPort> parsed = Parse(description);
    if (!parsed || parsed->chipFile.empty()) return std::nullopt;
    return parsed->chipFile;
}

Status CloseWrapperFiles(const WrappedPort& wrapped)
{
    bool complete = true;
    std::string lines;
    if (wrapped.trace) {
        if (const Status closed = wrapped.trace->Close(); !closed) {
            complete = false;
            lines = closed.message();
        }
    }
    if (wrapped.vcd) {
        if (const Status closed = wrapped.vcd->Close(); !closed) {
            lines += (complete ? "" : "\n") + closed.message();
            complete = false;
        }
    }
    return complete ? Status::Ok() : Status::Fail(lines);
}

}  // namespace vexo
