// The one way a file the user gets is written: the text and HTML reports,
// the JSON and problem files, the WWWC item file and the settings file.
// What a target may be is decided here and nowhere else:
//
// - A regular file, or a name that does not exist yet, is replaced
//   atomically: a temporary file in the same folder is written, flushed to
//   disk and renamed over it, and the folder is flushed, so that a failure
//   at any point leaves the whole old file or the whole new one. The old
//   file's permissions are kept. A symlink is followed to the file it leads
//   to (a link that leads nowhere is replaced by the file itself).
// - Any other existing target - a device, a FIFO, a socket, anything reached
//   through /proc such as /dev/stdout (a link to /proc/self/fd/1) - is
//   opened and written where it is, never renamed over: replacing it would
//   destroy the node and its reader would get nothing.
// - A folder is refused, and so is a write-protected target: judged by the
//   mode bits (as root, every write would otherwise be allowed) and by the
//   system, for the file and, when a file is put into it, for its folder.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "platform/Result.h"

namespace platform {

enum class TOutputError {
    None,
    Protected,  // the target, or the folder a replacement goes into, is write-protected
    Folder,     // the target is a folder
    Failed,     // anything else: no such folder, disk full, an I/O error, ...
};

// Open, Write as often as needed, Commit. An output that is not committed
// is abandoned when the object goes away: a replaced file stays as it was.
class TOutputFile {
public:
    // The name of the temporary file for attempt 0, 1, 2, ... (a bare name,
    // put beside the file it replaces; a name that exists is passed over).
    // Without one a ".velmoran-XXXXXX" name is made.
    using TTempNamer = std::function<std::string(unsigned attempt)>;

    TOutputFile() = default;
    ~TOutputFile();
    TOutputFile(const TOutputFile&) = delete;
    TOutputFile& operator=(const TOutputFile&) = delete;

    // Opens the CP932 path for writing by the rules above. False, with
    // Error() and ErrorText() set, when it cannot be; nothing is touched then.
    bool Open(std::string_view path, const TTempNamer& tempName = {});
    // Adds bytes to the output. False once anything has failed.
    bool Write(std::string_view data);
    // Finishes the output: the new file is put in place, or the target
    // written in place is closed. False on failure; a file being replaced
    // is then left as it was.
    bool Commit();
    // Gives the output up: a replacement's temporary file is removed. What
    // was already written in place stays written.
    void Abort();

    bool IsOpen() const { return fd_ >= 0; }
    // Whether the target is written where it is rather than replaced.
    bool InPlace() const { return inPlace_; }
    TOutputError Error() const { return error_; }
    const std::string& ErrorText() const { return errorText_; }

private:
    bool OpenInPlace(const std::string& native, const std::string& procLink, bool regular);
    bool OpenReplacement(const std::string& target, const TTempNamer& tempName);
    bool WriteOut(std::string_view data);
    bool Flush();
    bool Fail(TOutputError kind, std::string text);
    void CloseFd();

    int fd_ = -1;
    bool inPlace_ = false;
    std::string target_;  // native name the replacement is renamed onto
    std::string temp_;    // native name of the temporary file
    std::string buffer_;  // written out when it grows or at Commit
    size_t written_ = 0;  // bytes of a replacement written so far
    size_t flushed_ = 0;  // of which write-back to disk has been started
    TOutputError error_ = TOutputError::None;
    std::string errorText_;
};

// What would refuse an output to path before anything is written:
// Protected, Folder, or None (which does not promise that writing succeeds).
TOutputError CheckOutputTarget(std::string_view path);
// Whether an output to path would be written where it is (a device, FIFO,
// socket or /proc link) rather than replaced.
bool OutputInPlace(std::string_view path);

// The whole output in one call: Open, Write, Commit. A failure carries the
// reason (ErrorText).
[[nodiscard]] TResult WriteFileAtomic(std::string_view path, std::string_view data);

}  // namespace platform
