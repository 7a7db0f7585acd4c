// SPDX-License-Identifier: GPL-3.0-or-later
// The shared-files check on arbitrary names: never crashes, does not depend
// on the order of the roles, and always refuses a file held twice.
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/file_roles.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Lines are paths (NULs dropped); a leading '!' marks a held role.
    std::vector<vexo::FileRole> roles;
    std::string line;
    int step = 0;
    const auto take = [&] {
        if (roles.size() >= 8) return;
        vexo::FileRole role;
        role.held = !line.empty() && line[0] == '!';
        role.path = role.held ? line.substr(1) : line;
        role.role = role.held ? "--trace" : "save";
        role.step = role.held ? 0 : ++step;
        roles.push_back(role);
        line.clear();
    };
    for (std::size_t i = 0; i < size; ++i) {
        const char c = char(data[i]);
        if (c == '\n') take();
        else if (c != '\0') line += c;
    }
    take();

    const bool ok = vexo::CheckFileRoles(roles).ok();
    std::vector<vexo::FileRole> reversed(roles.rbegin(), roles.rend());
    if (vexo::CheckFileRoles(reversed).ok() != ok) std::abort();
    if (!ok && vexo::CheckFileRoles(roles).message().empty()) std::abort();

    // The first named file held a second time: always refused, unless it is
    // a character device, which any number of roles may share.
    for (const vexo::FileRole& role : roles) {
        if (role.path.empty()) continue;
        struct stat st {};
        if (::stat(role.path.c_str(), &st) == 0 && S_ISCHR(st.st_mode)) break;
        std::vector<vexo::FileRole> twice = roles;
        twice.push_back({"--vcd", role.path, true, 0});
        if (vexo::CheckFileRoles(twice).ok()) std::abort();
        break;
    }
    return 0;
}
