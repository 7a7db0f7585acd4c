// SPDX-License-Identifier: GPL-3.0-or-later
#include "res/pictures.h"

#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPolygonF>

#include <algorithm>

#include "rom/catalogue.h"

namespace vexo::gui {
namespace {

const QColor kInk(0x20, 0x20, 0x20);
const QColor kDiskBlue(0x25, 0x4a, 0x9a);
const QColor kMetal(0xc8, 0xcc, 0xd2);
const QColor kChipBody(0x2b, 0x2b, 0x30);
const QColor kPin(0xb8, 0xb8, 0xb8);
const QColor kGreen(0x1c, 0x8c, 0x2c);

QFont PictureFont(qreal pixelSize, bool bold = true)
{
    QFont font;
    font.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("Arial")});
    font.setPixelSize(qMax(1, qRound(pixelSize)));
    font.setBold(bold);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

// A button's text colour as the palette asks: as designed on a light
// palette; on a dark one kept in hue but made light enough to read.
QColor TextInk(const QColor& designed)
{
    const QPalette palette = QGuiApplication::palette();
    if (palette.color(QPalette::Button).lightness() >= 128) return designed;
    if (designed.hslSaturation() < 40) return palette.color(QPalette::ButtonText);
    QColor lifted = designed.toHsl();
    lifted.setHsl(lifted.hslHue(), lifted.hslSaturation(), std::max(lifted.lightness(), 170));
    return lifted;
}

// Draws `text` centred in `box`, shrunk until it fits the box's width.
void FitText(QPainter& p, const QRectF& box, const QString& text, qreal pixelSize,
             const QColor& color, bool bold = true)
{
    QFont font = PictureFont(pixelSize, bold);
    const qreal width = QFontMetricsF(font).horizontalAdvance(text);
    if (width > box.width()) {
        font.setStretch(qMax(50, int(100 * box.width() / width)));
    }
    p.setFont(font);
    p.setPen(color);
    p.drawText(box, Qt::AlignCenter, text);
}

void Floppy(QPainter& p, const QRectF& r)
{
    const qreal w = r.width(), h = r.height();
    QPainterPath body;
    body.moveTo(r.left(), r.top());
    body.lineTo(r.right() - w * 0.16, r.top());
    body.lineTo(r.right(), r.top() + h * 0.16);
    body.lineTo(r.right(), r.bottom());
    body.lineTo(r.left(), r.bottom());
    body.closeSubpath();
    p.setPen(QPen(kInk, 1.0));
    p.setBrush(kDiskBlue);
    p.drawPath(body);
    // metal shutter
    p.setBrush(kMetal);
    p.drawRect(QRectF(r.left() + w * 0.22, r.top(), w * 0.5, h * 0.34));
    p.setBrush(kDiskBlue);
    p.setPen(Qt::NoPen);
    p.drawRect(QRectF(r.left() + w * 0.52, r.top() + h * 0.06, w * 0.12, h * 0.22));
    // label
    p.setPen(QPen(kInk, 0.8));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(r.left() + w * 0.14, r.top() + h * 0.5, w * 0.72, h * 0.44));
    p.setPen(QPen(QColor(0x90, 0x90, 0x90), 0.8));
    for (int i = 1; i <= 2; ++i) {
        const qreal y = r.top() + h * (0.5 + 0.14 * i);
        p.drawLine(QPointF(r.left() + w * 0.22, y), QPointF(r.right() - w * 0.22, y));
    }
}

