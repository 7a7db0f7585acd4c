// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/step_files.h"

#include "base/file_io.h"
#include "base/text.h"
#include "rom/image_source.h"

namespace vexo::cli {

namespace {

// "-" as the file the role really uses.
std::string In(const std::string& file) { return IsStandardStream(file) ? "/dev/stdin" : file; }
std::string Out(const std::string& file) { return OutputPath(file); }

bool Reads(std::string_view name) { return name == "load" || name == "merge" || name == "load-at"; }

}  // namespace

Status CheckStandardStreams(const std::vector<Step>& steps)
{
    int reader = 0, writer = 0, number = 0;
    for (const Step& step : steps) {
        ++number;
        const std::string_view name = step.def->name;
        for (std::size_t i = 0; i < step.args.size(); ++i) {
            if (!IsStandardStream(step.args[i])) continue;
            const bool input = Reads(name) || (name == "convert" && i == 0);
            const bool output = name == "save" || name == "export" || name == "split" || (name == "convert" && i == 1);
            if (!input && !output) continue;
            int& first = input ? reader : writer;
            if (first != 0)
                return Status::Fail(Cat({"'-' (standard ", input ? "input" : "output", ") is given to step ",
                            std::to_string(first), " and step ", std::to_string(number), "; it can be ",
                            input ? "read" : "written", " once"}));
            first = number;
        }
    }
    return Status::Ok();
}

std::optional<ImageFormat> StepFormat(const Step& step, std::string_view option)
{
    const auto given = step.options.find(option);
    if (given == step.options.end()) return std::nullopt;
    return ParseFormatName(given->second);
}

Status CheckFormatOptions(const Step& step)
{
    for (const auto& [option, value] : step.options)
        if (option.find("format") != std::string::npos && !ParseFormatName(value))
            return Status::Fail(FormatNameProblem(Cat({step.def->name, " ", option}), value));
    return Status::Ok();
}

std::vector<FileRole> StepFileRoles(const std::vector<Step>& steps)
{
    std::vector<FileRole> roles;
    int number = 0;
    for (const Step& step : steps) {
        ++number;
        const std::string name(step.def->name);
        if (name == "load") {
            roles.push_back({name, In(step.args[0]), false, number});
        } else if (name == "save") {
            roles.push_back({name, Out(step.args[0]), false, number});
        } else if (name == "convert") {
            roles.push_back({"convert", In(step.args[0]), false, number});
            roles.push_back({"convert", Out(step.args[1]), false, number});
        } else if (name == "export") {
            roles.push_back({name, Out(step.args[0]), false, number});
        } else if (name == "split") {
            for (const std::string& file : step.args) roles.push_back({name, Out(file), false, number});
        } else if (name == "merge") {
            for (const std::string& file : step.args) roles.push_back({name, In(file), false, number});
        } else if (name == "load-at") {
            roles.push_back({name, In(step.args[1]), false, number});
        } else if (const auto log = step.options.find("--log"); name == "batch" && log != step.options.end()) {
            roles.push_back({"batch --log", log->second, false, number, true});
        } else if (const auto csv = step.options.find("--csv"); name == "compare" && csv != step.options.end()) {
            roles.push_back({"compare --csv", csv->second, false, number, true});
        }
    }
    return roles;
}

bool StepsWriteTo(const std::vector<Step>& steps, int fd)
{
    if (fd < 0) return false;
    for (const Step& step : steps) {
        const std::string_view name = step.def->name;
        const std::string* target = name == "save" ? &step.args[0] : name == "convert" ? &step.args[1] : nullptr;
        if (name == "export") target = &step.args[0];
        if (target && NamesDescriptor(Out(*target), fd)) return true;
        if (name == "split")
            for (const std::string& file : step.args)
                if (NamesDescriptor(Out(file), fd)) return true;
        if (const auto log = step.options.find("--log"); name == "batch" && log != step.options.end() &&
                                                         NamesDescriptor(log->second, fd))
            return true;
        if (const auto csv = step.options.find("--csv");
            name == "compare" && csv != step.options.end() && NamesDescriptor(csv->second, fd))
            return true;
    }
    return false;
}

}  // namespace vexo::cli
