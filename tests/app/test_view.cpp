// SPDX-License-Identifier: GPL-3.0-or-later
// The hex-dump view: what a paint draws, paging with Up and Down, Clear
// Window, printing; and the information panel after a load or a read.
#include <QImage>
#include <QLineEdit>
#include <QPainter>

#include "app/command_ids.h"
#include "dialogs/info_dlg.h"
#include "dialogs/settings_dialogs.h"
#include "gui_harness.h"
#include "view/vexowriter_view.h"

using namespace vexo::gui;
using vexo::gui::test::GuiHarness;

namespace {

struct DrawnText {
    int x, y;
    QString text;
};

// Records what a paint draws.
class RecordingCanvas final : public IDumpCanvas {
public:
    void TextOut(int x, int y, const QString& text) override { texts.push_back({x, y, text}); }
    void Line(int x1, int y1, int x2, int y2) override { lines.push_back({x1, y1, x2, y2}); }
    void Clear()
    {
        texts.clear();
        lines.clear();
    }
    // The row labels, in drawing order.
    QStringList Labels() const
    {
        QStringList out;
        for (const DrawnText& t : texts)
            if (t.x == 8) out << t.text;
        return out;
    }
    // The hex texts, in drawing order.
    QStringList Hex() const
    {
        QStringList out;
        for (const DrawnText& t : texts)
            if (t.x >= 62 && t.x <= 422) out << t.text;
        return out;
    }
    std::vector<DrawnText> texts;
    std::vector<QLine> lines;
};

// A buffer whose every 16-byte row starts with its row number (below 0xF0,
// so that the image holds no 0xFF).
QByteArray Pattern(int size)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i) bytes[i] = char(i % 16 == 0 ? (i / 16) % 0xF0 : 0x41 + i % 16);
    return bytes;
}

QString Hex2(int value) { return QStringLiteral("%1").arg(value & 0xFF, 2, 16, QLatin1Char('0')).toUpper(); }

}  // namespace

class ViewTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void editBufferDrawsOnePageInTheFrame();
    void upAndDownFollowTheWorkedSequence();
    void repaintWithoutPagingRedrawsTheSamePage();
    void downStopsAtTheEndOfTheBuffer();
    void charactersAndScreenPixels();
    void printsToPdf();
    void panelAfterLoadAndRead();

private:
    void Paint();
    std::unique_ptr<GuiHarness> m_gui;
    CVexoWriterView* m_view = nullptr;
    RecordingCanvas m_canvas;
};

void ViewTest::init()
{
    m_gui = std::make_unique<GuiHarness>();
    QVERIFY(m_gui->started);
    m_view = m_gui->app->m_pView;
    m_view->SetCanvasTap(&m_canvas);
    // A known image in the buffer, loaded the operator's way.
    m_gui->answerer.files = {m_gui->WriteFile(QStringLiteral("pattern.bin"), Pattern(0x1000))};
    m_gui->ClickButton(ID_OPEN_BIN);
    QCOMPARE(m_gui->answerer.Take(), QStringList());
}

void ViewTest::cleanup()
{
    m_view->SetCanvasTap(nullptr);
    m_gui.reset();
}

void ViewTest::Paint()
{
    m_canvas.Clear();
    m_view->repaint();
}

void ViewTest::editBufferDrawsOnePageInTheFrame()
{
    Paint();
    QVERIFY(m_canvas.texts.empty());  // blank until Edit Buffer
    QCOMPARE(m_view->m_nEndOffset, 384);

    m_gui->ClickButton(ID_EDIT_BUFFER);
    QCOMPARE(m_view->m_bShowDump, 1);
    Paint();
    // 384 bytes, two texts each, plus the heading and 24 row labels.
    QCOMPARE(int(m_canvas.texts.size()), 384 * 2 + 1 + 24);
    const DrawnText& first = m_canvas.texts[0];
    QCOMPARE(first.text, QStringLiteral("ADD    :"));
    QCOMPARE(QPoint(first.x, first.y), QPoint(8, 8));
    QCOMPARE(QPoint(m_canvas.texts[1].x, m_canvas.texts[1].y), QPoint(62, 8));
    QCOMPARE(QPoint(m_canvas.texts[2].x, m_canvas.texts[2].y), QPoint(460, 8));
    // Byte 15 of row 0 sits in the last columns.
    QCOMPARE(QPoint(m_canvas.texts[31].x, m_canvas.texts[32].x), QPoint(62 + 24 * 15, 460 + 10 * 15));
    const QStringList labels = m_canvas.Labels();
    QCOMPARE(labels.size(), 25);
    QCOMPARE(labels[1], QStringLiteral("00010 : "));
    QCOMPARE(labels[24], QStringLiteral("00180 : "));
    QCOMPARE(m_canvas.texts.back().y, 8 + 15 * 24);  // on the frame's bottom line

    const std::vector<QLine> frame{{5, 5, 630, 5},     {630, 5, 630, 368}, {630, 368, 5, 368},
                                   {5, 368, 5, 5},     {448, 5, 448, 368}, {452, 5, 452, 368}};
    QCOMPARE(m_canvas.lines, frame);

    // Clear Window blanks the view and keeps the offsets.
    m_gui->Frame()->Action(ID_CLEAR_WINDOW)->trigger();
    Paint();
    QVERIFY(m_canvas.texts.empty() && m_canvas.lines.empty());
    QCOMPARE(m_view->m_nEndOffset, 384);
}

