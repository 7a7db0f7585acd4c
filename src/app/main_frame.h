// SPDX-License-Identifier: GPL-3.0-or-later
// The main window: the menu, the About and ROM writer tool bars, the status
// bar with the Hex Count pane, the buffer view, and the command table.
#pragma once

#include <QIcon>
#include <QMainWindow>
#include <QMap>

#include <functional>

class QAction;
class QLabel;
class QToolBar;
class QStatusBar;

namespace vexo {
class Session;
}

namespace vexo::gui {

class CVexoWriterApp;
class ModelessDialog;

class CMainFrame final : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(CVexoWriterApp& app);
    ~CMainFrame() override;

    // The action of a command id (menu item and button share it); null if none.
    QAction* Action(int id) const { return m_actions.value(id, nullptr); }
    QList<int> CommandIds() const { return m_actions.keys(); }

    // Docks `bar` on the row of `neighbour`, directly after it.
    void DockBarBeside(QToolBar* bar, QToolBar* neighbour);

    // Marks the caption when the simulated module is in use.
    void SetSimulated(bool simulated);

    // A command of our own (the Tools menu): one action for its id, shared by
    // whatever shows it, running `handler`.
    QAction* AddCommand(int id, const QString& text, std::function<void()> handler);
    // Runs an operator action of the session as every command runs: closing
    // the window is refused meanwhile and the port's health is looked at after.
    void RunSessionCommand(const std::function<void(Session&)>& action);
    // The Tools menu, after Function; Alt+T opens it.
    QMenu* m_pToolsMenu = nullptr;

    // Before the buffer is replaced (a load, a read, a merge) or the program
    // quits: with the buffer modified, asks whether to export it first
    // (Export..., Discard, Cancel). True to go ahead; nothing is asked when
    // the buffer is unmodified.
    bool AskBeforeReplacing();

    QIcon m_hBigIcon;
    QStatusBar* m_wndStatus = nullptr;
    QToolBar* m_wndRomBar = nullptr;
    QToolBar* m_wndAboutBar = nullptr;
    QLabel* m_pMessagePane = nullptr;   // pane 0, "Ready" when idle
    QLabel* m_pHexCountPane = nullptr;  // pane 1, indicator 101
    QLabel* m_pLockPanes[3] = {};       // CAP, NUM, SCRL
    QLabel* m_pPositionPane = nullptr;  // the caret and selection, while editing

    // --- the command handlers ---
    void OnOpenBin();
    // Open BIN File with `path` already chosen (`vexowriter FILE`).
    void OpenBin(const QString& path);
    void OnSaveBuffer();
    void OnEditBuffer();
    void OnDosShell();
    void OnLptPort();
    void OnDeviceType();
    void OnHexBin();
    void OnReadRom();
    void OnViewRomBar();
    void OnBlankCheck();
    void OnWriteRom();
    void OnVerify();
    void OnAutoWrite();
    void OnChangeSpeed();
    void OnQuit();
    void OnClearWindow();
    void OnInfoDialog();
    void OnFilePrint();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAction* MakeAction(int id, const QString& text);
    void CreateMenus();
    void CreateToolBars();
    void CreateStatusBar();
    void UpdateLockPanes();
    void ShowDialog(ModelessDialog* dialog);

    // Runs a command that replaces the buffer; an Undo then names it.
    void ReplaceBuffer(const QString& command, bool (Session::*load)());

    CVexoWriterApp& m_app;
    QMap<int, QAction*> m_actions;
    // Quit has asked about unsaved changes already: the close that follows
    // does not ask again.
    bool m_changesAsked = false;
};

}  // namespace vexo::gui
