// Runs the real velmoran-cli on temporary folders and the sample site.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
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

    TempDir t;   // the pages
    TempDir io;  // captured output and settings
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
        expected += *Utf8ToCp932Strict("ファイルが見つかりません: " + t.path() + "/" + n + ".gif at " + page) + "\r\n";
    expected += *Utf8ToCp932Strict("警告数が多いため、これ以上の警告出力を中止します！") + "\r\n";
    EXPECT_EQ(ReadNative(t / "problems.txt"), expected);
    // stderr shows the same lines; the records are all there.
    std::string shown = Cp932ToUtf8(expected);
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
    EXPECT_TRUE(Contains(text, *Utf8ToCp932Strict("チェックしたHTMLファイル") + "\r\n"));
    EXPECT_FALSE(Contains(text, "チェック"));
    // Problem lines on stderr in Shift-JIS as asked.
    EXPECT_TRUE(Contains(r.err, *Utf8ToCp932Strict("ファイルが見つかりません: ")));
}

TEST_F(Cli, OutputsThatCannotBeWrittenFailTheRun) {
    t.Write("a.html", "a");
    CliResult r = Run({"--json", "no/such/folder/x.json", "a.html"});
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(Contains(r.err, "x.json")) << r.err;
    r = Run({"--text", "no/such/folder/x.txt", "a.html"});
    EXPECT_EQ(r.status, 2);
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

TEST_F(Cli, BadUsage) {
    t.Write("a.html", "a");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{}, {"--set", "CONFIG", "a.html"}, {"--set", "/K=1", "a.html"},
          {"--encoding", "latin1", "a.html"}, {"--ini", "missing.ini", "a.html"}, {"--bogus", "a.html"}}) {
        CliResult r = Run(args);
        EXPECT_EQ(r.status, 2) << (args.empty() ? "" : args[0]);
        EXPECT_FALSE(r.err.empty());
    }
}

}  // namespace
