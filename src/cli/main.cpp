#include <unistd.h>

#include <cstdio>
#include <new>

#include "cli/run.h"

int main(int argc, char** argv)
{
    try {
        return vexo::cli::Run(argc, argv, stdout, stderr, isatty(STDERR_FILENO) == 1);
    } catch (const std::bad_alloc&) {
        std::fputs("vexo: out of memory\n", stderr);
        return 1;
    }
}
