// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/info_dlg.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "app/vexowriter_app.h"
#include "dialogs/caption_room.h"
#include "dialogs/settings_dialogs.h"
#include "session/session.h"

namespace vexo::gui {

CInfoDlg::CInfoDlg(CVexoWriterApp& app, QWidget* parent)
    : ModelessDialog(app, parent, QStringLiteral("Information Dialog")), m_panel(app.TheSession().Panel())
{
    static const char* const kLabels[6] = {"Port Type",     "File Name",           "Device Type",
                                           "Program Speed", "Buffer Start Address", "Buffer end Address"};
    auto* group = new QGroupBox(QStringLiteral("ROM Data Information"));
    auto* grid = new QGridLayout(group);
    for (int row = 0; row < 6; ++row) {
        grid->addWidget(new QLabel(QString::fromLatin1(kLabels[row])), row, 0);
        m_pEdit[row] = new QLineEdit;
        m_pEdit[row]->setAlignment(Qt::AlignRight);
        grid->addWidget(m_pEdit[row], row, 1);
    }
    grid->setColumnStretch(1, 1);

    auto* column = new QVBoxLayout(this);
    column->addWidget(group, 1);
    QDialogButtonBox* buttons = MakeOkCancel();
    buttons->setCenterButtons(true);
    column->addWidget(buttons);

    adjustSize();
    setFixedSize(size().expandedTo(DialogUnits(193, 165)).expandedTo(QSize(CaptionWidth(windowTitle()), 0)));
    // The framework's initialisation: fields into the controls, then centre.
    UpdateData(false);
    CentreOverOwner();
    m_nListener = m_panel.Listen([this](const InfoPanel&) { UpdateData(false); });
}

CInfoDlg::~CInfoDlg() { m_panel.Forget(m_nListener); }

void CInfoDlg::DoDataExchange(bool bSaveAndValidate)
{
    std::string* fields[6] = {&m_panel.m_strPort,  &m_panel.m_strFileName,  &m_panel.m_strDevice,
                              &m_panel.m_strSpeed, &m_panel.m_strStartAddr, &m_panel.m_strEndAddr};
    for (int i = 0; i < 6; ++i) {
        if (bSaveAndValidate)
            *fields[i] = ToCore(m_pEdit[i]->text());
        else
            m_pEdit[i]->setText(FromCore(*fields[i]));
    }
}

}  // namespace vexo::gui
