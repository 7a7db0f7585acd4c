#include <unistd.h>

#include <cstdio>
#include <new>

#include "base/std_descriptors.h"
#include "cli/run.h"

int main(int argc, char** argv)
{
    // Before any file is opened: no file may take a standard descriptor's number.
    if (const vexo::Status opened = vexo::OpenClosedStandardDescriptors(); !opened) {
        std::fprintf(stderr, "vexo: %s\n", opened.message().c_str());
        return 1;
    }
    try {
        return vexo::cli::Run(argc, argv, stdout, stderr, isatty(STDERR_FILENO) == 1);
    } catch (const std::bad_alloc&) {
        std::fputs("vexo: out of memory\n", stderr);
        return 1;
    }
}
