// A platform for tests: a fixed-pitch grid of 8-pixel characters (or, with fixedPitch off,
// characters as wide as `widthOf` says), a visible window of a set number of rows, an
// in-memory clipboard, a fixed date and time, and a record of repaint requests, view changes and
// beeps.
#pragma once

#include "editor/Colors.h"
#include "editor/HeadlessPlatform.h"
#include "editor/SyntaxEd.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace kvx::test {

class TFakePlatform : public TEditorPlatform {
  public:
    void InvalidateRows(int32_t first, int32_t last) override {
        invalidated.emplace_back(first, last);
    }
    void ViewChanged(uint32_t bits) override { viewChanges.push_back(bits); }
    void CaretShapeChanged(bool block) override { blockCaret = block; }
    Pixel CharWidth() override { return charWidth; }
    Pixel RowHeight() override { return rowHeight; }
    bool FixedPitch() override { return fixedPitch; }
    int VisibleRows() override { return visibleRows; }
    int VisibleColumns() override { return visibleColumns; }
    Pixel ClientWidth() override { return clientWidth; }
    void MeasureWidths(std::string_view utf8, uint8_t fontStyle,
                       std::span<Pixel> rightEdges) override {
        ++measures;
        if (!widthOf)
            return MeasureGrid(charWidth, rightEdges);
        Pixel x = 0;
        size_t k = 0;
        for (size_t i = 0; i < utf8.size() && k < rightEdges.size(); ++k) {
            size_t n = 1;
            while (i + n < utf8.size() && (static_cast<unsigned char>(utf8[i + n]) & 0xC0) == 0x80)
                ++n;
            x += widthOf(utf8.substr(i, n), fontStyle);
            rightEdges[k] = x;
            i += n;
        }
    }
    int32_t SystemColorValue(int index) override {
        return systemColors ? systemColors(index) : DefaultSystemColor(index);
    }
    void SetClipboard(const TClipboardData& data) override {
        clipboard = data.Text;
        rtf = data.Rtf;
        html = data.Html;
        hasClipboard = true;
        textOffered = !data.Text.empty();
        ++clipboardSets;
    }
    // A format the control left empty is not on the clipboard; another program may offer
    // empty text.
    bool ClipboardText(std::string& utf8) override {
        if (!hasClipboard || !textOffered)
            return false;
        utf8 = clipboard;
        return true;
    }
    bool ClipboardHtml(std::string& utf8) override {
        if (!hasClipboard || html.empty())
            return false;
        utf8 = html;
        return true;
    }
    void Beep() override { ++beeps; }
    std::string ShortDate() override { return date; }
    std::string LongTime() override { return time; }

    // Puts plain text, or HTML alone, on the clipboard as another program would.
    void SetClipboardText(const std::string& utf8) {
        clipboard = utf8;
        rtf.clear();
        html.clear();
        hasClipboard = textOffered = true;
    }
    void SetClipboardHtml(const std::string& utf8) {
        clipboard.clear();
        rtf.clear();
        html = utf8;
        hasClipboard = true;
        textOffered = false;
    }

    int charWidth = 8;
    int rowHeight = 16;
    bool fixedPitch = true;
    int visibleRows = 20;
    int visibleColumns = 80;
    int clientWidth = 640;
    // Width of one character (its UTF-8 bytes) in a font style; null: the grid.
    std::function<Pixel(std::string_view, uint8_t)> widthOf;
    std::function<int32_t(int)> systemColors;
    std::string date = "17/05/2024";
    std::string time = "09:30:15";
    std::string clipboard;
    std::string rtf;
    std::string html;
    bool hasClipboard = false;
    bool textOffered = false;
    int clipboardSets = 0;
    int beeps = 0;
    int measures = 0;
    bool blockCaret = false;
    std::vector<std::pair<int32_t, int32_t>> invalidated;
    std::vector<uint32_t> viewChanges;
};

} // namespace kvx::test
