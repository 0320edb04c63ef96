// The control's view properties (gutter, margins, colours, font, the window's look), its
// six language slots with the active language, and its range marks.
#include "EdMessages.h"
#include "Settings.h"
#include "SyntaxEd.h"

#include <algorithm>

namespace kvx {

namespace {

void CheckSlot(int slot) {
    if (slot < 1 || slot > TCustomSyntaxMemo::kParserSlots)
        throw ESyntaxMemo(0, "Parser index out of range");
}

constexpr int kMinGutter = 34;

// The widest gutter the setter takes for a window of `width` pixels: one whose width in
// whole percent of the window is at most 20. Without a window, the widest a gutter cell can
// sensibly be.
Pixel WidestGutter(Pixel width) {
    return width > 0 ? static_cast<Pixel>((int64_t(width) * 21 - 1) / 100) : 255;
}
constexpr int kMaxFontSize = 200;
constexpr int kMaxWrapColumn = 65535;

} // namespace

// ---- Languages -------------------------------------------------------------------------

THighlighter* TCustomSyntaxMemo::Parser(int slot) const {
    CheckSlot(slot);
    return parsers_[size_t(slot - 1)];
}

void TCustomSyntaxMemo::SetParser(int slot, THighlighter* parser) {
    CheckSlot(slot);
    THighlighter*& held = parsers_[size_t(slot - 1)];
    if (held == parser)
        return;
    THighlighter* old = held;
    held = parser;
    HoldHighlighter(parser);
    if (slot == activeParser_)
        SwitchLanguage();
    ReleaseHighlighter(old);
}

void TCustomSyntaxMemo::SetActiveParser(int slot) {
    CheckSlot(slot);
    if (slot == activeParser_ && parsers_[size_t(slot - 1)] == highlighter_)
        return;
    activeParser_ = slot;
    SwitchLanguage();
}

void TCustomSyntaxMemo::SwitchLanguage() {
    THighlighter* next = parsers_[size_t(activeParser_ - 1)];
    TSM_Settings* settings = next ? next->LanguageSettings() : nullptr;
    const TSM_Settings& before = *settings_;
    const TSM_Settings& after = settings ? *settings : *ownSettings_;
    const bool rewrap = ((before.OptionWord ^ after.OptionWord) & OptionBit(smoWordWrap)) ||
                        before.WrapAtColumn != after.WrapAtColumn;
    SetHighlighter(next);
    UseSettings(settings);
    // The rows hold the token bytes of the language before: every row is highlighted again,
    // and a pass may not stop early where an old row happens to match.
    if (highlighter_)
        RescanWholeDocument();
    if (rewrap && HasOption(smoWordWrap))
        view_.ResetColumn();
    RefreshSettings();
    Changed(chLanguage);
    if (commandDepth_ == 0)
        ChangeNotification();
}

// ---- View properties -------------------------------------------------------------------

template <class T, class U> void TCustomSyntaxMemo::SetViewValue(T& field, U value, uint32_t bits) {
    if (field == static_cast<T>(value))
        return;
    field = static_cast<T>(value);
    ViewSettingsChanged(bits);
}

int TCustomSyntaxMemo::Gutter() const {
    return settings_->Gutter;
}

void TCustomSyntaxMemo::SetGutter(int value) {
    const Pixel width = platform_->ClientWidth();
    if (width <= 0)
        return;
    const bool fits = value == 0 || (value >= kMinGutter && value <= WidestGutter(width));
    if (fits)
        SetViewValue(settings_->Gutter, value);
}

int TCustomSyntaxMemo::Margin() const {
    return settings_->Margin;
}

void TCustomSyntaxMemo::SetMargin(int value) {
    if (value >= 0 && value <= platform_->CharWidth())
        SetViewValue(settings_->Margin, value);
}

int32_t TCustomSyntaxMemo::GutterColor() const {
    return settings_->GutterColor;
}

void TCustomSyntaxMemo::SetGutterColor(int32_t value) {
    SetViewValue(settings_->GutterColor, value);
}

int32_t TCustomSyntaxMemo::MarginColor() const {
    return settings_->MarginColor;
}

void TCustomSyntaxMemo::SetMarginColor(int32_t value) {
    SetViewValue(settings_->MarginColor, value);
}

int TCustomSyntaxMemo::RightMargin() const {
    return settings_->RightMargin;
}

void TCustomSyntaxMemo::SetRightMargin(int value) {
    SetViewValue(settings_->RightMargin, value);
}

int32_t TCustomSyntaxMemo::SelTextColor() const {
    return settings_->SelTextColor;
}

void TCustomSyntaxMemo::SetSelTextColor(int32_t value) {
    SetViewValue(settings_->SelTextColor, value);
}

int32_t TCustomSyntaxMemo::SelTextBack() const {
    return settings_->SelTextBack;
}

void TCustomSyntaxMemo::SetSelTextBack(int32_t value) {
    SetViewValue(settings_->SelTextBack, value);
}

int32_t TCustomSyntaxMemo::def_TextColor() const {
    return settings_->Styles[0].TextColor;
}

void TCustomSyntaxMemo::SetDef_TextColor(int32_t value) {
    SetViewValue(settings_->Styles[0].TextColor, value);
}

int32_t TCustomSyntaxMemo::def_BackColor() const {
    return settings_->Styles[0].BackColor;
}

void TCustomSyntaxMemo::SetDef_BackColor(int32_t value) {
    SetViewValue(settings_->Styles[0].BackColor, value);
}

uint8_t TCustomSyntaxMemo::def_FontStyle() const {
    return settings_->Styles[0].FontStyle;
}

void TCustomSyntaxMemo::SetDef_FontStyle(uint8_t value) {
    if (value <= 15)
        SetViewValue(settings_->Styles[0].FontStyle, value);
}

std::string TCustomSyntaxMemo::FontName() const {
    return settings_->FontName;
}

int TCustomSyntaxMemo::FontSize() const {
    // Stored settings may say anything; a size of 0 would show nothing at all.
    return std::clamp(int(settings_->FontSize), 1, kMaxFontSize);
}

void TCustomSyntaxMemo::SetFont(const std::string& name, int size) {
    if (name.empty() || size < 1 || size > kMaxFontSize)
        return;
    if (name == settings_->FontName && size == settings_->FontSize)
        return;
    settings_->FontName = name;
    settings_->FontSize = size;
    // The rows are cut again when the window has taken the new font and its widths
    // (TMemoView::FontChanged).
    ViewSettingsChanged(chSettings | chView);
}

const TGutterFont& TCustomSyntaxMemo::GutterFont() const {
    return settings_->GutterFont;
}

void TCustomSyntaxMemo::SetGutterFont(const TGutterFont& font) {
    if (font.Name.empty() || font.Size < 1 || font.Size > kMaxFontSize || font.Style > 15)
        return;
    SetViewValue(settings_->GutterFont, font);
}

void TCustomSyntaxMemo::SetWordWrap(bool on) {
    // Always through the option request, as the option set does.
    const uint32_t bit = OptionBit(smoWordWrap);
    Perform(smmOPTIONS, smfSet, on ? (optionWord_ | bit) : (optionWord_ & ~bit));
}

int TCustomSyntaxMemo::WrapAtColumn() const {
    return settings_->WrapAtColumn;
}

void TCustomSyntaxMemo::SetWrapAtColumn(int value) {
    if (value < 0 || value > kMaxWrapColumn || value == settings_->WrapAtColumn)
        return;
    settings_->WrapAtColumn = value;
    RecutRows();
    ViewSettingsChanged();
}

std::string TCustomSyntaxMemo::WrapOverride() const {
    return settings_->WrapOverride;
}

void TCustomSyntaxMemo::SetWrapOverride(const std::string& value) {
    if (value == settings_->WrapOverride)
        return;
    settings_->WrapOverride = value;
    RecutRows();
    ViewSettingsChanged();
}

void TCustomSyntaxMemo::SetHideSelection(bool on) {
    SetViewValue(hideSelection_, on);
}

void TCustomSyntaxMemo::SetShowFocusLine(bool on) {
    SetViewValue(showFocusLine_, on);
}

void TCustomSyntaxMemo::SetHyperCursor(int value) {
    if (value != hyperCursor_) {
        hyperCursor_ = value;
        Changed(chSettings);
    }
}

void TCustomSyntaxMemo::SetBorderStyle(TBorderStyle value) {
    if (value == bsNone || value == bsSingle)
        SetViewValue(borderStyle_, value, chFrame);
}

void TCustomSyntaxMemo::SetScrollBars(TScrollStyle value) {
    if (value >= ssNone && value <= ssBoth)
        SetViewValue(scrollBars_, value, chFrame);
}

void TCustomSyntaxMemo::SetFlatScrollBars(bool on) {
    SetViewValue(flatScrollBars_, on, chFrame);
}

void TCustomSyntaxMemo::SetFlatScrollBarStyle(TFlatScrollBarStyle value) {
    if (value >= fssEncarta && value <= fssREGULAR)
        SetViewValue(flatScrollBarStyle_, value, chFrame);
}

Pixel TCustomSyntaxMemo::GutterWidth() const {
    if (!HasOption(smoShowGutter))
        return 0;
    // The width may come from a script or a stored form that never met the setter's rule:
    // the gutter is drawn no wider than the setter would allow, and never negative.
    return std::clamp<Pixel>(settings_->Gutter, 0, WidestGutter(platform_->ClientWidth()));
}

Pixel TCustomSyntaxMemo::MarginWidth() const {
    return std::clamp<Pixel>(settings_->Margin, 0, std::max<Pixel>(platform_->CharWidth(), 0));
}

// ---- Range marks -----------------------------------------------------------------------

uint32_t TCustomSyntaxMemo::AddMark(TextOffset start, int32_t length, int32_t user) {
    const uint32_t handle = marks_.Add(start, length, user);
    platform_->InvalidateRows(0, -1);
    return handle;
}

bool TCustomSyntaxMemo::FindMark(TextOffset from, TextOffset to, TRangeMark& mark) const {
    const TRangeMark* m = marks_.FindOverlap(from, to);
    if (m)
        mark = *m;
    return m != nullptr;
}

bool TCustomSyntaxMemo::MoveMarkStart(uint32_t handle, TextOffset start) {
    const bool done = marks_.MoveStart(handle, start);
    platform_->InvalidateRows(0, -1);
    return done;
}

bool TCustomSyntaxMemo::MoveMarkEnd(uint32_t handle, TextOffset end) {
    const bool done = marks_.MoveEnd(handle, end);
    platform_->InvalidateRows(0, -1);
    return done;
}

bool TCustomSyntaxMemo::DeleteMark(uint32_t handle) {
    const bool done = marks_.Remove(handle);
    platform_->InvalidateRows(0, -1);
    return done;
}

} // namespace kvx
