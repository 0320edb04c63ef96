#include "app/OptDlg.h"
#include "TestFiles.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

namespace kvx {
namespace {

TToolTable SampleTools() {
    TToolTable t;
    t[1] = {"empty", "/usr/bin/true", "-f elf $EDFILW.asm"};
    t[2] = {"Link", "/usr/bin/true", "-o $EDFILW"};
    return t;
}

// A dialog whose message boxes are answered by the test.
struct TOptFixture {
    TOptDlg dlg;
    std::vector<QString> errors, questions;
    bool answer = true;
    TOptFixture() {
        dlg.SetShowError([this](QWidget*, const QString& text) { errors.push_back(text); });
        dlg.SetAsk([this](QWidget*, const QString& text) {
            questions.push_back(text);
            return answer;
        });
    }
    void Ok() {
        QTest::mouseClick(dlg.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok),
                          Qt::LeftButton);
    }
};

TEST(OptDlg, ShowsAndTakesTheTable) {
    TOptFixture f;
    EXPECT_EQ(f.dlg.windowTitle(), "Options");
    f.dlg.SetTools(SampleTools());
    EXPECT_EQ(f.dlg.NameEdit(1)->text(), "Compile");
    EXPECT_TRUE(f.dlg.NameEdit(1)->isReadOnly());
    EXPECT_EQ(f.dlg.ProgramEdit(1)->text(), "/usr/bin/true");
    EXPECT_EQ(f.dlg.ParameterEdit(1)->text(), "-f elf $EDFILW.asm");
    EXPECT_EQ(f.dlg.NameEdit(2)->text(), "Link");
    EXPECT_EQ(f.dlg.NameEdit(3)->text(), "empty");
    for (const char* label : {"Name", "Filename", "Parametr"}) {
        bool found = false;
        for (QLabel* l : f.dlg.findChildren<QLabel*>())
            found |= l->text() == label;
        EXPECT_TRUE(found) << label;
    }

    f.dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f.dlg));
    // A name of 12 characters keeps its first 10.
    f.dlg.NameEdit(3)->clear();
    QTest::keyClicks(f.dlg.NameEdit(3), "Assemble-It");
    EXPECT_EQ(f.dlg.NameEdit(3)->text(), "Assemble-I");
    // The browse button fills the program box.
    f.dlg.SetBrowse([](QWidget*, const QString& current) {
        EXPECT_EQ(current, "");
        return QStringLiteral("/usr/bin/env");
    });
    QTest::mouseClick(f.dlg.BrowseButton(3), Qt::LeftButton);
    EXPECT_EQ(f.dlg.ProgramEdit(3)->text(), "/usr/bin/env");
    f.dlg.ParameterEdit(3)->setText("  \"two words\" $edfilw  ");
    QTest::keyClick(f.dlg.ParameterEdit(3), Qt::Key_Return); // Enter is OK
    EXPECT_FALSE(f.dlg.isVisible());
    EXPECT_TRUE(f.errors.empty());
    EXPECT_EQ(f.dlg.result(), QDialog::Accepted);
    const TToolTable t = f.dlg.Tools();
    EXPECT_EQ(t[3].Name, "Assemble-I");
    EXPECT_EQ(t[3].Program, "/usr/bin/env");
    EXPECT_EQ(t[3].Parameter, "\"two words\" $edfilw"); // blanks at the ends dropped
    EXPECT_EQ(t[2], SampleTools()[2]);
    EXPECT_EQ(t[1].Program, "/usr/bin/true");
}

