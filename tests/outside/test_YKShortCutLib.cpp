#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <optional>
#include <vector>

#include "outside/YKShortCutLib.h"
#include "platform/Encoding.h"
#include "platform/FileSystem.h"
#include "support/TempDir.h"

namespace {

void Put16(std::string& s, uint32_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>(v >> 8 & 0xFF);
}
void Put32(std::string& s, uint32_t v) {
    Put16(s, v & 0xFFFF);
    Put16(s, v >> 16);
}

std::string Ansi(const std::string& utf8) { return *platform::Utf8ToCp932Strict(utf8); }

// UTF-8 -> UTF-16LE bytes, no terminator.
std::string Utf16(const std::string& utf8) {
    std::string out;
    for (size_t i = 0; i < utf8.size();) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        int n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        uint32_t cp = n == 1 ? c : c & (0x7F >> n);
        for (int k = 1; k < n; ++k) cp = cp << 6 | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        i += n;
        if (cp >= 0x10000) {
            Put16(out, 0xD800 + ((cp - 0x10000) >> 10));
            Put16(out, 0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            Put16(out, cp);
        }
    }
    return out;
}

// Writes .LNK files following the published layout. Texts are given as
// UTF-8 and stored as CP932 or UTF-16 as the file asks.
struct Lnk {
    bool unicode = false;
    bool hasIdList = false;
    std::string idList;  // raw item-id list, terminator included
    bool hasLinkInfo = false;
    std::optional<std::string> rawLinkInfo;  // replaces the generated one
    bool unicodeLinkInfo = false;            // Unicode forms win; ANSI forms then hold "/wrong"
    std::string localBase, suffix, netName;
    bool forceNoLinkInfo = false;
    std::optional<std::string> name, relative, workDir, args, icon;
    int32_t iconIndex = 0;
    uint32_t showCommand = 1;
    std::vector<std::string> extraBlocks;
    bool terminal = true;

    std::string LinkInfo() const {
        if (rawLinkInfo) return *rawLinkInfo;
        const bool local = !localBase.empty(), net = !netName.empty();
        const uint32_t hdr = unicodeLinkInfo ? 0x24 : 0x1C;
        auto ansi = [&](const std::string& s) { return (unicodeLinkInfo ? std::string("/wrong") : Ansi(s)) + '\0'; };
        std::string body;
        auto off = [&] { return static_cast<uint32_t>(hdr + body.size()); };
        uint32_t volOff = 0, baseOff = 0, netOff = 0, sufOff = 0, baseOffW = 0, sufOffW = 0;
        if (local) {
            volOff = off();
            for (uint32_t v : {0x11u, 3u, 0x1234u, 0x10u}) Put32(body, v);
            body += '\0';
            baseOff = off();
            body += ansi(localBase);
        }
        if (net) {
            netOff = off();
            std::string n = Ansi(netName) + '\0';
            for (uint32_t v : {static_cast<uint32_t>(0x14 + n.size()), 2u, 0x14u, 0u, 0u}) Put32(body, v);
            body += n;
        }
        sufOff = off();
        body += ansi(suffix);
        if (unicodeLinkInfo) {
            if (local) baseOffW = off(), body += Utf16(localBase) + std::string(2, '\0');
            sufOffW = off(), body += Utf16(suffix) + std::string(2, '\0');
        }
        std::string li;
        for (uint32_t v : {hdr + static_cast<uint32_t>(body.size()), hdr, (local ? 1u : 0u) | (net ? 2u : 0u), volOff,
                           baseOff, netOff, sufOff})
            Put32(li, v);
        if (unicodeLinkInfo) Put32(li, baseOffW), Put32(li, sufOffW);
        return li + body;
    }

