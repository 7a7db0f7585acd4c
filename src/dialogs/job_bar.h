// SPDX-License-Identifier: GPL-3.0-or-later
// The Production window's job bar: opens and saves job files, and while a
// job is open shows its file, the image's SHA-256 and the device at the top
// of the window and keeps the window's serial and log settings to the job's
// (read-only, "from job fw.vexojob").
#pragma once

#include <QWidget>

#include "base/error.h"
#include "rom/ui_services.h"

class QLabel;
class QPushButton;

namespace vexo {
class Session;
}

namespace vexo::gui {

class ProductionWindow;

class JobBar final : public QWidget {
    Q_OBJECT
public:
    JobBar(Session& session, IUiServices& ui, ProductionWindow& window);

    // Open Job and Save Job after their file choosers; a failure in a box.
    bool OpenJobFrom(const QString& path);
    bool SaveJobTo(const QString& path);
    void CloseJob();

    QLabel* Title() const { return m_title; }
    QLabel* FromJob() const { return m_fromJob; }
    QPushButton* OpenButton() const { return m_open; }
    QPushButton* SaveButton() const { return m_save; }
    QPushButton* CloseButton() const { return m_close; }

private:
    // The job's settings into the window's fields, read-only while open.
    void ShowJob();
    void LockSettings(bool locked);

    Session& m_session;
    IUiServices& m_ui;
    ProductionWindow& m_window;
    QLabel* m_title = nullptr;
    QLabel* m_fromJob = nullptr;
    QPushButton* m_open = nullptr;
    QPushButton* m_save = nullptr;
    QPushButton* m_close = nullptr;
};

}  // namespace vexo::gui
