// vexowriter: the desktop program.
#include <QApplication>
#include <QProxyStyle>

#include "app/screenshots.h"
#include "app/vexowriter_app.h"
#include "res/pictures.h"

namespace {

// Dialog buttons carry their words only, as on the desktop the program grew up on.
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

int main(int argc, char* argv[])
{
    QApplication qapp(argc, argv);
    QApplication::setStyle(new PlainButtonsStyle);
    // The program ends when the main window goes, whatever else is open.
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(vexo::gui::PictureIcon(vexo::gui::Picture::AppIcon));

    vexo::gui::CVexoWriterApp app;
    if (!app.InitInstance(QCoreApplication::arguments()))
        return app.ExitInstance(app.StartFailureCode());
    if (!app.ScreenshotDir().isEmpty())
        return app.ExitInstance(vexo::gui::SaveScreenshots(app, app.ScreenshotDir()));
    return app.ExitInstance(qapp.exec());
}
