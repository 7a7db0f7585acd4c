// SPDX-License-Identifier: GPL-3.0-or-later
// The Tools menu's buffer entries: the editing toggle, the Buffer submenu's
// operations through the session (files answered by the test), undo across
// them, and the title marker.
#include <QApplication>
#include <QFile>
#include <QInputDialog>
#include <QMenu>
#include <QRegularExpression>
#include <QTimer>

#include "app/command_ids.h"
#include "gui_harness.h"
#include "session/session.h"
#include "view/vexowriter_view.h"

using namespace vexo::gui;
using vexo::gui::test::GuiHarness;

class ToolsBufferTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void menuHoldsTheEntries();
    void operationsRunAndUndoRestores();
    void splitMergeExportThroughTheChoosers();
    void promptedOperations();
    void choosersAreTitledForWhatTheyAsk();
    void nothingToSplitIsSaidAtOnce();
    void loadPastTheDeviceSaysHowMuch();
    void checksumIsUpperCaseHex();

private:
    std::uint8_t Byte(std::uint32_t a) const { return m_gui->Rom().m_Buffer[a]; }
    void Trigger(int id) const { m_gui->Frame()->Action(id)->trigger(); }
    QByteArray Device() const
    {
        return QByteArray(reinterpret_cast<const char*>(m_gui->Rom().m_Buffer.get()),
                          qsizetype(m_gui->Rom().DeviceSize()));
    }
    std::unique_ptr<GuiHarness> m_gui;
    CVexoWriterView* m_view = nullptr;
    QByteArray m_image;
};

void ToolsBufferTest::init()
{
    m_gui = std::make_unique<GuiHarness>();
    QVERIFY(m_gui->started);
    m_view = m_gui->app->m_pView;
    for (int i = 0; i < 0x4000; ++i) m_image.append(char(i * 7 + (i >> 8)));
    m_gui->answerer.files = {m_gui->WriteFile(QStringLiteral("image.bin"), m_image)};
    m_gui->ClickButton(ID_OPEN_BIN);
    QCOMPARE(m_gui->answerer.Take(), QStringList());
}

void ToolsBufferTest::cleanup()
{
    m_gui.reset();
    m_image.clear();
}

void ToolsBufferTest::menuHoldsTheEntries()
{
    auto* tools = m_gui->Frame()->findChild<QMenu*>(QStringLiteral("ToolsMenu"));
    QVERIFY(tools);
    QStringList texts;
    for (QAction* a : tools->actions()) texts << a->text();
    for (const char* t : {"Byte Editing", "Go To Address...\tCtrl+G", "Find...\tCtrl+F", "Find Next\tF3",
                          "Undo\tCtrl+Z", "Redo\tCtrl+Y", "Buffer"})
        QVERIFY2(texts.contains(QString::fromLatin1(t)), t);
    auto* buffer = m_gui->Frame()->findChild<QMenu*>(QStringLiteral("BufferMenu"));
    QVERIFY(buffer);
    texts.clear();
    for (QAction* a : buffer->actions()) texts << a->text();
    QCOMPARE(texts, (QStringList{"Fill...", "Byte Swap", "Split...", "Merge...", "Load at Offset...",
                                 "Repeat to Fill Device", "Export...", "Checksum"}));

    // Byte Editing: off at start, and follows the view either way.
    QAction* editing = m_gui->Frame()->Action(ID_BYTE_EDITING);
    QVERIFY(editing->isCheckable());
    QVERIFY(!editing->isChecked());
    QVERIFY(!m_view->IsEditing());
    editing->trigger();
    QVERIFY(m_view->IsEditing());
    m_view->SetEditing(false);
    QVERIFY(!editing->isChecked());
}

void ToolsBufferTest::operationsRunAndUndoRestores()
{
    const QString title = m_gui->ShownTitle();
    Trigger(ID_BUFFER_SWAP);
    QCOMPARE(Byte(0), std::uint8_t(m_image[1]));
    QCOMPARE(Byte(1), std::uint8_t(m_image[0]));
    QCOMPARE(m_gui->ShownTitle(), QLatin1Char('*') + title);
    Trigger(ID_BUFFER_REPEAT);  // 16 KiB twice over the 27C256
    QCOMPARE(Device().mid(0x4000), Device().left(0x4000));

    Trigger(ID_BUFFER_CHECKSUM);
    const QStringList said = m_gui->answerer.Take();
    QCOMPARE(said.size(), 1);
    QVERIFY2(said[0].startsWith(QStringLiteral("00000-07FFF sum16 0x")), qPrintable(said[0]));

    Trigger(ID_UNDO);
    QCOMPARE(Byte(0x4000), std::uint8_t(0xFF));
    Trigger(ID_UNDO);
    QCOMPARE(Device().left(0x4000), m_image);
    QCOMPARE(m_gui->ShownTitle(), title);
    Trigger(ID_REDO);
    QCOMPARE(Byte(0), std::uint8_t(m_image[1]));
    QVERIFY(m_gui->app->TheSession().BufferModified());
    QCOMPARE(m_gui->answerer.Take(), QStringList());
}

