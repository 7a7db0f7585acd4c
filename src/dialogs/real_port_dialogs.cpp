// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/real_port_dialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <optional>

#include "base/numbers.h"
#include "rom/catalogue.h"
#include "rom/rom.h"
#include "session/session.h"
#include "dialogs/core_text.h"

namespace vexo::gui {
namespace {


// A spin box that lets a number out of its range be typed, so that OK can
// refuse it with the range rather than the box dropping it unseen.
class CheckedSpinBox final : public QSpinBox {
public:
    explicit CheckedSpinBox(QWidget* parent) : QSpinBox(parent)
    {
        connect(lineEdit(), &QLineEdit::textEdited, this, [this] { m_typed = cleanText(); });
        connect(this, &QSpinBox::valueChanged, this, [this] {
            if (!lineEdit()->isModified()) m_typed.clear();
        });
    }
    // The number typed last when it is not what the box holds (out of
    // range, or not a number); empty otherwise.
    std::optional<QString> OutOfRange() const
    {
        const QString typed = m_typed.trimmed();
        if (typed.isEmpty()) return std::nullopt;
        const std::optional<std::uint64_t> n = ParseUnsigned(ToCore(typed));
        if (n && *n >= std::uint64_t(minimum()) && *n <= std::uint64_t(maximum())) return std::nullopt;
        return typed;
    }
    // Shows the refused number again.
    void ShowTyped() { lineEdit()->setText(m_typed + suffix()); }
    void Forget() { m_typed.clear(); }

protected:
    QValidator::State validate(QString& input, int& pos) const override
    {
        const QValidator::State state = QSpinBox::validate(input, pos);
        if (state != QValidator::Invalid) return state;
        QString bare = input;
        if (!suffix().isEmpty() && bare.endsWith(suffix())) bare.chop(suffix().size());
        bare = bare.trimmed();
        if (bare.isEmpty() || bare.size() > 12) return state;
        for (const QChar c : bare)
            if (!c.isDigit() && c != QLatin1Char('-')) return state;
        return QValidator::Intermediate;  // kept as typed; OK refuses it
    }

private:
    QString m_typed;
};

QDialogButtonBox* OkCancel(QDialog* dialog)
{
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

}  // namespace

// --- the port check ---

PortCheckWindow::PortCheckWindow(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("PortCheckWindow"));
    setWindowTitle(QStringLiteral("Port Check"));
    setModal(false);
    m_text = new QPlainTextEdit(this);
    m_text->setReadOnly(true);
    // Long fixes wrap at the window's edge; nothing scrolls sideways.
    m_text->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_text->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_verdict = new QLabel(this);
    m_verdict->setObjectName(QStringLiteral("Verdict"));
    m_verdict->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    QPushButton* copy = buttons->addButton(QStringLiteral("&Copy"), QDialogButtonBox::ActionRole);
    copy->setObjectName(QStringLiteral("Copy"));
    connect(copy, &QPushButton::clicked, this,
            [this] { QApplication::clipboard()->setText(m_verdict->text() + QLatin1Char('\n') + Text() + QLatin1Char('\n')); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::hide);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    layout->addWidget(m_verdict);
    layout->addWidget(buttons);
    resize(760, 420);
}

void PortCheckWindow::SetReport(const PortCheckReport& report)
{
    QStringList lines;
    for (const std::string& line : report.lines) lines << FromCore(line);
    m_text->setPlainText(lines.join(QLatin1Char('\n')));
    m_verdict->setText(report.ExitStatus() == 0
                           ? QStringLiteral("The port opened and a module answers.")
                           : QStringLiteral("The port is not ready: see the problems above."));
}

QString PortCheckWindow::Text() const { return m_text->toPlainText(); }
QString PortCheckWindow::Verdict() const { return m_verdict->text(); }

// --- part numbers ---

FindPartDialog::FindPartDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FindPartDialog"));
    setWindowTitle(QStringLiteral("Find Part"));
    m_edit = new QLineEdit(this);
    m_edit->setPlaceholderText(QStringLiteral("M27C512-12F1"));
    m_answer = new QLabel(this);
    m_answer->setObjectName(QStringLiteral("Answer"));
    m_answer->setWordWrap(true);
    m_answer->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_answer->hide();
    auto* layout = new QVBoxLayout(this);
    // The window grows with the answer; it is never cut.
    layout->setSizeConstraint(QLayout::SetMinimumSize);
    layout->addWidget(new QLabel(QStringLiteral("Part number as printed on the chip:"), this));
    layout->addWidget(m_edit);
    layout->addWidget(m_answer);
    layout->addWidget(OkCancel(this));
    setMinimumWidth(420);
    connect(m_edit, &QLineEdit::textChanged, this, &FindPartDialog::ShowAnswer);
}

QString FindPartDialog::Answer() const { return m_answer->text(); }

void FindPartDialog::ShowAnswer()
{
    const QString typed = m_edit->text().trimmed();
    QString answer;
    if (!typed.isEmpty()) {
        const Result<PartInfo> part = Session::LookUpPart(ToCore(typed));
        if (!part) {
            answer = FromCore(part.message());
        } else {
            answer = QStringLiteral("Programs as %1.").arg(FromCore(kDevices[std::size_t(part->device)].name));
            if (const std::string note = Session::PartNote(*part); !note.empty())
                answer += QLatin1Char('\n') + FromCore(note);
        }
    }
    m_answer->setText(answer);
    m_answer->setVisible(!answer.isEmpty());
    if (isVisible()) adjustSize();
}

void FindPartDialog::accept()
{
    const QString typed = m_edit->text().trimmed();
    if (typed.isEmpty()) {
        m_answer->setText(QStringLiteral("Type the number printed on the chip, as M27C512-12F1."));
        m_answer->show();
        return;
    }
    const Result<PartInfo> part = Session::LookUpPart(ToCore(typed));
    ShowAnswer();
    if (!part) return;  // stays open for another try, with the closest
    QDialog::accept();
    emit partFound(part->device, FromCore(Session::PartNote(*part)));
}

// --- programming options ---

OptionsDialog::OptionsDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("OptionsDialog"));
    setWindowTitle(QStringLiteral("Options"));
    m_retries = new CheckedSpinBox(this);
    m_retries->setRange(0, int(kMaxRetries));
    m_retries->setToolTip(QStringLiteral("Write ROM and Auto Write: more pulse rounds for bytes still short"));
    m_pulseMicros = new CheckedSpinBox(this);
    m_pulseMicros->setRange(0, int(kMaxPulseMicroseconds));
    m_pulseMicros->setSuffix(QStringLiteral(" \u00B5s"));
    m_pulseMicros->setToolTip(QStringLiteral("A real pause inside each program pulse; 0 keeps it as short "
                                             "as the port makes it"));
    m_skipBlank = new QCheckBox(QStringLiteral("Skip blank bytes (0xFF) when programming"), this);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Retries:"), m_retries);
    form->addRow(QStringLiteral("Program pulse width:"), m_pulseMicros);
    form->addRow(m_skipBlank);
    m_readPasses = new CheckedSpinBox(this);
    m_readPasses->setRange(int(kMinReadPasses), int(kMaxReadPasses));
    m_readPasses->setToolTip(QStringLiteral("Read ROM reads the chip this many times and keeps each bit's "
                                            "majority; 1 reads once, as designed"));
    form->addRow(QStringLiteral("Read passes:"), m_readPasses);
    m_datPaths = new QPlainTextEdit(this);
    m_datPaths->setObjectName(QStringLiteral("DatPaths"));
    m_datPaths->setPlaceholderText(QStringLiteral("one DAT file or folder per line"));
    m_datPaths->setToolTip(QStringLiteral("Tools \u2192 Identify matches the buffer against these"));
    m_datPaths->setMaximumHeight(80);
    form->addRow(QStringLiteral("DAT files and folders:"), m_datPaths);
    m_error = new QLabel(this);
    m_error->setObjectName(QStringLiteral("Refusal"));
    m_error->setWordWrap(true);
    m_error->setStyleSheet(QStringLiteral("color: #B00000"));
    m_error->hide();
    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetMinimumSize);
    layout->addLayout(form);
    layout->addWidget(m_error);
    layout->addWidget(OkCancel(this));
}

