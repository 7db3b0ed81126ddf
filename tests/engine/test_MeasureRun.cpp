#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "engine/UDecodeHTML.h"
#include "engine/UHTMLList.h"
#include "engine/UInputList.h"
#include "engine/UWarningCap.h"
#include "platform/Encoding.h"
#include "platform/FileSystem.h"
#include "settings/Uenviron.h"
#include "support/TempDir.h"

namespace {

class MeasureRun : public ::testing::Test {
protected:
    void SetUp() override {
        EnvSettings = TEnvSettings{};
        oldCwd_ = platform::GetCurrentDir();
        base = *platform::FromNative(t.path());
        platform::SetCurrentDir(base);
    }
    void TearDown() override {
        platform::SetCurrentDir(oldCwd_);
        InputList.clear();
        SearchList.clear();
        FileList.Clear();
        ErrorLog.Clear();
        EnvSettings = TEnvSettings{};
    }

    // CP932 path of a name inside the temporary folder.
    std::string P(const std::string& rel) const { return base + "/" + rel; }

    void Run(std::vector<std::string> inputs) {
        InputList.clear();
        for (const std::string& i : inputs) InputList.push_back(P(i));
        MeasureAll(
            stop,
            [this](const std::string& s) {
                folders.push_back(s);
                if (onFolder) onFolder(s);
            },
            [this](const std::string& s) {
                files.push_back(s);
                if (onFile) onFile(s);
            },
            [this](const std::string& s) {
                lines.push_back(s);
                if (onWarn) onWarn(s);
            });
    }

    std::vector<std::string> PageNames() const {
        std::vector<std::string> r;
        for (const THTMLFileInfo* p : FileList) r.push_back(p->FileName.substr(base.size() + 1));
        return r;
    }
    const THTMLFileInfo* Page(const std::string& rel) const {
        for (const THTMLFileInfo* p : FileList)
            if (p->FileName == P(rel)) return p;
        return nullptr;
    }
    std::string NotFound(const std::string& target, const std::string& page) const {
        return SJ("ファイルが見つかりません") + ": " + P(target) + " at " + P(page);
    }

    TempDir t;
    std::string base;
    bool stop = false;
    std::vector<std::string> folders, files, lines;
    std::function<void(const std::string&)> onFolder, onFile, onWarn;

private:
    std::string oldCwd_;
};

// --- resources ---------------------------------------------------------------

TEST_F(MeasureRun, EachResourceCountsOncePerPageAndOnceInEveryPage) {
    t.Write("img.gif", std::string(100, 'g'));
    t.Write("a.html", "<IMG SRC=img.gif><IMG SRC=img.gif><BODY BACKGROUND=./img.gif><EMBED SRC=img.gif>");
    t.Write("b.html", "<IMG SRC=\"img.gif\">");
    Run({"a.html", "b.html"});
    ASSERT_EQ(FileList.Count(), 2);
    const THTMLFileInfo* a = Page("a.html");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->Items.Count(), 2);
    EXPECT_EQ(a->HTMLSize, 80);
    EXPECT_EQ(a->TotalSize, 180);
    EXPECT_TRUE(a->Items[0]->IsHTML);
    EXPECT_EQ(a->Items[0]->TotalSize, a->HTMLSize);
    EXPECT_EQ(a->Items[1]->FileName, P("img.gif"));
    EXPECT_EQ(a->Items[1]->TotalSize, 100);
    EXPECT_FALSE(a->Items[1]->IsHTML);
    const THTMLFileInfo* b = Page("b.html");
    EXPECT_EQ(b->TotalSize, b->HTMLSize + 100);
    EXPECT_TRUE(lines.empty());
    EXPECT_EQ(ErrorLog.Count(), 0);
}

// A page's key sets change their form past a handful of keys: repeats on
// both sides of that change must still count once.
TEST_F(MeasureRun, ManyDistinctResourcesAndUrlsCountOnceEach) {
    std::string html;
    for (int round = 0; round < 2; ++round)
        for (int i = 0; i < 40; ++i) {
            const std::string n = std::to_string(i);
            if (round == 0) t.Write("r" + n + ".gif", std::string(static_cast<size_t>(i + 1), 'x'));
            html += "<IMG SRC=r" + n + ".gif><IMG SRC=gone" + n + ".gif>";
            html += "<A HREF=\"http://h" + n + ".example/\"></A><A HREF=\"HTTP://H" + n + ".EXAMPLE/\"></A>";
        }
    t.Write("p.html", html);
    Run({"p.html"});
    const THTMLFileInfo* p = Page("p.html");
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->Items.Count(), 41);
    EXPECT_EQ(p->TotalSize, p->HTMLSize + 40 * 41 / 2);
    EXPECT_EQ(p->NotFoundList.size(), 40u);
    EXPECT_EQ(p->URLList.size(), 40u);
    EXPECT_EQ(lines.size(), 40u);
}

