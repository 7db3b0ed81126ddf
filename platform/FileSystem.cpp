#include "platform/FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/Encoding.h"

namespace platform {

std::optional<std::string> ToNative(std::string_view path) { return Cp932ToUtf8Strict(path); }

std::optional<std::string> FromNative(std::string_view native) { return Utf8ToCp932Strict(native); }

namespace {

FileInfo FromStat(const struct stat& st) {
    FileInfo fi;
    fi.exists = true;
    fi.isDir = S_ISDIR(st.st_mode);
    fi.isRegular = S_ISREG(st.st_mode);
    fi.size = fi.isDir ? 0 : static_cast<int64_t>(st.st_size);
    fi.mtime = static_cast<int64_t>(st.st_mtime);
    fi.dev = static_cast<uint64_t>(st.st_dev);
    fi.ino = static_cast<uint64_t>(st.st_ino);
    return fi;
}

FileInfo StatNative(const char* native) {
    struct stat st;
    if (::stat(native, &st) == 0) return FromStat(st);
    // A dangling symlink is still a name in its folder.
    if (::lstat(native, &st) == 0) {
        FileInfo fi;
        fi.exists = true;
        fi.dangling = true;
        fi.dev = static_cast<uint64_t>(st.st_dev);
        fi.ino = static_cast<uint64_t>(st.st_ino);
        return fi;
    }
    return {};
}

std::string ErrnoText(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

}  // namespace

FileInfo Stat(std::string_view path) {
    if (path.empty()) return {};
    auto native = ToNative(path);
    if (!native) return {};
    return StatNative(native->c_str());
}

bool FileExists(std::string_view path) {
    FileInfo fi = Stat(path);
    return fi.exists && !fi.isDir;
}

bool DirectoryExists(std::string_view path) { return Stat(path).isDir; }

bool ListDirectory(std::string_view folder, std::vector<DirEntry>& out) {
    out.clear();
    auto native = ToNative(folder.empty() ? std::string_view(".") : folder);
    if (!native) return false;
    DIR* d = ::opendir(native->c_str());
    if (!d) return false;
    std::string base = *native;
    if (base.empty() || base.back() != '/') base += '/';
    while (dirent* e = ::readdir(d)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
        DirEntry de;
        de.nativeName = e->d_name;
        if (auto cp = FromNative(de.nativeName)) {
            de.name = std::move(*cp);
        } else {
            de.name = Utf8ToCp932(de.nativeName);
            de.nameConverts = false;
        }
        static_cast<FileInfo&>(de) = StatNative((base + de.nativeName).c_str());
        out.push_back(std::move(de));
    }
    ::closedir(d);
    std::sort(out.begin(), out.end(), [](const DirEntry& a, const DirEntry& b) {
        // std::string compares char_traits<char>, which compares as unsigned.
        return a.name < b.name;
    });
    return true;
}

bool ReadWholeFile(std::string_view path, std::string& out, bool* openFailed, std::string* error) {
    out.clear();
    if (openFailed) *openFailed = false;
    auto native = ToNative(path);
    int fd = native ? ::open(native->c_str(), O_RDONLY | O_CLOEXEC) : -1;
    if (fd < 0) {
        if (openFailed) *openFailed = true;
        if (error) *error = native ? ErrnoText("open") : "open: name has no native form";
        return false;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        if (error) *error = ErrnoText("fstat");
        ::close(fd);
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        // A folder opens on Linux but is not a file to read.
        if (openFailed) *openFailed = true;
        if (error) *error = "open: is a folder";
        ::close(fd);
        return false;
    }
    if (st.st_size > 0) out.reserve(static_cast<size_t>(st.st_size));
    char buf[1 << 16];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (error) *error = ErrnoText("read");
            ::close(fd);
            return false;
        }
        if (n == 0) break;
        out.append(buf, static_cast<size_t>(n));
    }
    if (::close(fd) != 0) {
        if (error) *error = ErrnoText("close");
        return false;
    }
    return true;
}

