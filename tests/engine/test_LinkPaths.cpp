#include <gtest/gtest.h>

#include "engine/UDecodeHTML.h"
#include "platform/FileSystem.h"
#include "settings/Uenviron.h"
#include "support/TempDir.h"

namespace {

// 表 = 95 5C and ポ = 83 7C: their trail bytes are "\" and "|".
const std::string kHyo = "\x95\x5C";
const std::string kPo = "\x83\x7C";

std::string Strip(std::string s, bool expectRewritten = true) {
    EXPECT_EQ(StripFileURL(s), expectRewritten) << s;
    return s;
}

TEST(StripFileURL, RewritesFileAddressesToLocalPaths) {
    EXPECT_EQ(Strip("file:///srv/x.html"), "/srv/x.html");
    EXPECT_EQ(Strip("FILE://localhost/srv/x"), "/srv/x");
    EXPECT_EQ(Strip("File://localhost\\srv\\x.htm"), "/srv/x.htm");
    EXPECT_EQ(Strip("file:///C|/web/index.html"), "/C:/web/index.html");
    // The two-slash drive form: the drive is taken for a host.
    EXPECT_EQ(Strip("file://C:/x.htm"), "/x.htm");
    // A host with no path names nothing.
    EXPECT_EQ(Strip("file://host"), "");
    EXPECT_EQ(Strip("file:///srv/" + kHyo + "/" + kPo + ".htm"), "/srv/" + kHyo + "/" + kPo + ".htm");
    EXPECT_EQ(Strip("file:///srv\\" + kHyo + "\\" + kPo + "|.htm"), "/srv/" + kHyo + "/" + kPo + ":.htm");
}

TEST(StripFileURL, LeavesOtherFormsAlone) {
    EXPECT_EQ(Strip("file://", false), "file://");
    EXPECT_EQ(Strip("file:/x/y.htm", false), "file:/x/y.htm");
    EXPECT_EQ(Strip("http://x/y", false), "http://x/y");
    EXPECT_EQ(Strip("/srv/a|b\\c", false), "/srv/a|b\\c");
    EXPECT_EQ(Strip("", false), "");
}

class ResolveReferenceTest : public ::testing::Test {
protected:
    void SetUp() override {
        t.MakeDir("site/doc/sub");
        t.MakeDir("site/doc/表");
        base = *platform::FromNative(t.path());
        page = base + "/site/doc/p.html";
    }
    std::string Resolve(std::string ref) const {
        ResolveReference(ref, page);
        return ref;
    }
    TempDir t;
    std::string base, page;
};

TEST_F(ResolveReferenceTest, RelativeReferencesJoinThePageFolder) {
    EXPECT_EQ(Resolve("img/a.gif"), base + "/site/doc/img/a.gif");
    EXPECT_EQ(Resolve("../a.gif"), base + "/site/a.gif");
    EXPECT_EQ(Resolve("..\\a.gif"), base + "/site/a.gif");
    EXPECT_EQ(Resolve("./img/./b.gif"), base + "/site/doc/img/b.gif");
    // A drive path means nothing here: it is relative like any other name.
    EXPECT_EQ(Resolve("C:/web/a.gif"), base + "/site/doc/C:/web/a.gif");
    EXPECT_EQ(Resolve(""), "");
}

TEST_F(ResolveReferenceTest, ExistingFoldersGetOneTrailingSeparator) {
    EXPECT_EQ(Resolve("sub"), base + "/site/doc/sub/");
    EXPECT_EQ(Resolve("sub/"), base + "/site/doc/sub/");
    EXPECT_EQ(Resolve("..\\doc\\sub"), base + "/site/doc/sub/");
    EXPECT_EQ(Resolve(base + "/site/doc/sub"), base + "/site/doc/sub/");
    EXPECT_EQ(Resolve("missing"), base + "/site/doc/missing");
}

TEST_F(ResolveReferenceTest, AbsoluteAndFileFormsAreKeptAsWrittenOrExpanded) {
    EXPECT_EQ(Resolve("/img/a.gif"), "/img/a.gif");
    EXPECT_EQ(Resolve("\\img\\a.gif"), "/img/a.gif");
    EXPECT_EQ(Resolve("//server/x/../a.gif"), "//server/x/../a.gif");
    EXPECT_EQ(Resolve("file:C|/web/a.gif"), "C:/web/a.gif");
    EXPECT_EQ(Resolve("FILE:img/a.gif"), "img/a.gif");
    // The absolute "file:///" form names the expanded path.
    EXPECT_EQ(Resolve("file:///srv/x/../a.gif"), "/srv/a.gif");
    // Too short for the "file:" form: an ordinary relative name.
    EXPECT_EQ(Resolve("file:a"), base + "/site/doc/file:a");
}

TEST_F(ResolveReferenceTest, DoubleByteNamesSurvive) {
    // 表 is an existing folder; its trail byte must not split the path.
    EXPECT_EQ(Resolve(kHyo), base + "/site/doc/" + kHyo + "/");
    EXPECT_EQ(Resolve(kHyo + "\\" + kPo + ".gif"), base + "/site/doc/" + kHyo + "/" + kPo + ".gif");
    EXPECT_EQ(Resolve("..\\doc\\" + kPo + "|" + kHyo), base + "/site/doc/" + kPo + ":" + kHyo);
    std::string pageInDbFolder = base + "/site/doc/" + kHyo + "/p.html";
    std::string ref = "..\\" + kPo + ".gif";
    ResolveReference(ref, pageInDbFolder);
    EXPECT_EQ(ref, base + "/site/doc/" + kPo + ".gif");
}

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override { saved = EnvSettings; }
    void TearDown() override { EnvSettings = saved; }
    TEnvSettings saved;
};

