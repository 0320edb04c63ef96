// The desk calculator behind System > Calculator: a one-line display, the four
// operations applied left to right as they are keyed, percent, square root, reciprocal,
// sign change, a memory, and keyboard entry. The dialog only turns buttons and keys into
// the commands here and shows Display().
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kvx {

enum class TCalcCommand {
    Digit0,
    Digit1,
    Digit2,
    Digit3,
    Digit4,
    Digit5,
    Digit6,
    Digit7,
    Digit8,
    Digit9,
    Decimal,
    Backspace,
    Add,
    Subtract,
    Multiply,
    Divide,
    Equals,
    Percent,
    Sqrt,
    Reciprocal,
    Negate,
    Clear,
    MemoryClear,
    MemoryRecall,
    MemoryStore,
    MemoryAdd,
    MemorySubtract,
};

class TCalculatorEngine {
  public:
    // Significant digits a typed number may have; a double holds no more.
    static constexpr int kPrecision = 15;
    static constexpr const char* kErrorText = "Error";

    // Runs a command. False when it is refused (the dialog beeps): a digit beyond the
    // precision, a second decimal separator, anything but Clear while "Error" shows.
    bool Execute(TCalcCommand command);
    // A typed character: digits, "." and ",", "+ - * / =", "%", Q (square root), R
    // (reciprocal), "_" (sign), C; '\b' is Backspace, '\r' and '\n' are Enter ("="),
    // 27 is Escape (clear). False for a refused or unknown key.
    bool KeyChar(char32_t key);

    const std::string& Display() const { return display_; }
    bool InError() const { return error_; }
    bool HasMemory() const { return hasMemory_; }
    // The number on the display.
    double Value() const;

    // Takes a number from the clipboard: blanks around it, a sign, "." or "," as the
    // decimal separator, an exponent. False, and nothing changed, for anything else.
    bool Paste(std::string_view text);

    // What OK hands to the document: the pending operation is completed first ("2 + 3"
    // then OK gives 5); nullopt while "Error" shows.
    std::optional<std::string> Result();

  private:
    enum class TOp { None, Add, Subtract, Multiply, Divide };

    bool Digit(char digit);
    bool Decimal();
    bool Backspace();
    bool Operator(TOp next);
    bool Percent();
    bool Unary(TCalcCommand command);
    bool Negate();
    bool Memory(TCalcCommand command);
    void Clear();
    // Shows a computed value; "Error" (and false) when it is not a finite number.
    bool Show(double value);
    void StartEntry();

    std::string display_ = "0";
    bool entering_ = false;    // digits typed now extend the display
    bool haveOperand_ = false; // a value was given since the last operator key
    double stored_ = 0;
    TOp pending_ = TOp::None;
    bool error_ = false;
    double memory_ = 0;
    bool hasMemory_ = false;
};

// A number in the general format the result is inserted with: up to 15 significant
// digits, fixed point when it has at most 15 digits before the point and is at least
// 0.00001 in size, else scientific as "1.5E-7" or "1E20"; "." as the decimal separator.
std::string FormatCalculatorNumber(double value);

} // namespace kvx
