// SPDX-License-Identifier: GPL-3.0-or-later
// The information panel: a view of the session's panel model (port, file,
// device, speed and the buffer's start and end addresses), following every
// push.
#pragma once

#include "dialogs/modeless_dialog.h"
#include "rom/info_panel.h"

class QLineEdit;

namespace vexo::gui {

class CInfoDlg final : public ModelessDialog {
    Q_OBJECT
public:
    CInfoDlg(CVexoWriterApp& app, QWidget* parent);
    ~CInfoDlg() override;

    // The fields it shows.
    InfoPanel& Model() const { return m_panel; }

    // Port, file name, device, speed, start address, end address, top to bottom.
    QLineEdit* m_pEdit[6] = {};

protected:
    void DoDataExchange(bool bSaveAndValidate) override;

private:
    InfoPanel& m_panel;
    int m_nListener = 0;
};

}  // namespace vexo::gui
