#include "settings/Uenviron.h"

#include <limits.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/Encoding.h"
#include "platform/FileSystem.h"
#include "platform/OutputFile.h"
#include "platform/Profile.h"

TEnvSettings EnvSettings;

const char* DocEncodingName(int32_t code) {
    switch (code) {
        case Jis:
            return "JIS";
        case Euc:
            return "EUC";
        case Sjis:
            return "SJIS";
        case Auto:
            return "AUTO";
        case 4:
            return "UTF8";  // a page the modern reading read as UTF-8
        default:
            return "";
    }
}

std::vector<std::string> TEnvSettings::DefaultHtmlExtensions() { return {".htm", ".html"}; }

std::vector<std::string> TEnvSettings::DefaultHrefSkipPrefixes() {
    return {"/",     "#",       "http:", "ftp:",  "gopher:",   "mailto:", "news:",
            "nntp:", "telnet:", "wais:", "file:", "prospero:", "https:",  "clsid:"};
}

std::vector<std::string> TEnvSettings::DefaultImgSkipPrefixes() { return {"/", "http:"}; }

void ResetSettingsDefaults() {
    TEnvSettings fresh;
    fresh.MultiExec = EnvSettings.MultiExec;
    fresh.LnkFlag = EnvSettings.LnkFlag;
    fresh.BrowserDDE = EnvSettings.BrowserDDE;
    // Not stored in the file: these belong to the start-up, not to the reset.
    fresh.RestoreWindow = EnvSettings.RestoreWindow;
    fresh.NoShortcutSupport = EnvSettings.NoShortcutSupport;
    fresh.ImageInBrowser = EnvSettings.ImageInBrowser;
    EnvSettings = std::move(fresh);
}

void DetectShortcutSupport() { EnvSettings.NoShortcutSupport = false; }

// --- fixed tables ------------------------------------------------------------

int SpeedIndex(int32_t bps) {
    for (size_t i = 0; i < SpeedTable.size(); ++i)
        if (SpeedTable[i].Bps == bps) return static_cast<int>(i);
    return -1;
}

const std::string& SlowerSpeedsCaption() { return SJ("もっと遅い！"); }

const std::string& FileSizeDispCaption(int32_t mode) {
    static const std::string none;
    switch (mode) {
        case 0:
            return SJ("Byte 単位");
        case 1:
            return SJ("Byte/KB/MB 混在");
        case 2:
            return SJ("グラム単位");
        case 3:
            return SJ("グラム/キログラム/トン 混在");
        default:
            return none;
    }
}

// --- where the file lives ----------------------------------------------------

namespace {

const char* const kIniName = "VELMORAN.INI";

std::string Getenv(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

std::string ExeDir() {
    std::vector<char> buf(PATH_MAX + 1);
    ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size() - 1);
    if (n <= 0) return {};
    std::string exe(buf.data(), static_cast<size_t>(n));
    size_t slash = exe.rfind('/');
    return slash == std::string::npos ? std::string() : exe.substr(0, slash == 0 ? 1 : slash);
}

// The folder the program was started in: a relative VELMORAN_INI is taken
// against it, so that loading, which may change the current folder, does
// not send the next save elsewhere.
std::string ReadStartDir() {
    std::vector<char> buf(PATH_MAX + 1);
    return ::getcwd(buf.data(), buf.size()) ? std::string(buf.data()) : std::string("/");
}
const std::string g_startDir = ReadStartDir();

std::string HomeDir() {
    std::string home = Getenv("HOME");
    if (!home.empty()) return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return "/";
}

std::string JoinNative(const std::string& dir, const std::string& name) {
    return dir.empty() || dir.back() == '/' ? dir + name : dir + "/" + name;
}

}  // namespace

std::string SettingsFileNameFrom(const std::string& envIni, const std::string& exeDir, bool exeDirWritable,
                                 const std::string& xdgConfigHome, const std::string& home) {
    if (!envIni.empty()) return envIni;
    if (!exeDir.empty() && exeDirWritable) return JoinNative(exeDir, kIniName);
    // A relative XDG_CONFIG_HOME is invalid and is ignored, as the XDG rules say.
    std::string config = !xdgConfigHome.empty() && xdgConfigHome[0] == '/'
                             ? xdgConfigHome
                             : JoinNative(home.empty() ? "/" : home, ".config");
    return JoinNative(JoinNative(config, "velmoran"), kIniName);
}

