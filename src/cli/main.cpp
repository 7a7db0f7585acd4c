// SPDX-License-Identifier: GPL-3.0-or-later
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <new>

#include "base/stop_request.h"
#include "base/std_descriptors.h"
#include "cli/run.h"

int main(int argc, char** argv)
{
    // Before any file is opened: no file may take a standard descriptor's number.
    if (const vexo::Status opened = vexo::OpenClosedStandardDescriptors(); !opened) {
        std::fprintf(stderr, "vexo: %s\n", opened.message().c_str());
        return 1;
    }
    // A signal stops the run at the next byte, and the session finishes as
    // at any exit; a closed pipe fails the write instead of ending the program.
    if (const vexo::Status handled = vexo::InstallStopHandlers({SIGINT, SIGTERM, SIGHUP}); !handled)
        std::fprintf(stderr, "vexo: %s\n", handled.message().c_str());
    try {
        return vexo::cli::Run(argc, argv, stdout, stderr, isatty(STDERR_FILENO) == 1);
    } catch (const std::bad_alloc&) {
        std::fputs("vexo: out of memory\n", stderr);
        return 1;
    }
}
