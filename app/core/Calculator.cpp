#include "Calculator.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace kvx {
namespace {

int CountDigits(std::string_view s) {
    int n = 0;
    for (char c : s)
        n += c >= '0' && c <= '9';
    return n;
}

} // namespace

std::string FormatCalculatorNumber(double value) {
    if (!std::isfinite(value))
        return TCalculatorEngine::kErrorText;
    if (value == 0)
        return "0";
    // Rounded to 15 significant digits first, so the choice of format sees the rounded
    // exponent (9.999999999999999e14 is shown as 1E15).
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.14e", value);
    std::string_view s(buffer);
    const bool negative = s.front() == '-';
    if (negative)
        s.remove_prefix(1);
    const size_t e = s.find('e');
    std::string digits;
    for (char c : s.substr(0, e))
        if (c != '.')
            digits += c;
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    const int exponent = std::atoi(std::string(s.substr(e + 1)).c_str());
    std::string out = negative ? "-" : "";
    if (exponent >= 15 || exponent < -5) {
        out += digits[0];
        if (digits.size() > 1)
            out += "." + digits.substr(1);
        out += "E" + std::to_string(exponent);
    } else if (exponent < 0) {
        out += "0." + std::string(static_cast<size_t>(-exponent - 1), '0') + digits;
    } else {
        const size_t whole = static_cast<size_t>(exponent) + 1;
        if (digits.size() <= whole) {
            out += digits + std::string(whole - digits.size(), '0');
        } else {
            out += digits.substr(0, whole) + "." + digits.substr(whole);
        }
    }
    return out;
}

double TCalculatorEngine::Value() const {
    if (error_)
        return 0;
    double v = 0;
    std::string_view s = display_;
    const bool negative = !s.empty() && s.front() == '-';
    if (negative)
        s.remove_prefix(1);
    std::from_chars(s.data(), s.data() + s.size(), v);
    return negative ? -v : v;
}

bool TCalculatorEngine::Show(double value) {
    entering_ = false;
    if (!std::isfinite(value)) {
        error_ = true;
        display_ = kErrorText;
        pending_ = TOp::None;
        return false;
    }
    display_ = FormatCalculatorNumber(value);
    return true;
}

void TCalculatorEngine::StartEntry() {
    display_ = "0";
    entering_ = true;
    haveOperand_ = true;
}

bool TCalculatorEngine::Digit(char digit) {
    if (!entering_)
        StartEntry();
    const bool negative = display_.front() == '-';
    if (display_ == "0" || display_ == "-0") {
        display_ = negative ? std::string("-") + digit : std::string(1, digit);
        return true;
    }
    if (CountDigits(display_) >= kPrecision)
        return false;
    display_ += digit;
    return true;
}

bool TCalculatorEngine::Decimal() {
    if (!entering_)
        StartEntry();
    if (display_.find('.') != std::string::npos)
        return false;
    display_ += '.';
    return true;
}

bool TCalculatorEngine::Backspace() {
    // A result on the display is not being typed; there is nothing to take back.
    if (!entering_)
        return true;
    display_.pop_back();
    if (display_.empty() || display_ == "-" || display_ == "-0")
        display_ = "0";
    return true;
}

bool TCalculatorEngine::Operator(TOp next) {
    const double v = Value();
    if (pending_ == TOp::None) {
        stored_ = v;
    } else if (haveOperand_) {
        double r = 0;
        switch (pending_) {
        case TOp::Add:
            r = stored_ + v;
            break;
        case TOp::Subtract:
            r = stored_ - v;
            break;
        case TOp::Multiply:
            r = stored_ * v;
            break;
        case TOp::Divide:
            r = v == 0 ? NAN : stored_ / v;
            break;
        case TOp::None:
            break;
        }
        if (!Show(r))
            return true; // "Error" is on the display; the key itself was taken
        stored_ = r;
    }
    // Two operator keys in a row: the second one replaces the first.
    pending_ = next;
    entering_ = false;
    haveOperand_ = false;
    return true;
}

bool TCalculatorEngine::Percent() {
    const double v = Value();
    const double percent =
        pending_ == TOp::Add || pending_ == TOp::Subtract ? stored_ * v * 0.01 : v * 0.01;
    if (!Show(percent))
        return true;
    haveOperand_ = true;
    return Operator(TOp::None);
}

bool TCalculatorEngine::Unary(TCalcCommand command) {
    const double v = Value();
    double r = NAN;
    if (command == TCalcCommand::Sqrt && v >= 0)
        r = std::sqrt(v);
    else if (command == TCalcCommand::Reciprocal && v != 0)
        r = 1 / v;
    haveOperand_ = true;
    Show(r);
    return true;
}

bool TCalculatorEngine::Negate() {
    if (entering_) {
        display_ = display_.front() == '-' ? display_.substr(1) : "-" + display_;
        return true;
    }
    haveOperand_ = true;
    return Show(-Value());
}

