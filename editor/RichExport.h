// The document written with its highlighting, as Rich Text Format and as HTML: the writers
// behind the RTF and HTML save formats, the write-to-stream request and the rich formats of
// a copy. Both carry every character: in a UTF-8 document anything beyond ASCII goes out as
// RTF \uN and HTML &#N; (pure ASCII output that needs no charset), in a Windows-1252
// document as the same Unicode characters, so that no reader has to guess a code page.
#pragma once

#include "EdTypes.h"

#include <string>

namespace kvx {

class TCustomSyntaxMemo;
class TStream;
struct TClipboardData;

enum class TRichFormat { Rtf, Html };

// Writes the characters [from, to) of the control's document (clamped, either order) with
// the colours and font styles the style resolver gives their tokens. The document is
// highlighted first when a pass is due, so every written row has its token bytes; rows of a
// control without a highlighter are written in style 0. A stream that takes fewer bytes
// than it is given raises EFileSaveError "Could not save text to stream".
//
// RTF follows the row structure: a row that ends its line ends in "\line", and every row
// ends in CR LF, which readers ignore. HTML breaks only where a line ends, so that the rows
// of a wrapped or over-long line come out as the one line they are; TABs become spaces up
// to the control's tab stops, as the editor shows them.
void WriteRich(TCustomSyntaxMemo& memo, TRichFormat format, TextOffset from, TextOffset to,
               TStream& out);
// The same, as a string.
std::string RichText(TCustomSyntaxMemo& memo, TRichFormat format, TextOffset from, TextOffset to);

// Adds the selection in RTF and HTML to what a copy puts on the clipboard, as the control's
// ClipCopyFormats asks.
void AddRichFormats(TCustomSyntaxMemo& memo, TClipboardData& data);

} // namespace kvx
