// The platform of a control that has no window: kvx, benchmarks and anything else that
// edits or highlights documents without showing them. It draws nothing, shows no rows,
// measures a fixed-pitch grid, has no clipboard, resolves system colours with the
// desktop's default palette and writes dates as ISO 8601 does. Programs that need a little more (a
// window size, say) derive from it and override what they need.
#pragma once

#include "Platform.h"

namespace kvx {

class THeadlessPlatform : public TEditorPlatform {
  public:
    static constexpr Pixel kCharWidth = 8;
    static constexpr Pixel kRowHeight = 16;

    void InvalidateRows(RowIndex /*first*/, RowIndex /*last*/) override {}
    void ViewChanged(uint32_t /*bits*/) override {}
    void CaretShapeChanged(bool /*block*/) override {}
    Pixel CharWidth() override { return kCharWidth; }
    Pixel RowHeight() override { return kRowHeight; }
    bool FixedPitch() override { return true; }
    int VisibleRows() override { return 0; }
    int VisibleColumns() override { return 0; }
    Pixel ClientWidth() override { return 0; }
    void MeasureWidths(std::string_view utf8, uint8_t fontStyle,
                       std::span<Pixel> rightEdges) override;
    int32_t SystemColorValue(int index) override;
    void SetClipboard(const TClipboardData& /*data*/) override {}
    bool ClipboardText(std::string& /*utf8*/) override { return false; }
    bool ClipboardHtml(std::string& /*utf8*/) override { return false; }
    void Beep() override {}
    // Local time as 2024-05-17 and 09:30:15; with SOURCE_DATE_EPOCH set (seconds since
    // 1970), that moment in UTC instead, so that scripts and builds that publish
    // highlighted files get the same bytes on every run.
    std::string ShortDate() override;
    std::string LongTime() override;
};

// Right edges of characters on a grid `width` pixels wide: the measure of a platform
// that has no font to ask. Only the number of characters counts.
void MeasureGrid(Pixel width, std::span<Pixel> rightEdges);

} // namespace kvx
