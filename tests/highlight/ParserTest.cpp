#include "editor/Stream.h"
#include "highlight/Compressor.h"
#include "highlight/SynParse.h"

#include <gtest/gtest.h>

#include <string>

namespace kvx {
namespace {

TSM_CharGroup Class(std::string_view members, bool negated = false) {
    TSet256 s;
    for (char c : members)
        s.Include(static_cast<unsigned char>(c));
    return TSM_CharGroup(s, negated);
}

std::string Stored(const TSyntaxMemoParser& p) {
    TMemoryStream s;
    p.WriteStored(s);
    return s.Data();
}

// The stored form as a parser of another version would write it.
std::string StoredAs(const TSyntaxMemoParser& p, uint16_t version) {
    TMemoryStream inner;
    p.WriteTables(inner, version);
    TMemoryStream out;
    const char head[6] = {static_cast<char>(version),
                          static_cast<char>(version >> 8),
                          static_cast<char>(inner.Size()),
                          static_cast<char>(inner.Size() >> 8),
                          static_cast<char>(inner.Size() >> 16),
                          static_cast<char>(inner.Size() >> 24)};
    out.Write(head, 6);
    inner.Seek(0, TSeekOrigin::Begin);
    TCompressor c;
    c.StreamMode = true;
    c.InputStream = &inner;
    c.OutputStream = &out;
    c.Compress();
    return out.Data();
}

std::string Inner(const TSyntaxMemoParser& p) {
    TMemoryStream s;
    p.WriteTables(s, TSyntaxMemoParser::kStoredVersion);
    return s.Data();
}

// A parser with something in every table, as the compiler would leave it.
void Fill(TSyntaxMemoParser& p) {
    TSyntaxKeywords& k = p.Keywords();
    TSM_CharGroupManager& classes = k.Classes();
    const TSM_CharGroup ident = Class("abcdefghijklmnopqrstuvwxyz_0123456789", true);
    k.Add("mov", false, 10, {0, 1}, ident);
    k.Add("push", false, 11, {0}, ident);
    k.Add("mov", false, 12, {5}, TSM_CharGroup());
    const uint16_t digits = classes.Add(Class("0123456789"));
    const uint16_t quote = classes.Add(Class("\""));
    const uint16_t notQuote = classes.Add(Class("\"\r", true));

    THandler h;
    h.Body = {1, notQuote, 0, 0, 0};
    h.End.Count = 1;
    h.End.Classes[0] = quote;
    h.End.Include = 1;
    p.Tables.Handlers[20] = h;
    THandler f;
    f.Body = {0, 0, 1, 1, 77}; // a match function by its owner's number
    f.End = {0, 1, 0, {}, 0, 13};
    p.Tables.Handlers[21] = f;

    TTokenRule number;
    number.Start = {0, digits, 0, 0, 0};
    number.Valid = {0, 2};
    number.Body = {0, digits, 0, 0, 0};
    number.End.Count = 2;
    number.End.Classes = {digits, quote, 0, 0};
    number.Value = 30;
    for (char c = '0'; c <= '9'; ++c)
        p.Tables.TokenRules[static_cast<unsigned char>(c)] = number;
    TTokenRule standard; // a standard function: body and end unused but stored
    standard.Start = {0, 0, 1, 0, 11};
    standard.Body = {1, quote, 1, 0, 16};
    standard.End.Count = 3;
    standard.Value = 31;
    p.Tables.TokenRules['$'] = standard;

    p.Tables.ContextStates[30] = {2};
    p.Tables.ContextStates[31] = p.Tables.StartStates;
    TTokenInfo info;
    info.Valid = {0};
    info.Enter = {2};
    info.Leave = {0};
    info.Container = 1;
    info.StackFlags = sfPushBefore | sfPopAfter;
    p.Tables.TokenInfo[30] = info;

    auto table = std::make_unique<TStateTable>();
    table->Rules['"'] = number;
    table->Rules['x'] = standard;
    table->Ranges.push_back({'a', 'f', number});
    table->Ranges.push_back({200, 255, standard});
    p.Tables.StateTokenRules[2] = std::move(table);
    p.Tables.StatesWithRules.Include(2);
    p.Tables.NoStateTables = false;
    p.Tables.AnchorTokens = {0, 30};
    p.Tables.BoundStates = {2};
    p.Tables.StartStates = {0, 1};
    p.Tables.UsesMatch = true;
}

TEST(Parser, ResetStateGoesThroughTheStoredForm) {
    TSyntaxMemoParser fresh;
    const std::string bytes = Stored(fresh);
    EXPECT_EQ(bytes.substr(0, 2), std::string("\x33\x00", 2)); // version 51
    // All 256 context entries are written: empty sets differ from the start states {0}.
    const std::string inner = Inner(fresh);
    EXPECT_NE(inner.find(std::string("\x00\x01\x00\x00", 4)), std::string::npos);
    TSyntaxMemoParser read;
    Fill(read);
    TMemoryStream in(bytes);
    read.ReadStored(in);
    EXPECT_EQ(Stored(read), bytes);
    EXPECT_TRUE(read.Tables.ContextStates[30].Empty());
    EXPECT_EQ(read.ContextFor(30), TSet256{0});
    EXPECT_EQ(read.Tables.StartStates, TSet256{0});
    EXPECT_EQ(read.Tables.AnchorTokens, TSet256{0});
    EXPECT_TRUE(read.Tables.NoStateTables);
    EXPECT_FALSE(read.Tables.Handlers[20].has_value());
    EXPECT_TRUE(read.Keywords().Words().empty());
    EXPECT_EQ(read.Keywords().Classes().Count(), 1);
}

TEST(Parser, FilledTablesComeBackAndSaveToTheSameBytes) {
    TSyntaxMemoParser p;
    Fill(p);
    const std::string bytes = Stored(p);
    TSyntaxMemoParser q;
    TMemoryStream in(bytes);
    q.ReadStored(in);
    EXPECT_EQ(Stored(q), bytes);
    EXPECT_EQ(Inner(q), Inner(p));

    // Class indexes are the reader's own; what they name must be the same.
    const TSM_CharGroupManager& pc = p.Keywords().Classes();
    const TSM_CharGroupManager& qc = q.Keywords().Classes();
    ASSERT_TRUE(q.Tables.Handlers[20].has_value());
    EXPECT_EQ(qc.At(q.Tables.Handlers[20]->Body.Class), pc.At(p.Tables.Handlers[20]->Body.Class));
    EXPECT_EQ(q.Tables.Handlers[20]->Body.Flag, 1);
    EXPECT_EQ(q.Tables.Handlers[21]->Body.Function, 77);
    EXPECT_EQ(q.Tables.Handlers[21]->End.Function, 13);
    ASSERT_TRUE(q.Tables.TokenRules['7'].has_value());
    EXPECT_EQ(qc.At(q.Tables.TokenRules['7']->End.Classes[1]), Class("\""));
    EXPECT_EQ(q.Tables.TokenRules['$']->Body.Function, 16);
    EXPECT_EQ(q.Tables.TokenInfo[30], p.Tables.TokenInfo[30]);
    EXPECT_EQ(q.Tables.ContextStates[30], TSet256{2});
    ASSERT_TRUE(q.Tables.StateTokenRules[2]);
    EXPECT_EQ(q.Tables.StateTokenRules[2]->Ranges.size(), 2u);
    EXPECT_EQ(q.Tables.StateTokenRules[2]->Ranges[1].Low, 200);
    EXPECT_FALSE(q.Tables.NoStateTables);
    EXPECT_TRUE(q.Tables.StatesWithRules.Has(2));
    EXPECT_TRUE(q.Tables.UsesMatch);
    EXPECT_TRUE(q.IsBound({2, 9}));
    // The keyword tree answers as before.
    TStringCursor text("mov eax");
    EXPECT_EQ(q.Keywords().Match(text, {1}).Value, 10);
    TStringCursor inside("movx");
    EXPECT_FALSE(q.Keywords().Match(inside, {1}).Found);

    // Copying gives the same bytes, also onto itself.
    TSyntaxMemoParser copy;
    copy.Assign(p);
    EXPECT_EQ(Stored(copy), bytes);
    copy.Assign(copy);
    EXPECT_EQ(Stored(copy), bytes);
}

TEST(Parser, DamagedStoredFormsAreRefusedAndChangeNothing) {
    TSyntaxMemoParser p;
    Fill(p);
    const std::string stored = Stored(p);
    const std::string inner = Inner(p);
    TSyntaxMemoParser target;
    target.Keywords().Add("keep", false, 1);
    const std::string before = Stored(target);
    auto refused = [&](const std::string& bytes) {
        TMemoryStream in(bytes);
        try {
            target.ReadStored(in);
        } catch (const ESyntaxMemo& e) {
            EXPECT_EQ(std::string(e.what()).rfind("SyntaxMemoParser1: ", 0), 0u) << e.what();
            return Stored(target) == before;
        }
        return false;
    };
    for (size_t cut = 2; cut < stored.size(); ++cut)
        ASSERT_TRUE(refused(stored.substr(0, cut))) << "stored form cut at " << cut;
    // Every cut of the inner stream, read directly.
    for (size_t cut = 0; cut < inner.size(); ++cut) {
        TSyntaxMemoParser fresh;
        TMemoryStream in(inner.substr(0, cut));
        ASSERT_THROW(fresh.ReadTables(in, TSyntaxMemoParser::kStoredVersion), ESyntaxMemo)
            << "inner stream cut at " << cut;
    }
    // Bytes after the end, a wrong inner length.
    {
        TSyntaxMemoParser fresh;
        TMemoryStream in(inner + "x");
        EXPECT_THROW(fresh.ReadTables(in, TSyntaxMemoParser::kStoredVersion), EStreamError);
    }
    std::string wrongLength = stored;
    wrongLength[2] = static_cast<char>(wrongLength[2] + 1);
    EXPECT_TRUE(refused(wrongLength));

    // Values out of range: written by a parser holding them, refused by the reader.
    auto refusedTables = [](TSyntaxMemoParser& bad) {
        TMemoryStream s;
        bad.WriteTables(s, TSyntaxMemoParser::kStoredVersion);
        s.Seek(0, TSeekOrigin::Begin);
        TSyntaxMemoParser fresh;
        try {
            fresh.ReadTables(s, TSyntaxMemoParser::kStoredVersion);
        } catch (const EStreamError& e) {
            return std::string(e.what());
        }
        return std::string("accepted");
    };
    TSyntaxMemoParser bad;
    THandler h;
    h.Body = {0, 0, 1, 0, 99}; // no such standard function
    bad.Tables.Handlers[1] = h;
    EXPECT_EQ(refusedTables(bad), "Bad function number 99 in parser stream");
    bad.Tables.Handlers[1]->Body.Function = 20;
    EXPECT_EQ(refusedTables(bad), "accepted");
    bad.Tables.Handlers[1]->Body.IsMatch = 1; // a match number is the owner's business
    bad.Tables.Handlers[1]->Body.Function = 12345;
    EXPECT_EQ(refusedTables(bad), "accepted");
    bad.Tables.TokenInfo[3] = TTokenInfo{};
    bad.Tables.TokenInfo[3]->StackFlags = 16;
    EXPECT_EQ(refusedTables(bad), "Bad token stack flags in parser stream");
    bad.Tables.TokenInfo[3]->StackFlags = 0;
    auto table = std::make_unique<TStateTable>();
    table->Rules['a'] = TTokenRule{};
    table->Ranges.push_back({'z', 'a', TTokenRule{}});
    bad.Tables.StateTokenRules[4] = std::move(table);
    bad.Tables.NoStateTables = false;
    EXPECT_EQ(refusedTables(bad), "Bad character range in parser stream");
}

TEST(Parser, VersionsAndTheRegistry) {
    TSyntaxMemoParser p;
    Fill(p);
    std::string stored = Stored(p);
    std::string message;
    TSyntaxMemoParser q;
    q.Name = "AsmParser";
    q.OnMessage = [&](const std::string& m) { message = m; };
    Fill(q);
    stored[0] = 49;
    TMemoryStream old(stored);
    q.ReadStored(old);
    EXPECT_EQ(message, "AsmParser: DFM file saved by different version of TSyntaxMemoParser.\n\r"
                       "Recompile script to update DFM file.\n\r"
                       "Expected version was 51 read version was 49");
    EXPECT_FALSE(q.Tables.Handlers[20].has_value()); // left reset
    // Version 50 has no gutter font in its settings; later versions have one.
    p.Settings().GutterFont.Name = "Mono";
    for (uint16_t version : {50, 52}) {
        TMemoryStream in(StoredAs(p, version));
        q.ReadStored(in);
        EXPECT_TRUE(q.Tables.Handlers[20].has_value()) << version;
        EXPECT_EQ(q.Settings().GutterFont.Name, version == 50 ? "Sans Serif" : "Mono");
    }
    try {
        q.ExportToRegistry();
        ADD_FAILURE();
    } catch (const ESyntaxMemo& e) {
        EXPECT_STREQ(e.what(), "Registry interface disabled in: AsmParser");
    }
}

} // namespace
} // namespace kvx
