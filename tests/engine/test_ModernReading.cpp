// The modern reading on real folders: encodings, the files a browser
// loads, and the pure readers behind them (CSS, charset sniffing).
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "engine/UCharsetSniff.h"
#include "engine/UCssMatch.h"
#include "engine/UCssReader.h"
#include "engine/UDecodeHTML.h"
#include "engine/UHTMLList.h"
#include "engine/UInputList.h"
#include "engine/UModernPage.h"
#include "engine/YKKanjiLib.h"
#include "platform/Encoding.h"
#include "platform/FileSystem.h"
#include "settings/Uenviron.h"
#include "support/TempDir.h"

namespace {

struct TSiteCase {
    const char* name;
    std::map<std::string, std::string> files;  // UTF-8 names; contents as bytes
    std::string encoding;                      // of the page index.html
    std::string title;                         // UTF-8; "-" when not checked
    std::vector<std::string> parts;            // "kind:name" of index.html's parts but itself
    std::vector<std::string> notFound;
    std::vector<std::string> pages;  // every measured page
};

std::string ToSjis(const char* utf8) { return *platform::Utf8ToCp932Strict(utf8); }

std::vector<TSiteCase> SiteCases() {
    return {
        {"SrcsetDensityPicksOneX",
         {{"index.html", "<img src=a.gif srcset='a.gif 1x, b.gif 2x'><img srcset='c.gif 2x, d.gif 0.5x'>"},
          {"a.gif", "1"},
          {"b.gif", "22"},
          {"c.gif", "333"},
          {"d.gif", "4444"}},
         "JIS",
         "-",
         {"image:a.gif", "image:d.gif"},
         {},
         {"index.html"}},
        {"SrcsetWidthUsesSizes",
         {{"index.html",
           "<img src=x.gif srcset='s.gif 300w, m.gif 800w, l.gif 1600w' sizes='(max-width: 600px) 100vw, 50vw'>"
           "<img srcset='n.gif 700w, w.gif 1400w'>"},
          {"x.gif", "1"},
          {"s.gif", "1"},
          {"m.gif", "1"},
          {"l.gif", "1"},
          {"n.gif", "1"},
          {"w.gif", "1"}},
         "JIS",
         "-",
         {"image:m.gif", "image:w.gif"},
         {},
         {"index.html"}},
        {"PictureTakesTheFirstSourceThatFits",
         {{"index.html",
           "<picture><source media='(max-width: 600px)' srcset='small.gif'>"
           "<source type='image/jxl' srcset='j.jxl'><source type='image/webp' srcset='w.webp'>"
           "<img src='fallback.gif'></picture><img src='after.gif'>"},
          {"small.gif", "1"},
          {"j.jxl", "1"},
          {"w.webp", "1"},
          {"fallback.gif", "1"},
          {"after.gif", "1"}},
         "JIS",
         "-",
         {"image:after.gif", "image:w.webp"},
         {},
         {"index.html"}},
        {"ImportLoopEndsAndEachSheetCountsOnce",
         {{"index.html", "<link rel=stylesheet href=a.css><style>@import 'b.css';</style><p>text"},
          {"a.css", "@import url(b.css); p{background:url(i.png)}"},
          {"b.css", "@import \"a.css\";\n/* url(c.png) */ q{cursor:url('i.png'),auto}"},
          {"i.png", "1"}},
         "JIS",
         "-",
         {"image:i.png", "stylesheet:a.css", "stylesheet:b.css"},
         {},
         {"index.html"}},
        {"SheetInAnotherFolderResolvesAgainstItself",
         {{"index.html", "<link rel='stylesheet' href='css/x.css'>text"},
          {"css/x.css",
           "body{background:url(../img/p.png);font:12px/1.5 F} @font-face{font-family:F;src:url(f.eot);"
           "src:local(F), url(f.svg) format('svg'), url(f.woff2) format('woff2'), url(f.woff) format('woff')}"},
          {"img/p.png", "1"},
          {"css/f.woff2", "1"},
          {"css/f.woff", "1"},
          {"css/f.eot", "1"},
          {"css/f.svg", "1"}},
         "JIS",
         "-",
         {"font:css/f.woff2", "image:img/p.png", "stylesheet:css/x.css"},
         {},
         {"index.html"}},
        {"BaseHrefMovesRelativeAddresses",
         {{"index.html", "<base href='sub/'><img src='a.gif'><a href='p.html'>p</a><img src='../b.gif'>"},
          {"sub/a.gif", "1"},
          {"sub/p.html", "<img src=q.gif>"},
          {"sub/q.gif", "1"},
          {"b.gif", "1"}},
         "JIS",
         "-",
         {"image:b.gif", "image:sub/a.gif"},
         {},
         {"index.html", "sub/p.html"}},
        {"Utf8PageWhoseMetaSaysShiftJis",
         {{"index.html", "<meta charset=\"Shift_JIS\"><title>日本語</title>"}},
         "SJIS",
         "-",
         {},
         {},
         {"index.html"}},
        {"ShiftJisPageWhoseMetaSaysUtf8",
         {{"index.html",
           "<meta http-equiv=Content-Type content='text/html; charset=utf-8'><title>" + ToSjis("日本語") + "</title>"}},
         "UTF8",
         "-",
         {},
         {},
         {"index.html"}},
        {"ByteOrderMarkMeansUtf8",
         {{"index.html", "\xEF\xBB\xBF<title>日本語 &amp;\xC2\xA0題&#xA0;</title>"}},
         "UTF8",
         "日本語 & 題 ",
         {},
         {},
         {"index.html"}},
        {"JapaneseNamesFromAUtf8Page",
         {{"index.html",
           "<title>パート II. GIMP の達人</title><img src='画像.gif'>"
           "<img src='%E7%94%BB%E5%83%8F.gif'><a href='%E3%83%9A%E3%83%BC%E3%82%B8.html'>x</a>"},
          {"画像.gif", "12"},
          {"ページ.html", "<img src='画像.gif'>"}},
         "UTF8",
         "パート II. GIMP の達人",
         {"image:画像.gif"},
         {},
         {"index.html", "ページ.html"}},
        // A UTF-8 page is walked as it stands: its classes, ids and style
        // text must meet the sheets' Shift-JIS names all the same, also
        // after the page waited for another.
        {"Utf8PageWithJapaneseClassesIdsAndStyles",
         {{"index.html",
           "<meta charset=utf-8><title>見出し</title>"
           "<style>.見出し p{background:url(背景.gif)} #名前{background:url(名.gif)} .無い{background:url(no.gif)}</style>"
           "<div class='見出し 外' id=名前><p>本文</p></div><a href=b.html>b</a>"
           "<link rel=next href=n.css><link REL=StyleSheet href=s.css>"
           "<p style=\"background:url('模様.gif')\">x</p>"},
          {"b.html", "<p class=other>bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb</p>"},
          {"s.css", ".外{background:url(外.gif)}"},
          {"背景.gif", "1"},
          {"名.gif", "1"},
          {"no.gif", "1"},
          {"模様.gif", "1"},
          {"外.gif", "1"},
          {"n.css", "1"}},
         "UTF8",
         "見出し",
         {"image:名.gif", "image:外.gif", "image:模様.gif", "image:背景.gif", "stylesheet:s.css"},
         {},
         {"index.html", "b.html"}},
        {"RulesCountOnlyWhereTheyApply",
         {{"index.html",
           "<link rel=stylesheet href=s.css><link rel=stylesheet href=p.css media=print>"
           "<link rel='alternate stylesheet' title=Other href=alt.css>"
           "<div id=main class='note box'><p>Text</p></div><ul><li>one<li>two</ul>"},
          {"s.css",
           "div.note:before{background:url(note.png)} .draft{background:url(draft.png);font-family:Unused}"
           "#main > p{background:url(child.png)} ul li:hover{background:url(hover.png)}"
           "li:first-child{background:url(first.png)} ul > p{background:url(nochild.png)}"
           "@media (max-width: 1023px){body{background:url(narrow.png)}}"
           "@media screen and (min-width: 1024px){body{background:url(wide.png)}}"
           "@font-face{font-family:\"Used\";src:url(used.woff2) format(\"woff2\")}"
           "@font-face{font-family:Unused;src:url(unused.woff2)} p{font-family:Used, serif}"},
          {"p.css", "@import 'q.css'; body{background:url(printed.png)}"},
          {"q.css", "body{background:url(printed.png)}"},
          {"alt.css", "body{background:url(printed.png)}"},
          {"note.png", "1"},
          {"draft.png", "1"},
          {"child.png", "1"},
          {"hover.png", "1"},
          {"first.png", "1"},
          {"nochild.png", "1"},
          {"narrow.png", "1"},
          {"wide.png", "1"},
          {"used.woff2", "1"},
          {"unused.woff2", "1"},
          {"printed.png", "1"}},
         "JIS",
         "-",
         {"font:used.woff2", "image:child.png", "image:first.png", "image:note.png", "image:wide.png",
          "stylesheet:alt.css", "stylesheet:p.css", "stylesheet:q.css", "stylesheet:s.css"},
         {},
         {"index.html"}},
        // The page waits for b.html before its sheet is read, and b.html is
        // read into the buffer the page's text was in.
        {"RulesMetAfterAFollowedLinkSeeTheirOwnPage",
         {{"index.html", "<div class=late><p>Text</p></div><a href=b.html>b</a><link rel=stylesheet href=s.css>"},
          {"b.html", "<p class=other>bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb</p>"},
          {"s.css",
           ".late p{background:url(late.png)} .other{background:url(other.png)} .late{font-family:F}"
           "@font-face{font-family:F;src:url(f.woff2) format('woff2')}"},
          {"late.png", "1"},
          {"other.png", "1"},
          {"f.woff2", "1"}},
         "JIS",
         "-",
         {"font:f.woff2", "image:late.png", "stylesheet:s.css"},
         {},
         {"index.html", "b.html"}},
        // The sheet is read before the page waits for b.html: the fonts are
        // decided against index.html's own elements, not b.html's text.
        {"FontsOfAPageThatWaitsAfterItsSheets",
         {{"index.html",
           "<link rel=stylesheet href=s.css><p class=t>Text</p><span class=e></span><a href=b.html>b</a>"},
          {"b.html", "<p class=e>bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb</p>"},
          {"s.css",
           ".t{font-family:F} .e{font-family:G}"
           "@font-face{font-family:F;src:url(f.woff2)} @font-face{font-family:G;src:url(g.woff2)}"},
          {"f.woff2", "1"},
          {"g.woff2", "1"}},
         "JIS",
         "-",
         {"font:f.woff2", "stylesheet:s.css"},
         {},
         {"index.html", "b.html"}},
        // Fonts of CSS in the page wait with it while a page in another
        // folder, with fonts of its own, is measured.
        {"FontsOfCssInThePageWaitWithIt",
         {{"index.html",
           "<style>@font-face{font-family:A;src:url(a.woff2)} @font-face{font-family:B;src:url(b.woff2)}"
           "@font-face{font-family:C;src:url(c.woff2)} @font-face{font-family:D;src:url(d.woff2)}"
           "@font-face{font-family:E;src:url(e.woff2)} p{font-family:A}</style><p>Text</p><a href=sub/b.html>b</a>"},
          {"sub/b.html", "<style>@font-face{font-family:A;src:url(x.woff2)} p{font-family:A}</style><p>b</p>"},
          {"a.woff2", "1"},
          {"b.woff2", "1"},
          {"c.woff2", "1"},
          {"d.woff2", "1"},
          {"e.woff2", "1"},
          {"sub/x.woff2", "1"}},
         "JIS",
         "-",
         {"font:a.woff2"},
         {},
         {"index.html", "sub/b.html"}},
        {"EveryKindABrowserLoads",
         {{"index.html",
           "<link rel='shortcut icon' href=i.ico><link rel=preload as=font href=f.woff2>"
           "<link rel=preload href=nothing.bin><link rel=modulepreload href=m.js><link rel=manifest href=app.json>"
           "<script src=s.js></script><script type=text/template src=t.js></script>"
           "<script>document.write('<img src=w.gif>')</script><noscript><img src=n.gif></noscript>"
           "<video poster=v.jpg preload=none><source src=v.mp4></video><audio><source src=a.ogg type=audio/ogg>"
           "<source src=b.mp3></audio><iframe src=frame.html></iframe><input type=image src=btn.gif>"
           "<object data=o.svg></object><embed src=e.swf><div style=\"background:url('d.png')\"></div>"
           "<img src=missing.gif><img src='https://cdn.example/x.png'><img src='data:image/gif;base64,R0'>"},
          {"i.ico", "1"},
          {"f.woff2", "1"},
          {"nothing.bin", "1"},
          {"m.js", "1"},
          {"app.json", "1"},
          {"s.js", "1"},
          {"t.js", "1"},
          {"w.gif", "1"},
          {"n.gif", "1"},
          {"v.jpg", "1"},
          {"v.mp4", "1"},
          {"a.ogg", "1"},
          {"b.mp3", "1"},
          {"frame.html", "<img src=fi.gif>"},
          {"fi.gif", "1"},
          {"btn.gif", "1"},
          {"o.svg", "1"},
          {"e.swf", "1"},
          {"d.png", "1"}},
         "JIS",
         "-",
         {"font:f.woff2", "frame:frame.html", "image:btn.gif", "image:d.png", "image:i.ico", "image:o.svg",
          "image:v.jpg", "media:a.ogg", "other:app.json", "other:e.swf", "script:m.js", "script:s.js"},
         {"missing.gif"},
         {"index.html", "frame.html"}},
    };
}

class ModernSite : public ::testing::TestWithParam<TSiteCase> {
protected:
    void SetUp() override {
        EnvSettings = TEnvSettings{};
        EnvSettings.Modern = true;
        oldCwd_ = platform::GetCurrentDir();
        base = *platform::FromNative(t.path());
        platform::SetCurrentDir(base);
    }
    void TearDown() override {
        platform::SetCurrentDir(oldCwd_);
        InputList.clear();
        FileList.Clear();
        ErrorLog.Clear();
        EnvSettings = TEnvSettings{};
    }
    std::string Rel(const std::string& cp932) const { return platform::Cp932ToUtf8(cp932.substr(base.size() + 1)); }