TEST_F(MeasureRun, ResourceKeysAreExpandedAgainstTheCurrentFolderNotThePage) {
    t.Write("sub/x.gif", "12345");
    // Both spellings reach sub/x.gif, but against the current folder they
    // differ, so the file counts twice.
    t.Write("sub/p.html", "<IMG SRC=x.gif><IMG SRC=../sub/x.gif><IMG SRC=..\\sub\\x.gif>");
    Run({"sub/p.html"});
    const THTMLFileInfo* p = Page("sub/p.html");
    ASSERT_NE(p, nullptr);
    ASSERT_EQ(p->Items.Count(), 3);
    EXPECT_EQ(p->Items[1]->FileName, P("sub/x.gif"));
    EXPECT_EQ(p->Items[2]->FileName, P("sub/x.gif"));
    EXPECT_EQ(p->TotalSize, p->HTMLSize + 10);
}

TEST_F(MeasureRun, ResourceNamesAreCaseSensitiveAndMissingOnesAreListedOnce) {
    t.Write("a.gif", "aa");
    t.Write("p.html", "<IMG SRC=A.GIF><IMG SRC=A.GIF><IMG SRC=a.gif>");
    Run({"p.html"});
    const THTMLFileInfo* p = Page("p.html");
    EXPECT_EQ(p->NotFoundList, std::vector<std::string>{P("A.GIF")});
    EXPECT_EQ(p->Items.Count(), 2);
    EXPECT_EQ(lines, std::vector<std::string>{NotFound("A.GIF", "p.html")});
    ASSERT_EQ(ErrorLog.Count(), 1);
    EXPECT_EQ(ErrorLog[0]->FileName, P("p.html"));
    EXPECT_EQ(ErrorLog[0]->LinkName, P("A.GIF"));
}

TEST_F(MeasureRun, SharedResourcesInDifferentFoldersKeepTheirOwnSizes) {
    // The same reference text names a different file in each folder; a
    // look-up cached by reference instead of by resolved path would mix them.
    t.Write("one/pic.gif", std::string(10, 'x'));
    t.Write("two/pic.gif", std::string(20, 'x'));
    t.Write("one/p.html", "<IMG SRC=pic.gif>");
    t.Write("two/p.html", "<IMG SRC=pic.gif>");
    Run({"one/p.html", "two/p.html"});
    EXPECT_EQ(Page("one/p.html")->TotalSize, 17 + 10);
    EXPECT_EQ(Page("two/p.html")->TotalSize, 17 + 20);
}

TEST_F(MeasureRun, ResourceLookupAcceptsFoldersAndWildcards) {
    t.MakeDir("dir");
    t.Write("img/zz.gif", std::string(7, 'z'));
    t.Write("img/ab.gif", std::string(3, 'a'));
    t.Write("p.html", "<IMG SRC=dir><IMG SRC=img/*.gif><IMG SRC=img/?x.gif>");
    Run({"p.html"});
    const THTMLFileInfo* p = Page("p.html");
    ASSERT_EQ(p->Items.Count(), 3);
    EXPECT_EQ(p->Items[1]->FileName, P("dir/"));
    EXPECT_EQ(p->Items[1]->TotalSize, 0);
    // The first match in name order.
    EXPECT_EQ(p->Items[2]->TotalSize, 3);
    EXPECT_EQ(p->NotFoundList, std::vector<std::string>{P("img/?x.gif")});
}

TEST_F(MeasureRun, SkipListsAndLocalFileWarnings) {
    t.Write("p.html",
            "<IMG SRC=/abs.gif><IMG SRC=http://x/y.gif><A HREF=mailto:a@b>m</A>"
            "<IMG SRC=\"file:nothere.gif\">");
    Run({"p.html"});
    const std::string page = P("p.html");
    EXPECT_EQ(lines, (std::vector<std::string>{
                         SJ("ローカルファイルが指定されています") + ": file:nothere.gif at " + page,
                         SJ("ファイルが見つかりません") + ": nothere.gif at " + page,
                     }));
    EXPECT_EQ(ErrorLog.Count(), 2);
    EXPECT_TRUE(Page("p.html")->URLList.empty());
}

// --- links -------------------------------------------------------------------

TEST_F(MeasureRun, PagesFollowDepthFirstPreOrderAndProblemsComeInTheOrderMet) {
    t.Write("a.html", "<A HREF=c.html>c</A><IMG SRC=x1.gif>");
    t.Write("c.html", "<A HREF=index.html>i</A><IMG SRC=x2.gif>");
    t.Write("index.html", "<A HREF=a.html></A><A HREF=b.html></A><IMG SRC=x3.gif>");
    t.Write("b.html", "<IMG SRC=x4.gif>");
    t.Write("sub/d.html", "<A HREF=../b.html>");
    Run({""});
    EXPECT_EQ(SearchList,
              (std::vector<std::string>{P("a.html"), P("b.html"), P("c.html"), P("index.html"), P("sub/d.html")}));
    EXPECT_EQ(PageNames(), (std::vector<std::string>{"a.html", "c.html", "index.html", "b.html", "sub/d.html"}));
    // Every page is begun once, in the same order.
    EXPECT_EQ(files,
              (std::vector<std::string>{P("a.html"), P("c.html"), P("index.html"), P("b.html"), P("sub/d.html")}));
    EXPECT_EQ(lines, (std::vector<std::string>{NotFound("x4.gif", "b.html"), NotFound("x3.gif", "index.html"),
                                               NotFound("x2.gif", "c.html"), NotFound("x1.gif", "a.html")}));
}

