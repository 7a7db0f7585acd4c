// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/file_roles.h"

#include <sys/stat.h>

#include <climits>
#include <cstdlib>

#include "base/file_io.h"

namespace vexo {
namespace {

struct Identity {
    bool exists = false;
    bool shareable = false;  // a character device
    dev_t dev = 0;
    ino_t ino = 0;
    std::string resolved;  // for a file that does not exist yet
};

std::string RealFolder(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    char* real = ::realpath(folder.c_str(), nullptr);
    if (!real) return folder;
    std::string result = real;
    std::free(real);
    return result;
}

Identity Identify(const std::string& path)
{
    Identity id;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        id.exists = true;
        id.shareable = S_ISCHR(st.st_mode);
        id.dev = st.st_dev;
        id.ino = st.st_ino;
        return id;
    }
    const std::string target = FollowDanglingLink(path);
    std::string folder = RealFolder(target);
    if (folder != "/") folder += '/';
    id.resolved = folder + BaseName(target);
    return id;
}

bool Same(const Identity& a, const Identity& b)
{
    if (a.exists != b.exists) return false;
    if (a.exists) return a.dev == b.dev && a.ino == b.ino && !a.shareable;
    return a.resolved == b.resolved;
}

}  // namespace

Status CheckFileRoles(const std::vector<FileRole>& roles)
{
    std::vector<Identity> ids;
    ids.reserve(roles.size());
    for (const FileRole& role : roles) ids.push_back(Identify(role.path));
    for (std::size_t i = 0; i < roles.size(); ++i) {
        if (roles[i].path.empty()) continue;
        for (std::size_t j = 0; j < i; ++j) {
            if (roles[j].path.empty()) continue;
            const bool clash = roles[i].held || roles[j].held ||
                               (roles[i].step != 0 && roles[i].step == roles[j].step) ||
                               roles[i].record != roles[j].record;
            if (clash && Same(ids[i], ids[j]))
                return Status::Fail(roles[j].role + " " + roles[j].path + " and " + roles[i].role + " " +
                                    roles[i].path + " are the same file; give each its own");
        }
    }
    return {};
}

}  // namespace vexo
