// Where an output goes: written in place into what is not a regular file,
// refused when protected or a folder, replaced whole otherwise.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <future>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/OutputFile.h"
#include "support/TempDir.h"

namespace {

using namespace platform;

std::string Cp(const std::string& native) { return *FromNative(native); }

std::vector<std::string> Names(const std::string& nativeFolder) {
    std::vector<DirEntry> entries;
    ListDirectory(Cp(nativeFolder), entries);
    std::vector<std::string> names;
    for (const DirEntry& e : entries) names.push_back(e.name);
    return names;
}

// Reads the descriptor on a thread until every writer has closed it, or
// gives up after a few quiet seconds, so that an output that never arrives
// fails the test instead of hanging it. Closes the descriptor.
std::future<std::string> ReadAll(int fd) {
    return std::async(std::launch::async, [fd] {
        std::string got;
        char buf[8192];
        for (;;) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 5000) <= 0) break;
            ssize_t n = ::read(fd, buf, sizeof buf);
            if (n <= 0) break;
            got.append(buf, static_cast<size_t>(n));
        }
        ::close(fd);
        return got;
    });
}

TEST(OutputFile, PipesAndFifosAreWrittenInPlace) {
    // More than a pipe holds, so that the writer must wait for the reader.
    std::string data = "line\r\n";
    while (data.size() < 200000) data += data;

    struct Case {
        const char* what;
        // Makes the target; returns its native name, the descriptor to read
        // from and the write end the test itself holds (or -1).
        std::function<std::string(const TempDir&, int& readFd, int& heldWriteFd)> make;
    };
    auto pipeTo = [](const std::function<std::string(const TempDir&, int)>& name) {
        return [name](const TempDir& t, int& readFd, int& heldWriteFd) {
            int fds[2];
            EXPECT_EQ(::pipe(fds), 0);
            readFd = fds[0];
            heldWriteFd = fds[1];
            return name(t, fds[1]);
        };
    };
    const std::vector<Case> cases = {
        {"a FIFO",
         [](const TempDir& t, int& readFd, int& heldWriteFd) {
             EXPECT_EQ(::mkfifo((t / "fifo").c_str(), 0644), 0);
             // Opened for reading first, so that the writer's open finds a reader.
             readFd = ::open((t / "fifo").c_str(), O_RDONLY | O_NONBLOCK);
             heldWriteFd = -1;
             return t / "fifo";
         }},
        {"/proc/self/fd/N", pipeTo([](const TempDir&, int w) { return "/proc/self/fd/" + std::to_string(w); })},
        {"a link to /proc/self/fd/N, as /dev/stdout is", pipeTo([](const TempDir& t, int w) {
             EXPECT_EQ(::symlink(("/proc/self/fd/" + std::to_string(w)).c_str(), (t / "stdout").c_str()), 0);
             return t / "stdout";
         })},
        {"N in a linked /proc/self/fd, as /dev/fd/N is", pipeTo([](const TempDir& t, int w) {
             EXPECT_EQ(::symlink("/proc/self/fd", (t / "fd").c_str()), 0);
             return t / "fd" + "/" + std::to_string(w);
         })},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir t;
        int readFd = -1, heldWriteFd = -1;
        const std::string target = c.make(t, readFd, heldWriteFd);
        ASSERT_GE(readFd, 0);
        struct stat before;
        ASSERT_EQ(::lstat(target.c_str(), &before), 0);
        const std::vector<std::string> namesBefore = Names(t.path());

        std::future<std::string> arrived = ReadAll(readFd);
        const platform::TResult written = WriteFileAtomic(Cp(target), data);
        EXPECT_TRUE(written) << written.Error;
        struct stat after;
        EXPECT_EQ(::lstat(target.c_str(), &after), 0) << "the node is gone";
        EXPECT_EQ(after.st_mode & S_IFMT, before.st_mode & S_IFMT);
        EXPECT_EQ(after.st_ino, before.st_ino);
        EXPECT_EQ(Names(t.path()), namesBefore) << "nothing made beside it";
        if (heldWriteFd >= 0) ::close(heldWriteFd);
        EXPECT_EQ(arrived.get(), data);
    }

    // A reader that has gone is a write error, not the end of the process.
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ::close(fds[0]);
    const platform::TResult written = WriteFileAtomic("/proc/self/fd/" + std::to_string(fds[1]), data);
    EXPECT_FALSE(written);
    EXPECT_EQ(written.Error.rfind("write", 0), 0u) << written.Error;
    ::close(fds[1]);
}

