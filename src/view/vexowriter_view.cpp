// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/vexowriter_view.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QInputDialog>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>

#include <algorithm>

#include "app/vexowriter_app.h"
#include "base/hex.h"
#include "base/numbers.h"
#include "rom/rom.h"
#include "session/session.h"
#include "dialogs/buffer_dialogs.h"
#include "dialogs/core_text.h"

namespace vexo::gui {
namespace {

constexpr std::int32_t kBufferEnd = std::int32_t(kBufferSize);

class PainterCanvas final : public IDumpCanvas {
public:
    PainterCanvas(QPainter& painter, IDumpCanvas* tap)
        : m_painter(painter), m_ascent(QFontMetrics(painter.font()).ascent()), m_tap(tap) {}
    void TextOut(int x, int y, const QString& text) override
    {
        m_painter.drawText(x, y + m_ascent, text);
        if (m_tap) m_tap->TextOut(x, y, text);
    }
    void Line(int x1, int y1, int x2, int y2) override
    {
        m_painter.drawLine(x1, y1, x2, y2);
        if (m_tap) m_tap->Line(x1, y1, x2, y2);
    }

private:
    QPainter& m_painter;
    int m_ascent;
    IDumpCanvas* m_tap;
};

}  // namespace

QString DumpCharacter(std::uint8_t byte)
{
    if (byte == 0x00 || byte == 0xFF) return QStringLiteral(".");
    // Characters as code page 1252 shows them: its printable 0x80..0x9F,
    // Latin-1 elsewhere.
    static constexpr char16_t kHigh[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    if (byte >= 0x80 && byte <= 0x9F) return QString(QChar(kHigh[byte - 0x80]));
    return QString(QChar(char16_t(byte)));
}

CVexoWriterView::CVexoWriterView(CVexoWriterApp& app, QWidget* parent)
    : QWidget(parent), m_app(app)
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    pal.setColor(QPalette::WindowText, Qt::black);
    setPalette(pal);
    m_font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    m_font.setPixelSize(11);
    // The view stores itself in the application on creation.
    m_app.m_pView = this;

    const auto add = [this](const QString& text, auto slot) {
        auto* action = new QAction(text, this);
        connect(action, &QAction::triggered, this, slot);
        m_editActions << action;
        return action;
    };
    m_pEditingAction = add(QStringLiteral("Byte Editing"), [this](bool on) { SetEditing(on); });
    m_pEditingAction->setCheckable(true);
    add(QStringLiteral("Go To Address...\tCtrl+G"), [this] { OnGoToAddress(); });
    add(QStringLiteral("Find...\tCtrl+F"), [this] { OnFind(); });
    add(QStringLiteral("Find Next\tF3"), [this] { FindNext(); });
    add(QStringLiteral("Undo\tCtrl+Z"), [this] { Undo(); });
    add(QStringLiteral("Redo\tCtrl+Y"), [this] { Redo(); });
    // Every change the session makes to the buffer shows at once.
    m_app.TheSession().ListenBuffer([this](bool replaced) {
        if (replaced) OnBufferReplaced();
        else BufferChanged();
    });
}

CVexoWriterView::~CVexoWriterView()
{
    if (m_app.m_pView == this) m_app.m_pView = nullptr;
    m_app.TheSession().ListenBuffer({});
}

QSize CVexoWriterView::sizeHint() const { return {640, 380}; }

std::int32_t CVexoWriterView::FirstDrawnOffset() const
{
    return std::max<std::int32_t>(0, m_nEndOffset - kPageBytes);
}

void CVexoWriterView::OnDraw(IDumpCanvas& canvas) const
{
    if (m_bShowDump != 1) return;
    DrawDump(canvas);
    canvas.Line(5, 5, 630, 5);
    canvas.Line(630, 5, 630, 368);
    canvas.Line(630, 368, 5, 368);
    canvas.Line(5, 368, 5, 5);
    canvas.Line(448, 5, 448, 368);
    canvas.Line(452, 5, 452, 368);
}

void CVexoWriterView::DrawDump(IDumpCanvas& canvas) const
{
    canvas.TextOut(8, 8, QStringLiteral("ADD    :"));
    const CRom* rom = m_app.m_pRom;
    if (!rom) return;
    // The page that ends at the end offset; the offsets stay inside the buffer.
    const std::int32_t end = std::clamp<std::int32_t>(m_nEndOffset, 0, kBufferEnd);
    std::int32_t o = FirstDrawnOffset();
    int y = 8;
    int k = 0;
    for (; o < end; ++o) {
        const std::uint8_t b = rom->m_Buffer[std::size_t(o)];
        canvas.TextOut(62 + 24 * k, y, FromCore(HexByte(b)));
        canvas.TextOut(460 + 10 * k, y, DumpCharacter(b));
        if (++k == 16) {
            y += 15;
            canvas.TextOut(8, y, FromCore(HexAddress(std::uint32_t(o + 1)) + " : "));
            k = 0;
        }
    }
}

void CVexoWriterView::OnClearWindow()
{
    m_bShowDump = 0;
    update();
}

void CVexoWriterView::OnEditBuffer()
{
    m_bShowDump = 1;
    update();
}

void CVexoWriterView::OnKeyDown(int key)
{
    if (key == Qt::Key_Down) {
        // Stops at the end of the buffer; a last page that would run past it
        // is the buffer's last 384 bytes.
        m_nEndOffset = std::min(m_nEndOffset + kPageBytes, kBufferEnd);
        m_nStartOffset = m_nEndOffset - kPageBytes;
        m_bShowDump = 1;
        update();
    } else if (key == Qt::Key_Up) {
        if (m_nEndOffset > 0) {
            // Back to the page boundary below (one page on the usual grid).
            m_nEndOffset = (m_nEndOffset - 1) / kPageBytes * kPageBytes;
            m_nStartOffset = std::max<std::int32_t>(0, m_nEndOffset - kPageBytes);
            m_bShowDump = 1;
            update();
        }
        if (m_nEndOffset == 0) {
            m_nStartOffset = 0;
            m_bShowDump = 0;
            update();
        }
    }
}

void CVexoWriterView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setFont(m_font);
    if (m_bShowDump == 1) DrawMarks(painter);
    painter.setPen(palette().color(QPalette::WindowText));
    PainterCanvas canvas(painter, m_pCanvasTap);
    OnDraw(canvas);
    if (m_bShowDump == 1) DrawPending(painter);
    DrawPageFrame(painter);
}

