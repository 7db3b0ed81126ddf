#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "report/ReportFixture.h"
#include "report/UCreateResult.h"
#include "support/TempDir.h"

namespace {

using Lines = std::vector<std::string>;

const std::string kTitle = "Velmoran Ver0.29 Beta 1.1";

class HTMLReport : public ReportTest {
protected:
    static Lines Build() {
        Lines l;
        BuildHTMLReport(l);
        return l;
    }
    static THTMLFileInfo* SamplePage() {
        return AddPage("/srv/site/index.htm", {{"/srv/site/index.htm", 1000}, {"/srv/site/img.gif", 3000}});
    }
    static Lines Head() {
        return {"<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2 Final//EN\">",
                "<html>",
                "<head>",
                "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">",
                "<title>" + kTitle + Sj(" 測定結果</title>"),
                "</head>",
                "<body>",
                "<center>" + kTitle + Sj(" 測定結果</center>"),
                "<br>",
                "1970/01/01 0:00:00<br>",
                "<pre>",
                Sj("ソート形式 サイズ/所要時間でソート"),
                Sj("回線速度   28,800 bps"),
                "</pre>"};
    }
    static Lines Foot() { return {"<hr>", kTitle + " by Orvanel", "</body>", "</HTML>"}; }
};

TEST_F(HTMLReport, AllSectionsOffIsHeadAndFoot) {
    AllSections(false);
    SamplePage();
    for (bool table : {true, false}) {
        EnvSettings.ExportUseTable = table;
        Lines expected = Head();
        for (const std::string& l : Foot()) expected.push_back(l);
        EXPECT_EQ(Build(), expected);
    }
}

TEST_F(HTMLReport, EmptyRunShowsNoneInEverySection) {
    AllSections(true);
    Lines expected = Head();
    for (const char* title :
         {"入力されたHTMLファイル", "チェックしたHTMLファイル", "HTMLリソース", "他のURLへのリンク", "エラー"}) {
        expected.insert(expected.end(), {"<hr>", "<br>", Sj(title) + "<br>", Sj("*** ありません<br>")});
    }
    for (const std::string& l : Foot()) expected.push_back(l);
    EXPECT_EQ(Build(), expected);
}

TEST_F(HTMLReport, InputFilesAreLinked) {
    AllSections(false);
    EnvSettings.ExportUrlList = true;
    InputList = {"/srv/a&b.htm", Sj("/srv/表 <x>")};
    Lines l = Build();
    EXPECT_EQ(Slice(l, Sj("入力されたHTMLファイル<br>"), 5),
              (Lines{Sj("入力されたHTMLファイル<br>"), "<br>", Sj("ファイル数:2<BR>"),
                     "<a href=\"file:///srv/a&amp;b.htm\" TARGET=\"LINK\">/srv/a&amp;b.htm</a><br>",
                     Sj("<a href=\"file:///srv/表%20%3Cx%3E\" TARGET=\"LINK\">/srv/表 &lt;x&gt;</a><br>")}));
}

TEST_F(HTMLReport, TableLayout) {
    AllSections(false);
    EnvSettings.ExportHtmlList = EnvSettings.ExportHtmlRes = true;
    SamplePage();
    Lines l = Build();
    const std::string link = "<a href=\"file:///srv/site/index.htm\" TARGET=\"LINK\">/srv/site/index.htm</a></td>";
    const Lines checked = {Sj("チェックしたHTMLファイル<br>"),
                           "<br>",
                           Sj("ファイル数:1<br>"),
                           "<table border=1>",
                           "<tr>",
                           Sj("<td>順位</td>"),
                           Sj("<td>ファイルサイズ</td>"),
                           Sj("<td>読み込み時間</td>"),
                           Sj("<td>画像数</td>"),
                           Sj("<td>エラー</td>"),
                           Sj("<td>ファイル名</td>"),
                           "</tr>",
                           "<tr>",
                           "<td>1</td>",
                           "<td>4,000 Bytes</td>",
                           Sj("<td> 1.11秒</td>"),
                           "<td>1</td>",
                           "<td>0</td>",
                           Sj("<td><a href=\"#SOURCE0\">↓</a>"),
                           "<a NAME=\"MASTER0\"></a>",
                           link,
                           "</tr>",
                           "</table>",
                           "<hr>"};
    EXPECT_EQ(Slice(l, checked[0], checked.size()), checked);

    const Lines resources = {
        Sj("HTMLリソース<br>"), "<a NAME=\"SOURCE0\">", "<br>", Sj("ファイル数:2<br>"), "</a>", "<table border=1>",
        "<tr>", "<TD COLSPAN=\"5\">", Sj("<a href=\"#MASTER0\">↑</a>"), link, "</tr>", "<tr>", Sj("<td>順位</td>"),
        Sj("<td>ファイルサイズ</td>"), Sj("<td>読み込み時間</td>"), Sj("<td>割合</td>"), Sj("<td>ファイル名</td>"),
        "</tr>", "<tr>", "<td>1</td>", "<td>3,000 Bytes</td>", Sj("<td> 0.83秒</td>"), "<td> 75.00%</td>",
        "<td><a href=\"file:///srv/site/img.gif\" TARGET=\"LINK\">/srv/site/img.gif</a></td>", "</tr>", "<tr>",
        "<td>2</td>", "<td>1,000 Bytes</td>", Sj("<td> 0.28秒</td>"), "<td> 25.00%</td>", "<td>" + link, "</tr>",
        // The total row has five cells, like its heading.
        "<tr>", Sj("<td>合計</td>"), "<td>4,000 Bytes</td>", Sj("<td> 1.11秒</td>"), "<td>N/A</td>", "<td>N/A</td>",
        "</tr>", "</table>", "<hr>"};
    EXPECT_EQ(Slice(l, resources[0], resources.size()), resources);
}

TEST_F(HTMLReport, PreformattedLayoutReusesTheTextTables) {
    AllSections(false);
    EnvSettings.ExportHtmlList = EnvSettings.ExportHtmlRes = true;
    EnvSettings.ExportUseTable = false;
    SamplePage();
    AddPage("/srv/site/b.htm", {{"/srv/site/b.htm", 7}});
    Lines l = Build();

    Lines expected = Head();
    expected.insert(expected.end(),
                    {"<hr>", "<br>", Sj("チェックしたHTMLファイル<br>"), "<br>", Sj("ファイル数:2<br>"), "<PRE>"});
    AddCheckedFileTable(expected, true);
    expected.insert(expected.end(), {"</PRE>", "<hr>", "<br>", Sj("HTMLリソース<br>")});
    AddResourceTables(expected, true);
    for (const std::string& line : Foot()) expected.push_back(line);
    EXPECT_EQ(l, expected);
    // The anchors the arrows jump between are there.
    EXPECT_NE(JoinReportLines(l).find("<a NAME=\"MASTER1\">"), std::string::npos);
    EXPECT_NE(JoinReportLines(l).find("<a NAME=\"SOURCE1\">"), std::string::npos);
}

TEST_F(HTMLReport, WeightlessPageSharesAreZero) {
    AllSections(false);
    EnvSettings.ExportHtmlRes = true;
    AddPage("/srv/e.htm", {{"/srv/e.htm", 0}, {"/srv/e.gif", 0}});
    Lines l = Build();
    int cells = 0;
    for (const std::string& line : l) cells += line == "<td>  0.00%</td>";
    EXPECT_EQ(cells, 2);
}

TEST_F(HTMLReport, OutsideLinksAndErrorsInBothLayouts) {
    AllSections(false);
    EnvSettings.ExportOtherUrl = EnvSettings.ExportError = true;
    THTMLFileInfo* page = AddPage("/srv/p.htm", {{"/srv/p.htm", 1}});
    page->URLList = {"http://b.example/?a=1&b=<2>", "HTTP://a.example/"};
    page->NotFoundList = {"/srv/x&y.gif"};
    AddPage("/srv/q.htm", {{"/srv/q.htm", 1}});  // nothing: no block
    const std::string link = "<a href=\"file:///srv/p.htm\" TARGET=\"LINK\">/srv/p.htm</a><br>";

    EnvSettings.ExportUseTable = true;
    Lines l = Build();
    const Lines urls = {Sj("他のURLへのリンク<br>"),
                        "<br>",
                        "<table border=1>",
                        "<tr>",
                        "<td>",
                        Sj("元ファイル<br>"),
                        link,
                        "<br>",
                        Sj("リンク先:2<br>"),
                        "<a href=\"HTTP://a.example/\" TARGET=\"LINK\">HTTP://a.example/</a><br>",
                        "<a href=\"http://b.example/?a=1&amp;b=&lt;2&gt;\" TARGET=\"LINK\">"
                        "http://b.example/?a=1&amp;b=&lt;2&gt;</a><br>",
                        "</td>",
                        "</tr>",
                        "</table>",
                        "<hr>"};
    EXPECT_EQ(Slice(l, urls[0], urls.size()), urls);
    const Lines errors = {Sj("エラー<br>"),
                          "<br>",
                          "<table border=1>",
                          "<tr>",
                          "<td>",
                          Sj("元ファイル<br>"),
                          link,
                          "<br>",
                          Sj("エラーリンク:1<br>"),
                          "/srv/x&amp;y.gif<br>",
                          "</td>",
                          "</tr>",
                          "</table>",
                          "<hr>"};
    EXPECT_EQ(Slice(l, errors[0], errors.size()), errors);

    EnvSettings.ExportUseTable = false;
    l = Build();
    EXPECT_EQ(Slice(l, urls[0], 5),
              (Lines{urls[0], "<br>", "<hr width=\"40%\" align=\"left\">", Sj("元ファイル<br>"), link}));
    EXPECT_EQ(Slice(l, errors[0], 11),
              (Lines{errors[0], "<br>", "<hr width=\"40%\" align=\"left\">", Sj("元ファイル<br>"), link, "<br>",
                     Sj("エラーリンク:1<br>"), "/srv/x&amp;y.gif<br>", "<hr>", kTitle + " by Orvanel", "</body>"}));
}

// Names, addresses and settings texts are data: none may become markup of
// the report, and a browser shows each as it is written.
TEST_F(HTMLReport, EveryNameAndAddressIsEscaped) {
    AllSections(true);
    struct Case {
        std::string raw, url, text;
    };
    const std::vector<Case> cases = {
        {"/srv/a&b.htm", "srv/a&amp;b.htm", "/srv/a&amp;b.htm"},
        {"/srv/x\"><script>.htm", "srv/x%22%3E%3Cscript%3E.htm", "/srv/x&quot;&gt;&lt;script&gt;.htm"},
        // The trail bytes of 表 (5C) and ポ (7C) are kept; a lead byte
        // before an ASCII byte makes no character with it.
        {Sj("/srv/表<ポ>"), Sj("srv/表%3Cポ%3E"), Sj("/srv/表&lt;ポ&gt;")},
        {"/srv/\x81<b>\x81\"", "srv/\x81%3Cb%3E\x81%22", "/srv/\x81&lt;b&gt;\x81&quot;"},
    };
    for (const Case& c : cases) {
        FileList.Clear();
        THTMLFileInfo* page = AddPage(c.raw, {{c.raw, 1}});
        page->NotFoundList = {c.raw};
        page->URLList = {"http://z.example" + c.raw};
        InputList = {c.raw};
        EnvSettings.BpsCaption = c.raw;
        for (bool table : {true, false}) {
            EnvSettings.ExportUseTable = table;
            const std::string report = JoinReportLines(Build());
            EXPECT_EQ(report.find(c.raw), std::string::npos) << c.raw << " " << table;
            // Inputs, checked pages, the resource table's head and part, and
            // the heads of the address and error blocks.
            const std::string link = "=\"file:///" + c.url + "\" TARGET=\"LINK\">" + c.text + "</";
            size_t links = 0;
            for (size_t at = report.find(link); at != std::string::npos; at = report.find(link, at + 1)) ++links;
            EXPECT_EQ(links, 6u) << c.raw << " " << table;
            const std::string url = "http://z.example" + c.text;
            EXPECT_NE(report.find("<a href=\"" + url + "\" TARGET=\"LINK\">" + url + "</a><br>\r\n"),
                      std::string::npos);
            EXPECT_NE(report.find("\r\n" + c.text + "<br>\r\n"), std::string::npos);
            EXPECT_NE(report.find(Sj("回線速度   ") + c.text + "\r\n"), std::string::npos);
        }
        // The text report is no markup: names stay as they are.
        std::vector<std::string> text;
        BuildTextReport(text);
        EXPECT_NE(JoinReportLines(text).find("\r\n" + c.raw + "\r\n"), std::string::npos);
    }
}

TEST_F(HTMLReport, SavedFileHasCrLfLines) {
    AllSections(true);
    SamplePage()->URLList = {"http://x.example/"};
    TempDir dir;
    const std::string path = *platform::FromNative(dir / "r.htm");
    ASSERT_TRUE(SaveHTMLReport(path));
    EXPECT_EQ(ReadNative(dir / "r.htm"), JoinReportLines(Build()));
    EXPECT_FALSE(SaveHTMLReport(*platform::FromNative(dir / "missing/r.htm")));
}

}  // namespace
