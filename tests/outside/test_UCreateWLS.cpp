#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <deque>
#include <string>
#include <thread>
#include <vector>

#include "engine/UHTMLList.h"
#include "outside/UCreateWLS.h"
#include "outside/URunEnd.h"
#include "outside/YKWLSLib.h"
#include "platform/Dialogs.h"
#include "platform/Encoding.h"
#include "platform/FileSystem.h"
#include "platform/FrontEnd.h"
#include "platform/Process.h"
#include "settings/Uenviron.h"
#include "support/TempDir.h"

namespace {

using Strings = std::vector<std::string>;

std::string Sj(const char* utf8) { return platform::Utf8ToCp932Literal(utf8); }

// The lines of a new item for an address, CR LF ended.
std::string NewItemText(const std::string& a) {
    return "<NAME>" + a + "\r\n<URL>" + a + "\r\n<OPTION>\r\n<TIME>no date\r\n<SIZE>no size\r\n<COMMENT>\r\n";
}

// ---------------------------------------------------------------------------
// Reading and writing items

TEST(WlsReader, IsLenient) {
    // LF and CR LF mixed, blank lines, URL before NAME, no TIME, a last line
    // without a line end.
    std::vector<TWlsItem> items = ReadWlsItems(
        "<URL>http://x/\n\n<NAME>X\r\n<OPTION>o\r\n<SIZE>12\n<COMMENT>c\n"
        "plain name\n<url>lower\n<NAME>third\n<TIME>t");
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(WriteWlsItems({items[0]}),
              "<NAME>X\r\n<URL>http://x/\r\n<OPTION>o\r\n<TIME>\r\n<SIZE>12\r\n<COMMENT>c\r\n");
    // A line without a tag is a name line; tags are case-sensitive, so
    // "<url>" is one too and, the name being taken, starts the next item.
    EXPECT_EQ(items[1][wfName], "<NAME>plain name");
    EXPECT_EQ(items[1][wfURL], "<URL>");
    EXPECT_EQ(items[2][wfName], "<NAME><url>lower");
    EXPECT_EQ(items[2][wfTime], "<TIME>");
    EXPECT_TRUE(ReadWlsItems("\r\n\n\r\n").empty());
    EXPECT_EQ(WriteWlsItems({items[3]}), "<NAME>third\r\n<URL>\r\n<OPTION>\r\n<TIME>t\r\n<SIZE>\r\n<COMMENT>\r\n");
}

TEST(WlsReader, RepeatedFieldStartsTheNextItem) {
    std::vector<TWlsItem> items = ReadWlsItems("<URL>a\n<URL>b\n<COMMENT>c\n<NAME>n\n<COMMENT>d\n");
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0][wfURL], "<URL>a");
    EXPECT_EQ(items[0][wfName], "<NAME>");
    EXPECT_EQ(items[1][wfURL], "<URL>b");
    EXPECT_EQ(items[1][wfComment], "<COMMENT>c");
    EXPECT_EQ(items[1][wfName], "<NAME>n");
    EXPECT_EQ(items[2][wfComment], "<COMMENT>d");
    EXPECT_EQ(items[2][wfURL], "<URL>");
}

TEST(WlsReader, BytesPassThroughUnchanged) {
    // Shift-JIS and a NUL byte are text of the line.
    const std::string name = "<NAME>" + Sj("表示ポ") + "a" + std::string(1, '\0') + "b";
    std::vector<TWlsItem> items = ReadWlsItems(name + "\r\n<URL>u\r\n");
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0][wfName], name);
    EXPECT_EQ(ReadWlsItems(WriteWlsItems(items)), items);
}

TEST(WlsWriter, NoFieldCanBreakItsLine) {
    // An address holding line breaks must still give six lines.
    TWlsItem item = NewWlsItem("http://one.example/a\r\n<COMMENT>injected\rx\ny");
    EXPECT_EQ(WriteWlsItems({item}), NewItemText("http://one.example/a<COMMENT>injectedxy"));
}

// ---------------------------------------------------------------------------
// Updating the item file

