#include "engine/UInputResolve.h"

#include "engine/UDecodeHTML.h"
#include "outside/YKShortCutLib.h"
#include "platform/Encoding.h"
#include "platform/FileSystem.h"
#include "platform/Profile.h"
#include "settings/Uenviron.h"

namespace {

// Blanks and control characters at both ends; neither can be the trail
// byte of a double-byte character.
std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
    return s.substr(b, e - b);
}

bool IsInternetAddress(const std::string& s) { return platform::SjisFindText(s, "://") != std::string::npos; }

TResolvedInput Refuse() {
    TResolvedInput r;
    r.Refused = true;
    r.Message = SJ("インターネットの先のファイルは計測できません");
    return r;
}

}  // namespace

TResolvedInput ResolveInput(const std::string& text) {
    TResolvedInput r;
    std::string path = Trim(text);
    if (path.empty()) return r;
    StripFileURL(path);
    if (IsInternetAddress(path)) return Refuse();

    path = ResolveInputPath(path, EnvSettings.LnkFlag && !EnvSettings.NoShortcutSupport);
    if (path.empty()) return r;

    // Internet-shortcut files name their target in an INI-format file.
    if (platform::SameTextSjis(platform::ExtractFileExt(path), ".URL")) {
        platform::TIniFile ini(path);
        path = ini.ReadString("InternetShortcut", "URL", "");
        if (path.empty()) return r;
        StripFileURL(path);
        if (IsInternetAddress(path)) return Refuse();
        // "file://host" names no file; expanding the empty rest would make
        // the run measure whatever the current folder holds.
        if (path.empty()) return r;
        // A relative address is taken against the current folder, like a
        // typed path; expanded now, so that moving the current folder below
        // cannot make the run measure another file than the one found.
        path = platform::ExpandFileName(path);
    }

    if (!platform::FileExists(path)) {
        std::string folder = platform::IncludeTrailingSeparator(path);
        if (platform::DirectoryExists(folder)) {
            path = std::move(folder);
            r.IsFolder = true;
        }
    }
    r.Exists = r.IsFolder || platform::FileExists(path);

    // Resource references are compared against the current folder, so it
    // follows the input.
    std::string full = platform::ExpandFileName(path);
    std::string dir = full.back() == '/' ? full : platform::ExtractFilePath(full);
    if (!dir.empty()) platform::SetCurrentDir(platform::IncludeTrailingSeparator(dir));

    r.Path = std::move(path);
    return r;
}