    TempDir t;
    std::string base, oldCwd_;
};

TEST_P(ModernSite, ListsWhatABrowserLoads) {
    const TSiteCase& c = GetParam();
    for (const auto& [name, bytes] : c.files) t.Write(name, bytes);
    InputList = {base + "/index.html"};
    bool stop = false;
    std::vector<std::string> lines;
    MeasureAll(stop, {}, {}, [&](const std::string& l) { lines.push_back(l); });

    std::vector<std::string> pages;
    for (const THTMLFileInfo* p : FileList) pages.push_back(Rel(p->FileName));
    EXPECT_EQ(pages, c.pages);
    ASSERT_GT(FileList.Count(), 0);
    const THTMLFileInfo& page = *FileList[0];
    EXPECT_EQ(std::string(DocEncodingName(page.KanjiCode)), c.encoding);
    if (c.title != "-") {
        EXPECT_EQ(platform::Cp932ToUtf8(page.Title), c.title);
    }
    std::vector<std::string> parts;
    int64_t sum = page.HTMLSize;
    for (int i = 1; i < page.Items.Count(); ++i) {
        parts.push_back(std::string(PartKindName(page.Items[i]->Kind)) + ":" + Rel(page.Items[i]->FileName));
        sum += page.Items[i]->TotalSize;
    }
    std::sort(parts.begin(), parts.end());
    EXPECT_EQ(parts, c.parts);
    EXPECT_EQ(page.TotalSize, sum);
    std::vector<std::string> missing;
    for (const std::string& m : page.NotFoundList) missing.push_back(Rel(m));
    EXPECT_EQ(missing, c.notFound);
    EXPECT_EQ(lines.size(), c.notFound.size());
}

INSTANTIATE_TEST_SUITE_P(Sites, ModernSite, ::testing::ValuesIn(SiteCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// With the setting off the same page is read the classic way.
TEST(ModernSetting, OffKeepsTheClassicReading) {
    TempDir t;
    t.Write("index.html", "\xEF\xBB\xBF<link rel=stylesheet href=a.css><img src=a.gif>");
    t.Write("a.css", "x");
    t.Write("a.gif", "1");
    EnvSettings = TEnvSettings{};
    InputList = {*platform::FromNative(t / "index.html")};
    bool stop = false;
    MeasureAll(stop, {}, {}, {});
    ASSERT_EQ(FileList.Count(), 1);
    EXPECT_EQ(FileList[0]->Items.Count(), 2);
    EXPECT_EQ(FileList[0]->KanjiCode, Sjis);  // the BOM's bytes pass as a Shift-JIS pair
    EXPECT_EQ(FileList[0]->Items[1]->Kind, pkImage);
    FileList.Clear();
    InputList.clear();
}

// A page's parts, missing files, outside addresses and problem lines do not
// depend on whether pages measured before it named the same addresses or
// read a sheet of the same text.
TEST(ModernSetting, AddressesMetAgainGiveWhatTheyGiveOnTheirOwn) {
    TempDir t;
    const std::string tags =
        "<link rel=stylesheet href=s.css><img src=gone.gif><img src='http://x.org/i.gif'>"
        "<img src='file:///nonexistent/f.gif'><img src=../up.gif><img src=skip/no.gif>";
    t.Write("index.html", tags + "<a href=sub/p.html>p</a>");
    // The same sheet in both folders names each folder's own image.
    const std::string sheet = "body { background: url(bg.gif) }";
    t.Write("s.css", sheet);
    t.Write("bg.gif", "1");
    t.Write("up.gif", "1");
    t.Write("sub/p.html", tags);
    t.Write("sub/s.css", sheet);
    t.Write("sub/bg.gif", "22");
    auto measure = [&](const std::string& input) {
        EnvSettings = TEnvSettings{};
        EnvSettings.Modern = true;
        EnvSettings.ImgSkipEnabled = true;
        EnvSettings.ImgSkipPrefixes = {"SKIP/"};
        InputList = {*platform::FromNative(t / input)};
        bool stop = false;
        std::vector<std::string> lines;
        MeasureAll(stop, {}, {}, [&](const std::string& l) { lines.push_back(l); });
        std::vector<std::string> got;
        for (const THTMLFileInfo* page : FileList) {
            if (page->FileName.find("/sub/") == std::string::npos) continue;
            for (int i = 1; i < page->Items.Count(); ++i)
                got.push_back(std::string("part ") + PartKindName(page->Items[i]->Kind) + " " +
                              page->Items[i]->FileName + " " + std::to_string(page->Items[i]->TotalSize));
            for (const std::string& m : page->NotFoundList) got.push_back("missing " + m);
            for (const std::string& u : page->URLList) got.push_back("outside " + u);
        }
        for (const std::string& l : lines)
            if (l.find("/sub/") != std::string::npos) got.push_back("line " + l);
        FileList.Clear();
        ErrorLog.Clear();
        InputList.clear();
        return got;
    };
    const std::vector<std::string> alone = measure("sub/p.html");
    EXPECT_EQ(measure("index.html"), alone);
    // Its own folder's sheet, the file above it, and what it notes itself.
    const std::string sub = *platform::FromNative(t / "sub");
    const std::vector<std::string> want = {
        "part stylesheet " + sub + "/s.css " + std::to_string(sheet.size()), "part image " + sub + "/bg.gif 2",
        "part image " + *platform::FromNative(t / "up.gif") + " 1",
        "missing " + sub + "/gone.gif", "outside http://x.org/i.gif"};
    for (const std::string& w : want)
        EXPECT_NE(std::find(alone.begin(), alone.end(), w), alone.end()) << w;
    EXPECT_EQ(std::count_if(alone.begin(), alone.end(), [](const std::string& l) { return l.rfind("line ", 0) == 0; }),
              3);  // two missing files and the local file address
    EnvSettings = TEnvSettings{};
}

// --- pure readers ------------------------------------------------------------

TEST(CssReader, FindsWhatABrowserFetches) {
    const struct {
        const char* css;
        std::vector<std::string> refs;  // "I:", "U:" or "F:" and the address
    } cases[] = {
        {"/* url(a.png) */ b{background:url( b.png )} c{x:url(\"c d.png\")}", {"U:b.png|b", "U:c d.png|c"}},
        {"@import 'a.css' screen; @import url(b.css); @import url(\"c.css\") print; p{} @import 'late.css';",
         {"I:a.css", "I:b.css", "i:c.css"}},
        {"p{background:url(a\\29 b.png)} q{background:url('\\41 .png')} r{x:url(bad\"x.png)}",
         {"U:a)b.png|p", "U:A.png|q"}},
        {"@font-face{src:url(a.eot)} @font-face{font-family:'My Font';src:url(b.svg) format(svg), url(b.woff) "
         "format(\"woff\")}",
         {"F:a.eot", "F:b.woff|my font"}},
        {"@font-face{src:url(x.ttf);src:url(y.woff2) format('woff2')}", {"F:y.woff2"}},
        {"p{mask:url(#m)} q{x:url()} s{content:'url(not.png)'}", {}},
        {"p{background:url(\x95\x5C.png)}", {"U:\x95\x5C.png|p"}},
        {"p{background:url(a.png", {"U:a.png|p"}},
        // Media blocks for the 1366x768 screen; @page applies without an element.
        {"@media (max-width: 1023px){a{background:url(n.png)}} @media print{b{background:url(p.png)}}"
         "@media screen and (min-width:1024px){@supports (display:grid){div.c , p{background:url(w.png)}}}"
         "@media (600px <= width <= 1400px){d{background:url(r.png)}} @media (hover) or (max-width: "
         "9px){e{x:url(h.png)}}"
         "@media not (unknown-feature){f{x:url(u.png)}} @page{background:url(pg.png)}"
         "@-moz-document url-prefix(){g{x:url(m.png)}} @keyframes k{from{background:url(k.png)}}",
         {"U:w.png|div.c , p", "U:r.png|d", "U:h.png|e", "U:pg.png", "U:k.png"}},
        {"@media print{@font-face{font-family:P;src:url(p.woff)}} background:url(attr.png)", {"U:attr.png"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> got;
        for (const TCssRef& r : ReadCssRefs(c.css)) {
            const char* k = r.Kind == TCssRefKind::Import ? (r.Applies ? "I:" : "i:")
                            : r.Kind == TCssRefKind::Font ? "F:"
                                                          : "U:";
            const std::string& more = r.Kind == TCssRefKind::Font ? r.Family : r.Selector;
            got.push_back(k + r.Url + (more.empty() ? "" : "|" + more));
        }
        EXPECT_EQ(got, c.refs) << c.css;
    }
}

TEST(CssReader, NamesTheFontsRulesUse) {
    const TCssSheet s = ReadCssSheet(
        "p{font:italic 1em/2 \"A B\", serif} @media print{q{font-family:C}}"
        "@font-face{font-family:D} font-family: E");
    ASSERT_EQ(s.FontUses.size(), 2u);
    EXPECT_EQ(s.FontUses[0].Selector, "p");
    EXPECT_EQ(UsedFaceFamily(s.FontUses[0].Families, {"a b"}), "a b");
    EXPECT_EQ(s.FontUses[1].Selector, "");  // a style attribute's
    EXPECT_EQ(UsedFaceFamily(s.FontUses[1].Families, {"e"}), "e");
    // Tried in order; a generic family ends the list.
    EXPECT_EQ(UsedFaceFamily("x, \"b\", a", {"a", "b"}), "b");
    EXPECT_EQ(UsedFaceFamily("sans-serif, a", {"a"}), "");
}

TEST(CssMatch, SelectorsAgainstThePage) {
    const TPageElements page(
        "<html><head><title>t</title><link rel=stylesheet href=s.css></head><body>"
        "<div id=a class='x Y'><p>t</p><span data-k='v w'>s</span></div><ul><li>1<li>2</ul>"
        "<img src=i.gif><input type=checkbox disabled><!-- <em>no</em> --><script>'<b>'</script></body></html>");
    const struct {
        const char* selectors;
        bool matches;
    } cases[] = {
        {"div > p", true},
        {"body > p", false},
        {"#a span", true},
        {".Y:not(.y)", true},
        {"p + span", true},
        {"span + p", false},
        {"p ~ span", true},
        {"li:first-child", true},
        {"li:nth-child(2)", true},
        {"li:nth-child(2n+3)", false},
        {"li:last-child + li", false},
        {"a:hover, p:focus, p:visited", false},
        {"p::after", true},
        {"div:not(.x) > p", false},
        {"div:not(:hover) p", true},
        {"[data-k~=w]", true},
        {"[data-k^=w]", false},
        {"input:disabled", true},
        {"input:checked", false},
        {"p::-moz-selection, p", false},
        {"p:has(em)", true},
        {"section p, em, b", false},
        {"html body ul li", true},
        {"head > link", true},
        {":root > body", true},
        {"ul:empty", false},
        {"p::selection", false},
    };
    for (const auto& c : cases) EXPECT_EQ(page.AnyMatches(c.selectors), c.matches) << c.selectors;
    EXPECT_TRUE(page.AnyWithTextMatches("ul"));
    EXPECT_FALSE(page.AnyWithTextMatches("img, input, head"));
    // A class counts only as a word of a class attribute, wherever it
    // stands in the text and among near misses; at the very end it ends an
    // unclosed tag.
    for (size_t pad = 0; pad < 32; ++pad)
        for (const std::string tail : {"", "></i>                                        "}) {
            const std::string text = "<b title='sxxxxh searchy sxxxxhsxxxxh'>searches</b>" + std::string(pad, ' ') +
                                     "<b class=searc></b>sxxxxh<i class=search" + tail;
            EXPECT_TRUE(TPageElements(text).AnyMatches("i.search")) << pad << tail;
            EXPECT_FALSE(TPageElements(text).AnyMatches("b.search")) << pad << tail;
        }
    // Once the elements are found, a class is looked for among the words of
    // every class on the page: thousands of others, blanks of every kind.
    std::string many = "<p>x</p>";
    for (int i = 0; i < 3000; ++i) many += "<span class='c" + std::to_string(i % 20) + " common'></span>";
    many += "<b class=\"one\ttwo\nlate\">x</b><i class=two></i><i class=one></i>";
    const TPageElements crowded(many);
    ASSERT_TRUE(crowded.AnyMatches("p"));
    const struct {
        const char* selectors;
        bool matches;
    } classCases[] = {
        {".late", true},      {"b.late.one", true}, {".one.two", true}, {"i.one.two", false},
        {"i.late", false},    {".lat", false},      {".c20", false},    {"span.c19.common", true},
        {".c19.one", false}, {"span.c0:first-of-type", true},
    };
    for (const auto& c : classCases) EXPECT_EQ(crowded.AnyMatches(c.selectors), c.matches) << c.selectors;
    // A page that waits keeps only what matching reads of its text; the
    // text it was found in is then overwritten by the next page.
    for (const bool asked : {false, true}) {
        std::string text = "<body class=b><p>x</p><div id=d class='m n' data-k=v><a href=h>y</a></div></body>";
        TPageElements waiting(text);
        if (asked) {
            EXPECT_TRUE(waiting.AnyMatches("p"));
        }
        waiting.Detach();
        std::fill(text.begin(), text.end(), ' ');
        EXPECT_TRUE(waiting.AnyMatches("body.b #d.n[data-k=v] > a:link")) << asked;
        EXPECT_FALSE(waiting.AnyMatches("#m, .d, [data-k=w], .b > a")) << asked;
    }
    // A class only inside :not() is judged as well when it is a page's
    // first question.
    EXPECT_FALSE(TPageElements("<div class='w x'><p>t</p></div>").AnyMatches("div:not(.x) > p"));
    EXPECT_TRUE(TPageElements("<div class=y><p>t</p></div>").AnyMatches("div:not(.x) > p"));
    // A browser makes the <html> and <body> a page leaves out.
    EXPECT_TRUE(TPageElements("<title>x</title><p>y").AnyMatches("html > body > p"));
    // Tag names in any case, of any length, up to the very end of the text.
    const TPageElements shouting("<DIV Id=a><Blockquote><SPAN>x</SPAN></Blockquote><My-Element-Name><@><B");
    for (const char* selectors : {"div#a > blockquote span", "my-element-name", "b", "[id=a]"})
        EXPECT_TRUE(shouting.AnyMatches(selectors)) << selectors;
    EXPECT_FALSE(shouting.AnyMatches("my-element-nam, span > div, bl"));
    // Deep nesting against many descendant steps would backtrack for ages:
    // the search ends, and what it could not decide counts as matching.
    std::string deep;
    for (int i = 0; i < 3000; ++i) deep += "<div>";
    EXPECT_TRUE(TPageElements(deep).AnyMatches("p div div div div div div div div div div div div"));
}

TEST(CharsetSniff, FollowsTheBrowserOrder) {
    const struct {
        std::string bytes;
        int code;
    } cases[] = {
        {"\xEF\xBB\xBF<meta charset=euc-jp>", KanjiCodeUtf8},
        {"<!-- <meta charset=utf-8> --><meta charset='x-sjis'>", KanjiCodeSjis},
        {"<meta http-equiv=content-type content=\"text/html;charset=EUC-JP\"><meta charset=utf-8>", KanjiCodeUtf8},
        {"<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=iso-2022-jp\">", KanjiCodeJis},
        {"<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><html>\xE6\x97\xA5", KanjiCodeSjis},
        {"<p>\xE6\x97\xA5\xE6\x9C\xAC</p>", KanjiCodeUtf8},
        {"<p>\x93\xFA\x96\x7B</p>", KanjiCodeSjis},
        {"<p>\xC6\xFC\xCB\xDC</p>", KanjiCodeEuc},
        {"<p>\xE6\x97</p>", KanjiCodeSjis},  // a cut sequence is not UTF-8
        {"<meta charset=windows-1252><p>ascii</p>", KanjiCodeJis},
    };
    for (const auto& c : cases) EXPECT_EQ(SniffPageEncoding(c.bytes), c.code) << c.bytes;
    // Characters Shift-JIS cannot hold stay what they were, as references.
    EXPECT_EQ(PageTextToSjis("\xEF\xBB\xBF\xC3\xA9\xE6\x97\xA5\xFF", KanjiCodeUtf8), "&#xE9;\x93\xFA&#xFFFD;");
    // An overlong form and a half-width katakana (one Shift-JIS byte).
    EXPECT_EQ(PageTextToSjis("\xE0\x80\xAF"
                             "a\xEF\xBD\xB1\xF0\x9F\x98\x80",
                             KanjiCodeUtf8),
              "&#xFFFD;&#xFFFD;&#xFFFD;a\xB1&#x1F600;");
    EXPECT_EQ(platform::Cp932ToUtf8(DecodeModernText(PageTextToSjis("a\xC3\xA9&amp;", KanjiCodeUtf8))), "a<U+00E9>&");
}

}  // namespace

// A character Shift-JIS cannot hold becomes a reference longer than its
// bytes: the converted text outgrows the page, even many times over.
TEST(Utf8Conversion, CharactersWithoutAFormBecomeReferences) {
    auto times = [](const std::string& s, int n) {
        std::string r;
        for (int i = 0; i < n; ++i) r += s;
        return r;
    };
    const struct {
        std::string utf8, sjis;
    } cases[] = {
        {"plain", "plain"},
        {"a\xE3\x81\x82z", "a\x82\xA0z"},                         // あ
        {times("\xF0\x9F\x98\x80", 40), times("&#x1F600;", 40)},  // an emoji per 4 bytes
        {times("\xFF", 100), times("&#xFFFD;", 100)},             // stray bytes, 8 times longer
        {"x\xE3\x81"
         "\xE3\x81\x84",
         "x&#xFFFD;&#xFFFD;\x82\xA2"},                                           // cut sequence, then い
        {times("abcdefgh", 5) + "\xC2\xA7", times("abcdefgh", 5) + "\x81\x98"},  // §
        {"caf\xC3\xA9 \xC4\x81", "caf&#xE9; &#x101;"},                             // é, ā: short numbers
        // Runs of Japanese (each character met twice, as known ones are
        // taken another way) broken by a character without a form, a
        // surrogate, one-byte katakana, markup and a cut sequence.
        {"\xE3\x81\x82\xE3\x81\x82\xE2\x98\x83\xE2\x98\x83\xE3\x81\x82\xED\xA0\x80\xE3\x81\x82"
         "\xEF\xBD\xB1\xEF\xBD\xB1\xE3\x81\x82<\xE3\x81\x82\xE3\x81\xE3\x81\x82",
         "\x82\xA0\x82\xA0&#x2603;&#x2603;\x82\xA0&#xFFFD;&#xFFFD;&#xFFFD;\x82\xA0\xB1\xB1\x82\xA0<\x82\xA0"
         "&#xFFFD;&#xFFFD;\x82\xA0"},
    };
    for (const auto& c : cases) EXPECT_EQ(platform::Utf8ToCp932CharRefs(c.utf8), c.sjis) << c.utf8;
}

// Every tag's id, class, src and style are read from '=' to '=': a name inside
// a value, or one that only ends like the name, is not the attribute.
TEST(ModernPage, TagFactsReadNamesOutsideValues) {
    const struct {
        const char* tag;
        const char* id;
        const char* classes;
        bool style;
        std::string_view src;
        bool srcset;
    } cases[] = {
        {"<div id=a class=\"b c\">", "a", "b c", false, "", false},
        {"<a href=\"x?class=y&id=z\" title='style=q' class=k>", "", "k", false, "", false},
        {"<div data-class=x CLASS = 'y' Style=color:red>", "", "y", true, "", false},
        {"<div title=a=b id=c data-style=s>", "c", "", false, "", false},
        {"<div class=x class=y id='' id=z>", "", "x", false, "", false},
        {"<p style id=\"i\">", "i", "", false, "", false},
        {"<i class=\"unclosed", "", "unclosed", false, "", false},
        {"<b class=>", "", "", false, "", false},
        {"<img data-src=no srcset=\"a.gif 2x\" SRC = yes.gif src=no.gif>", "", "", false, "yes.gif", true},
        {"<img alt='srcset=x' src=\"i.gif\">", "", "", false, "i.gif", false},
    };
    for (const auto& c : cases) {
        TTagFacts f;
        ReadTagFacts(c.tag, f);
        EXPECT_EQ(f.Id, c.id) << c.tag;
        EXPECT_EQ(f.Classes, c.classes) << c.tag;
        EXPECT_EQ(f.MaybeStyle, c.style) << c.tag;
        EXPECT_EQ(f.Src, c.src) << c.tag;
        EXPECT_EQ(f.MaybeSrcset, c.srcset) << c.tag;
    }
    TTagFacts cell;
    ReadTagFacts("<td data-background=no BACKGROUND = 'b.gif' background=c.gif>", cell);
    EXPECT_EQ(cell.Background, "b.gif");
}

// An <a> is read without its attribute list; its address must be the one
// the list gives (first of two, any case, any quoting, "/" between).
// Links, metas and style attributes that load nothing are passed over
// without reading their attributes; those that load must still give what
// the attribute list gives, also where the quick reading of the tag parts
// from it ("<link=...").
TEST(ModernPage, TagsPassedOverQuicklyLoadNothing) {
    const struct {
        const char* name;
        const char* tag;
        std::vector<std::string> values;
    } cases[] = {
        {"LINK", "<link rel=next href=a.css>", {}},
        {"LINK", "<link REL=\"Alternate StyleSheet\" title=x href=a.css>", {"a.css"}},
        {"LINK", "<link rel='shortcut icon' href=f.ico>", {"f.ico"}},
        {"LINK", "<link=\"a rel=stylesheet x\" rel=next href=b.css>", {"b.css"}},
        {"LINK", "<link rel=modulepreload href=m.js>", {"m.js"}},
        {"META", "<meta HTTP-EQUIV=Refresh content=\"0; url=x.html\">", {"x.html"}},
        {"META", "<meta name=description content=\"refresh\">", {}},
        {"DIV", "<div style=\"color:red\" title=\"(x)\">", {}},
        {"DIV", "<div STYLE=\"background:url(b.gif)\">", {"background:url(b.gif)"}},
    };
    for (const auto& c : cases) {
        TModernPageState st;
        std::vector<TModernRef> refs;
        int64_t pos = 0;
        TTagFacts facts;
        ReadTagFacts(c.tag, facts);
        ModernTagRefs(c.name, c.tag, facts, c.tag, pos, static_cast<int64_t>(std::string_view(c.tag).size()), st,
                      refs);
        std::vector<std::string> got;
        for (const TModernRef& r : refs) got.push_back(r.Value);
        EXPECT_EQ(got, c.values) << c.tag;
    }
}

TEST(ModernPage, AnchorAddressAsTheAttributeListGivesIt) {
    const char* const tags[] = {
        "<a href=one.html>",
        "<a HREF='two.html' href=no.html>",
        "<a title=\"x href=no\" href = \"three.html\">",
        "<a/href=four.html>",
        "<a hreflang=en href=five.html>",
        "<a href>",
        "<a name=x>",
        "<a href=six.html style=\"background:url(b.gif)\">",
        "<a data-href=no.html>",
    };
    for (const char* tag : tags) {
        const std::vector<TTagAttr> attrs = ParseTagAttributes(tag);
        std::string want;
        for (const TTagAttr& a : attrs)
            if (a.Name == "HREF") {
                want = a.Value;
                break;
            }
        TModernPageState st;
        std::vector<TModernRef> refs;
        int64_t pos = 0;
        TTagFacts facts;
        ReadTagFacts(tag, facts);
        ModernTagRefs("A", tag, facts, tag, pos, static_cast<int64_t>(std::string_view(tag).size()), st,
                      refs);
        std::string got;
        for (const TModernRef& r : refs)
            if (r.Use == TModernUse::Link) got = r.Value;
        EXPECT_EQ(got, want) << tag;
    }
}
