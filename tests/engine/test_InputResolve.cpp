#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/UInputResolve.h"
#include "platform/Dialogs.h"
#include "platform/Encoding.h"
#include "platform/FileSystem.h"
#include "platform/FrontEnd.h"
#include "settings/Uenviron.h"
#include "support/TempDir.h"

namespace {

void Put32(std::string& s, uint32_t v) {
    for (int i = 0; i < 4; ++i) s += static_cast<char>(v >> (8 * i) & 0xFF);
}

// The smallest shell shortcut with a local target path.
std::string ShortcutTo(const std::string& target) {
    std::string h(0x4C, '\0');
    h[0] = 0x4C;
    const unsigned char clsid[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                     0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
    for (int i = 0; i < 16; ++i) h[4 + i] = static_cast<char>(clsid[i]);
    h[0x14] = 0x02;  // has link info
    std::string strings = target + '\0' + '\0';
    std::string li;
    Put32(li, static_cast<uint32_t>(0x1C + strings.size()));
    Put32(li, 0x1C);
    Put32(li, 1);  // volume id and local base path
    Put32(li, 0);
    Put32(li, 0x1C);
    Put32(li, 0);
    Put32(li, static_cast<uint32_t>(0x1C + target.size() + 1));
    return h + li + strings + std::string(4, '\0');
}

class InputResolve : public ::testing::Test {
protected:
    void SetUp() override {
        EnvSettings = TEnvSettings{};
        oldCwd_ = platform::GetCurrentDir();
        base = *platform::FromNative(t.path());
        platform::FrontEnd().messageBox = [this](const platform::TMessageRequest& r) {
            boxes.push_back(r);
            return platform::TMsgResult::OK;
        };
        t.Write("site/a.html", "a");
        t.MakeDir("site/empty");
        t.MakeDir("other");
    }
    void TearDown() override {
        platform::SetCurrentDir(oldCwd_);
        EnvSettings = TEnvSettings{};
    }
    std::string P(const std::string& rel) const { return base + "/" + rel; }

    TempDir t;
    std::string base;
    std::vector<platform::TMessageRequest> boxes;

private:
    std::string oldCwd_;
    platform::TFrontEndScope frontEnd_;
};

TEST_F(InputResolve, TrimsAndTurnsFileAddressesIntoPaths) {
    TResolvedInput r = ResolveInput(" \t file://" + P("site/a.html") + " \r\n");
    EXPECT_EQ(r.Path, P("site/a.html"));
    EXPECT_TRUE(r.Exists);
    EXPECT_FALSE(r.IsFolder);
    EXPECT_EQ(platform::GetCurrentDir(), P("site"));

    EXPECT_EQ(ResolveInput(" \t\x01 ").Path, "");
    EXPECT_TRUE(boxes.empty());
}

TEST_F(InputResolve, RelativePathsAreExpandedAgainstTheCurrentFolder) {
    platform::SetCurrentDir(base);
    TResolvedInput r = ResolveInput("site/./a.html");
    EXPECT_EQ(r.Path, P("site/a.html"));
    EXPECT_EQ(platform::GetCurrentDir(), P("site"));
}

TEST_F(InputResolve, InternetAddressesAreRefusedWithAMessage) {
    for (const char* text : {"http://www.example.com/", "  HTTPS://x/y.html", "ftp://a/b"}) {
        boxes.clear();
        platform::SetCurrentDir(P("other"));
        TResolvedInput r = ResolveInput(text);
        EXPECT_EQ(r.Path, "") << text;
        EXPECT_TRUE(r.Refused);
        EXPECT_FALSE(r.Exists);
        EXPECT_EQ(r.Message, SJ("インターネットの先のファイルは計測できません"));
        EXPECT_TRUE(boxes.empty()) << "the front end shows it";
        // Nothing else changes.
        EXPECT_EQ(platform::GetCurrentDir(), P("other"));
    }
}

TEST_F(InputResolve, FoldersGetATrailingSeparatorAndBecomeTheCurrentFolder) {
    TResolvedInput r = ResolveInput(P("site/empty"));
    EXPECT_EQ(r.Path, P("site/empty/"));
    EXPECT_TRUE(r.IsFolder);
    EXPECT_TRUE(r.Exists);
    EXPECT_EQ(platform::GetCurrentDir(), P("site/empty"));

    r = ResolveInput(P("site/"));
    EXPECT_EQ(r.Path, P("site/"));
    EXPECT_TRUE(r.IsFolder);
}

TEST_F(InputResolve, MissingPathsStillMoveTheCurrentFolderWhenTheyCan) {
    TResolvedInput r = ResolveInput(P("site/none.html"));
    EXPECT_EQ(r.Path, P("site/none.html"));
    EXPECT_FALSE(r.Exists);
    EXPECT_EQ(platform::GetCurrentDir(), P("site"));

    platform::SetCurrentDir(P("other"));
    r = ResolveInput(P("gone/x.html"));
    EXPECT_EQ(r.Path, P("gone/x.html"));
    EXPECT_FALSE(r.Exists);
    EXPECT_EQ(platform::GetCurrentDir(), P("other"));
    EXPECT_TRUE(boxes.empty());
}

TEST_F(InputResolve, InternetShortcutFilesNameTheirTarget) {
    t.Write("local.url", "[InternetShortcut]\r\nURL=file://" + t.path() + "/site/a.html\r\n");
    t.Write("web.URL", "[InternetShortcut]\nURL=http://www.example.com/\n");
    t.Write("nokey.url", "[InternetShortcut]\nICONINDEX=0\n");
    t.Write("folder.Url", "[internetshortcut]\nurl=\"" + t.path() + "/site\"\n");

    TResolvedInput r = ResolveInput(P("local.url"));
    EXPECT_EQ(r.Path, P("site/a.html"));
    EXPECT_TRUE(r.Exists);

    r = ResolveInput(P("folder.Url"));
    EXPECT_EQ(r.Path, P("site/"));
    EXPECT_TRUE(r.IsFolder);

    r = ResolveInput(P("nokey.url"));
    EXPECT_EQ(r.Path, "");
    EXPECT_FALSE(r.Refused);
    EXPECT_TRUE(boxes.empty());

    // An address with a host and no path names nothing, and the current
    // folder must not be measured in its place.
    t.Write("hostonly.url", "[InternetShortcut]\nURL=file://localhost\n");
    ASSERT_TRUE(platform::SetCurrentDir(P("site")));
    r = ResolveInput(P("hostonly.url"));
    EXPECT_EQ(r.Path, "");
    EXPECT_FALSE(r.Exists);
    EXPECT_FALSE(r.IsFolder);
    EXPECT_FALSE(r.Refused);
    EXPECT_TRUE(boxes.empty());

    r = ResolveInput(P("web.URL"));
    EXPECT_EQ(r.Path, "");
    EXPECT_TRUE(r.Refused);
    EXPECT_FALSE(r.Message.empty());
}

// A relative address in the file used to come back relative while the
// current folder moved to its folder, so the run looked for another file
// than the one found and measured nothing.
TEST_F(InputResolve, InternetShortcutRelativeAddressesComeBackAsFullPaths) {
    t.Write("links/rel.url", "[InternetShortcut]\r\nURL=site/a.html\r\n");
    t.Write("links/relfolder.url", "[InternetShortcut]\r\nURL=site/../site\r\n");
    ASSERT_TRUE(platform::SetCurrentDir(base + "/"));

    TResolvedInput r = ResolveInput(P("links/rel.url"));
    EXPECT_EQ(r.Path, P("site/a.html"));
    EXPECT_TRUE(r.Exists);
    EXPECT_EQ(platform::GetCurrentDir(), P("site"));
    EXPECT_TRUE(platform::FileExists(r.Path));

    ASSERT_TRUE(platform::SetCurrentDir(base + "/"));
    r = ResolveInput(P("links/relfolder.url"));
    EXPECT_EQ(r.Path, P("site/"));
    EXPECT_TRUE(r.IsFolder);
}
TEST_F(InputResolve, ShellShortcutsAreFollowedOnlyWhenSwitchedOn) {
    t.Write("to-a.lnk", ShortcutTo(P("site/a.html")));
    EnvSettings.LnkFlag = true;
    EXPECT_EQ(ResolveInput(P("to-a.lnk")).Path, P("site/a.html"));

    EnvSettings.LnkFlag = false;
    EXPECT_EQ(ResolveInput(P("to-a.lnk")).Path, P("to-a.lnk"));

    EnvSettings.LnkFlag = true;
    EnvSettings.NoShortcutSupport = true;
    EXPECT_EQ(ResolveInput(P("to-a.lnk")).Path, P("to-a.lnk"));
}

TEST_F(InputResolve, DoubleByteNamesSurvive) {
    // 表 (95 5C) ends in the byte of "\"; ソ (83 5C) too.
    const std::string name = "\x95\x5C\x83\x5C";
    t.Write(*platform::ToNative("site/" + name + ".html"), "x");
    TResolvedInput r = ResolveInput("file://" + P("site/" + name + ".html"));
    EXPECT_EQ(r.Path, P("site/" + name + ".html"));
    EXPECT_TRUE(r.Exists);
}

}  // namespace
