// SPDX-License-Identifier: GPL-3.0-or-later
// The view as a buffer editor: go to, find with its highlight, the editing
// keys and the mouse, undo and redo, and the title's "*".
#include <QApplication>
#include <QMenuBar>

#include <cstring>

#include "app/command_ids.h"
#include "gui_harness.h"
#include "dialogs/buffer_dialogs.h"
#include "rom/buffer_ops.h"

#include <QInputDialog>
#include <QTimer>
#include "view/vexowriter_view.h"

using namespace vexo::gui;
using vexo::gui::test::GuiHarness;

class ViewEditTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void goToPutsTheRowOnTop();
    void findHighlightsAndWraps();
    void editingKeysMoveTheCaretAndTypeBytes();
    void undoRedoAndTheTitleMarker();
    void mouseDragSelects();
    void keysUnchangedWithEditingOff();
    void marksAreDrawnUnderAnUnchangedLayout();
    void promptsGoThroughTheParsers();

private:
    std::uint8_t Byte(std::uint32_t a) const { return m_gui->Rom().m_Buffer[a]; }
    std::unique_ptr<GuiHarness> m_gui;
    CVexoWriterView* m_view = nullptr;
};

void ViewEditTest::init()
{
    m_gui = std::make_unique<GuiHarness>();
    QVERIFY(m_gui->started);
    m_view = m_gui->app->m_pView;
    QByteArray image(0x1000, '\x11');
    image.replace(0x234, 4, QByteArray::fromHex("DEADBEEF"));
    image.replace(0x800, 5, "Hello");
    m_gui->answerer.files = {m_gui->WriteFile(QStringLiteral("image.bin"), image)};
    m_gui->ClickButton(ID_OPEN_BIN);
    QCOMPARE(m_gui->answerer.Take(), QStringList());
}

void ViewEditTest::cleanup()
{
    m_gui.reset();
}

void ViewEditTest::goToPutsTheRowOnTop()
{
    m_view->GoToAddress(0xABCDE);
    QCOMPARE(m_view->m_bShowDump, 1);
    QCOMPARE(m_view->FirstDrawnOffset(), 0xABCD0);
    QCOMPARE(m_view->m_nEndOffset, 0xABCD0 + 384);
    // Near the end the last page stays whole and shows the address.
    m_view->GoToAddress(vexo::kBufferSize - 1);
    QCOMPARE(m_view->m_nEndOffset, std::int32_t(vexo::kBufferSize));
    m_view->GoToAddress(0);
    QCOMPARE(m_view->m_nEndOffset, 384);
}

void ViewEditTest::findHighlightsAndWraps()
{
    QVERIFY(m_view->FindNext(QStringLiteral("DE AD BE EF")));
    QCOMPARE(m_view->FindMatch()->first, 0x234u);
    QCOMPARE(m_view->FindMatch()->last, 0x237u);
    QCOMPARE(m_view->FirstDrawnOffset(), 0x230);
    QVERIFY(m_view->FindNext(QStringLiteral("Hello")));
    QCOMPARE(m_view->FindMatch()->first, 0x800u);
    // F3 goes round to the first match again.
    m_gui->Rom().m_Buffer[0x900000] = 'H';
    std::memcpy(&m_gui->Rom().m_Buffer[0x900000], "Hello", 5);
    QTest::keyClick(m_view, Qt::Key_F3);
    QCOMPARE(m_view->FindMatch()->first, 0x900000u);
    QTest::keyClick(m_view, Qt::Key_F3);
    QCOMPARE(m_view->FindMatch()->first, 0x800u);
    QCOMPARE(m_gui->answerer.Take(), QStringList());
    QVERIFY(!m_view->FindNext(QStringLiteral("no such text")));
    QCOMPARE(m_gui->answerer.Take(), QStringList{"Not found."});
    QVERIFY(!m_view->FindMatch());
}

