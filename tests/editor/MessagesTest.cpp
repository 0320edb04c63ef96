#include "editor/EdMessages.h"
#include "editor/Stream.h"
#include "editor/SyntaxEd.h"
#include "support/FakePlatform.h"
#include "support/StoreInvariants.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace kvx {
namespace {

template <class T> intptr_t Arg(T* p) {
    return reinterpret_cast<intptr_t>(p);
}

// Pixel geometry of a grid of 8 x 16 cells, one row per 100 offsets, and a record of what the
// control asked for.
class TGridHooks : public TEditorHooks {
  public:
    bool PositionFromChar(TCustomSyntaxMemo&, TextOffset offset, int& x, int& y) override {
        x = xOverride ? *xOverride : (offset % 100) * 8;
        y = (offset / 100) * 16 - yShift;
        return true;
    }
    TextOffset CharFromPosition(TCustomSyntaxMemo&, int x, int y) override {
        askedX = x;
        askedY = y;
        return x < 0 || y < 0 ? -1 : (y / 16) * 100 + x / 8;
    }
    void ShowFindDialog(TCustomSyntaxMemo&, bool replace) override { dialogs.push_back(replace); }
    const int* xOverride = nullptr;
    int yShift = 0;
    int askedX = 0, askedY = 0;
    std::vector<bool> dialogs;
};

// A control whose highlighting side reports the row each rescan starts from.
class TScanMemo : public TCustomSyntaxMemo {
  public:
    using TCustomSyntaxMemo::TCustomSyntaxMemo;
    std::vector<int32_t> scans;

  protected:
    void RescanHighlighting() override {
        if (RescanFrom().Row)
            scans.push_back(RescanFrom().Index);
    }
};

class Messages : public ::testing::Test {
  protected:
    test::TFakePlatform platform;
    TScanMemo memo{&platform};
    int changes = 0;

