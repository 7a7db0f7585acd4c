// The information panel: port, file, device, speed and the buffer's start
// and end addresses, as six lines of text that other parts write and push.
#pragma once

#include "dialogs/modeless_dialog.h"
#include "rom/info_panel.h"

class QLineEdit;

namespace vexo::gui {

class CInfoDlg final : public CModelessDialog, public CInfoPanel {
    Q_OBJECT
public:
    CInfoDlg(CVexoWriterApp& app, QWidget* parent);

    // CInfoPanel: every field into its control.
    void Push() override;

    // Port, file name, device, speed, start address, end address, top to bottom.
    QLineEdit* m_pEdit[6] = {};

protected:
    void DoDataExchange(bool bSaveAndValidate) override;
};

}  // namespace vexo::gui