    std::string Bytes() const {
        const std::optional<std::string>* strings[] = {&name, &relative, &workDir, &args, &icon};
        uint32_t flags =
            (hasIdList ? 0x1 : 0) | (hasLinkInfo ? 0x2 : 0) | (unicode ? 0x80 : 0) | (forceNoLinkInfo ? 0x100 : 0);
        for (int i = 0; i < 5; ++i)
            if (*strings[i]) flags |= 0x4u << i;
        std::string f;
        Put32(f, 0x4C);
        f += std::string("\x01\x14\x02\x00\x00\x00\x00\x00\xC0\x00\x00\x00\x00\x00\x00\x46", 16);
        Put32(f, flags);
        Put32(f, 0x20);
        f += std::string(28, '\0');  // three times and the file size
        Put32(f, static_cast<uint32_t>(iconIndex));
        Put32(f, showCommand);
        f += std::string(12, '\0');  // hot key and reserved
        if (hasIdList) Put16(f, static_cast<uint32_t>(idList.size())), f += idList;
        if (hasLinkInfo) f += LinkInfo();
        for (auto* s : strings) {
            if (!*s) continue;
            std::string b = unicode ? Utf16(**s) : Ansi(**s);
            Put16(f, static_cast<uint32_t>(unicode ? b.size() / 2 : b.size()));
            f += b;
        }
        for (const std::string& b : extraBlocks) f += b;
        if (terminal) Put32(f, 0);
        return f;
    }
};

std::string ExtraBlock(uint32_t signature, size_t payload) {
    std::string b;
    Put32(b, static_cast<uint32_t>(8 + payload));
    Put32(b, signature);
    return b + std::string(payload, 'x');
}

// A shortcut using every section.
Lnk RichLnk() {
    Lnk l;
    l.hasIdList = true;
    l.idList = std::string(
        "\x05\x00"
        "abc"
        "\x04\x00"
        "de"
        "\x00\x00",
        11);
    l.hasLinkInfo = true;
    l.localBase = "/srv/site/";
    l.suffix = "表\\ポ.htm";
    l.name = "説明";
    l.relative = "..\\x.htm";
    l.workDir = "C:\\work";
    l.args = "-a \"b\"";
    l.icon = "C:\\icon.ico";
    l.iconIndex = -3;
    l.showCommand = 3;
    l.extraBlocks = {ExtraBlock(0xA0000003, 0x50)};
    return l;
}

std::optional<TShortCutInfo> Parse(const std::string& bytes, std::string_view folder = {}) {
    TShortCutInfo info;
    if (!ParseShortcutBytes(bytes, info, folder)) return std::nullopt;
    return info;
}

std::string PathOf(const Lnk& l, std::string_view folder = "/home/u/links/") {
    auto info = Parse(l.Bytes(), folder);
    EXPECT_TRUE(info);
    return info ? info->Path : "<failed>";
}

TEST(ParseShortcut, AnsiFileWithEveryPart) {
    auto info = Parse(RichLnk().Bytes());
    ASSERT_TRUE(info);
    // 表 (95 5C) and ポ (83 7C) keep their trail bytes.
    EXPECT_EQ(info->Path, "/srv/site/\x95\x5C/\x83\x7C.htm");
    EXPECT_EQ(info->Description, Ansi("説明"));
    EXPECT_EQ(info->WorkingDirectory, "C:\\work");
    EXPECT_EQ(info->Arguments, "-a \"b\"");
    EXPECT_EQ(info->IconLocation, "C:\\icon.ico");
    EXPECT_EQ(info->IconIndex, -3);
    EXPECT_EQ(info->ShowState, 2);
}

TEST(ParseShortcut, UnicodeStringsAndLinkInfo) {
    Lnk l;
    l.unicode = true;
    l.hasLinkInfo = true;
    l.unicodeLinkInfo = true;
    l.localBase = "/srv/ユニ/";
    l.suffix = "a.htm";
    l.name = "café 😀";
    l.args = "表ポ";
    l.icon = "";
    auto info = Parse(l.Bytes());
    ASSERT_TRUE(info);
    EXPECT_EQ(info->Path, Ansi("/srv/ユニ/a.htm"));
    EXPECT_EQ(info->Description, "caf<U+00E9> <U+1F600>");
    EXPECT_EQ(info->Arguments, "\x95\x5C\x83\x7C");
    EXPECT_EQ(info->IconLocation, "");
}

TEST(ParseShortcut, ShowCommandMapping) {
    const std::pair<uint32_t, uint8_t> cases[] = {{1, 0}, {3, 2}, {7, 1}, {2, 0}, {0xFFFFFFFF, 0}};
    for (auto [cmd, state] : cases) {
        Lnk l;
        l.showCommand = cmd;
        auto info = Parse(l.Bytes());
        ASSERT_TRUE(info);
        EXPECT_EQ(info->ShowState, state) << cmd;
    }
}

TEST(ParseShortcut, WindowsTargetsFallBackToTheRelativePath) {
    Lnk drive;
    drive.hasLinkInfo = true;
    drive.localBase = "C:\\site\\a.htm";
    drive.relative = "..\\site\\a.htm";
    EXPECT_EQ(PathOf(drive), "/home/u/site/a.htm");
    EXPECT_EQ(PathOf(drive, ""), "C:/site/a.htm");
    drive.relative.reset();
    EXPECT_EQ(PathOf(drive), "C:/site/a.htm");

    Lnk net;
    net.hasLinkInfo = true;
    net.netName = "\\\\server\\share";
    net.suffix = "dir\\f.htm";
    EXPECT_EQ(PathOf(net), "//server/share/dir/f.htm");
    net.relative = "f.htm";
    EXPECT_EQ(PathOf(net), "/home/u/links/f.htm");

    Lnk relOnly;
    relOnly.relative = ".\\b.htm";
    EXPECT_EQ(PathOf(relOnly), "/home/u/links/b.htm");

    Lnk forced;
    forced.hasLinkInfo = true;
    forced.localBase = "/srv/x.htm";
    forced.forceNoLinkInfo = true;
    EXPECT_EQ(PathOf(forced), "");
    forced.relative = "y.htm";
    EXPECT_EQ(PathOf(forced), "/home/u/links/y.htm");
}

TEST(ParseShortcut, EmptySectionsAreAccepted) {
    auto bare = Parse(Lnk().Bytes());
    ASSERT_TRUE(bare);
    EXPECT_EQ(bare->Path, "");
    EXPECT_EQ(bare->Description, "");

    for (bool unicode : {false, true}) {
        Lnk l;
        l.unicode = unicode;
        l.hasIdList = true;
        l.idList = std::string(2, '\0');
        l.hasLinkInfo = true;  // neither a local nor a network path
        l.name = l.relative = l.workDir = l.args = l.icon = "";
        auto info = Parse(l.Bytes(), "/x/");
        ASSERT_TRUE(info) << unicode;
        // An empty relative path gives no fallback either.
        EXPECT_EQ(info->Path, "");
        EXPECT_EQ(info->Arguments, "");
    }
}

void ExpectRejected(const std::string& bytes, const char* what) {
    TShortCutInfo info;
    info.Path = "untouched";
    info.IconIndex = 42;
    EXPECT_FALSE(ParseShortcutBytes(bytes, info, "/x/")) << what;
    EXPECT_EQ(info.Path, "untouched") << what;
    EXPECT_EQ(info.IconIndex, 42) << what;
}

TEST(ParseShortcut, RejectsBadHeaders) {
    const std::string good = Lnk().Bytes();
    ExpectRejected("", "empty");
    ExpectRejected(good.substr(0, 75), "short header");
    std::string b = good;
    b[0] = 0x4D;
    ExpectRejected(b, "header size");
    b = good;
    b[19] = 0x47;
    ExpectRejected(b, "class id");
    ExpectRejected(std::string(200, '\0'), "zeros");
}

TEST(ParseShortcut, RejectsMalformedSections) {
    auto with = [](auto change) {
        Lnk l;
        change(l);
        return l.Bytes();
    };
    auto idList = [&](std::string list) {
        return with([&](Lnk& l) {
            l.hasIdList = true;
            l.idList = list;
        });
    };
    ExpectRejected(idList(std::string("\x10\x00"
                                      "ab\x00\x00",
                                      6)),
                   "item past list");
    ExpectRejected(idList(std::string("\x01\x00\x00\x00", 4)), "item size 1");
    ExpectRejected(idList(std::string("\x04\x00"
                                      "ab",
                                      4)),
                   "no list terminator");

    auto linkInfo = [&](std::string raw) {
        return with([&](Lnk& l) {
            l.hasLinkInfo = true;
            l.rawLinkInfo = raw;
        });
    };
    auto header = [](uint32_t size, uint32_t hdr, uint32_t flags, uint32_t baseOff, uint32_t netOff, uint32_t sufOff) {
        std::string s;
        for (uint32_t v : {size, hdr, flags, 0u, baseOff, netOff, sufOff}) Put32(s, v);
        return s;
    };
    ExpectRejected(linkInfo(std::string("\x03\0\0\0", 4)), "link info size 3");
    ExpectRejected(linkInfo(header(0x1B, 0x1C, 0, 0, 0, 0).substr(0, 0x1B)), "link info below its header");
    ExpectRejected(linkInfo(header(0x1C, 0x40, 0, 0, 0, 0)), "header size past link info");
    ExpectRejected(linkInfo(header(0x1E, 0x1C, 1, 0x40, 0, 0) + "a"), "base offset outside");
    ExpectRejected(linkInfo(header(0x1F, 0x1C, 1, 0x1C, 0, 0) + "abc"), "base without terminator");
    ExpectRejected(linkInfo(header(0x1F, 0x1C, 0, 0, 0, 0x1C) + "abc"), "suffix without terminator");
    ExpectRejected(linkInfo(header(0x20, 0x1C, 2, 0, 0x1C, 0) + "abcd"), "network part cut off");
    ExpectRejected(linkInfo(header(0x1C, 0x1C, 0, 0, 0, 0) + "more"), "link info longer than its size");

    ExpectRejected(with([](Lnk& l) { l.extraBlocks = {std::string("\x05\0\0\0x", 5)}; }), "extra block size 5");
    ExpectRejected(with([](Lnk& l) { l.extraBlocks = {ExtraBlock(1, 100).substr(0, 50)}; }), "extra block cut");
    ExpectRejected(with([](Lnk& l) { l.terminal = false; }), "no terminal block");
}

TEST(ParseShortcut, EveryTruncationIsRejected) {
    for (bool unicode : {false, true}) {
        Lnk l = RichLnk();
        l.unicode = unicode;
        l.unicodeLinkInfo = unicode;
        l.netName = "\\\\srv\\share";
        const std::string full = l.Bytes();
        ASSERT_TRUE(Parse(full));
        for (size_t n = 0; n < full.size(); ++n) {
            // An exactly sized copy, so that a read past the end leaves the buffer.
            std::string cut(full.data(), n);
            TShortCutInfo info;
            info.Path = "untouched";
            ASSERT_FALSE(ParseShortcutBytes(cut, info)) << "length " << n;
            ASSERT_EQ(info.Path, "untouched");
        }
    }
}

class ShortcutFiles : public ::testing::Test {
protected:
    std::string Cp(const std::string& native) const { return *platform::FromNative(native); }
    std::string WriteLnk(const std::string& rel, const Lnk& l) const { return Cp(t.Write(rel, l.Bytes())); }
    TempDir t;
    std::string base = Cp(t.path());
};

TEST_F(ShortcutFiles, ReadShortcutReadsOnlyRegularShortcutFiles) {
    t.Write("site/a.htm", "x");
    Lnk l;
    l.hasLinkInfo = true;
    l.localBase = "D:\\old\\site\\a.htm";
    l.relative = "..\\site\\a.htm";
    std::string lnk = WriteLnk("links/a.lnk", l);
    TShortCutInfo info;
    ASSERT_TRUE(ReadShortcut(lnk, info));
    EXPECT_EQ(info.Path, base + "/site/a.htm");
    EXPECT_EQ(GetShortcutTarget(lnk), base + "/site/a.htm");
    // Bytes after the terminal block do not matter.
    std::string padded = Cp(t.Write("links/padded.lnk", l.Bytes() + std::string(100, '\xFF')));
    EXPECT_EQ(GetShortcutTarget(padded), base + "/site/a.htm");

    info.Path = "untouched";
    std::string huge = Cp(t.Write("links/huge.lnk", l.Bytes() + std::string((1 << 20) + 1, '\0')));
    std::string folder = Cp(t.MakeDir("links/dir.lnk"));
    std::string fifo = base + "/links/fifo.lnk";
    ASSERT_EQ(mkfifo((t / "links/fifo.lnk").c_str(), 0600), 0);
    for (const std::string& p : {huge, folder, fifo, base + "/links/missing.lnk", std::string()}) {
        EXPECT_FALSE(ReadShortcut(p, info)) << p;
        EXPECT_EQ(GetShortcutTarget(p), "") << p;
    }
    EXPECT_EQ(info.Path, "untouched");
}

TEST_F(ShortcutFiles, ResolveInputPathFollowsOneLevel) {
    t.Write("site/a.htm", "x");
    Lnk toPage;
    toPage.hasLinkInfo = true;
    toPage.localBase = Cp(t.path()) + "/site/sub/../a.htm";
    const std::string page = base + "/site/a.htm";
    std::string lnk = WriteLnk("links/a.lnk", toPage);
    std::string upper = WriteLnk("links/UP.LnK", toPage);

    EXPECT_EQ(ResolveInputPath(lnk, true), page);
    EXPECT_EQ(ResolveInputPath(upper, true), page);
    EXPECT_EQ(ResolveInputPath(base + "/links/../links/a.lnk", false), lnk);
    EXPECT_EQ(ResolveInputPath(base + "/site/./a.htm", true), page);

    Lnk toLnk;
    toLnk.relative = "a.lnk";
    EXPECT_EQ(ResolveInputPath(WriteLnk("links/chain.lnk", toLnk), true), lnk);

    // Unusable shortcuts stand for themselves.
    std::string garbage = Cp(t.Write("links/garbage.lnk", "not a shortcut"));
    EXPECT_EQ(ResolveInputPath(garbage, true), garbage);
    std::string empty = WriteLnk("links/empty.lnk", Lnk());
    EXPECT_EQ(ResolveInputPath(empty, true), empty);

    // A drive target that cannot be mapped is shown as stored.
    Lnk drive;
    drive.hasLinkInfo = true;
    drive.localBase = "C:\\web\\index.html";
    EXPECT_EQ(ResolveInputPath(WriteLnk("links/drive.lnk", drive), true), "C:/web/index.html");
}

// Regenerates the fuzzer's seed corpus from the writer above:
//   velmoran_tests --gtest_also_run_disabled_tests --gtest_filter='*WriteFuzzSeeds*'
TEST(ParseShortcut, DISABLED_WriteFuzzSeeds) {
    Lnk unicode = RichLnk();
    unicode.unicode = unicode.unicodeLinkInfo = true;
    Lnk net;
    net.hasLinkInfo = true;
    net.netName = "\\\\server\\share";
    net.suffix = "dir\\f.htm";
    net.relative = "f.htm";
    const std::pair<const char*, Lnk> seeds[] = {
        {"rich-ansi.lnk", RichLnk()}, {"rich-unicode.lnk", unicode}, {"network.lnk", net}, {"bare.lnk", Lnk()}};
    for (const auto& [name, l] : seeds) {
        std::string bytes = l.Bytes();
        ASSERT_TRUE(Parse(bytes)) << name;
        std::ofstream(std::string(VELMORAN_SOURCE_DIR) + "/fuzz/corpus/lnk/" + name, std::ios::binary) << bytes;
    }
}

}  // namespace
