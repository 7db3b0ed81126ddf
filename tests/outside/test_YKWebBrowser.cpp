// Starting outside programs: detached starts with the file as one argument,
// the shell's "open", the mapping of start failures onto the message table,
// and the browser, editor and folder routes with their messages.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <optional>
#include <thread>
#include <vector>

#include "outside/YKWebBrowser.h"
#include "platform/Dialogs.h"
#include "platform/Encoding.h"
#include "platform/FileSystem.h"
#include "platform/FrontEnd.h"
#include "platform/Shell.h"
#include "settings/Uenviron.h"
#include "support/TempDir.h"

namespace {

class EnvGuard {
public:
    EnvGuard(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        setenv(name, value.c_str(), 1);
    }
    ~EnvGuard() {
        if (old_) setenv(name_, old_->c_str(), 1);
        else unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

// Catches the error boxes.
class Messages {
public:
    Messages() {
        platform::FrontEnd().messageBox = [this](const platform::TMessageRequest& r) {
            seen.push_back(r);
            return r.defaultButton;
        };
    }
    std::vector<platform::TMessageRequest> seen;

private:
    platform::TFrontEndScope frontEnd_;
};

std::string Cp(const std::string& native) { return *platform::FromNative(native); }

// An executable script that writes its argument count, its arguments (one a
// line) and what its stdin is connected to into <script>.log.
std::string MakeRecorder(const TempDir& t, const std::string& rel) {
    std::string path = t.Write(rel,
                               "#!/bin/sh\n"
                               "PATH=/usr/local/bin:/usr/bin:/bin\n"
                               "out=\"$0.log\"\n"
                               "{ printf '%s\\n' \"$#\"; for a in \"$@\"; do printf '%s\\n' \"$a\"; done;"
                               " readlink /proc/$$/fd/0; } > \"$out.tmp\" && mv \"$out.tmp\" \"$out\"\n");
    chmod(path.c_str(), 0755);
    return path;
}

// The recorder's log once it has run (the start does not wait for it).
std::vector<std::string> WaitForLog(const std::string& script) {
    const std::string log = script + ".log";
    for (int i = 0; i < 500; ++i) {
        struct stat st {};
        if (stat(log.c_str(), &st) == 0) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::string text = ReadNative(log);
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t nl = text.find('\n', start);
        if (nl == std::string::npos) nl = text.size();
        lines.push_back(text.substr(start, nl - start));
        start = nl + 1;
    }
    return lines;
}

bool Ran(const std::string& script) {
    // Long enough for a started script to have written its log.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    struct stat st {};
    return stat((script + ".log").c_str(), &st) == 0;
}

class LauncherTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnvSettings = TEnvSettings{};
        SetBrowserSeam({});
    }
    void TearDown() override {
        SetBrowserSeam({});
        EnvSettings = TEnvSettings{};
    }
    TempDir t;
};

}  // namespace

// --- the detached start ---------------------------------------------------------------

