// SPDX-License-Identifier: GPL-3.0-or-later
// The main window as a technician's workbench: the question before a
// modified buffer is replaced, undo that says why, Go To and Find in hex,
// the Fill fields, the byte editor's keys, the Tools menu and a dark desktop.
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>

#include "app/command_ids.h"
#include "dialogs/buffer_dialogs.h"
#include "gui_harness.h"
#include "res/pictures.h"
#include "session/session.h"
#include "view/vexowriter_view.h"

using namespace vexo::gui;
using vexo::gui::test::GuiHarness;

namespace {

const QString kUnsaved = QStringLiteral("The buffer has changes that are not saved. Export them first?");

// Answers the next line prompt with `text` and OK, or Cancel when null;
// returns what the prompt showed first.
std::shared_ptr<QString> AnswerPrompt(const QString& text)
{
    auto shown = std::make_shared<QString>();
    QTimer::singleShot(0, [text, shown] {
        auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        *shown = dialog->textValue();
        if (text.isNull()) return dialog->reject();
        dialog->setTextValue(text);
        dialog->accept();
    });
    return shown;
}

// Answers the Find dialog: the entry, how it is read (the list's index) and Ignore case.
std::shared_ptr<QString> AnswerFind(const QString& text, int mode, bool ignoreCase)
{
    auto shown = std::make_shared<QString>();
    QTimer::singleShot(0, [=] {
        auto* dialog = qobject_cast<FindDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        *shown = dialog->textValue();
        dialog->findChild<QComboBox*>(QStringLiteral("FindMode"))->setCurrentIndex(mode);
        dialog->findChild<QCheckBox*>(QStringLiteral("FindIgnoreCase"))->setChecked(ignoreCase);
        dialog->setTextValue(text);
        dialog->accept();
    });
    return shown;
}

int CountColour(const QImage& image, QRect area, QRgb colour)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += (image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF);
    return n;
}

QRect Cell(int column, int row) { return QRect(62 + 24 * column, 8 + 15 * row, 16, 14); }

}  // namespace

class WorkbenchTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void aModifiedBufferIsNeverReplacedWithoutAQuestion();
    void undoSaysWhyAndFollowsTheChange();
    void goToReadsHexAndMarksTheByte();
    void findReadsHexOrTextAndSaysWhatItDid();
    void fillFieldsAreCheckedAsTyped();
    void editorKeysOfAHexEditor();
    void copyPasteAndTheCharacterColumn();
    void dragReleaseAndChangedMarks();
    void toolsMenuGroupsAndAltT();
    void darkPaletteKeepsButtonsReadableAndThePageWhite();

private:
    std::uint8_t Byte(std::uint32_t a) const { return m_gui->Rom().m_Buffer[a]; }
    QString StatusText() const { return m_gui->Frame()->m_wndStatus->currentMessage(); }
    std::unique_ptr<GuiHarness> m_gui;
    CVexoWriterView* m_view = nullptr;
    QString m_image;
};

void WorkbenchTest::init()
{
    m_gui = std::make_unique<GuiHarness>();
    QVERIFY(m_gui->started);
    m_view = m_gui->app->m_pView;
    QByteArray image(0x1000, '\x11');
    image.replace(0x234, 4, QByteArray::fromHex("DEADBEEF"));
    image.replace(0x800, 5, "Hello");
    m_image = m_gui->WriteFile(QStringLiteral("image.bin"), image);
    m_gui->answerer.files = {m_image};
    m_gui->ClickButton(ID_OPEN_BIN);
    QCOMPARE(m_gui->answerer.Take(), QStringList());
}

void WorkbenchTest::cleanup() { m_gui.reset(); }

