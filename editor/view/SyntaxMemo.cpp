#include "SyntaxMemo.h"

#include "KeyTranslate.h"
#include "MemoFonts.h"
#include "MemoMime.h"
#include "MemoPainter.h"
#include "QtPlatform.h"
#include "TemplateList.h"
#include "editor/Settings.h"
#include "highlight/SynParse.h"
#include "highlight/languages/Languages.h"

#include <QApplication>
#include <QFile>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>

#include <chrono>
#include <climits>
#include <exception>

namespace kvx {

// ---- Construction ----------------------------------------------------------------------

TSyntaxMemo::TSyntaxMemo(QWidget* parent)
    : QAbstractScrollArea(parent), fonts_(std::make_unique<TMemoFonts>()),
      platform_(std::make_unique<TQtPlatform>(*this)),
      memo_(std::make_unique<TCustomSyntaxMemo>(platform_.get())),
      keeper_(std::make_unique<TClipboardKeeper>(memo_->Store())),
      planner_(std::make_unique<TPaintPlanner>(*memo_)),
      painter_(std::make_unique<TMemoPainter>(*fonts_)) {
    memo_->SetHooks(this);
    // Large documents are shown before they are highlighted to the end.
    memo_->SetDeferredHighlighting(true);
    memo_->View().WordWrap().SetBackground(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent); // every pixel is painted
    viewport()->setCursor(Qt::IBeamCursor);
    // Text is taken from any drag; file lists only with smoProcessDroppedFiles, which the
    // control decides. The viewport is where the desktop delivers drops.
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    const int flash = QApplication::cursorFlashTime();
    blink_.setInterval(flash > 0 ? flash / 2 : 0);
    connect(&blink_, &QTimer::timeout, this, [this] { BlinkCaret(); });
    slices_.setInterval(0);
    connect(&slices_, &QTimer::timeout, this, [this] { HighlightSlice(); });
    autoScroll_.setInterval(kAutoScrollMs);
    connect(&autoScroll_, &QTimer::timeout, this, [this] { AutoScroll(); });
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { ScrollBarMoved(); });
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, this, [this] { ScrollBarMoved(); });
    TakeFont();
    ApplyFrame();
    UpdateScrollBars();
}

TSyntaxMemo::~TSyntaxMemo() {
    dying_ = true;
    delete list_;
    list_ = nullptr;
    // A copy still on the clipboard gets its rich formats while the document is there.
    keeper_.reset();
    memo_->SetHooks(nullptr);
}

std::function<void(const QString&)>& TSyntaxMemo::ErrorReporter() {
    static std::function<void(const QString&)> reporter = [](const QString& message) {
        // Shown from the event loop: a modal box inside a paint or key event would run
        // events of its own in the middle of that one.
        QTimer::singleShot(0, [message] {
            QMessageBox::warning(QApplication::activeWindow(), QStringLiteral("KOVEX Light"),
                                 message);
        });
    };
    return reporter;
}

bool TSyntaxMemo::Guard(const std::function<void()>& f) {
    try {
        f();
        return true;
    } catch (const std::exception& e) {
        Report(QString::fromUtf8(e.what()));
    } catch (...) {
        Report(QStringLiteral("An unknown error occurred."));
    }
    return false;
}

void TSyntaxMemo::Report(const QString& message) {
    if (ErrorReporter())
        ErrorReporter()(message);
}

// ---- Documents and languages -----------------------------------------------------------

void TSyntaxMemo::LoadFromFile(const QString& path) {
    memo_->LoadFromFile(QFile::encodeName(path).toStdString());
    memo_->ChangeNotification();
    StartBackgroundHighlighting();
    viewport()->update();
}

void TSyntaxMemo::SaveToFile(const QString& path) {
    memo_->SaveToFile(QFile::encodeName(path).toStdString());
    memo_->ChangeNotification();
}

void TSyntaxMemo::SetModified(bool value) {
    memo_->SetModified(value);
    memo_->ChangeNotification();
}

void TSyntaxMemo::SetParser(int slot, TSyntaxMemoParser* parser) {
    memo_->SetParser(slot, parser);
    if (slot >= 1 && slot <= TCustomSyntaxMemo::kParserSlots &&
        builtIn_[size_t(slot - 1)].get() != parser) {
        builtIn_[size_t(slot - 1)].reset();
        builtInLanguage_[size_t(slot - 1)] = 0;
    }
    memo_->ChangeNotification();
}

