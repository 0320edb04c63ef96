// TSyntaxMemo: the editor control as a Qt widget. It owns the Qt-free control
// (TCustomSyntaxMemo) and translates between the two worlds: key events and input-method
// text go in, the control's plans of rows, caret and focus line come out as pixels, scroll
// bars follow the view, and the control's change notification becomes the Changed signal.
// Every event handler calls into the control through one guard, so that a failure becomes a
// message and never crosses Qt's event loop. Its drag and drop (MemoDrag.cpp) and printing
// (MemoPrinter.cpp) live in files of their own.
//
// The widget holds the six languages a document window offers (loaded from the built-in
// tables on first use, or handed in as parsers) and highlights large documents a little at
// a time: the rows on screen before they are painted, the rest in short slices between
// events.
#pragma once

#include "editor/PaintPlan.h"
#include "editor/SyntaxEd.h"

#include <QAbstractScrollArea>
#include <QTimer>

#include <array>
#include <functional>
#include <memory>

class QDrag;
class QMimeData;
class QPainter;
class QPrinter;

namespace kvx {

class TClipboardKeeper;
class TCodeTemplates;
class TMemoFonts;
class TMemoPainter;
class TQtPlatform;
class TSyntaxMemoParser;
class TTemplateList;

// What OnDrawLine is told about a row before the default drawing.
struct TLineDrawData {
    QPainter* Painter = nullptr;
    QRect Rect;            // the row's text area
    std::string Text;      // the row as drawn (TABs as spaces), from FirstColumn on
    TextOffset Offset = 0; // of the row's first character
    DisplayColumn FirstColumn = 0;
    int Count = 0;        // characters to draw, plus one
    bool Handled = false; // set: the default drawing of the text is skipped
};

class TSyntaxMemo : public QAbstractScrollArea, private TEditorHooks {
    Q_OBJECT

  public:
    explicit TSyntaxMemo(QWidget* parent = nullptr);
    ~TSyntaxMemo() override;

    // The control itself: its document, selection, commands, properties and requests.
    TCustomSyntaxMemo& Memo() { return *memo_; }
    const TCustomSyntaxMemo& Memo() const { return *memo_; }
    TQtPlatform& Platform() { return *platform_; }

    // ---- Documents ----------------------------------------------------------------------
    // Load and save through the control; failures raise the control's exceptions.
    void LoadFromFile(const QString& path);
    void SaveToFile(const QString& path);
    bool Modified() const { return memo_->Modified(); }
    void SetModified(bool value);

    // ---- Languages ----------------------------------------------------------------------
    // Slots 1 to 6 hold parsers; a parser handed in stays the caller's and must outlive
    // its use here. UseBuiltInLanguage fills a slot with a built-in language (1 assembler,
    // 2 C, 3 Pascal, 4 Basic, 5 HTML, 6 plain text) that the widget owns.
    void SetParser(int slot, TSyntaxMemoParser* parser);
    TSyntaxMemoParser* Parser(int slot) const;
    void SetActiveParser(int slot);
    int ActiveParser() const { return memo_->ActiveParser(); }
    void UseBuiltInLanguage(int slot, int language);
    // The built-in language `number` in its own slot, made active: the shell's language
    // selector.
    void SetLanguage(int number);

    // ---- Font -----------------------------------------------------------------------------
    // The text font lives in the settings of the active language.
    void SetEditorFont(const QString& family, int pointSize);
    int FontSize() const { return memo_->FontSize(); }
    void SetFontSize(int pointSize);
    Pixel CharWidth() const;
    Pixel RowHeight() const;
    // Smoothed glyph edges; on at first.
    void SetTextAntialiasing(bool on);

    // ---- Caret ----------------------------------------------------------------------------
    // One-based line (row) and display column of the caret.
    int CaretLine() const;
    int CaretColumn() const;

    // ---- Painting events -----------------------------------------------------------------
    std::function<void(TSyntaxMemo&, TLineDrawData&)> OnDrawLine;
    // Draws a range mark instead of the red zigzag.
    std::function<void(TSyntaxMemo&, QPainter&, const QRect&, uint32_t handle)> OnDrawMark;

    // ---- Drag and drop (MemoDrag.cpp) -----------------------------------------------------
    // Drags the selection out, with smoOLEDragSource: the mouse handling calls this once a
    // press in the selection has moved far enough. Offers the selected text as text/plain,
    // a move only when the control is not read-only, and returns what the drop did: a move
    // within the control is one undo step, a move elsewhere deletes the text here.
    Qt::DropAction StartDrag();
    // Runs the drag until the drop, as QDrag::exec does by default; tests drop through it.
    using TDragRunner = std::function<Qt::DropAction(QDrag& drag, Qt::DropActions allowed,
                                                     Qt::DropAction preferred)>;
    static TDragRunner& DragRunner();