    void SetUp() override {
        memo.OnChange = [this](TCustomSyntaxMemo&) { ++changes; };
    }
    intptr_t P(uint32_t msg, intptr_t w = 0, intptr_t l = 0) { return memo.Perform(msg, w, l); }
    void Load(const std::string& text) {
        memo.SetWholeText(text);
        memo.ChangeNotification(); // as after a load the user started
        memo.scans.clear();
        changes = 0;
        platform.invalidated.clear();
    }
    std::string Text() { return memo.Text(); }
    void Check() { EXPECT_EQ(test::CheckStore(memo.Store()), ""); }
};

TEST_F(Messages, SetTextAndTextLengthFollowTheLineStyle) {
    EXPECT_EQ(P(wmSETTEXT, 0, Arg("ab\r\ncd\nef")), 1);
    EXPECT_EQ(Text(), "ab\rcd\ref");
    EXPECT_FALSE(memo.CanUndo());
    EXPECT_FALSE(memo.Modified());
    EXPECT_EQ(changes, 1);

    memo.SelLineStyle = lsCRLF;
    EXPECT_EQ(P(wmGETTEXTLENGTH), 10);
    memo.SelLineStyle = lsLF;
    EXPECT_EQ(P(wmGETTEXTLENGTH), 8);

    // A null text is refused: nothing changes and nobody is told of a change.
    EXPECT_EQ(P(wmSETTEXT, 0, 0), 0);
    EXPECT_EQ(Text(), "ab\rcd\ref");
    EXPECT_EQ(changes, 1);
    Check();
}

TEST_F(Messages, GetTextCutsToTheBufferAndTerminates) {
    Load("ab\r\ncd\r\nxyz");
    for (TLineStyle style : {lsCRLF, lsLF}) {
        memo.SelLineStyle = style;
        const std::string whole = memo.GetWholeText();
        // Every size from none to more than enough: the prefix that fits, then a zero.
        for (intptr_t size = 0; size <= intptr_t(whole.size()) + 3; ++size) {
            std::string buf(whole.size() + 8, '#');
            const intptr_t n = P(wmGETTEXT, size, Arg(buf.data()));
            const size_t expect = size == 0 ? 0 : std::min<size_t>(size - 1, whole.size());
            ASSERT_EQ(n, intptr_t(expect)) << "size " << size;
            EXPECT_EQ(buf.substr(0, expect), whole.substr(0, expect));
            if (size > 0)
                EXPECT_EQ(buf[expect], '\0') << "size " << size;
            else
                EXPECT_EQ(buf[0], '#'); // a buffer of no bytes is not written at all
            EXPECT_EQ(buf[expect + 1], '#') << "size " << size;
        }
    }
    memo.SelLineStyle = lsCRLF;
    // A buffer of four bytes cuts the first break's pair in two.
    char small[4];
    EXPECT_EQ(P(wmGETTEXT, sizeof small, Arg(small)), 3);
    EXPECT_STREQ(small, "ab\r");

    EXPECT_EQ(P(wmGETTEXT, 100, 0), 0);
    EXPECT_EQ(P(wmGETTEXT, -5, Arg(small)), 0);
}

TEST_F(Messages, GetLineCopiesAtMostTheBufferSize) {
    Load("first\rsecond line\rlast\r");
    auto sized = [](uint16_t size, size_t bytes) {
        std::string buf(bytes, '#');
        std::memcpy(buf.data(), &size, sizeof size);
        return buf;
    };
    std::string buf = sized(100, 110);
    EXPECT_EQ(P(emGETLINE, 1, Arg(buf.data())), 11);
    EXPECT_EQ(std::string(buf.c_str()), "second line"); // room remained: terminated

    buf = sized(3, 8);
    EXPECT_EQ(P(emGETLINE, 1, Arg(buf.data())), 3);
    EXPECT_EQ(buf, "sec#####"); // exactly full: no zero is written past the buffer

    buf = sized(4, 8);
    EXPECT_EQ(P(emGETLINE, 2, Arg(buf.data())), 4);
    EXPECT_EQ(buf.substr(0, 5), "last#"); // the break is not copied

    buf = sized(1, 4);
    EXPECT_EQ(P(emGETLINE, 0, Arg(buf.data())), 1);
    EXPECT_EQ(buf[0], 'f');
    EXPECT_EQ(buf.substr(2), "##");

    buf = sized(0, 4);
    const std::string before = buf;
    EXPECT_EQ(P(emGETLINE, 0, Arg(buf.data())), 0);
    EXPECT_EQ(buf, before);

    // Lines that do not exist give nothing and leave the buffer alone: the empty line after
    // the final break, a line past it, a negative line.
    for (intptr_t line : {3, 4, 1000000, -1}) {
        buf = sized(50, 60);
        const std::string untouched = buf;
        EXPECT_EQ(P(emGETLINE, line, Arg(buf.data())), 0) << line;
        EXPECT_EQ(buf.substr(2), untouched.substr(2)) << line;
    }
    EXPECT_EQ(P(emGETLINE, 0, 0), 0);
}

TEST_F(Messages, LineCountIndexLengthAndLineFromChar) {
    Load("");
    EXPECT_EQ(P(emGETLINECOUNT), 1);
    EXPECT_EQ(P(emLINEINDEX, 0), 0);
    EXPECT_EQ(P(emLINEINDEX, 1), -1);
    EXPECT_EQ(P(emLINEFROMCHAR, 0), 0);

    Load("ab\rcde\r");
    EXPECT_EQ(P(emGETLINECOUNT), 2);
    EXPECT_EQ(P(emLINEINDEX, 0), 0);
    EXPECT_EQ(P(emLINEINDEX, 1), 3);
    // The line after the final break exists and starts at the text's end; one more does not.
    EXPECT_EQ(P(emLINEINDEX, 2), 7);
    EXPECT_EQ(P(emLINEINDEX, 3), -1);
    EXPECT_EQ(P(emLINEINDEX, -2), -1);
    memo.SetSelection(5, 5);
    EXPECT_EQ(P(emLINEINDEX, -1), 3);
    memo.SetSelection(7, 7);
    EXPECT_EQ(P(emLINEINDEX, -1), 7);

    EXPECT_EQ(P(emLINELENGTH, 0), 2);
    EXPECT_EQ(P(emLINELENGTH, 2), 2); // the break itself belongs to line 0
    EXPECT_EQ(P(emLINELENGTH, 3), 3);
    EXPECT_EQ(P(emLINELENGTH, 7), 0);
    EXPECT_EQ(P(emLINELENGTH, 8), 0);
    memo.SetSelection(4, 4);
    EXPECT_EQ(P(emLINELENGTH, -1), 3);

    EXPECT_EQ(P(emLINEFROMCHAR, 2), 0);
    EXPECT_EQ(P(emLINEFROMCHAR, 3), 1);
    EXPECT_EQ(P(emLINEFROMCHAR, 7), 2);
    EXPECT_EQ(P(emLINEFROMCHAR, -1), 1); // the caret at 4

    Load("ab\rcd");
    EXPECT_EQ(P(emLINEINDEX, 2), -1); // no break at the end: no line after it
    EXPECT_EQ(P(emLINEFROMCHAR, 99), 1);

    // Lines are rows: a line longer than a row counts as several.
    Load(std::string(3000, 'x'));
    const int32_t firstRow = memo.Store().FirstRow()->Length();
    ASSERT_LT(firstRow, 3000);
    EXPECT_EQ(P(emGETLINECOUNT), 2);
    EXPECT_EQ(P(emLINEINDEX, 1), firstRow);
    EXPECT_EQ(P(emLINELENGTH, firstRow + 5), 3000 - firstRow);
    EXPECT_EQ(P(emLINEFROMCHAR, firstRow), 1);
    EXPECT_EQ(changes, 0); // questions change nothing
}

TEST_F(Messages, SelectionRequests) {
    Load("hello\rworld");
    EXPECT_EQ(P(emSETSEL, 0, -1), 1);
    EXPECT_EQ(memo.Selection(), (TSelectionRange{0, 11}));
    EXPECT_EQ(changes, 1);

    EXPECT_EQ(P(emSETSEL, 8, 2), 1);
    int32_t anchor = -7, caret = -7;
    EXPECT_EQ(P(emGETSEL, Arg(&anchor), Arg(&caret)), 8 | (2 << 16));
    EXPECT_EQ(anchor, 8);
    EXPECT_EQ(caret, 2);
    caret = -7;
    EXPECT_EQ(P(emGETSEL, 0, Arg(&caret)), 8 | (2 << 16)); // either place may be missing
    EXPECT_EQ(caret, 2);
    EXPECT_EQ(P(emGETSEL), 8 | (2 << 16));

    P(emSETSEL, 3, 1000); // clamped to the text
    EXPECT_EQ(memo.Selection(), (TSelectionRange{3, 11}));
    P(emSETSEL, -1, 0); // a negative start drops the selection where the caret is
    EXPECT_EQ(memo.Selection(), (TSelectionRange{11, 11}));

    TSelectionRange range{};
    EXPECT_EQ(P(smmSELECTION, 0, Arg(&range)), 1);
    EXPECT_EQ(range, memo.Selection());
    range = {9, 1};
    platform.invalidated.clear();
    EXPECT_EQ(P(smmSELECTION, smfSet | smfNoRepaint, Arg(&range)), 1);
    EXPECT_EQ(memo.Selection(), (TSelectionRange{9, 1}));
    EXPECT_TRUE(platform.invalidated.empty());
    range = {2, 4};
    EXPECT_EQ(P(smmSELECTION, smfSet, Arg(&range)), 1);
    EXPECT_EQ(memo.Selection(), (TSelectionRange{2, 4}));
    EXPECT_FALSE(platform.invalidated.empty());

    const int before = changes;
    EXPECT_EQ(P(smmSELECTION, smfSet, 0), 0);
    EXPECT_EQ(P(smmSELECTION, 0, 0), 0);
    EXPECT_EQ(memo.Selection(), (TSelectionRange{2, 4}));
    EXPECT_EQ(changes, before);

    // Offsets that do not fit the packed answer are only in the two places.
    Load(std::string(70000, 'a'));
    P(emSETSEL, 5, 69999);
    EXPECT_EQ(P(emGETSEL, Arg(&anchor), Arg(&caret)), -1);
    EXPECT_EQ(anchor, 5);
    EXPECT_EQ(caret, 69999);
}

TEST_F(Messages, ReplaceUndoRedoAndModified) {
    Load("one two");
    P(emSETSEL, 4, 7);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(P(emREPLACESEL, 0, Arg("2\r\n3")), 1);
    EXPECT_EQ(Text(), "one 2\r3");
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(P(emGETMODIFY), 1);
    EXPECT_EQ(P(emCANUNDO), 1);
    EXPECT_EQ(P(smmCANREDO), 0);

    EXPECT_EQ(P(emUNDO), 1);
    EXPECT_EQ(Text(), "one two");
    EXPECT_EQ(P(emGETMODIFY), 0);
    EXPECT_EQ(P(emCANUNDO), 0);
    EXPECT_EQ(P(emUNDO), 0); // nothing left to undo
    EXPECT_EQ(P(smmCANREDO), 1);
    EXPECT_EQ(P(smmREDO), 1);
    EXPECT_EQ(Text(), "one 2\r3");
    EXPECT_EQ(P(smmREDO), 0);
    EXPECT_EQ(P(wmUNDO), 1);
    EXPECT_EQ(Text(), "one two");
    P(smmREDO);

    // The own request does the same; a null text deletes the selection.
    P(emSETSEL, 0, 4);
    EXPECT_EQ(P(smmREPLACESEL, 0, 0), 1);
    EXPECT_EQ(Text(), "2\r3");
    P(emSETSEL, 1, 1);
    P(smmREPLACESEL, 0, Arg("x"));
    EXPECT_EQ(Text(), "2x\r3");
    EXPECT_EQ(P(smmMODIFIED), 1);

    EXPECT_EQ(P(smmMODIFIED, smfSet, 0), 1);
    EXPECT_EQ(P(emGETMODIFY), 0);
    EXPECT_EQ(P(smmMODIFIED, smfSet, 1), 0); // the control cannot mark unchanged text changed
    EXPECT_EQ(P(smmMODIFIED), 0);
    P(emREPLACESEL, 0, Arg("y"));
    EXPECT_EQ(P(emCANUNDO), 1);
    EXPECT_EQ(P(emEMPTYUNDOBUFFER), 1);
    EXPECT_EQ(P(emCANUNDO), 0);
    EXPECT_EQ(P(smmCANREDO), 0);
    EXPECT_EQ(Text(), "2xy\r3");
    Check();
}

TEST_F(Messages, SelectedTextAndStreams) {
    Load("ab\rcd\ref");
    P(emSETSEL, 1, 7);
    EXPECT_EQ(P(smmGETSELTEXT, 0, 0), 6);
    EXPECT_EQ(P(smmGETSELTEXT, wfCRLF, 0), 8);
    std::string buf(10, '#');
    EXPECT_EQ(P(smmGETSELTEXT, wfCRLF, Arg(buf.data())), 8);
    EXPECT_EQ(buf, "b\r\ncd\r\ne##"); // exactly the count: no terminating zero
    buf.assign(10, '#');
    EXPECT_EQ(P(smmGETSELTEXT, 0, Arg(buf.data())), 6);
    EXPECT_EQ(buf, "b\rcd\re####");

    TMemoryStream crlf, lf, stored;
    EXPECT_EQ(P(smmWRITESTREAM, wfCRLF, Arg<TStream>(&crlf)), 8);
    EXPECT_EQ(P(smmWRITESTREAM, wfLF, Arg<TStream>(&lf)), 6);
    EXPECT_EQ(P(smmWRITESTREAM, 0, Arg<TStream>(&stored)), 6);
    EXPECT_EQ(crlf.Data(), "b\r\ncd\r\ne");
    EXPECT_EQ(lf.Data(), "b\ncd\ne");
    EXPECT_EQ(stored.Data(), "b\rcd\re");
    EXPECT_EQ(P(smmWRITESTREAM, wfCRLF, 0), 0);
    // Rich text of the selection only; RTF wins over HTML when both are asked for.
    TMemoryStream rtf, html;
    const intptr_t rtfBytes = P(smmWRITESTREAM, wfRTF | wfHTML, Arg<TStream>(&rtf));
    EXPECT_EQ(rtfBytes, rtf.Size());
    EXPECT_NE(rtf.Data().find("{\\f1\\fs20\\cf0\\cb1 b\\line \r\ncd\\line \r\ne\r\n}}"),
              std::string::npos);
    const intptr_t htmlBytes = P(smmWRITESTREAM, wfHTML, Arg<TStream>(&html));
    EXPECT_EQ(htmlBytes, html.Size());
    EXPECT_NE(html.Data().find("\">b\r\ncd\r\ne</FONT></PRE>"), std::string::npos);
    EXPECT_EQ(changes, 1); // only the selection

    // A stream longer than one read piece goes in as one undo step.
    std::string big;
    for (int i = 0; i < 3000; ++i)
        big += "line " + std::to_string(i) + "\r\n";
    ASSERT_GT(big.size(), 20000u);
    TMemoryStream in(big);
    P(emSETSEL, 3, 5);
    changes = 0;
    EXPECT_EQ(P(smmINSERTSTREAM, 0, Arg<TStream>(&in)), 1);
    std::string stored_big = big;
    for (size_t at; (at = stored_big.find("\r\n")) != std::string::npos;)
        stored_big.erase(at + 1, 1);
    EXPECT_EQ(Text(), "ab\r" + stored_big + "\ref");
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(P(emUNDO), 1);
    EXPECT_EQ(Text(), "ab\rcd\ref");
    EXPECT_EQ(P(emCANUNDO), 0);
    EXPECT_EQ(P(smmINSERTSTREAM, 0, 0), 0);
    EXPECT_EQ(Text(), "ab\rcd\ref");
    Check();
}

TEST_F(Messages, ScrollingAndTheView) {
    std::string text;
    for (int i = 0; i < 100; ++i)
        text += std::string(200, 'a' + i % 26) + "\r";
    Load(text);
    EXPECT_EQ(P(smmFIRSTLINE, smfSet, 40), 1);
    EXPECT_EQ(P(smmFIRSTLINE), 40);
    EXPECT_EQ(P(emGETFIRSTVISIBLELINE), 40);
    EXPECT_EQ(P(smmFIRSTCOLUMN, smfSet, 7), 1);
    EXPECT_EQ(P(smmFIRSTCOLUMN), 7);

    EXPECT_EQ(P(emLINESCROLL, 3, -10), 1);
    EXPECT_EQ(P(smmFIRSTCOLUMN), 10);
    EXPECT_EQ(P(emGETFIRSTVISIBLELINE), 30);
    P(emLINESCROLL, -1000, -1000); // stops at the start
    EXPECT_EQ(P(smmFIRSTCOLUMN), 0);
    EXPECT_EQ(P(emGETFIRSTVISIBLELINE), 0);
    P(emLINESCROLL, 0, INTPTR_MAX); // stops at the last row, without overflowing
    EXPECT_EQ(P(emGETFIRSTVISIBLELINE), memo.Store().RowCount() - 1);

    // The caret on line 60 is out of sight until the view is brought to it.
    memo.SetSelection(0, 0);
    P(smmFIRSTLINE, smfSet, 0);
    TSelectionRange line60{60 * 201, 60 * 201};
    P(smmSELECTION, smfSet | smfNoRepaint, Arg(&line60));
    EXPECT_EQ(P(emGETFIRSTVISIBLELINE), 0);
    changes = 0;
    EXPECT_EQ(P(emSCROLLCARET), 1);
    const intptr_t top = P(emGETFIRSTVISIBLELINE);
    EXPECT_LE(top, 60);
    EXPECT_GT(top + platform.visibleRows, 60);
    EXPECT_EQ(changes, 1);
}

TEST_F(Messages, PixelPositionsAndDialogsGoThroughTheHooks) {
    Load("abc\rdef");
    EXPECT_EQ(P(emPOSFROMCHAR, 2), -1);
    EXPECT_EQ(P(emCHARFROMPOS, 0, 0), -1);
    EXPECT_EQ(P(smmFINDDIALOG), 0);
    EXPECT_EQ(P(smmREPLACEDIALOG), 0);

    TGridHooks hooks;
    memo.SetHooks(&hooks);
    const auto packed = static_cast<uint32_t>(P(emPOSFROMCHAR, 205));
    EXPECT_EQ(int16_t(packed & 0xFFFF), 5 * 8);
    EXPECT_EQ(int16_t(packed >> 16), 2 * 16);
    hooks.yShift = 100; // above the window: a negative y survives the packing
    const auto above = static_cast<uint32_t>(P(emPOSFROMCHAR, 3));
    EXPECT_EQ(int16_t(above & 0xFFFF), 24);
    EXPECT_EQ(int16_t(above >> 16), -100);
    const int far = 40000; // does not fit 16 bits: unknown, not a wrong position
    hooks.xOverride = &far;
    EXPECT_EQ(P(emPOSFROMCHAR, 3), -1);

    const uint32_t at = uint16_t(17) | uint32_t(uint16_t(33)) << 16;
    EXPECT_EQ(P(emCHARFROMPOS, 0, at), 2 * 100 + 2);
    const uint32_t left = uint16_t(int16_t(-5)) | uint32_t(uint16_t(7)) << 16;
    EXPECT_EQ(P(emCHARFROMPOS, 0, left), -1);
    EXPECT_EQ(hooks.askedX, -5);
    EXPECT_EQ(hooks.askedY, 7);

    EXPECT_EQ(P(smmFINDDIALOG), 1);
    EXPECT_EQ(P(smmREPLACEDIALOG), 1);
    EXPECT_EQ(hooks.dialogs, (std::vector<bool>{false, true}));
    memo.SetHooks(nullptr);
}

TEST_F(Messages, ClipboardRequests) {
    Load("hello world");
    P(emSETSEL, 0, 5);
    EXPECT_EQ(P(wmCOPY), 1);
    EXPECT_EQ(platform.clipboard, "hello");
    EXPECT_EQ(Text(), "hello world");
    P(emSETSEL, 5, 11);
    EXPECT_EQ(P(wmCUT), 1);
    EXPECT_EQ(platform.clipboard, " world");
    EXPECT_EQ(Text(), "hello");
    P(emSETSEL, 0, 0);
    EXPECT_EQ(P(wmPASTE), 1);
    EXPECT_EQ(Text(), " worldhello");
    P(emUNDO);
    P(emUNDO);
    EXPECT_EQ(Text(), "hello world");
}

TEST_F(Messages, OptionsPaintLockAndSettings) {
    Load("text");
    const uint32_t word = memo.OptionWord() ^ OptionBit(smoLineNumbers);
    EXPECT_EQ(P(smmOPTIONS, smfSet, word), 1);
    EXPECT_EQ(uintptr_t(P(smmOPTIONS)), word);
    EXPECT_EQ(memo.HasOption(smoLineNumbers), (word & OptionBit(smoLineNumbers)) != 0);
    EXPECT_EQ(changes, 1);

    // While painting is locked the changes wait; unlocking delivers them in one notification.
    EXPECT_EQ(P(smmPAINTLOCK), 0);
    EXPECT_EQ(P(smmPAINTLOCK, smfSet, 1), 1);
    EXPECT_EQ(P(smmPAINTLOCK), 1);
    P(emSETSEL, 0, -1);
    P(emREPLACESEL, 0, Arg("new"));
    EXPECT_EQ(changes, 1);
    platform.invalidated.clear();
    EXPECT_EQ(P(smmPAINTLOCK, smfSet, 0), 1);
    EXPECT_EQ(P(smmPAINTLOCK), 0);
    EXPECT_EQ(changes, 2);
    EXPECT_FALSE(platform.invalidated.empty());
    EXPECT_EQ(Text(), "new");

    platform.invalidated.clear();
    EXPECT_EQ(P(smmSETTINGSCHANGED), 1);
    EXPECT_FALSE(platform.invalidated.empty());
}

TEST_F(Messages, IndentAndUnindentTheSelectedLines) {
    Load("a\rb\rc");
    P(emSETSEL, 0, 3);
    EXPECT_EQ(P(smmINDENT, 2, 0), 1);
    EXPECT_EQ(Text(), "  a\r  b\rc");
    EXPECT_EQ(P(smmUNINDENT, 1), 1);
    EXPECT_EQ(Text(), " a\r b\rc");
    // Wider than any row: refused, the text stays.
    EXPECT_EQ(P(smmINDENT, 5000, 0), 0);
    EXPECT_EQ(P(smmUNINDENT, 5000), 0);
    EXPECT_EQ(Text(), " a\r b\rc");
    memo.SetOptionWord(memo.OptionWord() | OptionBit(smoUseTAB));
    P(smmINDENT, 1, 1);
    EXPECT_EQ(Text(), "\t a\r\t b\rc");
    P(emUNDO);
    P(emUNDO);
    P(emUNDO);
    EXPECT_EQ(Text(), "a\rb\rc");
    Check();
}

TEST_F(Messages, TokenBytesOfRowRanges) {
    uint8_t buf[32];
    std::memset(buf, 0xEE, sizeof buf);
    EXPECT_EQ(P(smmGETSTYLES, 0, Arg(buf)), 0); // an empty document has no rows
    EXPECT_EQ(P(smmSETSTYLES, 0, Arg(buf)), 0);

    Load("abc\rde\rfgh");
    TTextStore& s = memo.Store();
    std::vector<int> lengths;
    for (const TLineNode* r = s.FirstRow(); r; r = r->Next())
        lengths.push_back(r->Length());
    ASSERT_EQ(lengths, (std::vector<int>{4, 3, 3}));

    // Rows without token bytes give zeros.
    std::memset(buf, 0xEE, sizeof buf);
    EXPECT_EQ(P(smmGETSTYLES, 0, Arg(buf)), 10);
    EXPECT_EQ(std::vector<uint8_t>(buf, buf + 11),
              (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xEE}));

