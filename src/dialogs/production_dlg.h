// SPDX-License-Identifier: GPL-3.0-or-later
// The Production window: chip after chip with the loaded image, each with its
// serial number, a result in large text and a record in the log. It drives
// the session's production run and tells the operator through the UI
// services; while a chip is programmed it says so upward (chipStarted,
// chipFinished), so that whoever shows it can refuse to close meanwhile,
// and follows the chip's passes as their watcher: a progress bar, Stop
// after this chip, and the device object's boxes taken into the table
// instead of waiting for OK.
//
// Its parts, top to bottom: the settings area (image, serial number, log),
// the buttons (Next Chip, Stop Run), the state of the run (counters, the last
// result, the progress bar, a note), and the table of chips (those of a
// continued log greyed).
#pragma once

#include <QDialog>

#include <optional>
#include <string>
#include <vector>

#include "base/error.h"
#include "dialogs/pass_progress.h"
#include "rom/ui_services.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace vexo {
class Session;
struct ChipResult;
struct LoggedChip;
struct SerialPlan;
}  // namespace vexo

namespace vexo::gui {

class JobBar;

class ProductionWindow final : public QDialog, public PassWatcher {
    Q_OBJECT
public:
    ProductionWindow(Session& session, IUiServices& ui, QWidget* parent);
    ~ProductionWindow() override;

    // Shows the window with the session's image, device and speed.
    void Present();
    // Next Chip: starts the run with the settings shown when none is going,
    // then programs the chip in the socket (the tray's next on the simulator).
    void OnNextChip();
    // Ends the run and closes the log; while a chip is programmed, the run
    // ends after it.
    void OnStopRun();

    // --- PassWatcher, while a chip is programmed ---
    void PassProgress(int percent, const QString& text) override;
    void PassEnded() override {}
    QWidget* InputWindow() override;
    bool TakeBox(const QString& text, const QString& details) override;

    bool RunGoing() const;
    bool ChipInProgress() const { return m_chipInProgress; }

    QPushButton* NextChipButton() const { return m_next; }
    QPushButton* StopButton() const { return m_stop; }
    QCheckBox* SerialBox() const { return m_serialOn; }
    QLineEdit* SerialAddress() const { return m_serialAddress; }
    QSpinBox* SerialWidth() const { return m_serialWidth; }
    QLineEdit* SerialStart() const { return m_serialStart; }
    QLineEdit* SerialStep() const { return m_serialStep; }
    QComboBox* SerialFormat() const { return m_serialFormat; }
    QLineEdit* LogFile() const { return m_logFile; }
    QLabel* ResultLabel() const { return m_result; }
    QLabel* CountersLabel() const { return m_counters; }
    QTableWidget* Records() const { return m_records; }
    JobBar* Jobs() const { return m_jobBar; }
    QProgressBar* ChipProgress() const { return m_progress; }
    // Why the window did not do what was asked (close during a chip).
    QLabel* NoteLabel() const { return m_note; }

signals:
    // Around the programming of one chip, boxes included.
    void chipStarted();
    void chipFinished();

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;
    // Enter starts a chip from Next Chip only; in a field it leaves the field.
    void keyPressEvent(QKeyEvent* event) override;

private:
    QWidget* BuildSettings();
    QLayout* BuildButtons();
    QLayout* BuildRunState();
    void BuildTable();

    // The serial settings as the core reads them, or which field is wrong
    // ("First number: not a number").
    Result<std::optional<SerialPlan>> SerialFromFields() const;
    // The records a log held before this window's run, greyed, in place of
    // the table's rows (a log other than the one shown).
    void ShowEarlier(const std::string& logPath, const std::vector<LoggedChip>& records);
    void AddRow(const QStringList& cells, bool passed, bool earlier, const QString& tip);
    Status StartRun();
    // The session's image, device and speed into the labels.
    void ShowJob();
    void ShowChip(const ChipResult& chip);
    void ShowCounters();
    void EnableSettings(bool enable);

    Session& m_session;
    IUiServices& m_ui;
    bool m_chipInProgress = false;
    bool m_stopAfterChip = false;
    // The number the next chip gets at least: the table's numbering goes on
    // across runs.
    unsigned m_nextChip = 1;
    // The log whose records the table shows; empty: this window's alone.
    std::string m_shownLog;
    // The device object's boxes during the chip in progress.
    QStringList m_chipBoxes;

    QLabel* m_image = nullptr;
    QLabel* m_device = nullptr;
    QLabel* m_speed = nullptr;
    QCheckBox* m_serialOn = nullptr;
    QLineEdit* m_serialAddress = nullptr;
    QSpinBox* m_serialWidth = nullptr;
    QLineEdit* m_serialStart = nullptr;
    QLineEdit* m_serialStep = nullptr;
    QComboBox* m_serialFormat = nullptr;
    QLineEdit* m_logFile = nullptr;
    QPushButton* m_browse = nullptr;
    QPushButton* m_next = nullptr;
    QPushButton* m_stop = nullptr;
    QLabel* m_counters = nullptr;
    QLabel* m_result = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_note = nullptr;
    QTableWidget* m_records = nullptr;
    JobBar* m_jobBar = nullptr;
};

}  // namespace vexo::gui
