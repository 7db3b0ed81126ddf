#include "ui/UListText.h"

#include <vector>

#include "engine/UHTMLList.h"
#include "platform/Encoding.h"
#include "platform/FileSystem.h"
#include "platform/Locale.h"
#include "settings/Uenviron.h"

std::string MinimizePath(const std::string& path, int maxWidth, const std::function<int(const std::string&)>& width) {
    if (width(path) <= maxWidth) return path;
    const std::string name = platform::ExtractFileName(path);
    const std::string dir = path.substr(0, path.size() - name.size());
    const bool rooted = !dir.empty() && dir[0] == platform::kSep;
    // The folders between the root and the name; "/" is never a trail byte.
    std::vector<std::string> folders;
    size_t start = rooted ? 1 : 0;
    while (start < dir.size()) {
        size_t slash = dir.find(platform::kSep, start);
        if (slash == std::string::npos) slash = dir.size();
        folders.push_back(dir.substr(start, slash - start));
        start = slash + 1;
    }
    const std::string root = rooted ? std::string(1, platform::kSep) : std::string();
    for (size_t cut = 1; cut <= folders.size(); ++cut) {
        std::string candidate = root + ".../";
        for (size_t i = cut; i < folders.size(); ++i) candidate += folders[i] + platform::kSep;
        candidate += name;
        if (width(candidate) <= maxWidth) return candidate;
    }
    if (rooted || !folders.empty()) {
        std::string candidate = ".../" + name;
        if (width(candidate) <= maxWidth) return candidate;
    }
    return name;
}

std::string ShareText(int64_t partSize, int64_t pageSize) {
    double share = 0;
    if (partSize != 0 && pageSize > 0) share = static_cast<double>(partSize) * 100.0 / static_cast<double>(pageSize);
    std::string text = platform::FormatFixed(share, 2);
    if (text.size() < 5) text.insert(0, 5 - text.size(), ' ');
    return text + "%";
}

std::string EncodingLabel(int code) {
    if (code < Jis || code > 4) return {};  // 4: UTF-8, modern reading
    return DocEncodingName(code);
}

const std::string& PartKindLabel(uint8_t kind) {
    switch (kind) {
        case pkPage:
            return SJ("ページ");
        case pkImage:
            return SJ("画像");
        case pkStyleSheet:
            return SJ("スタイル");
        case pkScript:
            return SJ("スクリプト");
        case pkFont:
            return SJ("フォント");
        case pkMedia:
            return SJ("メディア");
        case pkFrame:
            return SJ("フレーム");
        default:
            return SJ("その他");
    }
}

std::string SearchName(const std::string& path, bool ignoreCase) {
    std::string name = platform::ExtractFileName(path);
    if (ignoreCase) platform::AnsiUpperInPlace(name);
    return name;
}
