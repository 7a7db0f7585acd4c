// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/caption_room.h"
#include "app/screenshots.h"

#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPalette>
#include <QPixmap>
#include <QThread>

#include <cstdio>
#include <cstring>

#include "app/about_dlg.h"
#include "app/command_ids.h"
#include "app/main_frame.h"
#include "app/tools_menu.h"
#include "app/vexowriter_app.h"
#include "dialogs/buffer_dialogs.h"
#include "dialogs/diagnosis_report.h"
#include "dialogs/dump_report.h"
#include "dialogs/info_dlg.h"
#include "dialogs/real_port_dialogs.h"
#include "dialogs/settings_dialogs.h"
#include "rom/rom.h"
#include "session/session.h"
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

// A dark desktop's palette, as a dark theme gives it.
QPalette DarkPalette()
{
    QPalette p(QColor(53, 53, 53));
    p.setColor(QPalette::Window, QColor(45, 45, 48));
    p.setColor(QPalette::WindowText, QColor(230, 230, 230));
    p.setColor(QPalette::Base, QColor(30, 30, 30));
    p.setColor(QPalette::Text, QColor(230, 230, 230));
    p.setColor(QPalette::Button, QColor(53, 53, 56));
    p.setColor(QPalette::ButtonText, QColor(230, 230, 230));
    p.setColor(QPalette::Highlight, QColor(42, 130, 218));
    return p;
}

void Press(QWidget* widget, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
           const QString& text = QString())
{
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(widget, &press);
}

// The byte editor at work: a changed byte, a half-typed one, a selection and
// the caret pane; then the Find and Fill dialogs and the question before a
// modified buffer is replaced.
bool SaveEditorShots(CVexoWriterApp& app, CMainFrame* frame, const QDir& folder)
{
    CVexoWriterView* view = app.m_pView;
    if (!view || !app.m_pRom) return true;
    bool ok = true;
    view->SetEditing(true);
    view->GoToAddress(0x10);
    Press(view, Qt::Key_4, Qt::NoModifier, QStringLiteral("4"));
    Press(view, Qt::Key_2, Qt::NoModifier, QStringLiteral("2"));
    for (int i = 0; i < 3; ++i) Press(view, Qt::Key_Down);
    for (int i = 0; i < 21; ++i) Press(view, Qt::Key_Right, Qt::ShiftModifier);
    Press(view, Qt::Key_7, Qt::NoModifier, QStringLiteral("7"));
    ok &= Save(frame, folder, QStringLiteral("editor_selection"));

    FindDialog find(frame, QStringLiteral("DE AD BE EF"), FindMode::Auto, false);
    find.show();
    ok &= Save(&find, folder, QStringLiteral("find_dialog"));
    find.hide();
    FillDialog fill(frame, view->Selection());
    fill.show();
    ok &= Save(&fill, folder, QStringLiteral("fill_dialog"));
    fill.hide();

    QMessageBox question(QMessageBox::Question, QtUiServices::BoxTitle(),
                         QStringLiteral("The buffer has changes that are not saved. Export them first?"),
                         QMessageBox::NoButton, frame);
    question.setDefaultButton(question.addButton(QStringLiteral("Export\u2026"), QMessageBox::AcceptRole));
    question.addButton(QStringLiteral("Discard"), QMessageBox::AcceptRole);
    question.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    GiveCaptionRoom(question);
    question.show();
    ok &= Save(&question, folder, QStringLiteral("unsaved_question"));
    question.hide();
    while (view->History().CanUndo()) view->Undo();
    view->SetEditing(false);
    return ok;
}

// A 27C256 image with a pattern in its lower half and a blank upper half:
// written through a socket with A14 open (the simulator's addr-open=14) the
// chip reads the pattern in both halves, the compare names the line and the
// map shows the upper half.
void FillHalvesImage(CRom& rom)
{
    for (std::uint32_t a = 0; a < 0x4000; ++a) {
        rom.m_Buffer[a] = std::uint8_t(a ^ (a >> 8));
        rom.m_Buffer[a + 0x4000] = 0xFF;
    }
    rom.m_nLength = 0x8000;
    rom.SetImageLoaded(true);
}

// The Tools windows: the port check, and a compare report with its map.
bool SaveToolsScreenshots(CVexoWriterApp& app, const QDir& folder)
{
    bool ok = true;
    CMainFrame* frame = app.MainFrame();
    if (QAction* check = frame->Action(kRealPortCommands)) {
        check->trigger();
        if (auto* window = frame->findChild<PortCheckWindow*>()) {
            ok &= Save(window, folder, QStringLiteral("tools_port_check"));
            window->hide();
        }
    }
    if (!app.m_pRom) return ok;
    app.TheSession().SelectDevice(0);
    FillHalvesImage(*app.m_pRom);
    static_cast<void>(app.TheSession().WriteRom());
    if (QAction* compare = frame->Action(kDiagnosisCommands)) {
        compare->trigger();
        if (auto* report = frame->findChild<DiagnosisReport*>(QStringLiteral("DiagnosisReport"))) {
            ok &= Save(report, folder, QStringLiteral("tools_compare_report"));
            report->hide();
        }
    }
    // The buffer inspected: the blank upper half as one run on the map.
    if (QAction* inspect = frame->Action(kDumpCommands)) {
        inspect->trigger();
        if (auto* report = frame->findChild<DumpReport*>(QStringLiteral("DumpReport"))) {
            ok &= Save(report, folder, QStringLiteral("tools_inspect_report"));
            report->hide();
        }
    }
    return ok;
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

    // The main window on a dark desktop: readable buttons, the page white.
    const QPalette before = QApplication::palette();
    QApplication::setPalette(DarkPalette());
    frame->update();
    ok &= Save(frame, folder, QStringLiteral("main_window_dark"));
    QApplication::setPalette(before);

    ok &= SaveEditorShots(app, frame, folder);
    ok &= SaveToolsScreenshots(app, folder);
    ok &= SaveProductionScreenshots(app, folder);
    return ok ? 0 : 1;
}

}  // namespace vexo::gui
