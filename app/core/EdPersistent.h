// The find and replace histories in frepl.dat: lines ended by CR LF, a "[FindHistory]"
// and a "[ReplaceHistory]" section in either order, each followed by up to 20 texts, the
// most recent first, and ended by an empty line. Every other line of the file is kept.
// The file is untrusted (it may be damaged or edited by hand); any content reads without
// a crash, and a text that could not be read back as one entry is never written.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kvx {

// The sections as lines in memory; the file handling is in TEdPersistent below.
class THistoryLines {
  public:
    static constexpr size_t kMaxEntries = 20;
    // Longer texts are not stored: no one searches for them again by picking them from a
    // list, and a damaged file of one huge line should not fill the dialogs.
    static constexpr size_t kMaxEntryLength = 4096;
    static constexpr const char* kFindHeader = "[FindHistory]";
    static constexpr const char* kReplaceHeader = "[ReplaceHistory]";

    THistoryLines() = default;
    // Splits at CR LF, and also at a lone CR or LF, so a file saved by another editor
    // reads too.
    explicit THistoryLines(std::string_view text);

    // The section under `header` (matched ignoring ASCII letter case): the lines after it
    // up to the first empty line or the end of the file, at most 20, skipping lines too
    // long to be entries. Empty when the header is absent.
    std::vector<std::string> Section(std::string_view header) const;
    // Removes every copy of the section (header, its lines and the empty line that ends
    // it, when there is one) and appends the header, the first 20 storable entries and
    // an empty line. Removing every copy matters: with two copies in a damaged file, the
    // one left over would be found first at the next start and hide what was stored.
    void StoreSection(std::string_view header, const std::vector<std::string>& entries);

    const std::vector<std::string>& Lines() const { return lines_; }
    // The file's bytes: every line followed by CR LF.
    std::string Text() const;

    // An entry can be stored when it reads back as the same single entry: not empty (an
    // empty line ends the section), no CR or LF (it would become several entries), not a
    // section header (it would hide the real section), not over kMaxEntryLength.
    static bool CanStore(std::string_view entry);

  private:
    std::vector<std::string> lines_;
};

// The history store of one dialog. Each call reads the file again, so a dialog that
// stores its list changes only its own section of what is on disk now: the find dialog
// can no longer put back the replace history it loaded at start-up over newer entries
// the replace dialog wrote (and the other way round).
class TEdPersistent {
  public:
    // The file under the data folder ($XDG_DATA_HOME/kovex/frepl.dat).
    TEdPersistent();
    explicit TEdPersistent(std::string fileName);

    std::vector<std::string> FindHistory() const;
    std::vector<std::string> ReplaceHistory() const;
    // Write the file safely (a temporary file renamed over it), creating the folder when
    // needed. False when it could not be written; the old file is then untouched. A file
    // that exists but cannot be read is not overwritten.
    bool StoreFindHistory(const std::vector<std::string>& entries) const;
    bool StoreReplaceHistory(const std::vector<std::string>& entries) const;

    const std::string& FileName() const { return fileName_; }

  private:
    bool Read(THistoryLines& lines) const;
    bool Store(std::string_view header, const std::vector<std::string>& entries) const;

    std::string fileName_;
};

} // namespace kvx