bool DeleteFile(std::string_view path) {
    auto native = ToNative(path);
    return native && ::unlink(native->c_str()) == 0;
}

bool RenameFile(std::string_view from, std::string_view to) {
    auto a = ToNative(from), b = ToNative(to);
    return a && b && ::rename(a->c_str(), b->c_str()) == 0;
}

bool ForceDirectories(std::string_view path) {
    std::string full = ExpandFileName(path);
    while (full.size() > 1 && full.back() == '/') full.pop_back();
    if (full.empty()) return false;
    if (DirectoryExists(full)) return true;
    std::string parent = ExtractFilePath(full);
    if (parent.size() > 1 && !ForceDirectories(parent)) return false;
    auto native = ToNative(full);
    if (!native) return false;
    return ::mkdir(native->c_str(), 0777) == 0 || (errno == EEXIST && DirectoryExists(full));
}

namespace {
std::string& CurrentDirCache() {
    static std::string cache;
    return cache;
}

std::string ReadCwd() {
    std::vector<char> buf(4096);
    while (::getcwd(buf.data(), buf.size()) == nullptr) {
        if (errno != ERANGE) return "/";
        buf.resize(buf.size() * 2);
    }
    auto cp = FromNative(buf.data());
    return cp ? *cp : Utf8ToCp932(buf.data());
}
}  // namespace

const std::string& GetCurrentDir() {
    std::string& c = CurrentDirCache();
    if (c.empty()) c = ReadCwd();
    return c;
}

bool SetCurrentDir(std::string_view path) {
    auto native = ToNative(path);
    if (!native || native->empty() || ::chdir(native->c_str()) != 0) return false;
    CurrentDirCache() = ReadCwd();
    return true;
}

std::string ExpandFileName(std::string_view path) { return ExpandFileName(path, GetCurrentDir()); }

std::string ExpandFileName(std::string_view path, std::string_view base) {
    std::string joined;
    if (!path.empty() && path[0] == '/') {
        joined.assign(path);
    } else {
        joined.reserve(base.size() + 1 + path.size());
        joined.assign(base);
        if (joined.empty() || joined.back() != '/') joined += '/';
        joined.append(path);
    }
    const bool trailing = !path.empty() ? path.back() == '/' : (!base.empty() && base.back() == '/');
    // Segments are split on "/" only; "/" is never a trail byte in CP932.
    std::vector<std::string_view> segs;
    std::string_view rest(joined);
    size_t i = 0;
    while (i <= rest.size()) {
        size_t j = rest.find('/', i);
        if (j == std::string_view::npos) j = rest.size();
        std::string_view seg = rest.substr(i, j - i);
        if (seg.empty() || seg == ".") {
            // skip
        } else if (seg == "..") {
            if (!segs.empty()) segs.pop_back();
        } else {
            segs.push_back(seg);
        }
        i = j + 1;
    }
    std::string out;
    out.reserve(joined.size());
    for (auto s : segs) {
        out += '/';
        out.append(s);
    }
    if (out.empty()) return "/";
    if (trailing) out += '/';
    return out;
}

std::string ExtractFilePath(std::string_view path) {
    size_t p = path.rfind('/');
    return p == std::string_view::npos ? std::string() : std::string(path.substr(0, p + 1));
}

std::string ExtractFileName(std::string_view path) {
    size_t p = path.rfind('/');
    return std::string(p == std::string_view::npos ? path : path.substr(p + 1));
}

std::string ExtractFileExt(std::string_view path) {
    std::string_view name = path;
    size_t slash = path.rfind('/');
    if (slash != std::string_view::npos) name = path.substr(slash + 1);
    // The last "." of the name; "." is never a trail byte in CP932.
    size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string() : std::string(name.substr(dot));
}

std::string IncludeTrailingSeparator(std::string_view path) {
    std::string r(path);
    if (r.empty() || r.back() != '/') r += '/';
    return r;
}

}  // namespace platform