    // The whole document, then read back.
    uint8_t in[10];
    for (int i = 0; i < 10; ++i)
        in[i] = uint8_t(i + 1);
    for (TLineNode* r = s.FirstRow(); r; r = r->Next())
        r->ClearRowFlags(rfRepaint);
    platform.invalidated.clear();
    EXPECT_EQ(P(smmSETSTYLES, 0, Arg(in)), 10);
    for (TLineNode* r = s.FirstRow(); r; r = r->Next())
        EXPECT_TRUE(r->RowFlags() & rfRepaint);
    EXPECT_EQ(platform.invalidated.back(), (std::pair<int32_t, int32_t>{0, 2}));
    std::memset(buf, 0, sizeof buf);
    EXPECT_EQ(P(smmGETSTYLES, 0, Arg(buf)), 10);
    EXPECT_EQ(std::memcmp(buf, in, 10), 0);

    // A range of lines: only those rows, from the first row's first byte.
    int32_t middle[2] = {1, 1};
    std::memset(buf, 0xEE, sizeof buf);
    EXPECT_EQ(P(smmGETSTYLES, Arg(middle), Arg(buf)), 3);
    EXPECT_EQ(std::vector<uint8_t>(buf, buf + 4), (std::vector<uint8_t>{5, 6, 7, 0xEE}));

