// The editor control without its window: caret, selection, the numbered editing commands,
// typing, block indent, the undo and redo of its document, and its editing properties. The
// Qt widget wraps it and supplies the platform services through TEditorPlatform.
#pragma once

#include "DataTransfer.h"
#include "EdConsts.h"
#include "HeadlessPlatform.h"
#include "MemoView.h"
#include "Platform.h"
#include "RangeMarks.h"
#include "TextStore.h"
#include "UndoStack.h"

#include <array>
#include <bitset>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace kvx {

class TStream;
class TCustomSyntaxMemo;
class TSyntaxMemoStrings;
class TKeyboardActionContoller;
class TEdStream;
class TSM_Settings;
struct TGutterFont;

// Every int is a value of these types: values from streams and requests arrive as numbers
// and are checked by the setters, which must be able to hold a wrong one to refuse it.
enum TSaveFormat : int { sfTEXT, sfRTF, sfHTML, sfUNIX };
enum TBorderStyle : int { bsNone, bsSingle };
enum TScrollStyle : int { ssNone, ssHorizontal, ssVertical, ssBoth };
enum TFlatScrollBarStyle : int { fssEncarta, fssFLAT, fssREGULAR };

// Commands whose behaviour lives in the bookmark, printing and export code. Until one is
// installed those commands do nothing.
// A word list offered every key before the key map: the code templates and auto-correct.
class TKeyMacros {
  public:
    virtual ~TKeyMacros() = default;
    // True when the key was used up and must go no further.
    virtual bool KeyDown(TCustomSyntaxMemo& memo, uint8_t key, TShiftState shift) = 0;
};

class TCodeTemplates;

// How much one slice of background highlighting may do: rows, wall-clock time, or both
// (0: no limit of that kind).
struct THighlightBudget {
    int Rows = 0;
    int Microseconds = 0;
};

// What colours the text: it writes each row's token bytes from the rescan-from row on,
// until they come out as they were. The control calls it from its change notification.
class THighlighter {
  public:
    virtual ~THighlighter() = default;
    virtual void Rehighlight(TCustomSyntaxMemo& memo) = 0;
    // The control holds this highlighter (as its language or in a language slot); it lets
    // go of it: forget the control.
    virtual void Attach(TCustomSyntaxMemo& memo) = 0;
    virtual void Detach(TCustomSyntaxMemo& memo) = 0;
    // The settings that come with the language (a parser's), which the control uses while
    // the highlighter is its language; null: the control keeps its own.
    virtual TSM_Settings* LanguageSettings() { return nullptr; }

    // A document too large to highlight before it is shown is highlighted from the top a
    // little at a time. With deferral on, the pass after an edit goes no further than the
    // highlighting has got; the rows beyond are done by HighlightTo, before they are shown,
    // and by slices from the event loop. Turning it on (again) starts from the top.
    virtual void SetDeferred(TCustomSyntaxMemo& /*memo*/, bool /*on*/) {}
    // Makes the token bytes before `end` those a full pass writes.
    virtual void HighlightTo(TCustomSyntaxMemo& /*memo*/, TextOffset /*end*/) {}
    // Goes on highlighting within the budget; true while text remains to be highlighted.
    virtual bool HighlightSlice(TCustomSyntaxMemo& /*memo*/, const THighlightBudget& /*budget*/) {
        return false;
    }
    // The bytes before this offset hold their final token values.
    virtual TextOffset HighlightedTo(TCustomSyntaxMemo& memo);
    // `delta` bytes were inserted (delta > 0) or deleted at `offset` of the control's text.
    virtual void TextChanged(TCustomSyntaxMemo& /*memo*/, TextOffset /*offset*/,
                             int32_t /*delta*/) {}
};

class TEditorHooks {
  public:
    virtual ~TEditorHooks() = default;
    // The pick list of templates, shown when the template key finds no template before the
    // caret; false when there is no list to show.
    virtual bool ShowTemplateList(TCustomSyntaxMemo& /*memo*/, TCodeTemplates& /*templates*/) {
        return false;
    }
    virtual void PrintSelection(TCustomSyntaxMemo& /*memo*/) {}
    // True when the platform writes a copy's RTF and HTML itself, when a reader asks for
    // them (TClipboardData::Deferred), instead of the copy writing them at once.
    virtual bool DefersRichFormats(TCustomSyntaxMemo& /*memo*/) { return false; }
    // Pixel position of an offset's character and the offset at a pixel position (-1 when
    // outside the text area); false / -1 until a widget answers them. It knows where the
    // text area lies in its window and maps the rest through View().PointOf and OffsetAt.
    virtual bool PositionFromChar(TCustomSyntaxMemo& /*memo*/, TextOffset /*offset*/, int& /*x*/,
                                  int& /*y*/) {
        return false;
    }
    virtual TextOffset CharFromPosition(TCustomSyntaxMemo& /*memo*/, int /*x*/, int /*y*/) {
        return -1;
    }
    // The control's own find (or replace) dialog.
    virtual void ShowFindDialog(TCustomSyntaxMemo& /*memo*/, bool /*replace*/) {}
};