TEST_F(LauncherTest, StartsDetachedWithEachArgumentWholeAndStdinFromDevNull) {
    std::string prog = MakeRecorder(t, "bin dir/rec");
    std::string file = t.Write("a folder/my report.txt", "x");

    EXPECT_GE(platform::StartDetached(Cp(prog), {Cp(file), "second arg"}), 32);

    auto log = WaitForLog(prog);
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0], "2");
    EXPECT_EQ(log[1], file);
    EXPECT_EQ(log[2], "second arg");
    EXPECT_EQ(log[3], "/dev/null");
    // The program was not our child: nothing is left for us to reap.
    int status = 0;
    EXPECT_EQ(waitpid(-1, &status, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

TEST_F(LauncherTest, PassesJapaneseFileNamesInTheirNativeForm) {
    std::string prog = MakeRecorder(t, "rec");
    std::string file = t.Write("表 示.txt", "x");
    EXPECT_GE(platform::StartDetached(Cp(prog), {Cp(file)}), 32);
    auto log = WaitForLog(prog);
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[1], file);
}

TEST_F(LauncherTest, BareProgramNamesAreLookedForOnPathOnly) {
    std::string prog = MakeRecorder(t, "bin/velmoran-rec");
    EnvGuard path("PATH", t / "empty" + ":" + t / "bin");
    EXPECT_EQ(platform::FindProgram("velmoran-rec"), Cp(prog));
    EXPECT_GE(platform::StartDetached("velmoran-rec", {"x"}), 32);
    EXPECT_EQ(WaitForLog(prog).at(1), "x");

    // A file of that name in the current folder is never taken.
    std::string here = platform::GetCurrentDir();
    MakeRecorder(t, "cwd/only-here");
    ASSERT_TRUE(platform::SetCurrentDir(Cp(t / "cwd")));
    EXPECT_EQ(platform::FindProgram("only-here"), "");
    EXPECT_EQ(platform::StartDetached("only-here", {}), platform::kShellFileNotFound);
    platform::SetCurrentDir(here);
}

TEST_F(LauncherTest, StartFailuresMapOntoTheTableCodes) {
    EXPECT_EQ(platform::StartDetached(Cp(t / "missing"), {}), platform::kShellFileNotFound);
    EXPECT_EQ(platform::StartDetached(Cp(t / "no folder/missing"), {}), platform::kShellPathNotFound);
    EXPECT_EQ(platform::StartDetached("velmoran-no-such-program", {}), platform::kShellFileNotFound);

    std::string plain = t.Write("plain.sh", "#!/bin/sh\n");
    chmod(plain.c_str(), 0644);
    EXPECT_EQ(platform::StartDetached(Cp(plain), {}), platform::kShellBadExecutable);

    std::string garbage = t.Write("garbage", std::string("\x01\x02\x03 not a program"));
    chmod(garbage.c_str(), 0755);
    EXPECT_EQ(platform::StartDetached(Cp(garbage), {}), platform::kShellBadExecutable);

    EXPECT_EQ(platform::StartDetached(Cp(t.MakeDir("a folder")), {}), platform::kShellBadExecutable);

    // A script whose interpreter is missing fails like a missing program.
    std::string orphan = t.Write("orphan", "#!/velmoran/no/such/sh\n");
    chmod(orphan.c_str(), 0755);
    EXPECT_EQ(platform::StartDetached(Cp(orphan), {}), platform::kShellFileNotFound);

    // Failures root cannot provoke here.
    EXPECT_EQ(platform::ShellCodeForErrno(EACCES, false, false), platform::kShellAccessDenied);
    EXPECT_EQ(platform::ShellCodeForErrno(ETXTBSY, false, false), platform::kShellAccessDenied);
    EXPECT_EQ(platform::ShellCodeForErrno(ENOMEM, false, false), platform::kShellOutOfResources);
    EXPECT_EQ(platform::ShellCodeForErrno(EAGAIN, false, false), platform::kShellOutOfResources);
}

TEST_F(LauncherTest, ShellOpenHandsTheTargetToTheOpenProgram) {
    std::string opener = MakeRecorder(t, "opener");
    EnvGuard env("VELMORAN_OPEN_PROGRAM", opener);
    EXPECT_EQ(platform::OpenProgram(), opener);
    std::string file = t.Write("site/a page.htm", "x");

    EXPECT_GE(platform::ShellOpen(Cp(file)), 32);
    auto log = WaitForLog(opener);
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0], "1");
    EXPECT_EQ(log[1], file);
}

TEST_F(LauncherTest, ShellOpenRefusesMissingTargetsAndAMissingOpenProgram) {
    std::string opener = MakeRecorder(t, "opener");
    {
        EnvGuard env("VELMORAN_OPEN_PROGRAM", opener);
        EXPECT_EQ(platform::ShellOpen(Cp(t / "missing.htm")), platform::kShellFileNotFound);
        EXPECT_EQ(platform::ShellOpen(Cp(t / "gone/missing.htm")), platform::kShellPathNotFound);
        EXPECT_FALSE(Ran(opener));
    }
    EnvGuard env("VELMORAN_OPEN_PROGRAM", t / "no-opener");
    EXPECT_FALSE(platform::OpenProgramAvailable());
    EXPECT_EQ(platform::ShellOpen(Cp(t.Write("a.htm", "x"))), platform::kShellNoAssociation);
}

