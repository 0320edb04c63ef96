// The clipboard and drag and drop as the desktop drives them, offscreen: a copy read back in
// every format (written late but from the text that was copied), pasting untidy text, the
// selection dragged within one editor and into another, drops from other programs and of
// files, and the caret that shows where a drop will land.
#include "WidgetFixture.h"
#include "editor/MemoMouse.h"
#include "editor/RichExport.h"
#include "editor/view/MemoFonts.h"

#include <QClipboard>
#include <QDrag>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>

#include <memory>

namespace kvx {
namespace {

using test::TWidgetFixture;

class ClipboardAndDrops : public TWidgetFixture {
  protected:
    void TearDown() override {
        TSyntaxMemo::DragRunner() = saved;
        TWidgetFixture::TearDown();
    }

    void SetText(TSyntaxMemo& w, const std::string& text) {
        w.Memo().SetWholeText(text);
        w.Memo().ChangeNotification();
    }

    // The middle of the character at `offset`, in viewport coordinates.
    static QPoint PointOf(TSyntaxMemo& w, TextOffset offset) {
        Pixel x = 0, y = 0;
        w.Memo().View().PointOf(offset, x, y);
        return QPoint(w.Memo().TextLeft() + x + 1, y + w.RowHeight() / 2);
    }

    // Drags over `target` to `at` and drops there, as the desktop's drag loop does.
    static Qt::DropAction DropOn(TSyntaxMemo& target, QPoint at, const QMimeData* mime,
                                 Qt::DropActions allowed,
                                 Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QDragEnterEvent enter(at, allowed, mime, Qt::LeftButton, modifiers);
        QApplication::sendEvent(target.viewport(), &enter);
        if (!enter.isAccepted())
            return Qt::IgnoreAction;
        QDragMoveEvent move(at, allowed, mime, Qt::LeftButton, modifiers);
        QApplication::sendEvent(target.viewport(), &move);
        QDropEvent drop(at, allowed, mime, Qt::LeftButton, modifiers);
        QApplication::sendEvent(target.viewport(), &drop);
        return drop.isAccepted() ? drop.dropAction() : Qt::IgnoreAction;
    }

    // The next drag of the selection ends in `target` at `at`.
    void DragTo(TSyntaxMemo& target, std::function<QPoint()> at) {
        TSyntaxMemo::DragRunner() = [&target, at](QDrag& drag, Qt::DropActions allowed,
                                                  Qt::DropAction) {
            return DropOn(target, at(), drag.mimeData(), allowed);
        };
    }

    TSyntaxMemo::TDragRunner saved = TSyntaxMemo::DragRunner();
};

TEST_F(ClipboardAndDrops, ACopyIsReadBackInEveryFormatAsItWasCopied) {
    widget.SetLanguage(1);
    SetText(widget, "mov ax, 1 ; a < b & {c}\r");
    Memo().SetSelection(0, Memo().TextLength() - 1);
    const std::string html = RichText(Memo(), TRichFormat::Html, 0, Memo().TextLength() - 1);
    const std::string rtf = RichText(Memo(), TRichFormat::Rtf, 0, Memo().TextLength() - 1);
    Key(Qt::Key_C, Qt::ControlModifier);
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(mime, nullptr);
    for (const char* f : {"text/plain", "text/html", "text/rtf", "application/rtf"})
        EXPECT_TRUE(mime->hasFormat(QString::fromLatin1(f))) << f;

    // The document changes before anyone pastes: the rich formats still carry the text
    // that was copied, in its colours.
    Key(Qt::Key_End, Qt::ControlModifier);
    Type(QStringLiteral("changed"));
    EXPECT_EQ(mime->text(), QStringLiteral("mov ax, 1 ; a < b & {c}"));
    EXPECT_EQ(mime->html().toStdString(), html);
    EXPECT_EQ(mime->data(QStringLiteral("text/rtf")).toStdString(), rtf);
    EXPECT_EQ(mime->data(QStringLiteral("application/rtf")).toStdString(), rtf);
    EXPECT_NE(html.find("&lt;"), std::string::npos);
    EXPECT_NE(rtf.find("\\{c\\}"), std::string::npos);

    // Another file loaded over the document before the paste.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("other.asm"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("nop\n");
    file.close();
    Memo().SetSelection(0, 3);
    const std::string mov = RichText(Memo(), TRichFormat::Html, 0, 3);
    Key(Qt::Key_C, Qt::ControlModifier);
    mime = QGuiApplication::clipboard()->mimeData();
    widget.LoadFromFile(path);
    EXPECT_EQ(mime->html().toStdString(), mov);

    // Only the formats asked for; an editor that is gone still gives what it copied.
    auto other = std::make_unique<TSyntaxMemo>();
    other->SetLanguage(1);
    SetText(*other, "push bx\rpop bx\r");
    other->Memo().ClipCopyFormats = smRTF;
    other->Memo().SetSelection(0, 7);
    const std::string otherRtf = RichText(other->Memo(), TRichFormat::Rtf, 0, 7);
    other->Memo().CopyToClipboard();
    other.reset();
    mime = QGuiApplication::clipboard()->mimeData();
    EXPECT_FALSE(mime->hasText());
    EXPECT_FALSE(mime->hasHtml());
    EXPECT_EQ(mime->data(QStringLiteral("text/rtf")).toStdString(), otherRtf);
}

TEST_F(ClipboardAndDrops, PastedTextWithMixedBreaksAndNulBytes) {
    SetText(widget, "<>");
    Memo().SetSelection(1, 1);
    auto* mime = new QMimeData;
    mime->setText(QString::fromUtf8("a\r\nb\nc\rd") + QChar(0) + QStringLiteral("e\u00e9"));
    mime->setHtml(QStringLiteral("<b>not this</b>"));
    QGuiApplication::clipboard()->setMimeData(mime);
    Key(Qt::Key_V, Qt::ControlModifier);
    // One break for every kind, the NUL kept visible instead of ending the text, the plain
    // text preferred to the HTML, and all of it one undo step.
    EXPECT_EQ(Memo().Text(), "<a\rb\rc\rd.e\xc3\xa9>");
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Memo().Text(), "<>");
}

TEST_F(ClipboardAndDrops, TheSelectionIsMovedWithinAnEditorAsOneStep) {
    SetText(widget, "hello world");
    Memo().SetSelection(0, 6);
    DragTo(widget, [this] { return PointOf(widget, 11); });
    EXPECT_EQ(widget.StartDrag(), Qt::MoveAction);
    EXPECT_EQ(Memo().Text(), "worldhello ");
    EXPECT_FALSE(Memo().DropActive());
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Memo().Text(), "hello world");

