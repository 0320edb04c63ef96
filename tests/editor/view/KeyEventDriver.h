// The model run's driver for the widget: every typed character and every command reaches the
// control as the key events a keyboard sends, through the widget's key translation, its key
// map and its typing; the clipboard is the desktop's.
#pragma once

#include "WidgetFixture.h"
#include "editor/KeyMap.h"
#include "editor/KeyNames.h"
#include "support/EditorDriver.h"

#include <QClipboard>

namespace kvx::test {

class TKeyEventDriver : public TEditorDriver {
  public:
    TKeyEventDriver() {
        widget_.Platform().BeepSound = [] {};
        widget_.resize(640, 400);
        widget_.show();
    }
    TCustomSyntaxMemo& Memo() override { return widget_.Memo(); }

    void TypeChar(char32_t ch) override {
        const QString text = QString::fromUcs4(&ch, 1);
        if (ch == U'\r')
            return PressKey(&widget_, Qt::Key_Return, Qt::NoModifier, text);
        if (ch == U'\n') // Ctrl+Enter types a line feed
            return PressKey(&widget_, Qt::Key_Return, Qt::ControlModifier, text);
        if (ch == U'\t')
            return PressKey(&widget_, Qt::Key_Tab, Qt::NoModifier, text);
        uint8_t key = 0;
        bool shift = false;
        if (ch < 128 && ch >= 32 && KeyForChar(static_cast<char>(ch), key, shift))
            return PressKey(&widget_, QtKeyFor(key), shift ? Qt::ShiftModifier : Qt::NoModifier,
                            text);
        // Other characters come from keys the editor has no code for (a control character
        // from a key no binding uses, a letter of another alphabet).
        PressKey(&widget_, ch < 0x10000 && ch >= 160 ? QChar(char16_t(ch)).toUpper().unicode() : 0,
                 Qt::NoModifier, text);
    }
    void RunCommand(int command, bool extend) override {
        TShortcut first = 0, second = 0;
        ASSERT_TRUE(widget_.Memo().KeyMap().Keys().FindBinding(command, 0, first, second))
            << "no key for command " << command;
        Qt::KeyboardModifiers m = QtModifiersFor(ShiftOf(first));
        if (extend)
            m |= Qt::ShiftModifier;
        PressKey(&widget_, QtKeyFor(first & 0xFF), m);
        if (second)
            PressKey(&widget_, QtKeyFor(second & 0xFF));
    }
    void Select(TextOffset anchor, TextOffset caret) override {
        // The mouse is the next step; the program selects the same way.
        widget_.Memo().SetSelection(anchor, caret);
        widget_.Memo().ChangeNotification();
    }
    void Undo() override { RunCommand(caUNDO, false); }
    void Redo() override { RunCommand(caREDO, false); }
    void PutOnClipboard(const std::string& utf8) override {
        QGuiApplication::clipboard()->setText(QString::fromStdString(utf8));
    }
    std::string ClipboardText() override {
        return QGuiApplication::clipboard()->text().toStdString();
    }
    int Beeps() override { return widget_.Platform().Beeps(); }
    int VisibleRows() override { return widget_.Memo().Platform().VisibleRows(); }

  private:
    static TShiftState ShiftOf(TShortcut s) {
        return static_cast<TShiftState>(((s & scShift) ? ssShift : 0) |
                                        ((s & scCtrl) ? ssCtrl : 0) | ((s & scAlt) ? ssAlt : 0));
    }
    TSyntaxMemo widget_;
};

} // namespace kvx::test
