// The compiled tables of one language: what the script compiler builds and the scanner
// reads, together with the language's editor settings, and their stored form (the `Parser`
// property: a version word, the inner length, and the compressed inner stream).
#pragma once

#include "ParserTables.h"
#include "editor/Keywords.h"
#include "editor/SMBase.h"
#include "editor/Settings.h"
#include "editor/StateSet.h"
#include "editor/SyntaxEd.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kvx {

class TEdStream;
class TRowCursor;
class TSyntaxMemoParser;

// The parser's own keyword tree; it also owns every character class the tables refer to.
class TSyntaxKeywords : public TKeywords {};

class TSyntaxMemoParser : public TSM_Base, public THighlighter {
  public:
    static constexpr uint16_t kStoredVersion = 51;
    static constexpr uint16_t kOldestVersion = 50;

    TSyntaxMemoParser();
    ~TSyntaxMemoParser() override;
    TSyntaxMemoParser(const TSyntaxMemoParser&) = delete;
    TSyntaxMemoParser& operator=(const TSyntaxMemoParser&) = delete;

    const char* ClassName() const override { return "TSyntaxMemoParser"; }

    // ---- Published properties and events ------------------------------------------------
    std::string Name = "SyntaxMemoParser1"; // the component's name, used in messages
    bool AutoScriptUpdate = false;          // compile from Script when loaded
    std::string Compile;                    // design-time only; no role at run time
    std::string RegistryKey;
    std::string Script; // file name of the language script
    // The registry export does not exist on this platform: the flag is kept for stored
    // forms and scripts, but it turns nothing on.
    bool UseRegistry = false;
    // Serves the numbers of `match` parts while scanning: answers whether a token was
    // found, with its length and value.
    std::function<bool(TSyntaxMemoParser& sender, int32_t parseId, TEdStream& in, int32_t& length,
                       int32_t& value)>
        OnCustomParse;
    // Replaces the options dialog when the language's properties are edited.
    std::function<void(TSyntaxMemoParser& sender)> OnModifyProperties;
    // Messages the user should see that are not errors (an outdated stored form).
    std::function<void(const std::string& message)> OnMessage;

    // ---- Compiled tables ---------------------------------------------------------------
    TSyntaxKeywords& Keywords() { return *keywords_; }
    const TSyntaxKeywords& Keywords() const { return *keywords_; }
    TSM_Settings& Settings() { return *settings_; }
    const TSM_Settings& Settings() const { return *settings_; }

    TParserTables Tables;

    // Frees every table and goes back to the state before any compilation.
    void Reset();

    // The context set for a token value: an empty entry means the start states.
    const TSet256& ContextFor(uint8_t value) const {
        return Tables.ContextStates[value].Empty() ? Tables.StartStates
                                                   : Tables.ContextStates[value];
    }
    bool IsBound(const TSet256& states) const { return states.Meets(Tables.BoundStates); }

    // ---- Compiling -----------------------------------------------------------------------
    // Compiles a script: the tables are reset, then built statement by statement. A compile
    // error raises ESYM_COMP_ERROR and leaves what was built so far; the place where reading
    // stopped and the statement being compiled are kept either way.
    void CompileFromStream(TStream& script);
    // Compiles the file that Script names; nothing happens when it names no file.
    void CompileFromFile();
    std::string StatementLabel = "Header";
    int32_t CompileLine = 0;
    int32_t CompileColumn = 0;

    // ---- Stored form -------------------------------------------------------------------
    // Writes the property: version word, inner length, compressed inner stream. Failures
    // raise ESyntaxMemo "<Name>: <message>".
    void WriteStored(TStream& out) const;
    // Reads the property. A version below 50 leaves the tables reset and tells OnMessage
    // (message 4129). A stored form that is damaged in any way raises ESyntaxMemo
    // "<Name>: <message>" and leaves the parser exactly as it was.
    void ReadStored(TStream& in);
    void SaveToStream(TStream& stream) const override { WriteStored(stream); }
    void LoadFromStream(TStream& stream) override { ReadStored(stream); }

    // The inner stream alone (no version, length or compression). Reading resets first and
    // may stop half way with an error; ReadStored is the reader that keeps the old tables.
    void WriteTables(TStream& out, int version) const;
    void ReadTables(TStream& in, int version);

