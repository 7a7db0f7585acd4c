// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/modeless_dialog.h"

#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

#include "app/vexowriter_app.h"

namespace vexo::gui {


ModelessDialog::ModelessDialog(CVexoWriterApp& app, QWidget* parent, const QString& caption)
    : QDialog(parent), m_app(app)
{
    setWindowTitle(caption);
    setModal(false);
    setSizeGripEnabled(false);
}

QDialogButtonBox* ModelessDialog::MakeOkCancel()
{
    m_pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_pButtons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    m_pButtons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancel"));
    m_pButtons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(m_pButtons, &QDialogButtonBox::accepted, this, &ModelessDialog::accept);
    connect(m_pButtons, &QDialogButtonBox::rejected, this, &ModelessDialog::reject);
    return m_pButtons;
}

QAbstractButton* ModelessDialog::OkButton() const
{
    return m_pButtons ? m_pButtons->button(QDialogButtonBox::Ok) : nullptr;
}

QAbstractButton* ModelessDialog::CancelButton() const
{
    return m_pButtons ? m_pButtons->button(QDialogButtonBox::Cancel) : nullptr;
}

void ModelessDialog::DoDataExchange(bool) {}

void ModelessDialog::UpdateData(bool bSaveAndValidate) { DoDataExchange(bSaveAndValidate); }

void ModelessDialog::CentreOverOwner()
{
    ensurePolished();
    if (QLayout* l = layout()) l->activate();
    const QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
    QRect area = owner ? owner->frameGeometry() : QRect();
    if (!owner || !owner->isVisible()) {
        if (const QScreen* screen = QGuiApplication::primaryScreen()) area = screen->availableGeometry();
    }
    QRect frame = frameGeometry();
    if (!isVisible()) frame.setSize(size());
    frame.moveCenter(area.center());
    move(frame.topLeft());
}

void ModelessDialog::ShowCentred()
{
    CentreOverOwner();
    show();
    raise();
    activateWindow();
}

void ModelessDialog::accept()
{
    OnOK();
    UpdateData(true);
    QDialog::accept();
}

void ModelessDialog::reject() { QDialog::reject(); }

OptionGroup::OptionGroup(ModelessDialog& dialog, std::initializer_list<Option> options)
    : m_dialog(dialog), m_options(options)
{
    for (std::size_t i = 0; i < m_options.size(); ++i) {
        QObject::connect(m_options[i].button, &QRadioButton::clicked, &dialog,
                         [this, i] { OnClicked(i); });
    }
}

void OptionGroup::Exchange(bool bSaveAndValidate)
{
    for (const Option& o : m_options) {
        if (bSaveAndValidate)
            *o.member = o.button->isChecked() ? 1 : 0;
        else
            o.button->setChecked(*o.member == 1);
    }
}

void OptionGroup::OnClicked(std::size_t index)
{
    *m_options[index].member = 1;
    for (std::size_t i = 0; i < m_options.size(); ++i)
        if (i != index && *m_options[i].member == 1) *m_options[i].member = 0;
    m_dialog.UpdateData(false);
    *m_options[index].member = 1;
}

}  // namespace vexo::gui