// --- messages ---------------------------------------------------------------------------

TEST_F(LauncherTest, ShellErrorsShowTheirTableTextOthersPassSilently) {
    Messages m;
    EXPECT_FALSE(ShowShellError(31));
    EXPECT_FALSE(ShowShellError(0));
    EXPECT_FALSE(ShowShellError(5));  // not in the table
    EXPECT_TRUE(ShowShellError(42));
    ASSERT_EQ(m.seen.size(), 2u);
    EXPECT_EQ(m.seen[0].kind, platform::TMsgKind::Error);
    EXPECT_EQ(m.seen[0].text, platform::Utf8ToCp932Literal(
                                  "指定されたファイル名拡張子には､ アプリケーションが関連付けられていません。"));
    EXPECT_EQ(m.seen[1].text, platform::Utf8ToCp932Literal("システムに､ メモリまたはリソースが足りません。"));
    // The comma is the half-width one (0xA4), one byte.
    EXPECT_NE(m.seen[1].text.find('\xA4'), std::string::npos);
    for (int code : {2, 3, 11, 26, 27, 28, 29, 30}) EXPECT_FALSE(ShellErrorText(code).empty()) << code;
    EXPECT_TRUE(ShellErrorText(1).empty());
}

TEST_F(LauncherTest, OpenWithProgramReportsAMissingProgramBeforeAnything) {
    Messages m;
    std::string program = Cp(t / "no/editor");
    OpenWithProgram(program, Cp(t / "also-missing.txt"));
    ASSERT_EQ(m.seen.size(), 1u);
    EXPECT_EQ(m.seen[0].kind, platform::TMsgKind::Error);
    EXPECT_EQ(m.seen[0].text, platform::Utf8ToCp932Literal("指定された実行ファイルが見つかりません。\n\n") + program);

    // A folder is not a program file, wherever it is named.
    std::string folder = Cp(t.MakeDir("tools"));
    OpenWithProgram(folder, Cp(t.Write("here.txt", "x")));
    ASSERT_EQ(m.seen.size(), 2u);
    EXPECT_EQ(m.seen[1].text, platform::Utf8ToCp932Literal("指定された実行ファイルが見つかりません。\n\n") + folder);
}

TEST_F(LauncherTest, OpenWithProgramReportsAMissingFileAndStartsNothing) {
    Messages m;
    std::string prog = MakeRecorder(t, "editor");
    std::string file = Cp(t / "gone.txt");
    OpenWithProgram(Cp(prog), file);
    ASSERT_EQ(m.seen.size(), 1u);
    EXPECT_EQ(m.seen[0].text, platform::Utf8ToCp932Literal("ファイルが見つかりません\n\n") + file);
    EXPECT_FALSE(Ran(prog));
}

TEST_F(LauncherTest, OpenWithProgramStartsTheProgramOrTheOpenProgram) {
    Messages m;
    std::string prog = MakeRecorder(t, "my tools/editor");
    std::string file = t.Write("out put/report 1.txt", "x");
    OpenWithProgram(Cp(prog), Cp(file));
    auto log = WaitForLog(prog);
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0], "1");
    EXPECT_EQ(log[1], file);

    std::string opener = MakeRecorder(t, "opener");
    EnvGuard env("VELMORAN_OPEN_PROGRAM", opener);
    OpenWithProgram("", Cp(file));
    EXPECT_EQ(WaitForLog(opener).at(1), file);
    EXPECT_TRUE(m.seen.empty());
}

// --- browser, editor, folder ---------------------------------------------------------------

