// The control's text as a list of lines (the Lines property). A line is a row of the store:
// with word wrap on, a display row. Strings are the stored characters without the break,
// in the document's encoding.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kvx {

class TCustomSyntaxMemo;
class TStream;

// The control must outlive the object.
class TSyntaxMemoStrings {
  public:
    explicit TSyntaxMemoStrings(TCustomSyntaxMemo& memo) : memo_(memo) {}
    // Painting suspended by BeginUpdate and not yet resumed is resumed.
    ~TSyntaxMemoStrings();
    TSyntaxMemoStrings(const TSyntaxMemoStrings&) = delete;
    TSyntaxMemoStrings& operator=(const TSyntaxMemoStrings&) = delete;

    // Rows of the document: 0 when it is empty, 1 for a document holding just a break.
    int32_t Count() const;
    // Line i without its break; an empty string for an index that is not a line.
    std::string Get(int32_t i) const;
    std::string operator[](int32_t i) const { return Get(i); }

    // The editing operations go through the control's selection and ReplaceSelection, so
    // each is one undo step; the caret ends after the changed text. They return false and
    // change nothing when the index is not one they can act on.

    // Replaces the characters of line i, keeping its break.
    bool Put(int32_t i, std::string_view s);
    // Before an existing line i: s and a break. At i = Count: s on a line of its own after
    // the last line, or, when the last line is blank, s written into it (a lone break when s
    // is empty). Into an empty document at i = 0: s alone (a lone break when s is empty).
    bool Insert(int32_t i, std::string_view s);
    // Insert at Count: adds s as the last line.
    bool Add(std::string_view s) { return Insert(Count(), s); }
    // Removes line i with its break (the last line: its characters up to the end).
    bool Delete(int32_t i);
    // Empties the document and the undo log.
    void Clear();

    void BeginUpdate();
    // Does nothing without a matching BeginUpdate; the last one repaints the control.
    void EndUpdate();

    void LoadFromStream(TStream& stream);
    void LoadFromFile(const std::string& name);
    void SaveToStream(TStream& stream);
    void SaveToFile(const std::string& name);

    // Replaces the whole text by the strings, each followed by CR LF.
    void AddStrings(const std::vector<std::string>& strings);

    // The control's whole text (breaks as its SelLineStyle says).
    std::string Text() const;
    // Replaces the whole text after turning every break (CR LF, LF CR, LF, CR) into CR LF.
    // Text that would be stored exactly as the document already is leaves the document,
    // its undo log and the caret alone.
    void SetText(std::string_view text);

  private:
    // Replaces [from, to) of the stored text through the control.
    void Replace(int32_t from, int32_t to, std::string_view s);

    TCustomSyntaxMemo& memo_;
    int updates_ = 0;
};

} // namespace kvx