TEST_F(MeasureRun, FolderLinksUseIndexFilesThatAreRegularFiles) {
    t.Write("news/index.htm", "n");
    t.Write("both/index.html", "h");
    t.Write("both/index.htm", "x");
    t.MakeDir("empty");
    t.MakeDir("fake/index.html");  // a folder, not an index file
    t.Write("p.html", "<A HREF=news/></A><A HREF=both></A><A HREF=empty/></A><A HREF=fake/></A>");
    Run({"p.html"});
    EXPECT_EQ(PageNames(), (std::vector<std::string>{"p.html", "news/index.htm", "both/index.html"}));
    EXPECT_EQ(Page("p.html")->NotFoundList, (std::vector<std::string>{P("empty/"), P("fake/")}));
    EXPECT_EQ(lines, (std::vector<std::string>{NotFound("empty/", "p.html"), NotFound("fake/", "p.html")}));
}

TEST_F(MeasureRun, OnlyHtmlLinksAreCheckedAndMissingOnesAtEachOccurrence) {
    t.Write("p.html",
            "<A HREF=files/manual.zip>z</A><A HREF=gone.html>1</A><A HREF=gone.html#x>2</A>"
            "<A HREF=self.HTM#top>s</A><A HREF=p.html>me</A>");
    t.Write("self.HTM", "<A HREF=p.html>back</A>");
    Run({"p.html"});
    EXPECT_EQ(PageNames(), (std::vector<std::string>{"p.html", "self.HTM"}));
    EXPECT_EQ(Page("p.html")->NotFoundList, (std::vector<std::string>{P("gone.html"), P("gone.html")}));
    EXPECT_EQ(lines, (std::vector<std::string>{NotFound("gone.html", "p.html"), NotFound("gone.html", "p.html")}));
}

TEST_F(MeasureRun, LinksAreOnlyCheckedWhenFollowingIsOff) {
    EnvSettings.LinkEnabled = false;
    t.Write("p.html", "<A HREF=q.html>q</A><A HREF=r.html>r</A>");
    t.Write("q.html", "q");
    Run({"p.html"});
    EXPECT_EQ(PageNames(), std::vector<std::string>{"p.html"});
    EXPECT_EQ(lines, std::vector<std::string>{NotFound("r.html", "p.html")});
}

TEST_F(MeasureRun, LinksOutOfTheRootFolderAreSkippedWhenAsked) {
    EnvSettings.FollowOtherFolders = false;
    t.Write("site/a.html", "<A HREF=../other/b.html></A><A HREF=sub/c.html></A>");
    t.Write("other/b.html", "b");
    t.Write("site/sub/c.html", "c");
    Run({"site/a.html"});
    EXPECT_EQ(PageNames(), (std::vector<std::string>{"site/a.html", "site/sub/c.html"}));
    EXPECT_EQ(lines, std::vector<std::string>{SJ("別フォルダなのでスキップします") + ": " + P("other/b.html") + " at " +
                                              P("site/a.html")});
    // The root is the input's own folder: a folder beside it whose name
    // merely starts the same is outside.
    lines.clear();
    t.Write("site2/x.html", "x");
    t.Write("site/d.html", "<A HREF=../site2/x.html></A>");
    Run({"site/d.html"});
    EXPECT_EQ(PageNames(), std::vector<std::string>{"site/d.html"});
    EXPECT_EQ(lines.size(), 1u);
}

TEST_F(MeasureRun, OutsideUrlsAreListedOnceWithoutFragment) {
    t.Write("p.html",
            "<A HREF=\"http://www.example.com/#contact\">1</A><A HREF=\"HTTP://WWW.EXAMPLE.COM/\">2</A>"
            "<A HREF=\"https://example.org/g.html#i\">3</A><A HREF=\"ftp://f.example.net/\">4</A>"
            "<A HREF=\"mailto:x@example.com\">5</A><A HREF=\"http://x.example/a.CGI?q=1\">6</A>"
            "<A HREF=\"local.Cgi?x\">7</A><A HREF=\"http://www.example.com/\">8</A>");
    Run({"p.html"});
    EXPECT_EQ(
        Page("p.html")->URLList,
        (std::vector<std::string>{"http://www.example.com/", "https://example.org/g.html", "ftp://f.example.net/"}));
    EXPECT_TRUE(lines.empty());
}

TEST_F(MeasureRun, OutsideUrlsLoseTabsAndLineBreaksAsABrowserDrops) {
    // Recorded addresses end up as lines of the item file and the reports.
    t.Write("p.html",
            "<A HREF=\"http://one.example/a\r\n<COMMENT>injected\">1</A>"
            "<A HREF=\"http://one.example/a<COMMENT>inj\tected\">2</A>"
            "<A HREF=\"ftp://two.example/\n\rx\t#frag\nmore\">4</A>");
    Run({"p.html"});
    EXPECT_EQ(Page("p.html")->URLList,
              (std::vector<std::string>{"http://one.example/a<COMMENT>injected", "ftp://two.example/x"}));
}