    // Into the dragged text itself: nothing happens.
    Memo().SetSelection(0, 6);
    DragTo(widget, [this] { return PointOf(widget, 3); });
    EXPECT_EQ(widget.StartDrag(), Qt::IgnoreAction);
    EXPECT_EQ(Memo().Text(), "hello world");

    // Read-only text is only ever copied.
    Memo().ReadOnly = true;
    Memo().SetSelection(0, 5);
    TSyntaxMemo target;
    DragTo(target, [&] { return PointOf(target, 0); });
    EXPECT_EQ(widget.StartDrag(), Qt::CopyAction);
    EXPECT_EQ(Memo().Text(), "hello world");
    EXPECT_EQ(target.Memo().Text(), "hello");
}

TEST_F(ClipboardAndDrops, TextMovesIntoAnotherEditorAndComesBackWithUndo) {
    TSyntaxMemo target;
    SetText(target, "[]");
    SetText(widget, "one two three");
    Memo().SetSelection(4, 8);
    DragTo(target, [&] { return PointOf(target, 1); });
    EXPECT_EQ(widget.StartDrag(), Qt::MoveAction);
    EXPECT_EQ(target.Memo().Text(), "[two ]");
    EXPECT_EQ(Memo().Text(), "one three");
    target.Memo().ExecuteCommand(caUNDO);
    EXPECT_EQ(target.Memo().Text(), "[]");
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Memo().Text(), "one two three");

    // With Ctrl held the text is copied and stays here.
    auto mime = std::make_unique<QMimeData>();
    mime->setText(QStringLiteral("X"));
    EXPECT_EQ(DropOn(target, PointOf(target, 0), mime.get(), Qt::CopyAction | Qt::MoveAction,
                     Qt::ControlModifier),
              Qt::CopyAction);
    EXPECT_EQ(target.Memo().Text(), "X[]");
}

