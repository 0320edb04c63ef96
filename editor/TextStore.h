// The text of one document: a doubly linked chain of rows of at most 2047 bytes, each line
// break stored as one carriage return at the end of the row it closes. Every change of the
// text goes through InsertAtCaret and DeleteRange.
#pragma once

#include "EdConsts.h"
#include "EdTypes.h"
#include "RowPool.h"
#include "TextFile.h"

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace kvx {

class TTextStore;
class TLineNode;
class TUndoStack;
class TCustomBookmarks;

struct TSelectionRange {
    TextOffset Anchor = 0;
    TextOffset Caret = 0;
    TextOffset Start() const { return Anchor < Caret ? Anchor : Caret; }
    TextOffset End() const { return Anchor < Caret ? Caret : Anchor; }
    bool Empty() const { return Anchor == Caret; }
    bool operator==(const TSelectionRange&) const = default;
};

enum TRowFlag : uint32_t {
    rfRepaint = 1,
    rfRescan = 2,
    rfHasTab = 4,
    // The highlighting that wrote the row's token bytes ended the row in states the bytes
    // do not show (the language's bound states): the rows after it depend on more than
    // the bytes tell.
    rfBoundEnd = 8,
    rfScanStart = 16,
    // The row holds bytes of 128 or more: in a UTF-8 document its columns are not its bytes.
    rfHighBytes = 32,
    // The highlighting that wrote the row's token bytes ended the row in the language's start
    // states, with nothing pushed and outside a container: a later pass may start again at
    // the row's last run of token bytes when that run's value changes no state.
    rfCleanEnd = 64,
};

enum TRowMark : uint16_t {
    rmBookmarkBits = 0x03FF,
    rmContinuation = 4096,
};

// Something a view hangs on a row (line tracking). It knows its row; the store keeps that
// back-reference current when the row is rebuilt and frees the object with the row.
class TLineObject {
  public:
    virtual ~TLineObject() = default;
    TLineNode* Row = nullptr;
};

// One row. The characters, a zero byte and room for the token bytes follow the header in
// the same block, so a row costs one small allocation from the store's pool. Colours and
// line objects are rare and live in a side table of the store.
class TLineNode {
  public:
    int Length() const { return length_; }
    const char* Text() const { return reinterpret_cast<const char*>(this + 1); }
    std::string_view View() const { return {Text(), length_}; }
    unsigned char At(ByteIndex i) const { return static_cast<unsigned char>(Text()[i]); }
    bool EndsWithBreak() const { return length_ > 0 && Text()[length_ - 1] == '\r'; }
    // The characters before the line break.
    int ContentLength() const { return length_ - (EndsWithBreak() ? 1 : 0); }

    // Token bytes, one per character; null until the scanner has written them.
    uint8_t* Styles() { return hasStyles_ ? StyleBytes() : nullptr; }
    const uint8_t* Styles() const { return hasStyles_ ? StyleBytes() : nullptr; }
    uint8_t* AllocStyles(); // zero-filled
    void FreeStyles() { hasStyles_ = 0; }

    uint32_t RowFlags() const { return flags_; }
    void SetRowFlags(uint32_t f) { flags_ = f & kFlagMask; }
    void AddRowFlags(uint32_t f) { flags_ = (flags_ | f) & kFlagMask; }
    void ClearRowFlags(uint32_t f) { flags_ = flags_ & ~f & kFlagMask; }

    uint16_t Marks() const { return marks_; }
    void SetMarks(uint16_t m) { marks_ = m; }
    bool IsContinuation() const { return marks_ & rmContinuation; }
    uint16_t GlyphWord() const { return glyph_; }
    void SetGlyphWord(uint16_t g) { glyph_ = g; }

    TLineNode* Next() const { return next_; }
    TLineNode* Prev() const { return prev_; }

  private:
    friend class TTextStore;
    static size_t BlockSize(int length) {
        return TRowPool::RoundUp(sizeof(TLineNode) + 2 * size_t(length) + 1);
    }
    char* MutableText() { return reinterpret_cast<char*>(this + 1); }
    uint8_t* StyleBytes() const {
        return reinterpret_cast<uint8_t*>(const_cast<char*>(Text())) + length_ + 1;
    }

    TLineNode* next_ = nullptr;
    TLineNode* prev_ = nullptr;
    uint16_t length_ = 0;
    uint16_t marks_ = 0;
    uint16_t glyph_ = 0;
    // The row flags and two bits of bookkeeping fill the last two bytes: with millions of
    // rows the header has to stay at 24 bytes.
    static constexpr uint32_t kFlagMask = 0x7F;
    uint8_t flags_ = 0;
    uint8_t hasStyles_ : 1 = 0;
    uint8_t hasExtras_ : 1 = 0;
};

// A row together with its start offset and index: a place to start walking from.
struct TRowFinger {
    TLineNode* Row = nullptr;
    TextOffset Offset = 0;
    RowIndex Index = 0;
};

// Explicit tab columns (zero-based, ascending, -1 for unused) and the default width.
struct TTabSettings {
    int TabDefault = 4;
    std::array<int32_t, MaxTabColumns> Columns = MakeEmpty();

    DisplayColumn NextTabStop(DisplayColumn column) const;
    // Zero-based columns from the 1-based text ("9 17 25"); raises 4205-4208 for bad text.
    static std::array<int32_t, MaxTabColumns> ParseColumns(std::string_view text);
    static std::array<int32_t, MaxTabColumns> MakeEmpty() {
        std::array<int32_t, MaxTabColumns> a;
        a.fill(-1);
        return a;
    }
};

// What the store keeps per control showing it: the selection its edits work on, the rows
// it wants kept valid across edits (the first visible row, the rows to rescan) and its tab
// settings. The editor control derives from it; the store calls the virtual hooks to tell the
// control what happened. The fields are the store's and the control's business: everyone
// else reads them.
class TStoreView {
  public:
    TStoreView() = default;
    explicit TStoreView(TTextStore& store) { AttachStore(&store); }
    virtual ~TStoreView();
    TStoreView(const TStoreView&) = delete;
    TStoreView& operator=(const TStoreView&) = delete;

    void AttachStore(TTextStore* store);
    TTextStore* Store() const { return store_; }

    TSelectionRange Selection() const { return Sel; }
    const TRowFinger& TopFinger() const { return Top; }
    // The first row the highlighting must rescan (Row null when none), and the last row an
    // edit changed since the last highlighting pass.
    const TRowFinger& RescanFrom() const { return Rescan; }
    const TRowFinger& RescanLastEdited() const { return RescanLast; }
    const TTabSettings& TabSettings() const { return Tabs; }

    // The calling control's text-change event: +n after an insertion, -n after a deletion.
    virtual void StoreTextChanged(TextOffset /*offset*/, int32_t /*delta*/) {}
    // Rows the view shows; the store marks that many rows after a split for rescanning.
    virtual int VisibleRowCount() const { return 0; }
    // With word wrap on, the view re-cuts the rows an edit touched.
    virtual void RewrapAfterEdit(TLineNode* /*first*/, TLineNode* /*last*/) {}
    // Whether the view cuts the lines an edit touches itself (word wrap): the store then
    // leaves the rows after the edited ones as they are, for the view to cut.
    virtual bool CutsRows() const { return false; }
    // The store this view shows is being destroyed by its owner.
    virtual void StoreDestroyed() { AttachStore(nullptr); }

  protected:
    // For views that drive the store's primitives themselves.
    void SetStoreSelection(TSelectionRange range) { Sel = range; }
    void SetTopFinger(const TRowFinger& top) { Top = top; }

  private:
    friend class TTextStore;
    friend class TCustomSyntaxMemo;
    friend class TMemoView;
    friend class TEdStream;

    TSelectionRange Sel;
    TRowFinger Top;       // first visible row (the store keeps it valid across edits)
    RowIndex TopLine = 0; // saved first visible line number, used when Top is unknown
    TRowFinger Rescan;    // first row that needs rescanning; Row null when none
    // Last row an edit changed since the last highlighting pass: the pass must reach it even
    // when unchanged rows lie between (a replace-all makes many edits before one pass).
    TRowFinger RescanLast;
    TTabSettings Tabs;
    TTextStore* store_ = nullptr;
};

// Positions that follow the text by offset (named positions, range marks) listen here.
class TStoreListener {
  public:
    virtual ~TStoreListener() = default;
    virtual void TextInserted(TextOffset at, int32_t count) = 0;
    virtual void TextDeleted(TextOffset at, int32_t count) = 0;
    virtual void StoreEmptied() = 0;
    // The text is about to change (an insertion, a deletion or a clear): the last moment
    // to read it as it was.
    virtual void TextChanging() {}
};

// Turns arbitrary bytes into storable text: TAB and bytes 32-255 stay, CR LF, LF CR and a
// lone LF each become one CR, and every other control byte becomes ".". The state carries a
// break pair across pieces, so cutting the input anywhere gives the same result.
class TTextNormalizer {
  public:
    // Writes at most n bytes to out and returns how many.
    size_t Run(const char* in, size_t n, char* out);
    // Whether Run would copy the bytes unchanged: no line feed, no other control byte.
    static bool IsNormal(const char* in, size_t n);

  private:
    enum { None, AfterCR, AfterLF } state_ = None;
};

class TTextStore {
  public:
    TTextStore();
    ~TTextStore();
    TTextStore(const TTextStore&) = delete;
    TTextStore& operator=(const TTextStore&) = delete;

    TLineNode* FirstRow() const { return first_; }
    TLineNode* LastRow() const { return last_; }
    RowIndex RowCount() const { return rowCount_; }
    TextOffset TextLength() const { return textLength_; }
    // Counts every row ever freed. Code that holds bare row pointers across a call into
    // other code (an event handler) compares it before and after to know they still hold.
    uint64_t RowsFreed() const { return rowsFreed_; }
    // Length of the longest row; 0 for an empty document.
    int32_t LongestRow() const { return longest_; }

    // The byte-order mark and the line-break style the file was loaded with; a save writes
    // them back.
    bool Bom = false;
    TLineBreak LineBreak = TLineBreak::LF;

    // UTF-8 documents keep multi-byte sequences whole when rows are cut and count one
    // display column per character; single-byte documents count bytes.
    bool Utf8() const { return utf8_; }
    void SetUtf8(bool on) { utf8_ = on; }

    // The undo log in use: the store's own, another one attached from outside, or none.
    TUndoStack* UndoLog() const { return log_; }
    void SetUndoLog(TUndoStack* log) { log_ = log; }
    TUndoStack& OwnUndoLog() { return *ownLog_; }

    // One-based column of each numbered bookmark; 0: not set. As wide as an offset, since a
    // line can be far longer than 65,535 characters.
    std::array<int32_t, 10> BookmarkColumns{};
    // Named positions that follow the text.
    TCustomBookmarks& NamedPositions() { return *named_; }

    const std::vector<TStoreView*>& Views() const { return views_; }
    void AddListener(TStoreListener* l) { listeners_.push_back(l); }
    void RemoveListener(TStoreListener* l);

    // The row holding an offset (clamped to 0..TextLength). At the end of a document that
    // ends with a break the last row comes back with Index = RowCount: the empty line after
    // the break. Null row for an empty document. `view` may be null.
    TRowFinger RowAt(const TStoreView* view, TextOffset offset);
    // The row with an index (clamped to the last row); Offset is its start.
    TRowFinger RowByIndex(RowIndex index);
    TextOffset RowStart(const TLineNode* row);

    DisplayColumn ColumnOfIndex(const TLineNode* row, ByteIndex index,
                                const TTabSettings& tabs) const;
    ByteIndex IndexOfColumn(const TLineNode* row, DisplayColumn column,
                            const TTabSettings& tabs) const;
    // True when byte i of the row begins a character (always, in a single-byte document).
    bool IsCharStart(const TLineNode* row, ByteIndex i) const;
    // Start of the character before / after byte i of a row.
    ByteIndex PrevCharStart(const TLineNode* row, ByteIndex i) const;
    ByteIndex NextCharStart(const TLineNode* row, ByteIndex i) const;

    // Inserts count bytes (-1: up to the terminating zero) at the view's caret, normalised;
    // the caret and anchor end after the inserted text.
    void InsertAtCaret(TStoreView& view, const char* text, int32_t count);
    // The same as one edit however long the text is: it is normalised as a whole and the
    // line it goes into is cut again once, where InsertAtCaret does both for every 8 KB
    // piece. Replacing a span of megabytes (Replace All, its undo) stays linear in the
    // text even inside a line of many megabytes.
    void InsertWhole(TStoreView& view, const char* text, int32_t count);
    // Deletes the view's selection; the selection becomes empty at its start.
    void DeleteRange(TStoreView& view);
    // Frees all rows and resets positions: the document becomes empty.
    void Clear();
    // Replaces the whole text by the rows of `built` (a store that no view shows, filled by a
    // TTextLoader), which is left empty. Views and listeners hear of it as of a clear and
    // one insertion; every view rescans from the first row.
    void ReplaceRows(TTextStore& built);

    // Re-cuts the logical lines from the one holding `first` to the one holding `last`
    // (null: the document's first / last row) into rows of at most 2047 bytes.
    void RewrapRange(TLineNode* first, TLineNode* last);

    // Where a row cut at the row cap ends in `text` (`remaining` bytes): after a line break
    // within the cap, at the cap, or before the UTF-8 sequence the cap would split.
    int CutLength(const char* text, int remaining) const;

    // What RecutRows did.
    struct TRecut {
        TLineNode* First = nullptr; // the rows that now hold the text
        TLineNode* Last = nullptr;
        TRowFinger Next;      // the row after them (Row null at the end)
        int32_t RowDelta = 0; // rows gained (or lost, when negative)
        bool Changed = false;
    };
    // Cuts the rows from `from` on again, into rows of the given byte lengths (word wrap
    // decides them): as many rows as the lengths add up to, to the end of `from`'s logical
    // line at most. Nothing changes when the rows are cut so already, or when the lengths are
    // not a cut of the rows' text: they must add up to it (ending where a row ends), each be
    // 1..MaxRowLength and, in a UTF-8 document, end where a character ends. The characters
    // are not touched, so their token bytes go with them (a new row cut from any old row
    // that had none is left for the highlighting to rescan). The first new row keeps `from`'s
    // marks, glyph, colours and line object; every finger on a replaced row moves to the new
    // row that holds its offset.
    TRecut RecutRows(const TRowFinger& from, std::span<const int32_t> lengths);

    // The stored characters between two offsets (clamped, either order).
    std::string GetText(TextOffset from, TextOffset to);
    unsigned char CharAt(TextOffset offset); // 0 outside the text

    // Side table of the rare row fields.
    int32_t RowBackColor(const TLineNode* row) const;
    int32_t RowTextColor(const TLineNode* row) const;
    void SetRowColors(TLineNode* row, int32_t back, int32_t text);
    TLineObject* LineObject(const TLineNode* row) const;
    void SetLineObject(TLineNode* row, std::unique_ptr<TLineObject> object);

    // Pool bytes reserved for rows (the benchmark's memory figure is taken from the process).
    size_t RowPoolBytes() const { return pool_.ReservedBytes(); }

  private:
    friend class TStoreView;
    friend class TTextLoader;
    struct TRowExtras {
        int32_t BackColor = -1;
        int32_t TextColor = -1;
        std::unique_ptr<TLineObject> Object;
    };
    // What the first row made from an old row keeps of it.
    struct TRowKeep {
        uint16_t Marks = 0;
        uint16_t Glyph = 0;
        TRowExtras Extras;
        bool HasExtras = false;
    };

    void AttachView(TStoreView* v);
    void DetachView(TStoreView* v);

    TLineNode* NewRow(const char* text, int length, uint32_t flags);
    // A row of `length` bytes whose text the caller writes; `flags` must already say whether
    // it holds TABs and high bytes.
    TLineNode* NewRowBlock(int length, uint32_t flags);
    // Links a row after the last one (loading): `length` bytes of text, a CR after them with
    // `addBreak`; `flags` says whether the text holds TABs and high bytes.
    void AppendRow(const char* text, int length, bool addBreak, uint32_t flags);
    void FreeRow(TLineNode* row);
    TRowKeep TakeKeep(TLineNode* row);
    // Hands what TakeKeep took to the row that now starts where the old one did (its marks
    // are the caller's to set).
    void GiveKeep(TLineNode* row, TRowKeep& keep);

    // The token bytes that go with the text of rows being cut again, byte for byte: what the
    // highlighting wrote stays good wherever the characters are only moved to other rows.
    // Stretches without bytes (an edit's new text and what lies before it, rows never
    // highlighted) are recorded, and a row cut from any of them gets none, so the next pass
    // cannot stop before it has scanned them.
    struct TTokenCarry {
        std::string Bytes;
        std::vector<std::pair<int64_t, int64_t>> Fresh; // [from, to) in Bytes, ascending
        // rfBoundEnd and rfCleanEnd of the line's old last row: the line still ends where it
        // ended, so what the highlighting knew of its end holds.
        uint32_t EndFlags = 0;
        void Clear();
        void Skip(size_t count);                   // bytes that carry nothing
        void Take(const TLineNode* row, int from); // the row's bytes from `from` on
        // Whether `count` bytes at `at` are all carried; `fresh` is the caller's place in
        // Fresh, for calls at ascending offsets.
        bool Carried(int64_t at, int64_t count, size_t& fresh) const;
    };

    // Replaces oldCount rows from `first` (at offset/index) by rows cut from `text`; returns
    // the first and last new rows (null when text is empty). With `carry`, rows cut from
    // carried stretches keep their token bytes (`text` must end at a line's end).
    std::pair<TLineNode*, TLineNode*> Splice(TLineNode* first, int32_t oldCount, TextOffset offset,
                                             int32_t index, std::string_view text, TRowKeep keep,
                                             uint32_t flags, const TTokenCarry* carry = nullptr);
    void InsertPiece(TStoreView& view, const char* text, int32_t n);
    // The first row to cut again after an edit `inRow` bytes into the row at `at`.
    TRowFinger RecutStart(const TRowFinger& at, int inRow) const;
    // The last row of the line `row` belongs to; adds the rows stepped over to `rows`.
    static TLineNode* LineEnd(TLineNode* row, int32_t& rows);
    void NoteRescan(TLineNode* row, TextOffset offset, int32_t index);
    void CountRow(int length, int delta);
    TRowFinger WalkTo(TRowFinger from, TextOffset offset) const;

    TRowPool pool_;
    std::unique_ptr<TCustomBookmarks> named_;
    TLineNode* first_ = nullptr;
    TLineNode* last_ = nullptr;
    int32_t rowCount_ = 0;
    TextOffset textLength_ = 0;
    uint64_t rowsFreed_ = 0;
    int32_t longest_ = 0;
    std::array<int32_t, MaxRowLength + 1> lengthCount_{};
    bool utf8_ = true;
    TRowFinger cache_; // the row of the last lookup; typing stays next to it
    std::unique_ptr<TUndoStack> ownLog_;
    TUndoStack* log_ = nullptr;
    std::vector<TStoreView*> views_;
    std::vector<TStoreListener*> listeners_;
    void NotifyChanging() {
        for (TStoreListener* l : listeners_)
            l->TextChanging();
    }
    std::unordered_map<const TLineNode*, TRowExtras> extras_;
    std::string work_;  // combined row text of the edit in progress
    TTokenCarry carry_; // their token bytes, while rows are cut again
    std::string piece_; // normalised piece of an insertion
};

} // namespace kvx