    // There is no registry on this platform: always refused with "Registry interface
    // disabled in: <Name>".
    void ExportToRegistry() const;

    // Runs OnModifyProperties when set (answer false), else the options dialog through
    // `dialog` when given; true when the user confirmed changes.
    bool EditProperties(int pageMask,
                        const std::function<bool(TSyntaxMemoParser&, int)>& dialog = {});

    // ---- Scanning -------------------------------------------------------------------------
    // One scanning state serves every editor attached to the parser. A pass never waits
    // for another and always begins with a restart, so a pass that ended half way through
    // a container cannot leave the next one stuck behind the busy flag.

    // Current states := the context set of `tokenValue`; the stack, the container mode and
    // the busy flag are cleared.
    void Restart(uint8_t tokenValue);
    // Scans one token at the stream's position and leaves the stream after it. The length
    // is at least 1, except at the end of the text or while another editor's container
    // scan is unfinished (then 0 and value 0).
    uint8_t NextToken(TCustomSyntaxMemo& editor, TEdStream& in, int32_t& length);
    bool Busy() const { return scan_.Busy; }
    const TSet256& CurrentStates() const { return scan_.Current; }
    // Writes the token bytes from the nearest anchor before the editor's rescan-from row
    // until a row comes out unchanged outside the bound states.
    void Rehighlight(TCustomSyntaxMemo& memo) override;
    // Writes the token bytes of every row from the top of the document.
    void HighlightAll(TCustomSyntaxMemo& memo);
    void Attach(TCustomSyntaxMemo& memo) override;
    void Detach(TCustomSyntaxMemo& memo) override;
    // Rows the last pass wrote.
    int32_t RowsScanned = 0;
    TSM_Settings* LanguageSettings() override { return settings_.get(); }

    // Highlighting a large document a little at a time (see THighlighter). Each editor with
    // deferral on keeps how far its text is highlighted and, where a pass stopped, the
    // scanner's states, so that the next slice goes on exactly there.
    void SetDeferred(TCustomSyntaxMemo& memo, bool on) override;
    void HighlightTo(TCustomSyntaxMemo& memo, TextOffset end) override;
    bool HighlightSlice(TCustomSyntaxMemo& memo, const THighlightBudget& budget) override;
    TextOffset HighlightedTo(TCustomSyntaxMemo& memo) override;
    void TextChanged(TCustomSyntaxMemo& memo, TextOffset offset, int32_t delta) override;

  private:
    // Pushed state sets kept at most; deeper pushes are counted, not kept.
    static constexpr size_t kMaxStateStack = 1024;

    struct TScanState {
        TSet256 Current;
        std::vector<TSet256> Stack;
        int64_t Untracked = 0; // pushes beyond kMaxStateStack not yet popped
        const std::array<std::optional<TTokenRule>, 256>* Rules = nullptr;
        const std::vector<TRangeEntry>* Ranges = nullptr;
        TSet256 Saved;
        bool ContainerMode = false;
        int32_t ContainerEnd = 0;
        bool Busy = false;
        TEdStream* Stream = nullptr; // for `match` functions during a call
        // Every character class as a plain bit set, so that a test is one load.
        std::vector<TSet256> Classes;
        bool ClassesReady = false;
        bool HasTables = false; // the language has additional keyword tables
        // The last handler or rule whose body of characters failed: where its body began
        // and where it stopped. Another try of the same one whose body begins in between
        // tests a part of the same characters, and fails at the same place: a rule whose end
        // never comes on a long line would otherwise cost the square of the line.
        // The body and end are compared, not the rule: a rule is stored once per character
        // of its start class.
        bool Failed = false;
        TStartPart FailedBody;
        TEndPart FailedEnd;
        TextOffset FailedFrom = 0;
        TextOffset FailedAt = 0;
    };

