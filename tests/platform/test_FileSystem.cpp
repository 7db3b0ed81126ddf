#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Encoding.h"
#include "platform/FileSystem.h"
#include "platform/OutputFile.h"
#include "support/TempDir.h"

using namespace platform;

namespace {

TEST(FileSystem, ExpandFileNameIsLexical) {
    EXPECT_EQ(ExpandFileName("a/b/../c.htm", "/site"), "/site/a/c.htm");
    EXPECT_EQ(ExpandFileName("./x/./y/", "/site/"), "/site/x/y/");
    EXPECT_EQ(ExpandFileName("/abs//p/../q", "/ignored"), "/abs/q");
    EXPECT_EQ(ExpandFileName("../../../..", "/a"), "/");
    EXPECT_EQ(ExpandFileName("sub/.", "/a"), "/a/sub");
    // Double-byte names pass through untouched.
    EXPECT_EQ(ExpandFileName("\x95\x5C/../\x83\x7C.htm", "/s"), "/s/\x83\x7C.htm");
}

TEST(FileSystem, PathPieces) {
    EXPECT_EQ(ExtractFilePath("/a/b.htm"), "/a/");
    EXPECT_EQ(ExtractFilePath("b.htm"), "");
    EXPECT_EQ(ExtractFileName("/a/b.htm"), "b.htm");
    EXPECT_EQ(ExtractFileExt("/a.d/b"), "");
    EXPECT_EQ(ExtractFileExt("/a/b.tar.GZ"), ".GZ");
    EXPECT_EQ(IncludeTrailingSeparator("/a"), "/a/");
    EXPECT_EQ(IncludeTrailingSeparator("/a/"), "/a/");
}

TEST(FileSystem, ListsSortedByCp932BytesAndFlagsForeignNames) {
    TempDir t;
    t.Write("b.htm", "x");
    t.Write("A.htm", "xy");
    t.Write("表.htm", "xyz");        // CP932 95 5C sorts after ASCII
    t.Write("caf\xC3\xA9.htm", "");  // é has no CP932 form
    t.MakeDir("sub");
    std::vector<DirEntry> es;
    ASSERT_TRUE(ListDirectory(*FromNative(t.path()), es));
    ASSERT_EQ(es.size(), 5u);
    EXPECT_EQ(es[0].name, "A.htm");
    EXPECT_EQ(es[0].size, 2);
    EXPECT_EQ(es[1].name, "b.htm");
    EXPECT_EQ(es[2].name, "caf<U+00E9>.htm");
    EXPECT_FALSE(es[2].nameConverts);
    EXPECT_EQ(es[2].nativeName, "caf\xC3\xA9.htm");
    EXPECT_EQ(es[3].name, "sub");
    EXPECT_TRUE(es[3].isDir);
    EXPECT_EQ(es[4].name, "\x95\x5C.htm");
    EXPECT_FALSE(ListDirectory("/no/such/folder", es));
}

TEST(FileSystem, StatAndRead) {
    TempDir t;
    std::string base = *FromNative(t.path());
    t.Write("表/p.htm", "hello");
    EXPECT_TRUE(DirectoryExists(base + "/\x95\x5C"));
    EXPECT_TRUE(FileExists(base + "/\x95\x5C/p.htm"));
    EXPECT_FALSE(FileExists(base + "/\x95\x5C"));
    EXPECT_EQ(Stat(base + "/\x95\x5C/p.htm").size, 5);
    std::string data;
    bool openFailed = false;
    ASSERT_TRUE(ReadWholeFile(base + "/\x95\x5C/p.htm", data, &openFailed));
    EXPECT_EQ(data, "hello");
    EXPECT_FALSE(ReadWholeFile(base + "/none", data, &openFailed));
    EXPECT_TRUE(openFailed);
    EXPECT_FALSE(ReadWholeFile(base + "/\x95\x5C", data, &openFailed));
    EXPECT_TRUE(openFailed);
    // Invalid CP932 cannot name a file.
    EXPECT_FALSE(Stat(base + "/\x88").exists);
    // A dangling symlink is a name that is not a folder.
    ASSERT_EQ(symlink((t / "gone").c_str(), (t / "dangling").c_str()), 0);
    EXPECT_TRUE(FileExists(base + "/dangling"));
}

TEST(FileSystem, AtomicWriteReplacesWholeFileAndKeepsMode) {
    TempDir t;
    std::string p = *FromNative(t.Write("s.ini", "old"));
    chmod((t / "s.ini").c_str(), 0640);
    const platform::TResult written = WriteFileAtomic(p, "new contents");
    ASSERT_TRUE(written) << written.Error;
    EXPECT_EQ(ReadNative(t / "s.ini"), "new contents");
    struct stat st;
    ASSERT_EQ(stat((t / "s.ini").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    // No temporary file is left behind.
    std::vector<DirEntry> es;
    ASSERT_TRUE(ListDirectory(*FromNative(t.path()), es));
    EXPECT_EQ(es.size(), 1u);
}

TEST(FileSystem, AtomicWriteThroughASymlinkReplacesItsTarget) {
    TempDir t;
    const std::string target = t.Write("real/report.txt", "old");
    ASSERT_EQ(symlink(target.c_str(), (t / "link.txt").c_str()), 0);
    platform::TResult written = WriteFileAtomic(*FromNative(t / "link.txt"), "new");
    ASSERT_TRUE(written) << written.Error;
    struct stat st;
    ASSERT_EQ(lstat((t / "link.txt").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(ReadNative(target), "new");
    // A link leading nowhere is replaced by the file itself.
    ASSERT_EQ(symlink((t / "nowhere").c_str(), (t / "dangling.txt").c_str()), 0);
    written = WriteFileAtomic(*FromNative(t / "dangling.txt"), "made");
    ASSERT_TRUE(written) << written.Error;
    ASSERT_EQ(lstat((t / "dangling.txt").c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(ReadNative(t / "dangling.txt"), "made");
}

TEST(FileSystem, CurrentDirAndForceDirectories) {
    TempDir t;
    std::string base = *FromNative(t.path());
    std::string keep = GetCurrentDir();
    ASSERT_TRUE(ForceDirectories(base + "/x/y/z/"));
    EXPECT_TRUE(DirectoryExists(base + "/x/y/z"));
    ASSERT_TRUE(SetCurrentDir(base + "/x/"));
    EXPECT_EQ(GetCurrentDir(), base + "/x");
    EXPECT_EQ(ExpandFileName("y/../p.htm"), base + "/x/p.htm");
    EXPECT_FALSE(SetCurrentDir(base + "/none"));
    EXPECT_EQ(GetCurrentDir(), base + "/x");
    SetCurrentDir(keep);
}

}  // namespace
