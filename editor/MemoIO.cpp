// Loading and saving the control's text: whole streams and files, and ranges of it written
// with the line breaks the caller asks for.
#include "RichExport.h"
#include "Stream.h"
#include "SyntaxEd.h"
#include "TextFile.h"

#include <algorithm>
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

void TCustomSyntaxMemo::SaveToStream(TStream* stream) {
    if (!stream)
        throw EFileSaveError(kBadStreamInstance);
    TTextStore& s = Store();
    const unsigned flags = SaveFormat == sfUNIX     ? kLf
                           : SaveFormat == sfRTF    ? kRtf
                           : SaveFormat == sfHTML   ? kHtml
                           : SelLineStyle == lsCRLF ? kCrLf
                                                    : 0;
    {
        // A failure leaves the history as it is: the document still differs from any file.
        TPaintLock lock(*this);
        if (s.Bom && s.Utf8() && !(flags & (kRtf | kHtml)))
            if (stream->Write("\xEF\xBB\xBF", 3) != 3)
                throw EFileSaveError(kCouldNotSaveText);
        WriteRange(*stream, flags, 0, s.TextLength());
    }
    if (TUndoStack* log = s.UndoLog())
        log->ClearAndMarkSaved();
}

void TCustomSyntaxMemo::SaveToFile(const std::string& name) {
    TSafeFileStream file(name);
    SaveToStream(&file);
    file.Commit();
    if (HasOption(smoTitleAsFilename))
        Title = name;
}

void TCustomSyntaxMemo::LoadFromStream(TStream& stream) {
    const int64_t size = std::max<int64_t>(stream.Size() - stream.Position(), 0);
    // Offsets are 32-bit: a text that does not fit is refused before anything changes.
    if (size >= INT32_MAX)
        throw ESyntaxMemo(0, kNotEnoughMemory);
    std::string bytes;
    try {
        bytes.resize(static_cast<size_t>(size));
    } catch (const std::bad_alloc&) {
        throw ESyntaxMemo(0, kNotEnoughMemory);
    }
    int64_t got = 0;
    while (got < size) {
        const int64_t n = stream.Read(bytes.data() + got, size - got);
        if (n <= 0)
            break;
        got += n;
    }
    bytes.resize(static_cast<size_t>(got));
    const TTextScan scan = DetectFormat(bytes);
    std::string_view body = bytes;
    if (scan.Bom)
        body.remove_prefix(3);

    TTextStore& s = Store();
    if (TUndoStack* log = s.UndoLog())
        log->Clear();
    {
        TPaintLock lock(*this);
        const bool wasRecording = recording_;
        recording_ = false;
        try {
            s.Clear();
            s.SetUtf8(scan.Utf8);
            s.Bom = scan.Bom;
            s.LineBreak = scan.Break;
            TFastMemoryStream in(body.data(), static_cast<int64_t>(body.size()));
            InsertStream(in);
        } catch (const std::bad_alloc&) {
            recording_ = wasRecording;
            throw ESyntaxMemo(0, kNotEnoughMemory);
        } catch (...) {
            recording_ = wasRecording;
            throw;
        }
        recording_ = wasRecording;
        Sel = {0, 0};
        view_.Reset();
        inVirtual_ = false;
        virtualColumn_ = preferredColumn_ = 0;
        Rescan = s.FirstRow() ? TRowFinger{s.FirstRow(), 0, 0} : TRowFinger{};
        Changed(chText | chSelection);
    }
    if (TUndoStack* log = s.UndoLog())
        log->ClearAndMarkSaved();
}

void TCustomSyntaxMemo::LoadFromFile(const std::string& name) {
    TFileStream file(name);
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