    // A range reaching past the last row is clipped to the rows there are.
    for (TLineNode* r = s.FirstRow(); r; r = r->Next())
        r->ClearRowFlags(rfRepaint);
    int32_t tail[2] = {1, 50};
    const uint8_t fresh[6] = {21, 22, 23, 24, 25, 26};
    EXPECT_EQ(P(smmSETSTYLES, Arg(tail), Arg(fresh)), 6);
    EXPECT_FALSE(s.FirstRow()->RowFlags() & rfRepaint);
    EXPECT_TRUE(s.LastRow()->RowFlags() & rfRepaint);
    EXPECT_EQ(platform.invalidated.back(), (std::pair<int32_t, int32_t>{1, 2}));
    EXPECT_EQ(P(smmGETSTYLES, 0, Arg(buf)), 10);
    EXPECT_EQ(std::vector<uint8_t>(buf, buf + 10),
              (std::vector<uint8_t>{1, 2, 3, 4, 21, 22, 23, 24, 25, 26}));

    // Ranges with no row in them do nothing: inverted, wholly past the end, wholly before.
    for (auto range : {std::pair{2, 1}, std::pair{3, 9}, std::pair{-5, -1}}) {
        int32_t pair[2] = {range.first, range.second};
        std::memset(buf, 0xEE, sizeof buf);
        EXPECT_EQ(P(smmGETSTYLES, Arg(pair), Arg(buf)), 0);
        EXPECT_EQ(buf[0], 0xEE);
        EXPECT_EQ(P(smmSETSTYLES, Arg(pair), Arg(buf)), 0);
    }
    EXPECT_EQ(P(smmGETSTYLES, 0, Arg(buf)), 10);
    EXPECT_EQ(buf[4], 21);
    EXPECT_EQ(P(smmSETSTYLES, Arg(middle), 0), 0);
    EXPECT_EQ(P(smmGETSTYLES, Arg(middle), 0), 0);
    EXPECT_EQ(std::string(s.FirstRow()->View()), "abc\r");
    Check();
}

