#include "SynParse.h"

#include "Compressor.h"
#include "editor/Stream.h"

#include <cstdio>
#include <exception>
#include <new>
#include <string>

namespace kvx {

namespace {

// The inner stream is read from untrusted bytes: every read is checked against what is
// left, and every count against its range, before anything is allocated or indexed.
class TReader {
  public:
    explicit TReader(TStream& s) : s_(s) {}

    int64_t Left() { return s_.Size() - s_.Position(); }
    void Bytes(void* out, int64_t n) {
        if (n > 0 && s_.Read(out, n) != n)
            throw EStreamError(0, std::string("Unexpected end of parser stream"));
    }
    uint8_t U8() {
        uint8_t b = 0;
        Bytes(&b, 1);
        return b;
    }
    uint16_t U16() {
        uint8_t b[2];
        Bytes(b, 2);
        return static_cast<uint16_t>(b[0] | (b[1] << 8));
    }
    int32_t I32() {
        uint8_t b[4];
        Bytes(b, 4);
        return static_cast<int32_t>(uint32_t(b[0]) | (uint32_t(b[1]) << 8) |
                                    (uint32_t(b[2]) << 16) | (uint32_t(b[3]) << 24));
    }
    uint8_t Flag(const char* what) {
        const uint8_t b = U8();
        if (b > 1)
            Bad(what);
        return b;
    }
    TSet256 Set() {
        uint8_t b[32];
        Bytes(b, 32);
        return TSet256::FromBytes(b);
    }
    // A count of at most 256 records of at least `minBytes` each.
    int32_t Count(const char* what, int64_t minBytes) {
        const int32_t n = I32();
        if (n < 0 || n > 256 || n > Left() / minBytes)
            Bad(what);
        return n;
    }
    [[noreturn]] static void Bad(const std::string& what) {
        throw EStreamError(0, "Bad " + what + " in parser stream");
    }

  private:
    TStream& s_;
};

class TWriter {
  public:
    explicit TWriter(TStream& s) : s_(s) {}
    void Bytes(const void* p, int64_t n) {
        if (n > 0 && s_.Write(p, n) != n)
            throw EStreamError(0, "Could not write to stream");
    }
    void U8(uint8_t v) { Bytes(&v, 1); }
    void U16(uint16_t v) {
        const uint8_t b[2] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
        Bytes(b, 2);
    }
    void I32(int32_t v) {
        const auto u = static_cast<uint32_t>(v);
        const uint8_t b[4] = {static_cast<uint8_t>(u), static_cast<uint8_t>(u >> 8),
                              static_cast<uint8_t>(u >> 16), static_cast<uint8_t>(u >> 24)};
        Bytes(b, 4);
    }
    void Set(const TSet256& s) {
        const std::array<uint8_t, 32> b = s.Bytes();
        Bytes(b.data(), 32);
    }

