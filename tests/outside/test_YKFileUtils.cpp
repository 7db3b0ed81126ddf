#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <thread>

#include "outside/YKFileUtils.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Encoding.h"
#include "platform/FileSystem.h"
#include "platform/FrontEnd.h"
#include "support/TempDir.h"

namespace {

const std::string kHyo = "\x95\x5C";  // 表

// Sets an environment variable for the life of the object.
class EnvGuard {
public:
    EnvGuard(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value) setenv(name, value, 1);
        else unsetenv(name);
    }
    ~EnvGuard() {
        if (old_) setenv(name_, old_->c_str(), 1);
        else unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

// Answers the message boxes of one test.
struct BoxAnswers : platform::TFrontEndScope {
    explicit BoxAnswers(std::function<platform::TMsgResult(const platform::TMessageRequest&)> answer) {
        platform::FrontEnd().messageBox = std::move(answer);
    }
};

TEST(FindRealName, FindsEntriesByExactName) {
    TempDir t;
    t.Write("dir/page.htm", "x");
    std::string base = *platform::FromNative(t.path());
    EXPECT_EQ(FindRealName(base + "/dir/page.htm"), "page.htm");
    EXPECT_EQ(FindRealName(base + "/dir"), "dir");
    // Names are case-sensitive here.
    EXPECT_EQ(FindRealName(base + "/dir/PAGE.HTM"), "");
    EXPECT_EQ(FindRealName(base + "/dir/."), "");
    EXPECT_EQ(FindRealName(base + "/dir/"), "");
    EXPECT_EQ(FindRealName(base + "/nothing"), "");
}

TEST(FindRealName, MatchesWildcardsByCharacterInNameOrder) {
    TempDir t;
    t.Write("b.htm", "");
    t.Write("a.htm", "");
    t.Write("ab.htm", "");
    t.Write("表x.gif", "");
    std::string base = *platform::FromNative(t.path());
    EXPECT_EQ(FindRealName(base + "/*.htm"), "a.htm");
    EXPECT_EQ(FindRealName(base + "/?b.htm"), "ab.htm");
    // A double-byte character is one "?".
    EXPECT_EQ(FindRealName(base + "/?x.gif"), kHyo + "x.gif");
    EXPECT_EQ(FindRealName(base + "/" + kHyo + "*"), kHyo + "x.gif");
    // "*" must not stop inside 表 and match its trail byte as "\".
    EXPECT_EQ(FindRealName(base + "/*\\x.gif"), "");
    EXPECT_EQ(FindRealName(base + "/*.png"), "");
    // A name that really holds a wildcard character is found as itself.
    t.Write("x-y.htm", "");
    t.Write("x?y.htm", "");
    EXPECT_EQ(FindRealName(base + "/x?y.htm"), "x?y.htm");
    EXPECT_EQ(GetLongPath(base + "/x?y.htm"), base + "/x?y.htm");
    EXPECT_EQ(FindRealName(base + "/x*"), "x-y.htm");
    EXPECT_EQ(FindRealName(base + "/no/*.htm"), "");
}

TEST(GetLongPath, ExpandsFilesFoldersAndMissingPaths) {
    TempDir t;
    t.Write("dir/f.htm", "x");
    std::string base = *platform::FromNative(t.path());
    EXPECT_EQ(GetLongPath(base + "/dir/../dir/./f.htm"), base + "/dir/f.htm");
    EXPECT_EQ(GetLongPath(base + "/dir/./"), base + "/dir/");
    EXPECT_EQ(GetLongPath(base + "/x/../missing.htm"), base + "/missing.htm");
    EXPECT_EQ(GetLongPath(""), "");

    std::string saved = platform::GetCurrentDir();
    ASSERT_TRUE(platform::SetCurrentDir(base + "/dir"));
    std::string relative = GetLongPath("f.htm");
    platform::SetCurrentDir(saved);
    EXPECT_EQ(relative, base + "/dir/f.htm");
}

TEST(TempDirectory, ComesFromTmpdirWithTrailingSeparator) {
    const std::pair<const char*, std::string> cases[] = {{nullptr, "/tmp/"},
                                                         {"", "/tmp/"},
                                                         {"/var//x/../tmp", "/var/tmp/"},
                                                         {"/srv/\xE8\xA1\xA8/", "/srv/" + kHyo + "/"}};  // 表 in UTF-8
    for (const auto& [env, expected] : cases) {
        EnvGuard g("TMPDIR", env);
        EXPECT_EQ(platform::GetTempDirectory(), expected) << (env ? env : "(unset)");
    }
}

TEST(LocalTime, BreaksDownEpochSeconds) {
    EnvGuard tz("TZ", "UTC0");
    tzset();
    platform::TLocalTime lt = platform::LocalTimeAt(951825600 + 3723, 250);  // 2000-02-29 12:00 UTC + 1:02:03
    tzset();
    EXPECT_EQ(lt.year, 2000);
    EXPECT_EQ(lt.month, 2);
    EXPECT_EQ(lt.day, 29);
    EXPECT_EQ(lt.hour, 13);
    EXPECT_EQ(lt.minute, 2);
    EXPECT_EQ(lt.second, 3);
    EXPECT_EQ(lt.millisecond, 250);
    EXPECT_EQ(lt.dayOfWeek, 2);
}

class MakeTempFileNameTest : public ::testing::Test {
protected:
    TempDir t;
    std::string base = *platform::FromNative(t.path());
};

std::optional<uint32_t> HexStem(const std::string& name, const std::string& dir, const std::string& ext) {
    if (name.size() != dir.size() + 8 + ext.size() || name.compare(0, dir.size(), dir) != 0 ||
        name.compare(dir.size() + 8, std::string::npos, ext) != 0)
        return std::nullopt;
    std::string hex = name.substr(dir.size(), 8);
    if (hex.find_first_not_of("0123456789ABCDEF") != std::string::npos) return std::nullopt;
    return static_cast<uint32_t>(std::stoul(hex, nullptr, 16));
}

TEST_F(MakeTempFileNameTest, CountsPastEveryTakenName) {
    EnvGuard g("TMPDIR", t.path().c_str());
    // Names are taken a little ahead of the clock; the call is made once the
    // clock has entered the taken range.
    const uint32_t span = 400;
    const uint32_t first = platform::GetTickCount() + 1000;
    char hex[9];
    for (uint32_t i = 0; i < span; ++i) {
        std::snprintf(hex, sizeof hex, "%08X", static_cast<unsigned>(first + i));
        std::string rel = std::string(hex) + ".txt";
        if (i == span - 2) t.MakeDir(rel);  // a folder cannot be written as a file
        else if (i == span - 1) ASSERT_EQ(symlink("/nonexistent/target", (t / rel).c_str()), 0);
        else t.Write(rel, "");
    }
    while (static_cast<int32_t>(platform::GetTickCount() - first) < 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::string name = MakeTempFileName(".txt", true);
    const uint32_t after = platform::GetTickCount();
    auto stem = HexStem(name, base + "/", ".txt");
    ASSERT_TRUE(stem) << name;
    EXPECT_FALSE(platform::Stat(name).exists);
    // Unless the machine stalled past the range, the counter walked over all
    // of it, the folder and the dangling symlink included.
    if (after - first < span - 2) {
        EXPECT_EQ(*stem, first + span);
    }
}

TEST_F(MakeTempFileNameTest, MissingFolderIsCreatedOnYesOrWithoutAsking) {
    const std::string dir = base + "/a/b/c/";
    EnvGuard g("TMPDIR", (t.path() + "/a/b/c").c_str());
    std::optional<platform::TMessageRequest> seen;
    platform::TMsgResult answer = platform::TMsgResult::No;
    BoxAnswers h([&](const platform::TMessageRequest& r) {
        seen = r;
        return answer;
    });

    std::string name = MakeTempFileName(".htm", true);
    ASSERT_TRUE(seen);
    EXPECT_EQ(seen->kind, platform::TMsgKind::Warning);
    EXPECT_EQ(seen->buttons, platform::TMsgButtons::YesNo);
    EXPECT_EQ(seen->defaultButton, platform::TMsgResult::Yes);
    EXPECT_EQ(seen->text, platform::Utf8ToCp932("一時ファイルのためのディレクトリ \"") + dir +
                              platform::Utf8ToCp932("\" がありません。\nこのディレクトリを作成しますか？"));
    // Declined: nothing is created, the name is made all the same.
    EXPECT_FALSE(platform::DirectoryExists(dir));
    EXPECT_TRUE(HexStem(name, dir, ".htm")) << name;

    answer = platform::TMsgResult::Yes;
    seen.reset();
    name = MakeTempFileName(".htm", true);
    EXPECT_TRUE(seen);
    EXPECT_TRUE(platform::DirectoryExists(dir));
    EXPECT_TRUE(HexStem(name, dir, ".htm")) << name;

    // Existing folder: no question.
    seen.reset();
    MakeTempFileName(".htm", true);
    EXPECT_FALSE(seen);
}

TEST_F(MakeTempFileNameTest, WithoutAskingTheFolderIsCreatedSilently) {
    EnvGuard g("TMPDIR", (t.path() + "/x/y").c_str());
    bool asked = false;
    BoxAnswers h([&](const platform::TMessageRequest&) {
        asked = true;
        return platform::TMsgResult::No;
    });
    std::string name = MakeTempFileName(".txt", false);
    EXPECT_FALSE(asked);
    EXPECT_TRUE(platform::DirectoryExists(base + "/x/y"));
    EXPECT_TRUE(HexStem(name, base + "/x/y/", ".txt")) << name;
}

}  // namespace
