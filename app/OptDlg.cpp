#include "OptDlg.h"

#include "app/core/IniFile.h"
#include "app/core/ShellStrings.h"
#include "app/core/ToolCommand.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QStandardPaths>
#include <QToolButton>
#include <QVBoxLayout>

namespace kvx {
namespace {

// Programs on Linux rarely carry an extension, so everything is offered first.
constexpr const char* kProgramFilter =
    "All files (*);;Programs (*.bat, *.com, *.exe) (*.bat *.com *.exe)";

QString Trimmed(const QLineEdit* edit) {
    return edit->text().trimmed();
}

bool ProgramExists(const QString& program) {
    if (!program.contains(QLatin1Char('/')))
        return !QStandardPaths::findExecutable(program).isEmpty();
    // A relative path is taken from the document's folder when the tool runs; here there
    // is no document, so only an absolute path can be checked.
    const QFileInfo info(program);
    return info.isRelative() || info.isFile();
}

} // namespace

TOptDlg::TOptDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("OptDlg"));
    setWindowTitle(QStringLiteral("Options"));

    browse_ = [](QWidget* owner, const QString& current) {
        const QString start = current.isEmpty() ? QString() : QFileInfo(current).absolutePath();
        return QFileDialog::getOpenFileName(owner, QString(), start,
                                            QString::fromUtf8(kProgramFilter));
    };
    showError_ = [](QWidget* owner, const QString& text) {
        QMessageBox::warning(owner, QStringLiteral("Options"), text);
    };
    ask_ = [](QWidget* owner, const QString& text) {
        return QMessageBox::question(owner, QStringLiteral("Options"), text) == QMessageBox::Yes;
    };

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Name")), 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("Filename")), 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Parametr")), 0, 2);
    const int wide = fontMetrics().horizontalAdvance(QLatin1Char('x')) * 32;
    for (int n = 1; n <= TToolTable::kCount; ++n) {
        const size_t i = Index(n);
        const QString k = QString::number(n);
        tn_[i] = new QLineEdit;
        tn_[i]->setObjectName(QStringLiteral("TN") + k);
        tn_[i]->setMaxLength(TToolTable::kMaxNameLength);
        tn_[i]->setAccessibleName(QStringLiteral("Name of tool ") + k);
        tn_[i]->setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('W')) * 8);
        fn_[i] = new QLineEdit;
        fn_[i]->setObjectName(QStringLiteral("FN") + k);
        fn_[i]->setAccessibleName(QStringLiteral("Program of tool ") + k);
        fn_[i]->setMinimumWidth(wide);
        browse_buttons_[i] = new QToolButton;
        browse_buttons_[i]->setText(QStringLiteral("..."));
        browse_buttons_[i]->setToolTip(QStringLiteral("Choose the program"));
        browse_buttons_[i]->setAccessibleName(QStringLiteral("Choose the program of tool ") + k);
        fp_[i] = new QLineEdit;
        fp_[i]->setObjectName(QStringLiteral("FP") + k);
        fp_[i]->setAccessibleName(QStringLiteral("Parameter of tool ") + k);
        fp_[i]->setMinimumWidth(wide);
        fp_[i]->setToolTip(QStringLiteral("Arguments; $EDFILW stands for the document's file "
                                          "name without its extension, quotes group blanks"));
        auto* file = new QHBoxLayout;
        file->setSpacing(2);
        file->addWidget(fn_[i]);
        file->addWidget(browse_buttons_[i]);
        grid->addWidget(tn_[i], n, 0);
        grid->addLayout(file, n, 1);
        grid->addWidget(fp_[i], n, 2);
        QLineEdit* target = fn_[i];
        connect(browse_buttons_[i], &QToolButton::clicked, this, [this, target] {
            const QString chosen = browse_(this, target->text());
            if (!chosen.isEmpty())
                target->setText(chosen);
        });
    }
    tn_[0]->setText(QString::fromUtf8(TToolTable::kFirstCaption));
    tn_[0]->setReadOnly(true);
    tn_[0]->setFocusPolicy(Qt::NoFocus);
    // Read-only shows: the box takes the colour of the dialog behind it.
    QPalette fixed = tn_[0]->palette();
    fixed.setColor(QPalette::Base, fixed.color(QPalette::Window));
    tn_[0]->setPalette(fixed);
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    box->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("OKBtn"));
    box->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("CancelBtn"));
    connect(box, &QDialogButtonBox::accepted, this, &TOptDlg::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* help = new QShortcut(QKeySequence::HelpContents, this);
    connect(help, &QShortcut::activated, this, [this] { emit helpRequested(kHelpContext); });

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(box);
    layout->setSizeConstraint(QLayout::SetFixedSize);    // a fixed dialog border
    box->button(QDialogButtonBox::Ok)->setDefault(true); // takes once inside the dialog
    // Row by row, as the eye reads the table; set once every control is in the dialog.
    QWidget* previous = nullptr;
    for (size_t i = 0; i < tn_.size(); ++i) {
        for (QWidget* w :
             {static_cast<QWidget*>(tn_[i]), static_cast<QWidget*>(fn_[i]),
              static_cast<QWidget*>(browse_buttons_[i]), static_cast<QWidget*>(fp_[i])}) {
            if (w->focusPolicy() == Qt::NoFocus)
                continue;
            if (previous)
                setTabOrder(previous, w);
            previous = w;
        }
    }
    fn_[0]->setFocus();
}

