#include "platform/Profile.h"

#include <cstdio>

#include "platform/Encoding.h"
#include "platform/FileSystem.h"
#include "platform/OutputFile.h"

namespace platform {

namespace {

// Blanks are never trail bytes (those start at 0x40), so trimming from the
// end cannot cut a double-byte character.
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

std::string_view StripQuotes(std::string_view v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        return v.substr(1, v.size() - 2);
    return v;
}

// At most max bytes, never ending inside a double-byte character.
std::string_view CutAtCharBoundary(std::string_view v, size_t max) {
    if (v.size() <= max) return v;
    size_t i = 0;
    while (i < max) {
        size_t n = IsSjisLead(static_cast<unsigned char>(v[i])) ? 2 : 1;
        if (i + n > max) break;
        i += n;
    }
    return v.substr(0, i);
}

// Names and values are single lines: a line break would open a new line of
// the file, and with it a key or section nobody wrote.
std::string OneLine(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        if (c == '\r' || c == '\n') c = ' ';
    return r;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

TIniFile::TIniFile(std::string fileName) : fileName_(std::move(fileName)) { Load(); }

bool TIniFile::Load() {
    LoadFromBytes({});
    platform::FileInfo fi = platform::Stat(fileName_);
    if (!fi.exists || !fi.isRegular || fi.size > kMaxFileSize) return false;
    std::string bytes;
    if (!platform::ReadWholeFile(fileName_, bytes)) return false;
    LoadFromBytes(bytes);
    return true;
}

TIniFile::Line TIniFile::ParseLine(std::string text) {
    Line line;
    size_t eq = text.find('=');  // "=" (0x3D) is never a trail byte
    if (eq != std::string::npos) {
        std::string_view t(text);
        line.isKey = true;
        line.keyName = std::string(Trim(t.substr(0, eq)));
        line.upperKey = AnsiUpper(line.keyName);
        line.value = std::string(StripQuotes(Trim(t.substr(eq + 1))));
    }
    line.text = std::move(text);
    return line;
}

void TIniFile::LoadFromBytes(std::string_view bytes) {
    sections_.clear();
    sectionIndex_.clear();
    sections_.emplace_back();  // lines before the first header
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t nl = bytes.find('\n', pos);
        size_t end = nl == std::string_view::npos ? bytes.size() : nl;
        std::string_view raw = bytes.substr(pos, end - pos);
        pos = nl == std::string_view::npos ? bytes.size() : nl + 1;
        if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);

        std::string_view t = Trim(raw);
        if (!t.empty() && t.front() == '[') {
            size_t close = SjisRFind(t, ']');
            if (close != std::string_view::npos && close > 0) {
                Section s;
                s.hasHeader = true;
                s.header = std::string(raw);
                s.name = std::string(Trim(t.substr(1, close - 1)));
                s.upperName = AnsiUpper(s.name);
                sectionIndex_.emplace(s.upperName, sections_.size());
                sections_.push_back(std::move(s));
                continue;
            }
        }
        Section& cur = sections_.back();
        Line line = ParseLine(std::string(raw));
        if (line.isKey) cur.keyIndex.emplace(line.upperKey, cur.lines.size());
        cur.lines.push_back(std::move(line));
    }
}

std::string TIniFile::ToBytes() const {
    std::string out;
    for (const Section& s : sections_) {
        if (s.hasHeader) out.append(s.header).append("\r\n");
        for (const Line& l : s.lines) out.append(l.text).append("\r\n");
    }
    return out;
}

TResult TIniFile::UpdateFile() const { return platform::WriteFileAtomic(fileName_, ToBytes()); }

const TIniFile::Section* TIniFile::FindSection(std::string_view section) const {
    auto it = sectionIndex_.find(AnsiUpper(section));
    return it == sectionIndex_.end() ? nullptr : &sections_[it->second];
}

TIniFile::Section* TIniFile::FindSection(std::string_view section) {
    auto it = sectionIndex_.find(AnsiUpper(section));
    return it == sectionIndex_.end() ? nullptr : &sections_[it->second];
}

const TIniFile::Line* TIniFile::FindKey(std::string_view section, std::string_view key) const {
    const Section* s = FindSection(section);
    if (!s) return nullptr;
    auto it = s->keyIndex.find(AnsiUpper(key));
    return it == s->keyIndex.end() ? nullptr : &s->lines[it->second];
}

bool TIniFile::SectionExists(std::string_view section) const { return FindSection(section) != nullptr; }

bool TIniFile::ValueExists(std::string_view section, std::string_view key) const {
    return FindKey(section, key) != nullptr;
}

std::vector<std::string> TIniFile::ReadSection(std::string_view section) const {
    std::vector<std::string> keys;
    const Section* s = FindSection(section);
    if (!s) return keys;
    for (size_t i = 0; i < s->lines.size(); ++i) {
        const Line& l = s->lines[i];
        // Only the first occurrence of a key counts.
        if (l.isKey && s->keyIndex.at(l.upperKey) == i) keys.push_back(l.keyName);
    }
    return keys;
}

std::vector<std::string> TIniFile::ReadSections() const {
    std::vector<std::string> names;
    for (size_t i = 0; i < sections_.size(); ++i) {
        const Section& s = sections_[i];
        if (s.hasHeader && sectionIndex_.at(s.upperName) == i) names.push_back(s.name);
    }
    return names;
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key, std::string_view def) const {
    const Line* l = FindKey(section, key);
    if (!l) return std::string(def);
    return std::string(CutAtCharBoundary(l->value, kMaxValueLength));
}

bool TIniFile::ParseInteger(std::string_view text, int32_t& out) {
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        std::string_view digits = text.substr(2);
        if (digits.empty() || digits.size() > 8) return false;
        uint32_t v = 0;
        for (char c : digits) {
            int d = HexDigit(c);
            if (d < 0) return false;
            v = (v << 4) | static_cast<uint32_t>(d);
        }
        // 0x80000000 and above are the negative numbers of the same bits.
        out = static_cast<int32_t>(v);
        return true;
    }
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i == text.size()) return false;
    int64_t v = 0;
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
        if (v > int64_t{2147483648}) return false;
    }
    if (negative) v = -v;
    if (v > INT32_MAX || v < INT32_MIN) return false;
    out = static_cast<int32_t>(v);
    return true;
}

