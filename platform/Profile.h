// Profile-format (INI) files: "[SECTION]" lines opening sections and
// "KEY=value" lines inside them. Text stays CP932 bytes throughout.
//
// Reading is lenient: LF or CR LF line ends, a missing final newline, lines
// that are neither section nor key, binary bytes, huge lines and empty names
// are all accepted. Lines the program does not change are written back as
// they were read, so sections and keys of others survive a save.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/Result.h"

namespace platform {

class TIniFile {
public:
    // Longest value a read returns, in bytes.
    static constexpr size_t kMaxValueLength = 1023;
    // Larger files, and anything that is not a regular file (a pipe, a
    // device), are not read: a settings file never grows that big, and
    // reading a pipe could wait for ever.
    static constexpr int64_t kMaxFileSize = 64 * 1024 * 1024;

    TIniFile() = default;
    // Remembers the file name and loads the file when it can be read.
    explicit TIniFile(std::string fileName);

    const std::string& FileName() const { return fileName_; }
    void SetFileName(std::string fileName) { fileName_ = std::move(fileName); }

    // Replaces the contents by the file's. False (contents empty) when the
    // file cannot be read.
    bool Load();
    // Replaces the contents by these bytes.
    void LoadFromBytes(std::string_view bytes);
    // The whole file as it would be saved: every line ends in CR LF.
    std::string ToBytes() const;
    // Writes ToBytes() to FileName() atomically. A failure carries the
    // reason; the old file is then untouched.
    [[nodiscard]] TResult UpdateFile() const;

    // Section and key names are matched case-insensitively (AnsiUpper); the
    // first occurrence of a section, and of a key in it, wins.
    bool SectionExists(std::string_view section) const;
    bool ValueExists(std::string_view section, std::string_view key) const;
    // Key names of the section in file order, first occurrences only, as
    // spelled in the file.
    std::vector<std::string> ReadSection(std::string_view section) const;
    // Section names in file order, first occurrences only.
    std::vector<std::string> ReadSections() const;

    // The value trimmed of blanks, one pair of matching enclosing quotes
    // removed, cut at kMaxValueLength bytes; def when the key is missing.
    std::string ReadString(std::string_view section, std::string_view key, std::string_view def) const;
    // def when the key is missing or its value is not a number (ParseInteger).
    int32_t ReadInteger(std::string_view section, std::string_view key, int32_t def) const;
    // Any non-zero number is true.
    bool ReadBool(std::string_view section, std::string_view key, bool def) const;

    // An existing key is updated in place (keeping its spelling); a new key
    // goes after the last non-blank line of its section; a new section at
    // the end of the file.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, int32_t value);
    void WriteBool(std::string_view section, std::string_view key, bool value);

    // Removes every section of that name with all its lines.
    void EraseSection(std::string_view section);

    // Decimal with an optional sign, or "0x"/"0X" and 1 to 8 hex digits, in
    // the 32-bit range; nothing else (no blanks, no trailing text).
    static bool ParseInteger(std::string_view text, int32_t& out);
    // One "KEY=value" line split as Load() splits it: the key trimmed of
    // blanks, the value trimmed and one pair of matching enclosing quotes
    // removed (not yet cut). False when the line holds no "=".
    static bool SplitKeyLine(std::string_view line, std::string& key, std::string& value);
    // A name trimmed of blanks, as section and key names are read.
    static std::string TrimName(std::string_view name);

private:
    struct Line {
        std::string text;  // as read, or as last written (without line end)
        bool isKey = false;
        std::string keyName;   // trimmed, as spelled
        std::string upperKey;  // AnsiUpper of keyName
        std::string value;     // trimmed, quotes removed, not yet cut
    };
    struct Section {
        bool hasHeader = false;  // false only for the lines before the first header
        std::string header;      // the header line as read or written
        std::string name;        // trimmed, as spelled
        std::string upperName;
        std::vector<Line> lines;
        std::unordered_map<std::string, size_t> keyIndex;  // first occurrence
    };

    static Line ParseLine(std::string text);
    static std::string EncodeValue(std::string_view value);
    const Section* FindSection(std::string_view section) const;
    Section* FindSection(std::string_view section);
    const Line* FindKey(std::string_view section, std::string_view key) const;
    void AddLine(Section& s, Line line);
    void RebuildSectionIndex();

    std::string fileName_;
    std::vector<Section> sections_;
    std::unordered_map<std::string, size_t> sectionIndex_;  // first occurrence
};

}  // namespace platform
