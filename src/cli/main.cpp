#include <unistd.h>

#include <cstdio>

#include "cli/run.h"

int main(int argc, char** argv)
{
    return vexo::cli::Run(argc, argv, stdout, stderr, isatty(STDERR_FILENO) == 1);
}
