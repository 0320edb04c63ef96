// The texts the shell shows and the small text parsers of its commands: captions,
// questions and status texts in one place, so the main window, its dialogs and their
// tests use the same words; the Go to line answer; the names of new documents.
#pragma once

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

namespace kvx {

// ---- Captions and messages ---------------------------------------------------------------
inline constexpr const char* kApplicationTitle = "KOVEX LIGHT";
inline constexpr const char* kMainCaption = "KOVEX Light "; // the trailing space belongs to it
inline constexpr const char* kProductName = "KOVEX Light";
inline constexpr const char* kSaveChangesQuestion = "Save changes to %s?";
inline constexpr const char* kGotoLineTitle = "Goto Line Number:";
inline constexpr const char* kNotFoundMessage = "\"%s\" not found";
inline constexpr const char* kReplacePrompt = "Replace this instance of \"%s\" with \"%s\" ?";
inline constexpr const char* kNotValidInteger = "'%s' is not a valid integer value";
inline constexpr const char* kUnnamedPrefix = "NONAME";
inline constexpr const char* kStatusModified = "Mod";
inline constexpr const char* kStatusInsert = "Insert";
inline constexpr const char* kStatusOverwrite = "Overwrite";
inline constexpr const char* kRunStatusPrefix = "Run: ";
inline constexpr const char* kOpenDialogTitle = "Open File";
inline constexpr const char* kSaveDialogTitle = "Save As";

// ---- Files --------------------------------------------------------------------------------
inline constexpr const char* kPlacementIniName = "kvxl.ini"; // placement, font size, recent
inline constexpr const char* kToolsIniName = "kovxl.ini";    // the Run menu's tools
inline constexpr const char* kHistoryFileName = "frepl.dat"; // find and replace histories

// One entry of the open and save dialogs' filter lists: the description the user sees and
// the patterns, ";"-separated as they have always been written (blanks may follow a ";").
struct TFileFilter {
    const char* Description;
    const char* Patterns;
};

inline constexpr TFileFilter kOpenFilters[] = {
    {"Assembler (*.asm, *.inc, *.lst)", "*.asm;*.inc; *.lst"},
    {"C/C++ (*.c;*.cpp,*.h,*.hpp)", "*.c;*.cpp;*.h;*.hpp"},
    {"Pascal (*.pas)", "*.pas"},
    {"HTML (*.htm,*.html)", "*.htm;*.html"},
    {"Text & Errors (*.txt, *.err)", "*.txt;*.err"},
    {"All Files (*.*)", "*.*"},
};

inline constexpr TFileFilter kSaveFilters[] = {
    {"Assembler (*.asm, *.inc)", "*.asm;*.inc"},
    {"C/C++ (*.c;*.cpp,*.h,*.hpp)", "*.c;*.cpp;*.h;*.hpp"},
    {"Pascal (*.pas)", "*.pas"},
    {"HTML (*.htm,*.html)", "*.htm;*.html"},
    {"Text", "*.txt"},
    {"All Files (*.*)", "*.*"},
};

// ---- Helpers ------------------------------------------------------------------------------

// Replaces each "%s" of `format`, left to right, by the next argument; a "%s" without an
// argument stays. User text never goes through printf, so a "%" in a file name is safe.
std::string FormatText(std::string_view format, std::initializer_list<std::string_view> args);

// The caret panel of the status bar: "%4d:%4d" of the 1-based line and column.
std::string CaretPositionText(int line, int column);

// The caption of a new document: "NONAME" + (number of document windows + 1). The number
// may repeat one of an open document after others were closed; whether a document is
// unnamed is the document's own flag, never read back from this caption.
std::string NewDocumentName(int documentCount);

// The line of the Go to line box: a whole number of at least 1, with blanks around it and
// an optional "+". A number too large for the editor is taken as the largest one, which
// the caret move turns into the last line. Anything else (empty, not a number, 0,
// negative) is nullopt: the command then does nothing.
std::optional<int> ParseGotoLine(std::string_view answer);

// A decimal integer that fits 32 bits, with an optional sign and blanks around it;
// nullopt for anything else.
std::optional<int> ParseInteger(std::string_view text);

// ASCII-only upper case: names in stored files and the shell's macros fold only a-z.
inline char AsciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Byte-level find ignoring ASCII letter case; npos when absent.
size_t FindAsciiNoCase(std::string_view text, std::string_view what, size_t from = 0);

// A text cut to at most `count` characters (UTF-8 sequences are never split; bytes that
// are not UTF-8 count one each).
std::string CutCharacters(std::string_view text, size_t count);

} // namespace kvx