TEST(OptDlg, OkRefusesEntriesThatCannotWork) {
    struct TCase {
        int Tool;
        const char* Name;
        const char* Program;
        const char* Parameter;
        const char* Error;
        const char* Culprit; // object name of the control that gets the focus
    };
    const TCase cases[] = {
        {4, "", "/usr/bin/true", "", "Tool 4 needs a name for the Run menu.", "TN4"},
        {2, "Link", "/usr/bin/true", "-o \"unclosed",
         "The parameter of tool 2 has a quotation mark that is not closed.", "FP2"},
        {5, "X", "/usr/bin/true", "a\nb", "The entries of tool 5 may not hold line breaks.", "FP5"},
    };
    for (const TCase& c : cases) {
        TOptFixture f;
        f.dlg.SetTools(SampleTools());
        f.dlg.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&f.dlg));
        f.dlg.NameEdit(c.Tool)->setText(c.Name);
        f.dlg.ProgramEdit(c.Tool)->setText(c.Program);
        f.dlg.ParameterEdit(c.Tool)->setText(c.Parameter);
        f.Ok();
        ASSERT_EQ(f.errors.size(), 1u) << c.Error;
        EXPECT_EQ(f.errors[0], c.Error);
        EXPECT_TRUE(f.dlg.isVisible()) << c.Error;
        EXPECT_EQ(QApplication::focusWidget()->objectName(), c.Culprit);
    }
}

TEST(OptDlg, AMissingProgramIsPointedOut) {
    TOptFixture f;
    f.dlg.SetTools(SampleTools());
    f.dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f.dlg));
    f.dlg.ProgramEdit(2)->setText("/no/such/assembler");
    f.answer = false;
    f.Ok();
    ASSERT_EQ(f.questions.size(), 1u);
    EXPECT_EQ(f.questions[0],
              "The program \"/no/such/assembler\" of tool 2 was not found. Keep it?");
    EXPECT_TRUE(f.dlg.isVisible());
    EXPECT_EQ(QApplication::focusWidget(), f.dlg.ProgramEdit(2));
    f.answer = true;
    f.Ok();
    EXPECT_FALSE(f.dlg.isVisible());
    EXPECT_EQ(f.dlg.Tools()[2].Program, "/no/such/assembler");
    // A name found on PATH, and a relative path (taken from the document's folder), pass.
    TOptFixture g;
    g.dlg.NameEdit(2)->setText("Shell");
    g.dlg.ProgramEdit(2)->setText("sh");
    g.dlg.ProgramEdit(3)->setText("./build.sh");
    g.dlg.NameEdit(3)->setText("Build");
    g.dlg.show();
    g.Ok();
    EXPECT_TRUE(g.questions.empty());
    EXPECT_TRUE(g.errors.empty());
}

TEST(OptDlg, EditToolsWritesTheFileOnlyOnOk) {
    test::TempDir dir;
    const std::string ini = dir / "kovxl.ini";
    TToolTable tools = SampleTools();
    {
        TOptDlg dlg;
        QTimer::singleShot(0, &dlg, [&] {
            dlg.NameEdit(4)->setText("Run");
            dlg.ProgramEdit(4)->setText("/usr/bin/env");
            dlg.reject();
        });
        EXPECT_FALSE(EditTools(dlg, tools, ini));
        EXPECT_EQ(tools, SampleTools());
        EXPECT_FALSE(test::fs::exists(ini));
    }
    {
        TOptDlg dlg;
        QTimer::singleShot(0, &dlg, [&] {
            dlg.NameEdit(4)->setText("Run");
            dlg.ProgramEdit(4)->setText("/usr/bin/env");
            dlg.accept();
        });
        EXPECT_TRUE(EditTools(dlg, tools, ini));
        EXPECT_EQ(tools[4].Name, "Run");
        EXPECT_EQ(LoadTools(ini), tools);
    }
}

TEST(OptDlg, KeyboardReachesEveryEntryRowByRow) {
    TOptDlg dlg;
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    dlg.activateWindow();
    dlg.ProgramEdit(1)->setFocus();
    std::vector<QString> order;
    for (int i = 0; i < 15; ++i) {
        order.push_back(QApplication::focusWidget()->accessibleName());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    const std::vector<QString> expected = {"Program of tool 1",   "Choose the program of tool 1",
                                           "Parameter of tool 1", "Name of tool 2",
                                           "Program of tool 2",   "Choose the program of tool 2",
                                           "Parameter of tool 2", "Name of tool 3",
                                           "Program of tool 3",   "Choose the program of tool 3",
                                           "Parameter of tool 3", "Name of tool 4",
                                           "Program of tool 4",   "Choose the program of tool 4",
                                           "Parameter of tool 4"};
    EXPECT_EQ(order, expected);
}

} // namespace
} // namespace kvx
