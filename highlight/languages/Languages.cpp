#include "Languages.h"

#include "editor/EdConsts.h"
#include "editor/Stream.h"
#include "highlight/SynParse.h"

#include <array>
#include <string>

namespace kvx {

namespace {

struct TExtension {
    std::string_view Upper;
    int Language;
};

constexpr std::array<TExtension, 10> kExtensions{{
    {"ASM", 1},
    {"INC", 1},
    {"LST", 1},
    {"C", 2},
    {"CPP", 2},
    {"H", 2},
    {"HPP", 2},
    {"PAS", 3},
    {"BAS", 4},
    {"HTM", 5},
}};

} // namespace

std::string_view LanguageCaption(int number) {
    static constexpr std::array<std::string_view, kLanguageCount> kCaptions{
        "Assembler", "C", "Pascal", "Basic", "HTML", "Text"};
    return number >= 1 && number <= kLanguageCount ? kCaptions[size_t(number - 1)]
                                                   : std::string_view{};
}

int LanguageForFileName(std::string_view fileName) {
    const size_t slash = fileName.find_last_of('/');
    if (slash != std::string_view::npos)
        fileName.remove_prefix(slash + 1);
    const size_t dot = fileName.find_last_of('.');
    if (dot == std::string_view::npos)
        return kPlainTextLanguage;
    std::string ext;
    for (char c : fileName.substr(dot + 1)) {
        if (ext.size() == 4)
            break;
        ext.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c);
    }
    if (ext == "HTML")
        return 5;
    for (const TExtension& e : kExtensions)
        if (ext == e.Upper)
            return e.Language;
    return kPlainTextLanguage;
}

void LoadLanguage(TSyntaxMemoParser& parser, int number) {
    const std::span<const uint8_t> stored = EmbeddedLanguage(number);
    if (stored.empty())
        throw ESyntaxMemo(0, "No built-in language " + std::to_string(number) + " (1 to " +
                                 std::to_string(kLanguageCount) + ")");
    TMemoryStream in;
    in.Write(stored.data(), static_cast<int64_t>(stored.size()));
    in.Seek(0, TSeekOrigin::Begin);
    parser.ReadStored(in);
}

} // namespace kvx
