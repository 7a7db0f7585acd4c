// SPDX-License-Identifier: GPL-3.0-or-later
// vexowriter: the desktop program.
#include <QApplication>
#include <QProxyStyle>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <new>

#include "app/screenshots.h"
#include "base/display.h"
#include "base/stop_request.h"
#include "base/std_descriptors.h"
#include "app/vexowriter_app.h"
#include "res/pictures.h"

namespace {

// Dialog buttons carry their words only, no icons.
class PlainButtonsStyle final : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == SH_DialogButtonBox_ButtonsHaveIcons) return 0;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

}  // namespace

int Main(int argc, char* argv[])
{
    // Help and version are answered before any display is needed. (Other
    // options wait for the application object, which takes its own, such as
    // -platform, out of the list first.)
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    const QStringList early{"-h", "--help", "-?", "--help-all", "-v", "--version", "--complete"};
    if (std::any_of(arguments.begin() + 1, arguments.end(), [&](const QString& a) { return early.contains(a); })) {
        vexo::gui::CVexoWriterApp::StartOptions options;
        QString output;
        const int code = vexo::gui::CVexoWriterApp::ParseCommandLine(arguments, &options, &output);
        if (code >= 0) {
            std::fputs(output.toLocal8Bit().constData(), code == 0 ? stdout : stderr);
            return code;
        }
    }
    if (!vexo::DisplayAvailable(argc, argv)) {
        std::fprintf(stderr, "%s\n", vexo::kNoDisplayMessage);
        return 2;
    }
    QApplication qapp(argc, argv);
    QApplication::setStyle(new PlainButtonsStyle);
    // The program ends when the main window goes, whatever else is open.
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(vexo::gui::PictureIcon(vexo::gui::Picture::AppIcon));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.vexowriter.vexowriter"));

    vexo::gui::CVexoWriterApp app;
    if (!app.InitInstance(QCoreApplication::arguments()))
        return app.ExitInstance(app.StartFailureCode());
    if (!app.ScreenshotDir().isEmpty())
        return app.ExitInstance(vexo::gui::SaveScreenshots(app, app.ScreenshotDir()));
    return app.ExitInstance(qapp.exec());
}

int main(int argc, char* argv[])
{
    // Before any file is opened: no file may take a standard descriptor's number.
    if (const vexo::Status opened = vexo::OpenClosedStandardDescriptors(); !opened) {
        std::fprintf(stderr, "vexowriter: %s\n", opened.message().c_str());
        return 1;
    }
    // A desktop session that ends (SIGTERM, SIGHUP) stops the pass at its
    // next byte and the program finishes as at File > Exit.
    if (const vexo::Status handled = vexo::InstallStopHandlers({SIGTERM, SIGHUP}); !handled)
        std::fprintf(stderr, "vexowriter: %s\n", handled.message().c_str());
    try {
        return Main(argc, argv);
    } catch (const std::bad_alloc&) {
        std::fputs("vexowriter: out of memory\n", stderr);
        return 1;
    }
}
