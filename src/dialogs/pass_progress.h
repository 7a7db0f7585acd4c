// SPDX-License-Identifier: GPL-3.0-or-later
// What a long pass shows while it runs: a small window with the pass, its
// percent and the time left, and a Stop button (Escape too). The window asks
// nothing itself: stopAsked goes to whoever may stop the pass.
#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QProgressBar;
class QPushButton;

namespace vexo::gui {

// Whoever follows a pass on the screen: the pass's own progress window, or a
// window that runs passes of its own (the Production window).
class PassWatcher {
public:
    virtual ~PassWatcher() = default;
    // `percent` 0..100; `text` "Programming 45%, about 1 min 20 s left".
    virtual void PassProgress(int percent, const QString& text) = 0;
    // The pass has ended, or a box is about to show.
    virtual void PassEnded() = 0;
    // The window whose keys and clicks are served while a pass runs; null
    // while none is: input then waits until the command has returned.
    virtual QWidget* InputWindow() = 0;
    // A box of the device object that this watcher shows in its own way,
    // without waiting for OK (true); false lets the box come as always.
    virtual bool TakeBox(const QString& text, const QString& details)
    {
        static_cast<void>(text);
        static_cast<void>(details);
        return false;
    }
};

class PassProgressWindow final : public QDialog, public PassWatcher {
    Q_OBJECT
public:
    explicit PassProgressWindow(QWidget* parent);

    // --- PassWatcher: shows itself at the first progress ---
    void PassProgress(int percent, const QString& text) override;
    void PassEnded() override;
    QWidget* InputWindow() override;

    // A stop was asked and granted: the window says so until the pass ends.
    void ShowStopping();

    QLabel* PassLabel() const { return m_text; }
    QProgressBar* Bar() const { return m_bar; }
    QPushButton* StopButton() const { return m_stop; }

signals:
    // Stop or Escape, once per pass.
    void stopAsked();

protected:
    void reject() override;
    void closeEvent(QCloseEvent* event) override;

private:
    void AskStop();

    QLabel* m_text = nullptr;
    QProgressBar* m_bar = nullptr;
    QPushButton* m_stop = nullptr;
    bool m_asking = false;
};

}  // namespace vexo::gui