void TOptDlg::SetTools(const TToolTable& tools) {
    for (int n = 1; n <= TToolTable::kCount; ++n) {
        const TTool& t = tools[n];
        if (n > 1)
            tn_[Index(n)]->setText(QString::fromStdString(t.Name));
        fn_[Index(n)]->setText(QString::fromStdString(t.Program));
        fp_[Index(n)]->setText(QString::fromStdString(t.Parameter));
    }
}

TToolTable TOptDlg::Tools() const {
    TToolTable tools;
    for (int n = 1; n <= TToolTable::kCount; ++n) {
        TTool& t = tools[n];
        if (n > 1)
            t.Name =
                CutCharacters(Trimmed(tn_[Index(n)]).toStdString(), TToolTable::kMaxNameLength);
        t.Program = Trimmed(fn_[Index(n)]).toStdString();
        t.Parameter = Trimmed(fp_[Index(n)]).toStdString();
    }
    return tools;
}

QString TOptDlg::Problem(QLineEdit*& culprit) const {
    for (int n = 1; n <= TToolTable::kCount; ++n) {
        const QString k = QString::number(n);
        for (QLineEdit* edit : {tn_[Index(n)], fn_[Index(n)], fp_[Index(n)]}) {
            if (!TIniFile::CanStoreValue(Trimmed(edit).toStdString())) {
                culprit = edit;
                return QStringLiteral("The entries of tool %1 may not hold line breaks.").arg(k);
            }
        }
        if (n > 1 && !Trimmed(fn_[Index(n)]).isEmpty() && Trimmed(tn_[Index(n)]).isEmpty()) {
            culprit = tn_[Index(n)];
            return QStringLiteral("Tool %1 needs a name for the Run menu.").arg(k);
        }
        if (HasUnclosedQuote(Trimmed(fp_[Index(n)]).toStdString())) {
            culprit = fp_[Index(n)];
            return QStringLiteral("The parameter of tool %1 has a quotation mark that is not "
                                  "closed.")
                .arg(k);
        }
    }
    culprit = nullptr;
    return {};
}

void TOptDlg::accept() {
    QLineEdit* culprit = nullptr;
    if (const QString problem = Problem(culprit); !problem.isEmpty()) {
        showError_(this, problem);
        culprit->setFocus();
        culprit->selectAll();
        return;
    }
    for (int n = 1; n <= TToolTable::kCount; ++n) {
        const QString program = Trimmed(fn_[Index(n)]);
        if (program.isEmpty() || ProgramExists(program))
            continue;
        if (!ask_(this, QStringLiteral("The program \"%1\" of tool %2 was not found. Keep it?")
                            .arg(program)
                            .arg(n))) {
            fn_[Index(n)]->setFocus();
            fn_[Index(n)]->selectAll();
            return;
        }
    }
    QDialog::accept();
}

bool EditTools(TOptDlg& dialog, TToolTable& tools, const std::string& iniFile) {
    dialog.SetTools(tools);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    tools = dialog.Tools();
    SaveTools(tools, iniFile); // a write failure leaves the table in memory; nothing to say
    return true;
}

} // namespace kvx