class TCustomSyntaxMemo : public TStoreView {
  public:
    using TTextChangeEvent = std::function<void(TCustomSyntaxMemo&, TextOffset, int32_t)>;
    using TNotifyEvent = std::function<void(TCustomSyntaxMemo&)>;
    using TCommandEvent = std::function<void(TCustomSyntaxMemo&, int& command)>;
    using TCharTest = std::function<bool(unsigned char)>;
    // Around and after every token of a highlighting pass: (-1, -1, -1) before the pass,
    // then the token's value (which the handler may change) and its extent, (-2, -2, -2)
    // after the pass.
    using TTokenSeenEvent = std::function<void(TCustomSyntaxMemo&, int& tokenValue,
                                               TextOffset extentStart, TextOffset extentEnd)>;

    explicit TCustomSyntaxMemo(TEditorPlatform* platform = nullptr);
    ~TCustomSyntaxMemo() override;

    // ---- Document ----------------------------------------------------------------------
    TTextStore& Store() { return *TStoreView::Store(); }
    // Shows another document (null: the control's own); view state is reset.
    void AttachTextStore(TTextStore* store);
    std::string Text() { return Store().GetText(0, Store().TextLength()); }
    TextOffset TextLength() { return Store().TextLength(); }
    void Clear();

    // ---- Text in and out ---------------------------------------------------------------
    // Replaces the whole text with the stream's bytes; the encoding, byte-order mark and
    // line-break style are taken from them. The undo log ends empty, the document unmodified.
    void LoadFromStream(TStream& stream);
    void LoadFromFile(const std::string& name);
    // Writes the whole text in SaveFormat; null raises EFileSaveError "Bad TStream instance".
    void SaveToStream(TStream* stream);
    // Saves through a temporary file that replaces the file only when all went well.
    void SaveToFile(const std::string& name);
    // Writes [from, to): flag 1 CR LF breaks, 2 RTF, 4 HTML (RichExport.h), 8 LF breaks, none
    // stored breaks.
    void WriteRange(TStream& out, unsigned flags, TextOffset from, TextOffset to);
    // The whole text with breaks as SelLineStyle says, its length, and replacing it.
    std::string GetWholeText();
    int32_t WholeTextLength();
    void SetWholeText(std::string_view text);
    TSaveFormat SaveFormat = sfTEXT;
    // Saves with the line breaks the document was loaded with: CR LF, LF, or lone CR.
    void UseLoadedLineBreaks();
    // The file name, kept with smoTitleAsFilename: it heads printed pages and titles the
    // HTML the control writes.
    std::string Title;

    // ---- Selection ---------------------------------------------------------------------
    // Anchor -1 selects everything; values are clamped to the text. A caret in virtual space
    // (past the end of its line) comes back to the text.
    void SetSelection(TextOffset anchor, TextOffset caret, bool noRepaint = false) {
        inVirtual_ = false;
        PlaceSelection(anchor, caret, noRepaint);
    }
    // The caret alone at `offset`. When that is just before a line break and the caret may
    // stand past a line's end (CaretAfterEOLActive), a `column` beyond the line's end puts it
    // there, in virtual space, as a click past the end of a line does.
    void SetCaretAtColumn(TextOffset offset, DisplayColumn column);
    TextOffset SelStart() const { return Sel.Start(); }
    void SetSelStart(TextOffset value) { SetSelection(value, value); }
    int32_t SelLength();
    void SetSelLength(int32_t value);
    std::string SelText();
    void SetSelText(std::string_view text) { ReplaceSelection(text); }
    TLineStyle SelLineStyle = lsCRLF;

    // One-based caret column (display column) and line (row).
    void GetCaretPos(int& column, int& line);
    void SetCaretPos(int column, int line);

