// SPDX-License-Identifier: GPL-3.0-or-later
// vexo-hexbin: a window without arguments, a command-line converter with them.
#include <QApplication>

#include <iostream>
#include <new>

#include "base/display.h"
#include "base/std_descriptors.h"
#include "hexbin/hexbin_cli.h"
#include "hexbin/hexbin_dlg.h"

namespace {

int Main(int argc, char** argv)
{
    if (argc > 1) return vexo::RunHexBinCommandLine(argc, argv, std::cout, std::cerr);

    if (!vexo::DisplayAvailable(argc, argv)) {
        std::cerr << vexo::kNoDisplayMessage << "\n";
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName("vexo-hexbin");
    QApplication::setApplicationDisplayName("HEX to BIN");
    vexo::HexBinDialog dialog;
    dialog.show();
    return app.exec();
}

}  // namespace

int main(int argc, char** argv)
{
    // Before any file is opened: no file may take a standard descriptor's number.
    if (const vexo::Status opened = vexo::OpenClosedStandardDescriptors(); !opened) {
        std::cerr << "vexo-hexbin: " << opened.message() << "\n";
        return 1;
    }
    try {
        return Main(argc, argv);
    } catch (const std::bad_alloc&) {
        std::cerr << "vexo-hexbin: out of memory\n";
        return 1;
    }
}
