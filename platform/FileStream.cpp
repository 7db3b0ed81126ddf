#include "platform/FileStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/FileSystem.h"

namespace platform {

namespace {
constexpr size_t kBlock = 1 << 18;
constexpr size_t kWriteBack = 1 << 23;

std::string ErrnoText(const char* what) { return std::string(what) + ": " + std::strerror(errno); }
}  // namespace

TAtomicFileWriter::~TAtomicFileWriter() {
    if (fd_ >= 0) ::close(fd_);
    if (!tmpName_.empty()) ::unlink(tmpName_.c_str());
}

bool TAtomicFileWriter::Open(std::string_view path, std::string* error) {
    auto native = ToNative(path);
    if (!native) {
        if (error) *error = "name has no native form";
        return false;
    }
    target_ = ReplacementTarget(*native);
    std::string dir = ExtractFilePath(target_);
    std::string tmpl = (dir.empty() ? std::string("./") : dir) + ".velmoran-XXXXXX";
    std::vector<char> name(tmpl.begin(), tmpl.end());
    name.push_back('\0');
    fd_ = ::mkstemp(name.data());
    if (fd_ < 0) {
        if (error) *error = ErrnoText("create");
        return false;
    }
    tmpName_ = name.data();
    // Keep the permissions of the file being replaced (mkstemp makes 0600).
    struct stat st;
    if (::stat(target_.c_str(), &st) == 0) {
        ::fchmod(fd_, st.st_mode & 07777);
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd_, 0666 & ~mask);
    }
    buffer_.reserve(kBlock);
    return true;
}

bool TAtomicFileWriter::Drain() {
    if (!error_.empty()) {
        buffer_.clear();
        return false;
    }
    size_t done = 0;
    while (done < buffer_.size()) {
        ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            error_ = ErrnoText("write");
            break;
        }
        done += static_cast<size_t>(n);
    }
    buffer_.clear();
    // Start writing back what is written so far, so that the disk works
    // while the rest is made and Commit's flush has little left to wait for.
    written_ += done;
    if (error_.empty() && written_ - flushed_ >= kWriteBack) {
        ::sync_file_range(fd_, static_cast<off_t>(flushed_), static_cast<off_t>(written_ - flushed_),
                          SYNC_FILE_RANGE_WRITE);
        flushed_ = written_;
    }
    return error_.empty();
}

void TAtomicFileWriter::Write(std::string_view data) {
    if (fd_ < 0 || !error_.empty()) return;
    if (buffer_.size() + data.size() > kBlock && !buffer_.empty()) Drain();
    if (data.size() >= kBlock) {
        buffer_.assign(data);
        Drain();
        return;
    }
    buffer_.append(data);
}

bool TAtomicFileWriter::Commit(std::string* error) {
    if (fd_ < 0) {
        if (error) *error = error_.empty() ? "not open" : error_;
        return false;
    }
    Drain();
    if (error_.empty() && ::fsync(fd_) != 0) error_ = ErrnoText("fsync");
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0 && error_.empty()) error_ = ErrnoText("close");
    if (error_.empty() && ::rename(tmpName_.c_str(), target_.c_str()) != 0) error_ = ErrnoText("rename");
    if (!error_.empty()) {
        if (error) *error = error_;
        return false;  // the destructor removes the temporary file
    }
    tmpName_.clear();
    return true;
}

}  // namespace platform
