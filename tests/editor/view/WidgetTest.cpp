// The widget as a whole: the template pick list driven by keys and the mouse, switching the
// language, the pixel-position requests, failures that become messages, and a large document
// that is shown before it is highlighted to its end.
#include "WidgetFixture.h"
#include "editor/Settings.h"
#include "editor/view/TemplateList.h"
#include "highlight/SynParse.h"
#include "highlight/languages/Languages.h"

#include <QClipboard>
#include <QListWidget>
#include <QMimeData>

namespace kvx {
namespace {

using test::TWidgetFixture;

class Widget : public TWidgetFixture {
  protected:
    TTemplateList* List() { return widget.viewport()->findChild<TTemplateList*>(); }
    void AddTemplates() {
        TCodeTemplates& t = Memo().Settings().Templates();
        t.AddTemplate("beg", "Begin block", "begin\r|\rend");
        t.AddTemplate("for", "For loop", "for i := 0 to | do");
        t.AddTemplate("fun", "Function", "function |(): Integer;");
        t.AddTemplate("while", "While loop", "while | do");
    }
};

TEST_F(Widget, TemplatePickList) {
    AddTemplates();
    Type(QStringLiteral("x fu"));
    // "fu" is no template: Ctrl+J opens the list with the first item holding "fu" selected
    // and the typed part selected in the editor, which keeps showing it.
    Key(Qt::Key_J, Qt::ControlModifier, QStringLiteral("\n"));
    TTemplateList* list = List();
    ASSERT_NE(list, nullptr);
    EXPECT_TRUE(list->isVisible());
    EXPECT_TRUE(list->hasFocus());
    EXPECT_EQ(list->Names(), QStringList({"beg", "for", "fun", "while"}));
    EXPECT_EQ(list->currentRow(), 2);
    EXPECT_EQ(Memo().Selection(), (TSelectionRange{2, 4}));
    // Under the caret's line.
    EXPECT_EQ(list->geometry().top(), widget.RowHeight());
    // The editor still paints the selection without the focus.
    const QImage shown = Render();
    EXPECT_EQ(shown.pixelColor(Memo().TextLeft() + 2 * widget.CharWidth() + 1, 1),
              test::ToQColor(Memo().SelTextBack()));

    // Typing searches by name: "w" finds "while"; "h" goes on to "wh", still "while"; "b"
    // finds nothing after "whb" and starts again with "b".
    QTest::keyClick(list, 'w');
    EXPECT_EQ(list->currentRow(), 3);
    QTest::keyClick(list, 'h');
    EXPECT_EQ(list->currentRow(), 3);
    QTest::keyClick(list, 'b');
    EXPECT_EQ(list->currentRow(), 0);
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(list->currentRow(), 1);
    // Return inserts "for" over "fu": "fu" is not part of "for", so it stays.
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_FALSE(list->isVisible());
    EXPECT_TRUE(widget.hasFocus());
    EXPECT_EQ(Memo().Text(), "x fufor i := 0 to  do");
    EXPECT_EQ(Memo().Selection().Caret, 18); // at the marker

    // Escape leaves the text as it was, the caret after the typed part.
    Memo().SetWholeText("x be");
    Memo().SetSelection(4, 4);
    Key(Qt::Key_J, Qt::ControlModifier, QStringLiteral("\n"));
    ASSERT_TRUE(list->isVisible());
    EXPECT_EQ(list->currentRow(), 0); // "be" is in "Begin block\tbeg"
    QTest::keyClick(list, Qt::Key_Escape);
    EXPECT_FALSE(list->isVisible());
    EXPECT_TRUE(widget.hasFocus());
    EXPECT_EQ(Memo().Text(), "x be");
    EXPECT_EQ(Memo().Selection(), (TSelectionRange{4, 4}));

    // A double click inserts the item clicked: "be" is part of "beg" and is replaced.
    Key(Qt::Key_J, Qt::ControlModifier, QStringLiteral("\n"));
    ASSERT_TRUE(list->isVisible());
    const QRect item = list->visualItemRect(list->item(0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, item.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, item.center());
    EXPECT_FALSE(list->isVisible());
    EXPECT_EQ(Memo().Text(), "x begin\r  \r  end");

    // A known word expands at once, without the list.
    Memo().SetWholeText("");
    Type(QStringLiteral("while"));
    Key(Qt::Key_J, Qt::ControlModifier, QStringLiteral("\n"));
    EXPECT_FALSE(list->isVisible());
    EXPECT_EQ(Memo().Text(), "while  do");
}

TEST(TemplateListPlace, BelowAboveAndLeft) {
    const QRect editor(0, 0, 400, 300);
    // Below the line when it fits, above it when not.
    EXPECT_EQ(TemplateListPlace(editor, QRect(50, 40, 2, 16), {200, 100}).topLeft(),
              QPoint(50, 56));
    EXPECT_EQ(TemplateListPlace(editor, QRect(50, 250, 2, 16), {200, 100}).bottom(), 249);
    // Moved left, 24 pixels clear of the edge, when it would pass the right edge.
    EXPECT_EQ(TemplateListPlace(editor, QRect(300, 40, 2, 16), {200, 100}).left(), 176);
    const QStringList names = {"alpha", "beta", "Bravo"};
    EXPECT_EQ(FindTemplateByPrefix(names, "br"), 2);
    EXPECT_EQ(FindTemplateByPrefix(names, "x"), -1);
}

TEST_F(Widget, SwitchingTheLanguage) {
    Memo().SetWholeText("int x; /* c */\r");
    widget.SetLanguage(2); // C
    ASSERT_NE(widget.Parser(2), nullptr);
    EXPECT_EQ(&Memo().Settings(), &widget.Parser(2)->Settings());
    widget.Memo().HighlightTo(Memo().TextLength());
    const uint8_t* c = Memo().Store().FirstRow()->Styles();
    ASSERT_NE(c, nullptr);
    const uint8_t keyword = c[0], comment = c[8];
    EXPECT_NE(keyword, 0);
    EXPECT_NE(comment, keyword);

    // A property set now belongs to C; plain text has its own.
    widget.SetFontSize(14);
    EXPECT_EQ(widget.Parser(2)->Settings().FontSize, 14);
    widget.SetLanguage(6);
    EXPECT_EQ(Memo().FontSize(), widget.Parser(6)->Settings().FontSize);
    EXPECT_NE(widget.Parser(6)->Settings().FontSize, 14);
    // Every row is highlighted again in the new language: one token for the line.
    widget.Memo().HighlightTo(Memo().TextLength());
    const uint8_t* t = Memo().Store().FirstRow()->Styles();
    EXPECT_EQ(t[0], t[8]);
    EXPECT_NE(t[0], keyword);
    // And back: C's font size and tokens return with it.
    widget.SetLanguage(2);
    EXPECT_EQ(Memo().FontSize(), 14);
    widget.Memo().HighlightTo(Memo().TextLength());
    EXPECT_EQ(Memo().Store().FirstRow()->Styles()[0], keyword);
    EXPECT_THROW(widget.SetLanguage(9), ESyntaxMemo);
    EXPECT_EQ(widget.ActiveParser(), 2);

    // Each language's key map: Pascal binds Ctrl+Insert to copy, C does not.
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    Memo().SetSelection(0, 3);
    Key(Qt::Key_Insert, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("before"));
    widget.SetLanguage(3);
    Memo().SetSelection(0, 3);
    Key(Qt::Key_Insert, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("int"));
}

TEST_F(Widget, PixelPositionRequests) {
    Memo().SetWholeText("abc\r\tdef\r");
    const Pixel left = Memo().TextLeft(), w = widget.CharWidth(), h = widget.RowHeight();
    auto unpack = [](intptr_t v) { return QPoint(int16_t(v & 0xFFFF), int16_t(v >> 16)); };
    EXPECT_EQ(unpack(Memo().Perform(214, 2)), QPoint(left + 2 * w, 0));
    EXPECT_EQ(unpack(Memo().Perform(214, 5)), QPoint(left + 4 * w, h)); // after the TAB
    auto pos = [](int x, int y) { return intptr_t(uint32_t(uint16_t(x)) | uint32_t(y) << 16); };
    EXPECT_EQ(Memo().Perform(215, 0, pos(left + 2 * w + 1, 1)), 2);
    EXPECT_EQ(Memo().Perform(215, 0, pos(left + 5 * w, h + 2)), 6);
    EXPECT_EQ(Memo().Perform(215, 0, pos(left - 1, 1)), -1); // the gutter is not text
    EXPECT_EQ(Memo().Perform(215, 0, pos(left, widget.viewport()->height() + 5)), -1);
    // Scrolled, the positions move with the text.
    Memo().SetFirstVisibleLine(1);
    EXPECT_EQ(unpack(Memo().Perform(214, 5)), QPoint(left + 4 * w, 0));
}

TEST_F(Widget, FailuresBecomeMessages) {
    Memo().OnChange = [](TCustomSyntaxMemo&) { throw ESyntaxMemo(0, "handler failed"); };
    Type(QStringLiteral("a"));
    Memo().OnChange = nullptr;
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], QStringLiteral("handler failed"));
    errors.clear();
    // The editor goes on working.
    Type(QStringLiteral("b"));
    EXPECT_EQ(Memo().Text(), "ab");
}

TEST_F(Widget, ACopyFromTextNotYetHighlightedComesOutColoured) {
    std::string text;
    for (int i = 0; i < 40000; ++i)
        text += "int f" + std::to_string(i) + "(void) { return 0x1f; } /* c */\r";
    widget.SetLanguage(2);
    Memo().ClipCopyFormats = smTEXT | smRTF | smHTML;
    Memo().SetWholeText(text);
    Memo().ChangeNotification();
    Render();
    ASSERT_LT(Memo().HighlightedTo(), Memo().TextLength() / 2);
    // The last line, far below what the background has reached.
    const auto start = TextOffset(text.rfind('\r', text.size() - 2) + 1);
    Memo().SetSelection(start, Memo().TextLength() - 1);
    Key(Qt::Key_C, Qt::ControlModifier);
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(mime, nullptr);
    EXPECT_EQ(mime->text().toStdString(), "int f39999(void) { return 0x1f; } /* c */");
    // Keywords in bold and the comment in its colour: unhighlighted text would come out
    // plain, in style 0.
    const std::string html = mime->html().toStdString();
    EXPECT_NE(html.find("<B>return</B>"), std::string::npos) << html;
    EXPECT_NE(html.find("<FONT COLOR=\"#008000\">/* c */</FONT>"), std::string::npos) << html;
    EXPECT_FALSE(mime->data(QStringLiteral("text/rtf")).isEmpty());
}

TEST_F(Widget, ALargeDocumentIsShownBeforeItIsHighlighted) {
    std::string text;
    for (int i = 0; i < 40000; ++i)
        text += "int f" + std::to_string(i) + "(void) { return 0x1f; } /* c */\r";
    widget.SetLanguage(2);
    Memo().SetWholeText(text);
    Memo().ChangeNotification();
    // The first paint highlights the rows it shows, from the top, and no more.
    Render();
    const TextOffset shown = Memo().HighlightedTo();
    EXPECT_GT(shown, 0);
    EXPECT_LT(shown, Memo().TextLength() / 100);
    // A jump to the end highlights what it must and paints right.
    Key(Qt::Key_End, Qt::ControlModifier);
    Render();
    EXPECT_EQ(Memo().HighlightedTo(), Memo().TextLength());
    // The background finishes in slices between events; then the bytes are a full pass's.
    Memo().SetWholeText(text);
    Memo().ChangeNotification();
    EXPECT_TRUE(widget.HighlightingPending());
    for (int i = 0; i < 2000 && widget.HighlightingPending(); ++i)
        QTest::qWait(1);
    EXPECT_FALSE(widget.HighlightingPending());
    EXPECT_EQ(Memo().HighlightedTo(), Memo().TextLength());
    TCustomSyntaxMemo full;
    full.SetWholeText(text);
    widget.Parser(2)->HighlightAll(full);
    const TLineNode* a = Memo().Store().FirstRow();
    const TLineNode* b = full.Store().FirstRow();
    for (int row = 0; a && b; a = a->Next(), b = b->Next(), ++row)
        ASSERT_EQ(std::string(reinterpret_cast<const char*>(a->Styles()), a->Length()),
                  std::string(reinterpret_cast<const char*>(b->Styles()), b->Length()))
            << "row " << row;
}

} // namespace
} // namespace kvx