    // ---- Editing -----------------------------------------------------------------------
    void ReplaceSelection(std::string_view text);
    // Replaces [from, to) by `text` as one edit and one undo step (a replacement), however
    // long either is: the text goes in whole (TTextStore::InsertWhole), not in 8 KB pieces,
    // and the range is taken byte for byte, never moved to character boundaries. The caret
    // ends after the new text. Replace All puts its result in with this.
    void ReplaceRange(TextOffset from, TextOffset to, std::string_view text);
    void DeleteSelection() { ReplaceSelection({}); }
    void InsertStream(TStream& stream);
    void IndentBlock(int count, bool allowTabs);
    void UnindentBlock(int count);
    // Runs command 0-45; other ids (after OnCommandRecognised) are ignored.
    void ExecuteCommand(int command, bool extend = false);
    // A typed character (Unicode); it is encoded into the document's encoding.
    void KeyChar(char32_t ch);
    // Text for the document's encoding from UTF-8; beeps and returns false when it cannot.
    bool EncodeForDocument(std::string_view utf8, std::string& out);

    // The clipboard commands as plain methods; the editing ones do nothing when read-only.
    // A copy offers the formats of ClipCopyFormats. A paste offers the clipboard's formats
    // to OnDataDrop (stText, stHTML, with stClipboard) and takes plain text when stText is
    // still set, else HTML when stHTML is (trimmed as TrimHtml says unless stRawData is set),
    // else nothing.
    void CutToClipboard();
    void CopyToClipboard();
    void PasteFromClipboard();
    void SelectAll() { SetSelection(-1, 0); }
    // What a copy puts on the clipboard (TSM_Clipformat bits).
    uint8_t ClipCopyFormats = smTEXT | smRTF | smHTML;

    // ---- Drag and drop (MemoTransfer.cpp) ------------------------------------------------
    // The widget reports a drag over the control with the document offset under the
    // pointer and whether the copy key is held; the answer is the effect to show. Only
    // text (or, with smoProcessDroppedFiles, a file list) is taken, and a read-only control
    // takes file lists alone. While DropActive() the caret shows at DropPosition().
    TDropEffect DragEnter(TSourceTypes available, TextOffset at, bool copy);
    TDropEffect DragOver(TextOffset at, bool copy);
    void DragLeave();
    bool DropActive() const { return drag_.Active; }
    TextOffset DropPosition() const { return drag_.Position; }
    // The drop itself: OnDataDrop sees the source types (with stRawData and stNotifyFiles
    // added) and may change them; then HTML, text or the file list goes in at `at` as one
    // undo step, a move of this control's own selection included. A file list with
    // stNotifyFiles goes to OnFilesDropped first, and is inserted as text (one name a line)
    // only with stRawData. Returns the effect that happened: None when nothing was taken (a
    // drop into the dragged selection itself, a read-only control, text the document's
    // encoding cannot hold); Copy for file lists, which are never the drop's to move.
    TDropEffect Drop(TDropData& data, TextOffset at, TDropPoint point, bool copy);
    // Dragging the selection out (with smoOLEDragSource): false when there is nothing to
    // drag. `utf8` gets the selected text with LF breaks; a read-only control allows no move.
    bool BeginDrag(std::string& utf8, bool& moveAllowed);
    // The drag is over with this effect. A move elsewhere deletes the dragged text (when the
    // selection still holds it); a drop into this control puts the caret where it went.
    void EndDrag(TDropEffect effect);
    using TDataDropEvent = std::function<void(TCustomSyntaxMemo&, TSourceTypes& sourceTypes)>;
    using TFileDropEvent = std::function<void(TCustomSyntaxMemo&, std::vector<std::string>& files,
                                              TDropPoint atPoint)>;
    TDataDropEvent OnDataDrop;
    TFileDropEvent OnFilesDropped;

    // The text as a list of lines, made on first use and kept for the control's life.
    TSyntaxMemoStrings& Lines();

    // ---- Settings ------------------------------------------------------------------------
    // The settings in use: the control's own, or the ones handed to UseSettings (the active
    // language's). The options, tab stops, indent step, margins, colours, font, key map,
    // templates and auto-correct list the control works with are theirs: the properties
    // below read and write them, so switching the language switches all of it.
    TSM_Settings& Settings() { return *settings_; }
    const TSM_Settings& Settings() const { return *settings_; }
    // Null goes back to the control's own settings. The settings must outlive their use
    // here; the view repaints with them.
    void UseSettings(TSM_Settings* settings);
    // The settings the control made for itself, with the desktop's selection colours.
    TSM_Settings& OwnSettings() { return *ownSettings_; }