class UpdateWls : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = EnvSettings;
        FileList.Clear();
        EnvSettings.WlsKeepInfo = false;
        EnvSettings.WlsRemoveURL = false;
        EnvSettings.WwwcRunningCheck = true;
        platform::FrontEnd().wwwcRunning = [this] {
            ++checks_;
            if (running_.empty()) return false;
            bool r = running_.front();
            running_.pop_front();
            return r;
        };
        platform::FrontEnd().messageBox = [this](const platform::TMessageRequest& r) {
            boxes_.push_back(r);
            if (answers_.empty()) return r.defaultButton;
            platform::TMsgResult a = answers_.front();
            answers_.pop_front();
            return a;
        };
        path_ = *platform::FromNative(dir_ / "items.wls");
    }
    void TearDown() override {
        FileList.Clear();
        EnvSettings = saved_;
    }

    static void AddPage(const std::string& name, const Strings& urls) {
        auto* page = new THTMLFileInfo;
        page->FileName = name;
        page->URLList = urls;
        FileList.Add(page);
    }

    std::string FileText() const { return ReadNative(dir_ / "items.wls"); }

    // Names in the folder besides the item file: no intermediate may stay.
    Strings Leftovers() const {
        std::vector<platform::DirEntry> entries;
        platform::ListDirectory(*platform::FromNative(dir_.path()), entries);
        Strings names;
        for (const auto& e : entries)
            if (e.name != "items.wls") names.push_back(e.name);
        return names;
    }

    // Updates the item file; a failure is kept for Texts(), and a failure
    // must be the only way a box-worthy message comes out.
    TWlsOutcome Update(const std::string& path) {
        const TWlsResult r = UpdateWlsFile(path);
        if (r.Outcome == TWlsOutcome::Failed) {
            EXPECT_EQ(r.Kind, platform::TMsgKind::Error);
            EXPECT_FALSE(r.Message.empty());
            failures_.push_back(r.Message);
        } else {
            EXPECT_TRUE(r.Message.empty());
        }
        return r.Outcome;
    }

    platform::TFrontEndScope frontEnd_;
    const Strings& Texts() const { return failures_; }

    TEnvSettings saved_;
    TempDir dir_;
    std::string path_;
    std::deque<bool> running_;
    int checks_ = 0;
    std::vector<platform::TMessageRequest> boxes_;
    std::deque<platform::TMsgResult> answers_;
    Strings failures_;
};

const std::string kPrefix = "WWWC アイテム情報ファイル(*.WLS) ";

TEST_F(UpdateWls, FragmentsDroppedCaseKept) {
    AddPage("/srv/a.htm", {"http://a.example/p#top", "http://A.example/p", "ftp://f.example/"});
    AddPage("/srv/b.htm", {"http://a.example/p", "http://a.example/q#x#y"});
    dir_.Write("items.wls", NewItemText("http://old.example/"));
    EXPECT_EQ(Update(path_), TWlsOutcome::Written);
    EXPECT_TRUE(boxes_.empty() && Texts().empty());
    EXPECT_EQ(FileText(), NewItemText("http://a.example/p") + NewItemText("http://A.example/p") +
                              NewItemText("ftp://f.example/") + NewItemText("http://a.example/q"));
    EXPECT_TRUE(Leftovers().empty());
    EXPECT_EQ(CollectWlsAddresses().size(), 4u);
}

TEST_F(UpdateWls, NoLinksWithoutKeepingGivesAnEmptyFile) {
    AddPage("/srv/a.htm", {});
    dir_.Write("items.wls", NewItemText("http://old.example/"));
    Update(path_);
    EXPECT_EQ(FileText(), "");
    EXPECT_TRUE(platform::FileExists(path_));
}

