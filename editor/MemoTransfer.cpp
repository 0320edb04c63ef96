// Text coming in from other programs and going out to them: the HTML trimming of a paste or
// drop, the control's side of a drop (what it takes, where it goes, one undo step), and
// dragging the selection out. The widget only translates the desktop's drag events and
// data into these calls.
#include "DataTransfer.h"
#include "Encoding.h"
#include "Stream.h"
#include "SyntaxEd.h"

#include <algorithm>
#include <climits>

namespace kvx {

namespace {
constexpr char kCannotHoldPaste[] = "Cannot alloc memory for buffer!!";
constexpr std::string_view kStartFragment = "<!--StartFragment-->";
constexpr std::string_view kEndFragment = "<!--EndFragment-->";
} // namespace

std::string_view TrimHtml(std::string_view html, TSourceTypes types) {
    if (!(types & (stHTMLFromTag | stHTMLFragment)))
        return html;
    const size_t tag = html.find('<');
    html.remove_prefix(tag == std::string_view::npos ? html.size() : tag);
    if (types & stHTMLFromTag)
        return html;
    // Only an end marker after the start marker, with something between them, counts:
    // markers missing or in the wrong order leave the HTML as it is.
    const size_t start = html.find(kStartFragment);
    if (start == std::string_view::npos)
        return html;
    const size_t body = start + kStartFragment.size();
    const size_t end = html.find(kEndFragment, body);
    if (end == std::string_view::npos || end == body)
        return html;
    return html.substr(body, end - body);
}

std::string TCustomSyntaxMemo::ForeignText(const TSelectionRange& range) {
    std::string text = Store().GetText(range.Start(), range.End());
    std::replace(text.begin(), text.end(), '\r', '\n');
    return ToUtf8(text, Store().Utf8());
}

bool TCustomSyntaxMemo::PrepareForeignText(std::string_view utf8, std::string& out) {
    // Offsets are 32-bit: text the document cannot hold is refused before anything changes.
    const int64_t room = int64_t(INT32_MAX) - TextLength() + (Sel.End() - Sel.Start());
    if (int64_t(utf8.size()) > room)
        throw ESyntaxMemo(0, kCannotHoldPaste);
    return EncodeForDocument(utf8, out);
}

void TCustomSyntaxMemo::InsertPrepared(std::string text) {
    TGroupScope group(*this, ugPaste);
    TMemoryStream stream(std::move(text));
    TPaintLock lock(*this);
    InsertStream(stream);
}

// ---- Dropping --------------------------------------------------------------------------

TDropEffect TCustomSyntaxMemo::DragEnter(TSourceTypes available, TextOffset at, bool copy) {
    if (!HasOption(smoProcessDroppedFiles))
        available &= static_cast<TSourceTypes>(~stFiles);
    const TSourceTypes text = available & (stText | stUnicodeText | stHTML);
    if (!(available & stFiles) && (!text || ReadOnly)) {
        DragLeave();
        return TDropEffect::None;
    }
    drag_.Active = true;
    return DragOver(at, copy || !text);
}

TDropEffect TCustomSyntaxMemo::DragOver(TextOffset at, bool copy) {
    if (!drag_.Active)
        return TDropEffect::None;
    drag_.Position = std::clamp(at, 0, TextLength());
    return copy ? TDropEffect::Copy : TDropEffect::Move;
}

void TCustomSyntaxMemo::DragLeave() {
    drag_.Active = false;
    drag_.Position = 0;
}

TDropEffect TCustomSyntaxMemo::Drop(TDropData& data, TextOffset at, TDropPoint point, bool copy) {
    DragLeave();
    drag_.DroppedHere = false;
    TSourceTypes types = data.Available;
    if (!HasOption(smoProcessDroppedFiles))
        types &= static_cast<TSourceTypes>(~stFiles);
    types |= stRawData | stNotifyFiles;
    if (OnDataDrop)
        OnDataDrop(*this, types);
    if (!(types & stFormats) || (types & stHandled))
        return TDropEffect::None;

    TDropEffect effect = copy ? TDropEffect::Copy : TDropEffect::Move;
    std::string names;
    std::string_view text;
    if (types & stHTML) {
        text = (types & stRawData) ? std::string_view(data.Html) : TrimHtml(data.Html, types);
    } else if (types & (stText | stUnicodeText)) {
        text = data.Text;
    } else {
        // Files are the file manager's: reporting a move could make it delete them.
        effect = TDropEffect::Copy;
        if ((types & stNotifyFiles) && HasOption(smoProcessDroppedFiles) && OnFilesDropped) {
            OnFilesDropped(*this, data.Files, point);
            if (!(types & stRawData))
                return effect;
        }
        for (const std::string& name : data.Files)
            names.append(name).push_back('\n');
        text = names;
    }

    const bool fromSelf = drag_.Dragging;
    at = std::clamp(at, 0, TextLength());
    if (fromSelf) {
        // Into the dragged text itself: nothing to do. A copy may still go to either edge.
        const bool inside = effect == TDropEffect::Move ? at >= Sel.Start() && at <= Sel.End()
                                                        : at > Sel.Start() && at < Sel.End();
        if (inside)
            return TDropEffect::None;
    }
    std::string encoded;
    if (ReadOnly || !PrepareForeignText(text, encoded))
        return TDropEffect::None;
    {
        TGroupScope group(*this, ugPaste);
        TPaintLock lock(*this);
        if (fromSelf && effect == TDropEffect::Move) {
            if (at > Sel.End())
                at -= Sel.End() - Sel.Start();
            ReplaceSelection({});
        }
        SetSelection(at, at, true);
        InsertPrepared(std::move(encoded));
    }
    drag_.DroppedHere = fromSelf;
    drag_.DropAt = at;
    ChangeNotification();
    return effect;
}

// ---- Dragging out ----------------------------------------------------------------------

bool TCustomSyntaxMemo::BeginDrag(std::string& utf8, bool& moveAllowed) {
    if (!HasOption(smoOLEDragSource) || Sel.Empty())
        return false;
    drag_.Dragging = true;
    drag_.DroppedHere = false;
    drag_.Source = Sel;
    drag_.SourceText = Store().GetText(Sel.Start(), Sel.End());
    utf8 = ForeignText(Sel);
    moveAllowed = !ReadOnly;
    return true;
}

void TCustomSyntaxMemo::EndDrag(TDropEffect effect) {
    if (!drag_.Dragging)
        return;
    drag_.Dragging = false;
    std::string dragged = std::move(drag_.SourceText);
    if (drag_.DroppedHere) {
        drag_.DroppedHere = false;
        SetSelection(drag_.DropAt, drag_.DropAt);
    } else if (effect == TDropEffect::Move && !ReadOnly) {
        // Moved into another program or editor: the text leaves this one, unless something
        // changed the selection meanwhile and it no longer holds what was dragged.
        if (!(Sel == drag_.Source) || Store().GetText(Sel.Start(), Sel.End()) != dragged)
            return;
        TGroupScope group(*this, ugCut);
        ReplaceSelection({});
    }
    ChangeNotification();
}

} // namespace kvx
