#include "EdStream.h"

#include "SyntaxEd.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace kvx {

TEdStream::TEdStream(TCustomSyntaxMemo& memo) : memo_(memo), view_(memo.Store()) {
    SetPosition(0);
}

TTextStore& TEdStream::Store() {
    // The control may have been switched to another document since the last call; the
    // position then counts in the new one.
    TTextStore& s = memo_.Store();
    if (view_.Store() != &s)
        view_.AttachStore(&s);
    return s;
}

void TEdStream::WalkTo(TextOffset target) {
    TTextStore& s = Store();
    if (!s.FirstRow()) {
        view_.Top = {};
        return;
    }
    target = std::clamp(target, 0, s.TextLength());
    // Usually the current row is the nearest place to start from; a jump to near either end
    // of a long document starts from that end instead.
    TRowFinger f{s.FirstRow(), 0, 0};
    const TRowFinger last{s.LastRow(), s.TextLength() - s.LastRow()->Length(), s.RowCount() - 1};
    auto distance = [&](const TRowFinger& x) { return std::llabs(int64_t(target) - x.Offset); };
    if (distance(last) < distance(f))
        f = last;
    if (view_.Top.Row && distance(view_.Top) <= distance(f))
        f = view_.Top;
    while (target >= f.Offset + f.Row->Length() && f.Row->Next()) {
        f.Offset += f.Row->Length();
        f.Row = f.Row->Next();
        ++f.Index;
    }
    while (target < f.Offset) {
        f.Row = f.Row->Prev();
        f.Offset -= f.Row->Length();
        --f.Index;
    }
    view_.Top = f;
}

void TEdStream::Settle() {
    TTextStore& s = Store();
    // An edit may have shortened the document under the stream.
    pos_ = std::clamp(pos_, 0, s.TextLength());
    const TRowFinger& f = view_.Top;
    if (f.Row) {
        const int64_t k = int64_t(pos_) - f.Offset;
        if (k >= 0 && (k < f.Row->Length() || (k == f.Row->Length() && !f.Row->Next())))
            return;
    }
    WalkTo(pos_);
}

void TEdStream::StepRowIfAtEnd() {
    TRowFinger& f = view_.Top;
    if (pos_ - f.Offset >= f.Row->Length() && f.Row->Next()) {
        f.Offset += f.Row->Length();
        f.Row = f.Row->Next();
        ++f.Index;
    }
}

void TEdStream::SetPosition(TextOffset position) {
    TTextStore& s = Store();
    length_ = s.TextLength();
    pos_ = std::clamp(position, 0, length_);
    WalkTo(pos_);
}

void TEdStream::PositionTo(int32_t row, int32_t indexInRow) {
    TTextStore& s = Store();
    TextOffset target = s.TextLength();
    if (s.FirstRow() && row < s.RowCount()) {
        const TRowFinger f = s.RowByIndex(std::max(row, 0));
        target = f.Offset + std::clamp(indexInRow, 0, f.Row->Length());
    }
    SetPosition(target);
}

unsigned char TEdStream::Current() {
    Settle();
    const TRowFinger& f = view_.Top;
    if (!f.Row || pos_ - f.Offset >= f.Row->Length())
        return 0;
    return f.Row->At(pos_ - f.Offset);
}

unsigned char TEdStream::Next() {
    Settle();
    if (pos_ >= Store().TextLength())
        return 0;
    ++pos_;
    StepRowIfAtEnd();
    return Current();
}

unsigned char TEdStream::Prev() {
    Settle();
    if (pos_ > 0) {
        --pos_;
        TRowFinger& f = view_.Top;
        if (pos_ < f.Offset) {
            f.Row = f.Row->Prev();
            f.Offset -= f.Row->Length();
            --f.Index;
        }
    }
    return Current();
}

bool TEdStream::AtEnd() {
    return pos_ >= length_ || pos_ >= Store().TextLength();
}

int32_t TEdStream::RowIndex() {
    Settle();
    return view_.Top.Index;
}

int32_t TEdStream::IndexInRow() {
    Settle();
    return view_.Top.Row ? pos_ - view_.Top.Offset : 0;
}

const TLineNode* TEdStream::Row() {
    Settle();
    return view_.Top.Row;
}

int64_t TEdStream::Read(void* buffer, int64_t count) {
    if (count <= 0)
        return 0;
    if (!buffer)
        throw EStreamError(0, "Cannot read from the document into a null buffer");
    Settle();
    const TextOffset end = Store().TextLength();
    char* out = static_cast<char*>(buffer);
    int64_t done = 0;
    while (done < count && pos_ < end) {
        const TRowFinger& f = view_.Top;
        const int k = pos_ - f.Offset;
        const int64_t n = std::min<int64_t>(f.Row->Length() - k, count - done);
        std::memcpy(out + done, f.Row->Text() + k, static_cast<size_t>(n));
        done += n;
        pos_ += static_cast<TextOffset>(n);
        StepRowIfAtEnd();
    }
    return done;
}

int64_t TEdStream::Write(const void*, int64_t) {
    throw EStreamError(msgReadOnlyStream);
}

int64_t TEdStream::Seek(int64_t offset, TSeekOrigin origin) {
    const int64_t size = Size();
    const int64_t base = origin == TSeekOrigin::Begin     ? 0
                         : origin == TSeekOrigin::Current ? pos_
                                                          : size;
    // Any offset is accepted and clamped; the sum is formed so that it cannot overflow.
    int64_t target;
    if (offset > 0 && base > std::numeric_limits<int64_t>::max() - offset)
        target = size;
    else if (offset < 0 && base < std::numeric_limits<int64_t>::min() - offset)
        target = 0;
    else
        target = std::clamp<int64_t>(base + offset, 0, size);
    SetPosition(static_cast<TextOffset>(target));
    return pos_;
}

int64_t TEdStream::Size() {
    return Store().TextLength();
}

} // namespace kvx