TEST_F(LauncherTest, BrowserByDdeFallsBackToTheShellWhenNoBrowserRuns) {
    Messages m;
    std::string opener = MakeRecorder(t, "opener");
    std::string browser = MakeRecorder(t, "browser");
    EnvGuard env("VELMORAN_OPEN_PROGRAM", opener);
    std::string file = t.Write("page.htm", "x");
    EnvSettings.BrowserDDE = 1;
    OpenInBrowser(Cp(browser), Cp(file));
    EXPECT_EQ(WaitForLog(opener).at(1), file);
    EXPECT_FALSE(NetscapeRunning);
    EXPECT_FALSE(IERunning);
    EXPECT_FALSE(Ran(browser));

    // The existence of the file is left to the shell, which reports it.
    OpenInBrowser(Cp(browser), Cp(t / "gone.htm"));
    ASSERT_EQ(m.seen.size(), 1u);
    EXPECT_EQ(m.seen[0].text, ShellErrorText(2));
}

TEST_F(LauncherTest, BrowseUrlRoutesToTheRunningBrowsers) {
    std::string opener = MakeRecorder(t, "opener");
    EnvGuard env("VELMORAN_OPEN_PROGRAM", opener);
    std::string file = Cp(t.Write("page.htm", "x"));
    struct Case {
        bool netscape, ie;
        std::string association;
        bool answer;
        std::vector<std::string> expected;
    } cases[] = {
        {false, true, "C:\\Program Files\\Netscape\\netscape.exe", true, {"IEXPLORE"}},
        {true, true, "", true, {"NETSCAPE"}},
        {true, true, "C:\\ie\\IEXPLORE.EXE", true, {"IEXPLORE"}},
        {true, true, "C:\\ie\\IEXPLORE.EXE", false, {"IEXPLORE"}},  // one attempt only
        {true, false, "", false, {"NETSCAPE"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> tried;
        SetBrowserSeam({[&] {
                            NetscapeRunning = c.netscape;
                            IERunning = c.ie;
                        },
                        [&](const std::string&) { return c.association; },
                        [&](const std::string& service, const std::string& f) {
                            EXPECT_EQ(f, file);
                            tried.push_back(service);
                            return c.answer;
                        }});
        unlink((opener + ".log").c_str());
        BrowseURL(file);
        EXPECT_EQ(tried, c.expected) << c.association;
        // Only a failed attempt goes on to the shell.
        EXPECT_EQ(Ran(opener), !c.answer) << c.association;
    }
}

TEST_F(LauncherTest, EditorFallsBackToAKnownTextEditorThenToOpen) {
    Messages m;
    std::string file = t.Write("notes.txt", "x");
    std::string editor = MakeRecorder(t, "bin/" + SystemTextEditors().back());
    std::string opener = MakeRecorder(t, "opener");
    EnvGuard env("VELMORAN_OPEN_PROGRAM", opener);
    {
        EnvGuard path("PATH", t / "bin");
        OpenInEditor(Cp(file));
        EXPECT_EQ(WaitForLog(editor).at(1), file);
    }
    {
        EnvGuard path("PATH", t / "nothing");
        OpenInEditor(Cp(file));
        EXPECT_EQ(WaitForLog(opener).at(1), file);
    }
    EXPECT_TRUE(m.seen.empty());

    EnvGuard path("PATH", t / "nothing");
    EnvGuard none("VELMORAN_OPEN_PROGRAM", t / "no-opener");
    OpenInEditor(Cp(file));
    ASSERT_EQ(m.seen.size(), 1u);
    EXPECT_EQ(m.seen[0].kind, platform::TMsgKind::Error);
    EXPECT_EQ(m.seen[0].text, platform::Utf8ToCp932Literal(
                                  "指定されたファイル名拡張子には､ アプリケーションが関連付けられていません。"));
    // Nothing to open it with and no file: the file is reported first.
    OpenInEditor(Cp(t / "gone.txt"));
    ASSERT_EQ(m.seen.size(), 2u);
    EXPECT_EQ(m.seen[1].text, platform::Utf8ToCp932Literal("ファイルが見つかりません\n\n") + Cp(t / "gone.txt"));
}

TEST_F(LauncherTest, OpenFolderOpensTheFolderPart) {
    std::string opener = MakeRecorder(t, "opener");
    EnvGuard env("VELMORAN_OPEN_PROGRAM", opener);
    std::string file = t.Write("表/page.htm", "x");
    OpenFolder(Cp(file));
    EXPECT_EQ(WaitForLog(opener).at(1), t / "表/");
}