TSyntaxMemoParser* TSyntaxMemo::Parser(int slot) const {
    return static_cast<TSyntaxMemoParser*>(memo_->Parser(slot));
}

void TSyntaxMemo::SetActiveParser(int slot) {
    memo_->SetActiveParser(slot);
    memo_->ChangeNotification();
}

void TSyntaxMemo::UseBuiltInLanguage(int slot, int language) {
    if (slot < 1 || slot > TCustomSyntaxMemo::kParserSlots)
        throw ESyntaxMemo(0, "Parser index out of range");
    const size_t i = size_t(slot - 1);
    if (builtIn_[i] && builtInLanguage_[i] == language)
        return;
    auto parser = std::make_unique<TSyntaxMemoParser>();
    parser->Name = "SyntaxMemoParser" + std::to_string(slot);
    LoadLanguage(*parser, language);
    memo_->SetParser(slot, parser.get());
    builtIn_[i] = std::move(parser);
    builtInLanguage_[i] = language;
    memo_->ChangeNotification();
}

void TSyntaxMemo::SetLanguage(int number) {
    UseBuiltInLanguage(number, number);
    SetActiveParser(number);
}

void TSyntaxMemo::SetEditorFont(const QString& family, int pointSize) {
    memo_->SetFont(family.toStdString(), pointSize);
    memo_->ChangeNotification();
}

void TSyntaxMemo::SetFontSize(int pointSize) {
    memo_->SetFont(memo_->FontName(), pointSize);
    memo_->ChangeNotification();
}

void TSyntaxMemo::SetTextAntialiasing(bool on) {
    if (fonts_->SetAntialiasing(on)) {
        memo_->View().ForgetLayouts();
        viewport()->update();
    }
}

Pixel TSyntaxMemo::CharWidth() const {
    return fonts_->CharWidth();
}

Pixel TSyntaxMemo::RowHeight() const {
    return fonts_->RowHeight();
}

int TSyntaxMemo::CaretLine() const {
    int column = 0, line = 0;
    memo_->GetCaretPos(column, line);
    return line;
}

int TSyntaxMemo::CaretColumn() const {
    int column = 0, line = 0;
    memo_->GetCaretPos(column, line);
    return column;
}

// ---- What the platform passes on -------------------------------------------------------

int TSyntaxMemo::VisibleRows() const {
    const int h = viewport()->height();
    return h > 0 ? h / std::max(fonts_->RowHeight(), 1) : 40;
}

int TSyntaxMemo::VisibleColumns() const {
    const int w = viewport()->width();
    return w > 0 ? std::max(w - memo_->TextLeft(), 0) / std::max(fonts_->CharWidth(), 1) : 80;
}

Pixel TSyntaxMemo::ClientWidth() const {
    return viewport()->width();
}

void TSyntaxMemo::InvalidateRows(RowIndex first, RowIndex last) {
    // While painting, every row asked for is being painted anyway.
    if (painting_ || dying_)
        return;
    const RowIndex top = memo_->View().TopRow();
    const Pixel height = std::max(fonts_->RowHeight(), 1);
    const int64_t y0 = std::max<int64_t>(int64_t(first - top) * height, 0);
    const int64_t y1 =
        last < 0 ? viewport()->height()
                 : std::min<int64_t>(int64_t(last - top + 1) * height, viewport()->height());
    if (y1 > y0)
        viewport()->update(QRect(0, int(y0), viewport()->width(), int(y1 - y0)));
}

void TSyntaxMemo::ViewChanged(uint32_t bits) {
    if (dying_)
        return;
    if (bits & (chSettings | chOptions | chLanguage | chView))
        TakeFont();
    if (bits & chFrame)
        ApplyFrame();
    UpdateScrollBars();
    // The caret shows at once wherever it went, and starts blinking again from there.
    viewport()->update(caretRect_);
    caretRect_ = CaretRect();
    ShowCaret();
    if (bits & (chText | chLanguage) || memo_->View().WordWrap().Pending())
        StartBackgroundHighlighting();
    if (bits & (chSelection | chText | chView))
        emit CaretMoved(CaretLine(), CaretColumn());
    emit Changed(bits);
}

void TSyntaxMemo::CaretShapeChanged() {
    viewport()->update(caretRect_);
    caretRect_ = CaretRect();
    viewport()->update(caretRect_);
}

