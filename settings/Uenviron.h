// The one record of every user option, with its defaults, and the settings
// file behind it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Result.h"

namespace platform {
class TIniFile;
}

// Text encoding assumed for pages; the first three are also the codes a
// page record stores.
enum DocEncoding : int32_t { Jis = 0, Euc = 1, Sjis = 2, Auto = 3 };

// The stored names of DocEncoding ("JIS", "EUC", "SJIS", "AUTO"), and "UTF8"
// for 4, the code of a page the modern reading read as UTF-8.
const char* DocEncodingName(int32_t code);

// All texts are CP932 bytes.
struct TEnvSettings {
    bool MultiExec = false;
    bool LinkEnabled = true;
    bool ShowHint = true;
    int32_t SortType = 0;
    bool SortAscending = false;
    int32_t Bps = 28800;
    std::string BpsCaption = "28,800 bps";
    int32_t FileSizeDisp = 0;
    bool SplitLine = true;
    int32_t EscKeyAction = 1;
    bool LnkFlag = true;
    bool MessageBeep = false;
    bool MessageDialog = false;
    bool ErrorLogLimit = true;
    int32_t ErrorLogMax = 100;
    DocEncoding DocumentEncoding = Auto;
    // Weigh pages by what a current browser loads (UTF-8, style sheets,
    // scripts, fonts, srcset) instead of the classic resource set.
    bool Modern = false;
    bool FollowOtherFolders = true;
    bool WlsEnabled = false;
    std::string WlsFileName;
    bool WlsKeepInfo = true;
    bool WlsRemoveURL = false;
    bool WwwcRunningCheck = true;
    std::string BrowserProgram;
    std::string EditorProgram;
    std::string ImageProgram;
    int32_t BrowserDDE = 1;
    std::vector<std::string> HtmlExtensions = DefaultHtmlExtensions();
    std::vector<std::string> HrefSkipPrefixes = DefaultHrefSkipPrefixes();
    bool HrefSkipEnabled = true;
    std::vector<std::string> ImgSkipPrefixes = DefaultImgSkipPrefixes();
    bool ImgSkipEnabled = true;
    std::vector<std::string> Aliases;
    bool AliasEnabled = true;
    bool ExportUrlList = true;
    bool ExportHtmlList = true;
    bool ExportHtmlRes = true;
    bool ExportOtherUrl = true;
    bool ExportError = true;
    bool ExportShowConfig = true;
    bool ExportUseTable = true;
    bool RestoreWindow = true;
    bool NoShortcutSupport = false;
    bool ImageInBrowser = false;

    static std::vector<std::string> DefaultHtmlExtensions();
    static std::vector<std::string> DefaultHrefSkipPrefixes();
    static std::vector<std::string> DefaultImgSkipPrefixes();
};

// The process-wide settings record.
extern TEnvSettings EnvSettings;

// Every stored field but MultiExec, LnkFlag and BrowserDDE back to its
// default, BpsCaption too, and the four lists refilled with their defaults.
void ResetSettingsDefaults();

// Shortcut support exists on every system this program runs on, so
// NoShortcutSupport stays false.
void DetectShortcutSupport();

// ---------------------------------------------------------------------------
// Fixed tables the window, the reports and the command line share.

// The program's name and version: the SYSTEM/VERSION value of the settings
// file, and the window's title.
inline constexpr const char* VersionText = "Velmoran Ver0.29 Beta 1.1";

// One entry of the line-speed menu: the speed in bits per second (its tag)
// and the caption reports print. The first seven sit in the "slower still"
// submenu.
struct TSpeedEntry {
    int32_t Bps;
    const char* Caption;
    bool Slower;
};
inline constexpr std::array<TSpeedEntry, 17> SpeedTable{{
    {75, "75 bps", true},
    {150, "150 bps", true},
    {300, "300 bps", true},
    {600, "600 bps", true},
    {1200, "1200 bps", true},
    {2400, "2400 bps", true},
    {4800, "4800 bps", true},
    {9600, "9,600 bps", false},
    {14400, "14,400 bps", false},
    {19200, "192,00 bps", false},  // the caption has always read so
    {28800, "28,800 bps", false},
    {33600, "33,600 bps", false},
    {56000, "56,000 bps", false},
    {64000, "64,000 bps", false},
    {128000, "128,000 bps", false},
    {1500000, "1.5M bps", false},
    {6000000, "6M bps", false},
}};
// The speed that stands in for any speed not in the table.
inline constexpr int32_t DefaultBps = 28800;

// Index into SpeedTable of that speed, or -1.
int SpeedIndex(int32_t bps);
// Caption of the "slower still" submenu: "もっと遅い！" (CP932).
const std::string& SlowerSpeedsCaption();
// Caption of a size display mode 0..3 (CP932): "Byte 単位", "Byte/KB/MB 混在",
// "グラム単位", "グラム/キログラム/トン 混在"; empty for any other mode.
const std::string& FileSizeDispCaption(int32_t mode);
inline constexpr int32_t FileSizeDispCount = 4;