    // ---- Languages -----------------------------------------------------------------------
    // Six slots for highlighters (a document window's parsers), of which the active one
    // colours the text and lends the control its settings; an empty active slot leaves the
    // control with its own settings and no highlighting. Slot numbers outside 1 to 6 raise
    // ESyntaxMemo "Parser index out of range". A highlighter that is destroyed leaves every
    // slot it held.
    static constexpr int kParserSlots = 6;
    THighlighter* Parser(int slot) const;
    void SetParser(int slot, THighlighter* parser);
    int ActiveParser() const { return activeParser_; }
    void SetActiveParser(int slot);
    // A highlighter is going away: the control lets go of it wherever it holds it.
    void HighlighterGone(THighlighter* highlighter);

    // ---- Keys ----------------------------------------------------------------------------
    // A key pressed (virtual key code and modifiers). Keys of the key map run their command
    // (Shift extends the selection for the movement keys) and the first key of a sequence
    // waits for the second; true when the key was used, so that it is not also typed.
    bool KeyDown(uint8_t key, TShiftState shift);
    // The key map in use: one set with SetKeyMap, or the map of the settings in use.
    TKeyboardActionContoller& KeyMap();
    // Null goes back to the map of the settings in use. The map must outlive its use here.
    void SetKeyMap(TKeyboardActionContoller* map);
    // Word lists offered each key first, templates before auto-correct, in place of those
    // of the settings in use (null: the settings' list). They must outlive their use here.
    void SetKeyMacros(TKeyMacros* templates, TKeyMacros* autoReplace) {
        templates_ = templates;
        autoReplace_ = autoReplace;
    }
    // Replaces `keyword`, which ends at the caret, by `expansion` as one undo step (group
    // 16). With `indentLines` the lines after the first are indented to the keyword's
    // column; with `caretMarker` the first "|" is taken out and the caret put there. An
    // empty keyword replaces the selection instead.
    void ExpandKeyword(std::string_view keyword, std::string expansion, bool indentLines,
                       bool caretMarker);
    // Before a template is inserted: may change the expansion.
    std::function<void(TCustomSyntaxMemo&, const std::string& keyword, std::string& expansion)>
        OnTemplateEvent;
    // Before an auto-correction: the stream stands at the keyword; may refuse it or change
    // the replacement.
    std::function<void(TCustomSyntaxMemo&, TEdStream& at, bool& allow, std::string& replacement,
                       const std::string& keyword)>
        OnAutoReplace;

    // Keys whose bindings move the caret (commands 0-11 and 16): held with Shift they still
    // run their command, extending the selection. Rebuilt by SetKeyMap and RefreshSettings.
    bool ShiftExtendKey(uint8_t key) const { return shiftExtend_[key]; }

    // ---- Bookmarks ----------------------------------------------------------------------
    // Puts bookmark 0-9 on a line (1-based; -1 the caret's line, with the caret's column)
    // at a 1-based column. Setting it again on the line where it is removes it. Other
    // indexes raise 4197 "Bookmark index range error".
    void SetBookmark(int index, int32_t line = -1, int column = 1);
    // Moves the caret to the bookmark and shows its line in the middle of the window;
    // nothing happens when the bookmark is not set.
    void GotoBookmark(int index);
    // The 0-based row carrying the bookmark, or -1.
    RowIndex BookmarkRow(int index);
    std::function<void(TCustomSyntaxMemo&, int index)> OnBookmarkSet;
    // A named position of the document (Store().NamedPositions()) went with deleted text.
    std::function<void(TCustomSyntaxMemo&, const std::string& name)> OnCustomBookmarkFree;

    void Undo();
    void Redo();
    bool CanUndo() const;
    bool CanRedo() const;
    bool Modified() const;
    void SetModified(bool value);

    // Undo recording requests of the control.
    void BeginUndoGroup(int32_t code);
    void EndUndoGroup(int32_t code);
    void RecordInsertion(TextOffset offset, std::string_view chars);
    void RecordDeletion(TextOffset offset, std::string_view chars);
    void EnableRecording(bool on) { recording_ = on; }
    bool RecordingEnabled() const { return recording_; }
    void RecordReplacementBegin();
    void RecordReplacementEnd();

