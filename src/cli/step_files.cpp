// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/step_files.h"

#include "base/file_io.h"
#include "base/text.h"

namespace vexo::cli {

std::vector<FileRole> StepFileRoles(const std::vector<Step>& steps)
{
    std::vector<FileRole> roles;
    int number = 0;
    for (const Step& step : steps) {
        ++number;
        const std::string name(step.def->name);
        if (name == "load" || name == "save") {
            roles.push_back({name, step.args[0], false, number});
        } else if (name == "convert") {
            roles.push_back({"convert", step.args[0], false, number});
            roles.push_back({"convert", step.args[1], false, number});
        } else if (name == "export") {
            roles.push_back({name, step.args[0], false, number});
        } else if (name == "split" || name == "merge") {
            for (const std::string& file : step.args) roles.push_back({name, file, false, number});
        } else if (name == "load-at") {
            roles.push_back({name, step.args[1], false, number});
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
        if (target && NamesDescriptor(*target, fd)) return true;
        if (name == "split")
            for (const std::string& file : step.args)
                if (NamesDescriptor(file, fd)) return true;
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