void Arrow(QPainter& p, QPointF from, QPointF to, const QColor& color, qreal width)
{
    const QLineF line(from, to);
    const QLineF unit = line.unitVector();
    const QPointF d(unit.dx(), unit.dy());
    const QPointF n(-d.y(), d.x());
    const qreal head = width * 2.2;
    const QPointF base = to - d * head;
    p.setPen(QPen(color, width, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(from, base);
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawPolygon(QPolygonF({to, base + n * head * 0.7, base - n * head * 0.7}));
}

void Chip(QPainter& p, const QRectF& body, int pinsPerSide, bool window)
{
    p.setPen(Qt::NoPen);
    p.setBrush(kPin);
    const qreal pitch = body.height() / pinsPerSide;
    for (int i = 0; i < pinsPerSide; ++i) {
        const qreal y = body.top() + pitch * (i + 0.25);
        p.drawRect(QRectF(body.left() - 2.5, y, 2.5, pitch * 0.5));
        p.drawRect(QRectF(body.right(), y, 2.5, pitch * 0.5));
    }
    p.setPen(QPen(Qt::black, 0.8));
    p.setBrush(kChipBody);
    p.drawRoundedRect(body, 1.2, 1.2);
    // orientation notch
    p.setBrush(QColor(0x60, 0x60, 0x68));
    p.setPen(Qt::NoPen);
    p.drawPie(QRectF(body.center().x() - 2.5, body.top() - 2.5, 5, 5), 180 * 16, 180 * 16);
    if (window) {
        const qreal d = qMin(body.width(), body.height()) * 0.55;
        const QRectF glass(body.center().x() - d / 2, body.center().y() - d / 2, d, d);
        QRadialGradient g(glass.center(), d / 2);
        g.setColorAt(0.0, QColor(0xc8, 0xb8, 0xff));
        g.setColorAt(0.6, QColor(0x70, 0x58, 0xd0));
        g.setColorAt(1.0, QColor(0x3a, 0x2a, 0x80));
        p.setBrush(QColor(0x8a, 0x8a, 0x90));
        p.drawRect(glass.adjusted(-1.5, -1.5, 1.5, 1.5));
        p.setBrush(g);
        p.drawEllipse(glass);
        p.setBrush(QColor(255, 255, 255, 150));
        p.drawEllipse(QRectF(glass.left() + d * 0.22, glass.top() + d * 0.18, d * 0.22, d * 0.16));
    }
}

void LightningBolt(QPainter& p, const QRectF& r)
{
    const auto at = [&r](qreal x, qreal y) {
        return QPointF(r.left() + r.width() * x, r.top() + r.height() * y);
    };
    QPolygonF bolt({at(0.62, 0.0), at(0.12, 0.58), at(0.45, 0.58), at(0.30, 1.0), at(0.88, 0.36),
                    at(0.55, 0.36), at(0.78, 0.0)});
    p.setPen(QPen(QColor(0x80, 0x50, 0x00), 0.9, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(QColor(0xff, 0xd0, 0x20));
    p.drawPolygon(bolt);
}

// A grid of cells, its header row and column shaded: the buffer editor.
void HexGrid(QPainter& p, const QRectF& grid)
{
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xd8, 0xe4, 0xf4));
    p.drawRect(QRectF(grid.left(), grid.top(), grid.width(), grid.height() / 4));
    p.drawRect(QRectF(grid.left(), grid.top(), grid.width() / 5, grid.height()));
    p.setPen(QPen(kInk, 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawRect(grid);
    p.setPen(QPen(QColor(0x50, 0x50, 0x60), 0.8));
    for (int i = 1; i < 5; ++i) {
        const qreal x = grid.left() + grid.width() * i / 5;
        p.drawLine(QPointF(x, grid.top()), QPointF(x, grid.bottom()));
    }
    for (int i = 1; i < 4; ++i) {
        const qreal y = grid.top() + grid.height() * i / 4;
        p.drawLine(QPointF(grid.left(), y), QPointF(grid.right(), y));
    }
}

// A black screen reading MS over DOS.
void DosScreen(QPainter& p)
{
    p.setPen(QPen(kInk, 1.0));
    p.setBrush(Qt::black);
    p.drawRoundedRect(QRectF(2.5, 3.5, 27, 24), 2, 2);
    FitText(p, QRectF(3, 4, 26, 11), QStringLiteral("MS"), 10, QColor(0xe8, 0xe8, 0xe8));
    FitText(p, QRectF(3, 14.5, 26, 11), QStringLiteral("DOS"), 10, QColor(0xe8, 0xe8, 0xe8));
}

// A 25-pin D connector on its cable: the printer port.
void PortPlug(QPainter& p)
{
    // cable
    p.setPen(QPen(QColor(0x50, 0x50, 0x58), 3.0, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    QPainterPath cable;
    cable.moveTo(16, 20);
    cable.cubicTo(16, 26, 24, 24, 29, 29);
    p.drawPath(cable);
    // hood
    p.setPen(QPen(kInk, 0.8));
    p.setBrush(QColor(0x9a, 0xa0, 0xa8));
    p.drawRoundedRect(QRectF(11.5, 14.5, 9, 7), 1.5, 1.5);
    // D-shaped shell with two rows of pins
    QPolygonF shell({QPointF(2.5, 4.5), QPointF(29.5, 4.5), QPointF(26.5, 15.5), QPointF(5.5, 15.5)});
    p.setBrush(kMetal);
    p.drawPolygon(shell);
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    for (int i = 0; i < 7; ++i) p.drawEllipse(QPointF(6.0 + i * 3.3, 8.0), 0.9, 0.9);
    for (int i = 0; i < 6; ++i) p.drawEllipse(QPointF(7.7 + i * 3.3, 12.0), 0.9, 0.9);
}

// A chip in a zero-insertion-force socket with its lever.
void Socket(QPainter& p)
{
    p.setPen(QPen(kInk, 0.8));
    p.setBrush(QColor(0x2f, 0x7d, 0x3a));
    p.drawRect(QRectF(3.5, 2.5, 25, 26));
    p.setBrush(QColor(0xe0, 0xe0, 0xe0));
    p.drawRect(QRectF(24.5, 4.5, 2, 20));
    p.drawEllipse(QPointF(25.5, 4.5), 1.8, 1.8);
    Chip(p, QRectF(9.5, 5.5, 10, 21), 7, false);
}

// A large yellow question mark.
void QuestionMark(QPainter& p)
{
    QPainterPath mark;
    QFont font = PictureFont(28);
    font.setWeight(QFont::Black);
    mark.addText(0, 0, font, QStringLiteral("?"));
    const QRectF b = mark.boundingRect();
    mark.translate(16.5 - b.center().x(), 15.5 - b.center().y());
    p.setPen(QPen(QColor(0x70, 0x50, 0x00), 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(QColor(0xff, 0xdd, 0x00));
    p.drawPath(mark);
}

// A windowed chip on a green rounded board: the program's own mark.
void BoardWithChip(QPainter& p, const QRectF& board, qreal radius, const QRectF& chip, int pinsPerSide)
{
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x2f, 0x7d, 0x3a));
    p.drawRoundedRect(board, radius, radius);
    Chip(p, chip, pinsPerSide, true);
}

void Paint(Picture picture, QPainter& p)
{
    switch (picture) {
    case Picture::OpenBin:
        Floppy(p, QRectF(2.5, 9.5, 17, 18));
        Arrow(p, QPointF(17, 7), QPointF(30, 7), kGreen, 2.4);
        Arrow(p, QPointF(22, 17), QPointF(30.5, 17), kGreen, 2.4);
        FitText(p, QRectF(19, 20, 13, 10), QStringLiteral("BIN"), 6.5, kInk);
        break;
    case Picture::SaveBuffer: Floppy(p, QRectF(5.5, 3.5, 21, 24)); break;
    case Picture::EditBuffer: HexGrid(p, QRectF(3.5, 4.5, 25, 22)); break;
    case Picture::DosShell: DosScreen(p); break;
    case Picture::LptPort: PortPlug(p); break;
    case Picture::DeviceType: Socket(p); break;
    case Picture::HexBin:
        FitText(p, QRectF(0, 1, 32, 12), QStringLiteral("HEX"), 10.5, TextInk(QColor(0x90, 0x20, 0x20)));
        Arrow(p, QPointF(16, 12), QPointF(16, 18.5), TextInk(kInk), 1.6);
        FitText(p, QRectF(0, 18, 32, 12), QStringLiteral("BIN"), 10.5, TextInk(kDiskBlue));
        break;
    case Picture::ReadRom:
        FitText(p, QRectF(0, 0, 32, 31), QStringLiteral("Read"), 11, TextInk(kDiskBlue));
        break;
    case Picture::BlankCheck:
        FitText(p, QRectF(0, 2, 32, 13), QStringLiteral("Blank"), 9.5, TextInk(kInk));
        FitText(p, QRectF(0, 15, 32, 13), QStringLiteral("Check"), 9.5, TextInk(kInk));
        break;
    case Picture::WriteRom: Chip(p, QRectF(9.5, 3.5, 13, 24), 7, false); break;
    case Picture::Verify:
        FitText(p, QRectF(0, 0, 32, 31), QStringLiteral("Verify"), 10, TextInk(kGreen));
        break;
    case Picture::AutoWrite:
        FitText(p, QRectF(0, 0, 32, 31), QStringLiteral("Auto"), 11, TextInk(QColor(0x90, 0x20, 0x20)));
        break;
    case Picture::ChangeSpeed:
        LightningBolt(p, QRectF(8, 1.5, 16, 19));
        FitText(p, QRectF(0, 20, 32, 11), QStringLiteral("speed"), 8.5, TextInk(kInk));
        break;
    case Picture::Quit:
        FitText(p, QRectF(0, 0, 32, 31), QStringLiteral("Quit"), 11, TextInk(QColor(0xb0, 0x10, 0x10)));
        break;
    case Picture::About: QuestionMark(p); break;
    case Picture::AppIcon: BoardWithChip(p, QRectF(1, 1, 30, 30), 4, QRectF(8.5, 4.5, 15, 23), 7); break;
    case Picture::AboutPicture:
        BoardWithChip(p, QRectF(1, 1, 34, 41), 3, QRectF(9.5, 4.5, 17, 34), 10);
        break;
    }
}

class PictureIconEngine final : public QIconEngine {
public:
    explicit PictureIconEngine(Picture picture) : m_picture(picture) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override
    {
        const QSizeF fitted = QSizeF(DesignSize(m_picture)).scaled(rect.size(), Qt::KeepAspectRatio);
        QRectF target(QPointF(), fitted);
        target.moveCenter(QRectF(rect).center());
        painter->save();
        if (mode == QIcon::Disabled) painter->setOpacity(0.35);
        PaintPicture(m_picture, *painter, target);
        painter->restore();
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        QPixmap out(size);
        out.fill(Qt::transparent);
        QPainter painter(&out);
        paint(&painter, QRect(QPoint(), size), mode, state);
        return out;
    }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override
    {
        return DesignSize(m_picture).scaled(size, Qt::KeepAspectRatio);
    }

    QIconEngine* clone() const override { return new PictureIconEngine(m_picture); }
    QString key() const override { return QStringLiteral("vexo-picture"); }

private:
    Picture m_picture;
};

}  // namespace

QSize DesignSize(Picture picture)
{
    switch (picture) {
    case Picture::About: return {33, 31};
    case Picture::AppIcon: return {32, 32};
    case Picture::AboutPicture: return {36, 43};
    default: return {32, 31};
    }
}

void PaintPicture(Picture picture, QPainter& painter, const QRectF& target)
{
    const QSize design = DesignSize(picture);
    painter.save();
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                           QPainter::SmoothPixmapTransform);
    painter.translate(target.topLeft());
    painter.scale(target.width() / design.width(), target.height() / design.height());
    Paint(picture, painter);
    painter.restore();
}

QIcon PictureIcon(Picture picture) { return QIcon(new PictureIconEngine(picture)); }

QPixmap PicturePixmap(Picture picture, QSize size, qreal devicePixelRatio)
{
    if (size.isEmpty()) size = DesignSize(picture);
    QPixmap out(size * devicePixelRatio);
    out.setDevicePixelRatio(devicePixelRatio);
    out.fill(Qt::transparent);
    QPainter painter(&out);
    PaintPicture(picture, painter, QRectF(QPointF(), QSizeF(size)));
    return out;
}

QSize DipPictureSize(int deviceIndex) { return deviceIndex == 4 ? QSize(256, 47) : QSize(257, 47); }

void PaintDipSwitches(int deviceIndex, QPainter& p)
{
    const DeviceInfo& device = kDevices[std::size_t(deviceIndex)];
    const QColor offBlue(0x10, 0x30, 0xd0);
    const QColor onGreen(0x10, 0xa0, 0x30);
    const QColor labelRed(0xd0, 0x10, 0x10);

    p.save();
    p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    p.fillRect(QRect(QPoint(), DipPictureSize(deviceIndex)), Qt::white);

    // The switch bank: twelve slots, each split into an OFF cell above and an
    // ON cell below; the switch's position is the filled cell.
    const qreal left = 6, pitch = 17, cellW = 11, offTop = 4, cellH = 13, onTop = offTop + cellH;
    p.setPen(QPen(kInk, 1.0));
    p.setBrush(QColor(0xf0, 0xf0, 0xf0));
    p.drawRect(QRectF(left - 3.5, offTop - 2.5, pitch * 12 + 1, cellH * 2 + 5));
    for (int n = 1; n <= 12; ++n) {
        const qreal x = left + pitch * (n - 1) + 0.5;
        const bool on = device.SwitchOn(n);
        p.setPen(QPen(QColor(0x70, 0x70, 0x70), 1.0));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(x, offTop + 0.5, cellW, cellH * 2));
        p.setPen(Qt::NoPen);
        p.setBrush(on ? onGreen : offBlue);
        p.drawRect(QRectF(x + 1.5, (on ? onTop : offTop) + 2, cellW - 2.5, cellH - 2.5));
        p.setPen(kInk);
        p.setFont(PictureFont(10, false));
        p.drawText(QRectF(x - 3, onTop + cellH + 2, cellW + 6, 13), Qt::AlignCenter, QString::number(n));
    }
    // Row labels at the right.
    const qreal labelX = left + pitch * 12 + 4;
    p.setFont(PictureFont(11, true));
    p.setPen(offBlue);
    p.drawText(QRectF(labelX, offTop, 44, cellH), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("OFF"));
    p.setPen(labelRed);
    p.drawText(QRectF(labelX, onTop, 44, cellH), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("ON"));
    p.restore();
}

}  // namespace vexo::gui
