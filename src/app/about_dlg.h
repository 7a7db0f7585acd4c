// SPDX-License-Identifier: GPL-3.0-or-later
// The About box: the program's picture, name and version, run modally.
#pragma once

#include <QDialog>

class QPushButton;

namespace vexo::gui {

class CAboutDlg final : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent);
    QPushButton* m_pOkButton = nullptr;
};

}  // namespace vexo::gui
