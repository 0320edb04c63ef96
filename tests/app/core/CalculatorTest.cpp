#include "app/core/Calculator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace kvx {
namespace {

// Types the keys one by one; the string of refused keys ("b" for each beep) comes back
// beside the display so a table can say where the calculator should complain.
std::pair<std::string, std::string> Type(TCalculatorEngine& calc, std::string_view keys) {
    std::string beeps;
    for (char k : keys)
        beeps += calc.KeyChar(static_cast<unsigned char>(k)) ? "" : "b";
    return {calc.Display(), beeps};
}

TEST(Calculator, KeySequences) {
    struct TCase {
        const char* Keys;
        const char* Display;
        const char* Beeps = "";
    };
    const TCase cases[] = {
        {"", "0"},
        {"123", "123"},
        {"007", "7"},
        {"2+3=", "5"},
        {"2+3*4=", "20"}, // a desk calculator works left to right
        {"2+3*", "5"},    // the pending sum is shown when the next operator comes
        {"10-4-3=", "3"},
        {"7/2=", "3.5"},
        {"1/3=", "0.333333333333333"},
        {"2/3=", "0.666666666666667"},
        {".1+.2=", "0.3"},
        {"1,5*2=", "3"},        // "," is the decimal separator too
        {"1.2.3", "1.23", "b"}, // one separator only
        {".", "0."},
        {"5+-3=", "2"}, // a second operator replaces the first
        {"5*=", "5"},
        {"3=4", "4"},       // a digit after a result starts a new number
        {"3=+4=", "7"},     // an operator after a result goes on from it
        {"200+10%", "220"}, // with + pending: the stored value's percent
        {"200-10%", "180"},
        {"50*10%", "5"}, // with * pending: a hundredth
        {"50/10%", "500"},
        {"10%", "0.1"},
        {"9Q", "3"},    // square root
        {"4R", "0.25"}, // reciprocal
        {"5_", "-5"},   // sign while typing...
        {"5_1", "-51"}, // ...and typing goes on
        {"5=_", "-5"},  // sign of a result
        {"5_\b", "0"},  // backspace down to the sign: zero
        {"123\b", "12"},
        {"1\b", "0"},
        {"12=\b", "12"}, // a result is not edited
        {"1.\b", "1"},
        {"999999999999999", "999999999999999"},
        {"9999999999999999", "999999999999999", "b"}, // beyond the precision: a beep
        {"0.00000000000001", "0.00000000000001"},
        {"99999999*99999999=", "9.9999998E15"}, // rounded to 15 digits
        {"1000000*1000000000=", "1E15"},
        {"1/1000000=", "1E-6"},
        {"1/100000=", "0.00001"},
        {"5/0=", "Error"},
        {"0/0=", "Error"},
        {"4_Q", "Error"}, // square root of a negative number
        {"0R", "Error"},
        {"5/0=123+", "Error", "bbbb"}, // after Error only C counts
        {"5/0=C7", "7"},
        {"5/0=\x1b"
         "7",
         "7"}, // Escape clears as C does
        {"12+3C", "0"},
        {"12+3C4=", "4"}, // clear forgets the pending operation
        {"x", "0", "b"},
    };
    for (const TCase& c : cases) {
        TCalculatorEngine calc;
        const auto [display, beeps] = Type(calc, c.Keys);
        EXPECT_EQ(display, c.Display) << "keys: " << c.Keys;
        EXPECT_EQ(beeps, c.Beeps) << "keys: " << c.Keys;
    }
}

TEST(Calculator, MemoryKeys) {
    TCalculatorEngine calc;
    Type(calc, "12");
    EXPECT_TRUE(calc.Execute(TCalcCommand::MemoryStore));
    EXPECT_TRUE(calc.HasMemory());
    Type(calc, "+3=");
    EXPECT_TRUE(calc.Execute(TCalcCommand::MemoryAdd)); // 12 + 15
    Type(calc, "C");
    EXPECT_TRUE(calc.HasMemory()); // clearing the display keeps the memory
    EXPECT_TRUE(calc.Execute(TCalcCommand::MemoryRecall));
    EXPECT_EQ(calc.Display(), "27");
    Type(calc, "*2=");
    EXPECT_EQ(calc.Display(), "54");
    Type(calc, "7");
    calc.Execute(TCalcCommand::MemorySubtract); // 27 - 7
    Type(calc, "100+");
    calc.Execute(TCalcCommand::MemoryRecall); // a recalled value is the next operand
    Type(calc, "=");
    EXPECT_EQ(calc.Display(), "120");
    calc.Execute(TCalcCommand::MemoryClear);
    EXPECT_FALSE(calc.HasMemory());
    calc.Execute(TCalcCommand::MemoryRecall);
    EXPECT_EQ(calc.Display(), "0");
    Type(calc, "5/0=");
    EXPECT_FALSE(calc.Execute(TCalcCommand::MemoryStore));
}

TEST(Calculator, ResultHandedToTheDocument) {
    TCalculatorEngine calc;
    Type(calc, "2+3");
    EXPECT_EQ(calc.Result(), "5"); // OK completes the pending sum
    TCalculatorEngine error;
    Type(error, "1/0=");
    EXPECT_EQ(error.Result(), std::nullopt);
    TCalculatorEngine fresh;
    EXPECT_EQ(fresh.Result(), "0");

    const std::pair<double, const char*> formats[] = {
        {0, "0"},
        {-0.0, "0"},
        {1.5, "1.5"},
        {-2.25, "-2.25"},
        {1e20, "1E20"},
        {1.5e-7, "1.5E-7"},
        {123456789012345.0, "123456789012345"},
        {1234567890123456.0, "1.23456789012346E15"},
        {0.1 + 0.2, "0.3"},
        {1e-5, "0.00001"},
        {-1e300, "-1E300"},
        {std::numeric_limits<double>::infinity(), "Error"},
        {NAN, "Error"},
    };
    for (const auto& [value, text] : formats)
        EXPECT_EQ(FormatCalculatorNumber(value), text) << value;
}

TEST(Calculator, PasteTakesOnlyNumbers) {
    const std::pair<const char*, std::optional<const char*>> cases[] = {
        {"42", "42"},
        {"  -3.5\n", "-3.5"},
        {"1,25", "1.25"},
        {"+7", "7"},
        {"1e3", "1000"},
        {".5", "0.5"},
        {"2.5E-7", "2.5E-7"},
        {"abc", std::nullopt},
        {"", std::nullopt},
        {"1,234.5", std::nullopt},
        {"12abc", std::nullopt},
        {"inf", std::nullopt},
        {"nan", std::nullopt},
        {"0x10", std::nullopt},
        {"1e999", std::nullopt},
        {"--1", std::nullopt},
        {"-", std::nullopt},
        {"1 2", std::nullopt},
    };
    for (const auto& [text, display] : cases) {
        TCalculatorEngine calc;
        Type(calc, "9");
        EXPECT_EQ(calc.Paste(text), display.has_value()) << text;
        EXPECT_EQ(calc.Display(), display.value_or("9")) << text;
    }
    const std::string huge(100, '1');
    TCalculatorEngine calc;
    EXPECT_FALSE(calc.Paste(huge));
    Type(calc, "3+");
    ASSERT_TRUE(calc.Paste("4"));
    Type(calc, "=");
    EXPECT_EQ(calc.Display(), "7"); // a pasted number is an operand like a typed one
}

} // namespace
} // namespace kvx