void ToolsBufferTest::splitMergeExportThroughTheChoosers()
{
    const QString even = m_gui->dir.filePath(QStringLiteral("even.bin"));
    const QString odd = m_gui->dir.filePath(QStringLiteral("odd.hex"));
    m_gui->answerer.answers = {false};  // two files
    m_gui->answerer.files = {even, odd};
    Trigger(ID_BUFFER_SPLIT);
    QCOMPARE(m_gui->answerer.Take(), QStringList{"Split OK !!"});
    QFile evenFile(even);
    QVERIFY(evenFile.open(QIODevice::ReadOnly));
    const QByteArray evens = evenFile.readAll();
    QCOMPARE(evens.size(), 0x2000);
    QCOMPARE(evens[5], m_image[10]);

    // Spoil the buffer, then merge the halves back over it.
    QVERIFY(m_gui->app->TheSession().FillBuffer({0, 0x3FFF}, 0).ok());
    m_gui->answerer.answers = {false};
    m_gui->answerer.files = {even, odd};
    Trigger(ID_BUFFER_MERGE);
    QCOMPARE(m_gui->answerer.Take(), QStringList());
    QCOMPARE(Device().left(0x4000), m_image);

    const QString out = m_gui->dir.filePath(QStringLiteral("out.bin"));
    m_gui->answerer.files = {out};
    Trigger(ID_BUFFER_EXPORT);
    QCOMPARE(m_gui->answerer.Take(), QStringList{"Export OK !!"});
    QFile outFile(out);
    QVERIFY(outFile.open(QIODevice::ReadOnly));
    QCOMPARE(outFile.readAll(), Device());

    // Cancel at the chooser: nothing written, nothing said.
    m_gui->answerer.files = {QString()};
    Trigger(ID_BUFFER_EXPORT);
    QCOMPARE(m_gui->answerer.Take(), QStringList());
}

namespace {

void AnswerPrompt(const QString& text)
{
    QTimer::singleShot(0, [text] {
        auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        dialog->setTextValue(text);
        dialog->accept();
    });
}

}  // namespace

void ToolsBufferTest::promptedOperations()
{
    m_gui->Frame()->show();
    AnswerPrompt(QStringLiteral("0x10 0x1F 0x5A"));
    Trigger(ID_BUFFER_FILL);
    QCOMPARE(Byte(0x10), std::uint8_t(0x5A));
    QCOMPARE(Byte(0x1F), std::uint8_t(0x5A));
    QCOMPARE(Byte(0x20), std::uint8_t(m_image[0x20]));

    // A range that does not fit is told, and changes nothing.
    AnswerPrompt(QStringLiteral("0x10 0x1000000 0"));
    Trigger(ID_BUFFER_FILL);
    QCOMPARE(m_gui->answerer.Take().size(), 1);
    QCOMPARE(Byte(0x10), std::uint8_t(0x5A));

    m_gui->answerer.files = {m_gui->WriteFile(QStringLiteral("tag.bin"), "TAG")};
    AnswerPrompt(QStringLiteral("0x7FFD"));
    Trigger(ID_BUFFER_LOAD_AT);
    QCOMPARE(Device().right(3), QByteArray("TAG"));
    Trigger(ID_UNDO);
    QCOMPARE(Byte(0x7FFD), std::uint8_t(0xFF));
    Trigger(ID_UNDO);
    QCOMPARE(Byte(0x10), std::uint8_t(m_image[0x10]));
    QCOMPARE(m_gui->answerer.Take(), QStringList());
}

namespace {

// Records the save choosers' titles and answers with the given files.
class TitleRecorder final : public IUiAnswerer {
public:
    void Message(const QString& text, bool) override { messages << text; }
    bool Question(const QString& text) override
    {
        questions << text;
        return false;
    }
    std::optional<QString> ChooseFile() override
    {
        if (files.isEmpty()) return std::nullopt;
        return files.takeFirst();
    }
    std::optional<QString> ChooseSaveFile(const QString& title) override
    {
        titles << title;
        return ChooseFile();
    }
    QStringList messages, questions, titles, files;
};

}  // namespace

