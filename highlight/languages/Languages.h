// The six languages the editor carries: their stored parser tables, compiled from the
// scripts beside this file when the program is built, and the choice of a language by a
// file's extension.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace kvx {

class TSyntaxMemoParser;

// Languages are numbered 1 to 6: assembler, C, Pascal, Basic, HTML, plain text.
constexpr int kLanguageCount = 6;
constexpr int kPlainTextLanguage = 6;

// The language selector's caption: "Assembler", "C", "Pascal", "Basic", "HTML", "Text".
std::string_view LanguageCaption(int number);

// The language for a file name by its extension: the text after the last "." of the
// name, without its folder, upper-cased and cut to four characters. Anything unknown,
// and a name without an extension, is plain text.
int LanguageForFileName(std::string_view fileName);

// The stored tables of a language (empty for a number outside 1 to 6).
std::span<const uint8_t> EmbeddedLanguage(int number);

// Loads a language's stored tables into `parser`; raises ESyntaxMemo for a number outside
// 1 to 6.
void LoadLanguage(TSyntaxMemoParser& parser, int number);

} // namespace kvx
