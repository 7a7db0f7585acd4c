// SPDX-License-Identifier: GPL-3.0-or-later
// What stands between this program and a parallel port on this machine: the
// kernel's drivers, the device nodes and who may open them, the printer
// driver, the I/O ranges the kernel lists, and what direct I/O needs. Every
// look goes through a tree of paths so that a test can hand it a made-up
// machine. Nothing here writes to a port.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.h"
#include "port/port.h"

namespace vexo {

struct SystemPaths {
    std::string proc = "/proc";
    std::string sys = "/sys";
    std::string dev = "/dev";
    std::string etc = "/etc";
    // The kernels' module trees, one folder per release (uname -r).
    std::string modules = "/lib/modules";
};

// Who runs the check: the ids and the groups that count for this login.
struct UserIdentity {
    uid_t uid = 0;
    gid_t gid = 0;
    std::string name;
    std::vector<gid_t> groups;  // getgroups(): what the kernel grants now
    static UserIdentity Current();
};

// One line of the report.
struct CheckLine {
    bool ok = true;
    std::string what;  // "kernel module ppdev is loaded"
    std::string fix;   // problems only: what to do about it
    // "ok: what" or "problem: what (fix)".
    std::string Text() const;
};

// An I/O range of /proc/ioports ("0378-037a : parport0").
struct IoRange {
    std::uint32_t first = 0;
    std::uint32_t last = 0;
    std::string name;
};

// The ranges named parport* in the text of /proc/ioports. A reader without
// the right to see addresses gets 0000-0000 for every range.
std::vector<IoRange> ParallelRanges(std::string_view ioports);

// Whether `base` may be driven with direct I/O: the start of a range the
// kernel lists as a parallel port, or one of the three standard bases 0x378,
// 0x278, 0x3BC. The failure reads "0xCF7 is not a parallel port (see
// /proc/ioports)".
Status CheckParallelBase(std::uint16_t base, const std::string& ioportsPath);

struct PortCheckOptions {
    SystemPaths paths;
    UserIdentity user;
    bool direct = false;  // the chosen backend is direct I/O: check what it needs
};

// A device node as the check sees it.
struct NodeFacts {
    std::string shown;   // "/dev/parport0 (owner root, group lp, mode 0660)"
    uid_t owner = 0;
    gid_t group = 0;
    std::string groupName;
    mode_t mode = 0;     // permission bits
    bool userListedInGroup = false;  // /etc/group or the user's primary group
};

// Whether `user` may open the node, and what to do when not.
CheckLine JudgeNodeAccess(const NodeFacts& node, const UserIdentity& user);

// The report's lines, in the order an operator would fix them.
std::vector<CheckLine> PortCheckSetupLines(const PortCheckOptions& options);

// Nanoseconds one port access takes: the mean of `reads` status reads (no
// writes), timed on the steady clock.
double MeasureAccessNanos(IPort& port, std::uint32_t reads = 5000);

}  // namespace vexo