TEST(OutputFile, ProtectedTargetsAndFoldersAreRefusedAndKept) {
    struct Case {
        const char* what;
        std::function<std::string(const TempDir&)> make;  // the target's native name
        TOutputError error;
    };
    const std::vector<Case> cases = {
        {"a write-protected file",
         [](const TempDir& t) {
             const std::string f = t.Write("report.txt", "old");
             ::chmod(f.c_str(), 0444);
             return f;
         },
         TOutputError::Protected},
        {"a link to a write-protected file",
         [](const TempDir& t) {
             const std::string f = t.Write("real.txt", "old");
             ::chmod(f.c_str(), 0400);
             EXPECT_EQ(::symlink(f.c_str(), (t / "link.txt").c_str()), 0);
             return t / "link.txt";
         },
         TOutputError::Protected},
        {"a file in a write-protected folder",
         [](const TempDir& t) {
             const std::string f = t.Write("ro/report.txt", "old");
             ::chmod((t / "ro").c_str(), 0555);
             return f;
         },
         TOutputError::Protected},
        {"a new name in a write-protected folder",
         [](const TempDir& t) {
             t.MakeDir("ro");
             ::chmod((t / "ro").c_str(), 0555);
             return t / "ro/new.txt";
         },
         TOutputError::Protected},
        {"a folder", [](const TempDir& t) { return t.MakeDir("out.txt"); }, TOutputError::Folder},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir t;
        const std::string target = c.make(t);
        const std::string folder = target.substr(0, target.rfind('/'));
        const std::vector<std::string> namesBefore = Names(folder);
        const std::string contentBefore = ReadNative(target);

        EXPECT_EQ(CheckOutputTarget(Cp(target)), c.error);
        TOutputFile out;
        EXPECT_FALSE(out.Open(Cp(target)));
        EXPECT_EQ(out.Error(), c.error);
        const platform::TResult written = WriteFileAtomic(Cp(target), "new");
        EXPECT_FALSE(written);
        EXPECT_FALSE(written.Error.empty());

        EXPECT_EQ(ReadNative(target), contentBefore);
        EXPECT_EQ(Names(folder), namesBefore);
        ::chmod(folder.c_str(), 0755);  // so that the folder can be removed
    }
}

TEST(OutputFile, StreamedOutputReplacesTheFileOnlyWhenCommitted) {
    TempDir t;
    const std::string file = t.Write("items.wls", "old");
    ::chmod(file.c_str(), 0640);
    t.Write("0.tmp", "");  // an earlier temporary file: its name is passed over
    const std::string chunk(50000, 'x');
    auto namer = [](unsigned attempt) { return std::to_string(attempt) + ".tmp"; };
    {
        TOutputFile out;
        ASSERT_TRUE(out.Open(Cp(file), namer));
        EXPECT_FALSE(out.InPlace());
        for (int i = 0; i < 3; ++i) ASSERT_TRUE(out.Write(chunk));
        EXPECT_EQ(Names(t.path()), (std::vector<std::string>{"0.tmp", "1.tmp", "items.wls"}));
        // Not committed: given up when it goes.
    }
    EXPECT_EQ(ReadNative(file), "old");
    EXPECT_EQ(Names(t.path()), (std::vector<std::string>{"0.tmp", "items.wls"}));

    TOutputFile out;
    ASSERT_TRUE(out.Open(Cp(file), namer));
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(out.Write(chunk));
    ASSERT_TRUE(out.Write("end"));
    ASSERT_TRUE(out.Commit()) << out.ErrorText();
    EXPECT_EQ(ReadNative(file), chunk + chunk + chunk + "end");
    struct stat st;
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(Names(t.path()), (std::vector<std::string>{"0.tmp", "items.wls"}));
}

}  // namespace
