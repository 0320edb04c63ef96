// Loading and saving the control's text: whole streams and files, and ranges of it written
// with the line breaks the caller asks for.
#include "MemoScopes.h"
#include "RichExport.h"
#include "Stream.h"
#include "SyntaxEd.h"
#include "TextFile.h"
#include "TextLoader.h"

#include <algorithm>
#include <climits>
#include <memory>
#include <new>

namespace kvx {

namespace {
constexpr unsigned kCrLf = 1, kRtf = 2, kHtml = 4, kLf = 8;

// Collects output and hands it to the stream in large writes; a stream that takes fewer
// bytes than it was given has failed, and nothing is written a second time.
class TWriteBuffer {
  public:
    explicit TWriteBuffer(TStream& out) : out_(out) {}
    void Append(const char* data, size_t n) {
        buf_.append(data, n);
        if (buf_.size() >= (size_t(1) << 16))
            Flush();
    }
    void Flush() {
        if (buf_.empty())
            return;
        const auto n = static_cast<int64_t>(buf_.size());
        if (out_.Write(buf_.data(), n) != n)
            throw EFileSaveError(kCouldNotSaveText);
        buf_.clear();
    }

  private:
    TStream& out_;
    std::string buf_;
};
} // namespace

void TCustomSyntaxMemo::WriteRange(TStream& out, unsigned flags, TextOffset from, TextOffset to) {
    TTextStore& s = Store();
    from = std::clamp(from, 0, s.TextLength());
    to = std::clamp(to, 0, s.TextLength());
    if (from > to)
        std::swap(from, to);
    if (flags & (kRtf | kHtml)) {
        WriteRich(*this, (flags & kRtf) ? TRichFormat::Rtf : TRichFormat::Html, from, to, out);
        return;
    }
    if (from == to)
        return;
    const char* lineEnd = (flags & kCrLf) ? "\r\n" : (flags & kLf) ? "\n" : "\r";
    const size_t lineEndLength = (flags & kCrLf) ? 2 : 1;
    TWriteBuffer buf(out);
    TRowFinger f = s.RowAt(this, from);
    TextOffset at = from;
    for (const TLineNode* r = f.Row; r && at < to; r = r->Next()) {
        const int begin = at - f.Offset;
        const int end = static_cast<int>(std::min<int64_t>(r->Length(), int64_t(to) - f.Offset));
        const bool withBreak = r->EndsWithBreak() && end == r->Length();
        buf.Append(r->Text() + begin, static_cast<size_t>(end - begin - (withBreak ? 1 : 0)));
        if (withBreak)
            buf.Append(lineEnd, lineEndLength);
        f.Offset += r->Length();
        at = f.Offset;
    }
    buf.Flush();
}

namespace {
// Writes the whole text in the save format. The undo log is left alone: only the caller
// knows when the text has really reached its destination and counts as saved.
void WriteDocument(TCustomSyntaxMemo& m, TStream& out) {
    TTextStore& s = m.Store();
    const unsigned flags = m.SaveFormat == sfUNIX     ? kLf
                           : m.SaveFormat == sfRTF    ? kRtf
                           : m.SaveFormat == sfHTML   ? kHtml
                           : m.SelLineStyle == lsCRLF ? kCrLf
                                                      : 0;
    TPaintLock lock(m);
    if (s.Bom && s.Utf8() && !(flags & (kRtf | kHtml)))
        if (out.Write("\xEF\xBB\xBF", 3) != 3)
            throw EFileSaveError(kCouldNotSaveText);
    m.WriteRange(out, flags, 0, s.TextLength());
}
} // namespace

void TCustomSyntaxMemo::SaveToStream(TStream* stream) {
    if (!stream)
        throw EFileSaveError(kBadStreamInstance);
    WriteDocument(*this, *stream);
    if (TUndoStack* log = Store().UndoLog())
        log->ClearAndMarkSaved();
}

void TCustomSyntaxMemo::SaveToFile(const std::string& name) {
    TSafeFileStream file(name);
    WriteDocument(*this, file);
    // Until the new file has replaced the old one nothing is saved: a failure up to there
    // leaves the document modified, with all of its history.
    file.Commit();
    if (TUndoStack* log = Store().UndoLog())
        log->ClearAndMarkSaved();
    if (HasOption(smoTitleAsFilename))
        Title = name;
}

void TCustomSyntaxMemo::LoadFromStream(TStream& stream) {
    // Offsets are 32-bit: a text that does not fit is refused before anything changes. A
    // stream that already says it holds too much is refused unread; any other is read to
    // its end, whatever size it reports, as some files (under /proc) report a size of 0.
    constexpr int64_t kMost = INT32_MAX - 1;
    if (ReportedRemaining(stream) > kMost)
        throw ESyntaxMemo(0, kTextTooLarge);
    // The new rows are built beside the old text, which stays until they are complete: a
    // read error or a lack of memory leaves the document as it was.
    TTextStore built;
    TTextScan scan;
    try {
        TTextLoader loader(built);
        constexpr int64_t kBlock = int64_t(1) << 18; // stays in the cache while it is worked
        const auto block = std::make_unique_for_overwrite<char[]>(kBlock);
        for (int64_t got = 0;;) {
            // One byte beyond the limit tells a text that is too long from one that fits
            // exactly.
            const int64_t n = stream.Read(block.get(), std::min(kBlock, kMost + 1 - got));
            if (n <= 0)
                break;
            got += n;
            if (got > kMost)
                throw ESyntaxMemo(0, kTextTooLarge);
            loader.Feed(block.get(), static_cast<size_t>(n));
        }
        scan = loader.Finish();
    } catch (const std::bad_alloc&) {
        throw ESyntaxMemo(0, kNotEnoughMemory);
    }

    TTextStore& s = Store();
    // Ends after the paint lock below, so the notification runs once the text is in.
    TNotifyScope notify(*this);
    if (TUndoStack* log = s.UndoLog())
        log->Clear();
    {
        TPaintLock lock(*this);
        const TextOffset old = s.TextLength();
        s.ReplaceRows(built);
        if (s.FirstRow())
            RewrapAfterEdit(s.FirstRow(), s.LastRow()); // the rows were cut for no window yet
        s.Bom = scan.Bom;
        s.LineBreak = scan.Break;
        Sel = {0, 0};
        view_.Reset();
        inVirtual_ = false;
        virtualColumn_ = preferredColumn_ = 0;
        Changed(chText | chSelection);
        // The old text goes as a deletion would report it, so that listeners who follow the
        // length see it go before the new text comes.
        if (old > 0)
            StoreTextChanged(0, -old);
        if (s.TextLength() > 0)
            StoreTextChanged(0, s.TextLength());
    }
    if (TUndoStack* log = s.UndoLog())
        log->ClearAndMarkSaved();
}

void TCustomSyntaxMemo::LoadFromFile(const std::string& name) {
    TFileStream file(name);
    // A size the file already reports is refused before a byte is read.
    if (file.Size() >= INT32_MAX)
        throw ESyntaxMemo(0, "File '" + name + "' is too large: 2 GiB or more cannot be loaded");
    LoadFromStream(file);
    if (HasOption(smoTitleAsFilename))
        Title = name;
}

void TCustomSyntaxMemo::UseLoadedLineBreaks() {
    switch (Store().LineBreak) {
    case TLineBreak::CRLF:
        SaveFormat = sfTEXT;
        SelLineStyle = lsCRLF;
        break;
    case TLineBreak::LF:
        SaveFormat = sfUNIX;
        break;
    case TLineBreak::CR:
        SaveFormat = sfTEXT;
        SelLineStyle = lsLF;
        break;
    }
}

std::string TCustomSyntaxMemo::GetWholeText() {
    TMemoryStream out;
    WriteRange(out, SelLineStyle == lsCRLF ? kCrLf : 0, 0, Store().TextLength());
    return out.Data();
}

int32_t TCustomSyntaxMemo::WholeTextLength() {
    TTextStore& s = Store();
    if (SelLineStyle == lsLF)
        return s.TextLength();
    int64_t n = s.TextLength();
    for (const TLineNode* r = s.FirstRow(); r; r = r->Next())
        n += r->EndsWithBreak();
    return static_cast<int32_t>(std::min<int64_t>(n, INT32_MAX));
}

void TCustomSyntaxMemo::SetWholeText(std::string_view text) {
    TFastMemoryStream in(text.data(), static_cast<int64_t>(text.size()));
    LoadFromStream(in);
}

} // namespace kvx