TEST_F(Messages, DetachingAndAttachingTheUndoLog) {
    Load("base");
    TUndoStack* own = reinterpret_cast<TUndoStack*>(P(smmUNDOLOG));
    ASSERT_EQ(own, memo.Store().UndoLog());
    ASSERT_NE(own, nullptr);

    EXPECT_EQ(P(smmUNDOLOG, smfSet, 0), 1);
    EXPECT_EQ(P(smmUNDOLOG), 0);
    P(emSETSEL, 4, 4);
    P(emREPLACESEL, 0, Arg("!"));
    EXPECT_EQ(Text(), "base!");
    EXPECT_EQ(P(emCANUNDO), 0); // nothing was recorded
    EXPECT_EQ(P(emUNDO), 0);
    EXPECT_EQ(Text(), "base!");
    EXPECT_FALSE(own->CanUndo());

    // Edits go to whichever log is attached.
    TUndoStack other;
    EXPECT_EQ(P(smmUNDOLOG, smfSet, Arg(&other)), 1);
    P(emREPLACESEL, 0, Arg("?"));
    EXPECT_TRUE(other.CanUndo());
    EXPECT_FALSE(own->CanUndo());

    EXPECT_EQ(P(smmUNDOLOG, smfSet, Arg(own)), 1);
    EXPECT_EQ(reinterpret_cast<TUndoStack*>(P(smmUNDOLOG)), own);
    P(emREPLACESEL, 0, Arg("#"));
    EXPECT_EQ(Text(), "base!?#");
    EXPECT_EQ(P(emUNDO), 1);
    EXPECT_EQ(Text(), "base!?");
    EXPECT_EQ(P(emCANUNDO), 0);
}

