// SPDX-License-Identifier: GPL-3.0-or-later
// The buffer view: one page of 384 bytes of the image buffer as a hex dump
// with a character column, inside a drawn frame. Up and Down page through
// the buffer. Go To Address and Find move the page; with byte editing
// switched on, a caret and a selection move over the bytes and two hex
// digits overwrite the byte under the caret, every change undoable.
#pragma once

#include <QFont>
#include <QList>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <optional>
#include <vector>

#include "base/hex_input.h"
#include "rom/buffer_ops.h"
#include "rom/edit_history.h"

class QAction;

class QPainter;
class QPrinter;

namespace vexo::gui {

class CVexoWriterApp;

// What a page is drawn onto: the screen, a printer or a recorder in tests.
// Coordinates are the view's logical units (one unit is one screen pixel);
// a text's point is its top-left corner.
class IDumpCanvas {
public:
    virtual ~IDumpCanvas() = default;
    virtual void TextOut(int x, int y, const QString& text) = 0;
    virtual void Line(int x1, int y1, int x2, int y2) = 0;
};

class CVexoWriterView : public QWidget {
    Q_OBJECT
public:
    static constexpr std::int32_t kPageBytes = 384;  // 24 rows of 16

    CVexoWriterView(CVexoWriterApp& app, QWidget* parent = nullptr);
    ~CVexoWriterView() override;

    // Draws what a paint shows: the page ending at m_nEndOffset and its frame
    // while m_bShowDump is 1, nothing otherwise. Changes no state.
    void OnDraw(IDumpCanvas& canvas) const;

    void OnClearWindow();
    void OnEditBuffer();
    // Up and Down page backwards and forwards.
    void OnKeyDown(int key);

    // Ctrl+P: the print dialog, then the page on the chosen printer.
    void OnFilePrint();
    // Prints the page as on screen to `printer`; false when it cannot start.
    bool PrintTo(QPrinter& printer) const;
    // Prints straight into a PDF file, without a dialog.
    bool PrintToPdf(const QString& path) const;

    // Every paint is also drawn onto `tap` (null to stop): lets tests read
    // back exactly what the screen got.
    void SetCanvasTap(IDumpCanvas* tap) { m_pCanvasTap = tap; }

    // The first offset a paint draws (the page's start, or m_nEndOffset when
    // nothing is drawn).
    std::int32_t FirstDrawnOffset() const;

    // --- go to, find, editing, undo ---
    // Puts the row of `address` at the top (the last page stops at the buffer's end)
    // and marks the byte; the status bar names its address.
    void GoToAddress(std::uint32_t address);
    // The byte the last Go To marked (cleared by a find or a load).
    std::optional<std::uint32_t> GoToMark() const { return m_gotoMark; }
    // The next match of `pattern` (hex bytes "DE AD" or text) after the last
    // match or the caret, round to the start; highlighted, its row on top.
    // False (and a message to the operator) when there is none.
    bool FindNext(const QString& pattern);
    // F3: again with the last pattern.
    bool FindNext();
    // A parsed entry of the Find dialog (hex or text, case ignored or not).
    bool FindNext(const FindQuery& query);
    void SetEditing(bool on);
    bool IsEditing() const { return m_editing; }
    // Nothing to undo (redo): false, and the status bar says why.
    bool Undo();
    bool Redo();
    // The command that last replaced the whole buffer ("Read ROM"): an Undo
    // with nothing to undo names it.
    void SetReplacedBy(const QString& command) { m_replacedBy = command; }
    // The session's history, in which every change of the buffer is kept; after
    // changing the buffer through it, call BufferChanged(). The session's own
    // buffer actions tell the view themselves.
    EditHistory& History();
    void BufferChanged();
    // Runs a buffer operation with the session's history (fill, swap, merge...):
    // its failure goes to the operator, the view and the title follow.
    // E.g. RunBufferOperation([&](CRom& rom, EditHistory* h) { return SwapBytes(rom, h); }).
    template <typename Operation>
    bool RunBufferOperation(Operation&& operation)
    {
        CRom* rom = Rom();
        if (!rom) return false;
        const Status status = operation(*rom, &History());
        return Reported(status);
    }
    // A buffer action's outcome: a failure goes to the operator; the view and
    // the title follow. True when it succeeded.
    bool Reported(const Status& status);
    // The buffer was replaced (a load or a chip read): the find match goes.
    void OnBufferReplaced();
    bool IsModified() const;
    // The dialogs: Ctrl+G and Ctrl+F.
    void OnGoToAddress();
    void OnFind();
    // Byte Editing (checkable), Go To Address, Find, Find Next, Undo, Redo:
    // for a menu; the keys are the view's own.
    QList<QAction*> EditActions() const { return m_editActions; }

