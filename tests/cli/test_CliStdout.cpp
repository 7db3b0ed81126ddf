// velmoran-cli writing to a stdout that refuses the bytes, and measuring
// what an internet-shortcut file names by a relative address.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/Encoding.h"
#include "support/TempDir.h"

namespace {

struct TRun {
    int status = -1;
    std::string out, err;
};

// Runs the program in cwd with stdout going to stdoutPath (a file that is
// read back afterwards, or a device such as /dev/full).
TRun RunCli(const TempDir& io, const std::string& cwd, const std::string& stdoutPath,
            const std::vector<std::string>& args) {
    const std::string errFile = io / "stderr";
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::chdir(cwd.c_str()) != 0) ::_exit(127);
        ::setenv("VELMORAN_INI", (io / "none.ini").c_str(), 1);
        const int in = ::open("/dev/null", O_RDONLY);
        const int out = ::open(stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        std::vector<char*> argv{const_cast<char*>(VELMORAN_CLI_PATH)};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(VELMORAN_CLI_PATH, argv.data());
        ::_exit(127);
    }
    int wstatus = 0;
    ::waitpid(pid, &wstatus, 0);
    TRun r;
    r.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    if (stdoutPath != "/dev/full") r.out = ReadNative(stdoutPath);
    r.err = ReadNative(errFile);
    return r;
}

bool Contains(const std::string& hay, const std::string& needle) { return hay.find(needle) != std::string::npos; }

// A write error past stdio's buffer once went unnoticed: the run ended with
// status 0 or 1 and the output was lost.
TEST(CliStdout, AFullStdoutIsAnErrorForEveryOutput) {
    TempDir t, io;
    // Enough pages that every output is larger than stdio's buffer.
    for (int i = 0; i < 300; ++i) {
        std::string name = "p";
        name += std::to_string(i);
        name += ".html";
        t.Write(name, "<A HREF=\"http://x.example/\">x</A>");
    }
    const std::string message = "標準出力に書けません";
    const std::vector<std::vector<std::string>> forms = {
        {"--quiet", t.path()},
        {"--quiet", "--text", "-", t.path()},
        {"--quiet", "--html", "-", t.path()},
        {"--quiet", "--json", "-", t.path()},
    };
    for (const auto& args : forms) {
        TRun r = RunCli(io, t.path(), "/dev/full", args);
        EXPECT_EQ(r.status, 2) << args[args.size() - 2];
        EXPECT_TRUE(Contains(r.err, message)) << r.err;
    }
    // The report as the file holds it, and the message in Shift-JIS.
    TRun sjis = RunCli(io, t.path(), "/dev/full", {"--quiet", "--encoding", "sjis", t.path()});
    EXPECT_EQ(sjis.status, 2);
    EXPECT_TRUE(Contains(sjis.err, platform::Utf8ToCp932(message))) << sjis.err;
    // The same run to a file succeeds.
    TRun ok = RunCli(io, t.path(), io / "out", {"--quiet", "--json", "-", t.path()});
    EXPECT_EQ(ok.status, 0) << ok.err;
    EXPECT_TRUE(Contains(ok.out, "\"pages\""));
}

TEST(CliStdout, InternetShortcutWithARelativeAddressMeasuresThatPage) {
    TempDir t, io;
    t.Write("site/page.html", "<IMG SRC=\"missing.gif\">");
    t.Write("links/page.url", "[InternetShortcut]\r\nURL=site/page.html\r\n");
    TRun r = RunCli(io, t.path(), io / "out", {"--quiet", "--json", "-", "links/page.url"});
    EXPECT_EQ(r.status, 1) << r.err;  // the missing image
    EXPECT_TRUE(Contains(r.out, "\"path\": \"" + t.path() + "/site/page.html\"") ||
                Contains(r.out, "\"path\":\"" + t.path() + "/site/page.html\""))
        << r.out;
    EXPECT_TRUE(Contains(r.err, "missing.gif")) << r.err;
}

}  // namespace