void WorkbenchTest::aModifiedBufferIsNeverReplacedWithoutAQuestion()
{
    auto& answerer = m_gui->answerer;
    const QString other = m_gui->WriteFile(QStringLiteral("other.bin"), QByteArray(16, '\x22'));
    // Unmodified: no question, the load as before.
    answerer.files = {other};
    m_gui->ClickButton(ID_OPEN_BIN);
    QCOMPARE(answerer.questions, QStringList());
    QCOMPARE(Byte(0), std::uint8_t(0x22));

    m_view->SetEditing(true);
    QTest::keyClicks(m_view, QStringLiteral("55"));
    QVERIFY(m_view->IsModified());

    // Cancel: Open BIN File, Read ROM, Merge, Load at Offset and Quit stop there.
    answerer.files = {m_image};
    for (int id : {int(ID_OPEN_BIN), int(ID_READ_ROM), int(ID_BUFFER_MERGE), int(ID_BUFFER_LOAD_AT), int(ID_QUIT)}) {
        answerer.choices = {2};
        m_gui->Frame()->Action(id)->trigger();
        QCOMPARE(answerer.questions, QStringList{kUnsaved});
        answerer.questions.clear();
        QCOMPARE(Byte(0), std::uint8_t(0x55));
    }
    QCOMPARE(answerer.files.size(), 1);  // no chooser was opened
    QCOMPARE(answerer.Take(), QStringList());

    // Export...: the device's range is written, then the load goes ahead.
    const QString saved = m_gui->dir.filePath(QStringLiteral("saved.bin"));
    answerer.choices = {0};
    answerer.files = {saved, m_image};
    m_gui->ClickButton(ID_OPEN_BIN);
    QFile file(saved);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.read(1), QByteArray("\x55", 1));
    QCOMPARE(Byte(0), std::uint8_t(0x11));
    QVERIFY(!m_view->IsModified());

    // Export... cancelled at the chooser: nothing loads.
    m_view->GoToAddress(0);
    QTest::keyClicks(m_view, QStringLiteral("66"));
    answerer.choices = {0};
    answerer.files = {QString(), other};
    m_gui->ClickButton(ID_OPEN_BIN);
    QCOMPARE(Byte(0), std::uint8_t(0x66));

    // Discard: the load.
    answerer.choices = {1};
    answerer.files = {other};
    m_gui->ClickButton(ID_OPEN_BIN);
    QCOMPARE(Byte(0), std::uint8_t(0x22));

    // Quit: the seed's own question follows the answer.
    QTest::keyClicks(m_view, QStringLiteral("77"));
    answerer.questions.clear();
    answerer.choices = {1};
    answerer.answers = {false};
    m_gui->ClickButton(ID_QUIT);
    QCOMPARE(answerer.questions.size(), 2);
    QCOMPARE(answerer.questions.first(), kUnsaved);

    // The window's close button asks too; Cancel keeps the window and the bytes.
    answerer.questions.clear();
    answerer.choices = {2};
    QVERIFY(!m_gui->Frame()->close());
    QCOMPARE(answerer.questions, QStringList{kUnsaved});
    QVERIFY(m_view->IsModified());
    QVERIFY(m_gui->Frame()->isVisible());
}

