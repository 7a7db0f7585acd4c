#include "view/vexowriter_view.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>

#include <algorithm>
#include <cstdio>

#include "app/vexowriter_app.h"
#include "rom/rom.h"

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

QString Format(const char* format, unsigned value)
{
    char text[16];
    std::snprintf(text, sizeof text, format, value);
    return QString::fromLatin1(text);
}

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
}

CVexoWriterView::~CVexoWriterView()
{
    if (m_app.m_pView == this) m_app.m_pView = nullptr;
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
        canvas.TextOut(62 + 24 * k, y, Format("%02X", b));
        canvas.TextOut(460 + 10 * k, y, DumpCharacter(b));
        if (++k == 16) {
            y += 15;
            canvas.TextOut(8, y, Format("%05X : ", unsigned(o + 1)));
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
    painter.setPen(palette().color(QPalette::WindowText));
    PainterCanvas canvas(painter, m_pCanvasTap);
    OnDraw(canvas);
}

void CVexoWriterView::keyPressEvent(QKeyEvent* event)
{
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
