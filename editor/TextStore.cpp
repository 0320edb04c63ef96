#include "TextStore.h"

#include <cctype>

#include "Bookmarks.h"
#include "Encoding.h"

#include "UndoStack.h"

#include <algorithm>
#include <cassert>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>

namespace kvx {

namespace {

bool IsContinuationByte(unsigned char b) {
    return (b & 0xC0) == 0x80;
}

// Walks characters forward: true when byte i starts a character, given the state left by
// the bytes before it.
struct TUtf8Walker {
    int pending = 0;
    bool Starts(unsigned char b) {
        if (pending > 0 && IsContinuationByte(b)) {
            --pending;
            return false;
        }
        pending = Utf8SequenceLength(b) - 1;
        return true;
    }
};

// Byte classes of the normaliser: 0 copy, 1 CR, 2 LF, 3 other control byte.
struct TNormTable {
    uint8_t cls[256];
    constexpr TNormTable() : cls() {
        for (int i = 0; i < 32; ++i)
            cls[i] = 3;
        cls[9] = 0;
        cls[13] = 1;
        cls[10] = 2;
    }
};
constexpr TNormTable kNorm;

} // namespace

static_assert(sizeof(TLineNode) == 24, "row header grew: every row of a large file pays for it");

// ---- TLineNode -------------------------------------------------------------------------

uint8_t* TLineNode::AllocStyles() {
    std::memset(StyleBytes(), 0, length_);
    hasStyles_ = 1;
    return StyleBytes();
}

// ---- TTabSettings ----------------------------------------------------------------------

int TTabSettings::NextTabStop(int column) const {
    for (int32_t c : Columns) {
        if (c < 0)
            break;
        if (c > column)
            return c;
    }
    const int w = TabDefault > 0 ? TabDefault : 1;
    return w + column - column % w;
}

// ---- TStoreView ------------------------------------------------------------------------

TStoreView::~TStoreView() {
    AttachStore(nullptr);
}

void TStoreView::AttachStore(TTextStore* store) {
    if (store_ == store)
        return;
    if (store_)
        store_->DetachView(this);
    store_ = store;
    Sel = {};
    Top = {};
    TopLine = 0;
    Rescan = {};
    RescanLast = {};
    if (store_)
        store_->AttachView(this);
}

// ---- TTextNormalizer -------------------------------------------------------------------

bool TTextNormalizer::IsNormal(const char* in, size_t n) {
    for (size_t i = 0; i < n; ++i)
        if (kNorm.cls[static_cast<unsigned char>(in[i])] > 1)
            return false;
    return true;
}

size_t TTextNormalizer::Run(const char* in, size_t n, char* out) {
    size_t o = 0;
    for (size_t i = 0; i < n; ++i) {
        // Most bytes are ordinary: copy them a run at a time.
        size_t j = i;
        while (j < n && kNorm.cls[static_cast<unsigned char>(in[j])] == 0)
            ++j;
        if (j > i) {
            std::memcpy(out + o, in + i, j - i);
            o += j - i;
            i = j;
            state_ = None;
            if (i == n)
                break;
        }
        switch (kNorm.cls[static_cast<unsigned char>(in[i])]) {
        case 1:
            if (state_ == AfterLF) {
                state_ = None; // the CR of an LF CR pair
            } else {
                out[o++] = '\r';
                state_ = AfterCR;
            }
            break;
        case 2:
            if (state_ == AfterCR) {
                state_ = None; // the LF of a CR LF pair
            } else {
                out[o++] = '\r';
                state_ = AfterLF;
            }
            break;
        default:
            out[o++] = '.';
            state_ = None;
            break;
        }
    }
    return o;
}

// ---- TTextStore: life, views, side table -----------------------------------------------

TTextStore::TTextStore()
    : named_(std::make_unique<TCustomBookmarks>()), ownLog_(std::make_unique<TUndoStack>()),
      log_(ownLog_.get()) {
    AddListener(named_.get());
}

TTextStore::~TTextStore() {
    // Whoever listened for freed names may be gone already.
    named_->SetOnFree(nullptr, nullptr);
    for (TStoreView* v : std::vector<TStoreView*>(views_))
        v->StoreDestroyed();
    views_.clear();
    Clear();
}

void TTextStore::AttachView(TStoreView* v) {
    if (std::find(views_.begin(), views_.end(), v) == views_.end())
        views_.push_back(v);
}

void TTextStore::DetachView(TStoreView* v) {
    std::erase(views_, v);
}

void TTextStore::RemoveListener(TStoreListener* l) {
    std::erase(listeners_, l);
}

int32_t TTextStore::RowBackColor(const TLineNode* row) const {
    if (!row->hasExtras_)
        return -1;
    return extras_.at(row).BackColor;
}

int32_t TTextStore::RowTextColor(const TLineNode* row) const {
    if (!row->hasExtras_)
        return -1;
    return extras_.at(row).TextColor;
}

void TTextStore::SetRowColors(TLineNode* row, int32_t back, int32_t text) {
    TRowExtras& e = extras_[row];
    row->hasExtras_ = 1;
    e.BackColor = back;
    e.TextColor = text;
}

TLineObject* TTextStore::LineObject(const TLineNode* row) const {
    if (!row->hasExtras_)
        return nullptr;
    return extras_.at(row).Object.get();
}

void TTextStore::SetLineObject(TLineNode* row, std::unique_ptr<TLineObject> object) {
    TRowExtras& e = extras_[row];
    row->hasExtras_ = 1;
    if (object)
        object->Row = row;
    e.Object = std::move(object);
}

// ---- Rows ------------------------------------------------------------------------------

void TTextStore::CountRow(int length, int delta) {
    lengthCount_[length] += delta;
    if (delta > 0) {
        longest_ = std::max(longest_, length);
    } else {
        while (longest_ > 0 && lengthCount_[longest_] == 0)
            --longest_;
    }
}

TLineNode* TTextStore::NewRow(const char* text, int length, uint32_t flags) {
    unsigned char high = 0;
    for (int i = 0; i < length; ++i)
        high |= static_cast<unsigned char>(text[i]);
    if (high & 0x80)
        flags |= rfHighBytes;
    if (std::memchr(text, '\t', length))
        flags |= rfHasTab;
    TLineNode* row = NewRowBlock(length, flags);
    std::memcpy(row->MutableText(), text, length);
    return row;
}

TLineNode* TTextStore::NewRowBlock(int length, uint32_t flags) {
    void* block = pool_.Allocate(TLineNode::BlockSize(length));
    auto* row = new (block) TLineNode;
    row->length_ = static_cast<uint16_t>(length);
    row->MutableText()[length] = 0;
    row->SetRowFlags(flags);
    CountRow(length, +1);
    return row;
}

void TTextStore::FreeRow(TLineNode* row) {
    ++rowsFreed_;
    if (row->hasExtras_)
        extras_.erase(row);
    CountRow(row->length_, -1);
    const size_t size = TLineNode::BlockSize(row->length_);
    row->~TLineNode();
    pool_.Free(row, size);
}

TTextStore::TRowKeep TTextStore::TakeKeep(TLineNode* row) {
    TRowKeep k;
    k.Marks = row->marks_;
    k.Glyph = row->glyph_;
    if (row->hasExtras_) {
        auto it = extras_.find(row);
        k.Extras = std::move(it->second);
        k.HasExtras = true;
        extras_.erase(it);
        row->hasExtras_ = 0;
    }
    return k;
}

void TTextStore::GiveKeep(TLineNode* row, TRowKeep& keep) {
    row->glyph_ = keep.Glyph;
    if (keep.HasExtras) {
        if (keep.Extras.Object)
            keep.Extras.Object->Row = row;
        extras_[row] = std::move(keep.Extras);
        row->hasExtras_ = 1;
        keep.HasExtras = false;
    }
}

int TTextStore::CutLength(const char* text, int remaining) const {
    const int limit = std::min(remaining, MaxRowLength);
    if (const void* cr = std::memchr(text, '\r', limit))
        return static_cast<int>(static_cast<const char*>(cr) - text) + 1;
    if (limit == remaining)
        return limit;
    int c = limit;
    if (utf8_)
        while (c > 1 && !Utf8IsCharStart(text, c))
            --c;
    return c;
}

void TTextStore::TTokenCarry::Clear() {
    Bytes.clear();
    Fresh.clear();
    EndFlags = 0;
}

void TTextStore::TTokenCarry::Skip(size_t count) {
    if (count == 0)
        return;
    const auto at = static_cast<int64_t>(Bytes.size());
    if (!Fresh.empty() && Fresh.back().second == at)
        Fresh.back().second += static_cast<int64_t>(count);
    else
        Fresh.emplace_back(at, at + static_cast<int64_t>(count));
    Bytes.append(count, '\0');
}

void TTextStore::TTokenCarry::Take(const TLineNode* row, int from) {
    if (const uint8_t* bytes = row->Styles())
        Bytes.append(reinterpret_cast<const char*>(bytes) + from, size_t(row->length_ - from));
    else
        Skip(size_t(row->length_ - from));
}

bool TTextStore::TTokenCarry::Carried(int64_t at, int64_t count, size_t& fresh) const {
    while (fresh < Fresh.size() && Fresh[fresh].second <= at)
        ++fresh;
    return fresh == Fresh.size() || Fresh[fresh].first >= at + count;
}

std::pair<TLineNode*, TLineNode*> TTextStore::Splice(TLineNode* first, int32_t oldCount,
                                                     TextOffset offset, int32_t index,
                                                     std::string_view text, TRowKeep keep,
                                                     uint32_t flags, const TTokenCarry* carry) {
    TLineNode* prev = first ? first->prev_ : last_;
    TLineNode* after = first;
    int64_t oldLen = 0;
    for (int32_t i = 0; i < oldCount; ++i) {
        TLineNode* r = after;
        after = r->next_;
        oldLen += r->length_;
        FreeRow(r);
    }

    TLineNode* firstNew = nullptr;
    TLineNode* p = prev;
    int32_t newCount = 0;
    size_t fresh = 0;
    TRowFinger lastFresh; // the last row cut from a stretch without token bytes
    for (size_t pos = 0; pos < text.size();) {
        const int c = CutLength(text.data() + pos,
                                static_cast<int>(std::min<size_t>(text.size() - pos, INT_MAX)));
        TLineNode* r = NewRow(text.data() + pos, c, flags);
        if (carry && carry->Carried(int64_t(pos), c, fresh)) {
            // The row's characters were only moved: their bytes hold. Where the row now ends
            // the highlighting never saw the states, so it must not take that end for a
            // place to stop until it has scanned past it once; the line's last row ends
            // where it did. The first row is where the next pass starts.
            const bool lineEnd = pos + size_t(c) == text.size();
            r->SetRowFlags((r->flags_ & ~(rfRescan | rfBoundEnd | rfCleanEnd)) |
                           (lineEnd ? carry->EndFlags : rfBoundEnd) |
                           (firstNew ? 0 : flags & rfRescan));
            r->hasStyles_ = 1;
            std::memcpy(r->StyleBytes(), carry->Bytes.data() + pos, size_t(c));
        } else if (carry) {
            lastFresh = {r, offset + static_cast<TextOffset>(pos), index + newCount};
        }
        r->prev_ = p;
        (p ? p->next_ : first_) = r;
        if (!firstNew) {
            firstNew = r;
            GiveKeep(r, keep);
            r->marks_ = keep.Marks & ~rmContinuation;
        }
        if (p && !p->EndsWithBreak())
            r->marks_ |= rmContinuation;
        p = r;
        pos += c;
        ++newCount;
    }
    (p ? p->next_ : first_) = after;
    if (after) {
        after->prev_ = p;
        if (p && !p->EndsWithBreak())
            after->marks_ |= rmContinuation;
        else
            after->marks_ &= ~rmContinuation;
    } else {
        last_ = p;
    }

    const int32_t lenDelta = static_cast<int32_t>(int64_t(text.size()) - oldLen);
    const int32_t rowDelta = newCount - oldCount;
    rowCount_ += rowDelta;
    textLength_ += lenDelta;

    // Keep every finger on a live row: one inside the replaced rows moves to the first new
    // row (which starts at the same place), one after them shifts with the text.
    auto fix = [&](TRowFinger& f) {
        if (!f.Row || f.Offset < offset)
            return;
        if (f.Offset >= offset + oldLen) {
            f.Offset += lenDelta;
            f.Index += rowDelta;
        } else if (firstNew) {
            f = {firstNew, offset, index};
        } else if (after) {
            f = {after, offset, index};
        } else if (prev) {
            f = {prev, offset - prev->length_, index - 1};
        } else {
            f = {};
        }
    };
    fix(cache_);
    for (TStoreView* v : views_) {
        fix(v->Top);
        fix(v->Rescan);
        fix(v->RescanLast);
    }
    // The next pass may stop at the first row that comes out as it was, so it must know to
    // go on to the last row that has no bytes (one of an edit made before the last pass ran,
    // further down the line).
    if (lastFresh.Row)
        NoteRescan(lastFresh.Row, lastFresh.Offset, lastFresh.Index);
    if (rowCount_ == 0) {
        assert(extras_.empty());
        pool_.Release();
        cache_ = {};
    }
    return {firstNew, firstNew ? p : nullptr};
}

// ---- Lookups ---------------------------------------------------------------------------

TRowFinger TTextStore::WalkTo(TRowFinger f, TextOffset offset) const {
    if (offset >= f.Offset) {
        while (offset - f.Offset >= f.Row->length_ && f.Row->next_) {
            f.Offset += f.Row->length_;
            f.Row = f.Row->next_;
            ++f.Index;
        }
    } else {
        while (f.Offset > offset) {
            f.Row = f.Row->prev_;
            f.Offset -= f.Row->length_;
            --f.Index;
        }
    }
    return f;
}

TRowFinger TTextStore::RowAt(const TStoreView* view, TextOffset offset) {
    if (!first_)
        return {};
    offset = std::clamp(offset, 0, textLength_);
    // Start from whichever known row is nearest: the first row, the last row, the row of the
    // previous lookup, or the view's first visible row.
    TRowFinger best{first_, 0, 0};
    auto consider = [&](const TRowFinger& f) {
        if (f.Row &&
            std::llabs(int64_t(offset) - f.Offset) < std::llabs(int64_t(offset) - best.Offset))
            best = f;
    };
    consider({last_, textLength_ - last_->length_, rowCount_ - 1});
    consider(cache_);
    if (view)
        consider(view->Top);
    TRowFinger r = WalkTo(best, offset);
    cache_ = r;
    if (r.Row == last_ && offset == textLength_ && last_->EndsWithBreak())
        ++r.Index;
    return r;
}

TRowFinger TTextStore::RowByIndex(int32_t index) {
    if (!first_)
        return {};
    index = std::clamp(index, 0, rowCount_ - 1);
    TRowFinger best{first_, 0, 0};
    auto consider = [&](const TRowFinger& f) {
        if (f.Row && std::abs(index - f.Index) < std::abs(index - best.Index))
            best = f;
    };
    consider({last_, textLength_ - last_->length_, rowCount_ - 1});
    consider(cache_);
    for (const TStoreView* v : views_)
        consider(v->Top);
    while (best.Index < index) {
        best.Offset += best.Row->length_;
        best.Row = best.Row->next_;
        ++best.Index;
    }
    while (best.Index > index) {
        best.Row = best.Row->prev_;
        best.Offset -= best.Row->length_;
        --best.Index;
    }
    cache_ = best;
    return best;
}

TextOffset TTextStore::RowStart(const TLineNode* row) {
    // Walk back until a row whose offset is known.
    TextOffset sum = 0;
    for (const TLineNode* r = row; r; r = r->prev_) {
        if (r != row)
            sum += r->length_;
        if (r == first_)
            return sum;
        if (r == cache_.Row)
            return cache_.Offset + sum;
        if (r == last_)
            return textLength_ - last_->length_ + sum;
        for (const TStoreView* v : views_)
            if (r == v->Top.Row)
                return v->Top.Offset + sum;
    }
    return sum;
}

bool TTextStore::IsCharStart(const TLineNode* row, int i) const {
    if (!utf8_ || i <= 0 || i >= row->length_)
        return true;
    return Utf8IsCharStart(row->Text(), i);
}

int TTextStore::PrevCharStart(const TLineNode* row, int i) const {
    if (i <= 0)
        return 0;
    --i;
    while (i > 0 && !IsCharStart(row, i))
        --i;
    return i;
}

int TTextStore::NextCharStart(const TLineNode* row, int i) const {
    if (i >= row->length_)
        return row->length_;
    ++i;
    while (i < row->length_ && !IsCharStart(row, i))
        ++i;
    return i;
}

int TTextStore::ColumnOfIndex(const TLineNode* row, int index, const TTabSettings& tabs) const {
    if (!row)
        return 0;
    const int len = row->length_;
    const bool tabsIn = row->flags_ & rfHasTab;
    // Past the break: the break's own column, or one more on the last row.
    if (!tabsIn && row->EndsWithBreak() && index >= len)
        index = row->next_ ? len - 1 : len;
    const int n = std::clamp(index, 0, len);
    const bool wide = utf8_ && (row->flags_ & rfHighBytes);
    if (!tabsIn && !wide)
        return n;
    int col = 0;
    TUtf8Walker w;
    const char* t = row->Text();
    for (int k = 0; k < n; ++k) {
        const auto c = static_cast<unsigned char>(t[k]);
        const bool start = !wide || w.Starts(c);
        if (c == '\t')
            col = tabs.NextTabStop(col);
        else if (start)
            ++col;
    }
    return col;
}

int TTextStore::IndexOfColumn(const TLineNode* row, int column, const TTabSettings& tabs) const {
    if (!row)
        return 0;
    const int len = row->length_;
    // Past the end: before the break, or after the last character of the document.
    // (A row that only continues on the next one ends inside its last character's bytes
    // when that character is multi-byte: stop at the character's start.)
    const int endIndex = row->EndsWithBreak() ? len - 1
                         : row->next_         ? PrevCharStart(row, len)
                                              : len;
    const bool tabsIn = row->flags_ & rfHasTab;
    const bool wide = utf8_ && (row->flags_ & rfHighBytes);
    if (!tabsIn && !wide)
        return column < len ? std::max(column, 0) : endIndex;
    int col = 0;
    int k = 0;
    while (k < len && col < column) {
        col = row->At(k) == '\t' ? tabs.NextTabStop(col) : col + 1;
        k = NextCharStart(row, k);
    }
    return k >= len ? endIndex : k;
}

std::string TTextStore::GetText(TextOffset from, TextOffset to) {
    from = std::clamp(from, 0, textLength_);
    to = std::clamp(to, 0, textLength_);
    if (from > to)
        std::swap(from, to);
    std::string out;
    if (from == to)
        return out;
    out.reserve(to - from);
    TRowFinger f = RowAt(nullptr, from);
    TextOffset at = from;
    for (TLineNode* r = f.Row; r && at < to; r = r->next_) {
        const int begin = at - f.Offset;
        const int end = std::min<int64_t>(r->length_, int64_t(to) - f.Offset);
        out.append(r->Text() + begin, end - begin);
        f.Offset += r->length_;
        at = f.Offset;
    }
    return out;
}

unsigned char TTextStore::CharAt(TextOffset offset) {
    if (offset < 0 || offset >= textLength_)
        return 0;
    TRowFinger f = RowAt(nullptr, offset);
    return f.Row->At(offset - f.Offset);
}

// ---- Edits -----------------------------------------------------------------------------

void TTextStore::NoteRescan(TLineNode* row, TextOffset offset, int32_t index) {
    if (!row)
        return;
    for (TStoreView* v : views_) {
        if (!v->Rescan.Row || v->Rescan.Offset > offset)
            v->Rescan = {row, offset, index};
        if (!v->RescanLast.Row || v->RescanLast.Offset < offset)
            v->RescanLast = {row, offset, index};
    }
}

void TTextStore::InsertAtCaret(TStoreView& view, const char* text, int32_t count) {
    if (!text)
        return;
    if (count < 0)
        count = static_cast<int32_t>(std::min<size_t>(std::strlen(text), INT32_MAX));
    if (count == 0)
        return;
    NotifyChanging();
    // Offsets are 32-bit: refuse what would not fit before anything changes.
    if (int64_t(textLength_) + count > INT32_MAX)
        throw ESyntaxMemo(0, kNotEnoughMemory);
    constexpr int32_t kPiece = 8192;
    piece_.resize(kPiece);
    TTextNormalizer norm;
    for (int32_t done = 0; done < count;) {
        const int32_t n = std::min(kPiece, count - done);
        const size_t m = norm.Run(text + done, n, piece_.data());
        done += n;
        if (m)
            InsertPiece(view, piece_.data(), static_cast<int32_t>(m));
    }
}

void TTextStore::InsertWhole(TStoreView& view, const char* text, int32_t count) {
    if (!text || count <= 0)
        return;
    if (int64_t(textLength_) + count > INT32_MAX)
        throw ESyntaxMemo(0, kNotEnoughMemory);
    // A text already in stored form (a Replace All's new span, an undo's old text) goes in
    // as it is, without a copy of many megabytes.
    if (TTextNormalizer::IsNormal(text, static_cast<size_t>(count))) {
        InsertPiece(view, text, count);
    } else {
        std::string normal(static_cast<size_t>(count), '\0');
        TTextNormalizer norm;
        const size_t m = norm.Run(text, static_cast<size_t>(count), normal.data());
        if (m)
            InsertPiece(view, normal.data(), static_cast<int32_t>(m));
    }
    // The line buffer grew to the whole text; a store keeps it only at an ordinary size.
    if (work_.capacity() > (size_t(1) << 20))
        std::string().swap(work_);
}

TRowFinger TTextStore::RecutStart(const TRowFinger& at, int inRow) const {
    // The previous row of a long line was cut short only so as not to split a UTF-8
    // sequence whose lead byte starts this row; an edit among this row's first bytes can
    // change that, so the cut is made again from the previous row. (It is at least 2044
    // bytes long, so the row before it depends on nothing the edit touches.)
    TLineNode* prev = at.Row->prev_;
    if (utf8_ && at.Row->IsContinuation() && inRow <= MaxRowLength - prev->length_)
        return {prev, at.Offset - prev->length_, at.Index - 1};
    return at;
}

TLineNode* TTextStore::LineEnd(TLineNode* row, int32_t& rows) {
    for (; !row->EndsWithBreak() && row->next_; row = row->next_)
        ++rows;
    return row;
}

void TTextStore::InsertPiece(TStoreView& view, const char* s, int32_t n) {
    const TextOffset caret = std::clamp(view.Sel.Caret, 0, textLength_);
    std::pair<TLineNode*, TLineNode*> made;
    TRowFinger pos;
    if (!first_) {
        made = Splice(nullptr, 0, 0, 0, {s, size_t(n)}, {}, rfRepaint | rfRescan);
    } else {
        pos = RowAt(&view, caret);
        pos.Index = std::min(pos.Index, rowCount_ - 1);
        TLineNode* row = pos.Row;
        const int k = caret - pos.Offset;
        const int len = row->length_;
        // A long line stays cut as loading cuts it, at the row limit: the edit re-cuts the
        // line from the edited row (or the one before, see RecutStart) to the line's end.
        // Rows always cut at the same places keep line numbers, Home and End, Go to line and
        // every row count the same as after a reload; rows that are only ever split would
        // leave a long line in ever shorter rows.
        const TRowFinger from = RecutStart(pos, k);
        int32_t rows = 1 + (pos.Index - from.Index);
        TLineNode* last = view.CutsRows() ? row : LineEnd(row, rows);
        // One ordinary character inside a row that has room, and that no other row of its
        // line depends on, only rebuilds that row.
        const bool single = n == 1 && s[0] != '\r' && k < len && len < MaxRowLength &&
                            last == row && from.Row == row;
        work_.clear();
        if (from.Row != row)
            work_.append(from.Row->Text(), from.Row->length_);
        work_.append(row->Text(), k);
        work_.append(s, n);
        // The rows after the edited one only move along by the new text: their token bytes
        // go with them, so a keystroke in a line of megabytes rescans a few rows. (Rows that
        // were never highlighted have none to carry.)
        const bool carry = last != row && row->next_->hasStyles_;
        if (carry) {
            carry_.Clear();
            carry_.Skip(work_.size());
            carry_.EndFlags = last->flags_ & (rfBoundEnd | rfCleanEnd);
        }
        for (TLineNode* r = row;; r = r->next_) {
            const int skip = r == row ? k : 0;
            work_.append(r->Text() + skip, r->length_ - skip);
            if (carry)
                carry_.Take(r, skip);
            if (r == last)
                break;
        }
        const uint32_t keepFlags = row->flags_ & ~(rfHasTab | rfHighBytes);
        pos = from;
        made = Splice(from.Row, rows, from.Offset, from.Index, work_, TakeKeep(from.Row),
                      single ? keepFlags | rfRepaint | rfRescan : rfRepaint | rfRescan,
                      carry ? &carry_ : nullptr);
        if (!single) {
            int more = view.VisibleRowCount() + 2;
            for (TLineNode* r = made.second->next_; r && more > 0; r = r->next_, --more)
                r->AddRowFlags(rfRescan);
        }
    }
    for (TStoreView* v : views_) {
        if (v == &view)
            continue;
        if (v->Sel.Anchor >= caret)
            v->Sel.Anchor += n;
        if (v->Sel.Caret >= caret)
            v->Sel.Caret += n;
    }
    view.Sel = {caret + n, caret + n};
    NoteRescan(made.first, pos.Offset, pos.Index);
    for (TStoreListener* l : listeners_)
        l->TextInserted(caret, n);
    view.RewrapAfterEdit(made.first, made.second);
    view.StoreTextChanged(caret, n);
}

void TTextStore::DeleteRange(TStoreView& view) {
    if (!first_)
        return;
    const TextOffset a = std::clamp(view.Sel.Start(), 0, textLength_);
    const TextOffset b = std::clamp(view.Sel.End(), 0, textLength_);
    if (a == b)
        return;
    NotifyChanging();
    const TRowFinger at = RowAt(&view, a);
    const TRowFinger e = RowAt(&view, b);
    // As for insertions, the rest of the line the deletion leaves is cut again from the
    // first row it touches.
    const TRowFinger s = RecutStart(at, a - at.Offset);
    int32_t rows = std::min(e.Index, rowCount_ - 1) - s.Index + 1;
    TLineNode* last = view.CutsRows() ? e.Row : LineEnd(e.Row, rows);
    // The kept head: the row before when the re-cut starts there, then the deleted range's
    // first row up to the range.
    work_.clear();
    if (s.Row != at.Row)
        work_.append(s.Row->Text(), s.Row->length_);
    work_.append(at.Row->Text(), a - at.Offset);
    // The rows after the deletion's last one keep their token bytes, as after an insertion.
    const bool carry = last != e.Row && e.Row->next_->hasStyles_;
    if (carry) {
        carry_.Clear();
        carry_.Skip(work_.size());
        carry_.EndFlags = last->flags_ & (rfBoundEnd | rfCleanEnd);
    }
    for (TLineNode* r = e.Row;; r = r->next_) {
        const int skip = r == e.Row ? b - e.Offset : 0;
        work_.append(r->Text() + skip, r->length_ - skip);
        if (carry)
            carry_.Take(r, skip);
        if (r == last)
            break;
    }
    const auto made = Splice(s.Row, rows, s.Offset, s.Index, work_, TakeKeep(s.Row), rfRescan,
                             carry ? &carry_ : nullptr);
    const int32_t k = b - a;

    if (!first_) {
        for (TStoreView* v : views_) {
            v->Sel = {};
            v->Top = {};
            v->TopLine = 0;
            v->Rescan = {};
            v->RescanLast = {};
        }
        BookmarkColumns.fill(0);
        for (TStoreListener* l : listeners_)
            l->StoreEmptied();
        view.StoreTextChanged(0, -k);
        return;
    }
    auto shift = [&](TextOffset& x) { x = x > b ? x - k : (x > a ? a : x); };
    for (TStoreView* v : views_) {
        shift(v->Sel.Anchor);
        shift(v->Sel.Caret);
    }
    view.Sel = {a, a};
    TRowFinger next;
    if (made.first) {
        NoteRescan(made.first, s.Offset, s.Index);
    } else {
        // Whole rows went: the row that now follows the cut keeps its text, but what came
        // before it changed, so its highlighting must be checked.
        next = RowAt(&view, a);
        next.Row->AddRowFlags(rfRescan);
        NoteRescan(next.Row, next.Offset, std::min(next.Index, rowCount_ - 1));
    }
    for (TStoreListener* l : listeners_)
        l->TextDeleted(a, k);
    if (made.first)
        view.RewrapAfterEdit(made.first, made.second);
    else if (view.CutsRows())
        view.RewrapAfterEdit(next.Row, next.Row); // its line may have been joined to another
    view.StoreTextChanged(a, -k);
}

void TTextStore::Clear() {
    NotifyChanging();
    // The pool goes as a whole, so the rows need not be handed back one by one: what a row
    // owns lives in the side table.
    rowsFreed_ += static_cast<uint64_t>(rowCount_);
    extras_.clear();
    first_ = last_ = nullptr;
    rowCount_ = 0;
    textLength_ = 0;
    longest_ = 0;
    lengthCount_.fill(0);
    pool_.Release();
    cache_ = {};
    BookmarkColumns.fill(0);
    for (TStoreView* v : views_) {
        v->Sel = {};
        v->Top = {};
        v->TopLine = 0;
        v->Rescan = {};
        v->RescanLast = {};
    }
    for (TStoreListener* l : listeners_)
        l->StoreEmptied();
}

void TTextStore::ReplaceRows(TTextStore& built) {
    Clear();
    pool_.Swap(built.pool_);
    std::swap(first_, built.first_);
    std::swap(last_, built.last_);
    std::swap(rowCount_, built.rowCount_);
    std::swap(textLength_, built.textLength_);
    std::swap(longest_, built.longest_);
    std::swap(lengthCount_, built.lengthCount_);
    std::swap(extras_, built.extras_);
    utf8_ = built.utf8_;
    built.cache_ = {};
    if (!first_)
        return;
    NoteRescan(first_, 0, 0);
    for (TStoreListener* l : listeners_)
        l->TextInserted(0, textLength_);
}

void TTextStore::AppendRow(const char* text, int length, bool addBreak, uint32_t flags) {
    const int total = length + (addBreak ? 1 : 0);
    TLineNode* r = NewRowBlock(total, flags | rfRepaint | rfRescan);
    char* dst = r->MutableText();
    std::memcpy(dst, text, static_cast<size_t>(length));
    if (addBreak)
        dst[length] = '\r';
    r->prev_ = last_;
    if (last_) {
        last_->next_ = r;
        if (!last_->EndsWithBreak())
            r->marks_ = rmContinuation;
    } else {
        first_ = r;
    }
    last_ = r;
    ++rowCount_;
    textLength_ += total;
}

void TTextStore::RewrapRange(TLineNode* first, TLineNode* last) {
    if (!first_)
        return;
    TLineNode* r = first ? first : first_;
    while (r->prev_ && !r->prev_->EndsWithBreak())
        r = r->prev_;
    const TextOffset startOffset = RowStart(r);
    TRowFinger at = RowAt(nullptr, startOffset);
    TLineNode* stop = last ? last : last_;
    bool done = false;
    while (at.Row && !done) {
        // One logical line: this row and its continuation rows.
        int32_t count = 0;
        TLineNode* e = at.Row;
        int64_t len = 0;
        for (;;) {
            ++count;
            len += e->length_;
            if (e == stop)
                done = true;
            if (e->EndsWithBreak() || !e->next_)
                break;
            e = e->next_;
        }
        TLineNode* next = e->next_;
        if (count > 1 || len > MaxRowLength) {
            work_.clear();
            for (TLineNode* x = at.Row;; x = x->next_) {
                work_.append(x->Text(), x->length_);
                if (x == e)
                    break;
            }
            const auto made = Splice(at.Row, count, at.Offset, at.Index, work_, TakeKeep(at.Row),
                                     rfRepaint | rfRescan);
            NoteRescan(made.first, at.Offset, at.Index);
            int32_t rows = 0;
            for (TLineNode* x = made.first; x; x = x->next_) {
                ++rows;
                if (x == made.second)
                    break;
            }
            at = {next, at.Offset + static_cast<TextOffset>(len), at.Index + rows};
        } else {
            at = {next, at.Offset + static_cast<TextOffset>(len), at.Index + 1};
        }
    }
}

// Tab columns as the user writes them: 1-based columns, ascending, separated by blanks or
// ";".
std::array<int32_t, MaxTabColumns> TTabSettings::ParseColumns(std::string_view text) {
    std::vector<int32_t> columns;
    size_t i = 0;
    for (;;) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == ';'))
            ++i;
        if (i >= text.size())
            break;
        if (!std::isdigit(static_cast<unsigned char>(text[i])))
            throw ESyntaxMemo(msgTabColumnExpected);
        int64_t value = 0;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
            value = value * 10 + (text[i] - '0');
            if (value > 65535)
                throw ESyntaxMemo(msgTabColumnExpected);
            ++i;
        }
        if (i < text.size() && text[i] != ' ' && text[i] != '\t' && text[i] != ';')
            throw ESyntaxMemo(msgTabColumnExpected);
        if (columns.size() >= MaxTabColumns)
            throw ESyntaxMemo(msgTooManyTabStops, std::string(MessageText(msgTooManyTabStops)) +
                                                      std::to_string(MaxTabColumns));
        if (value <= 1)
            throw ESyntaxMemo(msgTabColumnTooSmall);
        if (!columns.empty() && value - 1 <= columns.back())
            throw ESyntaxMemo(msgTabColumnsOrder);
        columns.push_back(static_cast<int32_t>(value - 1));
    }
    std::array<int32_t, MaxTabColumns> out = MakeEmpty();
    std::copy(columns.begin(), columns.end(), out.begin());
    return out;
}

} // namespace kvx