TEST_F(MeasureRun, FileAddressLinksAreTestedAndListedAsExpandedPaths) {
    EnvSettings.FollowOtherFolders = false;
    ASSERT_EQ(std::erase(EnvSettings.HrefSkipPrefixes, "file:"), 1u);
    t.Write("site/c.gif", "ccc");
    t.Write("site/b.html", "b");
    const std::string url = "file://" + P("site");
    t.Write("site/a.html", "<A HREF=\"" + url + "/b.html\"></A><A HREF=\"" + url + "/x/../none.html\"></A>" +
                               "<IMG SRC=\"" + url + "/none.gif\"><IMG SRC=\"" + url + "//c.gif\">");
    Run({"site/a.html"});
    EXPECT_EQ(PageNames(), (std::vector<std::string>{"site/a.html", "site/b.html"}));
    const std::string local = SJ("ローカルファイルが指定されています") + ": " + url;
    const std::string at = " at " + P("site/a.html");
    EXPECT_EQ(lines, (std::vector<std::string>{local + "/b.html" + at, local + "/x/../none.html" + at,
                                               NotFound("site/none.html", "site/a.html"), local + "/none.gif" + at,
                                               NotFound("site/none.gif", "site/a.html"), local + "//c.gif" + at}));
    const THTMLFileInfo* a = Page("site/a.html");
    EXPECT_EQ(a->NotFoundList, (std::vector<std::string>{P("site/none.html"), P("site/none.gif")}));
    ASSERT_EQ(a->Items.Count(), 2);
    EXPECT_EQ(a->Items[1]->FileName, P("site/c.gif"));
}

// A page keeps what it met before waiting for the pages it links to: more
// than a handful of resource and URL keys (past the small-set size), and
// the references after the links, title included.
TEST_F(MeasureRun, APageWaitingForLinkedPagesKeepsItsKeysAndRemainingReferences) {
    std::string first, second;
    int64_t sizes = 0;
    for (int i = 0; i < 20; ++i) {
        const std::string n = std::to_string(i);
        t.Write("i" + n + ".gif", std::string(static_cast<size_t>(i + 1), 'x'));
        sizes += i + 1;
        first += "<IMG SRC=i" + n + ".gif><A HREF=\"http://h" + n + ".example/\">";
        second += "<EMBED SRC=./i" + n + ".gif><A HREF=\"HTTP://H" + n + ".EXAMPLE/#f\">";
    }
    t.Write("a.html", "<IMG SRC=i0.gif><A HREF=b.html>");
    t.Write("b.html", "<A HREF=p.html><IMG SRC=i1.gif>");
    const std::string page = "<HTML>" + first + "<A HREF=a.html><TITLE><B>late</B></TITLE>" + second +
                             "<IMG SRC=none.gif><META HTTP-EQUIV=refresh CONTENT=\"1;URL=c.html\">";
    t.Write("p.html", page);
    t.Write("c.html", "");
    Run({"p.html"});
    EXPECT_EQ(PageNames(), (std::vector<std::string>{"p.html", "a.html", "b.html", "c.html"}));
    const THTMLFileInfo* p = Page("p.html");
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->Items.Count(), 21);
    EXPECT_EQ(p->TotalSize, static_cast<int64_t>(page.size()) + sizes);
    ASSERT_EQ(p->URLList.size(), 20u);
    EXPECT_EQ(p->URLList[19], "http://h19.example/");
    EXPECT_EQ(p->Title, "late");
    EXPECT_EQ(lines, std::vector<std::string>{NotFound("none.gif", "p.html")});
    EXPECT_EQ(Page("a.html")->Items.Count(), 2);
}

TEST_F(MeasureRun, MetaRefreshIsFollowedLikeALink) {
    t.Write("p.html", "<META HTTP-EQUIV=\"Refresh\" CONTENT=\"0; url=next.html\"><META HTTP-EQUIV=x CONTENT=y>");
    t.Write("next.html", "<meta http-equiv=REFRESH content=\"5;URL=gone.html\">");
    Run({"p.html"});
    EXPECT_EQ(PageNames(), (std::vector<std::string>{"p.html", "next.html"}));
    EXPECT_EQ(lines, std::vector<std::string>{NotFound("gone.html", "next.html")});
}

TEST_F(MeasureRun, EscapedReferencesAreDecodedButUrlsAndCgiTestsSeeTheRawText) {
    t.Write("a b.gif", "123");
    t.Write("p.html", "<IMG SRC=\"a%20b.gif\"><IMG SRC=\"a&#32;b.gif\"><A HREF=\"x%2Ecgi?1.html\">");
    Run({"p.html"});
    const THTMLFileInfo* p = Page("p.html");
    ASSERT_EQ(p->Items.Count(), 2);
    EXPECT_EQ(p->Items[1]->FileName, P("a b.gif"));
    // "%2E" hides ".cgi?" from the raw test, so the decoded name is checked.
    EXPECT_EQ(lines, std::vector<std::string>{NotFound("x.cgi?1.html", "p.html")});
}

// --- titles and encodings -------------------------------------------------------

TEST_F(MeasureRun, TitleIsTheFirstTextAfterTheTitleTag) {
    t.Write("a.html", "<title><B>\tHello\x01world</B></TITLE><TITLE>second</TITLE>");
    t.Write("b.html", "<TITLE >not</TITLE> text");
    t.Write("c.html", "<TITLE>");
    Run({"a.html", "b.html", "c.html"});
    EXPECT_EQ(Page("a.html")->Title, " Hello world");
    EXPECT_EQ(Page("b.html")->Title, "");
    EXPECT_EQ(Page("c.html")->Title, "");
}