    // ---- Properties --------------------------------------------------------------------
    int TabDefault() const { return Tabs.TabDefault; }
    void SetTabDefault(int value);
    std::string TabColumnsText() const;
    void SetTabColumnsText(std::string_view text);
    DisplayColumn NextTabStop(DisplayColumn column) const { return Tabs.NextTabStop(column); }
    int IndentStep() const { return indentStep_; }
    void SetIndentStep(int value);
    uint32_t OptionWord() const { return optionWord_; }
    // Request 3073 as a setter: a change of the word-wrap bit scrolls back to column 0 and
    // re-cuts the rows; unless `refresh` is false, the view is repainted.
    void SetOptionWord(uint32_t word, bool refresh = true);
    TSyntaxMemoOptions Options() const { return TSyntaxMemoOptions::FromWord(optionWord_); }
    void SetOptions(TSyntaxMemoOptions options) { SetOptionWord(options.ToWord(optionWord_)); }
    bool HasOption(TSyntaxMemoOption o) const { return optionWord_ & OptionBit(o); }
    bool ReadOnly = false;
    bool WantTab = true;
    bool WantReturns = true;
    bool InsertMode() const { return insertMode_; }
    bool CaretAfterEOLActive() const;
    bool InVirtualSpace() const { return inVirtual_; }
    DisplayColumn VirtualColumn() const { return virtualColumn_; }
    DisplayColumn PreferredColumn() const { return preferredColumn_; }
    // Scrolling, as the view does it (View()).
    RowIndex FirstVisibleLine() const { return view_.TopRow(); }
    void SetFirstVisibleLine(RowIndex line) { view_.SetTopRow(line); }
    DisplayColumn FirstColumn() const { return view_.FirstColumn(); }
    void SetFirstColumn(DisplayColumn column) { view_.SetFirstColumn(column); }

    // ---- View properties ------------------------------------------------------------------
    // Most live in the settings in use; the setters ignore a value equal to the current
    // one, silently refuse an invalid one, and repaint the whole view when they take one.
    //
    // Gutter width: 0, or at least 34 and at most a fifth of the client width (the share
    // counted in whole percent); only while the window has a width.
    int Gutter() const;
    void SetGutter(int value);
    // The strip between the gutter and the text: 0 up to CharWidth.
    int Margin() const;
    void SetMargin(int value);
    int32_t GutterColor() const;
    void SetGutterColor(int32_t value);
    int32_t MarginColor() const;
    void SetMarginColor(int32_t value);
    // The column of the right-margin line.
    int RightMargin() const;
    void SetRightMargin(int value);
    int32_t SelTextColor() const;
    void SetSelTextColor(int32_t value);
    int32_t SelTextBack() const;
    void SetSelTextBack(int32_t value);
    // Text colour, background and font style (bold 1, italic 2, underline 4, strike-out 8)
    // of style 0, the default style.
    int32_t def_TextColor() const;
    void SetDef_TextColor(int32_t value);
    int32_t def_BackColor() const;
    void SetDef_BackColor(int32_t value);
    uint8_t def_FontStyle() const;
    void SetDef_FontStyle(uint8_t value);
    // The font: name and point size (1 to 200), kept in the settings in use.
    std::string FontName() const;
    int FontSize() const;
    void SetFont(const std::string& name, int size);
    // The font of the gutter's line numbers.
    const TGutterFont& GutterFont() const;
    void SetGutterFont(const TGutterFont& font);
    // Word wrap as an option bit, the wrap column (0: the window's width, up to 65535) and
    // the characters that keep a line from wrapping.
    bool WordWrap() const { return HasOption(smoWordWrap); }
    void SetWordWrap(bool on);
    int WrapAtColumn() const;
    void SetWrapAtColumn(int value);
    std::string WrapOverride() const;
    void SetWrapOverride(const std::string& value);

