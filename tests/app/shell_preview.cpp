// Shows one of the shell's windows on the real display, for looking at it (screenshots
// of the layouts under Xvfb):
// shell_preview ascii|calc|about|options|results|find|replace|files [oem|intable]
#include "app/AboutBox.h"
#include "app/AppInfo.h"
#include "app/AsciiTable.h"
#include "app/CalcDlg.h"
#include "app/EdFindDlg.h"
#include "app/EdReplDlg.h"
#include "app/FindInFilesDlg.h"
#include "app/OptDlg.h"
#include "app/ResultsPanel.h"

#include <QApplication>
#include <QCheckBox>
#include <QRadioButton>

#include <cstring>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    kvx::SetApplicationInfo();
    const char* what = argc > 1 ? argv[1] : "ascii";
    const char* option = argc > 2 ? argv[2] : "";
    std::unique_ptr<QWidget> w;
    if (!std::strcmp(what, "ascii")) {
        auto* t = new kvx::Tascii;
        if (!std::strcmp(option, "oem"))
            t->findChild<QRadioButton*>("DOS")->click();
        if (!std::strcmp(option, "intable"))
            t->findChild<QCheckBox*>("IT")->click();
        w.reset(t);
    } else if (!std::strcmp(what, "calc")) {
        auto* c = new kvx::TCalculatorDlg;
        for (char k : std::string("1234.5*2"))
            c->Engine().KeyChar(static_cast<unsigned char>(k));
        c->Engine().Execute(kvx::TCalcCommand::MemoryStore);
        c->Engine().KeyChar('=');
        w.reset(c);
    } else if (!std::strcmp(what, "about")) {
        w.reset(new kvx::TAboutBox);
    } else if (!std::strcmp(what, "options")) {
        auto* d = new kvx::TOptDlg;
        kvx::TToolTable t;
        t[1] = {"", "/usr/bin/nasm", "-f elf -l $EDFILW.lst $EDFILW.asm"};
        t[2] = {"Link", "/usr/bin/ld", "-o $EDFILW $EDFILW.o"};
        d->SetTools(t);
        w.reset(d);
    } else if (!std::strcmp(what, "find") || !std::strcmp(what, "replace") ||
               !std::strcmp(what, "files")) {
        // A history of its own, so that looking at the dialogs leaves the user's alone.
        static kvx::TEdPersistent store("/tmp/kvx-preview-frepl.dat");
        store.StoreFindHistory({"mov ax", "int 21h", "[a-z]+:"});
        store.StoreReplaceHistory({"mov bx", "%3"});
        static kvx::TSearchState state{"mov ax", 0};
        static const kvx::TSearchPrompts prompts = kvx::TSearchPrompts::Boxes();
        static kvx::TSyntaxMemo editor;
        if (!std::strcmp(what, "find")) {
            auto* d = new kvx::TEdFindDlg(store, state, prompts);
            d->Open(&editor);
            w.reset(d);
        } else if (!std::strcmp(what, "replace")) {
            auto* d = new kvx::TEdReplDlg(store, state, prompts);
            d->Open(&editor);
            w.reset(d);
        } else {
            auto* d = new kvx::TFindInFilesDlg(store, prompts);
            d->Open("mov ax", "/home/user/projects/boot");
            w.reset(d);
        }
    } else {
        auto* p = new kvx::TResultsPanel;
        p->SetTitle("Run: /usr/bin/nasm -f elf boot.asm");
        p->AppendLine("$ /usr/bin/nasm -f elf boot.asm", kvx::TResultKind::Info);
        p->AppendLine("boot.asm:12: error: invalid combination of opcode and operands",
                      kvx::TResultKind::Error, kvx::TJumpTarget{"/src/boot.asm", 12, 0, 0});
        std::vector<kvx::TResultLine> hits;
        hits.push_back({"boot.asm:20:     mov ax, bx", kvx::TResultKind::Normal,
                        kvx::TJumpTarget{"/src/boot.asm", 20, 5, 3}, 17, 3});
        p->Append(std::move(hits));
        p->AppendLine("Exit code 1", kvx::TResultKind::Info);
        p->SetBusy(true);
        p->resize(640, 200);
        w.reset(p);
    }
    w->show();
    return app.exec();
}