TEST_F(Messages, AttachingAnotherTextStore) {
    Load("mine");
    TCustomSyntaxMemo other;
    other.SetWholeText("theirs");
    auto* theirs = reinterpret_cast<TTextStore*>(other.Perform(smmTEXTSTORE));
    ASSERT_EQ(theirs, &other.Store());
    TTextStore* own = reinterpret_cast<TTextStore*>(P(smmTEXTSTORE));
    EXPECT_EQ(own, &memo.Store());

    EXPECT_EQ(P(smmTEXTSTORE, smfSet, Arg(theirs)), 1);
    EXPECT_EQ(reinterpret_cast<TTextStore*>(P(smmTEXTSTORE)), theirs);
    EXPECT_EQ(Text(), "theirs");
    EXPECT_EQ(P(wmGETTEXTLENGTH), 6);
    P(emSETSEL, 0, 0);
    P(emREPLACESEL, 0, Arg(">"));
    EXPECT_EQ(other.Text(), ">theirs"); // one document, two controls

    EXPECT_EQ(P(smmTEXTSTORE, smfSet, 0), 1);
    EXPECT_EQ(reinterpret_cast<TTextStore*>(P(smmTEXTSTORE)), own);
    EXPECT_EQ(Text(), "mine");
    Check();
}

TEST_F(Messages, RescanFromARow) {
    EXPECT_EQ(P(smmRESCANFROM, smfSet, 0), 0); // no rows to rescan
    Load("a\rb\rc\rd\re");
    P(smmPAINTLOCK, smfSet, 1);
    EXPECT_EQ(P(smmRESCANFROM, smfSet, 3), 1);
    EXPECT_EQ(P(smmRESCANFROM), 3);
    P(smmRESCANFROM, smfSet, 4); // a later row does not skip the rows already due
    EXPECT_EQ(P(smmRESCANFROM), 3);
    P(smmRESCANFROM, smfSet, 1);
    EXPECT_EQ(P(smmRESCANFROM), 1);
    P(smmRESCANFROM, smfSet, 99); // clamped to the last row, still after row 1
    EXPECT_EQ(P(smmRESCANFROM), 1);
    EXPECT_TRUE(memo.scans.empty());
    P(smmPAINTLOCK, smfSet, 0);
    EXPECT_EQ(memo.scans, (std::vector<int32_t>{1}));
    EXPECT_EQ(P(smmRESCANFROM), -1);

    P(smmRESCANFROM, smfSet, 99);
    EXPECT_EQ(memo.scans, (std::vector<int32_t>{1, 4}));
}

