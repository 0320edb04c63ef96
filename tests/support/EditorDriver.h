// How the model run drives an editor. Every operation it makes goes through this interface,
// so the same random run checks the control through typed calls now and through the
// widget's key and mouse events once the widget exists.
#pragma once

#include "FakePlatform.h"
#include "editor/SyntaxEd.h"

#include <string>

namespace kvx::test {

class TEditorDriver {
  public:
    virtual ~TEditorDriver() = default;
    // The control under test, for setting it up and reading what it holds.
    virtual TCustomSyntaxMemo& Memo() = 0;

    // ---- What the user does -------------------------------------------------------------
    // A typed character (Return, Tab and control characters included).
    virtual void TypeChar(char32_t ch) = 0;
    // A command as its key in the key map would run it; `extend` holds Shift with a move.
    virtual void RunCommand(int command, bool extend) = 0;
    // A selection made with the mouse or by the program; out-of-range values are clamped.
    virtual void Select(TextOffset anchor, TextOffset caret) = 0;
    virtual void Undo() = 0;
    virtual void Redo() = 0;

    // ---- The desktop around the editor --------------------------------------------------
    // Plain text put on the clipboard by another program, and what is there now.
    virtual void PutOnClipboard(const std::string& utf8) = 0;
    virtual std::string ClipboardText() = 0;
    virtual int Beeps() = 0;
    virtual int VisibleRows() = 0;
};

// The control driven through its typed methods, on the fake platform.
class TTypedCallsDriver : public TEditorDriver {
  public:
    TCustomSyntaxMemo& Memo() override { return memo_; }
    void TypeChar(char32_t ch) override { memo_.KeyChar(ch); }
    void RunCommand(int command, bool extend) override { memo_.ExecuteCommand(command, extend); }
    void Select(TextOffset anchor, TextOffset caret) override { memo_.SetSelection(anchor, caret); }
    void Undo() override { memo_.Undo(); }
    void Redo() override { memo_.Redo(); }
    void PutOnClipboard(const std::string& utf8) override { platform_.SetClipboardText(utf8); }
    std::string ClipboardText() override { return platform_.clipboard; }
    int Beeps() override { return platform_.beeps; }
    int VisibleRows() override { return platform_.visibleRows; }

  private:
    TFakePlatform platform_;
    TCustomSyntaxMemo memo_{&platform_};
};

} // namespace kvx::test