void WorkbenchTest::undoSaysWhyAndFollowsTheChange()
{
    QAction* undo = m_gui->Frame()->Action(ID_UNDO);
    QAction* redo = m_gui->Frame()->Action(ID_REDO);
    QVERIFY(!undo->isEnabled());
    QVERIFY(!redo->isEnabled());
    QVERIFY(!m_view->Undo());
    QCOMPARE(StatusText(), QStringLiteral("Nothing to undo: the buffer was replaced by Open BIN File."));

    m_view->SetEditing(true);
    m_view->GoToAddress(0x500);
    QTest::keyClicks(m_view, QStringLiteral("77"));
    QVERIFY(undo->isEnabled());
    QVERIFY(!redo->isEnabled());
    m_view->GoToAddress(0x20);
    QTest::keyClick(m_view, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(Byte(0x500), std::uint8_t(0x11));
    QCOMPARE(m_view->Caret(), 0x500u);  // the caret goes to the change
    QVERIFY(!undo->isEnabled());
    QVERIFY(redo->isEnabled());
    m_view->GoToAddress(0x20);
    QTest::keyClick(m_view, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(Byte(0x500), std::uint8_t(0x77));
    QCOMPARE(m_view->Caret(), 0x500u);
    QVERIFY(!m_view->Redo());
    QCOMPARE(StatusText(), QStringLiteral("Nothing to redo."));

    // After a read the reason names it.
    m_view->SetEditing(false);
    m_gui->answerer.choices = {1};
    m_gui->ClickButton(ID_READ_ROM);
    m_gui->answerer.Take();
    QVERIFY(!m_view->Undo());
    QCOMPARE(StatusText(), QStringLiteral("Nothing to undo: the buffer was replaced by Read ROM."));
}

void WorkbenchTest::goToReadsHexAndMarksTheByte()
{
    m_gui->Frame()->show();
    m_view->resize(640, 380);
    const struct {
        const char* entry;
        std::uint32_t address;
    } cases[] = {{"4000", 0x4000}, {"0x4010", 0x4010}, {"4020h", 0x4020}, {"#16432", 0x4030}, {"d16448", 0x4040},
                 {"4045", 0x4045}};
    for (const auto& c : cases) {
        AnswerPrompt(QString::fromLatin1(c.entry));
        QTest::keyClick(m_view, Qt::Key_G, Qt::ControlModifier);
        QCOMPARE(m_view->FirstDrawnOffset(), std::int32_t(c.address & ~15u));
        QCOMPARE(m_view->GoToMark().value_or(0), c.address);
    }
    QCOMPARE(StatusText(), QStringLiteral("Address 0x04045"));
    const QImage image = m_view->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QVERIFY(CountColour(image, Cell(5, 0), qRgb(255, 200, 120)) > 20);
    QCOMPARE(CountColour(image, Cell(4, 0), qRgb(255, 200, 120)), 0);

    // The last entry is offered again; a bad one is told with the range.
    const auto shown = AnswerPrompt(QStringLiteral("12G"));
    QTest::keyClick(m_view, Qt::Key_G, Qt::ControlModifier);
    QCOMPARE(*shown, QStringLiteral("4045"));
    QCOMPARE(m_gui->answerer.Take(),
             QStringList{"Bad address \"12G\": give 0 .. FFFFFF (hexadecimal; #16777215 for decimal)."});
    QCOMPARE(m_view->FirstDrawnOffset(), 0x4040);
}

void WorkbenchTest::findReadsHexOrTextAndSaysWhatItDid()
{
    m_gui->Frame()->show();
    AnswerFind(QStringLiteral("DEADBEEF"), 0, false);
    QTest::keyClick(m_view, Qt::Key_F, Qt::ControlModifier);
    QCOMPARE(m_view->FindMatch()->first, 0x234u);
    QCOMPARE(m_view->FindMatch()->last, 0x237u);
    // Only one: the next goes round and says so.
    QTest::keyClick(m_view, Qt::Key_F3);
    QCOMPARE(m_view->FindMatch()->first, 0x234u);
    QCOMPARE(StatusText(), QStringLiteral("Find wrapped to the start"));

    // Text, case ignored; the last entry is offered.
    const auto shown = AnswerFind(QStringLiteral("hELLO"), 2, true);
    QTest::keyClick(m_view, Qt::Key_F, Qt::ControlModifier);
    QCOMPARE(*shown, QStringLiteral("DEADBEEF"));
    QCOMPARE(m_view->FindMatch()->first, 0x800u);

    // Not found: the box as before, and what was searched and how it was read.
    AnswerFind(QStringLiteral("cafe"), 2, false);
    QTest::keyClick(m_view, Qt::Key_F, Qt::ControlModifier);
    QCOMPARE(m_gui->answerer.Take(), QStringList{"Not found."});
    QCOMPARE(StatusText(), QStringLiteral("Not found: \"cafe\" (read as text)"));
    QCOMPARE(m_gui->app->Ui().LastBoxDetails(), StatusText());
    AnswerFind(QStringLiteral("ca fe"), 0, false);
    QTest::keyClick(m_view, Qt::Key_F, Qt::ControlModifier);
    m_gui->answerer.Take();
    QCOMPARE(StatusText(), QStringLiteral("Not found: CA FE (read as hex bytes)"));
    // Hex only refuses what is not hex.
    AnswerFind(QStringLiteral("Hello"), 1, false);
    QTest::keyClick(m_view, Qt::Key_F, Qt::ControlModifier);
    QCOMPARE(m_gui->answerer.Take(), QStringList{"Not hex bytes: \"Hello\" (give e.g. DE AD BE EF)."});
}

void WorkbenchTest::fillFieldsAreCheckedAsTyped()
{
    FillDialog dialog(m_view, vexo::BufferRange{0x10, 0x1F});
    QCOMPARE(dialog.Field(0)->text(), QStringLiteral("0x000010"));
    QCOMPARE(dialog.Field(1)->text(), QStringLiteral("0x00001F"));
    QCOMPARE(dialog.Field(2)->text(), QString());
    dialog.show();
    QPushButton* ok = dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
    QVERIFY(!ok->isEnabled());
    QCOMPARE(dialog.Problem(), QStringLiteral("Give the Byte."));
    QTest::keyClicks(dialog.Field(2), QStringLiteral("1aa"));
    QVERIFY(!ok->isEnabled());
    QVERIFY(dialog.Problem().startsWith(QStringLiteral("Bad byte \"1aa\": give 0 .. FF")));
    dialog.Field(2)->setText(QStringLiteral("aa"));
    QVERIFY(ok->isEnabled());
    QCOMPARE(dialog.Problem(), QStringLiteral("Fills 16 bytes."));
    QCOMPARE(dialog.Args()->value, std::uint8_t(0xAA));
    dialog.Field(1)->setText(QStringLiteral("1000000"));
    QVERIFY(!ok->isEnabled());
    QVERIFY(dialog.Problem().startsWith(QStringLiteral("Bad end \"1000000\"")));
    dialog.Field(1)->setText(QStringLiteral("8"));
    QCOMPARE(dialog.Problem(), QStringLiteral("End is before Start."));
    // Enter on a bad entry keeps the dialog open with the input.
    QTest::keyClick(dialog.Field(1), Qt::Key_Return);
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.Field(1)->text(), QStringLiteral("8"));
    // The one-line value fills the fields, hexadecimal by default.
    dialog.setTextValue(QStringLiteral("100 1FF 5a"));
    QCOMPARE(dialog.Field(1)->text(), QStringLiteral("1FF"));
    QCOMPARE(dialog.Args()->range.first, 0x100u);
    QCOMPARE(dialog.Args()->range.last, 0x1FFu);
    QVERIFY(ok->isEnabled());
    dialog.reject();

    // Load at Offset and a checksum's range read hex too.
    AnswerPrompt(QStringLiteral("8000"));
    QCOMPARE(**AskOffset(m_view), 0x8000u);
    AnswerPrompt(QStringLiteral("#100"));
    QCOMPARE(**AskOffset(m_view), 100u);
    AnswerPrompt(QStringLiteral("1000000"));
    QCOMPARE(AskOffset(m_view)->message(),
             std::string("Bad offset \"1000000\": give 0 .. FFFFFF (hexadecimal; #16777215 for decimal)."));
    AnswerPrompt(QStringLiteral("100 1FF"));
    QCOMPARE((*AskRange(m_view, {0, 0x7FFF}))->last, 0x1FFu);
    AnswerPrompt(QStringLiteral("1FF 100"));
    QVERIFY(!AskRange(m_view, {0, 0x7FFF})->ok());

    // Through the menu: hex by default.
    m_gui->Frame()->show();
    AnswerPrompt(QStringLiteral("100 10F 5A"));
    m_gui->Frame()->Action(ID_BUFFER_FILL)->trigger();
    QCOMPARE(Byte(0x100), std::uint8_t(0x5A));
    QCOMPARE(Byte(0x10F), std::uint8_t(0x5A));
    QCOMPARE(Byte(0x110), std::uint8_t(0x11));
    QCOMPARE(Byte(0x64), std::uint8_t(0x11));
}

void WorkbenchTest::editorKeysOfAHexEditor()
{
    auto* pane = m_gui->Frame()->findChild<QLabel*>(QStringLiteral("PositionPane"));
    QVERIFY(pane);
    QVERIFY(pane->isHidden());
    m_view->SetEditing(true);
    QVERIFY(!pane->isHidden());
    QCOMPARE(pane->text(), QStringLiteral("Caret 0x00000"));

    // The first digit shows at once; Escape drops it.
    QTest::keyClicks(m_view, QStringLiteral("a"));
    QCOMPARE(m_view->PendingDigit(), 0xA);
    QTest::keyClick(m_view, Qt::Key_Escape);
    QCOMPARE(m_view->PendingDigit(), -1);
    QTest::keyClicks(m_view, QStringLiteral("5"));
    QTest::keyClick(m_view, Qt::Key_Escape);
    QTest::keyClicks(m_view, QStringLiteral("6"));
    QCOMPARE(Byte(0), std::uint8_t(0x11));
    QTest::keyClick(m_view, Qt::Key_Escape);

    m_view->GoToAddress(0x235);
    QTest::keyClick(m_view, Qt::Key_End);
    QCOMPARE(m_view->Caret(), 0x23Fu);
    QTest::keyClick(m_view, Qt::Key_Home);
    QCOMPARE(m_view->Caret(), 0x230u);
    const vexo::BufferRange device = m_gui->app->TheSession().DeviceRange();
    QTest::keyClick(m_view, Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(m_view->Caret(), device.last);
    QTest::keyClick(m_view, Qt::Key_Home, Qt::ControlModifier);
    QCOMPARE(m_view->Caret(), device.first);
    QTest::keyClick(m_view, Qt::Key_End, Qt::ShiftModifier);
    QCOMPARE(pane->text(), QStringLiteral("Caret 0x0000F  Selection 0x00000-0x0000F, 16 bytes"));
    QTest::keyClick(m_view, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(m_view->Selection()->first, device.first);
    QCOMPARE(m_view->Selection()->last, device.last);

    // With editing off, the seed's keys only.
    m_view->SetEditing(false);
    QVERIFY(pane->isHidden());
    const std::int32_t end = m_view->m_nEndOffset;
    for (int key : {int(Qt::Key_Home), int(Qt::Key_End), int(Qt::Key_Escape)}) QTest::keyClick(m_view, Qt::Key(key));
    QTest::keyClick(m_view, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(m_view, QStringLiteral("ab"));
    QCOMPARE(m_view->m_nEndOffset, end);
    QVERIFY(!m_view->IsModified());
}

void WorkbenchTest::copyPasteAndTheCharacterColumn()
{
    m_view->SetEditing(true);
    m_view->GoToAddress(0x234);
    for (int i = 0; i < 3; ++i) QTest::keyClick(m_view, Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(m_view, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("DE AD BE EF"));
    m_view->GoToAddress(0x800);
    for (int i = 0; i < 4; ++i) QTest::keyClick(m_view, Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(m_view, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("Hello"));

    QApplication::clipboard()->setText(QStringLiteral("01 02 0x03"));
    m_view->GoToAddress(0x300);
    QTest::keyClick(m_view, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(Byte(0x300), std::uint8_t(1));
    QCOMPARE(Byte(0x302), std::uint8_t(3));
    QCOMPARE(m_view->Caret(), 0x303u);
    QApplication::clipboard()->setText(QStringLiteral("not hex"));
    QTest::keyClick(m_view, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(m_gui->answerer.Take().size(), 1);
    QCOMPARE(Byte(0x303), std::uint8_t(0x11));

    // Tab: typing goes to the character column, and back.
    QTest::keyClick(m_view, Qt::Key_Tab);
    QVERIFY(m_view->InCharColumn());
    QTest::keyClicks(m_view, QStringLiteral("Hi!"));
    QCOMPARE(Byte(0x303), std::uint8_t('H'));
    QCOMPARE(Byte(0x305), std::uint8_t('!'));
    QTest::keyClick(m_view, Qt::Key_Tab);
    QVERIFY(!m_view->InCharColumn());
    QTest::keyClicks(m_view, QStringLiteral("7f"));
    QCOMPARE(Byte(0x306), std::uint8_t(0x7F));
}

void WorkbenchTest::dragReleaseAndChangedMarks()
{
    m_gui->Frame()->show();
    m_view->SetEditing(true);
    m_view->resize(640, 380);
    // Pressed on one byte, released on another without a move between: both
    // and everything between are selected.
    const QPoint from = Cell(2, 1).center(), to = Cell(3, 2).center();
    QTest::mousePress(m_view, Qt::LeftButton, {}, from);
    QTest::mouseRelease(m_view, Qt::LeftButton, {}, to);
    QCOMPARE(m_view->Selection()->first, 18u);
    QCOMPARE(m_view->Selection()->last, 35u);

    // A byte changed since the load is marked; its neighbours are not.
    m_view->GoToAddress(0x40);
    QTest::keyClicks(m_view, QStringLiteral("99"));
    m_view->GoToAddress(0);
    QImage image = m_view->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QVERIFY(CountColour(image, Cell(0, 4), qRgb(200, 240, 200)) > 20);
    QCOMPARE(CountColour(image, Cell(1, 4), qRgb(200, 240, 200)), 0);
    // The half-typed byte shows its digit over the byte.
    m_view->GoToAddress(0x41);
    QTest::keyClicks(m_view, QStringLiteral("c"));
    image = m_view->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QVERIFY(CountColour(image, Cell(1, 0), qRgb(255, 170, 170)) > 20);
    QTest::keyClick(m_view, Qt::Key_Z, Qt::ControlModifier);
    image = m_view->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(CountColour(image, Cell(0, 4), qRgb(200, 240, 200)), 0);
}

void WorkbenchTest::toolsMenuGroupsAndAltT()
{
    QMenu* tools = m_gui->Frame()->m_pToolsMenu;
    int separators = 0;
    for (QAction* a : tools->actions()) separators += a->isSeparator();
    QCOMPARE(separators, 3);
    QVERIFY(!tools->actions().first()->isSeparator());
    QVERIFY(!tools->actions().last()->isSeparator());

    m_gui->Frame()->show();
    m_gui->Frame()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_gui->Frame()));
    QTest::keyClick(m_gui->Frame(), Qt::Key_T, Qt::AltModifier);
    QTRY_VERIFY(tools->isVisible());
    tools->hide();
}

void WorkbenchTest::darkPaletteKeepsButtonsReadableAndThePageWhite()
{
    const auto light = [](const QImage& image) {
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                n += c.alpha() > 160 && c.lightness() > 150;
            }
        return n;
    };
    QCOMPARE(light(PicturePixmap(Picture::BlankCheck).toImage()), 0);
    const QPalette before = QApplication::palette();
    QPalette dark(QColor(45, 45, 48));
    dark.setColor(QPalette::ButtonText, QColor(235, 235, 235));
    dark.setColor(QPalette::WindowText, QColor(235, 235, 235));
    QApplication::setPalette(dark);
    for (Picture p : {Picture::BlankCheck, Picture::ChangeSpeed, Picture::ReadRom, Picture::AutoWrite, Picture::Quit})
        QVERIFY(light(PicturePixmap(p).toImage()) > 10);

    m_gui->Frame()->show();
    m_view->resize(640, 380);
    m_gui->ClickButton(ID_EDIT_BUFFER);
    const QImage page = m_view->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(page.pixel(300, 370) & 0xFFFFFF, 0xFFFFFFu);
    QCOMPARE(page.pixel(0, 200) & 0xFFFFFF, qRgb(120, 120, 120) & 0xFFFFFFu);
    const QByteArray shot = qgetenv("VEXO_DARK_SCREENSHOT");
    if (!shot.isEmpty()) QVERIFY(m_gui->Frame()->grab().save(QString::fromLocal8Bit(shot)));
    QApplication::setPalette(before);
}

QTEST_MAIN(WorkbenchTest)
#include "test_workbench.moc"