TEST_F(UpdateWls, KeepingOldItems) {
    AddPage("/srv/a.htm", {"http://new.example/", "http://keep.example/", "HTTP://KEEP.example/"});
    const std::string old =
        "<URL>http://gone.example/\r\n<NAME>Gone\r\n<OPTION>x\r\n<SIZE>5\r\n<COMMENT>\r\n"
        "just a name\n"
        "<NAME>Kept\n<URL>http://keep.example/\n<OPTION>\n<TIME>t\n<SIZE>s\n<COMMENT>c\n";
    const std::string goneBack =
        "<NAME>Gone\r\n<URL>http://gone.example/\r\n<OPTION>x\r\n<TIME>\r\n<SIZE>5\r\n<COMMENT>\r\n";
    const std::string nameOnly = "<NAME>just a name\r\n<URL>\r\n<OPTION>\r\n<TIME>\r\n<SIZE>\r\n<COMMENT>\r\n";
    const std::string kept =
        "<NAME>Kept\r\n<URL>http://keep.example/\r\n<OPTION>\r\n<TIME>t\r\n<SIZE>s\r\n<COMMENT>c\r\n";
    EnvSettings.WlsKeepInfo = true;

    // Every old item, in order, then the addresses not yet there.
    dir_.Write("items.wls", old);
    Update(path_);
    EXPECT_EQ(FileText(),
              goneBack + nameOnly + kept + NewItemText("http://new.example/") + NewItemText("HTTP://KEEP.example/"));

    // Only old items whose URL line matches an address exactly.
    EnvSettings.WlsRemoveURL = true;
    dir_.Write("items.wls", old);
    Update(path_);
    EXPECT_EQ(FileText(), kept + NewItemText("http://new.example/") + NewItemText("HTTP://KEEP.example/"));

    // Removing without keeping changes nothing: the old file is not read.
    EnvSettings.WlsKeepInfo = false;
    dir_.Write("items.wls", old);
    Update(path_);
    EXPECT_EQ(FileText(), NewItemText("http://new.example/") + NewItemText("http://keep.example/") +
                              NewItemText("HTTP://KEEP.example/"));
    EXPECT_TRUE(boxes_.empty() && Texts().empty());
    EXPECT_TRUE(Leftovers().empty());
}

TEST_F(UpdateWls, EveryLineEndOfAnOldFileIsOne) {
    // Saved by editors of every kind; the last line ends in its line end.
    const Strings items = {NewItemText("http://a.example/"), NewItemText("http://b.example/")};
    for (const char* end : {"\r\n", "\n", "\r"}) {
        std::string old;
        for (const std::string& item : items) {
            for (size_t pos = 0; pos < item.size();) {
                const size_t cr = item.find("\r\n", pos);
                old += item.substr(pos, cr - pos) + end;
                pos = cr + 2;
            }
        }
        dir_.Write("items.wls", old);
        EnvSettings.WlsKeepInfo = true;
        FileList.Clear();
        // A stray CR in an address is no reason for a second item either.
        AddPage("/srv/a.htm", {"http://b.example/\r", "http://c.example/"});
        Update(path_);
        EXPECT_EQ(FileText(), items[0] + items[1] + NewItemText("http://c.example/")) << "line end "
                                                                                      << (end[0] == '\n' ? "LF"
                                                                                          : end[1]       ? "CR LF"
                                                                                                         : "CR");
    }
    EXPECT_TRUE(boxes_.empty() && Texts().empty());
}

TEST_F(UpdateWls, KeepingWithoutAnOldFileWritesTheNewItems) {
    EnvSettings.WlsKeepInfo = true;
    AddPage("/srv/a.htm", {"http://a.example/"});
    Update(path_);
    EXPECT_EQ(FileText(), NewItemText("http://a.example/"));
}

