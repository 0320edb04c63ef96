#include "IniFile.h"

#include "ShellPaths.h"
#include "ShellStrings.h"

namespace kvx {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// The name inside "[...]" of a header line, or nullopt for any other line.
std::optional<std::string_view> HeaderName(std::string_view line) {
    line = TrimBlanks(line);
    if (line.empty() || line.front() != '[')
        return std::nullopt;
    const size_t close = line.find(']');
    if (close == std::string_view::npos)
        return std::nullopt;
    return TrimBlanks(line.substr(1, close - 1));
}

} // namespace

bool SameTextAscii(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (AsciiUpper(a[i]) != AsciiUpper(b[i]))
            return false;
    return true;
}

TIniFile TIniFile::FromText(std::string_view text) {
    TIniFile ini;
    ini.sections_.push_back(TSection{});
    bool breakSeen = false;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t end = text.find_first_of("\r\n", pos);
        const std::string_view raw =
            text.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
        if (end == std::string_view::npos) {
            pos = text.size();
            ini.finalBreak_ = false;
        } else {
            size_t next = end + 1;
            if (text[end] == '\r' && next < text.size() && text[next] == '\n')
                ++next;
            if (!breakSeen) {
                ini.break_ = std::string(text.substr(end, next - end));
                breakSeen = true;
            }
            pos = next;
        }
        if (const auto name = HeaderName(raw)) {
            ini.sections_.push_back(TSection{std::string(*name), true, {}});
            ini.sections_.back().Lines.push_back(TLine{std::string(raw), {}, {}, false});
            continue;
        }
        TLine line{std::string(raw), {}, {}, false};
        const size_t eq = raw.find('=');
        if (eq != std::string_view::npos) {
            const std::string_view key = TrimBlanks(raw.substr(0, eq));
            if (!key.empty() && key.front() != ';') {
                line.IsKey = true;
                line.Key = std::string(key);
                line.Value = std::string(TrimBlanks(raw.substr(eq + 1)));
            }
        }
        ini.sections_.back().Lines.push_back(std::move(line));
    }
    return ini;
}

TIniFile TIniFile::Load(const std::string& fileName) {
    std::string bytes;
    switch (ReadSmallFile(fileName, kMaxFileSize, bytes)) {
    case TReadResult::Ok:
        return FromText(bytes);
    case TReadResult::Missing:
        return TIniFile{};
    case TReadResult::Failed:
        break;
    }
    TIniFile ini;
    ini.writable_ = false;
    return ini;
}

TIniFile::TSection* TIniFile::FindSection(std::string_view name) {
    if (name.empty())
        return nullptr;
    for (TSection& s : sections_)
        if (s.HasHeader && SameTextAscii(s.Name, name))
            return &s;
    return nullptr;
}

const TIniFile::TSection* TIniFile::FindSection(std::string_view name) const {
    return const_cast<TIniFile*>(this)->FindSection(name);
}

const TIniFile::TLine* TIniFile::FindKey(const TSection& section, std::string_view key) {
    for (const TLine& line : section.Lines)
        if (line.IsKey && SameTextAscii(line.Key, key))
            return &line;
    return nullptr;
}

std::optional<std::string> TIniFile::ReadString(std::string_view section,
                                                std::string_view key) const {
    const TSection* s = FindSection(section);
    if (!s || key.empty())
        return std::nullopt;
    if (const TLine* line = FindKey(*s, key))
        return line->Value;
    return std::nullopt;
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key,
                                 std::string_view fallback) const {
    return ReadString(section, key).value_or(std::string(fallback));
}

std::optional<int> TIniFile::ReadInteger(std::string_view section, std::string_view key) const {
    const auto text = ReadString(section, key);
    return text ? ParseInteger(*text) : std::nullopt;
}

bool TIniFile::SectionExists(std::string_view section) const {
    return FindSection(section) != nullptr;
}

bool TIniFile::KeyExists(std::string_view section, std::string_view key) const {
    return ReadString(section, key).has_value();
}

std::vector<std::string> TIniFile::Keys(std::string_view section) const {
    std::vector<std::string> keys;
    if (const TSection* s = FindSection(section))
        for (const TLine& line : s->Lines)
            if (line.IsKey && FindKey(*s, line.Key) == &line)
                keys.push_back(line.Key);
    return keys;
}

bool TIniFile::CanStoreValue(std::string_view value) {
    if (value.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos)
        return false;
    return value.empty() || (!IsBlank(value.front()) && !IsBlank(value.back()));
}

bool TIniFile::CanStoreKey(std::string_view key) {
    return !key.empty() && CanStoreValue(key) && key.find('=') == std::string_view::npos &&
           key.front() != '[' && key.front() != ';';
}

bool TIniFile::CanStoreSection(std::string_view section) {
    return !section.empty() && CanStoreValue(section) &&
           section.find(']') == std::string_view::npos;
}

bool TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    if (!CanStoreSection(section) || !CanStoreKey(key) || !CanStoreValue(value))
        return false;
    finalBreak_ = true;
    TSection* s = FindSection(section);
    if (!s) {
        if (sections_.empty())
            sections_.push_back(TSection{});
        // A blank line before a new section, as people lay these files out by hand.
        TSection& last = sections_.back();
        if (!last.Lines.empty() && !TrimBlanks(last.Lines.back().Raw).empty())
            last.Lines.push_back(TLine{});
        sections_.push_back(TSection{std::string(section), true, {}});
        s = &sections_.back();
        s->Lines.push_back(TLine{"[" + std::string(section) + "]", {}, {}, false});
    }
    for (TLine& line : s->Lines) {
        if (line.IsKey && SameTextAscii(line.Key, key)) {
            // The stored spelling of the key stays; only the value changes.
            line.Value = std::string(value);
            line.Raw = line.Key + "=" + line.Value;
            return true;
        }
    }
    // A new key goes after the section's last non-blank line, so the blank line that
    // separates it from the next section stays where it was.
    size_t at = s->Lines.size();
    while (at > 1 && TrimBlanks(s->Lines[at - 1].Raw).empty())
        --at;
    TLine line{std::string(key) + "=" + std::string(value), std::string(key), std::string(value),
               true};
    s->Lines.insert(s->Lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
    return true;
}

bool TIniFile::WriteInteger(std::string_view section, std::string_view key, int value) {
    return WriteString(section, key, std::to_string(value));
}

void TIniFile::EraseSection(std::string_view section) {
    std::erase_if(sections_,
                  [&](const TSection& s) { return s.HasHeader && SameTextAscii(s.Name, section); });
}

void TIniFile::DeleteKey(std::string_view section, std::string_view key) {
    if (TSection* s = FindSection(section))
        std::erase_if(s->Lines, [&](const TLine& line) {
            return line.IsKey && SameTextAscii(line.Key, key);
        });
}

std::string TIniFile::Text() const {
    std::string out;
    bool first = true;
    for (const TSection& s : sections_) {
        for (const TLine& line : s.Lines) {
            if (!first)
                out += break_;
            out += line.Raw;
            first = false;
        }
    }
    if (!first && finalBreak_)
        out += break_;
    return out;
}

bool TIniFile::Save(const std::string& fileName) const {
    return writable_ && WriteFileSafely(fileName, Text());
}

} // namespace kvx