bool IsInstalledProgramFolder(const std::string& exeDir) {
    std::string dir = exeDir;
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    const std::string bin = "/bin";
    if (dir.size() < bin.size() || dir.compare(dir.size() - bin.size(), bin.size(), bin) != 0) return false;
    struct stat st;
    std::string share = dir.substr(0, dir.size() - bin.size()) + "/share/velmoran";
    return ::stat(share.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string SettingsFileName() {
    std::string envIni = Getenv("VELMORAN_INI");
    if (!envIni.empty() && envIni[0] != '/') envIni = JoinNative(g_startDir, envIni);
    std::string exeDir, xdg, home;
    bool writable = false;
    if (envIni.empty()) {
        exeDir = ExeDir();
        writable = !exeDir.empty() && ::access(exeDir.c_str(), W_OK) == 0 && !IsInstalledProgramFolder(exeDir);
        if (!writable) {
            xdg = Getenv("XDG_CONFIG_HOME");
            home = HomeDir();
        }
    }
    std::string native = SettingsFileNameFrom(envIni, exeDir, writable, xdg, home);
    // A name without a CP932 form cannot be opened: it then acts as a file
    // that is missing and cannot be written.
    auto cp = platform::FromNative(native);
    return platform::ExpandFileName(cp ? *cp : platform::Utf8ToCp932(native), "/");
}

// --- reading ----------------------------------------------------------------

namespace {

const char* const kSystem = "SYSTEM";
const char* const kConfig = "CONFIG";
const char* const kOption = "OPTION";
const char* const kWwwc = "WWWC";
const char* const kPrograms = "PROGRAMS";
const char* const kHistory = "HTMLLIST";
const char* const kExtList = "EXTLIST";
const char* const kHrefSkip = "HTMLSKIPLIST";
const char* const kImgSkip = "IMGSKIPLIST";
const char* const kAliases = "ALIASLIST";
const char* const kExport = "EXPORT";

// Opens the settings file; false when there is none. A file that exists but
// cannot be read leaves ini empty, so every key reads as missing.
bool OpenSettingsFile(platform::TIniFile& ini) {
    ini.SetFileName(SettingsFileName());
    if (!platform::FileExists(ini.FileName())) return false;
    ini.Load();
    return true;
}

DocEncoding ParseDocEncoding(const std::string& name) {
    // Exact comparison: "sjis" is not "SJIS".
    if (name == "JIS") return Jis;
    if (name == "EUC") return Euc;
    if (name == "SJIS") return Sjis;
    return Auto;
}

// The speed-menu choice: a speed of the table keeps its entry, any other
// speed becomes the default entry.
void SelectSpeed(TEnvSettings& e) {
    int i = SpeedIndex(e.Bps);
    if (i < 0) i = SpeedIndex(DefaultBps);
    e.Bps = SpeedTable[static_cast<size_t>(i)].Bps;
    e.BpsCaption = SpeedTable[static_cast<size_t>(i)].Caption;
}

void ReadFile(const platform::TIniFile& ini, TSettingsWindow* window) {
    TEnvSettings& e = EnvSettings;

    std::string dir = ini.ReadString(kSystem, "CURRENTDIR", "");
    if (!dir.empty()) platform::SetCurrentDir(dir);  // a folder gone since is no matter
    // Files of every version are read alike.
    (void)ini.ReadString(kSystem, "VERSION", "");

    e.LinkEnabled = ini.ReadBool(kConfig, "LINKENABLED", false);
    // The hint mark is set for 0 and turned over once loading ends.
    e.ShowHint = ini.ReadInteger(kConfig, "SHOWHINT", 0) == 0;
    e.SortType = ini.ReadInteger(kConfig, "SORTTYPE", e.SortType);
    if (e.SortType < 0 || e.SortType > 2) e.SortType = 0;
    e.SortAscending = ini.ReadBool(kConfig, "SORTORDER", e.SortAscending);
    e.Bps = ini.ReadInteger(kConfig, "BPS", e.Bps);
    if (e.Bps < 75) e.Bps = DefaultBps;
    e.FileSizeDisp = ini.ReadInteger(kConfig, "FILESIZEDISP", e.FileSizeDisp);
    if (e.FileSizeDisp < 0 || e.FileSizeDisp >= FileSizeDispCount) e.FileSizeDisp = 0;
    e.SplitLine = ini.ReadBool(kConfig, "SPLITLINE", true);
    e.EscKeyAction = ini.ReadInteger(kConfig, "ESCKEY", e.EscKeyAction);
    e.MessageBeep = ini.ReadBool(kConfig, "MESSAGEBEEP", e.MessageBeep);
    e.MessageDialog = ini.ReadBool(kConfig, "MESSAGEDIALOG", e.MessageDialog);
    e.ErrorLogLimit = ini.ReadBool(kConfig, "ERRORLOGLIMIT", e.ErrorLogLimit);
    e.ErrorLogMax = ini.ReadInteger(kConfig, "ERRORLOGMAX", e.ErrorLogMax);
    e.DocumentEncoding = ParseDocEncoding(ini.ReadString(kConfig, "DOCUMENTENCODING", "AUTO"));
    e.Modern = ini.ReadBool(kConfig, "MODERN", false);

    e.FollowOtherFolders = ini.ReadBool(kOption, "ANOTHERFOLDER", e.FollowOtherFolders);

    e.WlsEnabled = ini.ReadBool(kWwwc, "Enabled", false);
    e.WlsFileName = ini.ReadString(kWwwc, "FileName", "");
    e.WlsKeepInfo = ini.ReadBool(kWwwc, "KeepInfo", true);
    e.WlsRemoveURL = ini.ReadBool(kWwwc, "RemoveURL", false);
    e.WwwcRunningCheck = ini.ReadBool(kWwwc, "Execute", true);

    e.BrowserProgram = ini.ReadString(kPrograms, "BROWSER", "");
    e.EditorProgram = ini.ReadString(kPrograms, "HTML", "");
    e.ImageProgram = ini.ReadString(kPrograms, "IMAGE", "");
    e.BrowserDDE = ini.ReadInteger(kPrograms, "BROWSERDDE", -1);
    if (e.BrowserDDE == -1) e.BrowserDDE = e.BrowserProgram.empty() ? 1 : 0;

    if (window) {
        window->LoadHistory(ini);
        if (e.RestoreWindow) window->ApplyWindowSection(ini);
        else window->ShowWindow();
        window->FillInputFromHistory();
    }

    e.HtmlExtensions = ReadStringList(ini, kExtList, "DATA");
    e.HrefSkipPrefixes = ReadStringList(ini, kHrefSkip, "DATA");
    e.HrefSkipEnabled = ini.ReadBool(kHrefSkip, "ENABLED", e.HrefSkipEnabled);
    e.ImgSkipPrefixes = ReadStringList(ini, kImgSkip, "DATA");
    e.ImgSkipEnabled = ini.ReadBool(kImgSkip, "ENABLED", e.ImgSkipEnabled);
    e.Aliases = ReadStringList(ini, kAliases, "SOU");
    e.AliasEnabled = ini.ReadBool(kAliases, "ENABLED", e.AliasEnabled);

    e.ExportUrlList = ini.ReadBool(kExport, "URLLIST", e.ExportUrlList);
    e.ExportHtmlList = ini.ReadBool(kExport, "HTMLIST", e.ExportHtmlList);
    e.ExportHtmlRes = ini.ReadBool(kExport, "HTMLRES", e.ExportHtmlRes);
    e.ExportOtherUrl = ini.ReadBool(kExport, "OTHERURL", e.ExportOtherUrl);
    e.ExportError = ini.ReadBool(kExport, "ERROR", e.ExportError);
    e.ExportShowConfig = ini.ReadBool(kExport, "SHOWCONFIG", e.ExportShowConfig);
    e.ExportUseTable = ini.ReadBool(kExport, "USETABLE", e.ExportUseTable);
}

}  // namespace

std::string ListKeyName(const char* prefix, size_t index) {
    char hex[24];
    std::snprintf(hex, sizeof hex, "%08zX", index);
    return std::string(prefix) + hex;
}

std::vector<std::string> ReadStringList(const platform::TIniFile& ini, const char* section, const char* prefix) {
    int32_t count = ini.ReadInteger(section, "COUNT", 0);
    if (count < 0) count = 0;
    if (count > MaxListEntries) count = MaxListEntries;
    std::vector<std::string> list;
    list.reserve(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i)
        list.push_back(ini.ReadString(section, ListKeyName(prefix, static_cast<size_t>(i)), ""));
    return list;
}

void WriteStringList(platform::TIniFile& ini, const char* section, const char* prefix,
                     const std::vector<std::string>& list) {
    ini.EraseSection(section);
    ini.WriteInteger(section, "COUNT", static_cast<int32_t>(list.size()));
    for (size_t i = 0; i < list.size(); ++i) ini.WriteString(section, ListKeyName(prefix, i), list[i]);
}

void ReadStartFlagsFrom(const platform::TIniFile* ini) {
    EnvSettings.MultiExec = ini ? ini->ReadBool(kSystem, "MULTIEXEC", false) : false;
    EnvSettings.LnkFlag = ini ? ini->ReadBool(kConfig, "LNKFLAG", true) : true;
}

void ReadStartFlags() {
    platform::TIniFile ini;
    bool exists = OpenSettingsFile(ini);
    ReadStartFlagsFrom(exists ? &ini : nullptr);
}

void LoadSettingsFrom(const platform::TIniFile* ini, TSettingsWindow* window) {
    ResetSettingsDefaults();
    // The hint mark starts cleared; the toggle at the end turns it over, so
    // with no file hints end up shown.
    EnvSettings.ShowHint = false;
    if (ini) ReadFile(*ini, window);
    else if (window) window->ApplyNoFile();
    SelectSpeed(EnvSettings);
    EnvSettings.ShowHint = !EnvSettings.ShowHint;
    if (window) window->LoadFinished();
}

void LoadSettings(TSettingsWindow* window) {
    platform::TIniFile ini;
    bool exists = OpenSettingsFile(ini);
    LoadSettingsFrom(exists ? &ini : nullptr, window);
}

// --- writing ----------------------------------------------------------------

void SaveSettingsTo(platform::TIniFile& ini, TSettingsWindow* window) {
    const TEnvSettings& e = EnvSettings;

    ini.WriteString(kSystem, "CURRENTDIR", platform::GetCurrentDir());
    ini.WriteString(kSystem, "VERSION", VersionText);

    ini.WriteBool(kConfig, "LINKENABLED", e.LinkEnabled);
    ini.WriteBool(kConfig, "SHOWHINT", e.ShowHint);
    ini.WriteInteger(kConfig, "SORTTYPE", e.SortType);
    ini.WriteBool(kConfig, "SORTORDER", e.SortAscending);
    ini.WriteInteger(kConfig, "BPS", e.Bps);
    ini.WriteInteger(kConfig, "FILESIZEDISP", e.FileSizeDisp);
    ini.WriteBool(kConfig, "SPLITLINE", e.SplitLine);
    ini.WriteInteger(kConfig, "ESCKEY", e.EscKeyAction);

    ini.WriteBool(kSystem, "MULTIEXEC", e.MultiExec);

    ini.WriteBool(kConfig, "LNKFLAG", e.LnkFlag);
    ini.WriteBool(kConfig, "MESSAGEBEEP", e.MessageBeep);
    ini.WriteBool(kConfig, "MESSAGEDIALOG", e.MessageDialog);
    ini.WriteBool(kConfig, "ERRORLOGLIMIT", e.ErrorLogLimit);
    ini.WriteInteger(kConfig, "ERRORLOGMAX", e.ErrorLogMax);
    ini.WriteString(kConfig, "DOCUMENTENCODING", DocEncodingName(e.DocumentEncoding));
    ini.WriteBool(kConfig, "MODERN", e.Modern);

    ini.WriteBool(kOption, "ANOTHERFOLDER", e.FollowOtherFolders);

    ini.WriteBool(kWwwc, "Enabled", e.WlsEnabled);
    ini.WriteString(kWwwc, "FileName", e.WlsFileName);
    ini.WriteBool(kWwwc, "KeepInfo", e.WlsKeepInfo);
    ini.WriteBool(kWwwc, "RemoveURL", e.WlsRemoveURL);
    ini.WriteBool(kWwwc, "Execute", e.WwwcRunningCheck);

    ini.WriteString(kPrograms, "BROWSER", e.BrowserProgram);
    ini.WriteString(kPrograms, "HTML", e.EditorProgram);
    ini.WriteString(kPrograms, "IMAGE", e.ImageProgram);
    ini.WriteInteger(kPrograms, "BROWSERDDE", e.BrowserDDE);

    if (window) {
        ini.EraseSection(kHistory);
        window->SaveHistory(ini);
        window->SaveWindowSection(ini);
    }

    WriteStringList(ini, kExtList, "DATA", e.HtmlExtensions);
    WriteStringList(ini, kHrefSkip, "DATA", e.HrefSkipPrefixes);
    ini.WriteBool(kHrefSkip, "ENABLED", e.HrefSkipEnabled);
    WriteStringList(ini, kImgSkip, "DATA", e.ImgSkipPrefixes);
    ini.WriteBool(kImgSkip, "ENABLED", e.ImgSkipEnabled);
    WriteStringList(ini, kAliases, "SOU", e.Aliases);
    ini.WriteBool(kAliases, "ENABLED", e.AliasEnabled);

    ini.WriteBool(kExport, "URLLIST", e.ExportUrlList);
    ini.WriteBool(kExport, "HTMLIST", e.ExportHtmlList);
    ini.WriteBool(kExport, "HTMLRES", e.ExportHtmlRes);
    ini.WriteBool(kExport, "OTHERURL", e.ExportOtherUrl);
    ini.WriteBool(kExport, "ERROR", e.ExportError);
    ini.WriteBool(kExport, "SHOWCONFIG", e.ExportShowConfig);
    ini.WriteBool(kExport, "USETABLE", e.ExportUseTable);
}

namespace {

// The list sections and the prefix of their entry keys.
struct TListSection {
    const char* section;
    const char* prefix;
};
const TListSection kListSections[] = {{kExtList, "DATA"}, {kHrefSkip, "DATA"}, {kImgSkip, "DATA"}, {kAliases, "SOU"}};

bool IsListEntryKey(const std::string& upperKey, const char* prefix) {
    const size_t n = std::strlen(prefix);
    if (upperKey.size() != n + 8 || upperKey.compare(0, n, prefix) != 0) return false;
    return std::all_of(upperKey.begin() + static_cast<std::ptrdiff_t>(n), upperKey.end(),
                       [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; });
}

}  // namespace

TOverrideCheck ParseSettingOverride(std::string_view text, TSettingOverride& out) {
    std::string name;
    if (!platform::TIniFile::SplitKeyLine(text, name, out.Value)) return TOverrideCheck::BadForm;
    const size_t slash = name.find('/');  // "/" (0x2F) is never a trail byte
    if (slash == std::string::npos) return TOverrideCheck::BadForm;
    out.Section = platform::TIniFile::TrimName(std::string_view(name).substr(0, slash));
    out.Key = platform::TIniFile::TrimName(std::string_view(name).substr(slash + 1));
    if (out.Section.empty() || out.Key.empty()) return TOverrideCheck::BadForm;

    // The keys known are the ones a save writes, so this cannot drift from
    // the reader; list entries beyond the current lists count too.
    platform::TIniFile known;
    SaveSettingsTo(known);
    if (!known.SectionExists(out.Section)) return TOverrideCheck::UnknownSection;
    if (known.ValueExists(out.Section, out.Key)) return TOverrideCheck::Ok;
    const std::string upperSection = platform::AnsiUpper(out.Section), upperKey = platform::AnsiUpper(out.Key);
    for (const TListSection& list : kListSections)
        if (upperSection == list.section && IsListEntryKey(upperKey, list.prefix)) return TOverrideCheck::Ok;
    return TOverrideCheck::UnknownKey;
}

platform::TResult SaveSettings(TSettingsWindow* window) {
    std::string name = SettingsFileName();
    auto fail = [&name](const std::string& reason = {}) {
        std::string text = SJ("設定ファイルを保存できません: ") + name;
        if (!reason.empty()) text += " (" + reason + ")";
        return platform::TResult::Failure(std::move(text));
    };
    auto native = platform::ToNative(name);
    if (!native) return fail();

    // A symlinked settings file is updated where it points, not replaced by
    // a plain file; a link that leads nowhere is left alone.
    struct stat st;
    if (::lstat(native->c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char* real = ::realpath(native->c_str(), nullptr);
        if (!real) return fail();
        *native = real;
        std::free(real);
        auto cp = platform::FromNative(*native);
        if (!cp) return fail();
        name = *cp;
    }

    platform::TIniFile ini;
    ini.SetFileName(name);
    // Read-only, of the file or of its folder, is judged by the mode bits
    // (as root every write would pass) as for every output the program writes.
    const std::string folder = platform::ExtractFilePath(name);
    if (platform::CheckOutputTarget(name) != platform::TOutputError::None) return fail();
    if (::stat(native->c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) return fail();
        // What cannot be read cannot be kept: leave the file as it is.
        if (!ini.Load()) return fail();
    } else {
        if (!folder.empty() && !platform::DirectoryExists(folder) && !platform::ForceDirectories(folder)) return fail();
    }
    SaveSettingsTo(ini, window);
    if (platform::TResult written = ini.UpdateFile(); !written) return fail(written.Error);
    return platform::TResult::Success();
}
