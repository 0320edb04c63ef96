// Word wrap of a control's document: which logical lines are cut again and when. The text
// store holds the rows, so wrapping is cutting lines into other rows; the characters never
// change. An edit re-cuts the lines it touched; a change of what the cuts depend on (the
// option, the width, the font, the tab stops, the lines that are never wrapped) re-cuts the
// whole document, the rows the window shows first. With background slices on (the widget's
// timer drives them) the rest follows slice by slice, so a huge document never holds the
// window up; without them everything is done at once.
//
// While lines are cut again the caret stays on its character (the selection is offsets) and
// the first visible row keeps showing the same text.
#pragma once

#include "EdTypes.h"
#include "TextStore.h"
#include "WrapRule.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kvx {

class TCustomSyntaxMemo;

class TWordWrap : private TStoreListener {
  public:
    explicit TWordWrap(TCustomSyntaxMemo& memo) : memo_(memo) {}
    ~TWordWrap() override;
    TWordWrap(const TWordWrap&) = delete;
    TWordWrap& operator=(const TWordWrap&) = delete;

    // ---- Properties (kept in the settings in use) ---------------------------------------
    // The wrap width in columns, 0 for the window's width. Values outside 0..65535 are
    // ignored; a change re-wraps the document while word wrap is on.
    int WrapAtColumn() const;
    void SetWrapAtColumn(int column);
    // First characters of lines that are never wrapped (with smoWrapOverride).
    const std::string& WrapOverride() const;
    void SetWrapOverride(std::string_view chars);
    // Replaces the built-in word break; an empty function brings it back. Re-wraps.
    void SetWordBreakProc(TSM_WordBreakProc proc);
    const TSM_WordBreakProc& WordBreakProc() const { return proc_; }

    // W: WrapAtColumn, or the window's visible columns less 4; never below 20. A window that
    // has no size yet counts as 80 columns wide.
    int WrapWidth() const;
    // What the cuts depend on now.
    TWrapParams CurrentParams() const;

    // ---- When lines are cut again -------------------------------------------------------
    // Something the cuts may depend on changed (options, settings, tab stops, the window's
    // width): the whole document is re-wrapped when what they depend on really changed.
    void Update();
    // The font changed; its metrics may read the same, but its widths do not.
    void FontChanged();
    // The control shows another document: wrap it when word wrap is on.
    void StoreChanged();
    // The store's hook after an edit: with word wrap on, the logical lines from `first`'s to
    // `last`'s are cut again (a whole document at once goes the way of a re-wrap).
    void RewrapAfterEdit(TLineNode* first, TLineNode* last);

    // ---- Background slices --------------------------------------------------------------
    // On: a whole-document re-wrap does the rows the window shows and leaves the rest to
    // RunSlice. Off (the default, for controls without a timer): all of it at once.
    void SetBackground(bool on);
    bool Background() const { return background_; }
    // Whether lines are waiting for RunSlice.
    bool Pending() const { return pending_; }
    // Re-wraps waiting lines until `rows` rows were passed or `time` is spent; true while
    // lines are still waiting. Raises the control's change notification when rows changed.
    bool RunSlice(int rows, std::chrono::microseconds time);
    // Everything still waiting, now.
    void Finish();

  private:
    // TStoreListener: the position of the background work follows the text.
    void TextInserted(TextOffset at, int32_t count) override;
    void TextDeleted(TextOffset at, int32_t count) override;
    void StoreEmptied() override;

    void RewrapDocument();
    // Cuts the rows from `from` (the first row of a line, or a row where a cut of the rule in
    // force falls) to its line's end, `lead` being the line's first byte; returns the row
    // after them, and in `changed` whether any row changed.
    TRowFinger RecutFrom(const TRowFinger& from, TWrapRule& rule, unsigned char lead,
                         bool* changed = nullptr);
    // The logical line's first row, from any of its rows.
    static TRowFinger LineStart(TRowFinger f);
    void Listen(bool on);
    void StopJob();

    TCustomSyntaxMemo& memo_;
    TSM_WordBreakProc proc_;
    TWrapParams applied_; // what the rows are cut for
    bool background_ = false;
    bool pending_ = false;
    TextOffset next_ = 0; // where the background work goes on: a line start, or inside one
    // The row there, as the last slice left it: good while no row was freed or added and the
    // text kept its length (a walk to it from the nearest known row costs a slice's time in
    // a document of millions of rows).
    TRowFinger nextRow_;
    uint64_t nextFreed_ = 0;
    RowIndex nextRows_ = 0;
    TextOffset nextLength_ = 0;
    TTextStore* listening_ = nullptr;
    std::string joined_;
    std::vector<int32_t> lengths_;
};

} // namespace kvx