TEST_F(Messages, NotificationsUnknownRequestsAndNesting) {
    Load("abc");
    P(emSETSEL, 1, 2);
    changes = 0;
    for (uint32_t msg : {0u, 1u, 175u, 3071u, 3075u, 3076u, 3094u, 3095u, 3104u, 3106u, 99999u})
        EXPECT_EQ(P(msg, smfSet, Arg("zzz")), 0) << msg;
    // Questions do not notify either.
    for (uint32_t msg : {uint32_t(wmGETTEXTLENGTH), uint32_t(emGETMODIFY), uint32_t(emGETLINECOUNT),
                         uint32_t(smmOPTIONS), uint32_t(smmCANREDO)})
        P(msg);
    EXPECT_EQ(Text(), "abc");
    EXPECT_EQ(memo.Selection(), (TSelectionRange{1, 2}));
    EXPECT_EQ(changes, 0);

    // A request sent while another is at work is told of with it, once, when all is done.
    std::string seen;
    memo.OnChange = [&](TCustomSyntaxMemo& m) {
        ++changes;
        seen = m.Text();
    };
    memo.OnTextChange = [&](TCustomSyntaxMemo& m, TextOffset, int32_t) {
        m.Perform(smmFIRSTCOLUMN, smfSet, 3);
    };
    P(emREPLACESEL, 0, Arg("XY"));
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(seen, "aXYc");
    EXPECT_EQ(memo.FirstColumn(), 3);
}

} // namespace
} // namespace kvx
