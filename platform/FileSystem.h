// The file system as the rest of the program sees it: every path is CP932
// bytes with "/" as separator; the conversion to the native UTF-8 names is
// done here and nowhere else.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

constexpr char kSep = '/';

// CP932 path -> native (UTF-8) path; nullopt when the bytes are not valid
// CP932 (such a path cannot name a file that the program could have listed).
std::optional<std::string> ToNative(std::string_view path);
// Native (UTF-8) name -> CP932; nullopt when it has no CP932 form.
std::optional<std::string> FromNative(std::string_view native);

struct FileInfo {
    bool exists = false;
    bool isDir = false;
    bool isRegular = false;
    int64_t size = 0;
    int64_t mtime = 0;  // seconds since the epoch, local file system time
    uint64_t dev = 0;
    uint64_t ino = 0;
    bool dangling = false;  // a symlink that leads to nothing (stat fails, lstat does not)
};

// stat() following symlinks. A dangling symlink counts as an existing
// non-folder entry (opening it then fails), as a listed name would.
FileInfo Stat(std::string_view path);

// "A file of that name exists": anything that is not a folder.
bool FileExists(std::string_view path);
bool DirectoryExists(std::string_view path);

// A listed name with the stat of what it leads to (symlinks followed); a
// stat that finds nothing leaves exists false (the entry went away).
struct DirEntry : FileInfo {
    std::string name;  // CP932; for a name without CP932 form, the
                       // display form (Utf8ToCp932 with <U+XXXX>)
    bool nameConverts = true;
    std::string nativeName;  // as stored on disk (UTF-8 bytes)
};

// Lists a folder without "." and "..", sorted by the CP932 name bytes
// (unsigned), so that every machine gives the same order. False when the
// folder cannot be opened.
bool ListDirectory(std::string_view folder, std::vector<DirEntry>& out);

// Reads a whole file. Returns false and sets *openFailed when it cannot be
// opened, or false with *openFailed false when reading after the open fails.
bool ReadWholeFile(std::string_view path, std::string& out, bool* openFailed = nullptr, std::string* error = nullptr);

// Files the user gets are written through platform/OutputFile.h.

bool DeleteFile(std::string_view path);
bool RenameFile(std::string_view from, std::string_view to);
// Creates the folder and every missing parent.
bool ForceDirectories(std::string_view path);

// The process's current folder, without a trailing "/" (except for "/").
// Kept in a cache that SetCurrentDir updates, because the measurement asks
// for it once per resource reference.
const std::string& GetCurrentDir();
bool SetCurrentDir(std::string_view path);

// Lexical full-path expansion: relative paths are taken against the current
// folder, "." and ".." segments and repeated separators are removed, symlinks
// are not resolved. A trailing "/" is kept.
std::string ExpandFileName(std::string_view path);
std::string ExpandFileName(std::string_view path, std::string_view base);

// Path pieces, double-byte safe. ExtractFilePath keeps the trailing "/".
std::string ExtractFilePath(std::string_view path);
std::string ExtractFileName(std::string_view path);
// From the last "." of the file name on (".html"), or empty.
std::string ExtractFileExt(std::string_view path);
std::string IncludeTrailingSeparator(std::string_view path);

}  // namespace platform
