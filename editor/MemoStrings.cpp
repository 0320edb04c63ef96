#include "MemoStrings.h"

#include "MemoScopes.h"
#include "Stream.h"
#include "SyntaxEd.h"

namespace kvx {

TSyntaxMemoStrings::~TSyntaxMemoStrings() {
    while (updates_ > 0)
        EndUpdate();
}

int32_t TSyntaxMemoStrings::Count() const {
    const TTextStore& s = memo_.Store();
    return s.FirstRow() ? s.RowCount() : 0;
}

std::string TSyntaxMemoStrings::Get(int32_t i) const {
    if (i < 0 || i >= Count())
        return {};
    // Rows never exceed 2047 characters, so a whole row is always returned.
    const TRowFinger f = memo_.Store().RowByIndex(i);
    return std::string(f.Row->Text(), static_cast<size_t>(f.Row->ContentLength()));
}

void TSyntaxMemoStrings::Replace(int32_t from, int32_t to, std::string_view s) {
    TCustomSyntaxMemo::TNotifyScope notify(memo_);
    memo_.SetSelection(from, to, true);
    memo_.ReplaceSelection(s);
}

bool TSyntaxMemoStrings::Put(int32_t i, std::string_view s) {
    if (i < 0 || i >= Count())
        return false;
    const TRowFinger f = memo_.Store().RowByIndex(i);
    Replace(f.Offset, f.Offset + f.Row->ContentLength(), s);
    return true;
}

bool TSyntaxMemoStrings::Insert(int32_t i, std::string_view s) {
    const int32_t count = Count();
    if (i < 0 || i > count)
        return false;
    // An empty string still has to make a line: it becomes a lone break.
    const std::string_view line = s.empty() ? std::string_view("\r") : s;
    if (count == 0) {
        Replace(0, 0, line);
        return true;
    }
    TTextStore& store = memo_.Store();
    if (i < count) {
        const TRowFinger f = store.RowByIndex(i);
        std::string added(s);
        added.append("\r\n");
        Replace(f.Offset, f.Offset, added);
        return true;
    }
    const TRowFinger last = store.RowByIndex(count - 1);
    const int chars = last.Row->ContentLength();
    if (chars > 0) {
        // The break goes before s, so a last line without a break is not run on into s; a
        // final break stays final.
        const TextOffset end = last.Offset + chars;
        std::string added(1, '\r');
        added.append(s);
        Replace(end, end, added);
    } else {
        // A blank last line is the place the new line goes.
        Replace(last.Offset, last.Offset, line);
    }
    return true;
}

bool TSyntaxMemoStrings::Delete(int32_t i) {
    if (i < 0 || i >= Count())
        return false;
    const TRowFinger f = memo_.Store().RowByIndex(i);
    Replace(f.Offset, f.Offset + f.Row->Length(), {});
    return true;
}

void TSyntaxMemoStrings::Clear() {
    memo_.Clear();
}

void TSyntaxMemoStrings::BeginUpdate() {
    memo_.LockPaint();
    ++updates_;
}

void TSyntaxMemoStrings::EndUpdate() {
    // An unmatched call must not release a paint lock someone else holds.
    if (updates_ == 0)
        return;
    // What changed while painting was held back is announced once it is released.
    TCustomSyntaxMemo::TNotifyScope notify(memo_);
    --updates_;
    memo_.UnlockPaint();
}

void TSyntaxMemoStrings::LoadFromStream(TStream& stream) {
    memo_.LoadFromStream(stream);
}

void TSyntaxMemoStrings::LoadFromFile(const std::string& name) {
    memo_.LoadFromFile(name);
}

void TSyntaxMemoStrings::SaveToStream(TStream& stream) {
    memo_.SaveToStream(&stream);
}

void TSyntaxMemoStrings::SaveToFile(const std::string& name) {
    memo_.SaveToFile(name);
}

void TSyntaxMemoStrings::AddStrings(const std::vector<std::string>& strings) {
    TMemoryStream data;
    for (const std::string& s : strings) {
        data.Write(s.data(), static_cast<int64_t>(s.size()));
        data.Write("\r\n", 2);
    }
    data.Seek(0, TSeekOrigin::Begin);
    memo_.LoadFromStream(data);
}

std::string TSyntaxMemoStrings::Text() const {
    return memo_.GetWholeText();
}

void TSyntaxMemoStrings::SetText(std::string_view text) {
    std::string converted;
    converted.reserve(text.size() + text.size() / 16);
    for (size_t k = 0; k < text.size(); ++k) {
        const char c = text[k];
        if (c != '\r' && c != '\n') {
            converted.push_back(c);
            continue;
        }
        // CR LF and LF CR are one break each, as the store pairs them.
        converted.append("\r\n");
        const char partner = c == '\r' ? '\n' : '\r';
        if (k + 1 < text.size() && text[k + 1] == partner)
            ++k;
    }
    // Unchanged means the document would store the very same characters; comparing stored
    // forms makes the answer independent of SelLineStyle and of bytes the store rewrites.
    std::string stored(converted.size(), '\0');
    TTextNormalizer normalizer;
    stored.resize(normalizer.Run(converted.data(), converted.size(), stored.data()));
    if (stored == memo_.Text())
        return;
    memo_.SetWholeText(converted);
}

} // namespace kvx