void ViewTest::upAndDownFollowTheWorkedSequence()
{
    m_gui->ClickButton(ID_EDIT_BUFFER);
    Paint();
    QCOMPARE(m_canvas.Hex().first(), Hex2(0));

    QTest::keyClick(m_view, Qt::Key_Down);
    QCOMPARE(m_view->m_nEndOffset, 768);
    Paint();
    QCOMPARE(m_canvas.Hex().size(), 384);
    QCOMPARE(m_canvas.Hex().first(), Hex2(0x180 / 16));
    QCOMPARE(m_canvas.Labels().at(1), QStringLiteral("00190 : "));
    QCOMPARE(m_view->m_nStartOffset, 384);

    QTest::keyClick(m_view, Qt::Key_Up);
    QCOMPARE(m_view->m_nEndOffset, 384);
    QCOMPARE(m_view->m_nStartOffset, 0);
    Paint();
    QCOMPARE(m_canvas.Labels().at(1), QStringLiteral("00010 : "));

    // Up on the first page blanks the view.
    QTest::keyClick(m_view, Qt::Key_Up);
    QCOMPARE(m_view->m_nEndOffset, 0);
    QCOMPARE(m_view->m_nStartOffset, 0);
    QCOMPARE(m_view->m_bShowDump, 0);
    Paint();
    QVERIFY(m_canvas.texts.empty());
    QTest::keyClick(m_view, Qt::Key_Up);
    QCOMPARE(m_view->m_nEndOffset, 0);

    QTest::keyClick(m_view, Qt::Key_Down);
    QCOMPARE(m_view->m_nEndOffset, 384);
    Paint();
    QCOMPARE(m_canvas.Hex().first(), Hex2(0));

    // Clear Window then Down shows the page after the one last shown.
    m_gui->Frame()->Action(ID_CLEAR_WINDOW)->trigger();
    QTest::keyClick(m_view, Qt::Key_Down);
    Paint();
    QCOMPARE(m_canvas.Labels().at(1), QStringLiteral("00190 : "));

    // Other keys change nothing.
    QTest::keyClick(m_view, Qt::Key_PageDown);
    QCOMPARE(m_view->m_nEndOffset, 768);
}

void ViewTest::repaintWithoutPagingRedrawsTheSamePage()
{
    m_gui->ClickButton(ID_EDIT_BUFFER);
    QTest::keyClick(m_view, Qt::Key_Down);
    Paint();
    const auto firstTexts = m_canvas.Hex();
    Paint();  // uncovered, resized...
    QCOMPARE(m_canvas.Hex(), firstTexts);
    m_gui->ClickButton(ID_EDIT_BUFFER);  // a second Edit Buffer
    Paint();
    QCOMPARE(m_canvas.Hex(), firstTexts);
    QCOMPARE(m_view->m_nEndOffset, 768);
}

void ViewTest::downStopsAtTheEndOfTheBuffer()
{
    const std::int32_t end = std::int32_t(vexo::kBufferSize);
    m_gui->Rom().m_Buffer[vexo::kBufferSize - 1] = 0x5A;
    m_view->m_nEndOffset = end / 384 * 384;  // the last whole page of the grid
    m_gui->ClickButton(ID_EDIT_BUFFER);
    QTest::keyClick(m_view, Qt::Key_Down);
    QCOMPARE(m_view->m_nEndOffset, end);
    QTest::keyClick(m_view, Qt::Key_Down);
    QCOMPARE(m_view->m_nEndOffset, end);
    Paint();
    QCOMPARE(m_canvas.Hex().size(), 384);
    QCOMPARE(m_canvas.Hex().last(), QStringLiteral("5A"));
    QCOMPARE(m_canvas.Labels().at(1), QStringLiteral("FFFE90 : "));  // six digits up here
    QCOMPARE(m_canvas.Labels().last(), QStringLiteral("1000000 : "));
    // Up goes back onto the page grid.
    QTest::keyClick(m_view, Qt::Key_Up);
    QCOMPARE(m_view->m_nEndOffset, end / 384 * 384);
}

