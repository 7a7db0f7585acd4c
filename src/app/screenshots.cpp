#include "dialogs/caption_room.h"
#include "app/screenshots.h"

#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPixmap>
#include <QThread>

#include <cstdio>
#include <cstring>

#include "app/about_dlg.h"
#include "app/main_frame.h"
#include "app/tools_menu.h"
#include "app/vexowriter_app.h"
#include "dialogs/info_dlg.h"
#include "dialogs/settings_dialogs.h"
#include "rom/rom.h"
#include "view/vexowriter_view.h"

namespace vexo::gui {
namespace {

void Settle()
{
    for (int i = 0; i < 5; ++i) {
        QApplication::processEvents();
        QThread::msleep(20);
    }
}

bool Save(QWidget* widget, const QDir& folder, const QString& name)
{
    Settle();
    const QString path = folder.filePath(name + QStringLiteral(".png"));
    const bool saved = widget->grab().save(path);
    std::fprintf(saved ? stdout : stderr, "%s %s\n", saved ? "saved" : "cannot save",
                 path.toLocal8Bit().constData());
    return saved;
}

// Something worth looking at in the first page of the dump.
void FillDemoImage(CRom& rom)
{
    static const char kText[] = "Vexo Writer demo image: 27C040 test pattern.\r\n";
    for (int i = 0; i < 128; ++i) rom.m_Buffer[std::size_t(i)] = std::uint8_t(kText[i % (sizeof kText - 1)]);
    for (int i = 0; i < 256; ++i) rom.m_Buffer[std::size_t(128 + i)] = std::uint8_t(i);
}

}  // namespace

int SaveScreenshots(CVexoWriterApp& app, const QString& folderPath)
{
    QDir folder(folderPath);
    if (!folder.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "vexowriter: cannot create %s\n", folderPath.toLocal8Bit().constData());
        return 1;
    }
    bool ok = true;
    CMainFrame* frame = app.MainFrame();
    if (app.m_pRom) FillDemoImage(*app.m_pRom);
    app.m_pInfoDlg->hide();
    frame->OnEditBuffer();
    frame->activateWindow();
    ok &= Save(frame, folder, QStringLiteral("main_window"));

    QList<QMenu*> menus;
    for (QAction* action : frame->menuBar()->actions())
        if (action->menu()) menus << action->menu();
    for (int i = 0; i < menus.size(); ++i) {
        menus[i]->popup(frame->mapToGlobal(QPoint(10 + 80 * i, 30)));
        ok &= Save(menus[i], folder, QStringLiteral("menu_%1").arg(i + 1));
        menus[i]->hide();
    }

    const QStringList names{
        QStringLiteral("dialog_133_blank_check"), QStringLiteral("dialog_134_count"),
        QStringLiteral("dialog_135_device_type"), QStringLiteral("dialog_136_dip_27C256"),
        QStringLiteral("dialog_137_dip_27C512"),  QStringLiteral("dialog_153_dip_27C010"),
        QStringLiteral("dialog_155_dip_27C020"),  QStringLiteral("dialog_156_dip_27C040"),
        QStringLiteral("dialog_157_progress"),    QStringLiteral("dialog_140_speed"),
        QStringLiteral("dialog_141_port"),        QStringLiteral("dialog_142_file_name"),
        QStringLiteral("dialog_143_information")};
    const QList<ModelessDialog*> dialogs = app.Dialogs();
    for (int i = 0; i < dialogs.size(); ++i) {
        dialogs[i]->ShowCentred();
        ok &= Save(dialogs[i], folder, names[i]);
        dialogs[i]->hide();
    }

    CAboutDlg about(frame);
    about.show();
    ok &= Save(&about, folder, QStringLiteral("about_box"));
    about.hide();

    QMessageBox question(QMessageBox::NoIcon, QtUiServices::BoxTitle(),
                         QStringLiteral("종료하시겠습니까?"), QMessageBox::Yes | QMessageBox::No, frame);
    GiveCaptionRoom(question);
    question.show();
    ok &= Save(&question, folder, QStringLiteral("exit_question"));
    question.hide();

    QMessageBox box(QMessageBox::NoIcon, QtUiServices::BoxTitle(), QStringLiteral("Module found!!"),
                    QMessageBox::Ok, nullptr);
    GiveCaptionRoom(box);
    box.show();
    ok &= Save(&box, folder, QStringLiteral("message_box"));
    box.hide();
    ok &= SaveProductionScreenshots(app, folder);
    return ok ? 0 : 1;
}

}  // namespace vexo::gui
