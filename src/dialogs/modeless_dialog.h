// SPDX-License-Identifier: GPL-3.0-or-later
// The common ground of the settings dialogs: created hidden once, shown and
// hidden afterwards, members exchanged with the controls by UpdateData.
#pragma once

#include "dialogs/core_text.h"

#include <QDialog>
#include <QString>

#include <initializer_list>
#include <string>
#include <vector>

class QAbstractButton;
class QDialogButtonBox;
class QRadioButton;

namespace vexo::gui {

class CVexoWriterApp;

class ModelessDialog : public QDialog {
    Q_OBJECT
public:
    // `parent` is the main window, which owns the dialog; `caption` its title.
    ModelessDialog(CVexoWriterApp& app, QWidget* parent, const QString& caption);

    // false: push the members into the controls; true: pull them back.
    void UpdateData(bool bSaveAndValidate);

    // Shows (and activates) the dialog and centres it over the main window;
    // a visible dialog is only activated and centred again.
    void ShowCentred();
    void CentreOverOwner();

    // OK: the dialog's own work, then pull and hide. Cancel: hide.
    void accept() override;
    void reject() override;

    QAbstractButton* OkButton() const;
    QAbstractButton* CancelButton() const;

protected:
    virtual void DoDataExchange(bool bSaveAndValidate);
    // The dialog's own OK work, before the pull and hide.
    virtual void OnOK() {}
    // OK and Cancel under the dialog's controls; OK is the default button.
    QDialogButtonBox* MakeOkCancel();

    CVexoWriterApp& m_app;

private:
    QDialogButtonBox* m_pButtons = nullptr;
};

// The option buttons of one dialog and the members that hold their state.
// A click sets the clicked member to 1, every other to 0, pushes the members
// into the controls and sets the clicked member to 1 again.
class OptionGroup {
public:
    struct Option {
        QRadioButton* button;
        int* member;
    };
    OptionGroup(ModelessDialog& dialog, std::initializer_list<Option> options);
    void Exchange(bool bSaveAndValidate);

private:
    void OnClicked(std::size_t index);
    ModelessDialog& m_dialog;
    std::vector<Option> m_options;
};

}  // namespace vexo::gui