TEST_F(UpdateWls, KeepsTheFileMode) {
    const std::string native = dir_.Write("items.wls", "");
    ::chmod(native.c_str(), 0640);
    AddPage("/srv/a.htm", {"http://a.example/"});
    Update(path_);
    struct stat st;
    ASSERT_EQ(::stat(native.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(FileText(), NewItemText("http://a.example/"));
}

TEST_F(UpdateWls, ThroughASymlinkTheTargetIsUpdated) {
    // The item file kept elsewhere and linked in: the link must stay a link
    // and the file it leads to must get the merged items.
    TempDir elsewhere;
    const std::string target = elsewhere.Write("real.wls", NewItemText("http://old.example/"));
    ASSERT_EQ(::symlink(target.c_str(), (dir_ / "items.wls").c_str()), 0);
    EnvSettings.WlsKeepInfo = true;
    AddPage("/srv/a.htm", {"http://a.example/"});
    Update(path_);
    EXPECT_TRUE(boxes_.empty() && Texts().empty());
    struct stat st;
    ASSERT_EQ(::lstat((dir_ / "items.wls").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(ReadNative(target), NewItemText("http://old.example/") + NewItemText("http://a.example/"));
    EXPECT_TRUE(Leftovers().empty());
    std::vector<platform::DirEntry> entries;
    platform::ListDirectory(*platform::FromNative(elsewhere.path()), entries);
    EXPECT_EQ(entries.size(), 1u);
}

TEST_F(UpdateWls, EmptyPathIsReported) {
    AddPage("/srv/a.htm", {"http://a.example/"});
    EXPECT_EQ(Update(""), TWlsOutcome::Failed);
    EXPECT_EQ(Texts(), Strings{Sj((kPrefix + "が指定されていません。").c_str())});
    EXPECT_TRUE(boxes_.empty());
    EXPECT_EQ(checks_, 0);
}

TEST_F(UpdateWls, LockedFileIsLeftUntouched) {
    const std::string old = NewItemText("http://old.example/");
    const std::string native = dir_.Write("items.wls", old);
    AddPage("/srv/a.htm", {"http://a.example/"});
    const std::string locked = Sj((kPrefix + "がロックされているため更新できませんでした。").c_str());

    ::chmod(native.c_str(), 0444);
    EXPECT_EQ(Update(path_), TWlsOutcome::Failed);
    EXPECT_EQ(Texts(), Strings{locked});
    EXPECT_EQ(FileText(), old);
    EXPECT_TRUE(Leftovers().empty());

    // A folder that cannot be written locks the file in it too.
    ::chmod(native.c_str(), 0644);
    const std::string sub = dir_.Write("ro/items.wls", old);
    const std::string subFolder = dir_ / "ro";
    ::chmod(subFolder.c_str(), 0555);
    Update(*platform::FromNative(sub));
    EXPECT_EQ(Texts(), (Strings{locked, locked}));
    EXPECT_EQ(ReadNative(sub), old);
    std::vector<platform::DirEntry> entries;
    platform::ListDirectory(*platform::FromNative(subFolder), entries);
    EXPECT_EQ(entries.size(), 1u);
}

TEST_F(UpdateWls, UnreadableOldFileIsReported) {
    EnvSettings.WlsKeepInfo = true;
    AddPage("/srv/a.htm", {"http://a.example/"});
    const std::string cannotOpen = Sj((kPrefix + "がロックされているため開けません。").c_str());
    // A link to nothing cannot be opened; a pipe would never end: neither
    // may hang or be replaced.
    ASSERT_EQ(::symlink((dir_ / "nothing").c_str(), (dir_ / "items.wls").c_str()), 0);
    Update(path_);
    EXPECT_EQ(Texts(), Strings{cannotOpen});
    ::unlink((dir_ / "items.wls").c_str());
    ASSERT_EQ(::mkfifo((dir_ / "items.wls").c_str(), 0644), 0);
    Update(path_);
    EXPECT_EQ(Texts(), (Strings{cannotOpen, cannotOpen}));
    EXPECT_TRUE(Leftovers().empty());
}

TEST_F(UpdateWls, MissingFolderIsReported) {
    AddPage("/srv/a.htm", {"http://a.example/"});
    Update(*platform::FromNative(dir_ / "no/such/items.wls"));
    EXPECT_EQ(Texts(), Strings{Sj((kPrefix + "ファイルの更新に失敗しました。").c_str())});
    // A folder in place of the file is not replaced.
    dir_.MakeDir("items.wls");
    EXPECT_EQ(Update(path_), TWlsOutcome::Failed);
    EXPECT_EQ(Texts().size(), 2u);
    EXPECT_TRUE(platform::DirectoryExists(path_));
    EXPECT_TRUE(Leftovers().empty());
}

TEST_F(UpdateWls, RunningWwwcIsAskedAbout) {
    AddPage("/srv/a.htm", {"http://a.example/"});
    const std::string old = NewItemText("http://old.example/");
    dir_.Write("items.wls", old);

    // Cancel: nothing written.
    running_ = {true};
    answers_ = {platform::TMsgResult::Cancel};
    EXPECT_EQ(Update(path_), TWlsOutcome::Cancelled);
    ASSERT_EQ(boxes_.size(), 1u);
    const platform::TMessageRequest& r = boxes_[0];
    EXPECT_EQ(r.kind, platform::TMsgKind::Warning);
    EXPECT_EQ(r.buttons, platform::TMsgButtons::RetryIgnoreCancel);
    EXPECT_EQ(r.defaultButton, platform::TMsgResult::Retry);
    EXPECT_EQ(r.unattended, platform::TMsgResult::Ignore);
    EXPECT_EQ(r.helpContext, 10008);
    EXPECT_EQ(
        r.text,
        Sj("WWWCが起動しています。WWWCを終了させてください。\n\n(環境設定でこの警告ダイアログを非表示にできます)"));
    EXPECT_EQ(FileText(), old);

    // Retry while it runs, then it has gone: written after three looks.
    boxes_.clear();
    checks_ = 0;
    running_ = {true, true, false};
    answers_ = {platform::TMsgResult::Retry, platform::TMsgResult::Retry};
    EXPECT_EQ(Update(path_), TWlsOutcome::Written);
    EXPECT_EQ(boxes_.size(), 2u);
    EXPECT_EQ(checks_, 3);
    EXPECT_EQ(FileText(), NewItemText("http://a.example/"));

    // Ignore: written although it runs.
    dir_.Write("items.wls", old);
    boxes_.clear();
    running_ = {true, true};
    answers_ = {platform::TMsgResult::Ignore};
    EXPECT_EQ(Update(path_), TWlsOutcome::Written);
    EXPECT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(FileText(), NewItemText("http://a.example/"));

    // Switched off: not even looked for.
    dir_.Write("items.wls", old);
    EnvSettings.WwwcRunningCheck = false;
    checks_ = 0;
    Update(path_);
    EXPECT_EQ(checks_, 0);
    EXPECT_EQ(FileText(), NewItemText("http://a.example/"));
    EXPECT_TRUE(Leftovers().empty());
}

TEST_F(UpdateWls, WithoutAWindowTheWarningIsShownOnceAndTheRunGoesOn) {
    platform::FrontEnd().messageBox = nullptr;
    platform::FrontEnd().wwwcRunning = [this] {
        ++checks_;
        return true;  // never goes away
    };
    AddPage("/srv/a.htm", {"http://a.example/"});
    testing::internal::CaptureStderr();
    Update(path_);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(checks_, 1);
    EXPECT_NE(err.find("WWWC"), std::string::npos);
    EXPECT_EQ(FileText(), NewItemText("http://a.example/"));
}

TEST_F(UpdateWls, IntermediateNameTakesTheNextFreeNumber) {
    const std::string folder = *platform::FromNative(dir_.path());
    EXPECT_EQ(WlsIntermediateName(path_, 0xABCD), folder + "/0000ABCD.~LS");
    dir_.Write("0000ABCD.~LS", "");
    dir_.MakeDir("0000ABCE.~LS");
    EXPECT_EQ(WlsIntermediateName(path_, 0xABCD), folder + "/0000ABCF.~LS");
    EXPECT_EQ(WlsIntermediateName(path_, 0xFFFFFFFF), folder + "/FFFFFFFF.~LS");
    // An earlier intermediate file is left alone by an update.
    AddPage("/srv/a.htm", {"http://a.example/"});
    Update(path_);
    EXPECT_EQ(Leftovers(), (Strings{"0000ABCD.~LS", "0000ABCE.~LS"}));
}

// ---------------------------------------------------------------------------
// The end of a run

TEST_F(UpdateWls, EndOfARunWritesTheItemFileAndSortsThePagesAndTheNamedPagesParts) {
    // b.htm is the heavier page with more parts; the parts are named so
    // that name and size orders differ.
    auto page = [](const std::string& name, const std::vector<std::pair<std::string, int>>& parts) {
        AddPage(name, {"http://" + name.substr(5, 1) + ".example/"});
        THTMLFileInfo* p = FileList[FileList.Count() - 1];
        for (const auto& [part, size] : parts) {
            auto* r = new THTMLFileInfo;
            r->FileName = part;
            r->TotalSize = size;
            p->Items.Add(r);
            p->TotalSize += size;
        }
    };
    auto parts = [](int index) {
        Strings names;
        for (const THTMLFileInfo* r : FileList[index]->Items) names.push_back(r->FileName);
        return names;
    };
    const Strings asMeasured = {"b.gif", "c.gif", "a.gif"};
    struct Case {
        int sortType;
        Strings namedParts;
    } cases[] = {
        {SortBySize, {"c.gif", "a.gif", "b.gif"}},
        {SortByImageCount, {"c.gif", "a.gif", "b.gif"}},
        {SortByName, {"c.gif", "b.gif", "a.gif"}},
        {SortNone, asMeasured},
    };
    EnvSettings.WlsEnabled = true;
    EnvSettings.WlsFileName = path_;
    EnvSettings.SortAscending = false;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sortType);
        FileList.Clear();
        page("/srv/a.htm", {{"b.gif", 1}, {"c.gif", 6}, {"a.gif", 3}});
        page("/srv/b.htm", {{"b.gif", 2}, {"c.gif", 20}, {"a.gif", 8}, {"d.gif", 0}});
        EnvSettings.SortType = c.sortType;
        ::unlink((dir_ / "items.wls").c_str());
        const TRunEnd end = FinishRun("/srv/a.htm");
        EXPECT_EQ(end.ItemFile.Outcome, TWlsOutcome::Written);
        EXPECT_EQ(FileText(), NewItemText("http://a.example/") + NewItemText("http://b.example/"));
        const int named = c.sortType == SortNone ? 0 : 1;  // the heavier page first
        EXPECT_EQ(end.NamedPage, named);
        EXPECT_EQ(FileList[named]->FileName, "/srv/a.htm");
        EXPECT_EQ(parts(named), c.namedParts);
        EXPECT_EQ(parts(1 - named), (Strings{"b.gif", "c.gif", "a.gif", "d.gif"}))
            << "only the named page's parts are sorted";
    }

    // No item file when it is off, or when the window's engine failed.
    ::unlink((dir_ / "items.wls").c_str());
    EXPECT_EQ(FinishRun("/srv/none.htm", false).ItemFile.Outcome, TWlsOutcome::NotEnabled);
    EnvSettings.WlsEnabled = false;
    const TRunEnd end = FinishRun("/srv/none.htm");
    EXPECT_EQ(end.ItemFile.Outcome, TWlsOutcome::NotEnabled);
    EXPECT_EQ(end.NamedPage, -1);
    EXPECT_FALSE(platform::FileExists(path_));
    EXPECT_TRUE(boxes_.empty());
}

// ---------------------------------------------------------------------------
// Looking for a running WWWC

TEST(WwwcProcess, ExecutableNames) {
    for (const char* yes :
         {"wwwc", "WWWC", "wwwc.exe", "WwWc.ExE", "/opt/wwwc", "C:\\Program Files\\WWWC\\wwwc.exe", "z:/x\\WWWC.EXE"})
        EXPECT_TRUE(platform::IsWwwcExecutableName(yes)) << yes;
    for (const char* no : {"", "wwwc2", "wwwc.ex", "xwwwc", "wwwc.exe/", "wine", "C:\\wwwc\\other.exe"})
        EXPECT_FALSE(platform::IsWwwcExecutableName(no)) << no;
}

// Waits a few seconds for the check to give the wanted answer.
bool EventuallyRunning(bool wanted) {
    for (int k = 0; k < 200; ++k) {
        if (platform::IsWwwcRunning() == wanted) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

TEST(WwwcProcess, FindsARealProcessByNameOrArgv0) {
    platform::TFrontEndScope defaults{platform::TFrontEnd{}};
    if (platform::IsWwwcRunning()) GTEST_SKIP() << "a WWWC process runs on this machine";

    // By the kernel's name of the process.
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::prctl(PR_SET_NAME, "WWWC.exe");
        for (;;) ::pause();
    }
    EXPECT_TRUE(EventuallyRunning(true));
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    EXPECT_TRUE(EventuallyRunning(false));

    // By a Windows program path in argv[0], as Wine starts it.
    child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::execl("/bin/sleep", "C:\\Program Files\\WWWC\\wwwc.exe", "30", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    EXPECT_TRUE(EventuallyRunning(true));
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    EXPECT_TRUE(EventuallyRunning(false));
}

}  // namespace
