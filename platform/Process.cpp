#include "platform/Process.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <string>

#include "platform/FrontEnd.h"

namespace platform {

namespace {

// Reads at most limit bytes of a small /proc file; empty when unreadable
// (the process may have ended meanwhile).
std::string ReadSmallFile(const std::string& path, size_t limit) {
    std::string out;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return out;
    char buf[4096];
    while (out.size() < limit) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0) break;
        out.append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    if (out.size() > limit) out.resize(limit);
    return out;
}

bool SameAsciiNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

}  // namespace

bool IsWwwcExecutableName(std::string_view nameOrPath) {
    size_t cut = nameOrPath.find_last_of("/\\");
    std::string_view name = cut == std::string_view::npos ? nameOrPath : nameOrPath.substr(cut + 1);
    return SameAsciiNoCase(name, "wwwc") || SameAsciiNoCase(name, "wwwc.exe");
}

bool IsWwwcRunning() {
    if (const auto& running = FrontEnd().wwwcRunning) return running();
    DIR* proc = ::opendir("/proc");
    if (!proc) return false;
    bool found = false;
    while (!found) {
        dirent* e = ::readdir(proc);
        if (!e) break;
        std::string_view pid(e->d_name);
        if (pid.empty() || pid.find_first_not_of("0123456789") != std::string_view::npos) continue;
        std::string base = "/proc/" + std::string(pid) + "/";
        std::string comm = ReadSmallFile(base + "comm", 64);
        if (!comm.empty() && comm.back() == '\n') comm.pop_back();
        if (IsWwwcExecutableName(comm)) {
            found = true;
            break;
        }
        // The kernel's name is cut at 15 bytes and is "wine-preloader" or
        // the like under Wine; argv[0] carries the Windows program path.
        std::string cmdline = ReadSmallFile(base + "cmdline", 4096);
        std::string argv0 = cmdline.substr(0, cmdline.find('\0'));
        if (!argv0.empty() && IsWwwcExecutableName(argv0)) found = true;
    }
    ::closedir(proc);
    return found;
}

}  // namespace platform
