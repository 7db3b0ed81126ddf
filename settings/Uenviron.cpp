#include "settings/Uenviron.h"

TEnvSettings EnvSettings;

const char* DocEncodingName(int32_t code) {
    switch (code) {
        case Jis: return "JIS";
        case Euc: return "EUC";
        case Sjis: return "SJIS";
        case Auto: return "AUTO";
        default: return "";
    }
}

std::vector<std::string> TEnvSettings::DefaultHtmlExtensions() { return {".htm", ".html"}; }

std::vector<std::string> TEnvSettings::DefaultHrefSkipPrefixes() {
    return {"/",     "#",     "http:", "ftp:",  "gopher:",   "mailto:", "news:",
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