TEST_F(MeasureRun, PagesAreReadInTheirEncoding) {
    // "表" in EUC (C9 BD) and JIS (ESC $ B 49 3D ESC ( B).
    t.Write("euc.html", "<TITLE>\xC9\xBD</TITLE>");
    t.Write("jis.html", "<TITLE>\x1B$BI=\x1B(B</TITLE>");
    t.Write("sjis.html", "<TITLE>\x95\x5C</TITLE>");
    Run({"euc.html", "jis.html", "sjis.html"});
    EXPECT_EQ(Page("euc.html")->KanjiCode, Euc);
    EXPECT_EQ(Page("jis.html")->KanjiCode, Jis);
    EXPECT_EQ(Page("sjis.html")->KanjiCode, Sjis);
    for (const THTMLFileInfo* p : FileList) EXPECT_EQ(p->Title, "\x95\x5C") << p->FileName;
    // A fixed encoding is taken as given.
    EnvSettings.DocumentEncoding = Sjis;
    Run({"euc.html"});
    EXPECT_EQ(FileList[0]->KanjiCode, Sjis);
    EXPECT_EQ(FileList[0]->Title, "\xC9\xBD");
}

// --- odd page files ------------------------------------------------------------

TEST_F(MeasureRun, EmptyPageIsARecordWithoutScan) {
    t.Write("empty.html", "");
    Run({"empty.html"});
    ASSERT_EQ(FileList.Count(), 1);
    const THTMLFileInfo* p = FileList[0];
    EXPECT_EQ(p->HTMLSize, 0);
    EXPECT_EQ(p->TotalSize, 0);
    EXPECT_EQ(p->Items.Count(), 1);
    EXPECT_EQ(p->KanjiCode, 0);
    EXPECT_TRUE(lines.empty());
}

TEST_F(MeasureRun, PagesThatCannotBeOpenedGiveAProblemAndNoRecord) {
    ASSERT_EQ(::mkfifo((t / "fifo.html").c_str(), 0644), 0);
    t.MakeDir("dir.html");
    t.Write("p.html", "<A HREF=fifo.html></A>");
    Run({"p.html"});
    EXPECT_EQ(PageNames(), std::vector<std::string>{"p.html"});
    const std::string msg = SJ("ファイルを開けません") + ": ";
    EXPECT_EQ(lines, (std::vector<std::string>{msg + P("fifo.html")}));
    ASSERT_EQ(ErrorLog.Count(), 1);
    EXPECT_EQ(ErrorLog[0]->FileName, "");
    EXPECT_EQ(ErrorLog[0]->LinkName, P("fifo.html"));

    // The same for a folder handed over as a page.
    lines.clear();
    FileList.Clear();
    MeasureFile(P(""), P("dir.html"), stop, {}, [this](const std::string& s) { lines.push_back(s); });
    EXPECT_EQ(lines, std::vector<std::string>{msg + P("dir.html")});
    EXPECT_EQ(FileList.Count(), 0);
}

TEST_F(MeasureRun, DanglingSymlinksAreMissingAtThePageThatNamesThem) {
    ASSERT_EQ(::symlink("nowhere.html", (t / "dangling.html").c_str()), 0);
    ASSERT_EQ(::symlink("nowhere.gif", (t / "gone.gif").c_str()), 0);
    t.Write("p.html", "<A HREF=dangling.html></A><IMG SRC=gone.gif><IMG SRC=gon?.gif>");
    // Only the folder search itself meets the link as a page of its own.
    Run({""});
    EXPECT_EQ(PageNames(), std::vector<std::string>{"p.html"});
    EXPECT_EQ(lines, (std::vector<std::string>{SJ("ファイルを開けません") + ": " + P("dangling.html"),
                                               NotFound("dangling.html", "p.html"), NotFound("gone.gif", "p.html"),
                                               NotFound("gon?.gif", "p.html")}));
    const THTMLFileInfo* p = Page("p.html");
    EXPECT_EQ(p->NotFoundList, (std::vector<std::string>{P("dangling.html"), P("gone.gif"), P("gon?.gif")}));
    EXPECT_EQ(p->Items.Count(), 1);
}

TEST_F(MeasureRun, BinaryGarbageIsMeasuredWithoutHarm) {
    std::string bytes;
    uint32_t x = 12345;
    for (int i = 0; i < 200000; ++i) {
        x = x * 1103515245u + 12345u;
        bytes += static_cast<char>(x >> 24);
    }
    // Unterminated tags, quotes and escapes at the very end.
    bytes += "<IMG SRC=\"\x1B$B";
    t.Write("junk.html", bytes);
    Run({"junk.html"});
    ASSERT_EQ(FileList.Count(), 1);
    EXPECT_EQ(FileList[0]->HTMLSize, static_cast<int64_t>(bytes.size()));
    EXPECT_GE(FileList[0]->TotalSize, FileList[0]->HTMLSize);
}

