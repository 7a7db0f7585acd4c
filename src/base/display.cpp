// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/display.h"

#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace vexo {

bool DisplayAvailable(int argc, const char* const* argv)
{
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value && *value) return true;
    }
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "-platform") == 0 || std::strncmp(argv[i], "-platform=", 10) == 0 ||
            std::strcmp(argv[i], "--platform") == 0)
            return true;
    return false;
}

}  // namespace vexo
