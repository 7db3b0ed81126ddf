#include <gtest/gtest.h>
#include <sys/stat.h>

#include <regex>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/FrontEnd.h"
#include "report/ReportFixture.h"
#include "report/UCreateResult.h"
#include "support/TempDir.h"

namespace {

using Lines = std::vector<std::string>;

const std::string kSep(70, '-');
const std::string kTitle = "Velmoran Ver0.29 Beta 1.1";

std::string Sp(size_t n) { return std::string(n, ' '); }

class TextReport : public ReportTest {
protected:
    static Lines Build() {
        Lines l;
        BuildTextReport(l);
        return l;
    }
    // The usual page: 1000 bytes of HTML and one 3000-byte image.
    static THTMLFileInfo* SamplePage() {
        return AddPage("/srv/site/index.htm", {{"/srv/site/index.htm", 1000}, {"/srv/site/img.gif", 3000}});
    }
};

TEST_F(TextReport, AllSectionsOffIsSevenLines) {
    AllSections(false);
    SamplePage();
    InputList = {"/srv/site"};
    const Lines expected = {kTitle,
                            "",
                            "1970/01/01 0:00:00",
                            Sj("ソート形式 サイズ/所要時間でソート"),
                            Sj("回線速度   28,800 bps"),
                            kSep,
                            kTitle + " by Orvanel"};
    EXPECT_EQ(Build(), expected);
}

TEST_F(TextReport, SortLineNamesEverySortType) {
    AllSections(false);
    const char* names[] = {"サイズ/所要時間でソート", "ファイル名でソート", "IMG ファイル総数でソート", "ソートしない"};
    for (int type = 0; type < 4; ++type) {
        EnvSettings.SortType = type;
        EXPECT_EQ(Build()[3], Sj(std::string("ソート形式 ") + names[type])) << type;
    }
    EnvSettings.BpsCaption = "192,00 bps";
    EXPECT_EQ(Build()[4], Sj("回線速度   192,00 bps"));
}

TEST_F(TextReport, EmptyRunWithAllSectionsOn) {
    AllSections(true);
    const std::string none = Sj("*** ありません");
    Lines expected = {kTitle, "", "1970/01/01 0:00:00", Sj("ソート形式 サイズ/所要時間でソート"),
                      Sj("回線速度   28,800 bps")};
    for (const char* title :
         {"入力されたHTMLファイル", "チェックしたHTMLファイル", "HTMLリソース", "他のURLへのリンク", "エラー"}) {
        expected.insert(expected.end(), {"", kSep, Sj(title), none});
    }
    expected.insert(expected.end(), {kSep, kTitle + " by Orvanel"});
    EXPECT_EQ(Build(), expected);

    // With inputs but nothing measured, only the input section has entries.
    InputList = {"/srv/a.htm", Sj("/srv/表ポ")};
    Lines l = Build();
    EXPECT_EQ(Slice(l, Sj("入力されたHTMLファイル"), 4),
              (Lines{Sj("入力されたHTMLファイル"), Sj("ファイル数:2"), "/srv/a.htm", Sj("/srv/表ポ")}));
    EXPECT_EQ(Slice(l, Sj("チェックしたHTMLファイル"), 2), (Lines{Sj("チェックしたHTMLファイル"), none}));
}

TEST_F(TextReport, PageWithOneImage) {
    AllSections(false);
    EnvSettings.ExportHtmlList = EnvSettings.ExportHtmlRes = true;
    SamplePage();
    Lines l = Build();

    const std::string row =
        "   1 " + Sp(5) + "4,000 Bytes " + Sp(12) + Sj(" 1.11秒") + "       1       0 /srv/site/index.htm";
    EXPECT_EQ(Slice(l, Sj("チェックしたHTMLファイル"), 4),
              (Lines{Sj("チェックしたHTMLファイル"), Sj("ファイル数:1"),
                     Sj("順位   ファイルサイズ        読み込み時間  画像数  エラー ファイル名"), row}));

    // Largest part first: the default order is by size, descending.
    EXPECT_EQ(Slice(l, Sj("HTMLリソース"), 8),
              (Lines{Sj("HTMLリソース"), "", Sj("調査したHTMLファイル: /srv/site/index.htm"), Sj("ファイル数:  2"),
                     Sj("順位   ファイルサイズ        読み込み時間    割合 ファイル名"),
                     "   1 " + Sp(5) + "3,000 Bytes " + Sp(12) + Sj(" 0.83秒") + "  75.00% /srv/site/img.gif",
                     "   2 " + Sp(5) + "1,000 Bytes " + Sp(12) + Sj(" 0.28秒") + "  25.00% /srv/site/index.htm",
                     Sj("合計 ") + Sp(5) + "4,000 Bytes " + Sp(12) + Sj(" 1.11秒")}));

    EnvSettings.FileSizeDisp = 1;
    l = Build();
    EXPECT_EQ(Slice(l, Sj("ファイル数:1"), 3)[2].substr(0, 22), "   1 " + Sp(9) + "3.91 KB ");
}

TEST_F(TextReport, WeightlessPageSharesAreZero) {
    AllSections(false);
    EnvSettings.ExportHtmlRes = true;
    AddPage("/srv/empty.htm", {{"/srv/empty.htm", 0}, {"/srv/none.gif", 0}});
    Lines l = Build();
    Lines rows = Slice(l, Sj("順位   ファイルサイズ        読み込み時間    割合 ファイル名"), 3);
    ASSERT_EQ(rows.size(), 3u);
    for (size_t k = 1; k < 3; ++k) EXPECT_NE(rows[k].find("   0.00% /srv/"), std::string::npos) << rows[k];
}

TEST_F(TextReport, HundredHoursWidenTheRowByOneByte) {
    AllSections(false);
    EnvSettings.ExportHtmlList = true;
    EnvSettings.Bps = 75;
    // 99 and 100 hours at 75 bps; both weights print 15 bytes wide.
    AddPage("/p", {{"/p", 3341250}});
    AddPage("/p", {{"/p", 3375000}});
    Lines l = Build();
    Lines rows = Slice(l, Sj("ファイル数:2"), 4);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_NE(rows[2].find(" " + Sj("99時間 00分 00.00秒") + " "), std::string::npos);
    EXPECT_EQ(rows[3].size(), rows[2].size() + 1);
}

TEST_F(TextReport, OtherURLsSortedWithoutCaseAndErrorsInOrder) {
    AllSections(false);
    EnvSettings.ExportOtherUrl = EnvSettings.ExportError = true;
    THTMLFileInfo* a = AddPage("/srv/a.htm", {{"/srv/a.htm", 10}});
    a->URLList = {"http://b.example/", "HTTP://A.example/x", "http://a.example/X", "ftp://c.example/"};
    a->NotFoundList = {"/srv/z.gif", "/srv/b.gif", "/srv/z.gif"};
    AddPage("/srv/b.htm", {{"/srv/b.htm", 10}});  // nothing to list: no block
    Lines l = Build();
    EXPECT_EQ(Slice(l, Sj("他のURLへのリンク"), 8),
              (Lines{Sj("他のURLへのリンク"), "", Sj("リンク数:4"), "/srv/a.htm", "ftp://c.example/",
                     "HTTP://A.example/x", "http://a.example/X", "http://b.example/"}));
    EXPECT_EQ(Slice(l, Sj("エラー"), 7),
              (Lines{Sj("エラー"), "", Sj("エラー数:3"), "/srv/a.htm", "/srv/z.gif", "/srv/b.gif", "/srv/z.gif"}));
    EXPECT_EQ(l[l.size() - 3], "/srv/z.gif");
    // The sorted order stays in the model.
    EXPECT_EQ(a->URLList, (Lines{"ftp://c.example/", "HTTP://A.example/x", "http://a.example/X", "http://b.example/"}));
}

TEST_F(TextReport, PartsAreSortedInTheModelBySortType) {
    AllSections(false);
    EnvSettings.ExportHtmlRes = true;
    THTMLFileInfo* page = AddPage("/s/b.htm", {{"/s/b.htm", 50}, {"/s/c.gif", 10}, {"/s/a.gif", 90}});
    EnvSettings.SortType = 3;
    Build();
    EXPECT_EQ(Names(page->Items), (Lines{"/s/b.htm", "/s/c.gif", "/s/a.gif"}));
    EnvSettings.SortType = 1;
    EnvSettings.SortAscending = true;
    Build();
    EXPECT_EQ(Names(page->Items), (Lines{"/s/a.gif", "/s/b.htm", "/s/c.gif"}));
    EnvSettings.SortType = 2;  // parts have no image count: by size
    Build();
    EXPECT_EQ(Names(page->Items), (Lines{"/s/c.gif", "/s/b.htm", "/s/a.gif"}));
}

TEST_F(TextReport, FilePathToURLEscapes) {
    EXPECT_EQ(FilePathToURL("/srv/a b.htm"), "srv/a%20b.htm");
    EXPECT_EQ(FilePathToURL("/srv/a%b.htm"), "srv/a%25b.htm");
    EXPECT_EQ(FilePathToURL("/% #<>[]^`{|}~\""), "%25%20%23%3C%3E%5B%5D%5E%60%7B%7C%7D%7E%22");
    EXPECT_EQ(FilePathToURL("/a:b\\c/"), "a:b\\c/");
    EXPECT_EQ(FilePathToURL("//host/x"), "/host/x");
    EXPECT_EQ(FilePathToURL("rel ative"), "rel%20ative");
    EXPECT_EQ(FilePathToURL(""), "");
    // 表 ends in 0x5C, ポ in 0x7C, ー in 0x5B, ｱ is one byte: all kept as they are.
    EXPECT_EQ(FilePathToURL(Sj("/srv/表ポー ｱ.htm")), Sj("srv/表ポー%20ｱ.htm"));
    // A lead byte cut off at the end is copied, never read past.
    EXPECT_EQ(FilePathToURL("/a\x95"), "a\x95");
}

TEST_F(TextReport, HtmlModeAnchorsAreZeroBased) {
    SamplePage();
    AddPage("/srv/b c.htm", {{"/srv/b c.htm", 5}});
    Lines l;
    AddCheckedFileTable(l, true);
    ASSERT_EQ(l.size(), 3u);
    EXPECT_EQ(l[1], "<a NAME=\"MASTER0\">   1 " + Sp(5) + "4,000 Bytes " + Sp(12) + Sj(" 1.11秒") +
                        "       1       0 </a><a href=\"#SOURCE0\">" + Sj("↓") +
                        "</a> <A HREF=\"file:///srv/site/index.htm\" TARGET=\"LINK\">/srv/site/index.htm</A>");
    EXPECT_EQ(l[2].substr(0, 23), "<a NAME=\"MASTER1\">   2 ");
    EXPECT_NE(l[2].find("<a href=\"#SOURCE1\">"), std::string::npos);

    Lines r;
    AddResourceTables(r, true);
    ASSERT_EQ(r.size(), 19u);
    EXPECT_EQ(Lines(r.begin(), r.begin() + 5),
              (Lines{"<BR>", "<hr width=\"40%\" align=\"left\">", "<PRE>",
                     "<a NAME=\"SOURCE0\">" + Sj("調査したHTMLファイル: ") + "</a><a href=\"#MASTER0\">" + Sj("↑") +
                         "</a> <A HREF=\"file:///srv/site/index.htm\" TARGET=\"LINK\">/srv/site/index.htm</A>",
                     Sj("ファイル数:  2")}));
    EXPECT_EQ(r[6], "   1 " + Sp(5) + "3,000 Bytes " + Sp(12) + Sj(" 0.83秒") +
                        "  75.00% <A HREF=\"file:///srv/site/img.gif\" TARGET=\"LINK\">/srv/site/img.gif</A>");
    EXPECT_EQ(r[9], "</PRE>");
    EXPECT_NE(r[13].find("<a NAME=\"SOURCE1\">"), std::string::npos);
    EXPECT_NE(r[13].find("file:///srv/b%20c.htm\" TARGET=\"LINK\">/srv/b c.htm</A>"), std::string::npos);
}

TEST_F(TextReport, DateLine) {
    ::setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
    EXPECT_EQ(ReportDateTimeText(), "2023/11/14 22:13:20");
    ::setenv("SOURCE_DATE_EPOCH", "951782400", 1);  // a leap day, single-digit hour
    EXPECT_EQ(ReportDateTimeText(), "2000/02/29 0:00:00");
    ::setenv("SOURCE_DATE_EPOCH", "253402300799", 1);
    EXPECT_EQ(ReportDateTimeText(), "9999/12/31 23:59:59");
    // Not a count of seconds from 1970 to the end of year 9999: the current
    // local time in the same form.
    const std::regex form(R"(\d{4}/\d\d/\d\d \d{1,2}:\d\d:\d\d)");
    for (const char* bad : {"12abc", "", "x", "99999999999999999999999", "-100000000000", "253402300800"}) {
        ::setenv("SOURCE_DATE_EPOCH", bad, 1);
        std::string now = ReportDateTimeText();
        EXPECT_TRUE(std::regex_match(now, form)) << now;
    }
    ::unsetenv("SOURCE_DATE_EPOCH");
    EXPECT_TRUE(std::regex_match(ReportDateTimeText(), form));
}

TEST_F(TextReport, FixedEpochMakesBuildsIdentical) {
    AllSections(true);
    ::setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
    SamplePage()->URLList = {"http://x.example/"};
    InputList = {"/srv/site"};
    Lines first = Build();
    Lines second = Build();
    EXPECT_EQ(JoinReportLines(first), JoinReportLines(second));
    EXPECT_EQ(first[2], "2023/11/14 22:13:20");
}

TEST_F(TextReport, SavedFileEndsEveryLineWithCrLf) {
    AllSections(true);
    SamplePage()->NotFoundList = {"/srv/site/gone.gif"};
    InputList = {"/srv/site"};
    TempDir dir;
    const std::string path = *platform::FromNative(dir / "report.txt");
    dir.Write("report.txt", "old content that is longer than nothing\n");
    ASSERT_TRUE(SaveTextReport(path));
    const std::string bytes = ReadNative(dir / "report.txt");
    Lines l = Build();
    EXPECT_EQ(bytes, JoinReportLines(l));
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
    size_t lf = 0, crlf = 0;
    for (size_t k = 0; k < bytes.size(); ++k) {
        if (bytes[k] != '\n') continue;
        ++lf;
        if (k > 0 && bytes[k - 1] == '\r') ++crlf;
    }
    EXPECT_EQ(lf, l.size());
    EXPECT_EQ(crlf, lf);
}

TEST_F(TextReport, SaveFailuresAreReportedAndKeepTheOldFile) {
    int begins = 0, ends = 0;
    platform::TFrontEndScope frontEnd;
    platform::FrontEnd().busyBegin = [&] { ++begins; };
    platform::FrontEnd().busyEnd = [&] { ++ends; };
    TempDir dir;
    const std::string missing = *platform::FromNative(dir / "no/such/folder/r.txt");
    const platform::TResult saved = SaveTextReport(missing);
    EXPECT_FALSE(saved);
    EXPECT_EQ(saved.Error, Sj("ﾌｧｲﾙ ") + missing + Sj(" を作成できません"));
    EXPECT_EQ(begins, 1);
    EXPECT_EQ(ends, 1);

    // A write-protected report is not replaced behind the user's back.
    const std::string native = dir.Write("ro.txt", "keep me");
    ::chmod(native.c_str(), 0444);
    EXPECT_FALSE(SaveTextReport(*platform::FromNative(native)));
    EXPECT_EQ(ReadNative(native), "keep me");
    // Nor is a folder, and no temporary file stays behind.
    dir.MakeDir("folder.txt");
    EXPECT_FALSE(SaveHTMLReport(*platform::FromNative(dir / "folder.txt")));
    std::vector<platform::DirEntry> entries;
    ASSERT_TRUE(platform::ListDirectory(*platform::FromNative(dir.path()), entries));
    EXPECT_EQ(entries.size(), 2u);
    EXPECT_EQ(begins, 3);
    EXPECT_EQ(ends, 3);
}

TEST_F(TextReport, CopyGoesToTheClipboardHook) {
    AllSections(false);
    EXPECT_FALSE(CopyTextReport());
    std::string copied;
    {
        platform::TFrontEndScope frontEnd;
        platform::FrontEnd().clipboard = [&](const std::string& text) { copied = text; };
        EXPECT_TRUE(CopyTextReport());
    }
    EXPECT_EQ(copied, JoinReportLines(Build()));
    EXPECT_TRUE(copied.ends_with(" by Orvanel\r\n"));
}

}  // namespace
