// Message numbers and texts, option bits, command ids and other constants shared by the
// editor control, its commands and everything that talks to it by number.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace kvx {

// ---- Message numbers -------------------------------------------------------------------
enum TMessageId : int {
    msgCannotAllocBuffer = 4196,
    msgBookmarkIndexRange = 4197,
    msgBadTransactionLogEntry = 4199,
    msgBadUndoStackState = 4200,
    msgStackUnderflow = 4201,
    msgDuplicateKeyword = 4202,
    msgReadOnlyStream = 4203,
    msgIllegalTabDefault = 4204,
    msgTabColumnExpected = 4205,
    msgTabColumnsOrder = 4206,
    msgTabColumnTooSmall = 4207,
    msgTooManyTabStops = 4208,
    // Regular-expression engine: 4246 is the state of a compile that found nothing wrong;
    // 4247 and 4249 are never raised.
    msgRENoErrors = 4246,
    msgRENotFound = 4247,
    msgREInvalidParameter = 4248,
    msgREOutOfMemory = 4250,
    msgRETooManySubExpressions = 4251,
    msgREUnmatchedParenthesis = 4252,
    msgREInvalidRepeat = 4253,
    msgRENestedRepeat = 4254,
    msgREInvalidRange = 4255,
    msgREUnmatchedBracket = 4256,
    msgBadKeySpecifier = 4257,
    msgREHexDigitExpected = 4258,
    msgREUnexpectedEnd = 4259,
    msgREQuoteExpected = 4260,
    msgREIndexRange = 4261,
    msgREInternalError = 4262,
    // Our own numbers, after the engine's block: a search stopped by its work budget, and
    // one the user stopped.
    msgRESearchTooLong = 4263,
    msgRESearchCancelled = 4264,
    msgCannotOpenFile = 4400,
    // Descriptions of the commands: 4146 + command id (4191, command 45, has no text).
    msgFirstCommandDescription = 4146,
};

// The fixed English text of a message; an empty string for an unknown number.
const char* MessageText(int id);

// The one exception type of the editor control; it carries the message number it came
// from (0 for texts that are not in the table) so callers can react to a kind of failure.
class ESyntaxMemo : public std::runtime_error {
  public:
    explicit ESyntaxMemo(int id);
    ESyntaxMemo(int id, const std::string& text);
    int MessageId() const { return id_; }

  private:
    int id_;
};

// A stream refused an operation (a write to a read-only stream).
class EStreamError : public ESyntaxMemo {
  public:
    using ESyntaxMemo::ESyntaxMemo;
};

// A file could not be opened for reading.
class EFOpenError : public EStreamError {
  public:
    using EStreamError::EStreamError;
};

// Text could not be saved; whatever was there before is left as it was.
class EFileSaveError : public ESyntaxMemo {
  public:
    explicit EFileSaveError(const std::string& text) : ESyntaxMemo(0, text) {}
};

// Two key bindings clash: one key both completes a binding and starts a sequence, or one
// key (sequence) is bound twice.
class EAmbigiousKeyPair : public ESyntaxMemo {
  public:
    explicit EAmbigiousKeyPair(const std::string& text) : ESyntaxMemo(0, text) {}
};

// Fixed texts of failures that have no message number.
inline constexpr char kNotEnoughMemory[] = "Not enough memory for operation";
// Offsets are 32-bit: a text of 2 GiB or more cannot be held, whatever memory there is.
inline constexpr char kTextTooLarge[] = "Text too large: 2 GiB or more cannot be loaded";
inline constexpr char kBadStreamInstance[] = "Bad TStream instance";
inline constexpr char kCouldNotSaveText[] = "Could not save text to stream";

