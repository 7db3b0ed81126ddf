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
                     "<a href=\"file:///srv/a&b.htm\" TARGET=\"LINK\">/srv/a&b.htm</a><br>",
                     Sj("<a href=\"file:///srv/表%20%3Cx%3E\" TARGET=\"LINK\">/srv/表 <x></a><br>")}));
}

TEST_F(HTMLReport, TableLayout) {
    AllSections(false);
    EnvSettings.ExportHtmlList = EnvSettings.ExportHtmlRes = true;
    SamplePage();
    Lines l = Build();
    const std::string link = "<a href=\"file:///srv/site/index.htm\" TARGET=\"LINK\">/srv/site/index.htm</a></td>";
    const Lines checked = {
        Sj("チェックしたHTMLファイル<br>"), "<br>", Sj("ファイル数:1<br>"), "<table border=1>", "<tr>",
        Sj("<td>順位</td>"), Sj("<td>ファイルサイズ</td>"), Sj("<td>読み込み時間</td>"), Sj("<td>画像数</td>"),
        Sj("<td>エラー</td>"), Sj("<td>ファイル名</td>"), "</tr>", "<tr>", "<td>1</td>", "<td>4,000 Bytes</td>",
        Sj("<td> 1.11秒</td>"), "<td>1</td>", "<td>0</td>", Sj("<td><a href=\"#SOURCE0\">↓</a>"),
        "<a NAME=\"MASTER0\"></a>", link, "</tr>", "</table>", "<hr>"};
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
    expected.insert(expected.end(), {"<hr>", "<br>", Sj("チェックしたHTMLファイル<br>"), "<br>",
                                     Sj("ファイル数:2<br>"), "<PRE>"});
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
    const Lines urls = {Sj("他のURLへのリンク<br>"), "<br>", "<table border=1>", "<tr>", "<td>", Sj("元ファイル<br>"),
                        link, "<br>", Sj("リンク先:2<br>"),
                        "<a href=\"HTTP://a.example/\" TARGET=\"LINK\">HTTP://a.example/</a><br>",
                        "<a href=\"http://b.example/?a=1&b=<2>\" TARGET=\"LINK\">http://b.example/?a=1&b=<2></a><br>",
                        "</td>", "</tr>", "</table>", "<hr>"};
    EXPECT_EQ(Slice(l, urls[0], urls.size()), urls);
    const Lines errors = {Sj("エラー<br>"), "<br>", "<table border=1>", "<tr>", "<td>", Sj("元ファイル<br>"), link,
                          "<br>", Sj("エラーリンク:1<br>"), "/srv/x&y.gif<br>", "</td>", "</tr>", "</table>", "<hr>"};
    EXPECT_EQ(Slice(l, errors[0], errors.size()), errors);

    EnvSettings.ExportUseTable = false;
    l = Build();
    EXPECT_EQ(Slice(l, urls[0], 5),
              (Lines{urls[0], "<br>", "<hr width=\"40%\" align=\"left\">", Sj("元ファイル<br>"), link}));
    EXPECT_EQ(Slice(l, errors[0], 11),
              (Lines{errors[0], "<br>", "<hr width=\"40%\" align=\"left\">", Sj("元ファイル<br>"), link, "<br>",
                     Sj("エラーリンク:1<br>"), "/srv/x&y.gif<br>", "<hr>", kTitle + " by Orvanel", "</body>"}));
}

TEST_F(HTMLReport, SavedFileHasCrLfLines) {
    AllSections(true);
    SamplePage()->URLList = {"http://x.example/"};
    TempDir dir;
    const std::string path = *platform::FromNative(dir / "r.htm");
    ASSERT_TRUE(SaveHTMLReport(path));
    EXPECT_EQ(ReadNative(dir / "r.htm"), JoinReportLines(Build()));
    EXPECT_THROW(SaveHTMLReport(*platform::FromNative(dir / "missing/r.htm")), EFileCreateError);
}

}  // namespace
