// Runs the real velmoran-cli on temporary folders and the sample site.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/Encoding.h"
#include "support/TempDir.h"

namespace {

using nlohmann::json;

struct CliResult {
    int status = -1;
    std::string out, err;
};

bool Contains(const std::string& hay, const std::string& needle) { return hay.find(needle) != std::string::npos; }

class Cli : public ::testing::Test {
protected:
    // Runs the program in the folder cwd (native path) with the arguments;
    // the settings file it looks for does not exist unless a test writes it.
    CliResult Run(const std::string& cwd, const std::vector<std::string>& args) {
        const std::string outFile = io / "stdout", errFile = io / "stderr";
        pid_t pid = fork();
        if (pid == 0) {
            if (chdir(cwd.c_str()) != 0) _exit(127);
            setenv("VELMORAN_INI", (io / "VELMORAN.INI").c_str(), 1);
            for (const auto& [name, value] : env) setenv(name.c_str(), value.c_str(), 1);
            int in = open("/dev/null", O_RDONLY);
            int out = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(in, 0);
            dup2(out, 1);
            dup2(err, 2);
            std::vector<char*> argv{const_cast<char*>(VELMORAN_CLI_PATH)};
            for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(VELMORAN_CLI_PATH, argv.data());
            _exit(127);
        }
        int wstatus = 0;
        waitpid(pid, &wstatus, 0);
        CliResult r;
        r.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
        r.out = ReadNative(outFile);
        r.err = ReadNative(errFile);
        return r;
    }
    CliResult Run(const std::vector<std::string>& args) { return Run(t.path(), args); }

    json Json(const CliResult& r) {
        try {
            return json::parse(r.out);
        } catch (const std::exception& e) {
            ADD_FAILURE() << e.what() << "\n" << r.out;
            return json::object();
        }
    }

