#include "outside/YKFileUtils.h"

#include <cstdio>
#include <vector>

#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Encoding.h"
#include "platform/FileSystem.h"

namespace {

bool HasWildcard(std::string_view name) {
    return name.find('*') != std::string_view::npos || name.find('?') != std::string_view::npos;
}

// Length in bytes of the character starting at s[i].
size_t CharLen(std::string_view s, size_t i) {
    return platform::IsSjisLead(static_cast<unsigned char>(s[i])) && i + 1 < s.size() ? 2 : 1;
}

// "*" any run of characters, "?" exactly one character; everything else
// byte for byte (names are case-sensitive here). "*" and "?" are never trail
// bytes, so the pattern can be walked character by character.
bool WildcardMatch(std::string_view pat, std::string_view name) {
    size_t p = 0, n = 0;
    size_t starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pat.size() && pat[p] == '*') {
            starP = ++p;
            starN = n;
            continue;
        }
        if (p < pat.size()) {
            size_t pl = CharLen(pat, p), nl = CharLen(name, n);
            if (pat[p] == '?' || (pl == nl && pat.compare(p, pl, name.substr(n, nl)) == 0)) {
                p += pat[p] == '?' ? 1 : pl;
                n += nl;
                continue;
            }
        }
        if (starP == std::string_view::npos) return false;
        // Let the last "*" swallow one more character and retry.
        starN += CharLen(name, starN);
        n = starN;
        p = starP;
    }
    while (p < pat.size() && pat[p] == '*') ++p;
    return p == pat.size();
}

}  // namespace

std::string FindRealName(const std::string& path) {
    std::string name = platform::ExtractFileName(path);
    if (name.empty() || name == ".") return {};
    // An entry of exactly that name wins: here "*" and "?" may be part of a name.
    if (platform::Stat(path).exists) return name;
    if (!HasWildcard(name)) return {};
    std::string folder = platform::ExtractFilePath(path);
    std::vector<platform::DirEntry> entries;
    if (!platform::ListDirectory(folder.empty() ? std::string(".") : folder, entries)) return {};
    for (const platform::DirEntry& e : entries) {
        // A name without a CP932 form cannot be handed on as a path.
        if (e.nameConverts && WildcardMatch(name, e.name)) return e.name;
    }
    return {};
}

std::string GetLongPath(const std::string& path) {
    if (path.empty()) return {};
    std::string full = platform::ExpandFileName(path);
    if (!platform::FileExists(full)) return full;
    std::string real = FindRealName(full);
    if (real.empty()) return {};
    return platform::ExtractFilePath(full) + real;
}

std::string MakeTempFileName(const std::string& extension, bool ask) {
    const std::string dir = platform::GetTempDirectory();
    if (!platform::DirectoryExists(dir)) {
        bool create = true;
        if (ask) {
            platform::TMessageRequest req;
            req.kind = platform::TMsgKind::Warning;
            req.buttons = platform::TMsgButtons::YesNo;
            req.defaultButton = platform::TMsgResult::Yes;
            req.text = SJ("一時ファイルのためのディレクトリ") + " \"" + dir + "\" " + SJ("がありません。") + "\n" +
                       SJ("このディレクトリを作成しますか？");
            create = platform::ShowMessageBox(req) == platform::TMsgResult::Yes;
        }
        if (create) platform::ForceDirectories(dir);
    }
    uint32_t n = platform::GetTickCount();
    for (;;) {
        char hex[9];
        std::snprintf(hex, sizeof hex, "%08X", static_cast<unsigned>(n));
        std::string name = dir + hex + extension;
        // Any entry blocks the name: a folder cannot be written as a file,
        // and a dangling symlink in a shared folder must not be followed.
        if (!platform::Stat(name).exists) return name;
        ++n;
    }
}
