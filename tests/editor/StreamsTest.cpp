#include "editor/EdStream.h"
#include "editor/SMBase.h"
#include "editor/Stream.h"
#include "editor/SyntaxEd.h"
#include "support/FakePlatform.h"
#include "support/StoreInvariants.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace kvx {
namespace {

void ExpectWriteRefused(TStream& s) {
    try {
        s.Write("x", 1);
        ADD_FAILURE() << "a write went through";
    } catch (const EStreamError& e) {
        EXPECT_EQ(e.MessageId(), msgReadOnlyStream);
        EXPECT_STREQ(e.what(), "Cannot write to a read-only stream");
    }
}

class Streams : public ::testing::Test {
  protected:
    test::TFakePlatform platform;
    TCustomSyntaxMemo memo{&platform};

    // Breaks in several forms, a blank line, and a 5000-character line that the store cuts
    // into rows of 2047, 2047 and 906 without breaks between them.
    void LoadMixed() {
        std::string text = "ab\r\n\ncd\r";
        for (int i = 0; i < 5000; ++i)
            text.push_back(static_cast<char>('a' + i % 26));
        text += "\nef";
        memo.SetWholeText(text);
        ASSERT_EQ(memo.Store().RowCount(), 7);
    }
    // Expects the stream's row and index to be where the store puts its position.
    void ExpectPlace(TEdStream& s) {
        const TRowFinger f = memo.Store().RowAt(nullptr, s.Pos());
        ASSERT_NE(f.Row, nullptr);
        EXPECT_EQ(s.Row(), f.Row) << "at " << s.Pos();
        EXPECT_EQ(s.RowIndex(), std::min(f.Index, memo.Store().RowCount() - 1)) << "at " << s.Pos();
        EXPECT_EQ(s.IndexInRow(), s.Pos() - f.Offset) << "at " << s.Pos();
    }
};

TEST_F(Streams, StepsThroughEveryCharacterBothWays) {
    LoadMixed();
    const std::string text = memo.Text();
    TEdStream s(memo);
    EXPECT_EQ(s.DocLength(), static_cast<TextOffset>(text.size()));
    EXPECT_TRUE(s.AtStart());

    std::string forward;
    while (!s.AtEnd()) {
        forward.push_back(static_cast<char>(s.Current()));
        if (forward.size() % 997 == 1 || s.Current() == '\r')
            ExpectPlace(s);
        s.Next();
    }
    EXPECT_EQ(forward, text);
    EXPECT_EQ(s.Pos(), static_cast<TextOffset>(text.size()));
    EXPECT_EQ(s.Current(), 0);
    EXPECT_EQ(s.Next(), 0); // stays at the end
    EXPECT_EQ(s.Pos(), static_cast<TextOffset>(text.size()));
    EXPECT_EQ(s.RowIndex(), 6);
    EXPECT_EQ(s.IndexInRow(), 2);

    std::string backward;
    while (!s.AtStart())
        backward.insert(backward.begin(), static_cast<char>(s.Prev()));
    EXPECT_EQ(backward, text);
    EXPECT_EQ(s.Prev(), 'a'); // stays at the start
    EXPECT_EQ(s.Pos(), 0);
    EXPECT_EQ(s.RowIndex(), 0);

    // Next and Prev return the character they arrive at, across a row boundary both ways.
    s.SetPosition(2); // the first break
    EXPECT_EQ(s.Next(), '\r');
    EXPECT_EQ(s.RowIndex(), 1);
    EXPECT_EQ(s.Next(), 'c');
    EXPECT_EQ(s.RowIndex(), 2);
    EXPECT_EQ(s.Prev(), '\r');
    EXPECT_EQ(s.RowIndex(), 1);

    TCustomSyntaxMemo empty;
    TEdStream none(empty);
    EXPECT_TRUE(none.AtEnd());
    EXPECT_EQ(none.Current(), 0);
    EXPECT_EQ(none.Next(), 0);
    EXPECT_EQ(none.Prev(), 0);
    EXPECT_EQ(none.Row(), nullptr);
}

TEST_F(Streams, ReadCopiesAcrossRowsAndStopsAtTheEnd) {
    LoadMixed();
    const std::string text = memo.Text();
    for (int chunk : {1, 3, 2047, 2048, 100000}) {
        TEdStream s(memo);
        std::string all;
        std::string buf(static_cast<size_t>(chunk), '\0');
        int64_t n;
        while ((n = s.Read(buf.data(), chunk)) > 0) {
            ASSERT_LE(n, chunk);
            all.append(buf.data(), static_cast<size_t>(n));
        }
        EXPECT_EQ(all, text) << "chunk " << chunk;
        EXPECT_EQ(s.Read(buf.data(), chunk), 0);
        EXPECT_TRUE(s.AtEnd());
    }

    TEdStream s(memo);
    s.SetPosition(4093); // a few characters before the end of the second cut row
    char buf[16] = {};
    ASSERT_EQ(s.Read(buf, 10), 10);
    EXPECT_EQ(std::string(buf, 10), text.substr(4093, 10));
    EXPECT_EQ(s.Pos(), 4103);
    ExpectPlace(s);
    EXPECT_EQ(s.Read(buf, 0), 0);
    EXPECT_EQ(s.Read(buf, -5), 0);
    EXPECT_EQ(s.Pos(), 4103);
    EXPECT_THROW(s.Read(nullptr, 4), EStreamError);
    EXPECT_EQ(s.Pos(), 4103);

    // A read that asks for more than is left returns only what is left.
    s.Seek(-3, TSeekOrigin::End);
    EXPECT_EQ(s.Read(buf, 16), 3);
    EXPECT_EQ(std::string(buf, 3), "\ref");
}

TEST_F(Streams, SeekFromEachOriginIsClampedToTheDocument) {
    LoadMixed();
    const std::string text = memo.Text();
    const auto size = static_cast<int64_t>(text.size());
    TEdStream s(memo);
    EXPECT_EQ(s.Size(), size);

    EXPECT_EQ(s.Seek(6, TSeekOrigin::Begin), 6);
    EXPECT_EQ(s.Current(), static_cast<unsigned char>(text[6]));
    EXPECT_EQ(s.Seek(3000, TSeekOrigin::Current), 3006);
    EXPECT_EQ(s.Current(), static_cast<unsigned char>(text[3006]));
    ExpectPlace(s);
    EXPECT_EQ(s.Seek(-2999, TSeekOrigin::Current), 7);
    ExpectPlace(s);
    EXPECT_EQ(s.Seek(-1, TSeekOrigin::End), size - 1);
    EXPECT_EQ(s.Current(), 'f');
    EXPECT_EQ(s.Position(), size - 1);

    EXPECT_EQ(s.Seek(-100, TSeekOrigin::Begin), 0);
    EXPECT_EQ(s.Seek(10, TSeekOrigin::End), size);
    EXPECT_EQ(s.Current(), 0);
    EXPECT_TRUE(s.AtEnd());
    EXPECT_EQ(s.Seek(std::numeric_limits<int64_t>::max(), TSeekOrigin::Current), size);
    EXPECT_EQ(s.Seek(std::numeric_limits<int64_t>::min(), TSeekOrigin::End), 0);
    EXPECT_EQ(s.Seek(std::numeric_limits<int64_t>::max(), TSeekOrigin::End), size);
    EXPECT_EQ(s.Current(), 0);
}

TEST_F(Streams, PositionToRowAndIndex) {
    LoadMixed();
    const std::string text = memo.Text();
    TEdStream s(memo);
    s.PositionTo(2, 1);
    EXPECT_EQ(s.Pos(), 5);
    EXPECT_EQ(s.Current(), 'd');
    EXPECT_EQ(s.RowIndex(), 2);
    EXPECT_EQ(s.IndexInRow(), 1);

    s.PositionTo(5, 10); // the third cut row of the long line
    EXPECT_EQ(s.Pos(), 7 + 2047 + 2047 + 10);
    EXPECT_EQ(s.Current(), static_cast<unsigned char>(text[7 + 2047 + 2047 + 10]));
    ExpectPlace(s);

    s.PositionTo(1, 50); // past the end of a row: the start of the next one
    EXPECT_EQ(s.Pos(), 4);
    EXPECT_EQ(s.RowIndex(), 2);
    s.PositionTo(-3, -3);
    EXPECT_EQ(s.Pos(), 0);
    s.PositionTo(99, 0);
    EXPECT_EQ(s.Pos(), static_cast<TextOffset>(text.size()));
    EXPECT_TRUE(s.AtEnd());
}

// Searching and word moves reposition the stream over and over, forwards and backwards, across
// many rows; each landing must read the character at that offset.
TEST_F(Streams, RepositioningAcrossManyRowsReadsTheRightCharacter) {
    std::string text;
    for (int i = 0; i < 100000; ++i)
        text += "ab\r";
    memo.SetWholeText(text);
    TEdStream s(memo);
    int64_t sum = 0;
    for (TextOffset p = 1; p < static_cast<TextOffset>(text.size()); p += 3) {
        s.SetPosition(p);
        sum += s.Current();
    }
    for (TextOffset p = static_cast<TextOffset>(text.size()) - 3; p >= 0; p -= 3) {
        s.Seek(p, TSeekOrigin::Begin);
        sum += s.Current();
    }
    EXPECT_EQ(sum, 100000 * int64_t('b') + 100000 * int64_t('a'));
}

TEST_F(Streams, WritingRaisesTheReadOnlyError) {
    memo.SetWholeText("abc");
    TEdStream s(memo);
    ExpectWriteRefused(s);
    EXPECT_EQ(memo.Text(), "abc");
}

TEST_F(Streams, AStreamThatOutlivesAnEditReadsTheNewText) {
    LoadMixed();
    TEdStream s(memo);
    s.PositionTo(3, 100);
    const TextOffset at = s.Pos();

    // Delete the rows around the stream's position: its row is freed.
    memo.SetSelection(2, 4200);
    memo.ReplaceSelection("XY");
    EXPECT_EQ(test::CheckStore(memo.Store()), "");
    std::string text = memo.Text();
    ASSERT_LT(static_cast<size_t>(at), text.size());
    EXPECT_EQ(s.Current(), static_cast<unsigned char>(text[at]));
    ExpectPlace(s);

    // Re-wrapping replaces every row without changing the text.
    s.SetPosition(5);
    memo.SetOptions(memo.Options().Include(smoWordWrap));
    memo.SetOptions(memo.Options().Exclude(smoWordWrap));
    EXPECT_EQ(test::CheckStore(memo.Store()), "");
    EXPECT_EQ(s.Current(), static_cast<unsigned char>(text[5]));
    ExpectPlace(s);

    // The document shrinks below the position: a loop until AtEnd still ends.
    s.Seek(0, TSeekOrigin::End);
    s.SetPosition(static_cast<TextOffset>(text.size()) - 1);
    memo.SetWholeText("short");
    EXPECT_EQ(s.Current(), 0);
    EXPECT_TRUE(s.AtEnd());
    EXPECT_EQ(s.Next(), 0);
    char buf[8];
    EXPECT_EQ(s.Read(buf, 8), 0);
    s.SetPosition(0);
    EXPECT_EQ(s.Read(buf, 8), 5);

    memo.Clear();
    EXPECT_EQ(s.Current(), 0);
    EXPECT_EQ(s.Prev(), 0);
    EXPECT_EQ(s.Pos(), 0);
}

TEST_F(Streams, AStreamFollowsTheControlToAnotherDocument) {
    memo.SetWholeText("own text");
    TEdStream s(memo);
    s.SetPosition(4);
    {
        TTextStore other;
        memo.AttachTextStore(&other);
        memo.SetWholeText("the other one");
        EXPECT_EQ(s.Current(), 'o');
        EXPECT_EQ(s.Size(), 13);
        EXPECT_EQ(test::CheckStore(other), "");
    } // the other document goes away while the stream still knows it
    EXPECT_EQ(s.Size(), 8);
    EXPECT_EQ(s.Current(), 't');
    EXPECT_EQ(s.Next(), 'e');
}

TEST(FastMemoryStream, SizeIsTheStringLengthAndWritesAreRefused) {
    const char buffer[] = "abc\0def";
    TFastMemoryStream s(buffer);
    EXPECT_EQ(s.Size(), 3);
    char out[8] = {};
    EXPECT_EQ(s.Read(out, 8), 3);
    EXPECT_EQ(std::string(out, 3), "abc");
    EXPECT_EQ(s.Seek(10, TSeekOrigin::Begin), 3);
    EXPECT_EQ(s.Seek(-10, TSeekOrigin::Current), 0);
    ExpectWriteRefused(s);
    EXPECT_EQ(std::string(buffer, 3), "abc");
    EXPECT_EQ(TFastMemoryStream(nullptr).Size(), 0);
}

// ---- Objects that copy themselves through a stream -------------------------------------

// Reads field by field straight into itself, as a simple subclass would, so a failure half
// way leaves it half changed unless Assign protects it.
class TPen : public TSM_Base {
  public:
    const char* ClassName() const override { return "TPen"; }
    void SaveToStream(TStream& stream) const override {
        WriteInt32(stream, Width);
        if (DamageName)
            WriteInt32(stream, 1 << 30); // a string length that cannot be right
        else
            WriteLongString(stream, Name);
        if (ExtraBytes)
            WriteInt32(stream, 0);
    }
    void LoadFromStream(TStream& stream) override {
        Width = ReadInt32(stream, "pen width");
        Name = ReadLongString(stream, "pen name");
    }
    int32_t Width = 1;
    std::string Name = "thin";
    bool DamageName = false;
    bool ExtraBytes = false;
};

class TBoldPen : public TPen {
  public:
    const char* ClassName() const override { return "TBoldPen"; }
};

class TBrush : public TSM_Base {
  public:
    const char* ClassName() const override { return "TBrush"; }
    void SaveToStream(TStream& stream) const override { WriteInt32(stream, Color); }
    void LoadFromStream(TStream& stream) override { Color = ReadInt32(stream, "brush color"); }
    int32_t Color = 0;
};

TEST(SMBase, AssignCopiesThroughAStreamAndRefusesOtherClasses) {
    TPen source;
    source.Width = -70000;
    source.Name = std::string("with\0zero and \xC3\xA9", 16);
    TPen target;
    target.Assign(source);
    EXPECT_EQ(target.Width, -70000);
    EXPECT_EQ(target.Name, source.Name);
    target.Assign(target);
    EXPECT_EQ(target.Width, -70000);

    TBrush brush;
    brush.Color = 5;
    TBoldPen bold;
    bold.Width = 9;
    auto expectRefused = [](TSM_Base& to, const TSM_Base& from, const char* message) {
        try {
            to.Assign(from);
            ADD_FAILURE() << "assigned: " << message;
        } catch (const ESyntaxMemo& e) {
            EXPECT_STREQ(e.what(), message);
        }
    };
    expectRefused(target, brush, "Cannot assign a TBrush to TPen");
    expectRefused(brush, target, "Cannot assign a TPen to TBrush");
    expectRefused(target, bold, "Cannot assign a TBoldPen to TPen");
    EXPECT_EQ(target.Width, -70000);
    EXPECT_EQ(brush.Color, 5);
}

TEST(SMBase, AFailedReadLeavesTheTargetAsItWas) {
    TPen target;
    target.Width = 3;
    target.Name = "kept";

    TPen damaged;
    damaged.Width = 8; // read and stored before the bad name length is met
    damaged.DamageName = true;
    try {
        target.Assign(damaged);
        ADD_FAILURE() << "a damaged stream was read";
    } catch (const EStreamError& e) {
        EXPECT_NE(std::string(e.what()).find("pen name"), std::string::npos) << e.what();
    }
    EXPECT_EQ(target.Width, 3);
    EXPECT_EQ(target.Name, "kept");

    TPen longer;
    longer.Width = 8;
    longer.ExtraBytes = true;
    try {
        target.Assign(longer);
        ADD_FAILURE() << "bytes were left unread without complaint";
    } catch (const ESyntaxMemo& e) {
        EXPECT_STREQ(e.what(), "TPen read 12 of the 16 bytes it wrote");
    }
    EXPECT_EQ(target.Width, 3);
    EXPECT_EQ(target.Name, "kept");

    TMemoryStream shortStream(std::string("\x01\x00", 2));
    try {
        target.LoadFromStream(shortStream);
        ADD_FAILURE() << "a short stream was read";
    } catch (const EStreamError& e) {
        EXPECT_STREQ(e.what(), "Unexpected end of stream while reading pen width");
    }
}

} // namespace
} // namespace kvx
