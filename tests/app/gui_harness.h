// SPDX-License-Identifier: GPL-3.0-or-later
// Starts the desktop program on a simulated module, answers its boxes and
// file chooser from queues, and helps to click its widgets.
#pragma once

#include <QAction>
#include <QFile>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QWindow>

#include <deque>
#include <memory>
#include <optional>
#include <vector>

#include "app/main_frame.h"
#include "app/qt_ui_services.h"
#include "app/vexowriter_app.h"
#include "dialogs/modeless_dialog.h"
#include "port/sim_module.h"
#include "rom/rom.h"
#include "rom/shadows.h"

namespace vexo::gui::test {

class RecordingAnswerer final : public IUiAnswerer {
public:
    void Message(const QString& text, bool) override { messages << text; }
    bool Question(const QString& text) override
    {
        questions << text;
        if (answers.empty()) return false;
        const bool yes = answers.front();
        answers.pop_front();
        return yes;
    }
    // Takes the next of `choices`; without one, answers as a Yes/No question.
    int Choice(const QString& text, const QStringList& buttons) override
    {
        if (choices.empty()) return IUiAnswerer::Choice(text, buttons);
        questions << text;
        const int k = choices.front();
        choices.pop_front();
        return k;
    }
    std::optional<QString> ChooseFile() override
    {
        const QString f = files.isEmpty() ? QString() : files.takeFirst();
        if (f.isEmpty()) return std::nullopt;
        return f;
    }
    QStringList Take()
    {
        QStringList out = messages;
        messages.clear();
        return out;
    }

    QStringList messages;
    QStringList questions;
    std::deque<bool> answers;
    std::deque<int> choices;  // for questions with buttons of their own
    QStringList files;  // an empty entry answers Cancel
};

class GuiHarness {
public:
    // `portOptions` are appended to "sim:chip=<scratch>/chip.bin,size=27C040".
    explicit GuiHarness(const QString& portOptions = QString(), QStringList extra = {})
    {
        ResetShadows();
        app = std::make_unique<CVexoWriterApp>();
        app->Ui().SetAnswerer(&answerer);
        QString port = QStringLiteral("sim:chip=%1,size=27C040").arg(dir.filePath(QStringLiteral("chip.bin")));
        if (!portOptions.isEmpty()) port += QLatin1Char(',') + portOptions;
        started = app->InitInstance(QStringList{QStringLiteral("vexowriter"), QStringLiteral("--port"), port} + extra);
    }
    ~GuiHarness()
    {
        app->ExitInstance();
        app.reset();
    }
    GuiHarness(const GuiHarness&) = delete;
    GuiHarness& operator=(const GuiHarness&) = delete;

    CMainFrame* Frame() const { return app->MainFrame(); }
    // The main window's title as the window system shows it ("[*]" resolved).
    QString ShownTitle() const
    {
        const QWindow* window = Frame()->windowHandle();
        return window ? window->title() : QString();
    }
    CRom& Rom() const { return *app->m_pRom; }
    SimModule* Sim() const { return dynamic_cast<SimModule*>(app->Port()); }

    // Clicks the command's button on the ROM writer bar (or the About bar).
    void ClickButton(int id) const
    {
        QAction* action = Frame()->Action(id);
        QWidget* button = Frame()->m_wndRomBar->widgetForAction(action);
        if (!button) button = Frame()->m_wndAboutBar->widgetForAction(action);
        QVERIFY(button);
        QTest::mouseClick(button, Qt::LeftButton);
    }
    static void Click(QAbstractButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

    QString WriteFile(const QString& name, const QByteArray& bytes) const
    {
        const QString path = dir.filePath(name);
        QFile f(path);
        if (f.open(QIODevice::WriteOnly)) f.write(bytes);
        return path;
    }

    QTemporaryDir dir;
    RecordingAnswerer answerer;
    std::unique_ptr<CVexoWriterApp> app;
    bool started = false;
};

}  // namespace vexo::gui::test