  private:
    TStream& s_;
};

// ---- Records ---------------------------------------------------------------------------

void WriteClass(TWriter& w, const TSM_CharGroup& g) {
    // Extra ranges have no stored layout and nothing this program makes has any.
    if (!g.ExtraRanges().empty())
        throw EStreamError(0, "A character class with extra ranges cannot be stored");
    w.Set(g.Members());
    w.I32(0);
    w.U8(g.Negated() ? 1 : 0);
}

uint16_t ReadClass(TReader& r, TSM_CharGroupManager& classes) {
    const TSet256 members = r.Set();
    if (r.I32() != 0)
        TReader::Bad("character class range count");
    const bool negated = r.Flag("character class negation flag");
    return classes.Add(TSM_CharGroup(members, negated));
}

void CheckFunction(uint8_t isMatch, int32_t function) {
    if (!isMatch && !IsKnownFunction(function))
        TReader::Bad("function number " + std::to_string(function));
}

void WriteStart(TWriter& w, const TStartPart& s, const TSM_CharGroupManager& classes) {
    w.U8(s.Flag);
    WriteClass(w, classes.At(s.Class));
    w.U8(s.IsFunction);
    if (s.IsFunction) {
        w.U8(s.IsMatch);
        w.I32(s.Function);
    }
}

TStartPart ReadStart(TReader& r, TSM_CharGroupManager& classes) {
    TStartPart s;
    s.Flag = r.Flag("rule part flag");
    s.Class = ReadClass(r, classes);
    s.IsFunction = r.Flag("rule part function flag");
    if (s.IsFunction) {
        s.IsMatch = r.Flag("rule part match flag");
        s.Function = r.I32();
        CheckFunction(s.IsMatch, s.Function);
    }
    return s;
}

void WriteEnd(TWriter& w, const TEndPart& e, const TSM_CharGroupManager& classes) {
    w.U8(e.Include);
    w.U8(e.IsFunction);
    if (e.IsFunction) {
        w.U8(e.IsMatch);
        w.I32(e.Function);
        return;
    }
    if (e.Count > 4)
        throw EStreamError(0, "An end part with more than four classes cannot be stored");
    w.U8(e.Count);
    for (int i = 0; i < e.Count; ++i)
        WriteClass(w, classes.At(e.Classes[i]));
}

TEndPart ReadEnd(TReader& r, TSM_CharGroupManager& classes) {
    TEndPart e;
    e.Include = r.Flag("end part include flag");
    e.IsFunction = r.Flag("end part function flag");
    if (e.IsFunction) {
        e.IsMatch = r.Flag("end part match flag");
        e.Function = r.I32();
        CheckFunction(e.IsMatch, e.Function);
        return e;
    }
    e.Count = r.U8();
    if (e.Count > 4)
        TReader::Bad("end part class count");
    for (int i = 0; i < e.Count; ++i)
        e.Classes[i] = ReadClass(r, classes);
    return e;
}

void WriteRule(TWriter& w, const TTokenRule& t, const TSM_CharGroupManager& classes) {
    WriteStart(w, t.Start, classes);
    w.Set(t.Valid);
    WriteStart(w, t.Body, classes);
    WriteEnd(w, t.End, classes);
    w.U8(t.Value);
}

TTokenRule ReadRule(TReader& r, TSM_CharGroupManager& classes) {
    TTokenRule t;
    t.Start = ReadStart(r, classes);
    t.Valid = r.Set();
    t.Body = ReadStart(r, classes);
    t.End = ReadEnd(r, classes);
    t.Value = r.U8();
    return t;
}

// The smallest stored start part (a flag, a class of 37 bytes, the function flag), end part
// (no classes) and token rule.
constexpr int64_t kMinSpec = 1 + 37 + 1;
constexpr int64_t kMinEnd = 3;
constexpr int64_t kMinRule = kMinSpec + 32 + kMinSpec + kMinEnd + 1;

// Marks an index as seen, refusing a second record for it.
void Once(TSet256& seen, int index, const char* what) {
    if (seen.Has(index))
        TReader::Bad(std::string("duplicate ") + what);
    seen.Include(index);
}

} // namespace

// ---- TSyntaxMemoParser -----------------------------------------------------------------

TSyntaxMemoParser::TSyntaxMemoParser()
    : keywords_(std::make_unique<TSyntaxKeywords>()), settings_(std::make_unique<TSM_Settings>()) {
    Reset();
}

TSyntaxMemoParser::~TSyntaxMemoParser() {
    DetachAll();
}

void TSyntaxMemoParser::Reset() {
    // The scanning state points into the tables: the next scan starts afresh.
    scan_ = {};
    ++tablesVersion_;
    Tables = {};
    *keywords_ = TSyntaxKeywords();
    settings_->ResetDefaults();
}

void TSyntaxMemoParser::MoveTablesFrom(TSyntaxMemoParser& other) {
    scan_ = {};
    ++tablesVersion_;
    Tables = std::move(other.Tables);
    // The tree and the settings keep their identity: editors and the scanner hold them.
    *keywords_ = std::move(*other.keywords_);
    settings_->Assign(*other.settings_);
}

void TSyntaxMemoParser::WriteTables(TStream& out, int version) const {
    TWriter w(out);
    const TSM_CharGroupManager& classes = keywords_->Classes();
    settings_->Write(out, version);

    // Keyword block: words in the order they were entered, ended by a zero length.
    const std::vector<TKeywords::TWord>& words = keywords_->Words();
    w.I32(keywords_->CaseSensitive() ? 1 : 0);
    w.I32(static_cast<int32_t>(words.size()));
    for (const TKeywords::TWord& word : words) {
        if (word.Text.size() > 255)
            throw EStreamError(0, "The keyword '" + word.Text.substr(0, 40) +
                                      "...' is longer than 255 characters");
        w.U8(static_cast<uint8_t>(word.Text.size()));
        w.Bytes(word.Text.data(), static_cast<int64_t>(word.Text.size()));
        WriteClass(w, classes.At(word.Follow));
        w.Set(word.States);
        w.I32(word.Value);
    }
    w.U8(0);

    auto count = [](const auto& table) {
        int32_t n = 0;
        for (const auto& entry : table)
            n += entry ? 1 : 0;
        return n;
    };
    w.I32(count(Tables.Handlers));
    for (int v = 0; v < 256; ++v) {
        if (!Tables.Handlers[v])
            continue;
        w.U8(static_cast<uint8_t>(v));
        WriteStart(w, Tables.Handlers[v]->Body, classes);
        WriteEnd(w, Tables.Handlers[v]->End, classes);
    }
    w.I32(count(Tables.TokenRules));
    for (int c = 0; c < 256; ++c) {
        if (!Tables.TokenRules[c])
            continue;
        w.U8(static_cast<uint8_t>(c));
        WriteRule(w, *Tables.TokenRules[c], classes);
    }
    int32_t contexts = 0;
    for (const TSet256& s : Tables.ContextStates)
        contexts += s == Tables.StartStates ? 0 : 1;
    w.I32(contexts);
    for (int v = 0; v < 256; ++v) {
        if (Tables.ContextStates[v] == Tables.StartStates)
            continue;
        w.U8(static_cast<uint8_t>(v));
        w.Set(Tables.ContextStates[v]);
    }
    w.I32(count(Tables.TokenInfo));
    for (int v = 0; v < 256; ++v) {
        if (!Tables.TokenInfo[v])
            continue;
        const TTokenInfo& t = *Tables.TokenInfo[v];
        w.U8(static_cast<uint8_t>(v));
        w.Set(t.Valid);
        w.Set(t.Enter);
        w.Set(t.Leave);
        w.U8(t.Container);
        w.U8(t.NoTransition);
        w.U8(t.StackFlags);
    }
    w.I32(Tables.NoStateTables ? 0 : count(Tables.StateTokenRules));
    if (!Tables.NoStateTables) {
        for (int state = 0; state < 256; ++state) {
            const TStateTable* table = Tables.StateTokenRules[state].get();
            if (!table)
                continue;
            w.U8(static_cast<uint8_t>(state));
            w.I32(count(table->Rules));
            // The stored layout repeats the table's range list after each of its rules.
            for (int c = 0; c < 256; ++c) {
                if (!table->Rules[c])
                    continue;
                w.U8(static_cast<uint8_t>(c));
                WriteRule(w, *table->Rules[c], classes);
                w.I32(static_cast<int32_t>(table->Ranges.size()));
                for (const TRangeEntry& e : table->Ranges) {
                    w.U16(e.Low);
                    w.U16(e.High);
                    WriteRule(w, e.Rule, classes);
                }
            }
        }
    }
    w.Set(Tables.AnchorTokens);
    w.Set(Tables.BoundStates);
    w.Set(Tables.StartStates);
    w.U8(Tables.UsesMatch ? 1 : 0);
}

void TSyntaxMemoParser::ReadTables(TStream& in, int version) {
    Reset();
    TReader r(in);
    settings_->Read(in, version);
    TSM_CharGroupManager& classes = keywords_->Classes();

    const int32_t caseFlag = r.I32();
    if (caseFlag != 0 && caseFlag != 1)
        TReader::Bad("keyword case flag");
    const int32_t wordCount = r.I32();
    // A word takes at least its length, one character, a class, a set and a value.
    if (wordCount > r.Left() / (1 + 1 + 37 + 32 + 4))
        TReader::Bad("keyword count");
    keywords_->SetCaseSensitive(caseFlag != 0);
    int32_t wordsRead = 0;
    for (uint8_t length = r.U8(); length != 0; length = r.U8()) {
        if (wordCount <= 0 || ++wordsRead > wordCount)
            TReader::Bad("keyword list (more words than its count)");
        std::string text(length, '\0');
        r.Bytes(text.data(), length);
        const TSM_CharGroup follow = classes.At(ReadClass(r, classes));
        const TSet256 states = r.Set();
        const int32_t value = r.I32();
        if (value < 0 || value > 255)
            TReader::Bad("keyword token value");
        keywords_->Add(text, caseFlag != 0, value, states, follow);
    }
    if (wordCount > 0 && wordsRead != wordCount)
        TReader::Bad("keyword list (fewer words than its count)");

    TSet256 seen;
    for (int32_t n = r.Count("handler count", 1 + kMinSpec + kMinEnd); n > 0; --n) {
        const uint8_t v = r.U8();
        Once(seen, v, "handler");
        THandler h;
        h.Body = ReadStart(r, classes);
        h.End = ReadEnd(r, classes);
        Tables.Handlers[v] = h;
    }
    seen = {};
    for (int32_t n = r.Count("token rule count", 1 + kMinRule); n > 0; --n) {
        const uint8_t c = r.U8();
        Once(seen, c, "token rule");
        Tables.TokenRules[c] = ReadRule(r, classes);
    }
    TSet256 contexts;
    for (int32_t n = r.Count("context state count", 1 + 32); n > 0; --n) {
        const uint8_t v = r.U8();
        Once(contexts, v, "context state entry");
        Tables.ContextStates[v] = r.Set();
    }
    seen = {};
    for (int32_t n = r.Count("token info count", 1 + 96 + 3); n > 0; --n) {
        const uint8_t v = r.U8();
        Once(seen, v, "token info record");
        TTokenInfo t;
        t.Valid = r.Set();
        t.Enter = r.Set();
        t.Leave = r.Set();
        t.Container = r.Flag("token container flag");
        t.NoTransition = r.Flag("token no-transition flag");
        t.StackFlags = r.U8();
        if (t.StackFlags > 15)
            TReader::Bad("token stack flags");
        Tables.TokenInfo[v] = t;
    }
    seen = {};
    for (int32_t n = r.Count("state table count", 1 + 4); n > 0; --n) {
        const uint8_t state = r.U8();
        Once(seen, state, "state table");
        auto table = std::make_unique<TStateTable>();
        TSet256 chars;
        for (int32_t k = r.Count("state rule count", 1 + kMinRule + 4); k > 0; --k) {
            const uint8_t c = r.U8();
            Once(chars, c, "state token rule");
            table->Rules[c] = ReadRule(r, classes);
            // Each rule is followed by the table's range list; the last one read counts.
            std::vector<TRangeEntry> ranges;
            for (int32_t e = r.Count("range count", 4 + kMinRule); e > 0; --e) {
                TRangeEntry entry;
                entry.Low = r.U16();
                entry.High = r.U16();
                if (entry.Low > entry.High || entry.High > 255)
                    TReader::Bad("character range");
                entry.Rule = ReadRule(r, classes);
                ranges.push_back(entry);
            }
            table->Ranges = std::move(ranges);
        }
        Tables.StateTokenRules[state] = std::move(table);
        Tables.StatesWithRules.Include(state);
    }
    Tables.AnchorTokens = r.Set();
    Tables.BoundStates = r.Set();
    Tables.StartStates = r.Set();
    // Entries left out were equal to the start states when written; giving them that value
    // again makes a second save write exactly the same entries.
    for (int v = 0; v < 256; ++v)
        if (!contexts.Has(v))
            Tables.ContextStates[v] = Tables.StartStates;
    Tables.UsesMatch = r.Flag("match flag");
    Tables.NoStateTables = Tables.StatesWithRules.Empty();
    if (r.Left() != 0)
        TReader::Bad("parser stream (bytes after its end)");
}

void TSyntaxMemoParser::WriteStored(TStream& out) const {
    try {
        TMemoryStream inner;
        WriteTables(inner, kStoredVersion);
        TWriter w(out);
        w.U16(kStoredVersion);
        w.I32(static_cast<int32_t>(inner.Size()));
        inner.Seek(0, TSeekOrigin::Begin);
        TCompressor c;
        c.StreamMode = true;
        c.Method = TCompressor::cmBlock;
        c.InputStream = &inner;
        c.OutputStream = &out;
        c.Compress();
    } catch (const std::bad_alloc&) {
        throw ESyntaxMemo(0, Name + ": Not enough memory for operation");
    } catch (const std::exception& e) {
        throw ESyntaxMemo(0, Name + ": " + e.what());
    }
}

void TSyntaxMemoParser::ReadStored(TStream& in) {
    try {
        TReader r(in);
        const uint16_t version = r.U16();
        if (version < kOldestVersion) {
            Reset();
            if (OnMessage) {
                char text[400];
                std::snprintf(text, sizeof text,
                              "%s: DFM file saved by different version of "
                              "TSyntaxMemoParser.\n\rRecompile script to update DFM file.\n\r"
                              "Expected version was %d read version was %d",
                              Name.c_str(), int(kStoredVersion), int(version));
                OnMessage(text);
            }
            return;
        }
        const auto length = static_cast<uint32_t>(r.I32());
        TMemoryStream inner;
        TCompressor c;
        c.StreamMode = true;
        c.InputStream = &in;
        c.OutputStream = &inner;
        // The container must hold exactly the inner length stored beside it.
        c.ExpectedSize = length;
        c.Decompress();
        inner.Seek(0, TSeekOrigin::Begin);
        // Read into a fresh parser: a stream that turns out bad half way leaves this one as
        // it was.
        TSyntaxMemoParser fresh;
        fresh.Name = Name;
        fresh.ReadTables(inner, version);
        MoveTablesFrom(fresh);
    } catch (const std::bad_alloc&) {
        throw ESyntaxMemo(0, Name + ": Not enough memory for operation");
    } catch (const std::exception& e) {
        throw ESyntaxMemo(0, Name + ": " + e.what());
    }
}

void TSyntaxMemoParser::ExportToRegistry() const {
    throw ESyntaxMemo(0, "Registry interface disabled in: " + Name);
}

bool TSyntaxMemoParser::EditProperties(int pageMask,
                                       const std::function<bool(TSyntaxMemoParser&, int)>& dialog) {
    if (OnModifyProperties) {
        OnModifyProperties(*this);
        return false;
    }
    // The registry export that would follow a confirmed dialog does not exist here.
    return dialog ? dialog(*this, pageMask) : false;
}

} // namespace kvx
