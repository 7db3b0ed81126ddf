#include "engine/UDecodeHTML.h"

#include <string_view>
#include <vector>

#include "platform/Encoding.h"
#include "platform/FileSystem.h"
#include "settings/Uenviron.h"

namespace {

// Windows pages write "\" as separator and "|" for a drive colon.
void NormaliseSeparators(std::string& s) {
    SjisReplaceChar(s, '|', ':');
    SjisReplaceChar(s, '\\', '/');
}

bool StartsWithAnyEntry(const std::string& ref, const std::vector<std::string>& prefixes) {
    for (const std::string& e : prefixes) {
        // An empty entry matches every reference.
        if (StartsTextSjis(ref, e)) return true;
    }
    return false;
}

}  // namespace

bool StripFileURL(std::string& path) {
    static constexpr std::string_view kScheme = "FILE://";
    if (path.size() <= kScheme.size() || !StartsTextSjis(path, kScheme)) return false;
    std::string rest = path.substr(kScheme.size());
    NormaliseSeparators(rest);
    if (rest.empty() || rest[0] != '/') {
        // A host part ("localhost", or a Windows drive written after two
        // slashes) names nothing on this machine; "/" is never a trail byte.
        size_t slash = rest.find('/');
        rest = slash == std::string::npos ? std::string() : rest.substr(slash);
    }
    path = std::move(rest);
    return true;
}

void ResolveReference(std::string& ref, const std::string& pagePath) {
    if (ref.empty()) return;
    // Converted first so that "..\" segments take part in the expansion.
    NormaliseSeparators(ref);
    if (ref[0] == '/') {
        // Absolute (the "\" form included): kept as written.
    } else if (ref.size() >= 8 && StartsTextSjis(ref, "FILE:")) {
        ref.erase(0, 5);
    } else {
        ref = platform::ExpandFileName(platform::ExtractFilePath(pagePath) + ref);
    }
    if (!ref.empty() && ref.back() != '/' && platform::DirectoryExists(ref)) ref += '/';
}

std::string ReplaceAlias(const std::string& ref) {
    if (!EnvSettings.AliasEnabled) return ref;
    for (const std::string& entry : EnvSettings.Aliases) {
        size_t semi = SjisFind(entry, ';');
        if (semi == std::string::npos || semi == 0) continue;
        std::string_view source(entry.data(), semi);
        if (!StartsTextSjis(ref, source)) continue;
        // The replacement keeps its own letter case: it names a folder on a
        // file system where case matters.
        return entry.substr(semi + 1) + ref.substr(source.size());
    }
    return ref;
}

bool IsHrefSkip(const std::string& ref) {
    return EnvSettings.HrefSkipEnabled && StartsWithAnyEntry(ref, EnvSettings.HrefSkipPrefixes);
}

bool IsImgSkip(const std::string& ref) {
    return EnvSettings.ImgSkipEnabled && StartsWithAnyEntry(ref, EnvSettings.ImgSkipPrefixes);
}