bool TSyntaxMemo::TakeFont() {
    const bool text = fonts_->SetFont(memo_->FontName(), memo_->FontSize());
    const bool gutter = fonts_->SetGutterFont(memo_->GutterFont());
    if (!text && !gutter)
        return false;
    // New widths: layouts are measured again and wrapped rows cut again.
    if (text)
        memo_->View().FontChanged();
    viewport()->update();
    return true;
}

void TSyntaxMemo::ApplyFrame() {
    if (memo_->BorderStyle() == bsSingle) {
        setFrameShape(QFrame::StyledPanel);
        setFrameShadow(QFrame::Sunken);
    } else {
        setFrameShape(QFrame::NoFrame);
    }
    // Bars that cannot scroll stay visible and disabled, so that the text does not jump
    // when they would come and go. Flat scroll bars are not a thing on this desktop.
    const TScrollStyle bars = memo_->ScrollBars();
    memo_->View().Scroll().SetBars(bars == ssHorizontal || bars == ssBoth,
                                   bars == ssVertical || bars == ssBoth);
    setHorizontalScrollBarPolicy(bars == ssHorizontal || bars == ssBoth ? Qt::ScrollBarAlwaysOn
                                                                        : Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(bars == ssVertical || bars == ssBoth ? Qt::ScrollBarAlwaysOn
                                                                    : Qt::ScrollBarAlwaysOff);
}

void TSyntaxMemo::UpdateScrollBars() {
    if (memo_->PaintLocked())
        return;
    updatingBars_ = true;
    const TTextStore& s = memo_->Store();
    QScrollBar* v = verticalScrollBar();
    v->setRange(0, std::max(s.RowCount() - 1, 0));
    v->setPageStep(std::max(VisibleRows(), 1));
    v->setValue(memo_->View().TopRow());
    QScrollBar* h = horizontalScrollBar();
    // The horizontal range follows the longest row in steps, growing at once and shrinking
    // only when the longest row is well inside it: typing at the end of the longest row would
    // otherwise change the range, and repaint the bar, with every key.
    int columns = 0;
    if (!memo_->View().Scroll().RowsFitWindow() && s.LongestRow() > 0) {
        constexpr int kStep = 32;
        const int stepped = (s.LongestRow() + kStep - 1) / kStep * kStep;
        columns = h->maximum();
        if (stepped > columns || stepped + 2 * kStep <= columns)
            columns = stepped;
    }
    h->setRange(0, columns);
    h->setPageStep(std::max(VisibleColumns(), 1));
    h->setValue(memo_->View().FirstColumn());
    updatingBars_ = false;
}

void TSyntaxMemo::ScrollBarMoved() {
    if (updatingBars_)
        return;
    Guard([&] {
        memo_->SetFirstVisibleLine(verticalScrollBar()->value());
        memo_->SetFirstColumn(horizontalScrollBar()->value());
        memo_->ChangeNotification();
    });
}

// ---- Caret -----------------------------------------------------------------------------

TPaintContext TSyntaxMemo::PaintContext() const {
    TPaintContext c;
    c.ClientWidth = viewport()->width();
    c.ClientHeight = viewport()->height();
    c.Focused = hasFocus();
    c.KeepSelection = keepSelection_;
    return c;
}

QRect TSyntaxMemo::CaretRect() {
    TPaintContext context = PaintContext();
    context.Focused = true;
    const TCaretPlan c = planner_->Caret(context);
    return c.Visible ? QRect(c.X, c.Y, c.Width, c.Height) : QRect();
}

void TSyntaxMemo::ShowCaret() {
    caretOn_ = true;
    if (hasFocus() && blink_.interval() > 0)
        blink_.start();
}

void TSyntaxMemo::BlinkCaret() {
    caretOn_ = !caretOn_;
    viewport()->update(caretRect_);
}

// ---- Background highlighting -----------------------------------------------------------

void TSyntaxMemo::StartBackgroundHighlighting() {
    if (!slices_.isActive() &&
        (memo_->View().WordWrap().Pending() || memo_->HighlightedTo() < memo_->TextLength()))
        slices_.start();
}

void TSyntaxMemo::HighlightSlice() {
    bool more = false;
    Guard([&] {
        // Rows are cut before they are highlighted: the cuts decide what a row holds. Once
        // the cutting is done, the highlighting's own slice says whether work remains.
        TWordWrap& wrap = memo_->View().WordWrap();
        if (wrap.Pending()) {
            wrap.RunSlice(INT_MAX, std::chrono::microseconds(kSliceMicroseconds));
            more = true;
        } else {
            more = memo_->HighlightSlice({0, kSliceMicroseconds});
        }
        memo_->ChangeNotification();
    });
    if (!more)
        slices_.stop();
}

// ---- Events ----------------------------------------------------------------------------

bool TSyntaxMemo::KeyClaimed(const QKeyEvent& e) {
    // The second key of a sequence belongs to the editor whatever a menu binds it to.
    if (memo_->KeyMap().Keys().SequencePending())
        return true;
    // Typing is never a menu's: an enabled menu shortcut wins only for keys with Ctrl or
    // Alt, and a disabled one falls through to the editor by itself.
    const QString text = e.text();
    return !(e.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) &&
           !text.isEmpty() && text[0].isPrint();
}

bool TSyntaxMemo::event(QEvent* e) {
    if (e->type() == QEvent::ShortcutOverride) {
        if (KeyClaimed(*static_cast<QKeyEvent*>(e))) {
            e->accept();
            return true;
        }
    }
    return QAbstractScrollArea::event(e);
}

bool TSyntaxMemo::focusNextPrevChild(bool next) {
    // Tab types (or lines up) in the text unless the form is to have it.
    if (memo_->WantTab)
        return false;
    return QAbstractScrollArea::focusNextPrevChild(next);
}

void TSyntaxMemo::keyPressEvent(QKeyEvent* e) {
    const int key = e->key();
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    const bool ctrl = e->modifiers() & Qt::ControlModifier;
    const bool alt = e->modifiers() & (Qt::AltModifier | Qt::MetaModifier);
    // Without WantReturns, Enter belongs to the form (its default button); Ctrl+Enter then
    // types a line break instead.
    if (enter && !ctrl && !memo_->WantReturns) {
        e->ignore();
        return;
    }
    e->accept();
    Guard([&] {
        const TVirtualKeyStroke stroke = TranslateKey(*e);
        if (stroke.Key && memo_->KeyDown(stroke.Key, stroke.Shift))
            return memo_->ChangeNotification();
        if (enter)
            memo_->KeyChar(ctrl ? U'\n' : U'\r');
        else if (key == Qt::Key_Tab || key == Qt::Key_Backtab)
            memo_->KeyChar(U'\t');
        else if (!ctrl && !alt)
            TypeText(e->text());
        memo_->ChangeNotification();
    });
}

void TSyntaxMemo::TypeText(const QString& text) {
    // Each character is typed on its own, so that it can be refused on its own when the
    // document's code page cannot hold it.
    for (const char32_t c : text.toUcs4())
        memo_->KeyChar(c);
}

void TSyntaxMemo::inputMethodEvent(QInputMethodEvent* e) {
    // Dead keys and compose sequences arrive as the text they make.
    const QString commit = e->commitString();
    if (!commit.isEmpty())
        Guard([&] {
            TypeText(commit);
            memo_->ChangeNotification();
        });
    e->accept();
}

QVariant TSyntaxMemo::inputMethodQuery(Qt::InputMethodQuery query) const {
    switch (query) {
    case Qt::ImEnabled:
        return true;
    case Qt::ImCursorRectangle:
        return caretRect_;
    case Qt::ImFont:
        return fonts_->GutterFont();
    default:
        return QAbstractScrollArea::inputMethodQuery(query);
    }
}

void TSyntaxMemo::focusInEvent(QFocusEvent* e) {
    QAbstractScrollArea::focusInEvent(e);
    caretRect_ = CaretRect();
    ShowCaret();
    // A selection hidden without the focus shows again.
    viewport()->update();
}

void TSyntaxMemo::focusOutEvent(QFocusEvent* e) {
    QAbstractScrollArea::focusOutEvent(e);
    blink_.stop();
    // Another window took the mouse along with the focus: its release will not come here.
    if (e->reason() == Qt::ActiveWindowFocusReason || e->reason() == Qt::PopupFocusReason) {
        autoScroll_.stop();
        Guard([&] { memo_->View().Mouse().Cancel(); });
    }
    viewport()->update();
}

void TSyntaxMemo::resizeEvent(QResizeEvent* e) {
    QAbstractScrollArea::resizeEvent(e);
    Guard([&] {
        memo_->View().ForgetLayouts();
        // A new width cuts wrapped rows again.
        memo_->View().SetClientSize(viewport()->width(), viewport()->height());
        // What the re-wrap left beyond the window is cut in the background slices.
        StartBackgroundHighlighting();
        UpdateScrollBars();
        caretRect_ = CaretRect();
    });
    viewport()->update();
}

void TSyntaxMemo::changeEvent(QEvent* e) {
    QAbstractScrollArea::changeEvent(e);
    // The desktop's colours are read while painting; a new palette repaints with them.
    if (e->type() == QEvent::PaletteChange || e->type() == QEvent::EnabledChange)
        viewport()->update();
}

void TSyntaxMemo::paintEvent(QPaintEvent* e) {
    // A locked control keeps what it showed until it is unlocked and repainted.
    if (memo_->PaintLocked())
        return;
    QPainter p(viewport());
    painting_ = true;
    Guard([&] {
        TakeFont();
        const TPaintContext context = PaintContext();
        const QRect r = e->rect();
        planner_->PlanRows(context, r.top(), r.bottom() + 1, rows_);
        TMemoPainter::TLineHook lineHook;
        if (OnDrawLine)
            lineHook = [this](QPainter& painter, const TRowPlan& row, const QRect& area) {
                TLineDrawData d;
                d.Painter = &painter;
                d.Rect = area;
                d.Text = row.Text;
                d.Offset = row.Offset;
                d.FirstColumn = memo_->View().FirstColumn();
                d.Count = static_cast<int>(QString::fromStdString(row.Text).size()) + 1;
                OnDrawLine(*this, d);
                return d.Handled;
            };
        TMemoPainter::TMarkHook markHook;
        if (OnDrawMark)
            markHook = [this](QPainter& painter, const QRect& rect, uint32_t handle) {
                OnDrawMark(*this, painter, rect, handle);
                return true;
            };
        painter_->PaintRows(p, rows_, memo_->GutterWidth(), memo_->TextLeft(), context.ClientWidth,
                            lineHook, markHook);
        painter_->PaintFocusLine(p, planner_->FocusLine(context));
        // A right-margin or wrap-column line being dragged shows where it would go.
        if (const Pixel ghost = memo_->View().Mouse().GhostLineX(); ghost >= 0) {
            p.setPen(QPen(palette().color(QPalette::WindowText), 1, Qt::DotLine));
            p.drawLine(ghost, 0, ghost, context.ClientHeight);
        }
        const TCaretPlan caret = planner_->Caret(context);
        caretRect_ = caret.Visible ? QRect(caret.X, caret.Y, caret.Width, caret.Height) : QRect();
        if (caretOn_)
            painter_->PaintCaret(p, caret);
        // Where a drop would go, while something is dragged over the control.
        dropCaret_ = DropCaretRect();
        if (!dropCaret_.isNull())
            painter_->PaintCaret(
                p, {true, dropCaret_.x(), dropCaret_.y(), dropCaret_.width(), dropCaret_.height()});
    });
    painting_ = false;
}

// ---- Hooks -----------------------------------------------------------------------------

bool TSyntaxMemo::ShowTemplateList(TCustomSyntaxMemo&, TCodeTemplates& templates) {
    if (!list_)
        list_ = new TTemplateList(*this);
    QRect line = CaretRect();
    if (line.isNull()) {
        Pixel x = 0, y = 0;
        memo_->View().PointOf(memo_->Selection().Caret, x, y);
        line = QRect(memo_->TextLeft() + x, y, 2, fonts_->RowHeight());
    }
    list_->Show(templates, line);
    return true;
}

bool TSyntaxMemo::PositionFromChar(TCustomSyntaxMemo&, TextOffset offset, int& x, int& y) {
    Pixel px = 0, py = 0;
    memo_->View().PointOf(offset, px, py);
    x = memo_->TextLeft() + px;
    y = py;
    return true;
}

bool TSyntaxMemo::DefersRichFormats(TCustomSyntaxMemo&) {
    // Only the widget's own document is watched for changes before a paste.
    return keeper_ && keeper_->Watches(memo_->Store());
}

TextOffset TSyntaxMemo::CharFromPosition(TCustomSyntaxMemo&, int x, int y) {
    const Pixel left = memo_->TextLeft();
    if (x < left || x >= viewport()->width() || y < 0 || y >= viewport()->height())
        return -1;
    return memo_->View().OffsetAt(x - left, y);
}

} // namespace kvx