// ---- Options ---------------------------------------------------------------------------
// Members of the option set in their declared order; the option word uses other bits.
enum TSyntaxMemoOption : int {
    smoSyntaxHighlight,
    smoPrintWrap,
    smoPrintLineNos,
    smoPrintFilename,
    smoPrintDate,
    smoPrintPageNos,
    smoWordWrap,
    smoAutoIndent,
    smoTabToColumn,
    smoWrapOverride,
    smoWordSelect,
    smoShowRMargin,
    smoShowGutter,
    smoShowWrapColumn,
    smoTitleAsFilename,
    smoProcessDroppedFiles,
    smoBlockOverwriteCursor,
    smoShowWrapGlyph,
    smoColumnTrack,
    smoUseTAB,
    smoSmartFill,
    smoOLEDragSource,
    smoCaretAfterEOL,
    smoLineNumbers,
    smoShowAllChars,
    smoCount
};

// The bit of the option word that stands for one member of the set.
constexpr uint32_t OptionBit(TSyntaxMemoOption o) {
    constexpr uint32_t bits[smoCount] = {
        16,      32,      64,       128,      256,       512,    1024,     2048,    4096,
        8192,    16384,   32768,    65536,    131072,    262144, 524288,   1048576, 2097152,
        4194304, 8388608, 16777216, 33554432, 134217728, 1,      67108864,
    };
    return bits[o];
}

// Every member on except word wrap, wrap override, caret after end of line, line numbers
// and show-all-characters.
constexpr uint32_t DefaultOptionWord = 0x3FFDBF0;

// The option set as a value type over the members' ordinals.
class TSyntaxMemoOptions {
  public:
    constexpr TSyntaxMemoOptions() = default;
    constexpr bool Has(TSyntaxMemoOption o) const { return (set_ >> o) & 1u; }
    constexpr TSyntaxMemoOptions& Include(TSyntaxMemoOption o) {
        set_ |= 1u << o;
        return *this;
    }
    constexpr TSyntaxMemoOptions& Exclude(TSyntaxMemoOption o) {
        set_ &= ~(1u << o);
        return *this;
    }
    constexpr bool operator==(const TSyntaxMemoOptions&) const = default;

    static constexpr TSyntaxMemoOptions FromWord(uint32_t word) {
        TSyntaxMemoOptions s;
        for (int i = 0; i < smoCount; ++i)
            if (word & OptionBit(TSyntaxMemoOption(i)))
                s.Include(TSyntaxMemoOption(i));
        return s;
    }
    // Bits of the word that belong to no member are kept as they were.
    constexpr uint32_t ToWord(uint32_t previous = 0) const {
        uint32_t w = previous;
        for (int i = 0; i < smoCount; ++i) {
            const uint32_t bit = OptionBit(TSyntaxMemoOption(i));
            w = Has(TSyntaxMemoOption(i)) ? (w | bit) : (w & ~bit);
        }
        return w;
    }

  private:
    uint32_t set_ = 0;
};

// ---- Commands --------------------------------------------------------------------------
enum TCommandId : int {
    caLEFT,
    caRIGHT,
    caLINEHOME,
    caLINEEND,
    caUP,
    caDOWN,
    caPAGEUP,
    caPAGEDOWN,
    caWORDLEFT,
    caWORDRIGHT,
    caDOCSTART,
    caDOCEND,
    caCUT,
    caCOPY,
    caPASTE,
    caDELETE,
    caBACKSPACE,
    caBLOCKIND,
    caBLOCKUND,
    caINSTOGGLE,
    caSETBOOKMARK0,
    caSETBOOKMARK9 = caSETBOOKMARK0 + 9,
    caGOTOBOOKMARK0,
    caGOTOBOOKMARK9 = caGOTOBOOKMARK0 + 9,
    caDELETELINE,
    caUNDO,
    caREDO,
    caDELPREVWORD,
    caPRINTSEL,
    caDELNEXTWORD,
    caCommandCount
};
static_assert(caDELNEXTWORD == 45);

constexpr bool IsCommandId(int id) {
    return id >= 0 && id < caCommandCount;
}
// Script name ("caLEFT") and user-facing description of a command; empty when out of range.
const char* CommandName(int id);
const char* CommandDescription(int id);