void ToolsBufferTest::choosersAreTitledForWhatTheyAsk()
{
    TitleRecorder recorder;
    m_gui->app->Ui().SetAnswerer(&recorder);
    recorder.files = {m_gui->dir.filePath(QStringLiteral("e.bin")), m_gui->dir.filePath(QStringLiteral("o.bin"))};
    Trigger(ID_BUFFER_SPLIT);
    QCOMPARE(recorder.titles, (QStringList{QStringLiteral("Split: Even bytes (file 0)\u2026"),
                                           QStringLiteral("Split: Odd bytes (file 1)\u2026")}));
    QCOMPARE(recorder.messages, QStringList{QStringLiteral("Split OK !!")});
    m_gui->app->Ui().SetAnswerer(&m_gui->answerer);
}

void ToolsBufferTest::nothingToSplitIsSaidAtOnce()
{
    cleanup();
    m_gui = std::make_unique<GuiHarness>();  // no image loaded
    for (int id : {ID_BUFFER_SPLIT, ID_BUFFER_EXPORT}) {
        Trigger(id);
        const QStringList said = m_gui->answerer.Take();
        QCOMPARE(said.size(), 1);
        QVERIFY2(said[0].contains(QStringLiteral("there is no image in the buffer")), qPrintable(said[0]));
    }
    QVERIFY(m_gui->answerer.questions.isEmpty());  // no two/four question, no chooser
}

void ToolsBufferTest::loadPastTheDeviceSaysHowMuch()
{
    m_gui->Frame()->show();
    const QString tag = m_gui->WriteFile(QStringLiteral("tag.bin"), "TAGS");
    // Offsets are hexadecimal: 7FFE is 0x7FFE, two bytes past the 27C256's end.
    m_gui->answerer.files = {tag};
    m_gui->answerer.answers = {false};
    AnswerPrompt(QStringLiteral("7FFE"));
    Trigger(ID_BUFFER_LOAD_AT);
    QCOMPARE(m_gui->answerer.questions.size(), 1);
    QVERIFY2(m_gui->answerer.questions[0].startsWith(
                 QStringLiteral("2 bytes of this file fall outside the device (0x00000-0x07FFF) at offset 0x07FFE.")),
             qPrintable(m_gui->answerer.questions[0]));
    QCOMPARE(Byte(0x7FFE), std::uint8_t(0xFF));  // No: nothing loaded

    m_gui->answerer.files = {tag};
    m_gui->answerer.answers = {true};
    AnswerPrompt(QStringLiteral("7FFE"));
    Trigger(ID_BUFFER_LOAD_AT);
    QCOMPARE(Byte(0x7FFE), std::uint8_t('T'));
    QCOMPARE(Byte(0x8001), std::uint8_t('S'));

    // Inside the device: no question of its own (only the one before the
    // changed buffer is loaded over: Discard). "#16" is decimal.
    m_gui->answerer.questions.clear();
    m_gui->answerer.choices = {1};
    m_gui->answerer.files = {tag};
    AnswerPrompt(QStringLiteral("#16"));
    Trigger(ID_BUFFER_LOAD_AT);
    QCOMPARE(m_gui->answerer.questions,
             QStringList{QStringLiteral("The buffer has changes that are not saved. Export them first?")});
    QCOMPARE(Byte(0x10), std::uint8_t('T'));
    QCOMPARE(m_gui->answerer.Take(), QStringList());
}

void ToolsBufferTest::checksumIsUpperCaseHex()
{
    Trigger(ID_BUFFER_CHECKSUM);
    const QStringList said = m_gui->answerer.Take();
    QCOMPARE(said.size(), 1);
    static const QRegularExpression form(QStringLiteral("^00000-07FFF sum16 0x[0-9A-F]{4} crc32 0x[0-9A-F]{8}$"));
    QVERIFY2(form.match(said[0]).hasMatch(), qPrintable(said[0]));
    const vexo::ChecksumReport sums = *m_gui->app->TheSession().Checksum(m_gui->app->TheSession().DeviceRange());
    QVERIFY(said[0].contains(QStringLiteral("0x%1 ").arg(sums.sums.sum16, 4, 16, QLatin1Char('0')).toUpper().replace(
        QStringLiteral("0X"), QStringLiteral("0x"))));
}

QTEST_MAIN(ToolsBufferTest)
#include "test_tools_buffer.moc"