    std::vector<std::pair<std::string, std::string>> env;  // set for the program only
    TempDir t;                                             // the pages
    TempDir io;                                            // captured output and settings
};

const std::string kSite = std::string(VELMORAN_SOURCE_DIR) + "/examples/site";

// --- inputs and exit statuses ------------------------------------------------------

TEST_F(Cli, SampleSiteGivesTheReportAndItsProblems) {
    CliResult r = Run({kSite});
    EXPECT_EQ(r.status, 1);  // the site has a missing image and a missing page
    EXPECT_TRUE(Contains(r.out, "チェックしたHTMLファイル")) << r.out;
    EXPECT_TRUE(Contains(r.out, "ファイル数:6"));
    EXPECT_TRUE(Contains(r.out, kSite + "/案内.html"));
    EXPECT_FALSE(Contains(r.out, "\r"));
    EXPECT_EQ(r.err, "ファイルが見つかりません: " + kSite + "/img/missing.gif at " + kSite +
                         "/about.html\n"
                         "ファイルが見つかりません: " +
                         kSite + "/news/2026.html at " + kSite + "/news/index.htm\n");
}

TEST_F(Cli, CleanRunExitsZeroAndQuietly) {
    t.Write("a.html", "<A HREF=b.html>b</A>");
    t.Write("b.html", "b");
    CliResult r = Run({"--quiet", "--json", "-", "a.html"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(Json(r)["pages"].size(), 2u);
}

TEST_F(Cli, MissingAndRefusedPathsAreReportedAndTheOthersMeasured) {
    t.Write("ok.html", "ok");
    CliResult r = Run({"--json", "-", "nothing.html", "http://www.example.com/", "ok.html"});
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(Contains(r.err, "ファイルが見つかりません: nothing.html\n")) << r.err;
    EXPECT_TRUE(Contains(r.err, "インターネットの先のファイルは計測できません\n")) << r.err;
    json j = Json(r);
    ASSERT_EQ(j["pages"].size(), 1u);
    EXPECT_EQ(j["pages"][0]["path"], t.path() + "/ok.html");
    EXPECT_EQ(j["inputs"], json::array({t.path() + "/ok.html"}));

    // Nothing left to measure: no output at all.
    r = Run({"gone/"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
}

TEST_F(Cli, PathsAreTakenAgainstTheStartingFolder) {
    t.Write("a/x.html", "x");
    t.Write("b/y.html", "y");
    CliResult r = Run({"--json", "-", "a/x.html", "b/y.html", "file://" + t.path() + "/a"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Json(r)["pages"].size(), 2u);
}

TEST_F(Cli, RefusedOrBlankPathKeepsTheFolderOfTheLastMeasuredOne) {
    // Resource keys are taken against the current folder: there both
    // spellings name sub/a.gif, which then counts once.
    t.Write("sub/a.gif", std::string(7, 'a'));
    const std::string page = "<img src=a.gif><img src=\"../sub/a.gif\">";
    t.Write("sub/p.html", page);
    for (const char* after : {"http://x.org/", "   "}) {
        CliResult r = Run({"--json", "-", "sub/p.html", after});
        EXPECT_EQ(r.status, 2) << after;
        json j = Json(r);
        ASSERT_EQ(j["pages"].size(), 1u) << after;
        EXPECT_EQ(j["pages"][0]["weight"], page.size() + 7) << after;
        EXPECT_EQ(j["pages"][0]["parts"].size(), 2u) << after;
    }
}

TEST_F(Cli, UnopenablePagesAndGarbageBytes) {
    ASSERT_EQ(symlink("nowhere", (t / "dangling.html").c_str()), 0);
    std::string junk;
    for (int i = 0; i < 70000; ++i) junk += static_cast<char>((i * 7919 + i / 13) & 0xFF);
    t.Write("junk.html", junk);
    CliResult r = Run({"--json", "-", "dangling.html", "junk.html"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Contains(r.err, "ファイルを開けません: " + t.path() + "/dangling.html\n")) << r.err;
    json j = Json(r);
    ASSERT_EQ(j["pages"].size(), 1u);
    EXPECT_EQ(j["pages"][0]["htmlSize"], junk.size());
    EXPECT_EQ(j["problems"][0]["message"], "ファイルを開けません");
    EXPECT_EQ(j["problems"][0]["page"], nullptr);
}

TEST_F(Cli, FolderOfTenThousandEmptyFiles) {
    for (int i = 0; i < 10000; ++i) std::ofstream(t / ("p" + std::to_string(i) + ".htm"));
    std::ofstream(t / "not-a-page.txt");
    CliResult r = Run({"--quiet", "--json", "-", "."});
    EXPECT_EQ(r.status, 0) << r.err;
    json j = Json(r);
    ASSERT_EQ(j["pages"].size(), 10000u);
    for (const json& p : j["pages"]) ASSERT_EQ(p["weight"], 0);
}

// --- outputs -------------------------------------------------------------------

TEST_F(Cli, JsonDescribesTheWholeResult) {
    t.Write("img/a.gif", std::string(300, 'a'));
    t.Write("index.html",
            "<TITLE>\x95\x5C</TITLE><IMG SRC=img/a.gif><IMG SRC=img/a.gif><IMG SRC=img/none.gif>"
            "<A HREF=\"http://example.com/#x\">x</A><A HREF=sub.html>s</A>");
    t.Write("sub.html", "<A HREF=gone.html>");
    CliResult r = Run({"--json", "-", "--set", "CONFIG/BPS=9600", "index.html"});
    EXPECT_EQ(r.status, 1);
    json j = Json(r);
    EXPECT_EQ(j["program"], "Velmoran Ver0.29 Beta 1.1");
    EXPECT_EQ(j["settings"]["bps"], 9600);
    EXPECT_EQ(j["settings"]["linkEnabled"], true);
    EXPECT_EQ(j["inputs"], json::array({t.path() + "/index.html"}));
    ASSERT_EQ(j["pages"].size(), 2u);

    const json& p = j["pages"][0];  // the heavier page first
    EXPECT_EQ(p["path"], t.path() + "/index.html");
    EXPECT_EQ(p["title"], "表");
    EXPECT_EQ(p["encoding"], "SJIS");
    const int64_t html = p["htmlSize"];
    EXPECT_EQ(p["weight"], html + 300);
    EXPECT_EQ(p["weightText"].get<std::string>().find("Bytes") != std::string::npos, true);
    EXPECT_TRUE(p["loadTime"].is_string());
    EXPECT_TRUE(p["date"].is_string());
    EXPECT_EQ(p["resourceCount"], 1);
    EXPECT_EQ(p["problemCount"], 1);
    ASSERT_EQ(p["parts"].size(), 2u);
    // The named page's parts are sorted by size, largest first.
    EXPECT_EQ(p["parts"][0]["path"], t.path() + "/img/a.gif");
    EXPECT_EQ(p["parts"][0]["size"], 300);
    EXPECT_EQ(p["parts"][1]["isHTML"], true);
    EXPECT_EQ(p["notFound"], json::array({t.path() + "/img/none.gif"}));
    EXPECT_EQ(p["urls"], json::array({"http://example.com/"}));

    ASSERT_EQ(j["problems"].size(), 2u);
    EXPECT_EQ(j["problems"][0]["message"], "ファイルが見つかりません");
    EXPECT_EQ(j["problems"][0]["page"], t.path() + "/index.html");
    EXPECT_EQ(j["problems"][0]["target"], t.path() + "/img/none.gif");
    EXPECT_EQ(j["problems"][1]["target"], t.path() + "/gone.html");
    EXPECT_EQ(j["problemLines"]["count"], 2);
    EXPECT_EQ(j["problemLines"]["stopped"], false);
    EXPECT_EQ(j["interrupted"], false);
    EXPECT_EQ(j["error"], nullptr);
}

// Each problem's JSON message is the message its problem line began with,
// for every kind of problem a run can meet.
TEST_F(Cli, JsonProblemMessagesAreThoseOfTheProblemLines) {
    t.Write("site/index.html",
            "<IMG SRC=none.gif><A HREF=\"../other/b.html\">o</A><IMG SRC=\"file:///nowhere/y.gif\">");
    t.Write("site/\xF0\x9F\x98\x80.html", "");  // a name Shift-JIS cannot hold
    t.Write("other/b.html", "b");
    ASSERT_EQ(symlink("nowhere", (t / "dangling.html").c_str()), 0);
    CliResult r = Run({"--json", "-", "--set", "OPTION/ANOTHERFOLDER=0", "site", "dangling.html"});
    EXPECT_EQ(r.status, 1) << r.err;
    json j = Json(r);
    std::vector<std::string> lines;
    for (size_t at = 0, end; (end = r.err.find('\n', at)) != std::string::npos; at = end + 1)
        lines.push_back(r.err.substr(at, end - at));
    ASSERT_EQ(lines.size(), j["problems"].size()) << r.err;
    std::set<std::string> kinds;
    for (size_t k = 0; k < lines.size(); ++k) {
        const json& p = j["problems"][k];
        const std::string message = p["message"];
        std::string line = message + ": " + p["target"].get<std::string>();
        if (!p["page"].is_null()) line += " at " + p["page"].get<std::string>();
        EXPECT_EQ(lines[k], line);
        kinds.insert(message);
    }
    EXPECT_EQ(kinds, (std::set<std::string>{"ファイルを開けません", "ファイルが見つかりません",
                                            "別フォルダなのでスキップします", "ローカルファイルが指定されています",
                                            "ファイル名を Shift-JIS で表せません"}));
}

// The document is written piece by piece in the pretty-printer's layout;
// texts with every kind of escape, empty and full lists, and a file output
// give the bytes the printer gives for the same values.
TEST_F(Cli, JsonLayoutIsThePrettyPrintersOnStdoutAndInAFile) {
    t.Write("img/a.gif", "aa");
    t.Write("index.html",
            "<TITLE>q\"b\\s\x01\x7F/\x95\x5C\x82\xA0</TITLE><IMG SRC=img/a.gif><IMG SRC=\"x\\y.gif\">"
            "<A HREF=\"http://e.com/a\tb\">x</A><A HREF=\"http://e.com/\x01\">x</A><A HREF=sub.html>s</A>"
            "<A HREF=gone.html>");
    t.Write("sub.html", "");
    CliResult r = Run({"--quiet", "--json", "-", "index.html"});
    CliResult f = Run({"--quiet", "--json", "out.json", "index.html"});
    EXPECT_EQ(f.status, 1);
    for (const std::string& doc : {r.out, ReadNative(t.path() + "/out.json")}) {
        json j = json::parse(doc, nullptr, false);
        ASSERT_FALSE(j.is_discarded()) << doc;
        nlohmann::ordered_json o = nlohmann::ordered_json::parse(doc);
        EXPECT_EQ(doc, o.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n");
        EXPECT_EQ(j["pages"][0]["title"], "q\"b\\s \x7F/表あ");
        EXPECT_EQ(j["pages"][0]["urls"].size(), 2u);
    }
}

TEST_F(Cli, ProblemsFileIsCappedAsTheProblemListIs) {
    t.Write("p.html", "<IMG SRC=1.gif><IMG SRC=2.gif><IMG SRC=3.gif><IMG SRC=4.gif><IMG SRC=5.gif>");
    CliResult r = Run({"--set", "CONFIG/ERRORLOGMAX=3", "--problems", "problems.txt", "--json", "-", "p.html"});
    EXPECT_EQ(r.status, 1);
    const std::string page = t.path() + "/p.html";
    std::string expected;
    for (const char* n : {"1", "2", "3"})
        expected +=
            *platform::Utf8ToCp932Strict("ファイルが見つかりません: " + t.path() + "/" + n + ".gif at " + page) +
            "\r\n";
    expected += *platform::Utf8ToCp932Strict("警告数が多いため、これ以上の警告出力を中止します！") + "\r\n";
    EXPECT_EQ(ReadNative(t / "problems.txt"), expected);
    // stderr shows the same lines; the records are all there.
    std::string shown = platform::Cp932ToUtf8(expected);
    for (size_t at; (at = shown.find("\r\n")) != std::string::npos;) shown.replace(at, 2, "\n");
    EXPECT_EQ(r.err, shown);
    json j = Json(r);
    EXPECT_EQ(j["problems"].size(), 5u);
    EXPECT_EQ(j["problems"][4]["message"], "ファイルが見つかりません");
    EXPECT_EQ(j["problemLines"]["count"], 4);
    EXPECT_EQ(j["problemLines"]["stopped"], true);
}

TEST_F(Cli, TextReportFileIsShiftJisWithCrLf) {
    t.Write("a.html", "<IMG SRC=none.gif>");
    CliResult r = Run({"--text", "out/../report.txt", "--encoding", "sjis", "a.html"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    std::string text = ReadNative(t / "report.txt");
    EXPECT_EQ(text.rfind("Velmoran Ver0.29 Beta 1.1\r\n", 0), 0u) << text;
    EXPECT_TRUE(Contains(text, *platform::Utf8ToCp932Strict("チェックしたHTMLファイル") + "\r\n"));
    EXPECT_FALSE(Contains(text, "チェック"));
    // Problem lines on stderr in Shift-JIS as asked.
    EXPECT_TRUE(Contains(r.err, *platform::Utf8ToCp932Strict("ファイルが見つかりません: ")));
}

TEST_F(Cli, OutputsThatCannotBeWrittenFailTheRun) {
    t.Write("a.html", "a");
    CliResult r = Run({"--json", "no/such/folder/x.json", "a.html"});
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(Contains(r.err, "x.json")) << r.err;
    r = Run({"--text", "no/such/folder/x.txt", "a.html"});
    EXPECT_EQ(r.status, 2);
}

// One rule for every output: a write-protected file is refused and kept,
// and what is not a regular file (here a pipe reached as /proc/self/fd/N, as
// /dev/stdout leads to) is written where it is, never replaced.
TEST_F(Cli, EveryOutputRefusesProtectedFilesAndWritesIntoPipes) {
    t.Write("a.html", "<IMG SRC=missing.gif><A HREF=\"http://x.example/\">x</A>");
    struct Case {
        const char* option;
        const char* file;
        std::string refused;  // the message of a protected file
        std::string content;  // a piece of what the pipe must receive
    };
    const std::string cannotCreate = "を作成できません";
    const std::vector<Case> cases = {
        {"--text", "report.txt", cannotCreate, "Velmoran Ver0.29 Beta 1.1\r\n"},
        {"--html", "report.htm", cannotCreate, "<html>\r\n"},
        {"--json", "result.json", cannotCreate, "\"pages\""},
        {"--problems", "problems.txt", cannotCreate, "missing.gif"},
        {"--wls", "items.wls", "WWWC アイテム情報ファイル(*.WLS) がロックされているため更新できませんでした。",
         "<URL>http://x.example/\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.option);
        const std::string file = t.Write(c.file, "old");
        ::chmod(file.c_str(), 0444);
        CliResult r = Run({c.option, c.file, "--quiet", "a.html"});
        EXPECT_EQ(r.status, 2);
        EXPECT_TRUE(Contains(r.err, c.refused)) << r.err;
        if (c.refused == cannotCreate) {
            EXPECT_TRUE(Contains(r.err, "ﾌｧｲﾙ " + file + " ")) << r.err;
        }
        EXPECT_EQ(ReadNative(file), "old");
        struct stat st;
        ASSERT_EQ(::stat(file.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0444u);

        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        const std::string link = "/proc/self/fd/" + std::to_string(fds[1]);
        r = Run({c.option, link, "--set", "WWWC/KeepInfo=0", "--quiet", "a.html"});
        ::close(fds[1]);
        std::string got;
        char buf[4096];
        for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;) got.append(buf, static_cast<size_t>(n));
        ::close(fds[0]);
        EXPECT_EQ(r.status, 1) << r.err;  // the missing image
        EXPECT_TRUE(Contains(got, c.content)) << got;
    }
}

// Outputs written where they are (FIFOs here) are opened in the order they
// are written: a reader that takes the text report's FIFO before the
// JSON's gets both. Should the JSON be opened first, the run would wait for
// its reader for ever; a watchdog then reads it, so that the test fails
// instead of hanging.
TEST_F(Cli, FifoOutputsAreOpenedInTheOrderTheyAreWritten) {
    t.Write("a.html", "<IMG SRC=missing.gif>");
    const std::string text = t / "text.fifo", jsonFifo = t / "json.fifo";
    ASSERT_EQ(::mkfifo(text.c_str(), 0644), 0);
    ASSERT_EQ(::mkfifo(jsonFifo.c_str(), 0644), 0);
    std::atomic<int> jsonTaker{0};  // 1: the reader, 2: the watchdog
    std::string gotText, gotJson, rescued;
    std::thread reader([&] {
        gotText = ReadNative(text);
        if (int none = 0; jsonTaker.compare_exchange_strong(none, 1)) gotJson = ReadNative(jsonFifo);
    });
    std::thread watchdog([&] {
        for (int i = 0; i < 200 && jsonTaker == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (int none = 0; jsonTaker.compare_exchange_strong(none, 2)) rescued = ReadNative(jsonFifo);
    });
    CliResult r = Run({"--text", text, "--json", jsonFifo, "--quiet", "a.html"});
    reader.join();
    watchdog.join();
    EXPECT_EQ(jsonTaker, 1);
    EXPECT_EQ(r.status, 1) << r.err;  // the missing image
    EXPECT_TRUE(Contains(gotText, "Velmoran Ver")) << gotText;
    EXPECT_TRUE(Contains(gotJson, "\"pages\"")) << gotJson;
}

TEST_F(Cli, WlsFileReceivesTheOutsideAddresses) {
    t.Write("a.html", "<A HREF=\"http://example.com/#x\">x</A><A HREF=\"ftp://f.example/\">f</A>");
    CliResult r = Run({"--wls", "items.wls", "--quiet", "--json", "-", "a.html"});
    EXPECT_EQ(r.status, 0) << r.err;
    std::string wls = ReadNative(t / "items.wls");
    EXPECT_TRUE(Contains(wls, "<URL>http://example.com/\r\n")) << wls;
    EXPECT_TRUE(Contains(wls, "<URL>ftp://f.example/\r\n"));

    // An item file that cannot be written is a failed output.
    r = Run({"--wls", "no/such/folder/items.wls", "--quiet", "a.html"});
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(Contains(r.err, "WWWC")) << r.err;
}

// --- settings --------------------------------------------------------------------

TEST_F(Cli, SettingsFileAndOverrides) {
    t.Write("a.html", "<A HREF=b.html>b</A>");
    t.Write("b.html", "b");
    // The file turns link following off and names a current folder, which
    // must not change where the PATH and the output are looked for.
    const std::string ini =
        "[SYSTEM]\r\nCURRENTDIR=/\r\n[CONFIG]\r\nLINKENABLED=0\r\nBPS=9600\r\n"
        "[EXTLIST]\r\nCOUNT=1\r\nDATA00000000=.html\r\n";
    t.Write("my.ini", ini);
    CliResult r = Run({"--ini", "my.ini", "--json", "result.json", "a.html"});
    EXPECT_EQ(r.status, 0) << r.err;
    json j = json::parse(ReadNative(t / "result.json"));
    EXPECT_EQ(j["pages"].size(), 1u);
    EXPECT_EQ(j["settings"]["bps"], 9600);

    r = Run({"--ini", "my.ini", "--set", "CONFIG/LINKENABLED=1", "--json", "-", "a.html"});
    EXPECT_EQ(Json(r)["pages"].size(), 2u);
    // The settings file is only read.
    EXPECT_EQ(ReadNative(t / "my.ini"), ini);

    // The window's settings file is used when there is one.
    io.Write("VELMORAN.INI", "[CONFIG]\r\nLINKENABLED=1\r\nBPS=14400\r\n");
    r = Run({"--json", "-", "a.html"});
    EXPECT_EQ(Json(r)["settings"]["bps"], 14400);
}

TEST_F(Cli, SetIsReadAsTheSettingsFileReadsALine) {
    t.Write("a.html", "a");
    for (const char* set : {"CONFIG/BPS=9600", "CONFIG/BPS=\"9600\"", "CONFIG/BPS='9600'", "CONFIG/BPS= 9600",
                            "CONFIG/BPS=9600 ", " CONFIG / BPS =9600", "config/Bps=0x2580"}) {
        CliResult r = Run({"--set", set, "--json", "-", "a.html"});
        EXPECT_EQ(r.status, 0) << set << "\n" << r.err;
        EXPECT_EQ(Json(r)["settings"]["bps"], 9600) << set;
    }
    // A text value loses its blanks and one pair of quotes, and a list
    // entry beyond the defaults is a key like any other.
    CliResult r =
        Run({"--set", "EXTLIST/COUNT=3", "--set", "EXTLIST/DATA00000002= \".php\" ", "--json", "-", "a.html"});
    EXPECT_EQ(Json(r)["settings"]["htmlExtensions"], json::array({".htm", ".html", ".php"})) << r.err;

    // What the program does not know is a usage error that names it.
    struct Unknown {
        const char* set;
        const char* named;
    };
    for (const Unknown& u : {Unknown{"CONFG/BPS=9600", "CONFG"}, Unknown{"CONFIG/BSP=9600", "CONFIG/BSP"},
                             Unknown{"EXTLIST/DATA0000002=.php", "EXTLIST/DATA0000002"}}) {
        r = Run({"--set", u.set, "a.html"});
        EXPECT_EQ(r.status, 2) << u.set;
        EXPECT_TRUE(Contains(r.err, std::string(": ") + u.named + "\n")) << r.err;
        EXPECT_EQ(r.out, "");
    }
}

TEST_F(Cli, SourceDateEpochMustBeSecondsUpToTheEndOfYear9999) {
    t.Write("a.html", "a");
    for (const char* bad : {"-1", "253402300800", "12abc", "", " 5", "99999999999999999999999"}) {
        env = {{"SOURCE_DATE_EPOCH", bad}};
        CliResult r = Run({"a.html"});
        EXPECT_EQ(r.status, 2) << "'" << bad << "'";
        EXPECT_TRUE(Contains(r.err, "SOURCE_DATE_EPOCH")) << r.err;
        EXPECT_EQ(r.out, "");
    }
    env = {{"SOURCE_DATE_EPOCH", "253402300799"}};
    CliResult r = Run({"a.html"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "\n9999/12/31 23:59:59\n")) << r.out;
}

TEST_F(Cli, BadUsage) {
    t.Write("a.html", "a");
    for (const std::vector<std::string>& args : {std::vector<std::string>{},
                                                 {"--set", "CONFIG", "a.html"},
                                                 {"--set", "/K=1", "a.html"},
                                                 {"--encoding", "latin1", "a.html"},
                                                 {"--ini", "missing.ini", "a.html"},
                                                 {"--bogus", "a.html"},
                                                 {"--budget", "2XB", "a.html"},
                                                 {"--budget", "KB", "a.html"}}) {
        CliResult r = Run(args);
        EXPECT_EQ(r.status, 2) << (args.empty() ? "" : args[0]);
        EXPECT_FALSE(r.err.empty());
    }
    // The help names the encodings once.
    CliResult r = Run({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(Contains(r.out, "--encoding utf-8|sjis ")) << r.out;
    EXPECT_FALSE(Contains(r.out, "{utf-8,sjis}")) << r.out;
}

// Pages heavier than the budget are problems; the others are not.
TEST_F(Cli, BudgetMakesHeavyPagesProblems) {
    t.Write("heavy.html", "<img src=big.gif>");
    t.Write("big.gif", std::string(1100, 'x'));
    t.Write("light.html", "<link rel=stylesheet href=big.css>");
    t.Write("big.css", std::string(2000, 'x'));
    CliResult r = Run({"--quiet", "--budget", "1KB", "--json", "-", "heavy.html", "light.html"});
    EXPECT_EQ(r.status, 1);
    json j = Json(r);
    ASSERT_EQ(j["problems"].size(), 1u);
    EXPECT_EQ(j["problems"][0]["message"], "ページの重さが上限を超えています(1,117 Bytes > 1,024 Bytes)");
    EXPECT_TRUE(Contains(j["problems"][0]["target"].get<std::string>(), "heavy.html"));
    EXPECT_TRUE(Contains(r.err, "ページの重さが上限を超えています(1,117 Bytes > 1,024 Bytes): "));

    // The modern reading weighs the style sheet too, and every part says what it is.
    r = Run({"--quiet", "--modern", "--budget", "2KB", "--json", "-", "light.html"});
    EXPECT_EQ(r.status, 0);
    j = Json(r);
    EXPECT_EQ(j["pages"][0]["weight"], 2034);
    EXPECT_EQ(j["pages"][0]["parts"][0]["kind"], "stylesheet");  // parts by size
    EXPECT_EQ(j["pages"][0]["parts"][1]["kind"], "page");
    r = Run({"--quiet", "--modern", "--budget", "1.9k", "light.html"});
    EXPECT_EQ(r.status, 1);
}

}  // namespace
