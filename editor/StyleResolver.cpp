#include "StyleResolver.h"

#include "Platform.h"
#include "Settings.h"

namespace kvx {

namespace {

struct TColor {
    int32_t Value;
    bool FromSystem;
};

TColor Resolve(int32_t stored, TEditorPlatform& platform) {
    if (!IsSystemColor(stored))
        return {stored, false};
    return {platform.SystemColorValue(SystemColorIndex(stored)), true};
}

// A style's own colour, or with its use-default flag style 0's; style 0 itself then defers
// to the desktop's window colours.
TColor StyleColor(const TStyleEntry& entry, const TStyleEntry& base, bool text,
                  TEditorPlatform& platform) {
    const bool useDefault = text ? entry.UseDefaultText : entry.UseDefaultBack;
    if (!useDefault)
        return Resolve(text ? entry.TextColor : entry.BackColor, platform);
    const bool baseDefault = text ? base.UseDefaultText : base.UseDefaultBack;
    if (baseDefault)
        return Resolve(text ? clWindowText : clWindow, platform);
    return Resolve(text ? base.TextColor : base.BackColor, platform);
}

// Only defined styles get a font of their own; the others are drawn in style 0's.
uint8_t FontStyleOf(const TSM_Settings& s, uint8_t style, bool syntaxHighlight) {
    const TStyleEntry& entry = s.Styles[style];
    return syntaxHighlight && entry.Defined ? entry.FontStyle : s.Styles[0].FontStyle;
}

} // namespace

TResolvedStyle ResolveStyle(const TSM_Settings& s, uint8_t style, const TStyleContext& context,
                            TEditorPlatform& platform) {
    const TStyleEntry& entry = s.Styles[style];
    const TStyleEntry& base = s.Styles[0];
    TResolvedStyle r;
    r.Style = style;
    r.FontStyle = FontStyleOf(s, style, context.SyntaxHighlight);
    r.IsHyperlink = entry.IsHyperlink != 0;
    TColor text{clBlackValue, false};
    TColor back{clWhiteValue, false};
    if (context.Selected) {
        text = Resolve(s.SysSelTextColor ? clHighlightText : s.SelTextColor, platform);
        back = Resolve(s.SysSelBackColor ? clHighlight : s.SelTextBack, platform);
    } else if (!context.SyntaxHighlight) {
        // Black on white, whatever the styles say.
    } else if (context.RowBackColor == -1 || context.Printing) {
        text = StyleColor(entry, base, true, platform);
        back = StyleColor(entry, base, false, platform);
    } else {
        text = Resolve(context.RowTextColor, platform);
        back = Resolve(context.RowBackColor, platform);
    }
    r.TextColor = text.Value;
    r.TextFromSystem = text.FromSystem;
    r.BackColor = back.Value;
    r.BackFromSystem = back.FromSystem;
    return r;
}

TResolvedStyle ResolveTokenStyle(const TSM_Settings& s, uint8_t token, const TStyleContext& context,
                                 TEditorPlatform& platform) {
    return ResolveStyle(s, s.Map[token], context, platform);
}

TFontStyleTable FontStyles(const TSM_Settings& s, bool syntaxHighlight) {
    TFontStyleTable table{};
    for (int token = 0; token < 256; ++token)
        table[static_cast<size_t>(token)] =
            FontStyleOf(s, s.Map[static_cast<size_t>(token)], syntaxHighlight);
    return table;
}

} // namespace kvx
