#include <gtest/gtest.h>

#include <string>

#include "engine/YKKanjiLib.h"
#include "platform/Encoding.h"

namespace {

const std::string kEsc = "\x1B";

TEST(KanjiLib, DetectionTakesTheFirstDecisiveFinding) {
    EXPECT_EQ(DetectKanjiCode(""), 0);
    EXPECT_EQ(DetectKanjiCode("<HTML>plain text</HTML>"), 0);
    EXPECT_EQ(DetectKanjiCode("\x88\x9F"), 2);
    EXPECT_EQ(DetectKanjiCode("abc\xB0\xA1"), 1);
    // A pair both encodings explain is Shift-JIS; so is EUC half-width kana.
    EXPECT_EQ(DetectKanjiCode("\xE0\xA1"), 2);
    EXPECT_EQ(DetectKanjiCode("\x8E\xB1"), 2);
    // Pairs Shift-JIS cannot explain.
    EXPECT_EQ(DetectKanjiCode("\xE0\xFD"), 1);
    EXPECT_EQ(DetectKanjiCode("\x8E\xFE"), 1);
    EXPECT_EQ(DetectKanjiCode("\x8F\xFD"), 1);
    // Neither: a lead with a non-trail that is no EUC byte, then nothing.
    EXPECT_EQ(DetectKanjiCode("\x88\xFD"), 0);
    EXPECT_EQ(DetectKanjiCode("x\x88"), 0);
    // The first finding wins: an escape sequence before Shift-JIS bytes...
    EXPECT_EQ(DetectKanjiCode(kEsc + "$B" + "0!" + kEsc + "(B\x88\x9F"), 0);
    EXPECT_EQ(DetectKanjiCode(kEsc + "$@"), 0);
    EXPECT_EQ(DetectKanjiCode(kEsc + "$(D"), 0);
    EXPECT_EQ(DetectKanjiCode(kEsc + "&@"), 0);
    EXPECT_EQ(DetectKanjiCode(kEsc + "(J"), 0);
    EXPECT_EQ(DetectKanjiCode(kEsc + "(I"), 0);
    // ...while an escape that is no known sequence decides nothing.
    EXPECT_EQ(DetectKanjiCode(kEsc + "(Z\x88\x9F"), 2);
    EXPECT_EQ(DetectKanjiCode(kEsc + "$"), 0);
    EXPECT_EQ(DetectKanjiCode(kEsc + "$Z\xB0\xA1"), 1);
}

TEST(KanjiLib, DetectionNeverLooksPastTheLength) {
    const unsigned char buf[] = {'a', 0x88, 0x9F};
    EXPECT_EQ(DetectKanjiCode(buf, 2), 0);
    EXPECT_EQ(DetectKanjiCode(buf, 3), 2);
    const unsigned char esc[] = {0x1B, '$', 'B'};
    EXPECT_EQ(DetectKanjiCode(esc, 2), 0);
}

TEST(KanjiLib, JisCharArithmetic) {
    EXPECT_EQ(JISCharToSJIS(0x3021), 0x889F);  // first level-1 kanji
    EXPECT_EQ(JISCharToSJIS(0x2121), 0x8140);  // ideographic space
    EXPECT_EQ(JISCharToSJIS(0x2560), 0x8380);  // odd row, cell from 0x60
    EXPECT_EQ(JISCharToSJIS(0x255F), 0x837E);
    EXPECT_EQ(JISCharToSJIS(0x5F21), 0xE040);  // first row above 0x5E
    EXPECT_EQ(JISCharToSJIS(0x7426), 0xEAA4);  // last JIS X 0208 character
}

TEST(KanjiLib, JisToSjisFollowsTheEscapes) {
    EXPECT_EQ(JISToSJIS("plain <A HREF=x>\r\n"), "plain <A HREF=x>\r\n");
    EXPECT_EQ(JISToSJIS(kEsc + "$B" + "0!" + kEsc + "(B"), "\x88\x9F");
    // 日本語 in JIS, between ASCII, matches the system converter's CP932.
    EXPECT_EQ(JISToSJIS("a" + kEsc + "$BF|K\\8l" + kEsc + "(Jb"), "a" + SJ("日本語") + "b");
    EXPECT_EQ(JISToSJIS(kEsc + "&@" + kEsc + "$B0!" + kEsc + "(B"), "\x88\x9F");
    // Unknown sequences stay in the text; only known ones are removed.
    EXPECT_EQ(JISToSJIS(kEsc + "$Zx"), kEsc + "$Zx");
    EXPECT_EQ(JISToSJIS(kEsc + "&Ax"), kEsc + "&Ax");
    EXPECT_EQ(JISToSJIS(kEsc + "(Zx"), kEsc + "(Zx");
    EXPECT_EQ(JISToSJIS(kEsc + "Kx"), kEsc + "Kx");
    // ESC ( I selects single-byte mode: 7-bit kana codes pass through.
    EXPECT_EQ(JISToSJIS(kEsc + "(I1" + kEsc + "(B"), "1");
    // Double-byte mode pairs whatever comes, top bits cleared, line ends too.
    EXPECT_EQ(JISToSJIS(kEsc + "$B\xB0\xA1\r\n"), std::string("\x88\x9F") + "\x77\x29");
}

TEST(KanjiLib, JisCutOffSequencesAreDropped) {
    EXPECT_EQ(JISToSJIS("ab" + kEsc), "ab");
    EXPECT_EQ(JISToSJIS("ab" + kEsc + "$"), "ab");
    EXPECT_EQ(JISToSJIS("ab" + kEsc + "("), "ab");
    EXPECT_EQ(JISToSJIS(kEsc + "$B0!0"), "\x88\x9F");
}

TEST(KanjiLib, EucToSjis) {
    EXPECT_EQ(EUCToSJIS("plain\r\n"), "plain\r\n");
    EXPECT_EQ(EUCToSJIS("\xB0\xA1"), "\x88\x9F");
    EXPECT_EQ(EUCToSJIS("<P>\xC6\xFC\xCB\xDC\xB8\xEC</P>"), "<P>" + SJ("日本語") + "</P>");
    // Half-width katakana: the shift byte goes, the code stays.
    EXPECT_EQ(EUCToSJIS("\x8E\xB1x"), "\xB1x");
    // JIS X 0212: the pair is converted, the third byte copied, and the
    // character after it survives.
    EXPECT_EQ(EUCToSJIS("\x8F\xB0\xA1\xB0\xA1"), std::string("\x78\x4F\xA1\x88\x9F"));
    EXPECT_EQ(EUCToSJIS("\x8F\xB0\xA1<A>"), std::string("\x78\x4F\xA1<A>"));
}

TEST(KanjiLib, EucCutOffSequencesAreDropped) {
    EXPECT_EQ(EUCToSJIS("a\xB0"), "a");
    EXPECT_EQ(EUCToSJIS("a\x8E"), "a");
    EXPECT_EQ(EUCToSJIS("a\x8F"), "a");
    EXPECT_EQ(EUCToSJIS("a\x8F\xB0"), "a");
    EXPECT_EQ(EUCToSJIS(std::string_view("a\xB0\xA1", 2)), "a");
}

}  // namespace
