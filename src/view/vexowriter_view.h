// The buffer view: one page of 384 bytes of the image buffer as a hex dump
// with a character column, inside a drawn frame. Up and Down page through
// the buffer; the view never changes a byte.
#pragma once

#include <QFont>
#include <QString>
#include <QWidget>

#include <cstdint>

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

    std::int32_t m_bShowDump = 0;
    std::int32_t m_nStartOffset = 0;
    std::int32_t m_nEndOffset = kPageBytes;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void DrawDump(IDumpCanvas& canvas) const;

    CVexoWriterApp& m_app;
    QFont m_font;
    IDumpCanvas* m_pCanvasTap = nullptr;
};

// The character a buffer byte shows in the character column.
QString DumpCharacter(std::uint8_t byte);

}  // namespace vexo::gui
