// The platform services of the editor control on Qt: repaint requests become updates of the
// widget's viewport, metrics and measuring come from the editor's fonts, system colours from
// the widget's palette, the clipboard from QClipboard with its plain, RTF and HTML formats.
#pragma once

#include "editor/Platform.h"

#include <QString>

#include <functional>

namespace kvx {

class TSyntaxMemo;

class TQtPlatform : public TEditorPlatform {
  public:
    explicit TQtPlatform(TSyntaxMemo& widget) : widget_(widget) {}

    void InvalidateRows(RowIndex first, RowIndex last) override;
    void ViewChanged(uint32_t bits) override;
    void CaretShapeChanged(bool block) override;
    Pixel CharWidth() override;
    Pixel RowHeight() override;
    bool FixedPitch() override;
    int VisibleRows() override;
    int VisibleColumns() override;
    Pixel ClientWidth() override;
    void MeasureWidths(std::string_view utf8, uint8_t fontStyle,
                       std::span<Pixel> rightEdges) override;
    int32_t SystemColorValue(int index) override;
    void SetClipboard(const TClipboardData& data) override;
    bool ClipboardText(std::string& utf8) override;
    bool ClipboardHtml(std::string& utf8) override;
    void Beep() override;
    std::string ShortDate() override;
    std::string LongTime() override;

    // Beeps so far; tests read it, and a replaced sound (tests make none) is called instead
    // of the desktop's.
    int Beeps() const { return beeps_; }
    std::function<void()> BeepSound;

  private:
    TSyntaxMemo& widget_;
    int beeps_ = 0;
};

} // namespace kvx
