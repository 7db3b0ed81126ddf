// A file written in pieces and replaced as a whole: the pieces go to a
// temporary file in the same folder, which Commit flushes and renames over
// the target (over a symlink's target), as WriteFileAtomic does with one
// piece. Used for outputs too big to be held whole.
#pragma once

#include <string>
#include <string_view>

namespace platform {

class TAtomicFileWriter {
public:
    TAtomicFileWriter() = default;
    // Removes the temporary file unless Commit succeeded.
    ~TAtomicFileWriter();
    TAtomicFileWriter(const TAtomicFileWriter&) = delete;
    TAtomicFileWriter& operator=(const TAtomicFileWriter&) = delete;

    // False (with errno-based text in *error) when the temporary file
    // cannot be made.
    bool Open(std::string_view path, std::string* error = nullptr);
    // Pieces are gathered and written in blocks; the first failure is kept
    // and reported by Commit.
    void Write(std::string_view data);
    // Writes what is left, flushes to disk and renames into place. False
    // (with the text of the first failure) when any step failed.
    bool Commit(std::string* error = nullptr);

private:
    bool Drain();

    int fd_ = -1;
    std::string tmpName_;
    std::string target_;
    std::string buffer_;
    std::string error_;
    size_t written_ = 0;  // bytes written to the temporary file
    size_t flushed_ = 0;  // of which write-back has been started
};

}  // namespace platform
