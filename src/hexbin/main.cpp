// vexo-hexbin: a window without arguments, a command-line converter with them.
#include <QApplication>

#include <iostream>

#include "hexbin/hexbin_cli.h"
#include "hexbin/hexbin_dlg.h"

int main(int argc, char** argv)
{
    if (argc > 1) return vexo::RunHexBinCommandLine(argc, argv, std::cout, std::cerr);

    QApplication app(argc, argv);
    QApplication::setApplicationName("vexo-hexbin");
    QApplication::setApplicationDisplayName("HEX to BIN");
    vexo::CHexBinDlg dialog;
    dialog.show();
    return app.exec();
}
