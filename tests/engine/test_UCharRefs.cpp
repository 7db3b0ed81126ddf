#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <random>
#include <set>
#include <string>

#include "engine/UCharRefs.h"

namespace {

using namespace std::string_literals;

// The percent phase done the slow, literal way: find the first "%", replace
// it and its code, start again from the front.
std::string PercentLiteral(std::string t) {
    for (;;) {
        size_t p = t.find('%');
        if (p == std::string::npos) return t;
        std::string head = t.substr(0, p);
        std::string code = t.substr(p + 1, 2);
        std::string rest = t.substr(p + 1 + code.size());
        bool ok = !code.empty();
        for (char c : code) ok = ok && std::isxdigit(static_cast<unsigned char>(c));
        t = ok ? head + static_cast<char>(std::stoi(code, nullptr, 16)) + rest : head + rest;
    }
}

TEST(PercentEscapes, DecodeAndDropAsWritten) {
    EXPECT_EQ(UnescapeAttrValue("a%20b.htm"), "a b.htm");
    EXPECT_EQ(UnescapeAttrValue("%41%42"), "AB");
    EXPECT_EQ(UnescapeAttrValue("%4a%4A"), "JJ");
    EXPECT_EQ(UnescapeAttrValue("100%"), "100");
    EXPECT_EQ(UnescapeAttrValue("a%zzb"), "ab");
    EXPECT_EQ(UnescapeAttrValue("a%4zb"), "ab");   // a digit and a non-digit: both dropped
    EXPECT_EQ(UnescapeAttrValue("x%4"), "x\x04");  // one digit at the end
    EXPECT_EQ(UnescapeAttrValue("%%41"), "1");     // the code of the first "%" is "%4"
    EXPECT_EQ(UnescapeAttrValue(""), "");
    EXPECT_EQ(UnescapeAttrValue("%e8%a1%a8"), "\xE8\xA1\xA8");
    // "%" is never a trail byte, so double-byte text passes untouched.
    EXPECT_EQ(UnescapeAttrValue("\x95\x5C%20\x83\x7C"), "\x95\x5C \x83\x7C");
}

TEST(PercentEscapes, ProducedPercentCombinesWithWhatFollows) {
    EXPECT_EQ(UnescapeAttrValue("%2541"), "A");
    EXPECT_EQ(UnescapeAttrValue("%252541"), "A");
    EXPECT_EQ(UnescapeAttrValue("a%25"), "a");    // the produced "%" has no code left
    EXPECT_EQ(UnescapeAttrValue("%25%41"), "1");  // "%%41": the code "%4" is no escape
    EXPECT_EQ(UnescapeAttrValue("%25zz!"), "!");

    // A long chain: each escape yields the "%" of the next.
    std::string chain = "%25";
    for (int k = 0; k < 200000; ++k) chain += "25";
    chain += "41";
    EXPECT_EQ(UnescapeAttrValue(chain), "A");
}

TEST(PercentEscapes, SameAsTheLiteralLoopOnRandomValues) {
    std::mt19937 rng(7);
    const std::string alphabet = "%%%2541aF;&#zx";
    for (int round = 0; round < 20000; ++round) {
        std::string v;
        const size_t len = rng() % 14;
        for (size_t k = 0; k < len; ++k) v += alphabet[rng() % alphabet.size()];
        ASSERT_EQ(UnescapeAttrValue(v), DecodeCharRefs(PercentLiteral(v))) << v;
    }
}

TEST(CharRefs, NamedReferences) {
    EXPECT_EQ(DecodeCharRefs("&lt;&gt;&amp;&quot;"), "<>&\"");
    EXPECT_EQ(DecodeCharRefs("&copy;"), "\xA9");
    EXPECT_EQ(DecodeCharRefs("&COPY;"), "&COPY;");
    EXPECT_EQ(DecodeCharRefs("&Amp;"), "&Amp;");
    EXPECT_EQ(DecodeCharRefs("a&nbsp;b&yuml;"),
              "a\xA0"
              "b\xFF");
    EXPECT_EQ(DecodeCharRefs("&AElig;&aelig;&ETH;&eth;"), "\xC6\xE6\xD0\xF0");
    EXPECT_EQ(DecodeCharRefs("&apos;&euro;"), "&apos;&euro;");  // not HTML 3.2
}

TEST(CharRefs, NumericReferences) {
    EXPECT_EQ(DecodeCharRefs("&#65;"), "A");
    EXPECT_EQ(DecodeCharRefs("&#065;&#255;"), "A\xFF");
    EXPECT_EQ(DecodeCharRefs("&#256;"), "&#256;");
    EXPECT_EQ(DecodeCharRefs("&#99999999999999999999;"), "&#99999999999999999999;");
    EXPECT_EQ(DecodeCharRefs("&#x41;"), "&#x41;");
    EXPECT_EQ(DecodeCharRefs("&#$41;&#$ff;&#$FF;"), "A\xFF\xFF");
    EXPECT_EQ(DecodeCharRefs("&#$100;"), "&#$100;");
    for (const char* bad : {"&#;", "&#$;", "&# 65;", "&#+65;", "&#-1;", "&#6A;", "&#$4G;"})
        EXPECT_EQ(DecodeCharRefs(bad), bad);
}

TEST(CharRefs, UnmatchedTextIsCopied) {
    // The first "&" reaches the ";" of the reference, hiding it.
    EXPECT_EQ(DecodeCharRefs("AT&T &amp; co"), "AT&T &amp; co");
    EXPECT_EQ(DecodeCharRefs("a&b"), "a&b");
    EXPECT_EQ(DecodeCharRefs("&;"), "&;");
    EXPECT_EQ(DecodeCharRefs("x&&amp;"), "x&&amp;");
    EXPECT_EQ(DecodeCharRefs("&amp;&lt"), "&&lt");
    EXPECT_EQ(DecodeCharRefs("a;b&;;&gt;"), "a;b&;;>");
}

TEST(CharRefs, ResultEndsAtTheFirstZeroByte) {
    EXPECT_EQ(DecodeCharRefs("ab&#0;cd"), "ab");
    EXPECT_EQ(DecodeCharRefs("ab\0cd"s), "ab");
    EXPECT_EQ(DecodeCharRefs("&lt\0;x"s), "&lt");
    EXPECT_EQ(UnescapeAttrValue("a%00b.htm"), "a");
    EXPECT_EQ(UnescapeAttrValue("a&#$0;b"), "a");
}

TEST(CharRefs, BothKindsTogether) {
    EXPECT_EQ(UnescapeAttrValue("%26amp;"), "&");
    EXPECT_EQ(UnescapeAttrValue("a%20&amp;%20b"), "a & b");
    // References are decoded once: "&amp;lt;" is "&lt;", not "<".
    EXPECT_EQ(UnescapeAttrValue("&amp;lt;"), "&lt;");
}

TEST(CharRefs, TableIsTheHtml32Set) {
    ASSERT_EQ(CharRefCount, 100);
    EXPECT_STREQ(CharRefTable[0].Name, "lt");
    EXPECT_EQ(CharRefTable[0].Code, 60);
    EXPECT_STREQ(CharRefTable[1].Name, "gt");
    EXPECT_EQ(CharRefTable[1].Code, 62);
    EXPECT_STREQ(CharRefTable[2].Name, "amp");
    EXPECT_EQ(CharRefTable[2].Code, 38);
    EXPECT_STREQ(CharRefTable[3].Name, "quot");
    EXPECT_EQ(CharRefTable[3].Code, 34);
    // The Latin-1 names run in code order from 160 to 255.
    for (int k = 4; k < CharRefCount; ++k) EXPECT_EQ(CharRefTable[k].Code, 160 + k - 4) << k;
    std::set<std::string> names;
    for (const TCharRefEntry& e : CharRefTable) {
        names.insert(e.Name);
        // Every entry decodes to its byte through the public path.
        EXPECT_EQ(DecodeCharRefs("&"s + e.Name + ";"), std::string(1, static_cast<char>(e.Code))) << e.Name;
    }
    EXPECT_EQ(names.size(), 100u);
    struct Spot {
        const char* name;
        int code;
    };
    for (Spot s : {Spot{"nbsp", 160}, Spot{"shy", 173}, Spot{"micro", 181}, Spot{"frac34", 190}, Spot{"Agrave", 192},
                   Spot{"times", 215}, Spot{"THORN", 222}, Spot{"szlig", 223}, Spot{"divide", 247}, Spot{"thorn", 254},
                   Spot{"yuml", 255}}) {
        EXPECT_STREQ(CharRefTable[s.code - 160 + 4].Name, s.name);
    }
}

}  // namespace
