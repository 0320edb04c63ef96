// A platform for tests: a fixed-pitch grid of 8-pixel characters, a visible window of a set
// number of rows, an in-memory clipboard, and a record of repaint requests and beeps.
#pragma once

#include "SyntaxEd.h"

#include <string>
#include <utility>
#include <vector>

namespace kvx::test {

class TFakePlatform : public TEditorPlatform {
  public:
    void InvalidateRows(int32_t first, int32_t last) override {
        invalidated.emplace_back(first, last);
    }
    int TextWidth(std::string_view text) override {
        int chars = 0;
        for (unsigned char c : text)
            chars += (c & 0xC0) != 0x80;
        return chars * charWidth;
    }
    int CharWidth() override { return charWidth; }
    bool FixedPitch() override { return fixedPitch; }
    int VisibleRows() override { return visibleRows; }
    int VisibleColumns() override { return visibleColumns; }
    void SetClipboardText(const std::string& utf8) override {
        clipboard = utf8;
        hasClipboard = true;
    }
    bool ClipboardText(std::string& utf8) override {
        if (!hasClipboard)
            return false;
        utf8 = clipboard;
        return true;
    }
    void Beep() override { ++beeps; }
    void CaretShapeChanged(bool block) override { blockCaret = block; }

    int charWidth = 8;
    bool fixedPitch = true;
    int visibleRows = 20;
    int visibleColumns = 80;
    std::string clipboard;
    bool hasClipboard = false;
    int beeps = 0;
    bool blockCaret = false;
    std::vector<std::pair<int32_t, int32_t>> invalidated;
};

} // namespace kvx::test
