#include "FileHits.h"

#include "editor/Encoding.h"
#include "editor/TextFile.h"
#include "editor/TextStore.h"

#include <algorithm>
#include <cstring>

namespace kvx {

namespace {

int32_t Characters(std::string_view bytes, bool utf8) {
    if (!utf8)
        return static_cast<int32_t>(bytes.size());
    int32_t n = 0;
    for (char c : bytes)
        n += !IsUtf8Continuation(static_cast<unsigned char>(c));
    return n;
}

// Walks the rows of a document text forwards, cutting them as the store does: after each
// line break, and a line longer than a row every 2047 bytes, a little earlier in a UTF-8
// text so that no character is split.
class TRowWalker {
  public:
    TRowWalker(std::string_view text, bool utf8)
        : text_(text), n_(static_cast<TextOffset>(text.size())), utf8_(utf8) {}

    // Moves to the row holding `offset`, which must not be before the current row. The
    // document's end belongs to its last row, or to the empty line after a final break.
    void To(TextOffset offset) {
        for (;;) {
            if (start_ >= n_) {
                length_ = 0;
                return;
            }
            length_ = CutLength(start_);
            const TextOffset end = start_ + length_;
            if (offset < end || (end == n_ && text_[size_t(n_) - 1] != '\r'))
                return;
            start_ = end;
            ++index_;
        }
    }
    RowIndex Index() const { return index_; }
    TextOffset Start() const { return start_; }
    // The end of the row's characters, before its line break.
    TextOffset ContentEnd() const {
        const TextOffset end = start_ + length_;
        return length_ > 0 && text_[size_t(end) - 1] == '\r' ? end - 1 : end;
    }

  private:
    TextOffset CutLength(TextOffset at) const {
        const char* t = text_.data() + at;
        const TextOffset remaining = n_ - at;
        const TextOffset limit = std::min<TextOffset>(remaining, MaxRowLength);
        if (const void* cr = std::memchr(t, '\r', static_cast<size_t>(limit)))
            return static_cast<TextOffset>(static_cast<const char*>(cr) - t) + 1;
        if (limit == remaining)
            return limit;
        TextOffset c = limit;
        if (utf8_)
            while (c > 1 && IsUtf8Continuation(static_cast<unsigned char>(t[c])))
                --c;
        return c;
    }

    std::string_view text_;
    TextOffset n_;
    bool utf8_;
    TextOffset start_ = 0;
    TextOffset length_ = 0;
    RowIndex index_ = 0;
};

TFileHit Describe(std::string_view text, bool utf8, TRowWalker& rows, TSelectionRange hit) {
    TFileHit h;
    h.Offset = hit.Start();
    h.Bytes = hit.End() - hit.Start();
    rows.To(h.Offset);
    const auto piece = [&](TextOffset from, TextOffset to) {
        return text.substr(size_t(from), size_t(std::max(from, to) - from));
    };
    h.Line = rows.Index() + 1;
    h.Column = 1 + Characters(piece(rows.Start(), h.Offset), utf8);
    h.Length = Characters(piece(h.Offset, hit.End()), utf8);
    const TextOffset contentEnd = std::max(rows.ContentEnd(), rows.Start());
    const TextOffset markFrom = std::min(h.Offset, contentEnd);
    const TextOffset markTo = std::clamp(hit.End(), markFrom, contentEnd);
    if (utf8) {
        h.LineText.assign(piece(rows.Start(), contentEnd));
        h.MarkStart = markFrom - rows.Start();
        h.MarkLength = markTo - markFrom;
    } else {
        h.LineText = ToUtf8(piece(rows.Start(), markFrom), false);
        h.MarkStart = static_cast<int32_t>(h.LineText.size());
        h.LineText += ToUtf8(piece(markFrom, markTo), false);
        h.MarkLength = static_cast<int32_t>(h.LineText.size()) - h.MarkStart;
        h.LineText += ToUtf8(piece(markTo, contentEnd), false);
    }
    return h;
}

} // namespace

void MakeDocumentText(std::string_view fileBytes, TDocumentText& doc) {
    const TTextScan scan = DetectFormat(fileBytes);
    if (scan.Bom)
        fileBytes.remove_prefix(3);
    doc.Utf8 = scan.Utf8;
    doc.Text.resize(fileBytes.size());
    TTextNormalizer norm;
    doc.Text.resize(norm.Run(fileBytes.data(), fileBytes.size(), doc.Text.data()));
}

TFileSearcher::TFileSearcher(std::string_view text, unsigned options)
    : options_((options | soNoDialog) & ~soBackward) {
    for (const bool utf8 : {true, false}) {
        TPattern& p = PatternFor(utf8);
        p.Usable = !text.empty() && FromUtf8(text, utf8, p.Bytes);
        p.Engine.SetWordChars(TTextSearch::DefaultWordChars(utf8));
    }
}

bool TFileSearcher::Ready() {
    error_ = {};
    if (!(options_ & soRegExpr))
        return true;
    for (const bool utf8 : {true, false}) {
        TPattern& p = PatternFor(utf8);
        if (p.Usable && !p.Engine.CompileRegExpr(p.Bytes)) {
            error_ = p.Engine.Error();
            return false;
        }
    }
    return true;
}

void TFileSearcher::SetCancelCheck(std::function<bool()> check) {
    utf8_.Engine.Parser().SetCancelCheck(check);
    single_.Engine.Parser().SetCancelCheck(std::move(check));
}

bool TFileSearcher::Search(const TDocumentText& doc, std::vector<TFileHit>& out, size_t maxHits) {
    error_ = {};
    TPattern& p = PatternFor(doc.Utf8);
    if (!p.Usable)
        return true;
    const std::string_view text = doc.Text;
    const auto n = static_cast<TextOffset>(text.size());
    const bool regex = options_ & soRegExpr;
    TREParser& parser = p.Engine.Parser();
    // One work budget per file, as for every match of a document.
    parser.BeginRun();
    struct TEnd {
        TREParser& p;
        ~TEnd() { p.EndRun(); }
    } end{parser};
    TRowWalker rows(text, doc.Utf8);
    TSelectionRange from{0, 0};
    for (size_t found = 0; found < maxHits; ++found) {
        TSelectionRange hit;
        if (!p.Engine.Find(text, p.Bytes, options_, from, hit)) {
            error_ = p.Engine.Error();
            return error_.Code == 0;
        }
        out.push_back(Describe(text, doc.Utf8, rows, hit));
        // Where Find Next goes on: a plain search one character after the hit's start (so
        // overlapping occurrences are found too), a regular expression at the hit's end,
        // or one character after an empty hit.
        TextOffset next;
        if (!regex)
            next = NextCharOffset(text, hit.Start(), doc.Utf8);
        else
            next = hit.Empty() ? NextCharOffset(text, hit.End(), doc.Utf8) : hit.End();
        if (next > n)
            break;
        from = {next, next};
    }
    return true;
}

} // namespace kvx
