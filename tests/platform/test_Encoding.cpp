#include <gtest/gtest.h>

#include "platform/Encoding.h"

namespace {

TEST(Encoding, FixedTextsBecomeCp932Bytes) {
    EXPECT_EQ(SJ("ファイル"), "\x83\x74\x83\x40\x83\x43\x83\x8B");
    // Half-width katakana and the half-width comma are single bytes.
    EXPECT_EQ(SJ("ﾌｧｲﾙ"), "\xCC\xA7\xB2\xD9");
    EXPECT_EQ(SJ("､"), "\xA4");
    EXPECT_EQ(SJ("↓"), "\x81\xAB");
    // The same call site hands out the same converted object.
    const std::string* a = nullptr;
    for (int i = 0; i < 2; ++i) {
        const std::string& s = SJ("表");
        if (a) {
            EXPECT_EQ(a, &s);
        }
        a = &s;
    }
}

TEST(Encoding, RoundTripAndFailures) {
    const std::string sj = "\x95\x5C\x83\x7C";  // 表ポ: trail bytes 0x5C and 0x7C
    auto u = platform::Cp932ToUtf8Strict(sj);
    ASSERT_TRUE(u);
    EXPECT_EQ(*u, "表ポ");
    EXPECT_EQ(platform::Utf8ToCp932Strict(*u), sj);
    // A lead byte cut off at the end and a byte that CP932 does not define.
    EXPECT_FALSE(platform::Cp932ToUtf8Strict("abc\x88"));
    EXPECT_FALSE(platform::Cp932ToUtf8Strict("\xA0"));
    EXPECT_EQ(platform::Cp932ToUtf8("a\x88"), "a\xEF\xBF\xBD");
    // Characters outside CP932 are refused strictly and tagged for display.
    EXPECT_FALSE(platform::Utf8ToCp932Strict("caf\xC3\xA9 \xF0\x9F\x98\x80"));
    EXPECT_EQ(platform::Utf8ToCp932("x\xF0\x9F\x98\x80y"), "x<U+1F600>y");
    EXPECT_EQ(platform::Utf8ToCp932("bad\xFFz"), "bad<U+00FF>z");
    // Plain ASCII passes untouched, backslash and tilde included.
    EXPECT_EQ(platform::Cp932ToUtf8Strict("a\\b~c"), "a\\b~c");
}

TEST(Encoding, AnsiUpperLeavesTrailBytesAlone) {
    // ア is 0x83 0x41; ビ is 0x83 0x72 (trail byte is a small 'r').
    EXPECT_EQ(platform::AnsiUpper("abc\x83\x72xyz"), "ABC\x83\x72XYZ");
    EXPECT_EQ(platform::AnsiUpper("\x83\x61"), "\x83\x61");
    EXPECT_EQ(platform::AnsiUpper("\xE9\x61"
                                  "a"),
              "\xE9\x61"
              "A");
    // Single-byte katakana are not lead bytes: the byte after one is a letter.
    EXPECT_EQ(platform::AnsiUpper("\xB1"
                                  "a"),
              "\xB1"
              "A");
    EXPECT_TRUE(platform::SameTextSjis("Index.HTML", "index.html"));
    EXPECT_FALSE(platform::SameTextSjis("\x83\x72", "\x83\x52"));
    EXPECT_TRUE(platform::StartsTextSjis("HTTP://x", "http:"));
    EXPECT_FALSE(platform::StartsTextSjis("ht", "http:"));
}

TEST(Encoding, DoubleByteSafeSearch) {
    const std::string s =
        "a\\\x95\x5C"
        "b\\";  // a \ 表 b \  (表 = 95 5C)
    EXPECT_EQ(platform::SjisFind(s, '\\'), 1u);
    EXPECT_EQ(platform::SjisFind(s, '\\', 2), 5u);
    EXPECT_EQ(platform::SjisRFind("\x95\x5C", '\\'), std::string::npos);
    EXPECT_EQ(platform::SjisRFindAny("x|\x83\x7C", "|:"), 1u);
    std::string t = s;
    platform::SjisReplaceChar(t, '\\', '/');
    EXPECT_EQ(t,
              "a/\x95\x5C"
              "b/");
    // "URL=" must not match across a character whose trail byte is 'U'.
    EXPECT_EQ(platform::SjisFindText("\x83UXL=URL=", "URL="), 5u);
    EXPECT_EQ(platform::SjisFindText("abc", "zz"), std::string::npos);
}

}  // namespace