TEST_F(ClipboardAndDrops, DropsFromOtherProgramsAndOfFiles) {
    SetText(widget, "ab");
    // HTML from a browser: the fragment between the markers, once the application asks for
    // it trimmed (a drop is raw data until OnDataDrop says otherwise).
    auto html = std::make_unique<QMimeData>();
    html->setHtml(QStringLiteral("<html><body><!--StartFragment-->some <b>bold</b> "
                                 "text here<!--EndFragment--></body></html>"));
    TSourceTypes seen = 0;
    Memo().OnDataDrop = [&](TCustomSyntaxMemo&, TSourceTypes& types) {
        seen = types;
        types = (types | stHTMLFragment) & ~stRawData;
    };
    EXPECT_EQ(DropOn(widget, PointOf(widget, 1), html.get(), Qt::CopyAction), Qt::CopyAction);
    EXPECT_TRUE(seen & stHTML);
    EXPECT_EQ(Memo().Text(), "asome <b>bold</b> text hereb");

    // Files from a file manager, which names them as text too: with smoProcessDroppedFiles
    // they go to OnFilesDropped, and with raw data refused as the main window does, nothing
    // is typed.
    SetText(widget, "ab");
    auto files = std::make_unique<QMimeData>();
    files->setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/a b.asm")),
                    QUrl::fromLocalFile(QStringLiteral("/tmp/<x>&.c")),
                    QUrl(QStringLiteral("https://example.org/remote.asm"))});
    files->setText(QStringLiteral("/tmp/a b.asm\n/tmp/<x>&.c"));
    std::vector<std::string> dropped;
    TDropPoint where;
    Memo().OnFilesDropped = [&](TCustomSyntaxMemo&, std::vector<std::string>& names,
                                TDropPoint at) {
        dropped = names;
        where = at;
    };
    const QPoint at = PointOf(widget, 1);
    EXPECT_EQ(DropOn(widget, at, files.get(), Qt::CopyAction | Qt::MoveAction), Qt::CopyAction);
    EXPECT_EQ(dropped, (std::vector<std::string>{"/tmp/a b.asm", "/tmp/<x>&.c"}));
    EXPECT_EQ(where.X, at.x());
    EXPECT_EQ(where.Y, at.y());
    EXPECT_EQ(Memo().Text(), "ab");
    // Left raw, the names are typed as well, one a line.
    Memo().OnDataDrop = nullptr;
    dropped.clear();
    EXPECT_EQ(DropOn(widget, PointOf(widget, 2), files.get(), Qt::CopyAction | Qt::MoveAction),
              Qt::CopyAction);
    EXPECT_EQ(dropped.size(), 2u);
    EXPECT_EQ(Memo().Text(), "ab/tmp/a b.asm\r/tmp/<x>&.c\r");

    // Without the option, the names are text like any other.
    Memo().SetOptionWord(Memo().OptionWord() & ~OptionBit(smoProcessDroppedFiles));
    SetText(widget, "ab");
    dropped.clear();
    EXPECT_EQ(DropOn(widget, PointOf(widget, 2), files.get(), Qt::CopyAction), Qt::CopyAction);
    EXPECT_TRUE(dropped.empty());
    EXPECT_EQ(Memo().Text(), "ab/tmp/a b.asm\r/tmp/<x>&.c");

    // Nothing the editor can take.
    auto image = std::make_unique<QMimeData>();
    image->setData(QStringLiteral("image/png"), QByteArray("\x89PNG", 4));
    EXPECT_EQ(DropOn(widget, PointOf(widget, 0), image.get(), Qt::CopyAction), Qt::IgnoreAction);
}

TEST_F(ClipboardAndDrops, ADragNearTheBottomEdgeScrollsAStepAMove) {
    std::string text;
    for (int i = 0; i < 200; ++i)
        text += "line " + std::to_string(i) + "\r";
    Memo().SetWholeText(text);
    Memo().ChangeNotification();
    QMimeData mime;
    mime.setText(QStringLiteral("x"));
    const QPoint low(Memo().TextLeft() + 10, widget.viewport()->height() - widget.RowHeight() / 2);
    QDragEnterEvent enter(low, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget.viewport(), &enter);
    ASSERT_TRUE(enter.isAccepted());
    for (int i = 0; i < 3; ++i) {
        QDragMoveEvent move(low, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(widget.viewport(), &move);
    }
    EXPECT_EQ(Memo().View().TopRow(), 3);
    // In the middle of the window nothing scrolls.
    const QPoint middle(low.x(), widget.viewport()->height() / 2);
    QDragMoveEvent still(middle, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget.viewport(), &still);
    EXPECT_EQ(Memo().View().TopRow(), 3);
    QDragLeaveEvent leave;
    QApplication::sendEvent(widget.viewport(), &leave);
    EXPECT_FALSE(Memo().View().Mouse().DropActive());
    EXPECT_EQ(Memo().Text(), text);
}

TEST_F(ClipboardAndDrops, TheCaretShowsWhereADropWillLand) {
    SetText(widget, "abcdef\rghijkl\r");
    Memo().SetSelection(0, 0);
    widget.clearFocus(); // no blinking caret of its own in the picture
    const QImage before = Render();
    auto mime = std::make_unique<QMimeData>();
    mime->setText(QStringLiteral("X"));
    const QPoint at = PointOf(widget, 10);
    QDragEnterEvent enter(at, Qt::CopyAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget.viewport(), &enter);
    ASSERT_TRUE(enter.isAccepted());
    EXPECT_TRUE(Memo().DropActive());
    EXPECT_EQ(Memo().DropPosition(), 10);
    const QImage during = Render();
    Pixel x = 0, y = 0;
    Memo().View().PointOf(10, x, y);
    x += Memo().TextLeft();
    EXPECT_NE(before.pixel(x, y + widget.RowHeight() / 2),
              during.pixel(x, y + widget.RowHeight() / 2));
    // Nowhere else.
    EXPECT_EQ(before.copy(0, 0, before.width(), y), during.copy(0, 0, during.width(), y));

    QDragLeaveEvent leave;
    QApplication::sendEvent(widget.viewport(), &leave);
    EXPECT_FALSE(Memo().DropActive());
    EXPECT_EQ(Render(), before);
}

} // namespace
} // namespace kvx