// ---- Undo group codes ------------------------------------------------------------------
enum TUndoGroup : int32_t {
    ugReplacement = 1,
    ugTyping = 12,
    ugDelete = 13,
    ugPaste = 14,
    ugCut = 15,
    ugTemplate = 16,
    ugIndentBlock = 17,
    ugUnindentBlock = 18,
    ugDelPrevWord = 19,
    ugDelNextWord = 20,
    ugReplaceSelection = 22,
    ugReplaceAll = 32,
};

// ---- Change bits raised with the change notification -----------------------------------
enum TChangeBit : uint32_t {
    chSelection = 1,
    chText = 2,
    chView = 4,
    chSettings = 8,
    chInsertMode = 32,
    chOptions = 64,
    chKeyboard = 128,
    // The window's border or scroll bars are to look different.
    chFrame = 256,
    // The active language changed.
    chLanguage = 512,
};

// How line breaks are counted and written when text leaves the control.
enum TLineStyle { lsCRLF, lsLF };

// ---- Keys ------------------------------------------------------------------------------
// Keys are numbered with the virtual-key codes of the original platform, so key maps in
// stored settings and scripts keep their meaning; the widget translates its own key events
// into these. Letters and digits are their upper-case ASCII codes.
enum TVirtualKey : uint8_t {
    vkBack = 8,
    vkTab = 9,
    vkReturn = 13,
    vkShift = 16,
    vkControl = 17,
    vkMenu = 18, // Alt
    vkPause = 19,
    vkCapital = 20,
    vkEscape = 27,
    vkSpace = 32,
    vkPrior = 33, // Page Up
    vkNext = 34,  // Page Down
    vkEnd = 35,
    vkHome = 36,
    vkLeft = 37,
    vkUp = 38,
    vkRight = 39,
    vkDown = 40,
    vkInsert = 45,
    vkDelete = 46,
    vk0 = 48,       // '0'..'9' are 48..57
    vkA = 65,       // 'A'..'Z' are 65..90
    vkNumpad0 = 96, // numeric keypad 0..9 are 96..105
    vkMultiply = 106,
    vkAdd = 107,
    vkSubtract = 109,
    vkDecimal = 110,
    vkDivide = 111,
    vkF1 = 112, // F1..F12 are 112..123
    vkF12 = 123,
    vkOem1 = 186,      // ; :
    vkOemPlus = 187,   // = +
    vkOemComma = 188,  // , <
    vkOemMinus = 189,  // - _
    vkOemPeriod = 190, // . >
    vkOem2 = 191,      // / ?
    vkOem3 = 192,      // ` ~
    vkOem4 = 219,      // [ {
    vkOem5 = 220,      // \ |
    vkOem6 = 221,      // ] }
    vkOem7 = 222,      // ' "
};

// Modifier keys held with a key.
enum TShiftFlag : uint8_t { ssShift = 1, ssAlt = 2, ssCtrl = 4 };
using TShiftState = uint8_t;

// A key map shortcut: the virtual key in the low byte plus these modifier bits; 0 is no key.
using TShortcut = uint16_t;
inline constexpr TShortcut scShift = 8192;
inline constexpr TShortcut scCtrl = 16384;
inline constexpr TShortcut scAlt = 32768;

constexpr TShortcut MakeShortcut(uint8_t key, TShiftState shift) {
    return static_cast<TShortcut>(key | ((shift & ssShift) ? scShift : 0) |
                                  ((shift & ssCtrl) ? scCtrl : 0) | ((shift & ssAlt) ? scAlt : 0));
}

// Auto-correct triggers number their modifiers differently (Alt is 2048, not 1024); stored
// trigger sets use these, so both encodings stay.
inline constexpr uint16_t tkShift = 256;
inline constexpr uint16_t tkCtrl = 512;
inline constexpr uint16_t tkAlt = 2048;

// Row limits of the text store.
constexpr int MaxRowLength = 2047;
constexpr int MaxTabColumns = 32;

} // namespace kvx
