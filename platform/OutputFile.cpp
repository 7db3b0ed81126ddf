#include "platform/OutputFile.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "platform/FileSystem.h"

namespace platform {

namespace {

// Written out in pieces of this size, so that an output streamed line by
// line does not cost a system call per line.
constexpr size_t kBufferSize = 64 * 1024;
// A replacement's bytes are handed to the disk in steps of this size as
// they are written, so that Commit's flush has little left to wait for.
constexpr size_t kWriteBackStep = 8 * 1024 * 1024;
// Temporary names tried before giving up when every one exists.
constexpr unsigned kTempAttempts = 1000;

std::string ErrnoText(const char* what, int err) { return std::string(what) + ": " + std::strerror(err); }

// What the system's refusals of a write mean to the user.
TOutputError KindOfErrno(int err) {
    switch (err) {
        case EACCES:
        case EPERM:
        case EROFS:
        case EBUSY:
        case ETXTBSY:
            return TOutputError::Protected;
        case EISDIR:
            return TOutputError::Folder;
        default:
            return TOutputError::Failed;
    }
}

std::string FolderOf(const std::string& native) {
    size_t cut = native.rfind('/');
    if (cut == std::string::npos) return ".";
    if (cut == 0) return "/";
    return native.substr(0, cut);
}

std::string NameOf(const std::string& native) {
    size_t cut = native.rfind('/');
    return cut == std::string::npos ? native : native.substr(cut + 1);
}

std::string RealPath(const std::string& native) {
    char* real = ::realpath(native.c_str(), nullptr);
    if (!real) return {};
    std::string r = real;
    std::free(real);
    return r;
}

// Judged by the mode bits first: as root, access() passes over them.
bool WriteProtected(const std::string& native, const struct stat& st) {
    return (st.st_mode & 0222) == 0 || ::access(native.c_str(), W_OK) != 0;
}

// The link in /proc that the name is, or that a link on the way to what it
// names is (/dev/stdout leads to /proc/self/fd/1, /dev/fd is /proc/self/fd),
// with its folder's real name; empty when there is none. What such a link
// reaches is a file some process holds open, to be written where it is.
std::string ProcLink(const std::string& native) {
    std::string cur = native;
    for (int hop = 0; hop < 40; ++hop) {
        struct stat st;
        if (::lstat(cur.c_str(), &st) != 0) return {};
        const std::string folder = RealPath(FolderOf(cur));
        if (folder.empty()) return {};
        if (folder == "/proc" || folder.starts_with("/proc/")) return folder + "/" + NameOf(cur);
        if (!S_ISLNK(st.st_mode)) return {};
        std::vector<char> buf(static_cast<size_t>(st.st_size > 0 ? st.st_size : 255) + 2);
        ssize_t n = ::readlink(cur.c_str(), buf.data(), buf.size() - 1);
        if (n <= 0) return {};
        std::string to(buf.data(), static_cast<size_t>(n));
        cur = to.front() == '/' ? to : (folder == "/" ? "" : folder) + "/" + to;
    }
    return {};
}

// The descriptor a link /proc/<this process>/fd/N stands for, or -1.
int OwnDescriptor(const std::string& procLink) {
    const std::string own = "/proc/" + std::to_string(::getpid()) + "/fd/";
    if (!procLink.starts_with(own) || procLink.size() == own.size()) return -1;
    const std::string digits = procLink.substr(own.size());
    if (digits.find_first_not_of("0123456789") != std::string::npos || digits.size() > 9) return -1;
    return std::atoi(digits.c_str());
}

// How an output to a native name is made.
struct TPlan {
    enum { Replace, InPlace, Refuse } how = Replace;
    std::string target;  // Replace: the name renamed onto; InPlace: the name opened
    std::string procLink;
    bool regular = false;
    TOutputError error = TOutputError::None;
    std::string text;
};

TPlan PlanOutput(const std::string& native) {
    TPlan p;
    p.target = native;
    auto refuse = [&](TOutputError kind, const char* text) {
        p.how = TPlan::Refuse;
        p.error = kind;
        p.text = text;
        return p;
    };
    struct stat st;
    if (::stat(native.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return refuse(TOutputError::Folder, "is a folder");
        if (WriteProtected(native, st)) return refuse(TOutputError::Protected, "write-protected");
        p.regular = S_ISREG(st.st_mode);
        p.procLink = ProcLink(native);
        if (!p.regular || !p.procLink.empty()) {
            p.how = TPlan::InPlace;
            return p;
        }
        // A symlink is followed: the link survives, and whoever reads
        // through it sees the new content.
        if (std::string real = RealPath(native); !real.empty()) p.target = real;
    }
    // A new name, or a link leading nowhere, is made at the name itself;
    // the file goes into its folder.
    const std::string folder = FolderOf(p.target);
    if (::stat(folder.c_str(), &st) == 0 && WriteProtected(folder, st))
        return refuse(TOutputError::Protected, "folder write-protected");
    return p;
}

// Writes without being killed by SIGPIPE when the reader of a pipe has
// gone: the window must live on, and the command line reports the error.
ssize_t WriteSafely(int fd, const char* data, size_t size) {
    sigset_t pipeSet, old, pending;
    sigemptyset(&pipeSet);
    sigaddset(&pipeSet, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSet, &old);
    sigpending(&pending);
    const bool wasPending = sigismember(&pending, SIGPIPE) == 1;
    ssize_t n = ::write(fd, data, size);
    const int err = errno;
    // The signal comes with a short count as well as with EPIPE.
    sigpending(&pending);
    if (!wasPending && sigismember(&pending, SIGPIPE) == 1) {
        const struct timespec zero {};
        sigtimedwait(&pipeSet, nullptr, &zero);
    }
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    errno = err;
    return n;
}

void SyncFolder(const std::string& folder) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

TOutputFile::~TOutputFile() { Abort(); }

bool TOutputFile::Fail(TOutputError kind, std::string text) {
    if (error_ == TOutputError::None) {
        error_ = kind;
        errorText_ = std::move(text);
    }
    return false;
}

void TOutputFile::CloseFd() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool TOutputFile::Open(std::string_view path, const TTempNamer& tempName) {
    Abort();
    error_ = TOutputError::None;
    errorText_.clear();
    auto native = ToNative(path);
    if (!native || native->empty()) return Fail(TOutputError::Failed, "name has no native form");
    TPlan plan = PlanOutput(*native);
    switch (plan.how) {
        case TPlan::Refuse:
            return Fail(plan.error, plan.text);
        case TPlan::InPlace:
            return OpenInPlace(plan.target, plan.procLink, plan.regular);
        case TPlan::Replace:
            break;
    }
    return OpenReplacement(plan.target, tempName);
}

bool TOutputFile::OpenInPlace(const std::string& native, const std::string& procLink, bool regular) {
    // Never created here: the target exists. Truncating a device or a pipe
    // means nothing.
    int flags = O_WRONLY | O_NOCTTY | O_CLOEXEC | (regular ? O_TRUNC : 0);
    int fd = ::open(native.c_str(), flags);
    if (fd < 0 && errno == ENXIO) {
        // A socket cannot be opened by name; one this process holds (its
        // stdout under a service manager) can still be written to.
        if (int own = OwnDescriptor(procLink); own >= 0) fd = ::fcntl(own, F_DUPFD_CLOEXEC, 0);
        if (fd < 0) errno = ENXIO;
    }
    if (fd < 0) {
        const int err = errno;
        return Fail(KindOfErrno(err), ErrnoText("open", err));
    }
    fd_ = fd;
    inPlace_ = true;
    target_ = native;
    return true;
}

bool TOutputFile::OpenReplacement(const std::string& target, const TTempNamer& tempName) {
    const std::string folder = FolderOf(target);
    const std::string prefix = folder == "/" ? "/" : folder + "/";
    int fd = -1;
    std::string temp;
    if (tempName) {
        for (unsigned attempt = 0; attempt < kTempAttempts; ++attempt) {
            temp = prefix + tempName(attempt);
            fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            if (fd >= 0 || errno != EEXIST) break;
        }
    } else {
        std::string tmpl = prefix + ".velmoran-XXXXXX";
        fd = ::mkostemp(tmpl.data(), O_CLOEXEC);
        temp = tmpl;
    }
    if (fd < 0) {
        const int err = errno;
        return Fail(KindOfErrno(err), ErrnoText("create", err));
    }
    // The new file gets the old one's owner and permissions; a new name
    // what the umask allows (the temporary file was made 0600).
    struct stat st;
    if (::stat(target.c_str(), &st) == 0) {
        if (::geteuid() == 0) (void)!::fchown(fd, st.st_uid, st.st_gid);
        ::fchmod(fd, st.st_mode & 07777);
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    }
    fd_ = fd;
    inPlace_ = false;
    target_ = target;
    temp_ = temp;
    written_ = flushed_ = 0;
    return true;
}

bool TOutputFile::WriteOut(std::string_view data) {
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = inPlace_ ? WriteSafely(fd_, data.data() + done, data.size() - done)
                             : ::write(fd_, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            const int err = errno;
            return Fail(TOutputError::Failed, ErrnoText("write", err));
        }
        done += static_cast<size_t>(n);
    }
    if (!inPlace_) {
        written_ += done;
        if (written_ - flushed_ >= kWriteBackStep) {
            ::sync_file_range(fd_, static_cast<off_t>(flushed_), static_cast<off_t>(written_ - flushed_),
                              SYNC_FILE_RANGE_WRITE);
            flushed_ = written_;
        }
    }
    return true;
}

bool TOutputFile::Flush() {
    const bool ok = WriteOut(buffer_);
    buffer_.clear();
    return ok;
}

bool TOutputFile::Write(std::string_view data) {
    if (fd_ < 0) return Fail(TOutputError::Failed, "not open");
    if (error_ != TOutputError::None) return false;
    if (buffer_.size() + data.size() > kBufferSize && !Flush()) return false;
    // A piece bigger than the buffer goes out as it is.
    if (data.size() >= kBufferSize) return WriteOut(data);
    buffer_.append(data);
    return true;
}

bool TOutputFile::Commit() {
    if (fd_ < 0) return Fail(TOutputError::Failed, "not open");
    if (error_ != TOutputError::None || !Flush()) {
        Abort();
        return false;
    }
    if (inPlace_) {
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0) {
            const int err = errno;
            return Fail(TOutputError::Failed, ErrnoText("close", err));
        }
        return true;
    }
    if (::fsync(fd_) != 0) {
        const int err = errno;
        Abort();
        return Fail(TOutputError::Failed, ErrnoText("fsync", err));
    }
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(temp_.c_str());
        temp_.clear();
        return Fail(TOutputError::Failed, ErrnoText("close", err));
    }
    if (::rename(temp_.c_str(), target_.c_str()) != 0) {
        const int err = errno;
        ::unlink(temp_.c_str());
        temp_.clear();
        return Fail(KindOfErrno(err), ErrnoText("rename", err));
    }
    temp_.clear();
    SyncFolder(FolderOf(target_));
    return true;
}

void TOutputFile::Abort() {
    CloseFd();
    if (!inPlace_ && !temp_.empty()) ::unlink(temp_.c_str());
    temp_.clear();
    buffer_.clear();
    inPlace_ = false;
}

TOutputError CheckOutputTarget(std::string_view path) {
    auto native = ToNative(path);
    if (!native || native->empty()) return TOutputError::None;
    TPlan plan = PlanOutput(*native);
    return plan.how == TPlan::Refuse ? plan.error : TOutputError::None;
}

bool OutputInPlace(std::string_view path) {
    auto native = ToNative(path);
    if (!native || native->empty()) return false;
    return PlanOutput(*native).how == TPlan::InPlace;
}

TResult WriteFileAtomic(std::string_view path, std::string_view data) {
    TOutputFile out;
    if (out.Open(path) && out.Write(data) && out.Commit()) return TResult::Success();
    return TResult::Failure(out.ErrorText());
}

}  // namespace platform
