#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "engine/YKHTMLTagDecode.h"

namespace {

using Strings = std::vector<std::string>;

struct Token {
    uint8_t Kind;
    std::string Text;
    std::string Tag;
    uint32_t Link;
    std::string Value1, Value2;
    int64_t ValuePos, ValueLen;
    Strings Names, Values;
    int64_t LineAfter;
};

// Scans the whole text the way a measurement does, asking for the
// attribute lists too. With skipText the scanner leaves TokenText empty and
// the token's text is taken from the positions.
std::vector<Token> ScanAll(const std::string& html, bool skipText = false) {
    TTagScanBuffer buf{html.data(), 0, static_cast<int64_t>(html.size())};
    THTMLLinkResult r;
    InitLinkResult(r);
    r.SkipTokenText = skipText;
    r.AttrNames.emplace();
    r.AttrValues.emplace();
    const bool stop = false;
    std::vector<Token> out;
    while (buf.Pos < buf.Len) {
        const int64_t before = buf.Pos;
        const bool xmpContent = r.InXMP;
        GetHTMLTag(buf, r, LinkTagTable, LinkTagCount, stop);
        // Only an empty XMP content may be an empty token.
        if (!xmpContent) {
            EXPECT_GT(buf.Pos, before);
        }
        EXPECT_EQ(r.TokenText, skipText ? std::string() : html.substr(before, buf.Pos - before));
        out.push_back({r.TokenKind, html.substr(before, buf.Pos - before), r.TagName, r.LinkType, r.Value1, r.Value2,
                       r.ValuePos, r.ValueLen, *r.AttrNames, *r.AttrValues, r.LineNo});
        if (buf.Pos <= before && !xmpContent) break;
    }
    return out;
}

Strings Texts(const std::vector<Token>& toks) {
    Strings s;
    for (const auto& t : toks) s.push_back(t.Text);
    return s;
}

TEST(TagScanner, TextAndStrayAngleBrackets) {
    auto t = ScanAll("a < b");
    EXPECT_EQ(Texts(t), (Strings{"a ", "<", " b"}));
    for (const auto& k : t) EXPECT_EQ(k.Kind, tkText);

    t = ScanAll("x<");
    EXPECT_EQ(Texts(t), (Strings{"x", "<"}));
    EXPECT_EQ(t[1].Kind, tkText);

    t = ScanAll("<1x>");
    EXPECT_EQ(Texts(t), (Strings{"<", "1x>"}));
    EXPECT_EQ(t[0].Kind, tkText);
    EXPECT_EQ(t[1].Kind, tkText);
}

TEST(TagScanner, StartTagPicksTheTableAttribute) {
    const std::string page = "xx<A HREF=foo.htm>";
    auto t = ScanAll(page);
    ASSERT_EQ(t.size(), 2u);
    EXPECT_EQ(t[1].Kind, tkTag);
    EXPECT_EQ(t[1].Tag, "A");
    EXPECT_EQ(t[1].Link, ltLink);
    EXPECT_EQ(t[1].Value1, "foo.htm");
    EXPECT_EQ(t[1].Text, "<A HREF=foo.htm>");
    EXPECT_EQ(page.substr(t[1].ValuePos, t[1].ValueLen), "foo.htm");
    EXPECT_EQ(t[1].ValuePos, 10);

    t = ScanAll("<a href = \"x y\">");
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(t[0].Tag, "A");
    EXPECT_EQ(t[0].Names, Strings{"HREF"});
    EXPECT_EQ(t[0].Values, Strings{"x y"});
    EXPECT_EQ(t[0].Value1, "x y");
    EXPECT_EQ(t[0].ValuePos, 11);
    EXPECT_EQ(t[0].ValueLen, 3);

    // A later occurrence wins; the lists keep both, names upper-cased.
    const std::string img = "<IMG SRC='a.gif' alt=\"A B\" src=b.gif>";
    t = ScanAll(img);
    EXPECT_EQ(t[0].Link, ltImage);
    EXPECT_EQ(t[0].Value1, "b.gif");
    EXPECT_EQ(img.substr(t[0].ValuePos, t[0].ValueLen), "b.gif");
    EXPECT_EQ(t[0].Names, (Strings{"SRC", "ALT", "SRC"}));
    EXPECT_EQ(t[0].Values, (Strings{"a.gif", "A B", "b.gif"}));

    // Two picked attributes: ValuePos follows the last one in the source.
    const std::string meta = "<META HTTP-EQUIV=\"Refresh\" CONTENT=\"5; URL=next.htm\">";
    t = ScanAll(meta);
    EXPECT_EQ(t[0].Link, ltMeta);
    EXPECT_EQ(t[0].Value1, "Refresh");
    EXPECT_EQ(t[0].Value2, "5; URL=next.htm");
    EXPECT_EQ(meta.substr(t[0].ValuePos, t[0].ValueLen), "5; URL=next.htm");
    const std::string swapped = "<meta content='0;url=a.htm' http-equiv=refresh>";
    t = ScanAll(swapped);
    EXPECT_EQ(t[0].Value1, "refresh");
    EXPECT_EQ(t[0].Value2, "0;url=a.htm");
    EXPECT_EQ(swapped.substr(t[0].ValuePos, t[0].ValueLen), "refresh");

    // Tags outside the table and unpicked attributes give no link data.
    t = ScanAll("<P ALIGN=center><IMG ALT=x>");
    EXPECT_EQ(t[0].Link, 0u);
    EXPECT_EQ(t[0].Tag, "P");
    EXPECT_EQ(t[1].Link, ltImage);
    EXPECT_EQ(t[1].Value1, "");
    EXPECT_EQ(t[1].ValuePos, 0);
    EXPECT_EQ(t[1].ValueLen, 0);
}

TEST(TagScanner, AttributesWithoutValuesAndOddBytes) {
    auto t = ScanAll("<A HREF>x");
    EXPECT_EQ(Texts(t), (Strings{"<A HREF>", "x"}));
    EXPECT_EQ(t[0].Value1, "");
    EXPECT_EQ(t[0].Values, Strings{""});

    t = ScanAll("<A HREF=>x");
    EXPECT_EQ(Texts(t), (Strings{"<A HREF=>", "x"}));
    EXPECT_EQ(t[0].Value1, "");
    EXPECT_EQ(t[0].Names, Strings{"HREF"});
    EXPECT_EQ(t[0].Values, Strings{""});

    // The underscore is no tag name byte and no name start: skipped.
    t = ScanAll("<my_tag>");
    EXPECT_EQ(t[0].Tag, "MY");
    EXPECT_EQ(t[0].Names, Strings{"TAG"});
    EXPECT_EQ(t[0].Values, Strings{""});

    // Quotes, '=' and '<' that cannot start a name are passed over; a '>'
    // on the way ends the tag.
    t = ScanAll("<A =\"q\" HREF=z>");
    EXPECT_EQ(t[0].Names, (Strings{"Q", "HREF"}));
    EXPECT_EQ(t[0].Values, (Strings{"", "z"}));
    EXPECT_EQ(t[0].Value1, "z");
    t = ScanAll("<A HREF=a +<>b");
    EXPECT_EQ(Texts(t), (Strings{"<A HREF=a +<>", "b"}));

    // Unquoted values run to white space or '>', taking '<' and quotes.
    t = ScanAll("<A HREF=x<B>y");
    EXPECT_EQ(Texts(t), (Strings{"<A HREF=x<B>", "y"}));
    EXPECT_EQ(t[0].Value1, "x<B");
    // A quoted value keeps '>', '<' and line ends.
    t = ScanAll("<A HREF=\"a\nb>c\" X>z");
    EXPECT_EQ(t[0].Value1, "a\nb>c");
    EXPECT_EQ(t[0].LineAfter, 2);
    EXPECT_EQ(t[1].Text, "z");
}

TEST(TagScanner, TagsCutOffOrInterrupted) {
    // A '<' between attributes starts the next token.
    auto t = ScanAll("<A HREF=\"x\"<B>");
    EXPECT_EQ(Texts(t), (Strings{"<A HREF=\"x\"", "<B>"}));
    EXPECT_EQ(t[0].Value1, "x");
    EXPECT_EQ(t[1].Tag, "B");

    // The data ends inside the tag at every stage.
    t = ScanAll("<IMG");
    EXPECT_EQ(t[0].Kind, tkTag);
    EXPECT_EQ(t[0].Tag, "");
    EXPECT_EQ(t[0].Link, 0u);
    t = ScanAll("<IMG SRC");
    EXPECT_EQ(t[0].Tag, "IMG");
    EXPECT_TRUE(t[0].Names.empty());
    t = ScanAll("<IMG SRC ");
    EXPECT_EQ(t[0].Names, Strings{"SRC"});
    EXPECT_EQ(t[0].Values, Strings{""});
    t = ScanAll("<IMG SRC= ");
    EXPECT_EQ(t[0].Values, Strings{""});
    EXPECT_EQ(t[0].Value1, "");
    t = ScanAll("<IMG SRC=\"a b");
    EXPECT_EQ(t[0].Value1, "a b");
    EXPECT_EQ(t[0].ValueLen, 3);
    t = ScanAll("<IMG SRC=ab");
    EXPECT_EQ(t[0].Value1, "ab");

    // Bytes after Len are never read, even when they would close the tag.
    const std::string mem = "<A HREF=abc>";
    TTagScanBuffer buf{mem.data(), 0, 10};
    THTMLLinkResult r;
    InitLinkResult(r);
    const bool stop = false;
    GetHTMLTag(buf, r, LinkTagTable, LinkTagCount, stop);
    EXPECT_EQ(buf.Pos, 10);
    EXPECT_EQ(r.TokenText, "<A HREF=ab");
    EXPECT_EQ(r.Value1, "ab");
}

TEST(TagScanner, EndTags) {
    auto t = ScanAll("</A></a ></img></BGSOUND></xyz></");
    ASSERT_EQ(t.size(), 6u);
    EXPECT_EQ(t[0].Tag, "/A");
    EXPECT_EQ(t[0].Link, 0x80000001u);
    EXPECT_EQ(t[1].Tag, "/A ");
    EXPECT_EQ(t[1].Link, 0u);
    EXPECT_EQ(t[2].Link, ltImage | ltEndTagBit);
    EXPECT_EQ(t[3].Link, ltEmbed | ltEndTagBit);
    EXPECT_EQ(t[4].Tag, "/XYZ");
    EXPECT_EQ(t[4].Link, 0u);
    EXPECT_EQ(t[5].Tag, "/");
    EXPECT_EQ(t[5].Kind, tkTag);
    for (const auto& k : t) EXPECT_TRUE(k.Names.empty());

    // Upper-casing spares the trail byte of a double-byte character.
    t = ScanAll("</a\x83\x61>");
    EXPECT_EQ(t[0].Tag, "/A\x83\x61");
}

TEST(TagScanner, CommentsAndDeclarations) {
    auto t = ScanAll("<!-- a -> b -->");
    EXPECT_EQ(Texts(t), (Strings{"<!-- a ->", " b -->"}));
    EXPECT_EQ(t[0].Kind, tkComment);
    EXPECT_EQ(t[1].Kind, tkText);

    EXPECT_EQ(Texts(ScanAll("<!-->x")), (Strings{"<!-->", "x"}));
    EXPECT_EQ(Texts(ScanAll("<!->x")), (Strings{"<!->", "x"}));
    EXPECT_EQ(Texts(ScanAll("<!--->x")), (Strings{"<!--->", "x"}));
    EXPECT_EQ(Texts(ScanAll("<!-- a > b --!>x")), (Strings{"<!-- a > b --!>", "x"}));
    EXPECT_EQ(Texts(ScanAll("<!--!>x")), (Strings{"<!--!>", "x"}));
    EXPECT_EQ(Texts(ScanAll("<!-x>y")), (Strings{"<!-x>", "y"}));
    EXPECT_EQ(Texts(ScanAll("<!-- <A HREF=x> ! > never closed")), Strings{"<!-- <A HREF=x> ! > never closed"});
    EXPECT_EQ(Texts(ScanAll("<!-")), Strings{"<!-"});
    t = ScanAll("<!>x");
    EXPECT_EQ(t[0].Text, "<!>");
    EXPECT_EQ(t[0].Kind, tkComment);

    t = ScanAll("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2//EN\">\n<HTML>");
    EXPECT_EQ(t[0].Kind, tkTag);
    EXPECT_EQ(t[0].Tag, "");
    EXPECT_EQ(t[0].Link, 0u);
    EXPECT_EQ(t[2].Tag, "HTML");
    t = ScanAll("<!");
    EXPECT_EQ(t[0].Kind, tkTag);
    EXPECT_EQ(t[0].Text, "<!");
}

TEST(TagScanner, XmpContentIsRawText) {
    auto t = ScanAll("<XMP><A HREF=x></XMP>y");
    ASSERT_EQ(t.size(), 4u);
    EXPECT_EQ(t[0].Tag, "XMP");
    EXPECT_EQ(t[1].Kind, tkText);
    EXPECT_EQ(t[1].Text, "<A HREF=x>");
    EXPECT_EQ(t[1].Link, 0u);
    EXPECT_EQ(t[1].Value1, "");
    EXPECT_EQ(t[2].Tag, "/XMP");
    EXPECT_EQ(t[3].Text, "y");

    // Only "</XMP" followed by '>' or white space ends the content.
    EXPECT_EQ(Texts(ScanAll("<XMP>a</XMPX>b")), (Strings{"<XMP>", "a</XMPX>b"}));
    EXPECT_EQ(Texts(ScanAll("<xmp>a</xmp\nb>c")), (Strings{"<xmp>", "a", "</xmp\nb>", "c"}));
    EXPECT_EQ(Texts(ScanAll("<XMP>a</XMP")), (Strings{"<XMP>", "a</XMP"}));
    // Content right away at the end, and the state clears after one token.
    EXPECT_EQ(Texts(ScanAll("<XMP></XMP><B>")), (Strings{"<XMP>", "", "</XMP>", "<B>"}));
    t = ScanAll("<XMP>\n\n</XMP>");
    EXPECT_EQ(t[1].Text, "\n\n");
    EXPECT_EQ(t[1].LineAfter, 3);
}

TEST(TagScanner, LineCounting) {
    // CR LF once, lone CR, LF and VT once each; a CR at the end counts.
    auto t = ScanAll("a\r\nb\rc\nd\ve\r");
    EXPECT_EQ(t.back().LineAfter, 6);
    // Line ends inside tags, between attributes, in end tags, comments and
    // declarations.
    t = ScanAll("<A\r\nHREF=\"x\ny\"\r>\n</A\n><!--\n\n-->\r\n<!DOCTYPE\n>");
    EXPECT_EQ(t[0].LineAfter, 4);
    EXPECT_EQ(t.back().LineAfter, 10);
    // A CR is judged by the byte after it, even across a token boundary.
    t = ScanAll("a\r<B>\n");
    EXPECT_EQ(t[0].LineAfter, 2);
    EXPECT_EQ(t.back().LineAfter, 3);

    // Long runs, with line ends on and across every 16-byte boundary: 40
    // line ends in the text, in a quoted value and in a comment each.
    std::string run;
    for (int i = 0; i < 40; ++i) run += std::string(i % 17, 'x') + (i % 3 == 0 ? "\r\n" : i % 3 == 1 ? "\r" : "\v");
    t = ScanAll(run + "<A HREF=\"" + run + "\"><!--" + run + "-->" + run + "\r");
    ASSERT_EQ(t.size(), 4u);
    EXPECT_EQ(t[0].LineAfter, 41);
    EXPECT_EQ(t[1].LineAfter, 81);
    EXPECT_EQ(t[2].LineAfter, 121);
    EXPECT_EQ(t[3].LineAfter, 162);
}

TEST(TagScanner, StopFlagEndsTokensEarly) {
    struct Case {
        const char* html;
        const char* cut;   // token when stopping
        const char* full;  // token otherwise
    };
    const Case cases[] = {
        {"ab>cd<B>", "ab", "ab>cd"},
        {"<A \"+HREF=x>", "<A \"", "<A \"+HREF=x>"},
        {"<A HREF=x href=y>", "<A HREF=x href", "<A HREF=x href=y>"},
        {"<!-x-->", "<!-x", "<!-x-->"},
        {"<!-- c -->", "<!-- c --", "<!-- c -->"},
        {"<!-->", "<!--", "<!-->"},
    };
    for (const auto& c : cases) {
        const std::string html = c.html;
        for (bool stop : {true, false}) {
            TTagScanBuffer buf{html.data(), 0, static_cast<int64_t>(html.size())};
            THTMLLinkResult r;
            InitLinkResult(r);
            GetHTMLTag(buf, r, LinkTagTable, LinkTagCount, stop);
            EXPECT_EQ(r.TokenText, stop ? c.cut : c.full) << html;
            EXPECT_EQ(buf.Pos, static_cast<int64_t>(r.TokenText.size()));
        }
    }

    // The repeated name is not recorded; what came before is kept. The
    // next call, once the flag is clear, goes on from there.
    const std::string html = "<A HREF=x HREF=y>\r\nz";
    TTagScanBuffer buf{html.data(), 0, static_cast<int64_t>(html.size())};
    THTMLLinkResult r;
    InitLinkResult(r);
    r.AttrNames.emplace();
    r.AttrValues.emplace();
    bool stop = true;
    GetHTMLTag(buf, r, LinkTagTable, LinkTagCount, stop);
    EXPECT_EQ(r.Value1, "x");
    EXPECT_EQ(*r.AttrNames, Strings{"HREF"});
    EXPECT_EQ(*r.AttrValues, Strings{"x"});
    stop = false;
    GetHTMLTag(buf, r, LinkTagTable, LinkTagCount, stop);
    EXPECT_EQ(r.TokenText, "=y>\r\nz");
    EXPECT_EQ(r.LineNo, 2);

    // Stopping between CR and LF: the CR does not count, the LF does.
    const std::string crlf = "<!-\r\n-->";
    TTagScanBuffer b2{crlf.data(), 0, static_cast<int64_t>(crlf.size())};
    InitLinkResult(r);
    stop = true;
    GetHTMLTag(b2, r, LinkTagTable, LinkTagCount, stop);
    EXPECT_EQ(r.TokenText, "<!-\r");
    EXPECT_EQ(r.LineNo, 1);
    stop = false;
    GetHTMLTag(b2, r, LinkTagTable, LinkTagCount, stop);
    EXPECT_EQ(r.TokenText, "\n-->");
    EXPECT_EQ(r.LineNo, 2);
}

TEST(TagScanner, AttributeListsPresentOrAbsent) {
    const std::string html = "<IMG SRC=a.gif WIDTH=10>text<BR>";
    TTagScanBuffer buf{html.data(), 0, static_cast<int64_t>(html.size())};
    THTMLLinkResult r;
    InitLinkResult(r);
    EXPECT_FALSE(r.AttrNames.has_value());
    const bool stop = false;

    // Absent lists stay absent; the picked value is still found.
    GetHTMLTag(buf, r, LinkTagTable, LinkTagCount, stop);
    EXPECT_FALSE(r.AttrNames.has_value());
    EXPECT_FALSE(r.AttrValues.has_value());
    EXPECT_EQ(r.Value1, "a.gif");

    // Lists the caller puts there are emptied on every call and filled.
    r.AttrNames = Strings{"OLD"};
    r.AttrValues = Strings{"old", "older"};
    GetHTMLTag(buf, r, LinkTagTable, LinkTagCount, stop);
    EXPECT_EQ(r.TokenText, "text");
    EXPECT_EQ(r.AttrNames, Strings{});
    EXPECT_EQ(r.AttrValues, Strings{});
    EXPECT_EQ(r.Value1, "");
    GetHTMLTag(buf, r, LinkTagTable, LinkTagCount, stop);
    EXPECT_EQ(r.TagName, "BR");
    EXPECT_EQ(r.AttrNames, Strings{});

    buf.Pos = 0;
    GetHTMLTag(buf, r, LinkTagTable, LinkTagCount, stop);
    EXPECT_EQ(r.AttrNames, (Strings{"SRC", "WIDTH"}));
    EXPECT_EQ(r.AttrValues, (Strings{"a.gif", "10"}));
}

// Without the token text every other field comes out the same.
TEST(TagScanner, SkippingTokenTextChangesNothingElse) {
    for (const std::string html :
         {"<TITLE>t</TITLE><A HREF=\"a b\">x</A>\r\n<IMG SRC='i.gif' SRC=j.gif>", "<!-- c --><XMP><A HREF=x></XMP>",
          "<META HTTP-EQUIV=refresh CONTENT=\"0;URL=n.html\"></BODY", "a < b <1x> <!DOCTYPE x>\x0B\r"}) {
        const auto full = ScanAll(html), bare = ScanAll(html, true);
        ASSERT_EQ(full.size(), bare.size()) << html;
        for (size_t i = 0; i < full.size(); ++i) {
            const Token &a = full[i], &b = bare[i];
            EXPECT_EQ(std::tie(a.Kind, a.Text, a.Tag, a.Link, a.Value1, a.Value2, a.ValuePos, a.ValueLen, a.Names,
                               a.Values, a.LineAfter),
                      std::tie(b.Kind, b.Text, b.Tag, b.Link, b.Value1, b.Value2, b.ValuePos, b.ValueLen, b.Names,
                               b.Values, b.LineAfter))
                << html << " token " << i;
        }
    }
}

TEST(TagScanner, TableIsSearchedInOrderAndMayBeEmpty) {
    const TLinkTagEntry table[] = {
        {"IMG", "LOWSRC", "", 7},
        {"IMG", "SRC", "", 8},
    };
    const std::string html = "<img src=a lowsrc=b>";
    TTagScanBuffer buf{html.data(), 0, static_cast<int64_t>(html.size())};
    THTMLLinkResult r;
    InitLinkResult(r);
    const bool stop = false;
    GetHTMLTag(buf, r, table, 2, stop);
    EXPECT_EQ(r.LinkType, 7u);
    EXPECT_EQ(r.Value1, "b");

    buf.Pos = 0;
    GetHTMLTag(buf, r, table, 0, stop);
    EXPECT_EQ(r.LinkType, 0u);
    EXPECT_EQ(r.Value1, "");
    EXPECT_EQ(r.TagName, "IMG");
}

}  // namespace