    void MoveTablesFrom(TSyntaxMemoParser& other);
    void PrepareClasses();
    const TSet256& ClassSet(uint16_t index) const;
    bool InClass(uint16_t index, unsigned char c) const;
    int ClassRun(const TStartPart& body, const TEndPart& end, bool checkEnd, bool endCompletes,
                 TRowCursor& in) const;
    void ChooseTable();
    // The active rule table and the keyword tables follow the current states.
    void StatesChanged();
    const TTokenRule* RuleFor(unsigned char c) const;
    void EnterStates(const TSet256& states);
    bool CallFunction(int32_t fn, TRowCursor& in, int32_t& length, int32_t tokenStart);
    bool CustomParse(int32_t id, TRowCursor& in, int32_t& length, int32_t value);
    bool EndMatches(const TEndPart& end, TRowCursor& in, int32_t& length, int32_t tokenStart,
                    int32_t value);
    bool BodyTakes(const TStartPart& body, TRowCursor& in, int32_t& length, int32_t tokenStart,
                   int32_t value);
    uint8_t ScanToken(TRowCursor& in, int32_t& length);
    void FinishToken(TRowCursor& in, int32_t start, int32_t& length, int32_t& value,
                     bool fromTable);
    bool FindRestart(const TRowFinger& row, TRowFinger& at, int32_t& index, uint8_t& value,
                     bool& clean) const;
    bool ChangesNoState(uint8_t value) const;
    static bool ClassesOnly(const TStartPart& body, const TEndPart& end);
    bool KnownToFail(const TStartPart& body, const TEndPart& end, TextOffset from) const {
        return scan_.Failed && from >= scan_.FailedFrom && from <= scan_.FailedAt &&
               body == scan_.FailedBody && end == scan_.FailedEnd;
    }
    void NoteFailure(const TStartPart& body, const TEndPart& end, TextOffset from, TextOffset at) {
        scan_.Failed = true;
        scan_.FailedBody = body;
        scan_.FailedEnd = end;
        scan_.FailedFrom = from;
        scan_.FailedAt = at;
    }
    // How far deferred highlighting of one editor's text has got.
    struct TDeferred {
        TCustomSyntaxMemo* Memo = nullptr;
        // The text as last heard of: a change not told through TextChanged (another view
        // of the same store, another store) makes everything stale.
        const TTextStore* Store = nullptr;
        TextOffset Length = 0;
        // The bytes before Done hold the token values a full pass gives them.
        TextOffset Done = 0;
        // The scanner's states at Done are kept; otherwise the next pass restarts at an
        // anchor above.
        bool Resumable = false;
        TSet256 Current;
        std::vector<TSet256> Stack;
        int64_t Untracked = 0;
    };
    // What a pass is to do: the pass after an edit (from the rescan-from row until the rows
    // settle), one over the whole text, or, for deferred highlighting, one that goes on from
    // where the highlighting got to. Deferred passes stop at the first token boundary at or
    // past StopAt, or when the budget is spent.
    struct TPassPlan {
        bool Whole = false;
        TDeferred* Deferred = nullptr;
        bool Resume = false;
        TextOffset StopAt = 0;
        THighlightBudget Budget;
    };
    TDeferred* DeferredFor(const TCustomSyntaxMemo& memo);
    // Forgets what the record knew when the text changed behind its back.
    static void CheckDeferred(TDeferred& d, TCustomSyntaxMemo& memo);
    void Pass(TCustomSyntaxMemo& memo, const TPassPlan& plan);
    void DetachAll();

    // A scan holds rows of the document and entries of the tables while it calls event
    // handlers (OnCustomParse, OnTokenSeen). A handler may edit the document, recompile
    // the parser or ask for another pass; the guard notices the first two afterwards, and
    // refuses the third while a scan runs. It is kept apart from the scanning state,
    // which a recompile resets.
    struct TScanGuard {
        bool Running = false;
        TTextStore* Store = nullptr;
        uint64_t RowsFreed = 0;
        uint64_t Tables = 0;
    };
    struct ECutShort {}; // thrown through the scanner when a handler changed what it holds
    void BeginScan(TTextStore& store);
    bool HandlerChangedThings() const;

    TScanState scan_;
    TScanGuard guard_;
    uint64_t tablesVersion_ = 0; // counts every reset or replacement of the tables
    std::vector<TCustomSyntaxMemo*> editors_;
    std::vector<TDeferred> deferred_;

    std::unique_ptr<TSyntaxKeywords> keywords_;
    std::unique_ptr<TSM_Settings> settings_;
};

} // namespace kvx
