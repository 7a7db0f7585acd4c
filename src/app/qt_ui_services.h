// SPDX-License-Identifier: GPL-3.0-or-later
// How the device object reaches the operator in the desktop program: message
// boxes, the Hex Count pane, the information panel and the file chooser.
#pragma once

#include <QElapsedTimer>
#include <QLabel>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <optional>
#include <string>

#include "rom/ui_services.h"

class QWidget;


namespace vexo {
class CRom;
}

namespace vexo::gui {

class PassWatcher;

// Answers the questions the program asks the operator, in place of the
// operator: tests and unattended runs install one so that nothing blocks.
class IUiAnswerer {
public:
    virtual ~IUiAnswerer() = default;
    // A box with an OK button only; `owned` for the application-wide box.
    virtual void Message(const QString& text, bool owned) = 0;
    // A Yes/No question; true for Yes.
    virtual bool Question(const QString& text) = 0;
    // The open-file chooser; empty for Cancel.
    virtual std::optional<QString> ChooseFile() = 0;
    // A question with its own buttons (the last one is Cancel): the index of
    // the answer. By default the Yes/No answer picks the first or the second.
    virtual int Choice(const QString& text, const QStringList& buttons)
    {
        static_cast<void>(buttons);
        return Question(text) ? 0 : 1;
    }
    // The save-file chooser (export, split); the open chooser's answers by default.
    virtual std::optional<QString> ChooseSaveFile(const QString& title)
    {
        static_cast<void>(title);
        return ChooseFile();
    }
};

class QtUiServices final : public IUiServices {
public:
    QtUiServices();

    // --- IUiServices ---
    void RomMessageBox(std::string_view text) override;
    void AppMessageBox(std::string_view text) override;
    void SetHexCountText(std::string_view text) override;
    void FlushHexCount() override;
    void SetNextBoxDetails(std::string_view details) override;
    std::optional<std::string> ChooseFileToOpen() override;
    // A line for the operator in the status bar's message pane.
    void Note(std::string_view text) override;
    double OperatorSeconds() const override { return m_operatorSeconds; }

    // The exit confirmation and similar: Yes/No, owned by the main window.
    bool AskYesNo(const QString& text);
    // A question with `buttons` (the first the default, the last Cancel and
    // Escape): the index of the one pressed.
    int AskChoice(const QString& text, const QStringList& buttons);
    // A question with a third answer, Cancel: true for `yes`, false for
    // `no`, nothing for Cancel. An answerer answers it as a Yes/No question.
    std::optional<bool> AskYesNoCancel(const QString& text, const QString& yes, const QString& no);
    // A file to write, by its extension raw, Intel HEX or S-record; nothing
    // on Cancel. A name without an extension gets the chosen filter's (.bin).
    std::optional<std::string> ChooseFileToSave(const QString& title);
    // An image file to read, under `title` (what it is for); nothing on Cancel.
    std::optional<std::string> ChooseImageToOpen(const QString& title);

    void SetMainWindow(QWidget* window) { m_pMainWindow = window; }
    void SetHexCountPane(QLabel* pane) { m_pHexCountPane = pane; }
    void SetAnswerer(IUiAnswerer* answerer) { m_pAnswerer = answerer; }
    // A box of our own whose text can be selected and copied (a checksum);
    // an answerer takes it as any box.
    void SelectableBox(const QString& text);
    // The status bar's message pane, where a pass shows the time it has left
    // ("Programming 45%, about 1 min 20 s left") and notes appear.
    void SetMessagePane(QLabel* pane) { m_pMessagePane = pane; }
    // The device object whose passes the message pane follows (null: none).
    void SetPassSource(const CRom* rom) { m_pPassSource = rom; }
    // Who shows a pass that has run `showAfterMs` (the progress window), and
    // one that takes its place while set (a window running passes of its
    // own, from the first byte). While a watcher's window is up, its keys and
    // clicks are served during the pass; those of every other window are
    // dropped, so no other command starts meanwhile.
    void SetPassWatcher(PassWatcher* watcher, qint64 showAfterMs)
    {
        m_pWatcher = watcher;
        m_watchAfterMs = showAfterMs;
    }
    void SetPassWatcherOverride(PassWatcher* watcher) { m_pWatcherOverride = watcher; }

    // The last text a pass published (shown or not yet).
    const std::string& HexCountText() const { return m_strHexCount; }
    // How often the pane was actually redrawn by the passes.
    long PaneRefreshes() const { return m_nPaneRefreshes; }

    static QString BoxTitle();
    // The details the last box carried (empty when it had none).
    const QString& LastBoxDetails() const { return m_lastDetails; }

private:
    void ShowMessage(std::string_view text, bool owned);
    void RefreshPane();

    QPointer<QWidget> m_pMainWindow;
    QPointer<QLabel> m_pHexCountPane;
    IUiAnswerer* m_pAnswerer = nullptr;

    std::string m_nextDetails;  // for the next box
    QString m_lastDetails;
    std::string m_strHexCount;
    bool m_bHexCountDirty = false;
    unsigned m_nCallsSinceCheck = 0;
    long m_nPaneRefreshes = 0;
    QElapsedTimer m_sinceRefresh;

    // The time left in the message pane.
    void ShowPassTime();
    // The watcher follows; the events of its window are served.
    void WatchPass();
    QPointer<QLabel> m_pMessagePane;
    const CRom* m_pPassSource = nullptr;
    bool m_passRunning = false;
    bool m_passTimeShown = false;
    QElapsedTimer m_passClock;
    QElapsedTimer m_sincePassTime;

    PassWatcher* m_pWatcher = nullptr;
    PassWatcher* m_pWatcherOverride = nullptr;
    qint64 m_watchAfterMs = 0;
    double m_operatorSeconds = 0;
};

}  // namespace vexo::gui
