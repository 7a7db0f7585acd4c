// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/buffer_dialogs.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>

#include <algorithm>

#include "base/hex.h"
#include "base/numbers.h"
#include "base/sizes.h"
#include "base/text.h"
#include "dialogs/core_text.h"

namespace vexo::gui {
namespace {

std::optional<QString> AskLine(QWidget* parent, const QString& title, const QString& label,
                               const QString& preset)
{
    bool ok = false;
    const QString text =
        QInputDialog::getText(parent, title, label, QLineEdit::Normal, preset, &ok);
    if (!ok) return std::nullopt;
    return text;
}

QString Hex6(std::uint32_t value) { return FromCore(HexBuf0x(value)); }

}  // namespace

std::vector<std::string> Words(const QString& line)
{
    std::vector<std::string> out;
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    for (const QString& w : line.split(blanks, Qt::SkipEmptyParts)) out.push_back(ToCore(w));
    return out;
}

QString FillPreset(std::optional<BufferRange> selection)
{
    if (!selection) return {};
    return Hex6(selection->first) + QLatin1Char(' ') + Hex6(selection->last) + QLatin1Char(' ');
}

namespace {

// Puts `widget` above the dialog's buttons once the input dialog has laid
// itself out (it does so when first shown).
void InsertAboveButtons(QInputDialog& dialog, QWidget* widget)
{
    auto* box = qobject_cast<QBoxLayout*>(dialog.layout());
    if (!box || box->indexOf(widget) >= 0) return;
    box->insertWidget(std::max(0, box->count() - 1), widget);
    widget->show();
    dialog.adjustSize();
}

}  // namespace

FindDialog::FindDialog(QWidget* parent, const QString& last, FindMode mode, bool ignoreCase)
    : QInputDialog(parent)
{
    setWindowTitle(QStringLiteral("Find"));
    setLabelText(QStringLiteral("Hex bytes (DEADBEEF, DE AD, 0xDE 0xAD, de,ad) or \"text\":"));
    setTextValue(last);
    m_pOptions = new QWidget(this);
    auto* row = new QHBoxLayout(m_pOptions);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(new QLabel(QStringLiteral("Read as:"), m_pOptions));
    m_pMode = new QComboBox(m_pOptions);
    m_pMode->setObjectName(QStringLiteral("FindMode"));
    m_pMode->addItem(QStringLiteral("Hex, or \"text\" in quotes"), int(FindMode::Auto));
    m_pMode->addItem(QStringLiteral("Hex bytes"), int(FindMode::Hex));
    m_pMode->addItem(QStringLiteral("Text"), int(FindMode::Text));
    m_pMode->setCurrentIndex(m_pMode->findData(int(mode)));
    row->addWidget(m_pMode);
    m_pIgnoreCase = new QCheckBox(QStringLiteral("Ignore case"), m_pOptions);
    m_pIgnoreCase->setObjectName(QStringLiteral("FindIgnoreCase"));
    m_pIgnoreCase->setChecked(ignoreCase);
    row->addWidget(m_pIgnoreCase);
    row->addStretch(1);
    m_pOptions->hide();
}

FindMode FindDialog::Mode() const { return FindMode(m_pMode->currentData().toInt()); }

bool FindDialog::IgnoreCase() const { return m_pIgnoreCase->isChecked(); }

void FindDialog::setVisible(bool visible)
{
    QInputDialog::setVisible(visible);
    if (visible) InsertAboveButtons(*this, m_pOptions);
}

FillDialog::FillDialog(QWidget* parent, std::optional<BufferRange> selection) : QInputDialog(parent)
{
    setWindowTitle(QStringLiteral("Fill"));
    setLabelText(QStringLiteral("Fill from Start to End (both included) with Byte; hexadecimal, #255 for decimal."));
    setInputMode(QInputDialog::TextInput);
    m_pLine = findChild<QLineEdit*>();
    m_pForm = new QWidget(this);
    auto* form = new QFormLayout(m_pForm);
    form->setContentsMargins(0, 0, 0, 0);
    static constexpr const char* kLabels[3] = {"&Start:", "&End:", "&Byte:"};
    static constexpr const char* kNames[3] = {"FillStart", "FillEnd", "FillByte"};
    for (int k = 0; k < 3; ++k) {
        m_pFields[k] = new QLineEdit(m_pForm);
        m_pFields[k]->setObjectName(QString::fromLatin1(kNames[k]));
        form->addRow(QString::fromLatin1(kLabels[k]), m_pFields[k]);
        connect(m_pFields[k], &QLineEdit::textChanged, this, [this] {
            if (m_bSyncing) return;
            m_bSyncing = true;
            setTextValue(m_pFields[0]->text() + QLatin1Char(' ') + m_pFields[1]->text() + QLatin1Char(' ') +
                         m_pFields[2]->text());
            m_bSyncing = false;
            Check();
        });
    }
    m_pProblem = new QLabel(m_pForm);
    m_pProblem->setObjectName(QStringLiteral("FillProblem"));
    m_pProblem->setWordWrap(true);
    QPalette red = m_pProblem->palette();
    red.setColor(QPalette::WindowText, QColor(0xC0, 0x10, 0x10));
    m_pProblem->setPalette(red);
    form->addRow(m_pProblem);
    m_pForm->hide();
    connect(this, &QInputDialog::textValueChanged, this, [this](const QString& line) {
        if (!m_bSyncing) FromLine(line);
    });
    setTextValue(FillPreset(selection));
    FromLine(textValue());
}

void FillDialog::FromLine(const QString& line)
{
    const std::vector<std::string> words = Words(line);
    m_bSyncing = true;
    for (int k = 0; k < 3; ++k) {
        QString text;
        if (k < 2 && std::size_t(k) < words.size()) text = FromCore(words[std::size_t(k)]);
        // The third field takes the rest, so that a fourth word is refused.
        for (std::size_t i = 2; k == 2 && i < words.size(); ++i)
            text += (text.isEmpty() ? QString() : QStringLiteral(" ")) + FromCore(words[i]);
        if (m_pFields[k]->text() != text) m_pFields[k]->setText(text);
    }
    m_bSyncing = false;
    Check();
}

Result<FillArgs> FillDialog::Args() const
{
    static constexpr const char* kNames[3] = {"Start", "End", "Byte"};
    for (int k = 0; k < 3; ++k)
        if (m_pFields[k]->text().trimmed().isEmpty()) return Status::Fail(Cat({"Give the ", kNames[k], "."}));
    const Result<std::uint64_t> first = ParseHexNumber(ToCore(m_pFields[0]->text()), kBufferSize - 1, "start");
    if (!first) return first.status();
    const Result<std::uint64_t> last = ParseHexNumber(ToCore(m_pFields[1]->text()), kBufferSize - 1, "end");
    if (!last) return last.status();
    if (*last < *first) return Status::Fail("End is before Start.");
    const Result<std::uint64_t> value = ParseHexNumber(ToCore(m_pFields[2]->text()), 0xFF, "byte");
    if (!value) return value.status();
    return FillArgs{{std::uint32_t(*first), std::uint32_t(*last)}, std::uint8_t(*value)};
}

QString FillDialog::Problem() const { return m_pProblem->text(); }

void FillDialog::Check()
{
    const Result<FillArgs> args = Args();
    m_pProblem->setText(args ? QStringLiteral("Fills %1 bytes.").arg((*args).range.Size())
                             : FromCore(args.message()));
    if (auto* buttons = findChild<QDialogButtonBox*>())
        if (QPushButton* ok = buttons->button(QDialogButtonBox::Ok)) ok->setEnabled(args.ok());
}

void FillDialog::setVisible(bool visible)
{
    QInputDialog::setVisible(visible);
    if (!visible) return;
    if (m_pLine) m_pLine->hide();
    InsertAboveButtons(*this, m_pForm);
    Check();
    m_pFields[m_pFields[0]->text().isEmpty() ? 0 : 2]->setFocus();
}

std::optional<Result<FillArgs>> AskFillArgs(QWidget* parent, std::optional<BufferRange> selection)
{
    FillDialog dialog(parent, selection);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.Args();
}

std::optional<Result<std::uint32_t>> AskOffset(QWidget* parent)
{
    const std::optional<QString> line =
        AskLine(parent, QStringLiteral("Load at Offset"),
                QStringLiteral("Offset (hex; #32768 for decimal):"), QString());
    if (!line) return std::nullopt;
    const Result<std::uint64_t> offset = ParseHexNumber(ToCore(*line), kBufferSize - 1, "offset");
    if (!offset) return Result<std::uint32_t>(offset.status());
    return Result<std::uint32_t>(std::uint32_t(*offset));
}

std::optional<Result<BufferRange>> AskRange(QWidget* parent, BufferRange preset)
{
    const std::optional<QString> line = AskLine(
        parent, QStringLiteral("Checksum"), QStringLiteral("START END (hex; #decimal):"),
        Hex6(preset.first) + QLatin1Char(' ') + Hex6(preset.last));
    if (!line) return std::nullopt;
    const std::vector<std::string> words = Words(*line);
    if (words.size() != 2) return Result<BufferRange>(Status::Fail("Give START and END."));
    const Result<std::uint64_t> first = ParseHexNumber(words[0], kBufferSize - 1, "start");
    if (!first) return Result<BufferRange>(first.status());
    const Result<std::uint64_t> last = ParseHexNumber(words[1], kBufferSize - 1, "end");
    if (!last) return Result<BufferRange>(last.status());
    if (*last < *first) return Result<BufferRange>(Status::Fail("END is before START."));
    return Result<BufferRange>(BufferRange{std::uint32_t(*first), std::uint32_t(*last)});
}

}  // namespace vexo::gui
