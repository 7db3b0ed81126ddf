#include "engine/UPathExpand.h"

namespace {

// Appends the segments of s to out, which holds "/seg/seg..." so far.
// "/" and "." are never the trail byte of a double-byte character.
void AddSegments(std::string& out, std::string_view s) {
    size_t i = 0;
    while (i <= s.size()) {
        size_t j = s.find('/', i);
        if (j == std::string_view::npos) j = s.size();
        const std::string_view seg = s.substr(i, j - i);
        if (seg.empty() || seg == ".") {
            // nothing
        } else if (seg == "..") {
            const size_t k = out.rfind('/');
            if (k != std::string::npos) out.resize(k);
        } else {
            out += '/';
            out.append(seg);
        }
        i = j + 1;
    }
}

}  // namespace

void ExpandFileNameInto(std::string& out, std::string_view path, std::string_view base) {
    out.clear();
    if (path.empty() || path[0] != '/') AddSegments(out, base);
    AddSegments(out, path);
    const bool trailing = !path.empty() ? path.back() == '/' : (!base.empty() && base.back() == '/');
    // Nothing left names the root; a trailing "/" is kept once.
    if (out.empty() || trailing) out += '/';
}

bool IsExpandedPath(std::string_view path) {
    if (path.empty() || path[0] != '/') return false;
    if (path.size() == 1) return true;
    size_t i = 1;
    for (;;) {
        size_t j = path.find('/', i);
        if (j == std::string_view::npos) j = path.size();
        const std::string_view seg = path.substr(i, j - i);
        // An empty segment is allowed only as the one after a final "/".
        if (seg.empty()) return j == path.size() && i == path.size();
        if (seg == "." || seg == "..") return false;
        if (j == path.size()) return true;
        i = j + 1;
    }
}