    // ---- Printing (MemoPrinter.cpp) -------------------------------------------------------
    // Prints the whole document, or the lines the selection touches, on `printer`
    // (SharedPrinter() when null), in the printer's fonts with the header, footer, line
    // numbers and wrapping the options ask for. Raises ESyntaxMemo when the printer cannot
    // be opened or fails; the job is then aborted.
    void Print(QPrinter* printer = nullptr);
    void PrintSelection(QPrinter* printer = nullptr);
    // Draws a page's own header and footer instead of the built-in ones: called at the top
    // of every page with the printer's painter and the page's rectangle, which the handler
    // shrinks to what the text may use; it may ask for text without a filled background.
    std::function<void(TSyntaxMemo&, QPainter& canvas, QRect& renderRect, bool& transparentText)>
        OnPrintHeaderFooter;

    // ---- Failures -------------------------------------------------------------------------
    // What the guard does with a failure's message: by default a message box shown from the
    // event loop, after the event that failed. Tests set their own.
    static std::function<void(const QString&)>& ErrorReporter();

    // The background work's slice (highlighting, and re-wrapping a large document), for
    // tests and benchmarks.
    static constexpr int kSliceMicroseconds = 4000;
    // How often the view moves while the button is held past an edge.
    static constexpr int kAutoScrollMs = 50;
    bool HighlightingPending() const { return slices_.isActive(); }

  signals:
    // The control's change notification: what changed (TChangeBit bits).
    void Changed(unsigned bits);
    void CaretMoved(int line, int column);

  protected:
    bool event(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void inputMethodEvent(QInputMethodEvent* e) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void changeEvent(QEvent* e) override;
    bool focusNextPrevChild(bool next) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dragMoveEvent(QDragMoveEvent* e) override;
    void dragLeaveEvent(QDragLeaveEvent* e) override;
    void dropEvent(QDropEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;

  private:
    friend class TQtPlatform;
    friend class TTemplateList;

    // Runs `f`; a failure inside becomes a message. True when `f` finished.
    bool Guard(const std::function<void()>& f);
    void Report(const QString& message);

    // What the platform passes on.
    void InvalidateRows(RowIndex first, RowIndex last);
    void ViewChanged(uint32_t bits);
    void CaretShapeChanged();
    int VisibleRows() const;
    int VisibleColumns() const;
    Pixel ClientWidth() const;
    TMemoFonts& Fonts() { return *fonts_; }

    // The font of the settings in use, measured; true when the metrics changed.
    bool TakeFont();
    void UpdateScrollBars();
    void ApplyFrame();
    void ScrollBarMoved();
    QRect CaretRect();
    void ShowCaret();
    void BlinkCaret();
    void StartBackgroundHighlighting();
    void HighlightSlice();
    // The mouse (SyntaxMemoMouse.cpp).
    void MousePress(QMouseEvent* e, int clicks);
    void AutoScroll();
    void ShowPointer();
    void TypeText(const QString& text);
    TPaintContext PaintContext() const;
    bool KeyClaimed(const QKeyEvent& e);

    // TEditorHooks
    bool ShowTemplateList(TCustomSyntaxMemo& memo, TCodeTemplates& templates) override;
    bool PositionFromChar(TCustomSyntaxMemo& memo, TextOffset offset, int& x, int& y) override;
    TextOffset CharFromPosition(TCustomSyntaxMemo& memo, int x, int y) override;
    void PrintSelection(TCustomSyntaxMemo& memo) override;
    bool DefersRichFormats(TCustomSyntaxMemo& memo) override;

    // Drops: the formats the control is offered, what it takes from them, where a drop
    // lands, and the caret shown there meanwhile.
    TSourceTypes DropFormats(const QMimeData& mime) const;
    TDropData DropDataOf(const QMimeData& mime) const;
    TextOffset DropOffsetAt(QPoint at) const;
    QRect DropCaretRect() const;
    void ShowDropCaret();

    // Built-in parsers come first: the control lets go of them when it is destroyed.
    std::array<std::unique_ptr<TSyntaxMemoParser>, TCustomSyntaxMemo::kParserSlots> builtIn_;
    std::unique_ptr<TMemoFonts> fonts_;
    std::unique_ptr<TQtPlatform> platform_;
    std::unique_ptr<TCustomSyntaxMemo> memo_;
    std::unique_ptr<TClipboardKeeper> keeper_;
    std::unique_ptr<TPaintPlanner> planner_;
    std::unique_ptr<TMemoPainter> painter_;
    TTemplateList* list_ = nullptr;
    std::array<int, TCustomSyntaxMemo::kParserSlots> builtInLanguage_{};
    std::vector<TRowPlan> rows_;
    QTimer blink_;
    QTimer slices_;
    QTimer autoScroll_;
    bool caretOn_ = true;
    QRect caretRect_;
    QRect dropCaret_;
    bool painting_ = false;
    bool updatingBars_ = false;
    bool keepSelection_ = false;
    bool dying_ = false;
};

} // namespace kvx