bool TCalculatorEngine::Memory(TCalcCommand command) {
    switch (command) {
    case TCalcCommand::MemoryClear:
        memory_ = 0;
        hasMemory_ = false;
        return true;
    case TCalcCommand::MemoryRecall:
        haveOperand_ = true;
        return Show(memory_);
    case TCalcCommand::MemoryStore:
        memory_ = Value();
        break;
    case TCalcCommand::MemoryAdd:
        memory_ += Value();
        break;
    default:
        memory_ -= Value();
        break;
    }
    // A sum that overflowed is no number to recall; keep the memory usable.
    if (!std::isfinite(memory_))
        memory_ = 0;
    hasMemory_ = memory_ != 0;
    entering_ = false;
    return true;
}

void TCalculatorEngine::Clear() {
    display_ = "0";
    entering_ = false;
    haveOperand_ = false;
    stored_ = 0;
    pending_ = TOp::None;
    error_ = false;
}

bool TCalculatorEngine::Execute(TCalcCommand command) {
    if (command == TCalcCommand::Clear) {
        Clear();
        return true;
    }
    if (error_)
        return false;
    switch (command) {
    case TCalcCommand::Decimal:
        return Decimal();
    case TCalcCommand::Backspace:
        return Backspace();
    case TCalcCommand::Add:
        return Operator(TOp::Add);
    case TCalcCommand::Subtract:
        return Operator(TOp::Subtract);
    case TCalcCommand::Multiply:
        return Operator(TOp::Multiply);
    case TCalcCommand::Divide:
        return Operator(TOp::Divide);
    case TCalcCommand::Equals:
        return Operator(TOp::None);
    case TCalcCommand::Percent:
        return Percent();
    case TCalcCommand::Sqrt:
    case TCalcCommand::Reciprocal:
        return Unary(command);
    case TCalcCommand::Negate:
        return Negate();
    case TCalcCommand::MemoryClear:
    case TCalcCommand::MemoryRecall:
    case TCalcCommand::MemoryStore:
    case TCalcCommand::MemoryAdd:
    case TCalcCommand::MemorySubtract:
        return Memory(command);
    default:
        return Digit(static_cast<char>('0' + static_cast<int>(command) -
                                       static_cast<int>(TCalcCommand::Digit0)));
    }
}

bool TCalculatorEngine::KeyChar(char32_t key) {
    if (key >= '0' && key <= '9')
        return Execute(static_cast<TCalcCommand>(static_cast<int>(TCalcCommand::Digit0) +
                                                 static_cast<int>(key - '0')));
    switch (key) {
    case '.':
    case ',':
        return Execute(TCalcCommand::Decimal);
    case '\b':
        return Execute(TCalcCommand::Backspace);
    case '+':
        return Execute(TCalcCommand::Add);
    case '-':
        return Execute(TCalcCommand::Subtract);
    case '*':
        return Execute(TCalcCommand::Multiply);
    case '/':
        return Execute(TCalcCommand::Divide);
    case '=':
    case '\r':
    case '\n':
        return Execute(TCalcCommand::Equals);
    case '%':
        return Execute(TCalcCommand::Percent);
    case 'Q':
    case 'q':
        return Execute(TCalcCommand::Sqrt);
    case 'R':
    case 'r':
        return Execute(TCalcCommand::Reciprocal);
    case '_':
        return Execute(TCalcCommand::Negate);
    case 'C':
    case 'c':
    case 27:
        return Execute(TCalcCommand::Clear);
    default:
        return false;
    }
}

bool TCalculatorEngine::Paste(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r' ||
                             text.front() == '\n'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' ||
                             text.back() == '\n'))
        text.remove_suffix(1);
    if (error_ || text.empty() || text.size() > 64)
        return false;
    std::string s(text);
    // "1,5" is how half of the world writes 1.5; a comma beside a point is a digit group
    // mark we do not guess at.
    if (s.find('.') == std::string::npos)
        for (char& c : s)
            if (c == ',')
                c = '.';
    std::string_view body = s;
    bool negative = false;
    if (body.front() == '+' || body.front() == '-') {
        negative = body.front() == '-';
        body.remove_prefix(1);
    }
    // Only plain decimal numbers: from_chars would also take "inf", "nan" and hex.
    if (body.empty() || !((body.front() >= '0' && body.front() <= '9') || body.front() == '.'))
        return false;
    double v = 0;
    const auto [end, ec] =
        std::from_chars(body.data(), body.data() + body.size(), v, std::chars_format::general);
    if (ec != std::errc() || end != body.data() + body.size() || !std::isfinite(v))
        return false;
    haveOperand_ = true;
    return Show(negative ? -v : v);
}

std::optional<std::string> TCalculatorEngine::Result() {
    Execute(TCalcCommand::Equals);
    if (error_)
        return std::nullopt;
    return FormatCalculatorNumber(Value());
}

} // namespace kvx
