// SPDX-License-Identifier: GPL-3.0-or-later
// The Production window: chip after chip with the loaded image, each with its
// serial number, a result in large text and a record in the log. It drives
// the session's production run and tells the operator through the UI
// services; while a chip is programmed it says so upward (chipStarted,
// chipFinished), so that whoever shows it can refuse to close meanwhile.
#pragma once

#include <QDialog>

#include <optional>
#include <string>

#include "base/error.h"
#include "rom/ui_services.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace vexo {
class Session;
struct ChipResult;
struct SerialPlan;
}  // namespace vexo

namespace vexo::gui {

class JobBar;

class ProductionWindow final : public QDialog {
    Q_OBJECT
public:
    ProductionWindow(Session& session, IUiServices& ui, QWidget* parent);
    ~ProductionWindow() override;

    // Shows the window with the session's image, device and speed.
    void Present();
    // Next Chip: starts the run with the settings shown when none is going,
    // then programs the chip in the socket (the tray's next on the simulator).
    void OnNextChip();
    // Ends the run and closes the log.
    void OnStopRun();

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

signals:
    // Around the programming of one chip, boxes included.
    void chipStarted();
    void chipFinished();

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    // The serial settings as the core reads them, or why they are wrong.
    Result<std::optional<SerialPlan>> SerialFromFields() const;
    Status StartRun();
    // The session's image, device and speed into the labels.
    void ShowJob();
    void ShowChip(const ChipResult& chip);
    void ShowCounters();
    void EnableSettings(bool enable);

    Session& m_session;
    IUiServices& m_ui;
    bool m_chipInProgress = false;

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
    QTableWidget* m_records = nullptr;
    JobBar* m_jobBar = nullptr;
};

}  // namespace vexo::gui