void CVexoWriterView::keyPressEvent(QKeyEvent* event)
{
    if (EditKey(event)) return;
    OnKeyDown(event->key());
    QWidget::keyPressEvent(event);
}

bool CVexoWriterView::PrintTo(QPrinter& printer) const
{
    QPainter painter;
    if (!painter.begin(&printer)) return false;
    // The screen layout, scaled to the page's width with a small margin.
    const QRectF page = printer.pageLayout().paintRectPixels(printer.resolution());
    const qreal scale = page.width() / 640.0;
    painter.scale(scale, scale);
    painter.setFont(m_font);
    painter.setPen(Qt::black);
    PainterCanvas canvas(painter, nullptr);
    OnDraw(canvas);
    return painter.end();
}

bool CVexoWriterView::PrintToPdf(const QString& path) const
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    return PrintTo(printer);
}

void CVexoWriterView::OnFilePrint()
{
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, window());
    if (dialog.exec() != QDialog::Accepted) return;
    PrintTo(printer);
}

}  // namespace vexo::gui

namespace vexo::gui {
namespace {

constexpr int kRows = CVexoWriterView::kPageBytes / 16;

QString HexAddress(std::uint32_t address)
{
    return QStringLiteral("0x") + QStringLiteral("%1").arg(address, 5, 16, QLatin1Char('0')).toUpper();
}

}  // namespace

void CVexoWriterView::GoToAddress(std::uint32_t address)
{
    if (address >= kBufferSize) return;
    const std::int32_t row = std::int32_t(address & ~15u);
    m_nEndOffset = std::min(row + kPageBytes, kBufferEnd);
    m_nStartOffset = m_nEndOffset - kPageBytes;
    m_bShowDump = 1;
    if (m_editing) MoveCaret(address, false);
    m_gotoMark = address;
    Say(QStringLiteral("Address %1").arg(HexAddress(address)));
    update();
}

void CVexoWriterView::EnsureVisible(std::uint32_t address)
{
    const auto a = std::int32_t(address);
    if (m_bShowDump == 1 && a >= FirstDrawnOffset() && a < m_nEndOffset) return;
    if (a < FirstDrawnOffset() || m_bShowDump != 1) {
        // Its row on top, as Go To puts it, without Go To's mark.
        m_nEndOffset = std::min((a & ~15) + kPageBytes, kBufferEnd);
        m_nStartOffset = m_nEndOffset - kPageBytes;
        m_bShowDump = 1;
        update();
        return;
    }
    // Below the page: its row becomes the last one.
    m_nEndOffset = std::clamp<std::int32_t>((a & ~15) + 16, kPageBytes, kBufferEnd);
    m_nStartOffset = m_nEndOffset - kPageBytes;
    update();
}

bool CVexoWriterView::FindNext(const QString& pattern)
{
    const Result<FindQuery> query = ParseFindQuery(ToCore(pattern), FindMode::Auto);
    if (!query) {
        Tell(FromCore(query.message()));
        return false;
    }
    return FindNext(*query);
}

bool CVexoWriterView::FindNext(const FindQuery& query)
{
    m_findPattern = query.bytes;
    m_findIgnoreCase = query.ignoreCase;
    m_findDescription = FromCore(query.Describe());
    m_findAt.reset();
    return FindNext();
}

bool CVexoWriterView::FindNext()
{
    const CRom* rom = m_app.m_pRom;
    if (!rom || m_findPattern.empty()) return false;
    const std::uint32_t from = m_findAt ? *m_findAt + 1 : (m_editing ? m_caret : 0);
    const std::optional<std::uint32_t> hit =
        FindInBuffer(rom->m_Buffer.get(), kBufferSize, m_findPattern, from, m_findIgnoreCase);
    if (!hit) {
        m_findAt.reset();
        update();
        const QString what = QStringLiteral("Not found: %1").arg(m_findDescription);
        Say(what);
        m_app.Ui().SetNextBoxDetails(ToCore(what));
        Tell(QStringLiteral("Not found."));
        return false;
    }
    m_findAt = hit;
    m_gotoMark.reset();
    const bool editing = m_editing;
    m_editing = false;  // the page moves; the caret follows below
    GoToAddress(*hit);
    m_editing = editing;
    m_gotoMark.reset();
    if (m_editing) {
        m_caret = *hit;
        m_anchor.reset();
        m_nPendingDigit = -1;
        NotifyPosition();
    }
    Say(*hit < from ? QStringLiteral("Find wrapped to the start")
                    : QStringLiteral("Found at %1").arg(HexAddress(*hit)));
    update();
    return true;
}

std::optional<BufferRange> CVexoWriterView::FindMatch() const
{
    if (!m_findAt || m_findPattern.empty()) return std::nullopt;
    const std::uint32_t last =
        std::min<std::uint32_t>(*m_findAt + std::uint32_t(m_findPattern.size()) - 1, kBufferSize - 1);
    return BufferRange{*m_findAt, last};
}

std::optional<BufferRange> CVexoWriterView::Selection() const
{
    if (!m_editing || !m_anchor || *m_anchor == m_caret) return std::nullopt;
    return BufferRange{std::min(*m_anchor, m_caret), std::max(*m_anchor, m_caret)};
}

void CVexoWriterView::SetEditing(bool on)
{
    if (m_editing == on) return;
    m_editing = on;
    if (m_pEditingAction) m_pEditingAction->setChecked(on);
    m_anchor.reset();
    m_nPendingDigit = -1;
    if (on) {
        if (m_bShowDump != 1 || m_nEndOffset < kPageBytes) {
            m_nEndOffset = std::max(m_nEndOffset, kPageBytes);
            m_nStartOffset = m_nEndOffset - kPageBytes;
            m_bShowDump = 1;
        }
        m_caret = std::uint32_t(FirstDrawnOffset());
    }
    NotifyPosition();
    update();
}

void CVexoWriterView::MoveCaret(std::int64_t to, bool extend)
{
    to = std::clamp<std::int64_t>(to, 0, std::int64_t(kBufferSize) - 1);
    if (extend && !m_anchor) m_anchor = m_caret;
    if (!extend) m_anchor.reset();
    m_gotoMark.reset();  // the caret marks where the operator is now
    m_caret = std::uint32_t(to);
    m_nPendingDigit = -1;
    EnsureVisible(m_caret);
    NotifyPosition();
    update();
}

bool CVexoWriterView::EditKey(QKeyEvent* event)
{
    const int key = event->key();
    const Qt::KeyboardModifiers mods = event->modifiers();
    const bool ctrl = mods & Qt::ControlModifier;
    const bool shift = mods & Qt::ShiftModifier;
    if (ctrl && shift && key == Qt::Key_Z) return Redo(), true;
    if (ctrl && key == Qt::Key_Z) return Undo(), true;
    if (ctrl && key == Qt::Key_Y) return Redo(), true;
    if (ctrl && key == Qt::Key_G) return OnGoToAddress(), true;
    if (ctrl && key == Qt::Key_F) return OnFind(), true;
    if (key == Qt::Key_F3 && !ctrl) return FindNext(), true;
    if (!m_editing) return false;

    const std::int64_t at = m_caret;
    const BufferRange device = m_app.TheSession().DeviceRange();
    switch (key) {
    case Qt::Key_Left: MoveCaret(at - 1, shift); return true;
    case Qt::Key_Right: MoveCaret(at + 1, shift); return true;
    case Qt::Key_Up: MoveCaret(at - 16, shift); return true;
    case Qt::Key_Down: MoveCaret(at + 16, shift); return true;
    case Qt::Key_PageUp: MoveCaret(at - kPageBytes, shift); return true;
    case Qt::Key_PageDown: MoveCaret(at + kPageBytes, shift); return true;
    case Qt::Key_Home: MoveCaret(ctrl ? std::int64_t(device.first) : at & ~15, shift); return true;
    case Qt::Key_End: MoveCaret(ctrl ? std::int64_t(device.last) : at | 15, shift); return true;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        m_charColumn = !m_charColumn;
        m_nPendingDigit = -1;
        update();
        return true;
    case Qt::Key_Escape:
        if (m_nPendingDigit < 0) return false;
        m_nPendingDigit = -1;
        update();
        return true;
    default: break;
    }
    if (ctrl && key == Qt::Key_A) {
        MoveCaret(device.first, false);
        MoveCaret(device.last, true);
        return true;
    }
    if (ctrl && key == Qt::Key_C) {
        QApplication::clipboard()->setText(SelectionText(shift));
        return true;
    }
    if (ctrl && key == Qt::Key_V) return PasteHex(QApplication::clipboard()->text()), true;

    const QString text = event->text();
    if (ctrl || text.size() != 1) return false;
    const QChar c = text.at(0);
    if (m_charColumn) {
        if (c.unicode() < 0x20 || c.unicode() > 0xFF || c.unicode() == 0x7F) return false;
        return TypeByte(std::uint8_t(c.unicode())), true;
    }
    const int digit = QString(c).toInt(nullptr, 16);
    const QChar u = c.toUpper();
    if (!((u >= QLatin1Char('0') && u <= QLatin1Char('9')) || (u >= QLatin1Char('A') && u <= QLatin1Char('F'))))
        return false;
    if (m_nPendingDigit < 0) {
        m_nPendingDigit = digit;
        update();
        return true;
    }
    return TypeByte(std::uint8_t(m_nPendingDigit * 16 + digit)), true;
}

bool CVexoWriterView::TypeByte(std::uint8_t value)
{
    if (!m_app.m_pRom) return false;
    const std::uint8_t bytes[1] = {value};
    if (!Reported(m_app.TheSession().PatchBuffer(m_caret, bytes))) return false;
    MoveCaret(std::int64_t(m_caret) + 1, false);
    return true;
}

QString CVexoWriterView::SelectionText(bool raw) const
{
    const CRom* rom = m_app.m_pRom;
    if (!rom || !m_editing) return {};
    const BufferRange range = Selection().value_or(BufferRange{m_caret, m_caret});
    QString out;
    for (std::uint32_t a = range.first; a <= range.last; ++a) {
        const std::uint8_t b = rom->m_Buffer[a];
        if (raw) {
            out += QChar(char16_t(b));
            continue;
        }
        if (!out.isEmpty()) out += QLatin1Char(' ');
        out += QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0')).toUpper();
    }
    return out;
}

bool CVexoWriterView::PasteHex(const QString& text)
{
    if (!m_editing || !m_app.m_pRom) return false;
    const Result<FindQuery> bytes = ParseFindQuery(ToCore(text.trimmed()), FindMode::Hex);
    if (!bytes) {
        Tell(QStringLiteral("Paste takes hex bytes (DE AD BE EF): %1").arg(FromCore(bytes.message())));
        return false;
    }
    const std::uint32_t at = m_caret;
    if (!Reported(m_app.TheSession().PatchBuffer(at, bytes->bytes))) return false;
    MoveCaret(std::int64_t(at) + std::int64_t(bytes->bytes.size()), false);
    Say(QStringLiteral("Pasted %1 bytes at %2").arg(bytes->bytes.size()).arg(HexAddress(at)));
    return true;
}

bool CVexoWriterView::Undo()
{
    if (!Rom()) return false;
    if (!History().CanUndo()) {
        Say(m_replacedBy.isEmpty()
                ? QStringLiteral("Nothing to undo.")
                : QStringLiteral("Nothing to undo: the buffer was replaced by %1.").arg(m_replacedBy));
        return false;
    }
    const std::optional<std::uint32_t> where = History().UndoAddress();
    const bool done = Reported(m_app.TheSession().Undo());
    if (done && where && m_editing) MoveCaret(*where, false);
    return done;
}

bool CVexoWriterView::Redo()
{
    if (!Rom()) return false;
    if (!History().CanRedo()) {
        Say(QStringLiteral("Nothing to redo."));
        return false;
    }
    const std::optional<std::uint32_t> where = History().RedoAddress();
    const bool done = Reported(m_app.TheSession().Redo());
    if (done && where && m_editing) MoveCaret(*where, false);
    return done;
}

bool CVexoWriterView::Reported(const Status& status)
{
    if (!status) Tell(FromCore(status.message()));
    BufferChanged();
    return status.ok();
}

EditHistory& CVexoWriterView::History() { return m_app.TheSession().History(); }

bool CVexoWriterView::IsModified() const { return m_app.TheSession().BufferModified(); }

void CVexoWriterView::BufferChanged()
{
    m_nPendingDigit = -1;
    NotifyModified();
    emit undoAvailable(History().CanUndo(), History().CanRedo());
    update();
}

void CVexoWriterView::OnBufferReplaced()
{
    m_findAt.reset();
    m_gotoMark.reset();
    BufferChanged();
}

void CVexoWriterView::NotifyPosition()
{
    const QString text = PositionText();
    if (text == m_lastPosition) return;
    m_lastPosition = text;
    emit positionChanged(text);
}

QString CVexoWriterView::PositionText() const
{
    if (!m_editing) return {};
    QString text = QStringLiteral("Caret %1").arg(HexAddress(m_caret));
    if (const auto selection = Selection())
        text += QStringLiteral("  Selection %1-%2, %3 bytes")
                    .arg(HexAddress(selection->first), HexAddress(selection->last))
                    .arg(selection->Size());
    return text;
}

void CVexoWriterView::Say(const QString& text) { emit statusMessage(text); }

void CVexoWriterView::NotifyModified()
{
    const bool modified = IsModified();
    if (modified == m_bLastModified) return;
    m_bLastModified = modified;
    emit modifiedChanged(modified);
}

void CVexoWriterView::Tell(const QString& text) { m_app.Ui().AppMessageBox(ToCore(text)); }

CRom* CVexoWriterView::Rom() const { return m_app.m_pRom; }

void CVexoWriterView::OnGoToAddress()
{
    bool ok = false;
    const QString text = QInputDialog::getText(this, QStringLiteral("Go To Address"),
                                               QStringLiteral("Address (hex; #16384 or d16384 decimal):"),
                                               QLineEdit::Normal, m_lastGoTo, &ok);
    if (!ok || text.trimmed().isEmpty()) return;
    m_lastGoTo = text.trimmed();
    const Result<std::uint64_t> address = ParseHexNumber(ToCore(text), kBufferSize - 1);
    if (!address) {
        Tell(FromCore(address.message()));
        return;
    }
    GoToAddress(std::uint32_t(*address));
}

void CVexoWriterView::OnFind()
{
    FindDialog dialog(this, m_lastFind, m_findMode, m_findIgnoreCase);
    if (dialog.exec() != QDialog::Accepted || dialog.textValue().isEmpty()) return;
    m_lastFind = dialog.textValue();
    m_findMode = dialog.Mode();
    const Result<FindQuery> query = ParseFindQuery(ToCore(m_lastFind), m_findMode, dialog.IgnoreCase());
    if (!query) {
        Tell(FromCore(query.message()));
        return;
    }
    FindNext(*query);
}

std::optional<std::uint32_t> CVexoWriterView::ByteAt(QPoint point) const
{
    if (m_bShowDump != 1) return std::nullopt;
    const int row = (point.y() - 8) / 15;
    if (point.y() < 8 || row >= kRows) return std::nullopt;
    int column = -1;
    if (point.x() >= 62 && point.x() < 62 + 24 * 16) column = (point.x() - 62) / 24;
    else if (point.x() >= 460 && point.x() < 460 + 10 * 16) column = (point.x() - 460) / 10;
    if (column < 0) return std::nullopt;
    const std::int64_t address = std::int64_t(FirstDrawnOffset()) + row * 16 + column;
    if (address >= std::min<std::int64_t>(m_nEndOffset, kBufferEnd)) return std::nullopt;
    return std::uint32_t(address);
}

void CVexoWriterView::mousePressEvent(QMouseEvent* event)
{
    if (m_editing && event->button() == Qt::LeftButton) {
        if (const auto at = ByteAt(event->position().toPoint())) {
            const bool shift = event->modifiers() & Qt::ShiftModifier;
            m_charColumn = event->position().x() >= 452;
            MoveCaret(*at, shift);
            if (!shift) m_anchor = *at;  // a drag selects from here
            m_dragging = true;
            return;
        }
    }
    QWidget::mousePressEvent(event);
}

void CVexoWriterView::mouseMoveEvent(QMouseEvent* event)
{
    if (m_editing && (event->buttons() & Qt::LeftButton)) {
        if (const auto at = ByteAt(event->position().toPoint())) {
            if (!m_anchor) m_anchor = m_caret;
            m_caret = *at;
            m_nPendingDigit = -1;
            NotifyPosition();
            update();
            return;
        }
    }
    QWidget::mouseMoveEvent(event);
}

bool CVexoWriterView::focusNextPrevChild(bool next)
{
    if (m_editing) return false;
    return QWidget::focusNextPrevChild(next);
}

void CVexoWriterView::mouseReleaseEvent(QMouseEvent* event)
{
    // The byte released on belongs to the selection, moved over or not.
    if (m_editing && m_dragging && event->button() == Qt::LeftButton) {
        m_dragging = false;
        if (const auto at = ByteAt(event->position().toPoint())) {
            if (!m_anchor) m_anchor = m_caret;
            m_caret = *at;
            NotifyPosition();
            update();
        }
        return;
    }
    m_dragging = false;
    QWidget::mouseReleaseEvent(event);
}

void CVexoWriterView::DrawMarks(QPainter& painter) const
{
    const std::int32_t first = FirstDrawnOffset();
    const std::int32_t end = std::clamp<std::int32_t>(m_nEndOffset, 0, kBufferEnd);
    const int hexWidth = QFontMetrics(m_font).horizontalAdvance(QStringLiteral("00")) + 2;
    const auto mark = [&](std::uint32_t address, const QColor& colour) {
        const std::int32_t a = std::int32_t(address);
        if (a < first || a >= end) return;
        const int row = (a - first) / 16;
        const int k = (a - first) % 16;
        const int y = 8 + 15 * row;
        painter.fillRect(QRect(62 + 24 * k - 1, y, hexWidth, 14), colour);
        painter.fillRect(QRect(460 + 10 * k - 1, y, 10, 14), colour);
    };
    const auto markRange = [&](const BufferRange& r, const QColor& colour) {
        const std::uint32_t from = std::max<std::uint32_t>(r.first, std::uint32_t(first));
        const std::uint32_t to = std::min<std::uint32_t>(r.last, std::uint32_t(std::max(end - 1, 0)));
        for (std::uint32_t a = from; a <= to && a >= r.first; ++a) mark(a, colour);
    };
    // Bytes changed since the load or read: a pale green under the text.
    if (m_app.m_pRom && m_app.TheSession().History().CanUndo())
        for (std::int32_t a = first; a < end; ++a)
            if (m_app.TheSession().History().Touched(std::uint32_t(a))) mark(std::uint32_t(a), QColor(200, 240, 200));
    if (const auto match = FindMatch()) markRange(*match, QColor(255, 230, 120));
    if (m_gotoMark) mark(*m_gotoMark, QColor(255, 200, 120));
    if (const auto selection = Selection()) markRange(*selection, QColor(170, 200, 255));
    if (m_editing) mark(m_caret, m_nPendingDigit >= 0 ? QColor(255, 170, 170) : QColor(200, 200, 200));
}

void CVexoWriterView::DrawPending(QPainter& painter) const
{
    // The first digit typed shows at once over the byte it is changing.
    if (!m_editing || m_nPendingDigit < 0 || !m_app.m_pRom) return;
    const std::int32_t a = std::int32_t(m_caret), first = FirstDrawnOffset();
    if (a < first || a >= std::min(m_nEndOffset, kBufferEnd)) return;
    const int x = 62 + 24 * ((a - first) % 16), y = 8 + 15 * ((a - first) / 16);
    const int width = QFontMetrics(m_font).horizontalAdvance(QStringLiteral("00")) + 2;
    painter.fillRect(QRect(x - 1, y, width, 14), QColor(255, 170, 170));
    painter.setPen(Qt::black);
    const QString shown = QStringLiteral("%1_").arg(m_nPendingDigit, 1, 16).toUpper();
    painter.drawText(x, y + QFontMetrics(m_font).ascent(), shown);
}

void CVexoWriterView::DrawPageFrame(QPainter& painter) const
{
    // On a dark desktop the white page gets an edge of its own.
    if (QApplication::palette().color(QPalette::Window).lightness() >= 128) return;
    painter.setPen(QPen(QColor(120, 120, 120), 2));
    painter.drawRect(rect().adjusted(1, 1, -1, -1));
}

}  // namespace vexo::gui
