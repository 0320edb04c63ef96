// Helpers for the highlighting tests: a document highlighted by a parser, shown as token
// runs, and the incremental-against-full comparison.
#pragma once

#include "editor/EdConsts.h"
#include "editor/Stream.h"
#include "editor/SyntaxEd.h"
#include "highlight/SynParse.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace kvx::test {

// "VALUE*COUNT VALUE*COUNT" per row, rows joined by "|".
inline std::string Runs(TCustomSyntaxMemo& memo) {
    std::string out;
    for (const TLineNode* row = memo.Store().FirstRow(); row; row = row->Next()) {
        if (!out.empty())
            out += '|';
        const uint8_t* b = row->Styles();
        for (int i = 0; i < row->Length();) {
            const uint8_t v = b ? b[i] : 0;
            int n = 1;
            while (i + n < row->Length() && (b ? b[i + n] : 0) == v)
                ++n;
            out += (i ? " " : "") + std::to_string(v) + "*" + std::to_string(n);
            i += n;
        }
    }
    return out;
}

// The document's token bytes, one per character, as one string.
inline std::string AllBytes(TCustomSyntaxMemo& memo) {
    std::string out;
    for (const TLineNode* row = memo.Store().FirstRow(); row; row = row->Next()) {
        const uint8_t* b = row->Styles();
        for (int i = 0; i < row->Length(); ++i)
            out += static_cast<char>(b ? b[i] : 0xEE);
    }
    return out;
}

inline void CompileScript(TSyntaxMemoParser& p, std::string_view script) {
    TMemoryStream in{std::string(script)};
    p.CompileFromStream(in);
}

// Highlights `text` from scratch and gives its runs; breaks are written "\r".
inline std::string Highlighted(TSyntaxMemoParser& p, std::string_view text) {
    TCustomSyntaxMemo memo;
    memo.SetWholeText(text);
    memo.SetHighlighter(&p);
    p.HighlightAll(memo);
    return Runs(memo);
}

// Applies `edits` random edits to `text` in an editor highlighted by `p`, each followed by
// the change notification, and checks after each that the token bytes equal those of a
// fresh full highlight of the same text. `pieces` are what gets typed or pasted; `wrap`
// turns word wrap on in the edited editor.
//
// With `deferred`, the editor highlights a little at a time: between the edits come
// requests for the bytes up to random places (as the view makes before painting) and
// background slices of a few rows. After every step the bytes highlighted so far must
// equal the full pass's, and every few steps the whole text is asked for and compared.
inline void IncrementalEqualsFull(TSyntaxMemoParser& p, const std::string& text,
                                  const std::vector<std::string>& pieces, int edits, uint32_t seed,
                                  bool wrap = false, bool deferred = false) {
    TCustomSyntaxMemo memo;
    if (wrap)
        memo.SetOptions(memo.Options().Include(smoWordWrap));
    memo.SetWholeText(text);
    memo.SetHighlighter(&p);
    memo.SetDeferredHighlighting(deferred);
    memo.ChangeNotification();
    std::mt19937 rng(seed);
    for (int step = 0; step < edits; ++step) {
        const TextOffset len = memo.TextLength();
        const TextOffset at = len ? static_cast<TextOffset>(rng() % (len + 1)) : 0;
        const int kind = static_cast<int>(rng() % (deferred ? 14 : 10));
        std::string edit;
        if (kind < 6 || len == 0) { // type or paste a piece
            const std::string& piece = pieces[rng() % pieces.size()];
            memo.SetSelection(at, at);
            memo.ReplaceSelection(piece);
            edit = "insert \"" + piece + "\" at " + std::to_string(at);
        } else if (kind < 9) { // delete a few characters
            const TextOffset n = 1 + static_cast<TextOffset>(rng() % 6);
            memo.SetSelection(at, std::min(len, at + n));
            memo.ReplaceSelection("");
            edit = "delete " + std::to_string(n) + " at " + std::to_string(at);
        } else if (kind < 10) { // undo the last step
            memo.ExecuteCommand(caUNDO);
            edit = "undo";
        } else if (kind < 12) { // the view shows rows down to a place
            memo.HighlightTo(at);
            edit = "highlight to " + std::to_string(at);
        } else { // a background slice
            const int rows = 1 + static_cast<int>(rng() % 4);
            memo.HighlightSlice({rows, 0});
            edit = "slice of " + std::to_string(rows) + " rows";
        }
        if (kind < 10)
            memo.ChangeNotification();
        const bool whole = deferred && step % 16 == 15;
        if (whole) {
            memo.HighlightTo(memo.TextLength());
            edit += ", then the whole text";
        }
        TCustomSyntaxMemo full;
        full.SetWholeText(memo.Text());
        p.HighlightAll(full);
        const TextOffset done = memo.HighlightedTo();
        if (done < 0 || done > memo.TextLength() || (whole && done != memo.TextLength()))
            FAIL() << "step " << step << " (seed " << seed << "), " << edit << ": highlighted to "
                   << done << " of " << memo.TextLength();
        const std::string a = AllBytes(memo).substr(0, static_cast<size_t>(done));
        const std::string b = AllBytes(full).substr(0, static_cast<size_t>(done));
        if (a != b) {
            size_t k = 0;
            while (k < a.size() && k < b.size() && a[k] == b[k])
                ++k;
            // The rows around the first difference, as text and as runs of both passes.
            const std::string doc = memo.Text();
            const size_t rowStart = doc.rfind('\r', k ? k - 1 : 0);
            const size_t from = rowStart == std::string::npos || k == 0 ? 0 : rowStart + 1;
            auto runsOf = [&](const std::string& bytes) {
                std::string out;
                for (size_t i = from; i < bytes.size() && i < from + 120; ++i)
                    out += std::to_string(uint8_t(bytes[i])) + (doc[i] == '\r' ? " | " : " ");
                return out;
            };
            std::string shown = doc.substr(from, 120);
            for (char& c : shown)
                c = c == '\r' ? '|' : c;
            FAIL() << "step " << step << " (seed " << seed << "), " << edit
                   << ": first difference at offset " << k << " (pass wrote " << p.RowsScanned
                   << " rows)"
                   << "\ntext:        " << shown << "\nincremental: " << runsOf(a)
                   << "\nfull:        " << runsOf(b);
        }
    }
}

} // namespace kvx::test