QString OptionsDialog::Refusal() const { return m_error->isVisible() ? m_error->text() : QString(); }

void OptionsDialog::accept()
{
    auto* retries = static_cast<CheckedSpinBox*>(m_retries);
    auto* pulse = static_cast<CheckedSpinBox*>(m_pulseMicros);
    QString refusal;
    if (const std::optional<QString> typed = retries->OutOfRange()) {
        refusal = QStringLiteral("Retries: %1 is refused: %2.").arg(*typed, FromCore(RetriesRangeText()));
        retries->ShowTyped();
        retries->setFocus();
    } else if (const std::optional<QString> typedPulse = pulse->OutOfRange()) {
        refusal = QStringLiteral("Program pulse width: %1 is refused: %2.").arg(*typedPulse, FromCore(PulseRangeText()));
        pulse->ShowTyped();
        pulse->setFocus();
    } else if (auto* passes = static_cast<CheckedSpinBox*>(m_readPasses);
               const std::optional<QString> typedPasses = passes->OutOfRange()) {
        refusal = QStringLiteral("Read passes: %1 is refused: %2.")
                      .arg(*typedPasses, FromCore(Session::ReadPassesRangeText()));
        passes->ShowTyped();
        passes->setFocus();
    }
    m_error->setText(refusal);
    m_error->setVisible(!refusal.isEmpty());
    if (!refusal.isEmpty()) return;  // stays open with the number as typed
    QDialog::accept();
}

void OptionsDialog::Load(const ProgramSettings& settings)
{
    static_cast<CheckedSpinBox*>(m_retries)->Forget();
    static_cast<CheckedSpinBox*>(m_pulseMicros)->Forget();
    static_cast<CheckedSpinBox*>(m_readPasses)->Forget();
    m_error->hide();
    m_retries->setValue(settings.retries);
    m_pulseMicros->setValue(int(settings.pulseMicros));
    m_skipBlank->setChecked(settings.skipBlank);
}

ProgramSettings OptionsDialog::Values() const
{
    ProgramSettings settings;
    settings.retries = m_retries->value();
    settings.pulseMicros = std::uint32_t(m_pulseMicros->value());
    settings.skipBlank = m_skipBlank->isChecked();
    return settings;
}

}  // namespace vexo::gui
