// SPDX-License-Identifier: GPL-3.0-or-later
// The converter's window: input file, output file, fill byte, start offset,
// Convert, and the outcome (range and byte count, or the error with its line).
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace vexo {

class HexBinDialog : public QDialog {
    Q_OBJECT
public:
    explicit HexBinDialog(QWidget* parent = nullptr);

    // Runs the conversion with the fields as they stand; true on success.
    // The outcome is shown in the result line.
    bool Convert();
    QString ResultText() const;

protected:
    // Asked before an existing output file that was not chosen through the
    // save dialog is replaced. Tests override it.
    virtual bool ConfirmReplace(const QString& path);

private:
    void OnBrowseInput();
    void OnBrowseOutput();
    void OnInputEdited(const QString& text);
    void ShowResult(const QString& text, bool failed);

    QLineEdit* m_pInput;
    QLineEdit* m_pOutput;
    QLineEdit* m_pFill;
    QLineEdit* m_pOffset;
    QPushButton* m_pConvert;
    QLabel* m_pResult;
    QString m_strAutoOutput;     // the output name the window proposed
    QString m_strConfirmedOutput;  // chosen in the save dialog, which asked already
};

}  // namespace vexo
