#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/Encoding.h"
#include "platform/FileSystem.h"
#include "platform/Profile.h"
#include "settings/Uenviron.h"
#include "support/TempDir.h"

namespace {

// Every test gets its own settings file through VELMORAN_INI, fresh settings
// and its current folder back afterwards (loading may change it).
class SettingsFile : public ::testing::Test {
protected:
    void SetUp() override {
        savedCwd_ = platform::GetCurrentDir();
        EnvSettings = TEnvSettings{};
        iniNative_ = t_ / "VELMORAN.INI";
        ::setenv("VELMORAN_INI", iniNative_.c_str(), 1);
    }
    void TearDown() override {
        platform::SetCurrentDir(savedCwd_);
        ::unsetenv("VELMORAN_INI");
        EnvSettings = TEnvSettings{};
    }

    void WriteIni(std::string_view bytes) { t_.Write("VELMORAN.INI", bytes); }
    std::string IniBytes() const { return ReadNative(iniNative_); }
    void LoadIni(std::string_view bytes) {
        WriteIni(bytes);
        LoadSettings();
    }
    std::string Cp(const std::string& native) const { return *platform::FromNative(native); }

    TempDir t_;
    std::string iniNative_;
    std::string savedCwd_;
};

// Every field the settings file stores. Left out on purpose: RestoreWindow
// (set by the start-up, never read from the file), NoShortcutSupport (detected
// at start) and ImageInBrowser (kept only for the process): none of them is
// written, so a file round trip cannot carry them.
void ExpectSameSettings(const TEnvSettings& a, const TEnvSettings& b) {
    EXPECT_EQ(a.MultiExec, b.MultiExec);
    EXPECT_EQ(a.LinkEnabled, b.LinkEnabled);
    EXPECT_EQ(a.ShowHint, b.ShowHint);
    EXPECT_EQ(a.SortType, b.SortType);
    EXPECT_EQ(a.SortAscending, b.SortAscending);
    EXPECT_EQ(a.Bps, b.Bps);
    EXPECT_EQ(a.BpsCaption, b.BpsCaption);
    EXPECT_EQ(a.FileSizeDisp, b.FileSizeDisp);
    EXPECT_EQ(a.SplitLine, b.SplitLine);
    EXPECT_EQ(a.EscKeyAction, b.EscKeyAction);
    EXPECT_EQ(a.LnkFlag, b.LnkFlag);
    EXPECT_EQ(a.MessageBeep, b.MessageBeep);
    EXPECT_EQ(a.MessageDialog, b.MessageDialog);
    EXPECT_EQ(a.ErrorLogLimit, b.ErrorLogLimit);
    EXPECT_EQ(a.ErrorLogMax, b.ErrorLogMax);
    EXPECT_EQ(a.DocumentEncoding, b.DocumentEncoding);
    EXPECT_EQ(a.Modern, b.Modern);
    EXPECT_EQ(a.FollowOtherFolders, b.FollowOtherFolders);
    EXPECT_EQ(a.WlsEnabled, b.WlsEnabled);
    EXPECT_EQ(a.WlsFileName, b.WlsFileName);
    EXPECT_EQ(a.WlsKeepInfo, b.WlsKeepInfo);
    EXPECT_EQ(a.WlsRemoveURL, b.WlsRemoveURL);
    EXPECT_EQ(a.WwwcRunningCheck, b.WwwcRunningCheck);
    EXPECT_EQ(a.BrowserProgram, b.BrowserProgram);
    EXPECT_EQ(a.EditorProgram, b.EditorProgram);
    EXPECT_EQ(a.ImageProgram, b.ImageProgram);
    EXPECT_EQ(a.BrowserDDE, b.BrowserDDE);
    EXPECT_EQ(a.HtmlExtensions, b.HtmlExtensions);
    EXPECT_EQ(a.HrefSkipPrefixes, b.HrefSkipPrefixes);
    EXPECT_EQ(a.HrefSkipEnabled, b.HrefSkipEnabled);
    EXPECT_EQ(a.ImgSkipPrefixes, b.ImgSkipPrefixes);
    EXPECT_EQ(a.ImgSkipEnabled, b.ImgSkipEnabled);
    EXPECT_EQ(a.Aliases, b.Aliases);
    EXPECT_EQ(a.AliasEnabled, b.AliasEnabled);
    EXPECT_EQ(a.ExportUrlList, b.ExportUrlList);
    EXPECT_EQ(a.ExportHtmlList, b.ExportHtmlList);
    EXPECT_EQ(a.ExportHtmlRes, b.ExportHtmlRes);
    EXPECT_EQ(a.ExportOtherUrl, b.ExportOtherUrl);
    EXPECT_EQ(a.ExportError, b.ExportError);
    EXPECT_EQ(a.ExportShowConfig, b.ExportShowConfig);
    EXPECT_EQ(a.ExportUseTable, b.ExportUseTable);
}

// ---------------------------------------------------------------------------
// Where the file lives

TEST(SettingsFileName, EnvironmentThenProgramFolderThenXdg) {
    EXPECT_EQ(SettingsFileNameFrom("/etc/v.ini", "/opt/v", true, "/x", "/home/u"), "/etc/v.ini");
    EXPECT_EQ(SettingsFileNameFrom("", "/opt/v", true, "/x", "/home/u"), "/opt/v/VELMORAN.INI");
    EXPECT_EQ(SettingsFileNameFrom("", "/", true, "", "/home/u"), "/VELMORAN.INI");
    EXPECT_EQ(SettingsFileNameFrom("", "/usr/bin", false, "/x/cfg", "/home/u"), "/x/cfg/velmoran/VELMORAN.INI");
    EXPECT_EQ(SettingsFileNameFrom("", "/usr/bin", false, "", "/home/u"), "/home/u/.config/velmoran/VELMORAN.INI");
    // A relative XDG_CONFIG_HOME is not valid and falls back to ~/.config.
    EXPECT_EQ(SettingsFileNameFrom("", "/usr/bin", false, "rel", "/home/u/"), "/home/u/.config/velmoran/VELMORAN.INI");
}

TEST(SettingsFileName, InstalledProgramFoldersAreNotSettingsFolders) {
    TempDir t;
    t.MakeDir("usr/bin");
    t.MakeDir("usr/share/velmoran");
    t.MakeDir("build");
    EXPECT_TRUE(IsInstalledProgramFolder(t / "usr/bin"));
    EXPECT_TRUE(IsInstalledProgramFolder(t / "usr/bin/"));
    EXPECT_FALSE(IsInstalledProgramFolder(t / "build"));
    t.MakeDir("opt/bin");  // a bin folder without the program's shared files
    EXPECT_FALSE(IsInstalledProgramFolder(t / "opt/bin"));
}

TEST_F(SettingsFile, NameFromTheEnvironmentIsCp932) {
    std::string native = t_ / "\xE8\xA8\xAD\xE5\xAE\x9A.ini";  // 設定.ini
    ::setenv("VELMORAN_INI", native.c_str(), 1);
    EXPECT_EQ(SettingsFileName(), Cp(native));
}

TEST_F(SettingsFile, RelativeNameDoesNotFollowTheCurrentFolder) {
    ::setenv("VELMORAN_INI", "sub/../rel.ini", 1);
    std::string before = SettingsFileName();
    ASSERT_TRUE(platform::SetCurrentDir(Cp(t_.path())));
    EXPECT_EQ(SettingsFileName(), before);
    EXPECT_EQ(before.front(), '/');
    EXPECT_EQ(platform::ExtractFileName(before), "rel.ini");
    EXPECT_EQ(before.find("/sub/"), std::string::npos);
}

// ---------------------------------------------------------------------------
// Loading

TEST_F(SettingsFile, NoFileGivesTheDefaults) {
    EnvSettings.LinkEnabled = false;
    EnvSettings.Bps = 300;
    EnvSettings.HtmlExtensions.clear();
    EnvSettings.MultiExec = true;
    EnvSettings.LnkFlag = false;
    ReadStartFlags();
    LoadSettings();
    ExpectSameSettings(EnvSettings, TEnvSettings{});
    EXPECT_TRUE(EnvSettings.ShowHint);
    EXPECT_TRUE(EnvSettings.LinkEnabled);
    EXPECT_EQ(EnvSettings.BpsCaption, "28,800 bps");
    EXPECT_EQ(EnvSettings.HrefSkipPrefixes.size(), 14u);
}

TEST_F(SettingsFile, OnlyAnEmptySystemSection) {
    LoadIni("[SYSTEM]\r\n");
    EXPECT_FALSE(EnvSettings.LinkEnabled);
    EXPECT_FALSE(EnvSettings.ShowHint);
    EXPECT_TRUE(EnvSettings.HtmlExtensions.empty());
    EXPECT_TRUE(EnvSettings.HrefSkipPrefixes.empty());
    EXPECT_TRUE(EnvSettings.ImgSkipPrefixes.empty());
    EXPECT_TRUE(EnvSettings.Aliases.empty());
    // Everything else keeps its default.
    EXPECT_TRUE(EnvSettings.HrefSkipEnabled);
    EXPECT_TRUE(EnvSettings.SplitLine);
    EXPECT_EQ(EnvSettings.Bps, 28800);
    EXPECT_EQ(EnvSettings.BrowserDDE, 1);
    EXPECT_EQ(EnvSettings.DocumentEncoding, Auto);
}

TEST_F(SettingsFile, LineSpeedCorrections) {
    struct Case {
        const char* value;
        int32_t bps;
        const char* caption;
    };
    const Case cases[] = {
        {"100", 28800, "28,800 bps"},  {"50", 28800, "28,800 bps"},      {"74", 28800, "28,800 bps"},
        {"75", 75, "75 bps"},          {"1500000", 1500000, "1.5M bps"}, {"19200", 19200, "192,00 bps"},
        {"0x2580", 9600, "9,600 bps"}, {"fast", 28800, "28,800 bps"},    {"-9600", 28800, "28,800 bps"},
    };
    for (const Case& c : cases) {
        LoadIni(std::string("[CONFIG]\r\nBPS=") + c.value + "\r\n");
        EXPECT_EQ(EnvSettings.Bps, c.bps) << c.value;
        EXPECT_EQ(EnvSettings.BpsCaption, c.caption) << c.value;
    }
}

TEST_F(SettingsFile, RangeCorrectionsAndEncodingNames) {
    LoadIni("[CONFIG]\nSORTTYPE=3\nFILESIZEDISP=7\nDOCUMENTENCODING=sjis\nESCKEY=9\nERRORLOGMAX=-4\n");
    EXPECT_EQ(EnvSettings.SortType, 0);
    EXPECT_EQ(EnvSettings.FileSizeDisp, 0);
    EXPECT_EQ(EnvSettings.DocumentEncoding, Auto);
    // These two are not range-checked.
    EXPECT_EQ(EnvSettings.EscKeyAction, 9);
    EXPECT_EQ(EnvSettings.ErrorLogMax, -4);

    LoadIni("[CONFIG]\nSORTTYPE=-1\nFILESIZEDISP=-1\nDOCUMENTENCODING=EUC\n");
    EXPECT_EQ(EnvSettings.SortType, 0);
    EXPECT_EQ(EnvSettings.FileSizeDisp, 0);
    EXPECT_EQ(EnvSettings.DocumentEncoding, Euc);

    LoadIni("[CONFIG]\nSORTTYPE=2\nFILESIZEDISP=3\nDOCUMENTENCODING=JIS\n");
    EXPECT_EQ(EnvSettings.SortType, 2);
    EXPECT_EQ(EnvSettings.FileSizeDisp, 3);
    EXPECT_EQ(EnvSettings.DocumentEncoding, Jis);

    LoadIni("[CONFIG]\nDOCUMENTENCODING=SJIS\n");
    EXPECT_EQ(EnvSettings.DocumentEncoding, Sjis);
    LoadIni("[CONFIG]\nDOCUMENTENCODING=Euc\n");
    EXPECT_EQ(EnvSettings.DocumentEncoding, Auto);
}

TEST_F(SettingsFile, HintAndLinkFlagsInAFile) {
    LoadIni("[CONFIG]\nSHOWHINT=1\nLINKENABLED=1\n");
    EXPECT_TRUE(EnvSettings.ShowHint);
    EXPECT_TRUE(EnvSettings.LinkEnabled);
    LoadIni("[CONFIG]\nSHOWHINT=0x10\n");
    EXPECT_TRUE(EnvSettings.ShowHint);
    EXPECT_FALSE(EnvSettings.LinkEnabled);
    LoadIni("[CONFIG]\nSHOWHINT=0\nLINKENABLED=0\n");
    EXPECT_FALSE(EnvSettings.ShowHint);
    EXPECT_FALSE(EnvSettings.LinkEnabled);
}

TEST_F(SettingsFile, BrowserDdeReadDefault) {
    LoadIni("[PROGRAMS]\nBROWSER=/usr/bin/firefox\n");
    EXPECT_EQ(EnvSettings.BrowserDDE, 0);
    LoadIni("[PROGRAMS]\nBROWSER=\n");
    EXPECT_EQ(EnvSettings.BrowserDDE, 1);
    LoadIni("[PROGRAMS]\nBROWSER=x\nBROWSERDDE=-1\n");
    EXPECT_EQ(EnvSettings.BrowserDDE, 0);
    // Any other value stays as it is.
    LoadIni("[PROGRAMS]\nBROWSERDDE=5\n");
    EXPECT_EQ(EnvSettings.BrowserDDE, 5);
    LoadIni("[PROGRAMS]\nBROWSERDDE=0\n");
    EXPECT_EQ(EnvSettings.BrowserDDE, 0);
}

TEST_F(SettingsFile, ListCountsAndMissingEntries) {
    LoadIni(
        "[EXTLIST]\nCOUNT=-3\nDATA00000000=.htm\n"
        "[HTMLSKIPLIST]\nCOUNT=2\nDATA00000000=mailto:\nENABLED=0\n"
        "[ALIASLIST]\nCOUNT=1\nDATA00000000=wrong prefix\nSOU00000000=/old/;/new/\n");
    EXPECT_TRUE(EnvSettings.HtmlExtensions.empty());
    EXPECT_EQ(EnvSettings.HrefSkipPrefixes, (std::vector<std::string>{"mailto:", ""}));
    EXPECT_FALSE(EnvSettings.HrefSkipEnabled);
    EXPECT_TRUE(EnvSettings.ImgSkipPrefixes.empty());
    EXPECT_TRUE(EnvSettings.ImgSkipEnabled);
    EXPECT_EQ(EnvSettings.Aliases, (std::vector<std::string>{"/old/;/new/"}));
}

TEST_F(SettingsFile, AHugeCountIsCutAndStaysQuick) {
    LoadIni("[EXTLIST]\nCOUNT=2147483647\nDATA00000000=.htm\n");
    ASSERT_EQ(EnvSettings.HtmlExtensions.size(), static_cast<size_t>(MaxListEntries));
    EXPECT_EQ(EnvSettings.HtmlExtensions[0], ".htm");
}

TEST_F(SettingsFile, StartFlags) {
    EnvSettings.MultiExec = true;
    EnvSettings.LnkFlag = false;
    WriteIni("[SYSTEM]\nMULTIEXEC=1\n");
    ReadStartFlags();
    EXPECT_TRUE(EnvSettings.MultiExec);
    EXPECT_TRUE(EnvSettings.LnkFlag);
    WriteIni("[CONFIG]\nLNKFLAG=0\n");
    ReadStartFlags();
    EXPECT_FALSE(EnvSettings.MultiExec);
    EXPECT_FALSE(EnvSettings.LnkFlag);
    // Loading the settings leaves the start flags as they were read.
    WriteIni("[SYSTEM]\nMULTIEXEC=0\n[CONFIG]\nLNKFLAG=1\n");
    LoadSettings();
    EXPECT_FALSE(EnvSettings.MultiExec);
    EXPECT_FALSE(EnvSettings.LnkFlag);
}

TEST_F(SettingsFile, CurrentFolderIsRestoredWhenItExists) {
    std::string dir = t_.MakeDir("\xE8\xA1\xA8");  // 表: 0x95 0x5C in CP932
    LoadIni("[SYSTEM]\r\nCURRENTDIR=" + Cp(dir) + "\r\n");
    EXPECT_EQ(platform::GetCurrentDir(), Cp(dir));
    LoadIni("[SYSTEM]\r\nCURRENTDIR=" + Cp(t_ / "gone") + "\r\n");
    EXPECT_EQ(platform::GetCurrentDir(), Cp(dir));
}

TEST_F(SettingsFile, HandBrokenFileLoadsWithoutHarm) {
    std::string bytes = "\xFF\xFE garbage\n[CONFIG\nBPS=\n=\n[CONFIG]\nBPS=9600xyz\nSORTTYPE=";
    bytes += std::string(10 * 1024 * 1024, '9');
    bytes += "\n";
    bytes += std::string("\0\x01\x02\x83", 4) + "\n";
    bytes += "[EXTLIST]\nCOUNT=-2147483648\n";
    bytes += "[HTMLSKIPLIST]\nCOUNT=0x7FFFFFFF0\nDATA00000000=" + std::string(3000, 'v') + "\n";
    bytes += "[IMGSKIPLIST]\r\nCOUNT=1\r\nDATA00000000=\x95";  // a lead byte cut off at the end
    WriteIni(bytes);
    LoadSettings();
    EXPECT_EQ(EnvSettings.Bps, 28800);
    EXPECT_EQ(EnvSettings.SortType, 0);
    EXPECT_TRUE(EnvSettings.HtmlExtensions.empty());
    EXPECT_TRUE(EnvSettings.HrefSkipPrefixes.empty());
    EXPECT_EQ(EnvSettings.ImgSkipPrefixes, (std::vector<std::string>{"\x95"}));
    // A save mends our keys and keeps the lines that are not ours.
    ASSERT_TRUE(SaveSettings());
    std::string saved = IniBytes();
    EXPECT_EQ(saved.find("\xFF\xFE garbage\r\n[CONFIG\r\nBPS=\r\n=\r\n[CONFIG]\r\nBPS=28800\r\nSORTTYPE=0\r\n"), 0u);
    EXPECT_NE(saved.find(std::string("\0\x01\x02\x83\r\n", 6)), std::string::npos);
    EXPECT_LT(saved.size(), 10000u);
}

TEST_F(SettingsFile, AFileThatCannotBeReadActsAsEmptyAndIsLeftAlone) {
    // A pipe exists but is never read: reading it could wait for ever.
    ASSERT_EQ(::mkfifo(iniNative_.c_str(), 0644), 0);
    LoadSettings();
    EXPECT_FALSE(EnvSettings.LinkEnabled);
    EXPECT_FALSE(EnvSettings.ShowHint);
    EXPECT_TRUE(EnvSettings.HtmlExtensions.empty());
    EXPECT_FALSE(SaveSettings());
    struct stat st;
    ASSERT_EQ(::lstat(iniNative_.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

// ---------------------------------------------------------------------------
// Saving

TEST_F(SettingsFile, FreshFileHasEverySectionAndKeyInOrder) {
    std::string dir = t_.MakeDir("cwd");
    ASSERT_TRUE(platform::SetCurrentDir(Cp(dir)));
    ASSERT_TRUE(SaveSettings());
    std::string expect =
        "[SYSTEM]\r\nCURRENTDIR=" + Cp(dir) +
        "\r\nVERSION=Velmoran Ver0.29 Beta 1.1\r\nMULTIEXEC=0\r\n"
        "[CONFIG]\r\nLINKENABLED=1\r\nSHOWHINT=1\r\nSORTTYPE=0\r\nSORTORDER=0\r\nBPS=28800\r\n"
        "FILESIZEDISP=0\r\nSPLITLINE=1\r\nESCKEY=1\r\nLNKFLAG=1\r\nMESSAGEBEEP=0\r\nMESSAGEDIALOG=0\r\n"
        "ERRORLOGLIMIT=1\r\nERRORLOGMAX=100\r\nDOCUMENTENCODING=AUTO\r\nMODERN=0\r\n"
        "[OPTION]\r\nANOTHERFOLDER=1\r\n"
        "[WWWC]\r\nEnabled=0\r\nFileName=\r\nKeepInfo=1\r\nRemoveURL=0\r\nExecute=1\r\n"
        "[PROGRAMS]\r\nBROWSER=\r\nHTML=\r\nIMAGE=\r\nBROWSERDDE=1\r\n"
        "[EXTLIST]\r\nCOUNT=2\r\nDATA00000000=.htm\r\nDATA00000001=.html\r\n"
        "[HTMLSKIPLIST]\r\nCOUNT=14\r\nDATA00000000=/\r\nDATA00000001=#\r\nDATA00000002=http:\r\n"
        "DATA00000003=ftp:\r\nDATA00000004=gopher:\r\nDATA00000005=mailto:\r\nDATA00000006=news:\r\n"
        "DATA00000007=nntp:\r\nDATA00000008=telnet:\r\nDATA00000009=wais:\r\nDATA0000000A=file:\r\n"
        "DATA0000000B=prospero:\r\nDATA0000000C=https:\r\nDATA0000000D=clsid:\r\nENABLED=1\r\n"
        "[IMGSKIPLIST]\r\nCOUNT=2\r\nDATA00000000=/\r\nDATA00000001=http:\r\nENABLED=1\r\n"
        "[ALIASLIST]\r\nCOUNT=0\r\nENABLED=1\r\n"
        "[EXPORT]\r\nURLLIST=1\r\nHTMLIST=1\r\nHTMLRES=1\r\nOTHERURL=1\r\nERROR=1\r\nSHOWCONFIG=1\r\n"
        "USETABLE=1\r\n";
    EXPECT_EQ(IniBytes(), expect);
}

TEST_F(SettingsFile, RoundTripKeepsEveryField) {
    const std::string jpDir = "/\x95\x5C/\x83\x7C\x83\x5C";  // /表/ポソ
    TEnvSettings& e = EnvSettings;
    e.MultiExec = true;
    e.LinkEnabled = false;
    e.ShowHint = false;
    e.SortType = 2;
    e.SortAscending = true;
    e.Bps = 19200;
    e.BpsCaption = "192,00 bps";
    e.FileSizeDisp = 3;
    e.SplitLine = false;
    e.EscKeyAction = 2;
    e.LnkFlag = false;
    e.MessageBeep = true;
    e.MessageDialog = true;
    e.ErrorLogLimit = false;
    e.ErrorLogMax = 1000;
    e.DocumentEncoding = Euc;
    e.Modern = true;
    e.FollowOtherFolders = false;
    e.WlsEnabled = true;
    e.WlsFileName = jpDir + "/items.wls";
    e.WlsKeepInfo = false;
    e.WlsRemoveURL = true;
    e.WwwcRunningCheck = false;
    e.BrowserProgram = jpDir + "/browser \"%1\"";
    e.EditorProgram = " leading blank";
    e.ImageProgram = "'quoted'";
    e.BrowserDDE = 0;
    e.HtmlExtensions.clear();
    for (int i = 0; i < 12; ++i) e.HtmlExtensions.push_back(".x" + std::to_string(i));
    e.HrefSkipPrefixes = {"#", "", "\x83\x7C"};
    e.HrefSkipEnabled = false;
    e.ImgSkipPrefixes = {"http:"};
    e.ImgSkipEnabled = false;
    e.Aliases = {"/old/;" + jpDir + "/", "a;b", "a;b"};
    e.AliasEnabled = false;
    e.ExportUrlList = false;
    e.ExportHtmlList = false;
    e.ExportHtmlRes = false;
    e.ExportOtherUrl = false;
    e.ExportError = false;
    e.ExportShowConfig = false;
    e.ExportUseTable = false;
    const TEnvSettings saved = e;
    ASSERT_TRUE(SaveSettings());

    std::string bytes = IniBytes();
    EXPECT_NE(bytes.find("\r\nDATA0000000A=.x10\r\nDATA0000000B=.x11\r\n"), std::string::npos);
    EXPECT_NE(bytes.find("[ALIASLIST]\r\nCOUNT=3\r\nSOU00000000=/old/;"), std::string::npos);
    EXPECT_NE(bytes.find("DOCUMENTENCODING=EUC\r\n"), std::string::npos);

    EnvSettings = TEnvSettings{};
    ReadStartFlags();
    LoadSettings();
    ExpectSameSettings(EnvSettings, saved);
}

TEST_F(SettingsFile, ShrunkListsLeaveNoStaleKeys) {
    EnvSettings.HtmlExtensions = {".a", ".b", ".c", ".d", ".e"};
    ASSERT_TRUE(SaveSettings());
    EXPECT_NE(IniBytes().find("DATA00000004=.e"), std::string::npos);
    EnvSettings.HtmlExtensions = {".a", ".b"};
    ASSERT_TRUE(SaveSettings());
    EXPECT_EQ(IniBytes().find("=.c"), std::string::npos);
    platform::TIniFile ini(Cp(iniNative_));
    EXPECT_FALSE(ini.ValueExists("EXTLIST", "DATA00000002"));
    EXPECT_EQ(ini.ReadInteger("EXTLIST", "COUNT", -1), 2);
}

TEST_F(SettingsFile, ForeignKeysAndWindowSectionsSurviveASaveWithoutWindow) {
    const std::string foreign =
        "; kept comment\r\n"
        "[MyTool]\r\nfoo = bar \r\n"
        "[CONFIG]\r\nCUSTOM=keep\r\nbps=300\r\n"
        "[HTMLLIST]\r\nCOUNT=1\r\nDATA00000000=/site/index.htm\r\n"
        "[WINDOW]\r\nTOP=5\r\nLEFT=6\r\n";
    WriteIni(foreign);
    LoadSettings();
    EXPECT_EQ(EnvSettings.Bps, 300);
    EnvSettings.Bps = 9600;
    ASSERT_TRUE(SaveSettings());
    std::string bytes = IniBytes();
    EXPECT_EQ(bytes.find("; kept comment\r\n[MyTool]\r\nfoo = bar \r\n[CONFIG]\r\nCUSTOM=keep\r\nbps=9600\r\n"), 0u);
    EXPECT_NE(bytes.find("[HTMLLIST]\r\nCOUNT=1\r\nDATA00000000=/site/index.htm\r\n[WINDOW]\r\nTOP=5\r\nLEFT=6\r\n"),
              std::string::npos);
    EXPECT_EQ(bytes.find("BPS="), std::string::npos);  // updated in place, not added
}

TEST_F(SettingsFile, ReadOnlyFileIsLeftByteIdentical) {
    const std::string original = "[CONFIG]\nBPS=1200\n";
    WriteIni(original);
    ASSERT_EQ(::chmod(iniNative_.c_str(), 0444), 0);
    LoadSettings();
    EnvSettings.Bps = 9600;
    EXPECT_FALSE(SaveSettings());
    EXPECT_EQ(IniBytes(), original);
    struct stat st;
    ASSERT_EQ(::stat(iniNative_.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0444u);
    // No temporary file is left beside it.
    std::vector<platform::DirEntry> entries;
    ASSERT_TRUE(platform::ListDirectory(Cp(t_.path()), entries));
    EXPECT_EQ(entries.size(), 1u);
}

TEST_F(SettingsFile, UnwritableFolderIsLeftAsItWas) {
    // Even root cannot create a folder below a plain file.
    t_.Write("plain", "x");
    std::string below = t_ / "plain/sub/VELMORAN.INI";
    ::setenv("VELMORAN_INI", below.c_str(), 1);
    EXPECT_FALSE(SaveSettings());
    EXPECT_EQ(ReadNative(t_ / "plain"), "x");
}

TEST_F(SettingsFile, ReadOnlyFolderIsLeftAsItWas) {
    // The folder's mode bits decide, as the file's do: root may write
    // anywhere, and the save replaces the file through its folder.
    const std::string original = "[CONFIG]\r\nBPS=1200\r\n";
    for (bool withFile : {true, false}) {
        std::string dir = t_.MakeDir(withFile ? "ro-file" : "ro-empty");
        std::string name = dir + "/VELMORAN.INI";
        if (withFile) t_.Write("ro-file/VELMORAN.INI", original);
        ::setenv("VELMORAN_INI", name.c_str(), 1);
        ASSERT_EQ(::chmod(dir.c_str(), 0555), 0);
        EnvSettings.Bps = 9600;
        EXPECT_FALSE(SaveSettings()) << dir;
        ASSERT_EQ(::chmod(dir.c_str(), 0755), 0);
        std::vector<platform::DirEntry> entries;
        ASSERT_TRUE(platform::ListDirectory(Cp(dir), entries));
        EXPECT_EQ(entries.size(), withFile ? 1u : 0u) << dir;  // no temporary file either
        if (withFile) {
            EXPECT_EQ(ReadNative(name), original);
        }
    }
}

TEST_F(SettingsFile, MissingFolderIsCreated) {
    std::string name = t_ / "config/velmoran/VELMORAN.INI";
    ::setenv("VELMORAN_INI", name.c_str(), 1);
    ASSERT_TRUE(SaveSettings());
    platform::TIniFile ini(Cp(name));
    EXPECT_EQ(ini.ReadString("SYSTEM", "VERSION", ""), VersionText);
}

TEST_F(SettingsFile, SymlinkedFileIsUpdatedWhereItPoints) {
    t_.MakeDir("real");
    std::string target = t_.Write("real/v.ini", "[X]\r\nY=1\r\n");
    ASSERT_EQ(::symlink(target.c_str(), iniNative_.c_str()), 0);
    ASSERT_TRUE(SaveSettings());
    struct stat st;
    ASSERT_EQ(::lstat(iniNative_.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    std::string bytes = ReadNative(target);
    EXPECT_EQ(bytes.find("[X]\r\nY=1\r\n[SYSTEM]\r\n"), 0u);
}

// ---------------------------------------------------------------------------
// The window's seam

class RecordingWindow : public TSettingsWindow {
public:
    std::vector<std::string> calls;
    int32_t bpsAtFinish = 0;
    std::string captionAtFinish;
    bool hintAtFinish = false;
    size_t extensionsAtHistory = 0;
    std::string historyRead;

    void ApplyNoFile() override { calls.push_back("ApplyNoFile"); }
    void LoadHistory(const platform::TIniFile& ini) override {
        calls.push_back("LoadHistory");
        historyRead = ini.ReadString("HTMLLIST", "DATA00000000", "");
        extensionsAtHistory = EnvSettings.HtmlExtensions.size();
    }
    void ApplyWindowSection(const platform::TIniFile& ini) override {
        calls.push_back("ApplyWindowSection:" + std::to_string(ini.ReadInteger("WINDOW", "TOP", -1)));
    }
    void ShowWindow() override { calls.push_back("ShowWindow"); }
    void FillInputFromHistory() override { calls.push_back("FillInputFromHistory"); }
    void LoadFinished() override {
        calls.push_back("LoadFinished");
        bpsAtFinish = EnvSettings.Bps;
        captionAtFinish = EnvSettings.BpsCaption;
        hintAtFinish = EnvSettings.ShowHint;
    }
    void SaveHistory(platform::TIniFile& ini) override {
        // The section was erased just before.
        calls.push_back("SaveHistory:" + std::to_string(ini.SectionExists("HTMLLIST")));
        WriteStringList(ini, "HTMLLIST", "DATA", {"/new.htm"});
    }
    void SaveWindowSection(platform::TIniFile& ini) override {
        calls.push_back("SaveWindowSection");
        ini.WriteInteger("WINDOW", "TOP", 42);
    }
};

TEST_F(SettingsFile, WindowIsCalledInLoadOrder) {
    WriteIni(
        "[CONFIG]\nBPS=100\nSHOWHINT=1\n[HTMLLIST]\nCOUNT=1\nDATA00000000=/h.htm\n"
        "[WINDOW]\nTOP=7\n[EXTLIST]\nCOUNT=0\n");
    RecordingWindow w;
    LoadSettings(&w);
    EXPECT_EQ(w.calls, (std::vector<std::string>{"LoadHistory", "ApplyWindowSection:7", "FillInputFromHistory",
                                                 "LoadFinished"}));
    EXPECT_EQ(w.historyRead, "/h.htm");
    // The lists are read after the history and the window.
    EXPECT_EQ(w.extensionsAtHistory, 2u);
    EXPECT_TRUE(EnvSettings.HtmlExtensions.empty());
    // The window gets the final speed and hint state.
    EXPECT_EQ(w.bpsAtFinish, 28800);
    EXPECT_EQ(w.captionAtFinish, "28,800 bps");
    EXPECT_TRUE(w.hintAtFinish);

    RecordingWindow second;
    EnvSettings.RestoreWindow = false;
    LoadSettings(&second);
    EXPECT_EQ(second.calls,
              (std::vector<std::string>{"LoadHistory", "ShowWindow", "FillInputFromHistory", "LoadFinished"}));
    EXPECT_FALSE(EnvSettings.RestoreWindow);
}

TEST_F(SettingsFile, WindowWithoutFile) {
    RecordingWindow w;
    LoadSettings(&w);
    EXPECT_EQ(w.calls, (std::vector<std::string>{"ApplyNoFile", "LoadFinished"}));
    EXPECT_TRUE(w.hintAtFinish);
}

TEST_F(SettingsFile, WindowWritesItsSectionsInSaveOrder) {
    WriteIni("[HTMLLIST]\r\nCOUNT=4\r\nDATA00000003=/stale.htm\r\n[WINDOW]\r\nTOP=1\r\nKEEP=1\r\n");
    RecordingWindow w;
    ASSERT_TRUE(SaveSettings(&w));
    EXPECT_EQ(w.calls, (std::vector<std::string>{"SaveHistory:0", "SaveWindowSection"}));
    std::string bytes = IniBytes();
    EXPECT_EQ(bytes.find("/stale.htm"), std::string::npos);
    // WINDOW is updated key by key: its other keys stay.
    EXPECT_EQ(bytes.find("[WINDOW]\r\nTOP=42\r\nKEEP=1\r\n"), 0u);
    size_t programs = bytes.find("[PROGRAMS]"), history = bytes.find("[HTMLLIST]\r\nCOUNT=1\r\nDATA00000000=/new.htm"),
           ext = bytes.find("[EXTLIST]");
    ASSERT_NE(history, std::string::npos);
    EXPECT_LT(programs, history);
    EXPECT_LT(history, ext);
}

}  // namespace
