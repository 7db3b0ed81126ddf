// The one record of every user option, with its defaults.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Text encoding assumed for pages; the first three are also the codes a
// page record stores.
enum DocEncoding : int32_t { Jis = 0, Euc = 1, Sjis = 2, Auto = 3 };

// The stored names of DocEncoding ("JIS", "EUC", "SJIS", "AUTO").
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
