// A control with code templates and auto-correct whose pick list only counts how often it was
// shown, driven by keys the way the widget delivers them.
#pragma once

#include "editor/KeyNames.h"
#include "editor/Macros.h"
#include "support/FakePlatform.h"

#include <gtest/gtest.h>

#include <string_view>

namespace kvx::test {

class TMacroFixture : public ::testing::Test, public TEditorHooks {
  public:
    TFakePlatform platform;
    TCustomSyntaxMemo memo{&platform};
    TCodeTemplates templates;
    TAutoReplace autoReplace;
    int listsShown = 0;

    void SetUp() override {
        memo.SetKeyMacros(&templates, &autoReplace);
        memo.SetHooks(this);
    }
    bool ShowTemplateList(TCustomSyntaxMemo&, TCodeTemplates&) override {
        ++listsShown;
        return true;
    }
    // A key as the widget delivers it: first as a key, then, unless used up, as a character.
    void Press(uint8_t key, char typed = 0, TShiftState shift = 0) {
        if (!memo.KeyDown(key, shift) && typed)
            memo.KeyChar(static_cast<unsigned char>(typed));
    }
    void Type(std::string_view text) {
        for (char c : text) {
            uint8_t key = 0;
            bool shift = false;
            ASSERT_TRUE(KeyForChar(c, key, shift));
            Press(key, c, shift ? ssShift : 0);
        }
    }
};

} // namespace kvx::test