    std::uint32_t Caret() const { return m_caret; }
    // The caret's address and the selection while editing ("" otherwise),
    // as the status bar shows them.
    QString PositionText() const;
    // The half-typed byte's first digit (-1: none).
    int PendingDigit() const { return m_nPendingDigit; }
    // Typing goes to the character column (true) or the hex column.
    bool InCharColumn() const { return m_charColumn; }
    // Ctrl+C (hex text "DE AD") and Ctrl+Shift+C (the bytes as characters).
    QString SelectionText(bool raw) const;
    // Ctrl+V: hex text written over the bytes from the caret.
    bool PasteHex(const QString& text);
    std::optional<BufferRange> Selection() const;
    std::optional<BufferRange> FindMatch() const;
    // The byte a point of the view shows (hex or character column), if any.
    std::optional<std::uint32_t> ByteAt(QPoint point) const;

    std::int32_t m_bShowDump = 0;
    std::int32_t m_nStartOffset = 0;
    std::int32_t m_nEndOffset = kPageBytes;

    QSize sizeHint() const override;

signals:
    // The buffer came to differ from what was loaded or read, or stopped to.
    void modifiedChanged(bool modified);
    // Whether Undo and Redo have anything to do.
    void undoAvailable(bool canUndo, bool canRedo);
    // A passing word for the status bar ("Find wrapped to the start").
    void statusMessage(const QString& text);
    // The caret and selection changed (PositionText()).
    void positionChanged(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    // While editing, Tab switches between the hex and the character column.
    bool focusNextPrevChild(bool next) override;

private:
    void DrawDump(IDumpCanvas& canvas) const;
    void DrawMarks(QPainter& painter) const;
    bool EditKey(QKeyEvent* event);
    void MoveCaret(std::int64_t to, bool extend);
    void EnsureVisible(std::uint32_t address);
    void NotifyModified();
    void NotifyPosition();
    void DrawPending(QPainter& painter) const;
    void DrawPageFrame(QPainter& painter) const;
    bool TypeByte(std::uint8_t value);
    void Say(const QString& text);
    void Tell(const QString& text);
    CRom* Rom() const;

    bool m_bLastModified = false;
    bool m_editing = false;
    std::uint32_t m_caret = 0;
    std::optional<std::uint32_t> m_anchor;  // the selection's other end
    int m_nPendingDigit = -1;                // the first hex digit typed
    std::vector<std::uint8_t> m_findPattern;
    bool m_findIgnoreCase = false;
    QString m_findDescription;           // what was searched and how it was read
    QString m_lastFind, m_lastGoTo;      // the dialogs' last entries
    FindMode m_findMode = FindMode::Auto;
    std::optional<std::uint32_t> m_gotoMark;
    QString m_replacedBy;
    QString m_lastPosition;
    bool m_charColumn = false;
    bool m_dragging = false;
    std::optional<std::uint32_t> m_findAt;
    QList<QAction*> m_editActions;
    QAction* m_pEditingAction = nullptr;

    CVexoWriterApp& m_app;
    QFont m_font;
    IDumpCanvas* m_pCanvasTap = nullptr;
};

// The character a buffer byte shows in the character column.
QString DumpCharacter(std::uint8_t byte);

}  // namespace vexo::gui
