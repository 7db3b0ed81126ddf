#include "platform/Shell.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <optional>

#include "platform/Encoding.h"
#include "platform/FileSystem.h"

extern char** environ;

namespace platform {

namespace {

bool IsExecutableFile(const std::string& native) {
    struct stat st {};
    return ::stat(native.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(native.c_str(), X_OK) == 0;
}

// Native path of the program, or nullopt.
std::optional<std::string> FindNative(const std::string& native) {
    if (native.empty()) return std::nullopt;
    if (native.find('/') != std::string::npos) {
        struct stat st {};
        if (::stat(native.c_str(), &st) == 0) return native;
        return std::nullopt;
    }
    const char* path = std::getenv("PATH");
    if (!path) return std::nullopt;
    std::string_view rest(path);
    while (true) {
        size_t colon = rest.find(':');
        std::string_view dir = rest.substr(0, colon);
        // An empty PATH element means the current folder; it is skipped for
        // the same reason the current folder is not searched.
        if (!dir.empty()) {
            std::string candidate = std::string(dir) + "/" + native;
            if (IsExecutableFile(candidate)) return candidate;
        }
        if (colon == std::string_view::npos) break;
        rest.remove_prefix(colon + 1);
    }
    return std::nullopt;
}

bool FolderPartMissing(const std::string& native) {
    size_t slash = native.rfind('/');
    if (slash == std::string::npos || slash == 0) return false;
    struct stat st {};
    return ::stat(native.substr(0, slash).c_str(), &st) != 0 || !S_ISDIR(st.st_mode);
}

bool LacksExecutePermission(const std::string& native) {
    struct stat st {};
    if (::stat(native.c_str(), &st) != 0) return false;
    if (S_ISDIR(st.st_mode)) return true;
    return S_ISREG(st.st_mode) && ::access(native.c_str(), X_OK) != 0;
}

std::string NativeText(const std::string& cp932) {
    if (auto native = ToNative(cp932)) return *native;
    return Cp932ToUtf8(cp932);
}

void WriteErrno(int fd, int err) {
    ssize_t ignored = ::write(fd, &err, sizeof err);
    (void)ignored;
}

// The start itself, on native texts. Returns 0 or the errno of the failure.
int Spawn(const std::string& program, const std::vector<std::string>& args) {
    // Everything the children need is built before fork: after it only
    // async-signal-safe calls are allowed (the window runs other threads).
    std::vector<char*> argv;
    argv.reserve(args.size() + 2);
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    int pipefd[2];
    if (::pipe2(pipefd, O_CLOEXEC) != 0) return errno;

    pid_t child = ::fork();
    if (child < 0) {
        int err = errno;
        ::close(pipefd[0]);
        ::close(pipefd[1]);
        return err;
    }
    if (child == 0) {
        // Intermediate child: a session of its own, then the grandchild runs
        // the program and this one ends at once, so the program is adopted
        // by init and never stays a zombie of ours.
        ::close(pipefd[0]);
        ::setsid();
        pid_t grandchild = ::fork();
        if (grandchild < 0) {
            WriteErrno(pipefd[1], errno);
            ::_exit(1);
        }
        if (grandchild > 0) ::_exit(0);

        int devnull = ::open("/dev/null", O_RDONLY);
        if (devnull >= 0 && devnull != STDIN_FILENO) {
            ::dup2(devnull, STDIN_FILENO);
            ::close(devnull);
        }
        // None of our descriptors (sockets, files) reach the program; the
        // error pipe closes on exec too, which tells the parent it worked.
        ::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        struct sigaction dfl {};
        dfl.sa_handler = SIG_DFL;
        ::sigaction(SIGPIPE, &dfl, nullptr);
        ::sigaction(SIGCHLD, &dfl, nullptr);

        ::execve(program.c_str(), argv.data(), environ);
        WriteErrno(pipefd[1], errno);
        ::_exit(127);
    }

    ::close(pipefd[1]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    // EOF: the program has been exec'd; an int: the errno of the failure.
    int err = 0;
    ssize_t got;
    do {
        got = ::read(pipefd[0], &err, sizeof err);
    } while (got < 0 && errno == EINTR);
    ::close(pipefd[0]);
    return got == static_cast<ssize_t>(sizeof err) ? err : 0;
}

int StartNative(const std::string& nativeProgram, const std::vector<std::string>& nativeArgs) {
    std::optional<std::string> found = FindNative(nativeProgram);
    if (!found) {
        bool folderMissing = nativeProgram.find('/') != std::string::npos && FolderPartMissing(nativeProgram);
        return ShellCodeForErrno(ENOENT, folderMissing, false);
    }
    int err = Spawn(*found, nativeArgs);
    if (err == 0) return kShellOk;
    return ShellCodeForErrno(err, FolderPartMissing(*found), LacksExecutePermission(*found));
}

}  // namespace

int ShellCodeForErrno(int err, bool folderMissing, bool notExecutable) {
    switch (err) {
        case ENOENT:
            return folderMissing ? kShellPathNotFound : kShellFileNotFound;
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP:
            return kShellPathNotFound;
        case ENOEXEC:
        case ELIBBAD:
        case EISDIR:
            return kShellBadExecutable;
        case EACCES:
            return notExecutable ? kShellBadExecutable : kShellAccessDenied;
        case EPERM:
        case ETXTBSY:
            return kShellAccessDenied;
        default:
            return kShellOutOfResources;
    }
}

std::string OpenProgram() {
    const char* env = std::getenv("VELMORAN_OPEN_PROGRAM");
    return env && *env ? std::string(env) : std::string("xdg-open");
}

bool OpenProgramAvailable() { return FindNative(OpenProgram()).has_value(); }

std::string FindProgram(const std::string& program) {
    auto native = ToNative(program);
    if (!native) return {};
    auto found = FindNative(*native);
    if (!found) return {};
    return FromNative(*found).value_or(std::string());
}

int StartDetached(const std::string& program, const std::vector<std::string>& args) {
    std::vector<std::string> nativeArgs;
    nativeArgs.reserve(args.size());
    for (const std::string& a : args) nativeArgs.push_back(NativeText(a));
    return StartNative(NativeText(program), nativeArgs);
}

int ShellOpen(const std::string& target) {
    std::string native = NativeText(target);
    struct stat st {};
    if (native.empty() || ::stat(native.c_str(), &st) != 0)
        return ShellCodeForErrno(ENOENT, FolderPartMissing(native), false);
    std::string opener = OpenProgram();
    if (!FindNative(opener)) return kShellNoAssociation;
    return StartNative(opener, {native});
}

}  // namespace platform
