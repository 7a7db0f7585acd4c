// SPDX-License-Identifier: GPL-3.0-or-later
// Small prompts for the buffer commands: one line of numbers each, read with
// the same parsers as the command line's steps.
#pragma once

#include <QInputDialog>
#include <QString>

#include <optional>
#include <string>
#include <vector>

#include "base/error.h"
#include "base/hex_input.h"
#include "rom/buffer_ops.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QWidget;

namespace vexo::gui {

// The words of a line, split at blanks.
std::vector<std::string> Words(const QString& line);

// "0x000100 0x0001FF " for a selection (the byte left to type); empty without one.
QString FillPreset(std::optional<BufferRange> selection);

// Find: the entry (the last one preset), how to read it (hex or "text",
// hex only, text only) and Ignore case. Its text value is the entry.
class FindDialog final : public QInputDialog {
    Q_OBJECT
public:
    FindDialog(QWidget* parent, const QString& last, FindMode mode, bool ignoreCase);
    FindMode Mode() const;
    bool IgnoreCase() const;
    void setVisible(bool visible) override;

private:
    QWidget* m_pOptions = nullptr;
    QComboBox* m_pMode = nullptr;
    QCheckBox* m_pIgnoreCase = nullptr;
};

// Fill: Start, End and Byte fields, hexadecimal by default, checked as they
// are typed; OK stays greyed and the reason shows in the dialog while they
// do not make a fill. Its text value is the three fields as one line
// ("START END BYTE"), and setting it fills the fields.
class FillDialog final : public QInputDialog {
    Q_OBJECT
public:
    FillDialog(QWidget* parent, std::optional<BufferRange> selection);
    // What the fields ask for, or why they cannot be used.
    Result<FillArgs> Args() const;
    QLineEdit* Field(int k) const { return m_pFields[k]; }
    QString Problem() const;
    void setVisible(bool visible) override;

private:
    void FromLine(const QString& line);
    void Check();

    QWidget* m_pForm = nullptr;
    QLineEdit* m_pFields[3] = {};
    QLabel* m_pProblem = nullptr;
    QLineEdit* m_pLine = nullptr;  // the input dialog's own line, hidden
    bool m_bSyncing = false;
};

// Each asks for one line; nullopt when the operator cancels, otherwise the
// arguments or the sentence saying why the line cannot be used.
std::optional<Result<FillArgs>> AskFillArgs(QWidget* parent, std::optional<BufferRange> selection);
std::optional<Result<std::uint32_t>> AskOffset(QWidget* parent);
std::optional<Result<BufferRange>> AskRange(QWidget* parent, BufferRange preset);

}  // namespace vexo::gui