void ViewTest::charactersAndScreenPixels()
{
    QCOMPARE(DumpCharacter(0x41), QStringLiteral("A"));
    QCOMPARE(DumpCharacter(0x00), QStringLiteral("."));
    QCOMPARE(DumpCharacter(0xFF), QStringLiteral("."));
    QCOMPARE(DumpCharacter(0x0D), QString(QChar(0x0D)));
    QCOMPARE(DumpCharacter(0x80), QString(QChar(0x20AC)));

    m_view->resize(640, 380);
    QImage blank = m_view->grab().toImage();
    const auto inkAt = [](const QImage& image, int x, int y) { return qGray(image.pixel(x, y)) < 128; };
    QVERIFY(!inkAt(blank, 5, 100));
    m_gui->ClickButton(ID_EDIT_BUFFER);
    const QImage shown = m_view->grab().toImage().scaled(m_view->size());
    QVERIFY(inkAt(shown, 5, 100));     // the frame's left line
    QVERIFY(inkAt(shown, 448, 100));   // the separator
    QVERIFY(!inkAt(shown, 450, 100));  // between its two lines
}

void ViewTest::printsToPdf()
{
    m_gui->ClickButton(ID_EDIT_BUFFER);
    const QString path = m_gui->dir.filePath(QStringLiteral("dump.pdf"));
    QVERIFY(m_view->PrintToPdf(path));
    QFile pdf(path);
    QVERIFY(pdf.open(QIODevice::ReadOnly));
    QVERIFY(pdf.read(5) == "%PDF-");
    QVERIFY(pdf.size() > 1000);
    // Printing changes nothing on screen.
    QCOMPARE(m_view->m_nEndOffset, 384);
    QCOMPARE(m_view->m_bShowDump, 1);
}

void ViewTest::panelAfterLoadAndRead()
{
    CInfoDlg* panel = m_gui->app->m_pInfoDlg;
    const auto endText = [panel] { return panel->m_pEdit[5]->text(); };
    // pattern.bin holds no 0xFF: the end address kept its start text.
    QCOMPARE(panel->m_pEdit[1]->text(), QStringLiteral("pattern.bin"));
    QCOMPARE(endText(), QStringLiteral("007FFFH"));

    QByteArray image(0x2000, '\x11');
    image[0x1234] = char(0xFF);
    m_gui->answerer.files = {m_gui->WriteFile(QStringLiteral("end.bin"), image)};
    m_gui->ClickButton(ID_OPEN_BIN);
    QCOMPARE(panel->m_pEdit[1]->text(), QStringLiteral("end.bin"));
    QCOMPARE(endText(), QStringLiteral("01234"));

    // Cancel in the chooser: no name, and the load's failure box.
    m_gui->ClickButton(ID_OPEN_BIN);
    QCOMPARE(m_gui->answerer.Take(), QStringList{"Faild File Loading..."});
    QCOMPARE(panel->m_pEdit[1]->text(), QString());

    // Read ROM of a chip whose first 0xFF is at 0x8000.
    for (std::uint32_t a = 0; a < 0x8000; ++a) m_gui->Sim()->SetChipByte(a, 0x22);
    m_gui->Rom().m_nDevice = 1;
    m_gui->ClickButton(ID_READ_ROM);
    QCOMPARE(m_gui->answerer.Take(), (QStringList{"*** Start Reading ***", "Reading OK"}));
    QCOMPARE(endText(), QStringLiteral("07FFF"));
    QCOMPARE(m_gui->Rom().m_Buffer[0x7FFF], std::uint8_t(0x22));

    // A port selection makes the next read possible; a blank chip reads as -1.
    for (std::uint32_t a = 0; a < 0x8000; ++a) m_gui->Sim()->SetChipByte(a, 0xFF);
    m_gui->Frame()->Action(ID_LPT_PORT)->trigger();
    GuiHarness::Click(m_gui->app->m_pPortDlg->OkButton());
    m_gui->ClickButton(ID_READ_ROM);
    QCOMPARE(m_gui->answerer.Take(), (QStringList{"Module found!!", "*** Start Reading ***", "Reading OK"}));
    QCOMPARE(endText(), QStringLiteral("FFFFFFFF"));
}

QTEST_MAIN(ViewTest)
#include "test_view.moc"
