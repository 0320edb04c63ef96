#include "EdConsts.h"

namespace kvx {

const char* MessageText(int id) {
    switch (id) {
    case msgCannotAllocBuffer:
        return "Cannot alloc memory for buffer!!";
    case msgBookmarkIndexRange:
        return "Bookmark index range error";
    case msgBadTransactionLogEntry:
        return "Bad transaction log entry";
    case msgBadUndoStackState:
        return "Bad do/undo stack state";
    case msgStackUnderflow:
        return "Stack underflow";
    case msgDuplicateKeyword:
        return "Duplicate keyword - '%s'";
    case msgReadOnlyStream:
        return "Cannot write to a read-only stream";
    case msgIllegalTabDefault:
        return "=Illegal default tab stop value, must be > 0";
    case msgTabColumnExpected:
        return "Tab stop column value expected";
    case msgTabColumnsOrder:
        return "Tab columns must be in order and unique";
    case msgTabColumnTooSmall:
        return "Tab column must be > 1";
    case msgTooManyTabStops:
        return "Too many tab stops - maximum of ";
    case msgBadKeySpecifier:
        return "Bad key specifier";
    case msgRENoErrors:
        return "No errors detected";
    case msgRENotFound:
        return "Expression not found";
    case msgREInvalidParameter:
        return "Invalid parameter";
    case msgREOutOfMemory:
        return "Out of memory";
    case msgRETooManySubExpressions:
        return "Too many sub-expressions";
    case msgREUnmatchedParenthesis:
        return "Unmatched parenthesis";
    case msgREInvalidRepeat:
        return "Invalid repeat";
    case msgRENestedRepeat:
        return "Nested repeat";
    case msgREInvalidRange:
        return "Invalid range";
    case msgREUnmatchedBracket:
        return "Unmatched bracket";
    case msgREHexDigitExpected:
        return "Hex digit expected";
    case msgREUnexpectedEnd:
        return "Unexpected end of input";
    case msgREQuoteExpected:
        return "' expected";
    case msgREIndexRange:
        return "Index range error";
    case msgREInternalError:
        return "Internal error";
    case msgRESearchTooLong:
        return "Search stopped: the pattern needs too much work on this text";
    case msgRESearchCancelled:
        return "Search cancelled";
    case msgCannotOpenFile:
        return "File '%s' cannot be opened for reading";
    default:
        if (id >= msgFirstCommandDescription &&
            id - msgFirstCommandDescription < int(caCommandCount))
            return CommandDescription(id - msgFirstCommandDescription);
        return "";
    }
}

ESyntaxMemo::ESyntaxMemo(int id) : std::runtime_error(MessageText(id)), id_(id) {}
ESyntaxMemo::ESyntaxMemo(int id, const std::string& text) : std::runtime_error(text), id_(id) {}

namespace {
struct CommandInfo {
    const char* name;
    const char* description;
};
constexpr CommandInfo kCommands[caCommandCount] = {
    {"caLEFT", "Cursor left"},
    {"caRIGHT", "Cursor right"},
    {"caLINEHOME", "Line start"},
    {"caLINEEND", "Line end"},
    {"caUP", "Up one line"},
    {"caDOWN", "Down one line"},
    {"caPAGEUP", "Up one page"},
    {"caPAGEDOWN", "Down one page"},
    {"caWORDLEFT", "Move to word before"},
    {"caWORDRIGHT", "Move to word after"},
    {"caDOCSTART", "Document start"},
    {"caDOCEND", "Document end"},
    {"caCUT", "Cut to clipboard"},
    {"caCOPY", "Copy to clipboard"},
    {"caPASTE", "Paste from clipboard"},
    {"caDELETE", "Delete character at cursor"},
    {"caBACKSPACE", "Delete character before caret"},
    {"caBLOCKIND", "Indent selected block"},
    {"caBLOCKUND", "Un-indent selected block"},
    {"caINSTOGGLE", "Toggle insert/overwrite mode"},
    {"caSETBOOKMARK0", "Set Bookmark 0"},
    {"caSETBOOKMARK1", "Set Bookmark 1"},
    {"caSETBOOKMARK2", "Set Bookmark 2"},
    {"caSETBOOKMARK3", "Set Bookmark 3"},
    {"caSETBOOKMARK4", "Set Bookmark 4"},
    {"caSETBOOKMARK5", "Set Bookmark 5"},
    {"caSETBOOKMARK6", "Set Bookmark 6"},
    {"caSETBOOKMARK7", "Set Bookmark 7"},
    {"caSETBOOKMARK8", "Set Bookmark 8"},
    {"caSETBOOKMARK9", "Set Bookmark 9"},
    {"caGOTOBOOKMARK0", "Goto Bookmark 0"},
    {"caGOTOBOOKMARK1", "Goto Bookmark 1"},
    {"caGOTOBOOKMARK2", "Goto Bookmark 2"},
    {"caGOTOBOOKMARK3", "Goto Bookmark 3"},
    {"caGOTOBOOKMARK4", "Goto Bookmark 4"},
    {"caGOTOBOOKMARK5", "Goto Bookmark 5"},
    {"caGOTOBOOKMARK6", "Goto Bookmark 6"},
    {"caGOTOBOOKMARK7", "Goto Bookmark 7"},
    {"caGOTOBOOKMARK8", "Goto Bookmark 8"},
    {"caGOTOBOOKMARK9", "Goto Bookmark 9"},
    {"caDELETELINE", "Delete current line"},
    {"caUNDO", "Undo"},
    {"caREDO", "Redo"},
    {"caDELPREVWORD", "Delete previous word"},
    {"caPRINTSEL", "Print selection"},
    {"caDELNEXTWORD", ""},
};
} // namespace

const char* CommandName(int id) {
    return IsCommandId(id) ? kCommands[id].name : "";
}
const char* CommandDescription(int id) {
    return IsCommandId(id) ? kCommands[id].description : "";
}

} // namespace kvx