using ReplaceAliasTest = SettingsTest;

TEST_F(ReplaceAliasTest, FirstMatchingSourceIsReplacedCaseInsensitively) {
    EnvSettings.Aliases = {"http://www.Example.com/;/srv/www/", "/im;/a/", "/img;/b/"};
    EXPECT_EQ(ReplaceAlias("HTTP://WWW.EXAMPLE.COM/Pics/x.GIF"), "/srv/www/Pics/x.GIF");
    // An earlier source that is a prefix of a later one hides it.
    EXPECT_EQ(ReplaceAlias("/img/a.gif"), "/a/g/a.gif");
    EXPECT_EQ(ReplaceAlias("img/a.gif"), "img/a.gif");
    EnvSettings.AliasEnabled = false;
    EXPECT_EQ(ReplaceAlias("/img/a.gif"), "/img/a.gif");
}

TEST_F(ReplaceAliasTest, MalformedEntriesNeverMatch) {
    EnvSettings.Aliases = {"/img", ";/empty-source/", "x;y;z"};
    EXPECT_EQ(ReplaceAlias("/img/a.gif"), "/img/a.gif");
    EXPECT_EQ(ReplaceAlias("a.gif"), "a.gif");
    // Split at the first ";": the rest belongs to the replacement.
    EXPECT_EQ(ReplaceAlias("X.gif"), "y;z.gif");
}

TEST_F(ReplaceAliasTest, DoubleByteSourcesCompareWholeCharacters) {
    // ャ (83 61) must not match ア (83 41): trail bytes are not letters.
    EnvSettings.Aliases = {"\x83\x61;/small/", kPo + kHyo + ";/dbl/"};
    EXPECT_EQ(ReplaceAlias("\x83\x41.gif"), "\x83\x41.gif");
    EXPECT_EQ(ReplaceAlias("\x83\x61.gif"), "/small/.gif");
    EXPECT_EQ(ReplaceAlias(kPo + kHyo + "/" + kHyo + ".gif"), "/dbl//" + kHyo + ".gif");
}

TEST_F(ReplaceAliasTest, RootAliasMapsSiteAbsoluteResourcesToAFolder) {
    EnvSettings.Aliases = {"/;/srv/Site/"};
    EnvSettings.ImgSkipPrefixes = {"http:"};
    std::string ref = "/img/a.gif";
    ASSERT_FALSE(IsImgSkip(ref));
    ref = ReplaceAlias(ref);
    EXPECT_EQ(ref, "/srv/Site/img/a.gif");
    ResolveReference(ref, "/srv/Site/doc/p.html");
    EXPECT_EQ(ref, "/srv/Site/img/a.gif");
}

using SkipListTest = SettingsTest;

TEST_F(SkipListTest, DefaultListsSkipSchemesFragmentsAndRootLinks) {
    ResetSettingsDefaults();
    for (const char* ref :
         {"/x.html", "#top", "HTTP://a", "Mailto:me@x", "news:x", "file:///srv/a", "clsid:1", "https://a"})
        EXPECT_TRUE(IsHrefSkip(ref)) << ref;
    for (const char* ref : {"page.html", "javascript:x()", "http", "sub/#top", ""})
        EXPECT_FALSE(IsHrefSkip(ref)) << ref;
    EXPECT_TRUE(IsImgSkip("/a.gif"));
    EXPECT_TRUE(IsImgSkip("Http://a/b.gif"));
    EXPECT_FALSE(IsImgSkip("https://a/b.gif"));
    EXPECT_FALSE(IsImgSkip("img/a.gif"));
}

TEST_F(SkipListTest, SwitchesAndEntryCase) {
    EnvSettings.HrefSkipPrefixes = {"MAILTO:"};
    EnvSettings.ImgSkipPrefixes = {"cid:"};
    EXPECT_TRUE(IsHrefSkip("mailto:x"));
    EXPECT_TRUE(IsImgSkip("CID:part1"));
    EnvSettings.HrefSkipEnabled = false;
    EnvSettings.ImgSkipEnabled = false;
    EXPECT_FALSE(IsHrefSkip("mailto:x"));
    EXPECT_FALSE(IsImgSkip("CID:part1"));
    // An empty entry matches every reference, the empty one included.
    EnvSettings.HrefSkipEnabled = true;
    EnvSettings.HrefSkipPrefixes = {""};
    EXPECT_TRUE(IsHrefSkip("anything.html"));
    EXPECT_TRUE(IsHrefSkip(""));
}

}  // namespace