// ---------------------------------------------------------------------------
// The settings file.

// True when the program folder is an installed layout (".../bin" beside a
// "share/velmoran" folder): such a folder belongs to the system's packages,
// so the settings go to the user's folder even when root could write there.
bool IsInstalledProgramFolder(const std::string& exeDir);

// Where the settings live (CP932): $VELMORAN_INI when set (a relative name
// is taken against the folder the program was started in); else VELMORAN.INI
// in the program's folder when that folder is writable and not an installed
// program folder; else
// $XDG_CONFIG_HOME/velmoran/VELMORAN.INI (XDG_CONFIG_HOME defaulting to
// ~/.config).
std::string SettingsFileName();
// The same choice from given facts (native UTF-8 texts, empty when unset),
// so that every branch can be tried.
std::string SettingsFileNameFrom(const std::string& envIni, const std::string& exeDir, bool exeDirWritable,
                                 const std::string& xdgConfigHome, const std::string& home);

// The main window's share of loading and saving. The core calls these at
// their places in the load and save order and hands over the open file, so
// the window reads and writes its own sections (HTMLLIST, WINDOW). Without a
// window those sections are neither read nor written and survive untouched.
class TSettingsWindow {
public:
    virtual ~TSettingsWindow() = default;
    // No settings file: give the list panels their first-start heights.
    virtual void ApplyNoFile() = 0;
    // Fill the re-open menu from HTMLLIST.
    virtual void LoadHistory(const platform::TIniFile& ini) = 0;
    // Only when EnvSettings.RestoreWindow: apply the WINDOW section, ending by
    // showing the window.
    virtual void ApplyWindowSection(const platform::TIniFile& ini) = 0;
    // When RestoreWindow is false: just show the window.
    virtual void ShowWindow() = 0;
    // Empty the input box, then offer the newest history entry in it.
    virtual void FillInputFromHistory() = 0;
    // Last of every load, file or not. EnvSettings already holds the final
    // Bps/BpsCaption (a speed of the table), FileSizeDisp (0..3), LinkEnabled
    // and ShowHint (the hint toggle already applied): put them on the menu
    // check marks, the link button and the hints, and refresh the status.
    virtual void LoadFinished() = 0;
    // HTMLLIST has just been erased: write COUNT and the entries
    // (WriteStringList serves).
    virtual void SaveHistory(platform::TIniFile& ini) = 0;
    // Write the WINDOW keys.
    virtual void SaveWindowSection(platform::TIniFile& ini) = 0;
};

// MULTIEXEC and LNKFLAG, read before anything else at start: from the file
// when it exists (defaults 0 and 1), else false and true.
void ReadStartFlags();
// The same from an open file; nullptr stands for "no settings file".
void ReadStartFlagsFrom(const platform::TIniFile* ini);

// Resets EnvSettings to its defaults, reads the settings file over them and
// corrects what is out of range. Never reports an error: a missing, unreadable
// or broken file gives defaults.
void LoadSettings(TSettingsWindow* window = nullptr);
// The same from an open file; nullptr stands for "no settings file".
void LoadSettingsFrom(const platform::TIniFile* ini, TSettingsWindow* window = nullptr);

// Writes every setting into the file, keeping what others wrote there, and
// replaces the file as a whole. A read-only or unreadable file, or a folder
// that cannot be written, is left as it was; the failure says why, and the
// window passes it over in silence.
platform::TResult SaveSettings(TSettingsWindow* window = nullptr);
// The writing alone, onto an open file.
void SaveSettingsTo(platform::TIniFile& ini, TSettingsWindow* window = nullptr);

// One override "SECTION/KEY=VALUE" (CP932), read as the settings file reads
// a "[SECTION]" line and a "KEY=VALUE" line: names and value trimmed of
// blanks, one pair of matching quotes taken off the value. The section and
// key must be ones the settings are read from (any entry key of a list
// section counts); the window's own sections are not among them.
struct TSettingOverride {
    std::string Section, Key, Value;
};
enum class TOverrideCheck { Ok, BadForm, UnknownSection, UnknownKey };
TOverrideCheck ParseSettingOverride(std::string_view text, TSettingOverride& out);

// A list section: COUNT and one key per entry, prefix plus the index in
// eight upper-case hex digits (DATA0000000A is the eleventh). Writing erases
// the section first, so no entry of a longer list stays behind.
std::string ListKeyName(const char* prefix, size_t index);
void WriteStringList(platform::TIniFile& ini, const char* section, const char* prefix,
                     const std::vector<std::string>& list);
// A negative COUNT reads as 0; a missing key gives an empty entry. Counts
// above MaxListEntries are cut there, so a broken COUNT cannot exhaust memory.
std::vector<std::string> ReadStringList(const platform::TIniFile& ini, const char* section, const char* prefix);
inline constexpr int32_t MaxListEntries = 100000;
