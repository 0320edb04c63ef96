// The highlighting scanner: one token per call from the compiled tables. The pass that writes
// the tokens into the rows' token bytes after an edit is HighlightPass.cpp.
#include "SynParse.h"
#include "editor/EdStream.h"
#include "editor/RowCursor.h"
#include "editor/SyntaxEd.h"

#include <algorithm>
#include <optional>

namespace kvx {

namespace {

bool IsDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}
bool IsLetter(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool IsWebChar(unsigned char c) {
    return c == '#' || c == '&' || (c >= '-' && c <= ':') || c == '=' || (c >= '?' && c <= 'Z') ||
           c == '\\' || c == '_' || (c >= 'a' && c <= 'z') || c == '|' || c == '~';
}
bool IsMailChar(unsigned char c) {
    return IsDigit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '~' || c == '.' ||
           c == '-' || c == '@';
}

constexpr unsigned char kCR = 13;

} // namespace

// ---- Scanning state --------------------------------------------------------------------

void TSyntaxMemoParser::PrepareClasses() {
    const TSM_CharGroupManager& classes = keywords_->Classes();
    scan_.Classes.resize(static_cast<size_t>(classes.Count()));
    for (int i = 0; i < classes.Count(); ++i) {
        TSet256 flat;
        const TSM_CharGroup& g = classes.At(i);
        for (int c = 0; c < 256; ++c)
            if (g.Contains(static_cast<uint8_t>(c)))
                flat.Include(c);
        scan_.Classes[static_cast<size_t>(i)] = flat;
    }
    scan_.ClassesReady = true;
}

const TSet256& TSyntaxMemoParser::ClassSet(uint16_t index) const {
    if (index >= scan_.Classes.size())
        throw ESyntaxMemo(0, "Invalid Set ID (" + std::to_string(index) + ")");
    return scan_.Classes[index];
}

bool TSyntaxMemoParser::InClass(uint16_t index, unsigned char c) const {
    return ClassSet(index).Has(c);
}

void TSyntaxMemoParser::ChooseTable() {
    scan_.Rules = &Tables.TokenRules;
    scan_.Ranges = nullptr;
    if (Tables.NoStateTables)
        return;
    const int state = scan_.Current.LowestCommon(Tables.StatesWithRules);
    if (state >= 0 && Tables.StateTokenRules[state]) {
        scan_.Rules = &Tables.StateTokenRules[state]->Rules;
        scan_.Ranges = &Tables.StateTokenRules[state]->Ranges;
    }
}

const TTokenRule* TSyntaxMemoParser::RuleFor(unsigned char c) const {
    if (const auto& r = (*scan_.Rules)[c])
        return &*r;
    if (scan_.Ranges)
        for (const TRangeEntry& e : *scan_.Ranges)
            if (c >= e.Low && c <= e.High)
                return &e.Rule;
    return nullptr;
}

void TSyntaxMemoParser::EnterStates(const TSet256& states) {
    scan_.Failed = false;
    scan_.Current = states;
    scan_.Stack.clear();
    scan_.Untracked = 0;
    scan_.ContainerMode = false;
    scan_.ContainerEnd = 0;
    scan_.Busy = false;
    if (!scan_.ClassesReady || scan_.Classes.size() != size_t(keywords_->Classes().Count()))
        PrepareClasses();
    scan_.HasTables = !settings_->KeywordTables().empty();
    StatesChanged();
}

void TSyntaxMemoParser::StatesChanged() {
    ChooseTable();
    settings_->KeywordLookup().CurrentStates = scan_.Current;
}

void TSyntaxMemoParser::Restart(uint8_t tokenValue) {
    EnterStates(ContextFor(tokenValue));
}

// ---- Built-in token functions ----------------------------------------------------------
// Each reads from the cursor, adds what it takes to `length` and answers whether it
// succeeded. A function that fails leaves the cursor and the length as they were.

bool TSyntaxMemoParser::CallFunction(int32_t fn, TRowCursor& in, int32_t& length,
                                     TextOffset tokenStart) {
    const TextOffset from = in.Pos();
    const int32_t before = length;
    auto take = [&] {
        in.Advance();
        ++length;
    };
    auto fail = [&] {
        in.SetPos(from);
        length = before;
        return false;
    };
    auto digits = [&] {
        while (!in.AtEnd() && IsDigit(in.Current()))
            take();
    };
    // Digits, a fraction only when a digit follows the point, an exponent only when digits
    // follow the letter and its sign: "1.x" is the number 1, "2e" the number 2.
    auto number = [&] {
        const TextOffset numberStart = in.Pos();
        digits();
        if (!in.AtEnd() && in.Current() == '.') {
            in.Advance();
            const bool fraction = !in.AtEnd() && IsDigit(in.Current());
            in.Back();
            if (fraction) {
                take();
                digits();
            }
        }
        if (in.Pos() > numberStart && !in.AtEnd() && (in.Current() == 'e' || in.Current() == 'E')) {
            const TextOffset mark = in.Pos();
            in.Advance();
            int extra = 1;
            if (!in.AtEnd() && (in.Current() == '+' || in.Current() == '-')) {
                in.Advance();
                ++extra;
            }
            if (!in.AtEnd() && IsDigit(in.Current())) {
                length += extra;
                digits();
            } else {
                in.SetPos(mark);
            }
        }
        return in.Pos() > numberStart;
    };
    // A quoted string ending before the break of a line where it is not closed. C strings
    // take the character after a backslash; in Pascal strings a doubled quote stands for one.
    auto quoted = [&](unsigned char quote, bool pascal) {
        if (in.AtEnd() || in.Current() != quote)
            return false;
        take();
        while (!in.AtEnd()) {
            const unsigned char c = in.Current();
            if (c == kCR)
                break;
            take();
            if (c == quote) {
                if (!pascal || in.AtEnd() || in.Current() != quote)
                    break;
                take();
            } else if (c == '\\' && !pascal && !in.AtEnd()) {
                take();
            }
        }
        return true;
    };

    if (fn >= 3 && fn <= 9)
        fn += 7;
    switch (fn) {
    case 0: { // one character of a quoted string, a doubled quote standing for one
        if (in.AtEnd())
            return false;
        const unsigned char c = in.Current();
        if (c == kCR)
            return false;
        if (c != '\'') {
            take();
            return true;
        }
        in.Advance();
        if (!in.AtEnd() && in.Current() == '\'') {
            in.Advance();
            length += 2;
            return true;
        }
        return fail();
    }
    case 1: { // a run of URL characters without a final point
        while (!in.AtEnd() && IsWebChar(in.Current()))
            take();
        if (length > before && in.Before() == '.') {
            in.Back();
            --length;
        }
        return length > before || fail();
    }
    case 2: { // the rest of a line that the token began
        if (tokenStart > 0) {
            TRowCursor probe = in;
            probe.SetPos(tokenStart);
            if (probe.Before() != kCR)
                return false;
        }
        while (!in.AtEnd() && in.Current() != kCR)
            take();
        return true;
    }
    case 10:
        if (in.AtEnd() || !IsLetter(in.Current()))
            return false;
        while (!in.AtEnd() && (IsLetter(in.Current()) || IsDigit(in.Current())))
            take();
        return true;
    case 11:
        return number() || fail();
    case 12:
        return quoted('\'', true);
    case 13:
        return quoted('"', false);
    case 14:
    case 20:
        return quoted('\'', false);
    case 15:
        if (!in.AtEnd() && (in.Current() == '+' || in.Current() == '-'))
            take();
        return number() || fail();
    case 16:
        digits();
        return length > before;
    case 17: { // mail address: letters, digits and "~.-" around an at sign
        bool at = false;
        while (!in.AtEnd() && IsMailChar(in.Current())) {
            at = at || in.Current() == '@';
            take();
        }
        if (!at)
            return fail();
        if (in.Before() == '.') {
            in.Back();
            --length;
        }
        return true;
    }
    case 18: { // HTML attribute string; an unclosed one ends with its line's break
        if (in.AtEnd() || in.Current() != '"')
            return false;
        take();
        while (!in.AtEnd()) {
            const unsigned char c = in.Current();
            take();
            if (c == '"' || c == kCR)
                break;
        }
        return true;
    }
    case 19: { // script line comment that stops before the "-->" closing its HTML comment
        while (!in.AtEnd() && in.Current() != kCR) {
            if (in.Current() != '-') {
                take();
                continue;
            }
            const TextOffset dashes = in.Pos();
            int n = 0;
            while (!in.AtEnd() && in.Current() == '-') {
                in.Advance();
                ++n;
            }
            if (n >= 2 && !in.AtEnd() && in.Current() == '>') {
                in.SetPos(dashes + n - 2);
                length += n - 2;
                break;
            }
            length += n;
        }
        return length > before || fail();
    }
    default:
        // Tables are checked when compiled and loaded; a number that slips through takes
        // nothing rather than reading a table that does not exist.
        return false;
    }
}

bool TSyntaxMemoParser::CustomParse(int32_t id, TRowCursor& in, int32_t& length, int32_t value) {
    if (!OnCustomParse || !scan_.Stream)
        return false;
    TEdStream& s = *scan_.Stream;
    s.SetPosition(in.Pos());
    int32_t len = length;
    int32_t v = value;
    const bool taken = OnCustomParse(*this, id, s, len, v);
    // The handler edited the document or replaced the tables: the cursor's row and the
    // rule being followed may be gone, so nothing more is read from them.
    if (HandlerChangedThings())
        throw ECutShort{};
    if (taken) {
        in.SetPos(s.Pos());
        length = std::max(len, length);
    }
    return taken;
}

bool TSyntaxMemoParser::EndMatches(const TEndPart& end, TRowCursor& in, int32_t& length,
                                   TextOffset tokenStart, int32_t value) {
    if (end.IsMatch)
        return CustomParse(end.Function, in, length, value);
    if (end.IsFunction)
        return CallFunction(end.Function, in, length, tokenStart);
    // Past the end of the text the character read is 0, as for a word's following class:
    // an end such as "anything but a blank" is met there, so the last token of a text ends
    // as it would before more text.
    const TextOffset from = in.Pos();
    for (int i = 0; i < end.Count; ++i) {
        if (!InClass(end.Classes[static_cast<size_t>(i)], in.Current())) {
            in.SetPos(from);
            return false;
        }
        in.Advance();
    }
    if (end.Include)
        length += end.Count;
    else
        in.SetPos(from);
    return true;
}

bool TSyntaxMemoParser::BodyTakes(const TStartPart& body, TRowCursor& in, int32_t& length,
                                  TextOffset tokenStart, int32_t value) {
    const TextOffset from = in.Pos();
    bool taken;
    if (body.IsMatch) {
        taken = CustomParse(body.Function, in, length, value);
    } else if (body.IsFunction) {
        taken = CallFunction(body.Function, in, length, tokenStart);
    } else {
        taken = !in.AtEnd() && InClass(body.Class, in.Current());
        if (taken) {
            in.Advance();
            ++length;
        }
    }
    // A step that takes nothing would let the loop run for ever.
    return taken && in.Pos() > from;
}

// ---- One token -------------------------------------------------------------------------

// Most bodies are a class of characters with an end of one class or none (comments,
// blanks, numbers in a base): this runs them without a call per character. It follows the
// general loop exactly: 1 the token is complete, 0 a miss, -1 another shape. With
// `endCompletes` the end of the text before the first body character completes the token.
int TSyntaxMemoParser::ClassRun(const TStartPart& body, const TEndPart& end, bool checkEnd,
                                bool endCompletes, TRowCursor& in) const {
    if (body.IsFunction || body.IsMatch || end.IsFunction || end.IsMatch || end.Count > 1)
        return -1;
    const TSet256& bodySet = ClassSet(body.Class);
    const TSet256* endSet = end.Count ? &ClassSet(end.Classes[0]) : nullptr;
    for (;;) {
        if (checkEnd) {
            if (!endSet)
                return 1;
            // 0 past the end of the text, as in the general end test.
            if (endSet->Has(in.Current())) {
                if (end.Include)
                    in.Advance();
                return 1;
            }
        }
        checkEnd = true;
        if (in.AtEnd())
            return endCompletes ? 1 : 0;
        if (!bodySet.Has(in.Current()))
            return 0;
        in.Advance();
        if (!endSet || in.AtEnd())
            return 1;
    }
}

// A body of one class and an end of classes (or none) test nothing but the characters at
// their places: a failure depends on where the body began, not on the states or the start.
bool TSyntaxMemoParser::ClassesOnly(const TStartPart& body, const TEndPart& end) {
    return !body.IsFunction && !body.IsMatch && !end.IsFunction && !end.IsMatch;
}

uint8_t TSyntaxMemoParser::ScanToken(TRowCursor& in, int32_t& length) {
    length = 0;
    if (scan_.Busy && !scan_.ContainerMode)
        return 0;
    const TextOffset start = in.Pos();
    if (in.AtEnd())
        return 0;
    const unsigned char c = in.Current();

    // Words of the language, then of its additional keyword tables.
    uint8_t wordValue = 0;
    int wordLength = keywords_->MatchLength(in, scan_.Current, wordValue);
    bool fromTable = false;
    if (wordLength == 0 && scan_.HasTables) {
        in.SetPos(start);
        TKeywordLookup& lookup = settings_->KeywordLookup();
        wordLength = lookup.MatchLength(in, lookup.CurrentStates, wordValue);
        fromTable = wordLength > 0;
    }
    bool matched = wordLength > 0;
    length = matched ? wordLength : 1;
    in.SetPos(start + length);
    int32_t value = matched ? wordValue : 0;
    bool done = false;

    auto miss = [&] {
        in.SetPos(start + 1);
        length = 1;
        value = 0;
        matched = false;
        fromTable = false;
    };

    if (const auto& h = Tables.Handlers[static_cast<size_t>(value)]) {
        const bool endEmpty = h->End.Count == 0 && !h->End.IsFunction && !h->End.IsMatch;
        bool checkEnd = h->Body.Flag && !endEmpty;
        // A keyword whose handler reads a class of characters, as the last text of the
        // document ("//", "/*" just typed at its end), is the start of its token already:
        // the text ends before the body has anything to take, not because the body refuses.
        const bool endCompletes = matched && !h->Body.IsFunction;
        const bool remember = ClassesOnly(h->Body, h->End);
        const TextOffset bodyFrom = in.Pos();
        if (remember && KnownToFail(h->Body, h->End, bodyFrom)) {
            miss();
        } else if (const int run = ClassRun(h->Body, h->End, checkEnd, endCompletes, in);
                   run >= 0) {
            if (run) {
                done = true;
            } else {
                NoteFailure(h->Body, h->End, bodyFrom, in.Pos());
                miss();
            }
        } else {
            for (;;) {
                if (checkEnd && EndMatches(h->End, in, length, start, value)) {
                    done = true;
                    break;
                }
                checkEnd = !endEmpty;
                if (h->Body.IsFunction && !h->Body.IsMatch && h->Body.Function >= 10 &&
                    h->Body.Function <= 20) {
                    if (CallFunction(h->Body.Function, in, length, start))
                        done = true;
                    else
                        miss();
                    break;
                }
                if (endCompletes && in.AtEnd()) {
                    done = true;
                    break;
                }
                if (!BodyTakes(h->Body, in, length, start, value)) {
                    if (remember)
                        NoteFailure(h->Body, h->End, bodyFrom, in.Pos());
                    miss();
                    break;
                }
                if (endEmpty || in.AtEnd()) {
                    done = true;
                    break;
                }
            }
        }
    }

    if (!matched && !done) {
        const TTokenRule* r = RuleFor(c);
        if (r && r->Valid.Meets(scan_.Current)) {
            if (r->Start.IsFunction) {
                in.SetPos(start);
                length = 0;
                if (CallFunction(r->Start.Function, in, length, start) && in.Pos() > start)
                    value = r->Value;
                else
                    miss();
            } else {
                in.SetPos(start + 1);
                length = 1;
                bool checkEnd = r->Body.Flag;
                const bool remember = ClassesOnly(r->Body, r->End);
                if (remember && KnownToFail(r->Body, r->End, start + 1)) {
                    miss();
                } else if (const int run = ClassRun(r->Body, r->End, checkEnd, false, in);
                           run >= 0) {
                    if (run) {
                        value = r->Value;
                    } else {
                        NoteFailure(r->Body, r->End, start + 1, in.Pos());
                        miss();
                    }
                } else {
                    for (;;) {
                        if (checkEnd && EndMatches(r->End, in, length, start, r->Value)) {
                            value = r->Value;
                            break;
                        }
                        checkEnd = true;
                        if (!BodyTakes(r->Body, in, length, start, r->Value)) {
                            if (remember)
                                NoteFailure(r->Body, r->End, start + 1, in.Pos());
                            miss();
                            break;
                        }
                        if (in.AtEnd()) {
                            value = r->Value;
                            break;
                        }
                    }
                }
            }
        } else {
            miss();
        }
    }
    FinishToken(in, start, length, value, fromTable);
    return static_cast<uint8_t>(value);
}

void TSyntaxMemoParser::FinishToken(TRowCursor& in, TextOffset start, int32_t& length,
                                    int32_t& value, bool fromTable) {
    if (!scan_.ContainerMode)
        scan_.Saved = scan_.Current;
    const TTokenInfo* info =
        Tables.TokenInfo[static_cast<size_t>(value)] ? &*Tables.TokenInfo[value] : nullptr;
    if ((info && !fromTable && !info->Valid.Meets(scan_.Current)) || in.Pos() <= start) {
        // Not a token in these states: one plain character, and nothing changes.
        in.SetPos(start + 1);
        value = 0;
        info = nullptr;
    } else if (info) {
        auto pop = [&] {
            // An empty stack keeps the states as they are, and so does a pop that answers
            // a push the stack had no room for.
            if (scan_.Untracked > 0) {
                --scan_.Untracked;
            } else if (!scan_.Stack.empty()) {
                scan_.Current = scan_.Stack.back();
                scan_.Stack.pop_back();
            }
        };
        // The text decides how deep pushes go; the stack keeps the outermost levels only,
        // so that a document of nothing but pushes cannot take all memory.
        auto push = [&] {
            if (scan_.Stack.size() < kMaxStateStack)
                scan_.Stack.push_back(scan_.Current);
            else
                ++scan_.Untracked;
        };
        if (info->StackFlags & sfPopBefore)
            pop();
        else if (info->StackFlags & sfPushBefore)
            push();
        if (!info->NoTransition) {
            scan_.Current |= info->Enter;
            scan_.Current.Remove(info->Leave);
        }
        if (info->StackFlags & sfPopAfter)
            pop();
        else if (info->StackFlags & sfPushAfter)
            push();
        if (info->StackFlags || !info->NoTransition)
            StatesChanged();
    }
    length = in.Pos() - start;

    if (scan_.ContainerMode) {
        if (in.Pos() >= scan_.ContainerEnd || in.AtEnd()) {
            scan_.Current = scan_.Saved;
            StatesChanged();
        }
        scan_.ContainerMode = in.Pos() < scan_.ContainerEnd;
    } else if (info && info->Container) {
        scan_.ContainerEnd = in.Pos();
        scan_.ContainerMode = true;
    }
    scan_.Busy = scan_.ContainerMode;
}

void TSyntaxMemoParser::BeginScan(TTextStore& store) {
    guard_ = {true, &store, store.RowsFreed(), tablesVersion_};
}

bool TSyntaxMemoParser::HandlerChangedThings() const {
    return (guard_.Store && guard_.Store->RowsFreed() != guard_.RowsFreed) ||
           guard_.Tables != tablesVersion_;
}

uint8_t TSyntaxMemoParser::NextToken(TCustomSyntaxMemo& editor, TEdStream& in, int32_t& length) {
    length = 0;
    TTextStore& store = editor.Store();
    // Asked from a handler while a scan runs: the parser is busy.
    if (guard_.Running || !store.FirstRow() || in.AtEnd())
        return 0;
    if (!scan_.ClassesReady)
        EnterStates(Tables.StartStates);
    TRowCursor cursor(store.RowAt(&editor, in.Pos()), store.TextLength());
    cursor.SetPos(in.Pos());
    scan_.Stream = &in;
    // The text may have changed since the caller's last token.
    scan_.Failed = false;
    BeginScan(store);
    struct TEnd {
        TSyntaxMemoParser& p;
        ~TEnd() {
            p.scan_.Stream = nullptr;
            p.guard_ = {};
        }
    } end{*this};
    uint8_t value = 0;
    try {
        value = ScanToken(cursor, length);
    } catch (const ECutShort&) {
        // A `match` handler edited the document or the tables under the scan: no token.
        length = 0;
        return 0;
    }
    in.SetPosition(cursor.Pos());
    return value;
}

// Only an editor that took this parser as its highlighter is remembered: it tells the
// parser when it goes away. One that is merely scanned once must not be kept.
void TSyntaxMemoParser::Attach(TCustomSyntaxMemo& editor) {
    if (std::find(editors_.begin(), editors_.end(), &editor) == editors_.end())
        editors_.push_back(&editor);
}

void TSyntaxMemoParser::Detach(TCustomSyntaxMemo& editor) {
    std::erase(editors_, &editor);
    std::erase_if(deferred_, [&](const TDeferred& d) { return d.Memo == &editor; });
}

void TSyntaxMemoParser::DetachAll() {
    const std::vector<TCustomSyntaxMemo*> editors = editors_;
    editors_.clear();
    deferred_.clear();
    for (TCustomSyntaxMemo* e : editors)
        e->HighlighterGone(this);
}

} // namespace kvx