TEST_F(MeasureRun, FileDateIsThePackedLocalTimeOfTheFile) {
    std::string path = t.Write("p.html", "x");
    struct tm lt {};
    lt.tm_year = 2001 - 1900;
    lt.tm_mon = 2;
    lt.tm_mday = 4;
    lt.tm_hour = 13;
    lt.tm_min = 5;
    lt.tm_sec = 9;
    lt.tm_isdst = -1;
    time_t when = mktime(&lt);
    struct timespec ts[2] = {{when, 0}, {when, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), ts, 0), 0);
    Run({"p.html"});
    uint32_t expected = ((2001u - 1980u) << 25) | (3u << 21) | (4u << 16) | (13u << 11) | (5u << 5) | 4u;
    EXPECT_EQ(FileList[0]->FileDate, expected);
}

TEST_F(MeasureRun, ReadErrorAfterOpeningEndsTheRunKeepingTheResults) {
    // A pseudo-file that claims more bytes than it gives.
    std::string pseudo;
    for (const char* c : {"/sys/kernel/profiling", "/sys/kernel/uevent_seqnum", "/sys/kernel/fscaps"}) {
        struct stat st;
        if (::stat(c, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 64 &&
            ReadNative(c).size() < static_cast<size_t>(st.st_size)) {
            pseudo = c;
            break;
        }
    }
    if (pseudo.empty()) GTEST_SKIP() << "no short-reading pseudo-file here";
    t.Write("first.html", "<IMG SRC=missing.gif>");
    InputList = {P("first.html"), pseudo, P("never.html")};
    t.Write("never.html", "n");
    try {
        MeasureAll(stop, {}, {}, {});
        FAIL() << "no exception";
    } catch (const EReadError& e) {
        EXPECT_EQ(e.FileName(), pseudo);
        std::string what = e.what();
        EXPECT_EQ(what.rfind(SJ("ファイルを読めません") + ": " + pseudo, 0), 0u) << what;
    }
    ASSERT_EQ(FileList.Count(), 2);
    EXPECT_EQ(FileList[0]->FileName, P("first.html"));
    EXPECT_EQ(FileList[1]->FileName, pseudo);
    EXPECT_EQ(ErrorLog.Count(), 1);
}

// --- folder search -------------------------------------------------------------

TEST_F(MeasureRun, FolderSearchTakesHtmlFilesInNameOrderDepthFirst) {
    t.Write("b.htm", "");
    t.Write("A.HTML", "");
    t.Write("note.txt", "");
    t.Write("noext", "");
    t.Write("m/z.html", "");
    t.Write("m/n/y.htm", "");
    t.Write("zz.html", "");
    Run({""});
    EXPECT_EQ(PageNames(), (std::vector<std::string>{"A.HTML", "b.htm", "m/n/y.htm", "m/z.html", "zz.html"}));
    EXPECT_EQ(folders, (std::vector<std::string>{P(""), P("m"), P("m/n")}));
    // A file given as input is measured whatever its extension.
    Run({"note.txt"});
    EXPECT_EQ(PageNames(), std::vector<std::string>{"note.txt"});
}

// Files the search found that links reached first, given twice, or named
// with "." segments are each measured once, in the order of first reach.
TEST_F(MeasureRun, SearchedFilesReachedBeforeAreNotMeasuredAgain) {
    t.Write("s/a.html", "<A HREF=c.html><A HREF=gone.html>");
    t.Write("s/b.html", "<IMG SRC=none.gif>");
    t.Write("s/c.html", "");
    Run({"s/c.html", "s", "s/./b.html", "s/a.html"});
    EXPECT_EQ(PageNames(), (std::vector<std::string>{"s/c.html", "s/a.html", "s/b.html"}));
    EXPECT_EQ(files, (std::vector<std::string>{P("s/c.html"), P("s/a.html"), P("s/b.html")}));
    EXPECT_EQ(lines,
              (std::vector<std::string>{NotFound("s/gone.html", "s/a.html"), NotFound("s/none.gif", "s/b.html")}));
}

// The folder search's listing stands in for the stats of the names it
// lists: a page measured through its folder finds the same parts, missing
// files and links as the page given alone.
TEST_F(MeasureRun, ListedNamesAreWeighedAsTheirOwnStatWouldWeighThem) {
    t.Write("s/a.gif", "12345");
    t.Write("s/sub/x.txt", "");
    ASSERT_EQ(::symlink("nowhere.gif", (t / "s/dangling.gif").c_str()), 0);
    ASSERT_EQ(::mkfifo((t / "s/fifo.gif").c_str(), 0644), 0);
    ASSERT_EQ(::symlink("sub", (t / "s/link").c_str()), 0);
    t.Write("s/p.html",
            "<IMG SRC=a.gif><IMG SRC=dangling.gif><IMG SRC=fifo.gif><IMG SRC=sub><IMG SRC=link><IMG SRC=none.gif>"
            "<A HREF=sub><A HREF=z-link.html><A HREF=q.html>");
    t.Write("s/q.html", "<IMG SRC=sub/x.txt>");
    ASSERT_EQ(::symlink("q.html", (t / "s/z-link.html").c_str()), 0);
    auto result = [] {
        std::vector<std::string> r;
        for (const THTMLFileInfo* p : FileList) {
            r.push_back(p->FileName + " " + std::to_string(p->TotalSize));
            for (const THTMLFileInfo* part : p->Items)
                r.push_back(part->FileName + " " + std::to_string(part->TotalSize));
            for (const std::string& m : p->NotFoundList) r.push_back("missing " + m);
        }
        return r;
    };
    Run({"s/p.html"});
    const std::vector<std::string> alone = result(), aloneLines = lines;
    lines.clear();
    Run({"s"});
    EXPECT_EQ(result(), alone);
    EXPECT_EQ(lines, aloneLines);
    EXPECT_EQ(PageNames(), (std::vector<std::string>{"s/p.html", "s/z-link.html", "s/q.html"}));
}

TEST_F(MeasureRun, SymlinkedFolderLoopsAreSearchedOnce) {
    t.Write("a/p.html", "");
    t.Write("a/b/q.html", "");
    ASSERT_EQ(::symlink("..", (t / "a/b/up").c_str()), 0);
    ASSERT_EQ(::symlink("b", (t / "a/same").c_str()), 0);
    Run({"a"});
    EXPECT_EQ(SearchList, (std::vector<std::string>{P("a/b/q.html"), P("a/p.html")}));
}

TEST_F(MeasureRun, NamesWithoutShiftJisFormAreReportedNotMeasured) {
    const std::string smile = "\xF0\x9F\x98\x80";  // U+1F600 in UTF-8
    t.Write(smile + ".html", "x");
    t.Write(smile + "/in.html", "x");
    t.Write(smile + ".gif", "not a page: no problem");
    t.Write("ok.html", "x");
    Run({""});
    EXPECT_EQ(PageNames(), std::vector<std::string>{"ok.html"});
    const std::string msg = SJ("ファイル名を Shift-JIS で表せません") + ": ";
    EXPECT_EQ(lines, (std::vector<std::string>{msg + P("<U+1F600>"), msg + P("<U+1F600>.html")}));
    EXPECT_EQ(ErrorLog.Count(), 2);
}

// --- stopping ------------------------------------------------------------------

TEST_F(MeasureRun, StopDuringTheFolderSearchMeasuresNothing) {
    t.Write("a/p.html", "");
    t.Write("b/q.html", "");
    onFolder = [this](const std::string& s) {
        if (s == P("a")) stop = true;
    };
    Run({"", "b"});
    EXPECT_EQ(FileList.Count(), 0);
    EXPECT_TRUE(files.empty());
    // Each further folder ends right after its sink call.
    EXPECT_EQ(folders, (std::vector<std::string>{P(""), P("a"), P("b")}));
}

TEST_F(MeasureRun, StopNoticedByTheScanLoopGivesOneLineForThatPageOnly) {
    t.Write("a.html", "<A HREF=b.html></A><IMG SRC=late.gif>");
    t.Write("b.html", "first text<IMG SRC=never.gif>");
    t.Write("c.html", "");
    onFile = [this](const std::string& s) {
        if (s == P("b.html")) stop = true;
    };
    Run({"a.html", "c.html"});
    EXPECT_EQ(PageNames(), (std::vector<std::string>{"a.html", "b.html"}));
    EXPECT_EQ(lines, std::vector<std::string>{SJ("警告(") + P("b.html") + SJ("): 計測は中断されました。")});
    EXPECT_EQ(ErrorLog.Count(), 0);
}

TEST_F(MeasureRun, AStoppedPageStillProcessesItsFirstToken) {
    t.Write("a.html", "<A HREF=b.html></A><IMG SRC=late.gif>");
    t.Write("b.html", "<IMG SRC=first.gif><IMG SRC=second.gif>");
    onFile = [this](const std::string& s) {
        if (s == P("b.html")) stop = true;
    };
    Run({"a.html"});
    // The problem ends the page at once: no interruption line.
    EXPECT_EQ(lines, std::vector<std::string>{NotFound("first.gif", "b.html")});
}

TEST_F(MeasureRun, AStoppedPageDoesNotStartTheLinkOfItsFirstToken) {
    // Every page begins with a link: after Break no further page is begun.
    t.Write("a.html", "<A HREF=b.html></A>");
    t.Write("b.html", "<A HREF=c.html></A>");
    t.Write("c.html", "<A HREF=d.html></A>");
    t.Write("d.html", "x");
    onFile = [this](const std::string& s) {
        if (s == P("b.html")) stop = true;
    };
    Run({"a.html"});
    EXPECT_EQ(PageNames(), (std::vector<std::string>{"a.html", "b.html"}));
    EXPECT_EQ(files.size(), 2u);
    // The stopped page still says it was interrupted, once; the pages above
    // it say nothing.
    EXPECT_EQ(lines, std::vector<std::string>{SJ("警告(") + P("b.html") + SJ("): 計測は中断されました。")});
}

TEST_F(MeasureRun, EmptyXmpContentDoesNotEndThePage) {
    t.Write("x.gif", "12345");
    t.Write("a.html", "<XMP></XMP><IMG SRC=x.gif>");
    Run({"a.html"});
    ASSERT_EQ(FileList.Count(), 1);
    EXPECT_EQ(FileList[0]->Items.Count(), 2);
    EXPECT_EQ(FileList[0]->TotalSize, 26 + 5);
}

TEST_F(MeasureRun, StopRightAfterAProblemEndsTheRunWithoutInterruptionLine) {
    t.Write("a.html", "<A HREF=b.html></A><IMG SRC=a1.gif>");
    t.Write("b.html", "<IMG SRC=b1.gif><IMG SRC=b2.gif>");
    t.Write("c.html", "<IMG SRC=c1.gif>");
    onWarn = [this](const std::string&) { stop = true; };
    Run({"a.html", "c.html"});
    EXPECT_EQ(lines, std::vector<std::string>{NotFound("b1.gif", "b.html")});
    EXPECT_EQ(PageNames(), (std::vector<std::string>{"a.html", "b.html"}));
}

// --- the warning cap ------------------------------------------------------------

TEST_F(MeasureRun, WarningCapReplacesTheLineOverTheLimitAndDropsTheRest) {
    EnvSettings.ErrorLogMax = 3;
    t.Write("p.html", "<IMG SRC=1.gif><IMG SRC=2.gif><IMG SRC=3.gif><IMG SRC=4.gif><IMG SRC=5.gif>");
    std::vector<std::string> shown;
    TWarningCap cap([&](const std::string& s) { shown.push_back(s); });
    onWarn = [&](const std::string& s) { cap.Report(s); };
    Run({"p.html"});
    ASSERT_EQ(shown.size(), 4u);
    EXPECT_EQ(shown[2], NotFound("3.gif", "p.html"));
    EXPECT_EQ(shown[3], SJ("警告数が多いため、これ以上の警告出力を中止します！"));
    EXPECT_EQ(cap.Count(), 4);
    EXPECT_TRUE(cap.Stopped());
    // The records are all kept.
    EXPECT_EQ(ErrorLog.Count(), 5);
}

TEST(WarningCap, LimitsAndReset) {
    EnvSettings = TEnvSettings{};
    std::vector<std::string> shown;
    TWarningCap cap([&](const std::string& s) { shown.push_back(s); });
    EnvSettings.ErrorLogMax = 1;
    for (const char* l : {"a", "b", "c"}) cap.Report(l);
    EXPECT_EQ(shown, (std::vector<std::string>{"a", TWarningCap::Notice()}));
    EXPECT_EQ(cap.Count(), 2);

    // Without the limit every line is shown and counted.
    shown.clear();
    cap.Reset();
    EnvSettings.ErrorLogLimit = false;
    for (int i = 0; i < 150; ++i) cap.Report("x");
    EXPECT_EQ(shown.size(), 150u);
    EXPECT_EQ(cap.Count(), 150);
    EXPECT_FALSE(cap.Stopped());

    // A stop from outside drops the rest without a notice.
    shown.clear();
    cap.Stop();
    cap.Report("late");
    EXPECT_TRUE(shown.empty());
    EnvSettings = TEnvSettings{};
}

// --- long link chains ----------------------------------------------------------

// Runs fn on a thread with a 256 KiB stack and waits for it.
void RunOnSmallStack(const std::function<void()>& fn) {
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, 256 * 1024);
    pthread_t th;
    auto body = [](void* arg) -> void* {
        (*static_cast<const std::function<void()>*>(arg))();
        return nullptr;
    };
    ASSERT_EQ(pthread_create(&th, &attr, body, const_cast<std::function<void()>*>(&fn)), 0);
    pthread_join(th, nullptr);
    pthread_attr_destroy(&attr);
}

