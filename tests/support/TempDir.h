// A real temporary folder for tests that touch the file system; removed with
// everything in it when the object goes away.
#pragma once

#include <string>
#include <string_view>

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // Native (UTF-8) path of the folder, without a trailing "/".
    const std::string& path() const { return path_; }
    // Native path of a name inside the folder.
    std::string operator/(std::string_view rel) const { return path_ + "/" + std::string(rel); }

    // Writes a file (creating parent folders) and returns its native path.
    std::string Write(std::string_view rel, std::string_view bytes) const;
    std::string MakeDir(std::string_view rel) const;

private:
    std::string path_;
};

// Reads a whole file by its native path; empty when it cannot be read.
std::string ReadNative(const std::string& nativePath);