    // The control's own look, the same whatever the language.
    bool HideSelection() const { return hideSelection_; }
    void SetHideSelection(bool on);
    bool ShowFocusLine() const { return showFocusLine_; }
    void SetShowFocusLine(bool on);
    // The pointer over hyperlink text, as the widget numbers its pointer shapes (0: the
    // default one).
    int HyperCursor() const { return hyperCursor_; }
    void SetHyperCursor(int value);
    TBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TBorderStyle value);
    TScrollStyle ScrollBars() const { return scrollBars_; }
    void SetScrollBars(TScrollStyle value);
    bool FlatScrollBars() const { return flatScrollBars_; }
    void SetFlatScrollBars(bool on);
    TFlatScrollBarStyle FlatScrollBarStyle() const { return flatScrollBarStyle_; }
    void SetFlatScrollBarStyle(TFlatScrollBarStyle value);

    // Where things lie across the view, in pixels, as painting and hit-testing use them:
    // the gutter as drawn (0 when hidden; a stored width that does not fit the window is
    // cut to a fifth of it), the margin strip (at most CharWidth), and the left edge of
    // the text.
    Pixel GutterWidth() const;
    Pixel MarginWidth() const;
    Pixel TextLeft() const { return GutterWidth() + MarginWidth(); }
    // The settings' view numbers changed: repaint everything and forget measured rows.
    void ViewSettingsChanged(uint32_t bits = chSettings);

    // ---- Range marks ----------------------------------------------------------------------
    // Marks over stretches of the text, drawn under it; see RangeMarks.h. Each operation
    // repaints the view.
    const TRangeMarks& Marks() const { return marks_; }
    uint32_t AddMark(TextOffset start, int32_t length, int32_t user);
    // The first mark touching [from, to], ends included.
    bool FindMark(TextOffset from, TextOffset to, TRangeMark& mark) const;
    bool MoveMarkStart(uint32_t handle, TextOffset start);
    bool MoveMarkEnd(uint32_t handle, TextOffset end);
    bool DeleteMark(uint32_t handle);
    // A mark's range changed with an edit; a mark went with deleted text (or with the
    // document).
    std::function<void(TCustomSyntaxMemo&, uint32_t handle)> OnMarkChange;
    std::function<void(TCustomSyntaxMemo&, uint32_t handle)> OnMarkFree;

    // ---- Highlighting large documents ---------------------------------------------------
    // Off (as created), every highlighting pass reaches as far as the text changed: the
    // first one goes over the whole document. On, a document is highlighted from the top
    // a little at a time: the view asks for the rows it shows (HighlightTo) and the rest is
    // done in slices; see THighlighter.
    void SetDeferredHighlighting(bool on);
    bool DeferredHighlighting() const { return deferHighlighting_; }
    // Makes the token bytes before `end` final (an edit not yet highlighted is first).
    void HighlightTo(TextOffset end);
    // One slice of background highlighting; true while text remains to be highlighted.
    bool HighlightSlice(const THighlightBudget& budget);
    // The bytes before this offset hold their final token values (the text's length when
    // nothing is left to do).
    TextOffset HighlightedTo();

    // ---- Requests by number -------------------------------------------------------------
    // The standard edit-control requests and the control's own (3072 on); pointers travel
    // in the arguments as integers. Unknown requests return 0.
    intptr_t Perform(uint32_t msg, intptr_t wParam = 0, intptr_t lParam = 0);
    // Request 3090: takes the settings in use afresh (options, tab stops, indent step, key
    // map, font), re-cuts the rows when word wrap is on and repaints.
    void RefreshSettings();

    TCharTest fn_CharStartsWord;
    TCharTest fn_CharIsInWord;
    bool CharStartsWord(unsigned char c) const;
    bool CharIsInWord(unsigned char c) const;
    // Offsets of the word before and after the caret (-1 / the caret when there is none).
    TextOffset WordBefore();
    TextOffset WordAfter();

    // ---- Events and change notification -------------------------------------------------
    TTextChangeEvent OnTextChange;
    TNotifyEvent OnChange;
    TCommandEvent OnCommandRecognised;
    TTokenSeenEvent OnTokenSeen;
    uint32_t ChangeBits() const { return changeBits_; }
    void Changed(uint32_t bits) { changeBits_ |= bits; }
    // Rescans and raises OnChange when anything changed, then forgets the changes.
    void ChangeNotification();
    // The highlighting pass handled every row from the rescan-from row on.
    void ForgetRescan() {
        Rescan = {};
        RescanLast = {};
    }
    // The next pass goes over the whole document.
    void RescanWholeDocument();
    // Request 3105: the pass starts at `row` (clamped) or at an earlier row already due, and
    // runs even when no text changed.
    bool RescanFromRow(RowIndex row);
    void LockPaint() { ++paintLock_; }
    void UnlockPaint();
    bool PaintLocked() const { return paintLock_ > 0; }

    TEditorPlatform& Platform() { return *platform_; }
    TEditorHooks* Hooks() const { return hooks_; }
    void SetHooks(TEditorHooks* hooks) { hooks_ = hooks; }
    THighlighter* Highlighter() const { return highlighter_; }
    // The previous highlighter is detached; the rows keep their token bytes until the next
    // pass rewrites them.
    void SetHighlighter(THighlighter* highlighter);
    void ScrollCaretIntoView() { view_.ScrollCaretIntoView(); }
    // What the control shows and how: scrolling, row layouts, points and offsets.
    TMemoView& View() { return view_; }
    // Row and in-row index of an offset (the empty line after a final break has row
    // RowCount and no node).
    struct TCaretRow {
        TLineNode* Row = nullptr;
        TextOffset RowOffset = 0;
        RowIndex Index = 0;
        ByteIndex InRow = 0;
        bool AfterFinalBreak = false;
        // The row's characters before its break; 0 on the line after a final break.
        int ContentLength() const { return Row ? Row->ContentLength() : 0; }
    };
    TCaretRow Locate(TextOffset offset);
    DisplayColumn ColumnOf(TextOffset offset);

  protected:
    void StoreTextChanged(TextOffset offset, int32_t delta) override;
    void RewrapAfterEdit(TLineNode* first, TLineNode* last) override {
        view_.WordWrap().RewrapAfterEdit(first, last);
    }
    bool CutsRows() const override { return view_.WordWrap().CutsRows(); }
    int VisibleRowCount() const override { return platform_->VisibleRows(); }
    // Another control's document went away: show our own again.
    void StoreDestroyed() override { AttachTextStore(nullptr); }
    // Runs the highlighter from the rescan-from row when that row is marked for it.
    virtual void RescanHighlighting();
    bool HighlightDue() const;

  private:
    // The lines object edits through the control's notification scope.
    friend class TSyntaxMemoStrings;
    // Shows `store` (null: none), taking over the freed-name callback of its positions.
    void ShowStore(TTextStore* store);
    void RebuildShiftExtendKeys();
    // Takes what the control keeps of the settings in use: option word, tab stops, indent
    // step and key map.
    void ApplySettings();
    // The active slot's highlighter and settings become the control's.
    void SwitchLanguage();
    // Word wrap cuts the rows again if what the cuts depend on changed.
    void RecutRows();
    // Tells the highlighter the control holds it (once), or that it no longer does.
    void HoldHighlighter(THighlighter* h);
    void ReleaseHighlighter(THighlighter* h);
    bool Holds(THighlighter* h) const;
    // A setter's common end: repaint everything, tell the application.
    template <class T, class U> void SetViewValue(T& field, U value, uint32_t bits = chSettings);
    static void CheckBookmarkIndex(int index);
    // The first row carrying bookmark bit `index`, with its offset and index.
    TRowFinger FindBookmark(int index);

    // SetSelection for the caret commands, which keep or enter virtual space themselves.
    void PlaceSelection(TextOffset anchor, TextOffset caret, bool noRepaint = false);
    // Replaces the selection by `text` as one recorded replacement: in 8 KB pieces, or with
    // `whole` in one piece (TTextStore::InsertWhole).
    void ReplaceSelectionRecorded(std::string_view text, bool whole);

    // Closes an undo group on every way out, so that an exception cannot leave it open and
    // swallow every later command into it.
    class TGroupScope {
      public:
        TGroupScope(TCustomSyntaxMemo& m, int32_t code);
        ~TGroupScope();
        TGroupScope(const TGroupScope&) = delete;
        TGroupScope& operator=(const TGroupScope&) = delete;

      private:
        TCustomSyntaxMemo& m_;
        int32_t code_;
        bool opened_ = false;
    };
    class TNotifyScope;

    void RunCommand(int command, bool extend);
    TextOffset PrevCharOffset(TextOffset offset);
    TextOffset NextCharOffset(TextOffset offset);
    void MoveTo(TextOffset caret, bool extend);
    void MoveVertical(int rows, bool extend, bool page);
    int LineEndColumn(const TCaretRow& at);
    std::string FillText(int from, int to) const;
    void TypeChar(std::string_view bytes, bool isBreak);
    void TabKey();
    void DeleteChar(bool forward);
    void DeleteWord(bool before);
    void DeleteLine();
    void ApplyReplace(TextOffset from, TextOffset to, const std::string& text);
    // Text from another program, in UTF-8, in the document's encoding: false (with a beep)
    // when the encoding cannot hold it; ESyntaxMemo when the document could not hold that
    // much text. InsertPrepared then puts it in place of the selection as one undo step.
    bool PrepareForeignText(std::string_view utf8, std::string& out);
    void InsertPrepared(std::string text);
    // A range as other programs take it: UTF-8 with LF line breaks.
    std::string ForeignText(const TSelectionRange& range);
    // Undoes (or redoes) the next step of the log, or the whole group it opens.
    void Replay(bool undo);
    void ReplayStep(TUndoStack& log, bool undo, bool& groupActive, bool& resetRescan);
    // Inside a catch: remembers the exception unless an earlier one is already kept.
    void KeepFirstFailure();
    TextOffset LogicalLineStart(TextOffset offset);
    TextOffset NextLogicalLineStart(TextOffset lineStart);
    void InvalidateSelectionRows(const TSelectionRange& range);
    TUndoStack* Log() const { return recording_ ? TStoreView::Store()->UndoLog() : nullptr; }

    THeadlessPlatform defaultPlatform_;
    TEditorPlatform* platform_;
    TEditorHooks* hooks_ = nullptr;
    THighlighter* highlighter_ = nullptr;
    std::array<THighlighter*, kParserSlots> parsers_{};
    int activeParser_ = 1;
    bool deferHighlighting_ = false;
    // Rows the document had after the last change this control saw: an edit that leaves the
    // count alone moves no row below the line it changed.
    RowIndex rowsSeen_ = 0;
    TRangeMarks marks_;
    bool hideSelection_ = true;
    bool showFocusLine_ = false;
    int hyperCursor_ = 0;
    TBorderStyle borderStyle_ = bsSingle;
    TScrollStyle scrollBars_ = ssBoth;
    bool flatScrollBars_ = false;
    TFlatScrollBarStyle flatScrollBarStyle_ = fssFLAT;
    std::unique_ptr<TTextStore> ownStore_;
    std::unique_ptr<TSyntaxMemoStrings> lines_;
    std::unique_ptr<TSM_Settings> ownSettings_;
    TSM_Settings* settings_ = nullptr;
    TKeyboardActionContoller* keyMap_ = nullptr;
    TKeyMacros* templates_ = nullptr;
    TKeyMacros* autoReplace_ = nullptr;
    std::bitset<256> shiftExtend_;

    uint32_t optionWord_ = DefaultOptionWord;
    int indentStep_ = 1;
    bool insertMode_ = true;
    int preferredColumn_ = 0;
    int virtualColumn_ = 0;
    bool inVirtual_ = false;
    bool verticalMove_ = false;
    TMemoView view_{*this};

    bool recording_ = true;
    bool applying_ = false;
    // A handler's failure while undo or redo applied its steps, raised when they are done.
    std::exception_ptr deferred_;
    bool replacementOpen_ = false;
    TSelectionRange pendingBefore_;
    std::string pendingRemoved_;

    uint32_t changeBits_ = 0;
    int paintLock_ = 0;
    int commandDepth_ = 0;

    struct TDragState {
        bool Active = false; // a drag over the control would drop at Position
        TextOffset Position = 0;
        bool Dragging = false; // the selection is being dragged out
        TSelectionRange Source;
        std::string SourceText;
        bool DroppedHere = false; // ... and went into this control, at DropAt
        TextOffset DropAt = 0;
    } drag_;
};

// Holds the control's painting off while it lives, so that an edit of many steps is shown
// once, at the end, and no way out of the edit leaves painting locked.
class TPaintLock {
  public:
    explicit TPaintLock(TCustomSyntaxMemo& memo) : memo_(memo) { memo_.LockPaint(); }
    ~TPaintLock();
    TPaintLock(const TPaintLock&) = delete;
    TPaintLock& operator=(const TPaintLock&) = delete;

  private:
    TCustomSyntaxMemo& memo_;
};

// The caret as the user sees it: one-based column and line.
class TSM_CaretControl {
  public:
    explicit TSM_CaretControl(TCustomSyntaxMemo& memo) : memo_(memo) {}
    int Column() const {
        int column, line;
        memo_.GetCaretPos(column, line);
        return column;
    }
    int Line() const {
        int column, line;
        memo_.GetCaretPos(column, line);
        return line;
    }
    void SetPos(int column, int line) { memo_.SetCaretPos(column, line); }

  private:
    TCustomSyntaxMemo& memo_;
};

} // namespace kvx
