// SPDX-License-Identifier: GPL-3.0-or-later
// The Tools menu's production commands, and the progress window of a long pass.
#include "app/tools_menu.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>

#include "app/command_ids.h"
#include "app/main_frame.h"
#include "app/vexowriter_app.h"
#include "dialogs/core_text.h"
#include "dialogs/pass_progress.h"
#include "dialogs/production_dlg.h"
#include "rom/production_log.h"
#include "session/session.h"

namespace vexo::gui {
namespace {

// A pass shorter than this shows no progress window.
constexpr qint64 kProgressAfterMs = 700;

}  // namespace

void AddProductionTools(CMainFrame& frame, CVexoWriterApp& app)
{
    // Created once, hidden; the frame owns it. While a chip is programmed the
    // main window stays, the window follows the passes and takes the boxes,
    // and after it the port's health is looked at, as for every command.
    auto* window = new ProductionWindow(app.TheSession(), app.Ui(), &frame);
    window->hide();
    QObject::connect(window, &ProductionWindow::chipStarted, &app, [&app, window] {
        app.BeginCommand();
        app.Ui().SetPassWatcherOverride(window);
    });
    QObject::connect(window, &ProductionWindow::chipFinished, &app, [&app] {
        app.Ui().SetPassWatcherOverride(nullptr);
        app.EndCommand();
    });
    QAction* action = frame.AddCommand(kProductionCommands, QObject::tr("Production\u2026"),
                                       [window] { window->Present(); });
    frame.m_pToolsMenu->addAction(action);
}

void AddPassProgress(CMainFrame& frame, CVexoWriterApp& app)
{
    auto* window = new PassProgressWindow(&frame);
    window->hide();
    app.Ui().SetPassWatcher(window, kProgressAfterMs);
    // The pass waits while the operator answers.
    QObject::connect(window, &PassProgressWindow::stopAsked, &app, [&app, window] {
        Session& session = app.TheSession();
        if (!app.Ui().AskYesNo(FromCore(session.PassStopQuestion()))) return;
        session.StopPass();
        window->ShowStopping();
    });
}

namespace {

bool SavePicture(QWidget* widget, const QDir& folder, const QString& name)
{
    for (int i = 0; i < 5; ++i) {
        QApplication::processEvents();
        QThread::msleep(20);
    }
    const QString path = folder.filePath(name + QStringLiteral(".png"));
    const bool saved = widget->grab().save(path);
    std::fprintf(saved ? stdout : stderr, "%s %s\n", saved ? "saved" : "cannot save", path.toLocal8Bit().constData());
    return saved;
}

}  // namespace

bool SaveProductionScreenshots(CVexoWriterApp& app, const QDir& folder)
{
    auto* window = app.MainFrame()->findChild<ProductionWindow*>(QStringLiteral("ProductionWindow"));
    auto* progress = app.MainFrame()->findChild<PassProgressWindow*>(QStringLiteral("PassProgress"));
    QTemporaryDir scratch;
    if (!window || !progress || !scratch.isValid()) return false;
    bool ok = true;

    progress->PassProgress(45, QStringLiteral("Programming 45%, about 1 min 20 s left"));
    ok &= SavePicture(progress, folder, QStringLiteral("pass_progress"));
    progress->PassEnded();

    // An image, and a log two chips long from an earlier day.
    QByteArray image(0x8000, '\xFF');
    for (int i = 0; i < 0x4000; ++i) image[i] = char(i * 7 + 3);
    const QString imagePath = scratch.filePath(QStringLiteral("firmware-v2.bin"));
    QFile file(imagePath);
    if (!file.open(QIODevice::WriteOnly) || file.write(image) != image.size()) return false;
    file.close();
    if (!app.TheSession().OpenImage(ToCore(imagePath))) return false;
    const std::string logPath = ToCore(scratch.filePath(QStringLiteral("line-3.csv")));
    if (auto log = ProductionLog::Open(logPath)) {
        for (unsigned chip : {1u, 2u}) {
            ProductionRecord r;
            r.time = std::time(nullptr) - 86400 + chip * 40;
            r.chip = chip;
            r.device = "27C040";
            r.image = "firmware-v1.bin";
            r.crc32 = 0x3C1B55AE;
            r.passed = chip == 1;
            if (!r.passed) {
                r.failedStep = "verify";
                r.failedAddress = 0x0C3F1;
            }
            r.seconds = 38.2;
            ok &= (*log)->Append(r).ok();
        }
        ok &= (*log)->Close().ok();
    }
    window->Present();
    window->LogFile()->setText(FromCore(logPath));
    // The first chip programs the socket's chip; the second finds it programmed.
    window->OnNextChip();
    window->OnNextChip();
    const QTableWidget* table = window->Records();
    std::printf("production window %dx%d, sideways scroll bar %s; screen %dx%d\n", window->width(),
                window->height(), table->horizontalScrollBar()->isVisible() ? "shown" : "none",
                window->screen()->availableGeometry().width(), window->screen()->availableGeometry().height());
    ok &= SavePicture(window, folder, QStringLiteral("production_failed_chip"));
    window->OnStopRun();
    window->hide();
    return ok;
}

}  // namespace vexo::gui
