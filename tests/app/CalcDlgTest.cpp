#include "app/CalcDlg.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace kvx {
namespace {

// A shown dialog with its beeps counted and its results collected.
struct TCalcFixture {
    TCalculatorDlg dlg;
    int beeps = 0;
    std::vector<QString> results;
    TCalcFixture() {
        dlg.SetBeep([this] { ++beeps; });
        dlg.SetResultHandler([this](const QString& r) { results.push_back(r); });
        dlg.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&dlg));
        dlg.activateWindow();
    }
    QWidget* Focus() { return QApplication::focusWidget() ? QApplication::focusWidget() : &dlg; }
    void Type(const char* keys) { QTest::keyClicks(Focus(), QString::fromLatin1(keys)); }
    void Key(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::keyClick(Focus(), key, mods);
    }
};

TEST(CalcDlg, KeyboardEntry) {
    struct TCase {
        const char* Keys;
        const char* Display;
        int Beeps = 0;
    };
    const TCase cases[] = {
        {"12+30=", "42"},  {"7/2=", "3.5"},       {"1,5*4=", "6"}, {"200+10%", "220"},
        {"9q", "3"},       {"4R", "0.25"},        {"5_", "-5"},    {"1.2.", "1.2", 1},
        {"5/0=", "Error"}, {"5/0=7", "Error", 1}, {"x", "0", 1},
    };
    for (const TCase& c : cases) {
        TCalcFixture f;
        f.Type(c.Keys);
        EXPECT_EQ(f.dlg.DisplayText(), c.Display) << c.Keys;
        EXPECT_EQ(f.beeps, c.Beeps) << c.Keys;
    }

    TCalcFixture f;
    f.Type("12+3");
    f.Key(Qt::Key_Return); // Enter is "=", not OK
    EXPECT_EQ(f.dlg.DisplayText(), "15");
    EXPECT_TRUE(f.dlg.isVisible());
    f.Key(Qt::Key_Backspace); // a result is not edited
    EXPECT_EQ(f.dlg.DisplayText(), "15");
    f.Type("123");
    f.Key(Qt::Key_Backspace);
    EXPECT_EQ(f.dlg.DisplayText(), "12");
    f.Key(Qt::Key_Escape); // Escape clears and keeps the dialog open
    EXPECT_EQ(f.dlg.DisplayText(), "0");
    EXPECT_TRUE(f.dlg.isVisible());
    f.Type("8");
    f.Key(Qt::Key_Plus, Qt::KeypadModifier);
    f.Type("2");
    f.Key(Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(f.dlg.DisplayText(), "10");
}

TEST(CalcDlg, ButtonsMemoryAndClipboard) {
    TCalcFixture f;
    for (TCalcCommand c : {TCalcCommand::Digit4, TCalcCommand::Digit2, TCalcCommand::Multiply,
                           TCalcCommand::Digit2, TCalcCommand::Equals})
        QTest::mouseClick(f.dlg.Button(c), Qt::LeftButton);
    EXPECT_EQ(f.dlg.DisplayText(), "84");
    EXPECT_EQ(f.dlg.Button(TCalcCommand::Sqrt)->text(), "sqrt");

    auto* indicator = f.dlg.findChild<QLabel*>("MemoryIndicator");
    ASSERT_NE(indicator, nullptr);
    EXPECT_EQ(indicator->text(), "");
    f.Key(Qt::Key_M, Qt::ControlModifier); // store
    EXPECT_EQ(indicator->text(), "M");
    f.Key(Qt::Key_Escape);
    f.Type("1+");
    f.Key(Qt::Key_R, Qt::ControlModifier); // recall as the second operand
    f.Type("=");
    EXPECT_EQ(f.dlg.DisplayText(), "85");
    QTest::mouseClick(f.dlg.Button(TCalcCommand::MemoryClear), Qt::LeftButton);
    EXPECT_EQ(indicator->text(), "");

    f.Key(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "85");
    QApplication::clipboard()->setText(" 2,5 ");
    f.Key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(f.dlg.DisplayText(), "2.5");
    QApplication::clipboard()->setText("rm -rf /");
    f.Key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(f.dlg.DisplayText(), "2.5");
    EXPECT_EQ(f.beeps, 1);
}

TEST(CalcDlg, OkHandsOverTheResultCancelNothing) {
    {
        TCalcFixture f;
        f.Type("2+3");
        auto* ok = f.dlg.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
        QTest::mouseClick(ok, Qt::LeftButton);
        EXPECT_FALSE(f.dlg.isVisible());
        EXPECT_EQ(f.dlg.result(), QDialog::Accepted);
        EXPECT_EQ(f.results, std::vector<QString>{"5"});
    }
    {
        TCalcFixture f;
        f.Type("2+3");
        auto* cancel = f.dlg.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel);
        QTest::mouseClick(cancel, Qt::LeftButton);
        EXPECT_FALSE(f.dlg.isVisible());
        EXPECT_TRUE(f.results.empty());
    }
    {
        TCalcFixture f;
        f.Type("1/0=");
        f.dlg.accept(); // OK while "Error" shows: nothing to insert
        EXPECT_TRUE(f.results.empty());
    }
    {
        // OK reached from the keyboard: Tab to it, then Enter.
        TCalcFixture f;
        f.Type("6*7");
        auto* ok = f.dlg.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
        for (int i = 0; i < 3 && !ok->hasFocus(); ++i)
            f.Key(Qt::Key_Tab);
        ASSERT_TRUE(ok->hasFocus());
        f.Key(Qt::Key_Return);
        EXPECT_EQ(f.results, std::vector<QString>{"42"});
    }
}

} // namespace
} // namespace kvx