class LinkChain : public MeasureRun {
protected:
    static constexpr int kDeep = 20000;
    static std::string Name(int i) {
        char name[32];
        std::snprintf(name, sizeof name, "p%06d.html", i);
        return name;
    }
    void MakeChain(int kPages) {
        for (int i = 0; i < kPages; ++i) {
            std::string text = "<HTML>";
            if (i + 1 < kPages) text += "<A HREF=" + Name(i + 1) + ">";
            text += "<IMG SRC=m.gif>";
            t.Write(Name(i), text);
        }
    }
};

TEST_F(LinkChain, DeepLinkChainMeasuresInRecursiveOrderOnASmallStack) {
    const int kPages = kDeep;
    MakeChain(kPages);
    // On a small stack, so that any depth-proportional native recursion
    // would overflow long before the end of the chain.
    RunOnSmallStack([&] { Run({Name(0)}); });
    ASSERT_EQ(FileList.Count(), kPages);
    for (int i = 0; i < kPages; i += 9973) EXPECT_EQ(FileList[i]->FileName, P(Name(i)));
    // Each page reports its missing image after the pages it links to.
    ASSERT_EQ(ErrorLog.Count(), kPages);
    EXPECT_EQ(ErrorLog[0]->FileName, P(Name(kPages - 1)));
    EXPECT_EQ(ErrorLog[kPages - 1]->FileName, P(Name(0)));
    EXPECT_EQ(lines[1], NotFound("m.gif", Name(kPages - 2)));
}

TEST_F(LinkChain, StopDeepInTheChainUnwindsSilently) {
    MakeChain(3000);
    onFile = [this](const std::string& s) {
        if (s == P(Name(2000))) stop = true;
    };
    Run({Name(0)});
    EXPECT_EQ(FileList.Count(), 2001);
    EXPECT_EQ(lines, std::vector<std::string>{SJ("警告(") + P(Name(2000)) + SJ("): 計測は中断されました。")});
}

}  // namespace
