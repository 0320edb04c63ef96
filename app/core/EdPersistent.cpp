#include "EdPersistent.h"

#include "IniFile.h"
#include "ShellPaths.h"
#include "ShellStrings.h"

namespace kvx {
namespace {

// The file is a few kilobytes when healthy; beyond this it is not ours to read or rewrite.
constexpr size_t kMaxFileSize = 4 << 20;

bool IsHeader(std::string_view line) {
    return SameTextAscii(line, THistoryLines::kFindHeader) ||
           SameTextAscii(line, THistoryLines::kReplaceHeader);
}

size_t FindHeader(const std::vector<std::string>& lines, std::string_view header, size_t from) {
    for (size_t i = from; i < lines.size(); ++i)
        if (SameTextAscii(lines[i], header))
            return i;
    return lines.size();
}

// One past the last line of the section whose header is at `at`: the section ends at an
// empty line, at the end of the file, or (in a file that lost its empty line) at the next
// header, which must not be taken for an entry.
size_t SectionEnd(const std::vector<std::string>& lines, size_t at) {
    size_t end = at + 1;
    while (end < lines.size() && !lines[end].empty() && !IsHeader(lines[end]))
        ++end;
    return end;
}

} // namespace

THistoryLines::THistoryLines(std::string_view text) {
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) {
            lines_.emplace_back(text.substr(pos));
            break;
        }
        lines_.emplace_back(text.substr(pos, end - pos));
        pos = end + 1;
        if (text[end] == '\r' && pos < text.size() && text[pos] == '\n')
            ++pos;
    }
}

std::vector<std::string> THistoryLines::Section(std::string_view header) const {
    std::vector<std::string> entries;
    const size_t at = FindHeader(lines_, header, 0);
    if (at == lines_.size())
        return entries;
    const size_t end = SectionEnd(lines_, at);
    for (size_t i = at + 1; i < end && entries.size() < kMaxEntries; ++i)
        if (lines_[i].size() <= kMaxEntryLength)
            entries.push_back(lines_[i]);
    return entries;
}

void THistoryLines::StoreSection(std::string_view header, const std::vector<std::string>& entries) {
    for (size_t at = FindHeader(lines_, header, 0); at < lines_.size();
         at = FindHeader(lines_, header, at)) {
        size_t end = SectionEnd(lines_, at);
        if (end < lines_.size() && lines_[end].empty())
            ++end; // the empty line that ended it, only when it is really there
        lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(at),
                     lines_.begin() + static_cast<std::ptrdiff_t>(end));
    }
    // The section before must end with its empty line, or readers that stop only there
    // would take this header and its entries for more of that section.
    if (!lines_.empty() && !lines_.back().empty())
        lines_.emplace_back();
    lines_.emplace_back(header);
    size_t stored = 0;
    for (const std::string& e : entries) {
        if (stored == kMaxEntries)
            break;
        if (CanStore(e)) {
            lines_.push_back(e);
            ++stored;
        }
    }
    lines_.emplace_back();
}

std::string THistoryLines::Text() const {
    std::string out;
    for (const std::string& line : lines_)
        out += line + "\r\n";
    return out;
}

bool THistoryLines::CanStore(std::string_view entry) {
    return !entry.empty() && entry.size() <= kMaxEntryLength &&
           entry.find_first_of("\r\n") == std::string_view::npos && !IsHeader(entry);
}

TEdPersistent::TEdPersistent() : TEdPersistent(JoinPath(DataFolder(), kHistoryFileName)) {}

TEdPersistent::TEdPersistent(std::string fileName) : fileName_(std::move(fileName)) {}

bool TEdPersistent::Read(THistoryLines& lines) const {
    std::string bytes;
    const TReadResult result = ReadSmallFile(fileName_, kMaxFileSize, bytes);
    lines = THistoryLines(bytes);
    // No file yet is an empty history, not a failure.
    return result != TReadResult::Failed;
}

std::vector<std::string> TEdPersistent::FindHistory() const {
    THistoryLines lines;
    Read(lines);
    return lines.Section(THistoryLines::kFindHeader);
}

std::vector<std::string> TEdPersistent::ReplaceHistory() const {
    THistoryLines lines;
    Read(lines);
    return lines.Section(THistoryLines::kReplaceHeader);
}

bool TEdPersistent::Store(std::string_view header, const std::vector<std::string>& entries) const {
    THistoryLines lines;
    if (!Read(lines))
        return false;
    lines.StoreSection(header, entries);
    return WriteFileSafely(fileName_, lines.Text());
}

bool TEdPersistent::StoreFindHistory(const std::vector<std::string>& entries) const {
    return Store(THistoryLines::kFindHeader, entries);
}

bool TEdPersistent::StoreReplaceHistory(const std::vector<std::string>& entries) const {
    return Store(THistoryLines::kReplaceHeader, entries);
}

} // namespace kvx