void ViewEditTest::editingKeysMoveTheCaretAndTypeBytes()
{
    m_view->SetEditing(true);
    QVERIFY(m_view->EditActions().first()->isChecked());
    QCOMPARE(m_view->Caret(), 0u);
    QTest::keyClick(m_view, Qt::Key_Right);
    QTest::keyClick(m_view, Qt::Key_Down);
    QCOMPARE(m_view->Caret(), 17u);
    QTest::keyClick(m_view, Qt::Key_Left);
    QTest::keyClick(m_view, Qt::Key_Left);
    QTest::keyClick(m_view, Qt::Key_Left);
    QCOMPARE(m_view->Caret(), 14u);
    QTest::keyClick(m_view, Qt::Key_Up);  // stops at the buffer's start
    QCOMPARE(m_view->Caret(), 0u);
    QCOMPARE(m_view->m_nEndOffset, 384);

    // Down past the page: the view follows a row at a time; PgDn a page.
    for (int i = 0; i < 24; ++i) QTest::keyClick(m_view, Qt::Key_Down);
    QCOMPARE(m_view->Caret(), 384u);
    QCOMPARE(m_view->m_nEndOffset, 400);
    QTest::keyClick(m_view, Qt::Key_PageDown);
    QCOMPARE(m_view->Caret(), 768u);
    QVERIFY(std::int32_t(m_view->Caret()) < m_view->m_nEndOffset);
    QTest::keyClick(m_view, Qt::Key_PageUp);
    QTest::keyClick(m_view, Qt::Key_PageUp);
    QCOMPARE(m_view->Caret(), 0u);
    QCOMPARE(m_view->FirstDrawnOffset(), 0);

    // Two digits write a byte and move on; a lone digit writes nothing.
    QTest::keyClicks(m_view, QStringLiteral("a5"));
    QCOMPARE(Byte(0), std::uint8_t(0xA5));
    QCOMPARE(m_view->Caret(), 1u);
    QTest::keyClicks(m_view, QStringLiteral("3"));
    QCOMPARE(Byte(1), std::uint8_t(0x11));
    QTest::keyClick(m_view, Qt::Key_Right);  // moving drops the half-typed byte
    QTest::keyClicks(m_view, QStringLiteral("0g"));
    QCOMPARE(Byte(2), std::uint8_t(0x11));

    // Shift+arrows select.
    QTest::keyClick(m_view, Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(m_view, Qt::Key_Down, Qt::ShiftModifier);
    QCOMPARE(m_view->Selection()->first, 2u);
    QCOMPARE(m_view->Selection()->last, 19u);
    QTest::keyClick(m_view, Qt::Key_Left);
    QVERIFY(!m_view->Selection());
}

void ViewEditTest::undoRedoAndTheTitleMarker()
{
    const QString title = m_gui->ShownTitle();
    QVERIFY(!title.startsWith(QLatin1Char('*')));
    m_view->SetEditing(true);
    QTest::keyClicks(m_view, QStringLiteral("0102"));
    QCOMPARE(m_gui->ShownTitle(), QLatin1Char('*') + title);
    // The caption set again meanwhile keeps the marker.
    m_gui->Frame()->SetSimulated(true);
    QCOMPARE(m_gui->ShownTitle(), QLatin1Char('*') + title);
    // A buffer operation through the view's history; a refused one is told.
    QVERIFY(m_view->RunBufferOperation([](vexo::CRom& rom, vexo::EditHistory* h) {
        return vexo::Fill(rom, {0x100, 0x1FF}, 0x00, h);
    }));
    QCOMPARE(Byte(0x1FF), std::uint8_t(0x00));
    QVERIFY(!m_view->RunBufferOperation([](vexo::CRom& rom, vexo::EditHistory* h) {
        return vexo::Fill(rom, {0x200, 0x1000000}, 0x00, h);
    }));
    QCOMPARE(m_gui->answerer.Take().size(), 1);

    QTest::keyClick(m_view, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(Byte(0x1FF), std::uint8_t(0x11));
    QTest::keyClick(m_view, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(Byte(1), std::uint8_t(0x11));
    QCOMPARE(Byte(0), std::uint8_t(0x01));
    QTest::keyClick(m_view, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(Byte(0), std::uint8_t(0x11));
    QCOMPARE(m_gui->ShownTitle(), title);
    QTest::keyClick(m_view, Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(Byte(0), std::uint8_t(0x01));
    QCOMPARE(m_gui->ShownTitle(), QLatin1Char('*') + title);

    // A load starts anew: clean, nothing to undo.
    m_gui->answerer.files = {m_gui->WriteFile(QStringLiteral("other.bin"), QByteArray(16, '\x22'))};
    m_gui->ClickButton(ID_OPEN_BIN);
    QCOMPARE(m_gui->ShownTitle(), title);
    QVERIFY(!m_view->Undo());
    QCOMPARE(Byte(0), std::uint8_t(0x22));
}

void ViewEditTest::mouseDragSelects()
{
    m_view->SetEditing(true);
    m_view->resize(640, 380);
    // Row 1, column 2 of the hex column, dragged to row 2, column 3 of the characters.
    const QPoint from(62 + 24 * 2 + 3, 8 + 15 + 4);
    const QPoint to(460 + 10 * 3 + 2, 8 + 30 + 4);
    QCOMPARE(*m_view->ByteAt(from), 18u);
    QCOMPARE(*m_view->ByteAt(to), 35u);
    QVERIFY(!m_view->ByteAt(QPoint(450, 20)));
    QTest::mousePress(m_view, Qt::LeftButton, {}, from);
    QMouseEvent move(QEvent::MouseMove, QPointF(to), m_view->mapToGlobal(QPointF(to)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_view, &move);
    QTest::mouseRelease(m_view, Qt::LeftButton, {}, to);
    QCOMPARE(m_view->Selection()->first, 18u);
    QCOMPARE(m_view->Selection()->last, 35u);
    QCOMPARE(m_view->Caret(), 35u);
}

void ViewEditTest::keysUnchangedWithEditingOff()
{
    m_gui->ClickButton(ID_EDIT_BUFFER);
    QTest::keyClick(m_view, Qt::Key_Down);
    QCOMPARE(m_view->m_nEndOffset, 768);
    QTest::keyClicks(m_view, QStringLiteral("ab"));
    QCOMPARE(Byte(0x300), std::uint8_t(0x11));
    QTest::keyClick(m_view, Qt::Key_Right);
    QTest::keyClick(m_view, Qt::Key_PageDown);
    QCOMPARE(m_view->m_nEndOffset, 768);
    QVERIFY(!m_view->Selection());
    m_view->SetEditing(true);
    m_view->SetEditing(false);
    QTest::keyClick(m_view, Qt::Key_Up);
    QCOMPARE(m_view->m_nEndOffset, 384);
}

namespace {

class TextTap final : public IDumpCanvas {
public:
    void TextOut(int x, int y, const QString& text) override
    {
        texts << QStringLiteral("%1,%2,%3").arg(x).arg(y).arg(text);
    }
    void Line(int, int, int, int) override {}
    QStringList texts;
};

int CountColour(const QImage& image, QRect area, QRgb colour)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += (image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF);
    return n;
}

}  // namespace

void ViewEditTest::marksAreDrawnUnderAnUnchangedLayout()
{
    m_gui->Frame()->show();
    m_view->resize(640, 380);
    TextTap plain;
    QVERIFY(m_view->FindNext(QStringLiteral("DE AD BE EF")));
    m_view->SetCanvasTap(&plain);
    m_view->repaint();

    m_view->SetEditing(true);
    m_view->GoToAddress(0x238);
    QTest::keyClick(m_view, Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(m_view, Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(m_view, Qt::Key_Down, Qt::ShiftModifier);
    TextTap marked;
    m_view->SetCanvasTap(&marked);
    m_view->repaint();
    m_view->SetCanvasTap(nullptr);
    QCOMPARE(marked.texts, plain.texts);  // the same texts at the same points

    const QImage image = m_view->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QRect matchCell(62 + 24 * 4, 8, 16, 14);          // 0x234, row 0
    const QRect selectedCell(62 + 24 * 5, 8 + 15, 16, 14);  // 0x245, row 1
    QVERIFY(CountColour(image, matchCell, qRgb(255, 230, 120)) > 20);
    QVERIFY(CountColour(image, selectedCell, qRgb(170, 200, 255)) > 20);
    // The text is drawn over the marks.
    int ink = 0;
    for (int y = matchCell.top(); y <= matchCell.bottom(); ++y)
        for (int x = matchCell.left(); x <= matchCell.right(); ++x)
            ink += qGray(image.pixel(x, y)) < 100;
    QVERIFY(ink > 0);

    // For the record: the window while editing.
    const QByteArray shot = qgetenv("VEXO_EDIT_SCREENSHOT");
    if (!shot.isEmpty()) QVERIFY(m_gui->Frame()->grab().save(QString::fromLocal8Bit(shot)));
}

namespace {

// Answers the next line prompt: `text` and OK, or Cancel when null. Returns
// what the prompt showed first.
std::shared_ptr<QString> AnswerPrompt(const QString& text)
{
    auto shown = std::make_shared<QString>();
    QTimer::singleShot(0, [text, shown] {
        auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        *shown = dialog->textValue();
        if (text.isNull()) {
            dialog->reject();
            return;
        }
        dialog->setTextValue(text);
        dialog->accept();
    });
    return shown;
}

}  // namespace

void ViewEditTest::promptsGoThroughTheParsers()
{
    m_gui->Frame()->show();
    AnswerPrompt(QStringLiteral("0x12345"));
    QTest::keyClick(m_view, Qt::Key_G, Qt::ControlModifier);
    QCOMPARE(m_view->FirstDrawnOffset(), 0x12340);
    AnswerPrompt(QStringLiteral("0x1000000"));
    QTest::keyClick(m_view, Qt::Key_G, Qt::ControlModifier);
    QCOMPARE(m_gui->answerer.Take().size(), 1);  // told, and nothing moved
    QCOMPARE(m_view->FirstDrawnOffset(), 0x12340);
    AnswerPrompt(QStringLiteral("de ad"));
    QTest::keyClick(m_view, Qt::Key_F, Qt::ControlModifier);
    QCOMPARE(m_view->FindMatch()->first, 0x234u);

    // Fill starts from the selection; the byte is typed.
    const auto shown = AnswerPrompt(QStringLiteral("0x10 0x1F 0xAA"));
    const auto fill = AskFillArgs(m_view, vexo::BufferRange{0x10, 0x1F});
    QCOMPARE(*shown, QStringLiteral("0x000010 0x00001F "));
    QVERIFY(fill && fill->ok());
    QCOMPARE((*fill)->value, std::uint8_t(0xAA));
    AnswerPrompt(QStringLiteral("0x10 0x1F"));
    const auto bad = AskFillArgs(m_view, std::nullopt);
    QVERIFY(bad && !bad->ok());
    AnswerPrompt(QString());
    QVERIFY(!AskOffset(m_view));
    AnswerPrompt(QStringLiteral(" 0x8000 "));
    QCOMPARE(**AskOffset(m_view), 0x8000u);
    AnswerPrompt(QStringLiteral("0 0xFFFF"));
    const auto range = AskRange(m_view, {0, 0x7FFF});
    QCOMPARE((*range)->last, 0xFFFFu);
}

QTEST_MAIN(ViewEditTest)
#include "test_view_edit.moc"