bool TIniFile::SplitKeyLine(std::string_view line, std::string& key, std::string& value) {
    Line parsed = ParseLine(std::string(line));
    if (!parsed.isKey) return false;
    key = std::move(parsed.keyName);
    value = std::move(parsed.value);
    return true;
}

std::string TIniFile::TrimName(std::string_view name) { return std::string(Trim(name)); }

int32_t TIniFile::ReadInteger(std::string_view section, std::string_view key, int32_t def) const {
    const Line* l = FindKey(section, key);
    if (!l) return def;
    int32_t v;
    return ParseInteger(CutAtCharBoundary(l->value, kMaxValueLength), v) ? v : def;
}

bool TIniFile::ReadBool(std::string_view section, std::string_view key, bool def) const {
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

std::string TIniFile::EncodeValue(std::string_view value) {
    std::string v = OneLine(value);
    // Written as it is, unless reading it back would trim it or take off
    // its quotes: then one pair of double quotes keeps it whole.
    bool wrap = !v.empty() && (IsBlank(v.front()) || IsBlank(v.back()) || StripQuotes(v).size() != v.size());
    return wrap ? "\"" + v + "\"" : v;
}

void TIniFile::AddLine(Section& s, Line line) {
    // After the last non-blank line, so that blank lines separating this
    // section from the next stay where they are.
    size_t at = s.lines.size();
    while (at > 0 && Trim(s.lines[at - 1].text).empty()) --at;
    if (line.isKey) s.keyIndex.emplace(line.upperKey, at);
    s.lines.insert(s.lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
    // Only blank lines followed the insertion point, so no key moved.
}

void TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    Section* s = FindSection(section);
    if (!s) {
        Section fresh;
        fresh.hasHeader = true;
        fresh.name = OneLine(Trim(section));
        fresh.header = "[" + fresh.name + "]";
        fresh.upperName = AnsiUpper(fresh.name);
        sectionIndex_.emplace(fresh.upperName, sections_.size());
        sections_.push_back(std::move(fresh));
        s = &sections_.back();
    }
    std::string upperKey = AnsiUpper(Trim(key));
    auto it = s->keyIndex.find(upperKey);
    if (it != s->keyIndex.end()) {
        Line& l = s->lines[it->second];
        l.text = l.keyName + "=" + EncodeValue(value);
        l.value = std::string(StripQuotes(Trim(std::string_view(l.text).substr(l.keyName.size() + 1))));
        return;
    }
    std::string name = OneLine(Trim(key));
    AddLine(*s, ParseLine(name + "=" + EncodeValue(value)));
}

void TIniFile::WriteInteger(std::string_view section, std::string_view key, int32_t value) {
    WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

void TIniFile::EraseSection(std::string_view section) {
    std::string upper = AnsiUpper(section);
    size_t kept = 0;
    for (size_t i = 0; i < sections_.size(); ++i) {
        if (sections_[i].hasHeader && sections_[i].upperName == upper) continue;
        if (kept != i) sections_[kept] = std::move(sections_[i]);
        ++kept;
    }
    sections_.resize(kept);
    RebuildSectionIndex();
}

void TIniFile::RebuildSectionIndex() {
    sectionIndex_.clear();
    for (size_t i = 0; i < sections_.size(); ++i)
        if (sections_[i].hasHeader) sectionIndex_.emplace(sections_[i].upperName, i);
}

}  // namespace platform
