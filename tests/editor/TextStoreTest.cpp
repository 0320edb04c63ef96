#include "editor/TextStore.h"
#include "support/StoreInvariants.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kvx {
namespace {

using test::CheckStore;

// A view that drives the store's primitives itself, as the control does.
class TTestView : public TStoreView {
  public:
    using TStoreView::TStoreView;
    void Select(TextOffset anchor, TextOffset caret) { SetStoreSelection({anchor, caret}); }
    void ShowRow(const TRowFinger& top) { SetTopFinger(top); }
};

struct Doc {
    TTextStore store;
    TTestView view{store};

    void Insert(std::string_view text, TextOffset at) {
        view.Select(at, at);
        store.InsertAtCaret(view, text.data(), static_cast<int32_t>(text.size()));
    }
    void Append(std::string_view text) { Insert(text, store.TextLength()); }
    void Delete(TextOffset from, TextOffset to) {
        view.Select(from, to);
        store.DeleteRange(view);
    }
    std::string Text() { return store.GetText(0, store.TextLength()); }
    std::vector<int> RowLengths() {
        std::vector<int> v;
        for (const TLineNode* r = store.FirstRow(); r; r = r->Next())
            v.push_back(r->Length());
        return v;
    }
};

TEST(TextStore, NormalisesBreaksAndControlBytes) {
    Doc d;
    d.Append(std::string("a\r\nb", 4));
    EXPECT_EQ(d.Text(), "a\rb");
    EXPECT_EQ(d.store.RowCount(), 2);
    EXPECT_EQ(d.store.TextLength(), 3);

    Doc lf;
    lf.Append("\n");
    EXPECT_EQ(lf.Text(), "\r");
    Doc lfcr;
    lfcr.Append("x\n\ry");
    EXPECT_EQ(lfcr.Text(), "x\ry");

    // Control bytes anywhere, the very last byte included, are stored as full stops; a
    // single typed control byte is no exception.
    Doc ctl;
    ctl.Append(std::string("abc\0", 4));
    ctl.Append(std::string("\x07", 1));
    ctl.Append(std::string("z\x1a", 2));
    EXPECT_EQ(ctl.Text(), "abc..z.");
    EXPECT_EQ(CheckStore(ctl.store), "");
}

TEST(TextStore, BreakPairsSplitAcrossPiecesStayOneBreak) {
    // Byte 8191 is CR and byte 8192 LF: the pair straddles the internal 8192-byte pieces.
    std::string text(8191, 'a');
    text += "\r\nb\n\r";
    text += std::string(8192 - 5, 'c');
    text += "\n\rd\r";
    Doc d;
    d.Append(text);
    const std::string stored = d.Text();
    EXPECT_EQ(std::count(stored.begin(), stored.end(), '\r'), 4);
    EXPECT_EQ(stored.back(), '\r'); // a final lone CR is kept, not lost or repeated
    EXPECT_EQ(CheckStore(d.store), "");
}

TEST(TextStore, LongLinesAreCutAtTheRowCap) {
    Doc d;
    d.Append(std::string(5000, 'x'));
    EXPECT_EQ(d.RowLengths(), (std::vector<int>{2047, 2047, 906}));
    const TLineNode* r = d.store.FirstRow();
    EXPECT_FALSE(r->IsContinuation());
    EXPECT_TRUE(r->Next()->IsContinuation());
    EXPECT_TRUE(r->Next()->Next()->IsContinuation());
    EXPECT_EQ(d.store.LongestRow(), 2047);

    // Typing into a full row splits it instead of growing it past the cap.
    Doc full;
    full.Append(std::string(2047, 'y') + "\r");
    full.Insert("q", 10);
    EXPECT_EQ(CheckStore(full.store), "");
    EXPECT_EQ(full.store.TextLength(), 2049);

    // Joining two long rows re-cuts the joined text.
    Doc join;
    join.Append(std::string(2000, 'a') + "\r" + std::string(2000, 'b') + "\r");
    join.Delete(2000, 2001);
    EXPECT_EQ(join.RowLengths(), (std::vector<int>{2047, 1954}));
    EXPECT_EQ(join.Text(), std::string(2000, 'a') + std::string(2000, 'b') + "\r");
    EXPECT_EQ(CheckStore(join.store), "");
}

TEST(TextStore, Utf8SequencesAreNeverCutApart) {
    Doc d;
    std::string line(2046, 'a');
    line += "\xE2\x82\xAC"; // a three-byte euro sign across the cap
    line += "tail";
    d.Append(line);
    EXPECT_EQ(d.RowLengths()[0], 2046);
    EXPECT_EQ(CheckStore(d.store), "");

    // The same bytes in a single-byte document are cut at the cap.
    Doc s;
    s.store.SetUtf8(false);
    s.Append(line);
    EXPECT_EQ(s.RowLengths()[0], 2047);
}

TEST(TextStore, RowAtFindsRowsAndTheLineAfterAFinalBreak) {
    Doc d;
    d.Append("ab\r");
    TRowFinger f = d.store.RowAt(nullptr, 3);
    EXPECT_EQ(f.Row, d.store.FirstRow());
    EXPECT_EQ(f.Index, 1);
    EXPECT_EQ(f.Offset, 0);

    Doc many;
    std::string text;
    for (int i = 0; i < 1000; ++i)
        text += "line " + std::to_string(i) + "\r";
    many.Append(text);
    // Walks from any of the known rows land on the same row.
    for (TextOffset off : {0, 7, 5000, 3, 7000, 100, (TextOffset)text.size() - 1}) {
        const TRowFinger r = many.store.RowAt(nullptr, off);
        EXPECT_EQ(many.store.RowStart(r.Row), r.Offset);
        EXPECT_LE(r.Offset, off);
        EXPECT_LT(off, r.Offset + r.Row->Length());
        EXPECT_EQ(many.store.RowByIndex(r.Index).Row, r.Row);
    }
    EXPECT_EQ(many.store.RowByIndex(99999).Row, many.store.LastRow());

    Doc empty;
    EXPECT_EQ(empty.store.RowAt(nullptr, 0).Row, nullptr);
    EXPECT_EQ(empty.store.RowByIndex(5).Row, nullptr);
}

TEST(TextStore, DeleteJoinsRowsKeepsMarksAndEmptiesTheStore) {
    Doc d;
    d.Append("one\rtwo\rthree\r");
    TLineNode* two = d.store.FirstRow()->Next();
    two->SetMarks(1 << 3);
    d.store.SetRowColors(two, 0x00FF00, 0x000000);
    // Delete the whole line "two" from its start to the start of the next line: the mark and
    // the colours go to the line that moved up.
    d.Delete(4, 8);
    EXPECT_EQ(d.Text(), "one\rthree\r");
    const TLineNode* moved = d.store.FirstRow()->Next();
    EXPECT_EQ(moved->View(), "three\r");
    EXPECT_EQ(moved->Marks() & rmBookmarkBits, 1 << 3);
    EXPECT_EQ(d.store.RowBackColor(moved), 0x00FF00);
    EXPECT_EQ(d.view.Selection(), (TSelectionRange{4, 4}));

    d.Delete(0, d.store.TextLength());
    EXPECT_EQ(d.store.RowCount(), 0);
    EXPECT_EQ(d.store.TextLength(), 0);
    EXPECT_EQ(d.store.FirstRow(), nullptr);
    EXPECT_EQ(d.store.LongestRow(), 0);
    EXPECT_EQ(CheckStore(d.store), "");

    // Deleting the last line's characters leaves no empty row behind.
    Doc tail;
    tail.Append("a\rb");
    tail.Delete(2, 3);
    EXPECT_EQ(tail.store.RowCount(), 1);
    EXPECT_EQ(CheckStore(tail.store), "");
}

TEST(TextStore, LineObjectsFollowTheirRowAndAreFreed) {
    struct Tracked : TLineObject {
        int* alive;
        explicit Tracked(int* a) : alive(a) { ++*alive; }
        ~Tracked() override { --*alive; }
    };
    int alive = 0;
    Doc d;
    d.Append("abc\rdef\r");
    d.store.SetLineObject(d.store.FirstRow(), std::make_unique<Tracked>(&alive));
    d.Insert("X", 1); // the row is rebuilt: the object moves with it
    TLineObject* obj = d.store.LineObject(d.store.FirstRow());
    ASSERT_NE(obj, nullptr);
    EXPECT_EQ(obj->Row, d.store.FirstRow());
    d.Insert("\r", 2); // split: the first piece keeps it
    EXPECT_EQ(d.store.LineObject(d.store.FirstRow()), obj);
    EXPECT_EQ(d.store.LineObject(d.store.FirstRow()->Next()), nullptr);
    d.Delete(0, d.store.TextLength());
    EXPECT_EQ(alive, 0);
}

TEST(TextStore, ColumnsAndTabStops) {
    Doc d;
    TTabSettings tabs;
    d.Append("a\tbc\rxyz\r");
    const TLineNode* r = d.store.FirstRow();
    EXPECT_EQ(d.store.ColumnOfIndex(r, 0, tabs), 0);
    EXPECT_EQ(d.store.ColumnOfIndex(r, 2, tabs), 4);
    EXPECT_EQ(d.store.ColumnOfIndex(r, 4, tabs), 6);
    EXPECT_EQ(d.store.IndexOfColumn(r, 2, tabs), 2);  // inside the TAB: after it
    EXPECT_EQ(d.store.IndexOfColumn(r, 99, tabs), 4); // past the end: before the break
    const TLineNode* x = r->Next();
    EXPECT_EQ(d.store.ColumnOfIndex(x, 9, tabs), 4);  // past the break of the last row: Length
    EXPECT_EQ(d.store.ColumnOfIndex(r, 99, tabs), 7); // a TAB row walks to its end

    tabs.Columns[0] = 9;
    tabs.Columns[1] = 19;
    EXPECT_EQ(tabs.NextTabStop(0), 9);
    EXPECT_EQ(tabs.NextTabStop(9), 19);
    EXPECT_EQ(tabs.NextTabStop(19), 20);

    // A UTF-8 character is one column.
    Doc u;
    u.Append("\xC3\xA9t\xC3\xA9\r");
    const TLineNode* ur = u.store.FirstRow();
    EXPECT_EQ(u.store.ColumnOfIndex(ur, 3, TTabSettings{}), 2);
    EXPECT_EQ(u.store.IndexOfColumn(ur, 2, TTabSettings{}), 3);
    EXPECT_EQ(u.store.PrevCharStart(ur, 3), 2);
    EXPECT_EQ(u.store.NextCharStart(ur, 0), 2);
}

TEST(TextStore, OtherViewsFollowEdits) {
    TTextStore store;
    TTestView a(store), b(store);
    a.Select(0, 0);
    store.InsertAtCaret(a, "first\rsecond\rthird\r", -1);
    b.Select(13, 15);
    b.ShowRow(store.RowByIndex(2));
    a.Select(0, 0);
    store.InsertAtCaret(a, "new\r", -1);
    EXPECT_EQ(b.Selection(), (TSelectionRange{17, 19}));
    EXPECT_EQ(b.TopFinger().Index, 3);
    a.Select(0, 10);
    store.DeleteRange(a);
    EXPECT_EQ(b.Selection(), (TSelectionRange{7, 9}));
    EXPECT_EQ(CheckStore(store), "");
}

TEST(TextStore, RewrapKeepsCanonicalRows) {
    Doc d;
    d.Append(std::string(3000, 'a') + "\rb\r");
    d.Delete(100, 110);
    EXPECT_EQ(d.RowLengths(), (std::vector<int>{2047, 944, 2}));
    d.store.RewrapRange(nullptr, nullptr);
    EXPECT_EQ(d.RowLengths(), (std::vector<int>{2047, 944, 2}));
    EXPECT_EQ(CheckStore(d.store), "");
}

// Edits anywhere in a line longer than a row leave it cut as loading the same text would:
// rows of 2047 and the rest, never rows that only grow shorter. Every row count and line
// number depends on that.
TEST(TextStore, LongLinesStayCutAtTheLimitThroughEdits) {
    Doc d;
    d.Append(std::string(5000, 'x') + "\rnext\r");
    for (int i = 0; i < 5; ++i)
        d.Insert("k", 10 + i);
    EXPECT_EQ(d.RowLengths(), (std::vector<int>{2047, 2047, 912, 5}));
    for (int i = 0; i < 5; ++i)
        d.Delete(10 + 4 - i, 10 + 5 - i);
    EXPECT_EQ(d.RowLengths(), (std::vector<int>{2047, 2047, 907, 5}));
    EXPECT_EQ(d.Text(), std::string(5000, 'x') + "\rnext\r");

    // At a row boundary, across boundaries, with breaks that split the line, and joins.
    d.Insert("yy", 2047);
    EXPECT_EQ(d.RowLengths(), (std::vector<int>{2047, 2047, 909, 5}));
    d.Delete(2000, 4200);
    EXPECT_EQ(d.RowLengths(), (std::vector<int>{2047, 756, 5}));
    d.Insert("a\rb", 1000);
    EXPECT_EQ(d.RowLengths(), (std::vector<int>{1002, 1804, 5}));
    d.Delete(1001, 1002); // joined again
    EXPECT_EQ(d.RowLengths(), (std::vector<int>{2047, 758, 5}));
    d.Delete(2804, 2805); // the break before "next": one line of 2809 bytes
    EXPECT_EQ(d.RowLengths(), (std::vector<int>{2047, 762}));
    EXPECT_EQ(CheckStore(d.store), "");

    // UTF-8: the first row ends early so as not to split a euro sign; typing a letter just
    // before the sign, at the start of the second row, lets the first row take the letter.
    Doc u;
    u.Append(std::string(2046, 'a') + "\xE2\x82\xAC" + std::string(3000, 'b'));
    EXPECT_EQ(u.RowLengths(), (std::vector<int>{2046, 2047, 956}));
    u.Insert("z", 2046);
    EXPECT_EQ(u.RowLengths(), (std::vector<int>{2047, 2047, 956}));
    EXPECT_EQ(CheckStore(u.store), "");
    u.Delete(2046, 2047); // and gives it back
    EXPECT_EQ(u.RowLengths(), (std::vector<int>{2046, 2047, 956}));
    u.Delete(2046, 2049); // without the sign the first row is full again
    EXPECT_EQ(u.RowLengths(), (std::vector<int>{2047, 2047, 952}));
    EXPECT_EQ(CheckStore(u.store), "");

    // A deletion a few bytes into such a second row (here inside the sign, as a view that
    // drives the store may ask) keeps the first row's text whole and reads nothing past it.
    Doc v;
    v.Append(std::string(2045, 'a') + "\xE2\x82\xAC" + std::string(10, 'b'));
    EXPECT_EQ(v.RowLengths(), (std::vector<int>{2045, 13}));
    v.Delete(2046, 2047);
    EXPECT_EQ(v.Text(), std::string(2045, 'a') + "\xE2\xAC" + std::string(10, 'b'));
    EXPECT_EQ(CheckStore(v.store), "");
}

TEST(TextStore, RefusesTextPastTheOffsetRange) {
    Doc d;
    d.Append("abc");
    // Pretend to insert more than 2^31 bytes: refused before anything changes. The
    // pointer is never read because the size check comes first.
    EXPECT_THROW(d.store.InsertAtCaret(d.view, "x", INT32_MAX - 1), ESyntaxMemo);
    EXPECT_EQ(d.Text(), "abc");
}

} // namespace
} // namespace kvx
