// Faults on real files: saves killed at random moments, a full and a
// read-only file system, a resource over 2 GiB and a very long link chain.
// The file-system cases mount a small tmpfs and therefore need root; they
// skip with a message elsewhere.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "engine/UDecodeHTML.h"
#include "engine/UHTMLList.h"
#include "engine/UInputList.h"
#include "outside/UCreateWLS.h"
#include "platform/Dialogs.h"
#include "platform/Encoding.h"
#include "platform/FileSystem.h"
#include "platform/FrontEnd.h"
#include "platform/Process.h"
#include "report/UCreateResult.h"
#include "settings/Uenviron.h"
#include "support/TempDir.h"

namespace {

using Strings = std::vector<std::string>;

std::string Cp(const std::string& native) { return *platform::FromNative(native); }

// Names in a folder, "." and ".." left out.
Strings Names(const std::string& nativeDir) {
    std::vector<platform::DirEntry> entries;
    platform::ListDirectory(Cp(nativeDir), entries);
    Strings names;
    for (const auto& e : entries) names.push_back(e.name);
    return names;
}

bool StartsWith(const std::string& s, std::string_view p) { return s.compare(0, p.size(), p) == 0; }
bool EndsWith(const std::string& s, std::string_view p) {
    return s.size() >= p.size() && s.compare(s.size() - p.size(), p.size(), p) == 0;
}

// Every test starts from default settings, an empty model, no boxes shown
// and no WWWC process, and gives all of that back.
class Faults : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = EnvSettings;
        EnvSettings = TEnvSettings{};
        FileList.Clear();
        ErrorLog.Clear();
        platform::FrontEnd().wwwcRunning = [] { return false; };
        platform::FrontEnd().messageBox = [this](const platform::TMessageRequest& r) {
            boxes.push_back(r);
            return r.unattended.value_or(r.defaultButton);
        };
        cwd_ = platform::GetCurrentDir();
    }
    void TearDown() override {
        ::unsetenv("VELMORAN_INI");
        FileList.Clear();
        ErrorLog.Clear();
        InputList.clear();
        EnvSettings = saved_;
        platform::SetCurrentDir(cwd_);
    }

    static void AddPage(const std::string& name, const Strings& urls) {
        auto* page = new THTMLFileInfo;
        page->FileName = name;
        page->URLList = urls;
        FileList.Add(page);
    }

    std::vector<platform::TMessageRequest> boxes;

private:
    platform::TFrontEndScope frontEnd_;
    TEnvSettings saved_;
    std::string cwd_;
};

// --- saves killed at random moments -------------------------------------------

// Forks a child that calls save() for ever, alternating between the two
// versions (save(0), save(1), save(0), ...), kills it with SIGKILL after a
// random delay and hands the round number to check(). The delays spread
// over a few saves, so the kills land at every stage of one.
void KillSavesAtRandom(int rounds, const std::function<void(int)>& save, const std::function<void(int)>& check) {
    // How long one save takes here, to choose the delays.
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < 4; ++i) save(i & 1);
    const auto perSave =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - t0).count() / 4 + 1;
    std::mt19937 rng(20240501);
    std::uniform_int_distribution<long> delay(0, 3 * perSave + 200);
    for (int round = 0; round < rounds; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int v = 0;; v ^= 1) save(v);
        }
        ::usleep(static_cast<useconds_t>(delay(rng)));
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "the saving child ended by itself";
        check(round);
        if (::testing::Test::HasFatalFailure()) return;
    }
}

constexpr int kKillRounds = 200;

TEST_F(Faults, SettingsSaveKilledAnywhereLeavesTheOldOrTheNewFile) {
    TempDir t;
    const std::string ini = t / "VELMORAN.INI";
    ::setenv("VELMORAN_INI", ini.c_str(), 1);
    // Two versions of very different length, so that a cut file shows.
    auto apply = [](int v) {
        EnvSettings = TEnvSettings{};
        EnvSettings.Bps = v ? 9600 : 28800;
        EnvSettings.Aliases.clear();
        for (int i = 0; i < (v ? 400 : 2); ++i)
            EnvSettings.Aliases.push_back("/alias" + std::to_string(i) + "/;/srv/www/site" + std::to_string(i) + "/");
    };
    auto save = [&](int v) {
        apply(v);
        (void)SaveSettings();
    };
    save(1);
    save(0);
    const std::string v0 = ReadNative(ini);
    save(1);
    const std::string v1 = ReadNative(ini);
    save(0);
    ASSERT_EQ(ReadNative(ini), v0) << "a save must not depend on what it replaces";
    ASSERT_GT(v1.size(), 8 * v0.size());

    int kills = 0;
    KillSavesAtRandom(kKillRounds, save, [&](int) {
        ++kills;
        const std::string now = ReadNative(ini);
        ASSERT_TRUE(now == v0 || now == v1) << "settings file of " << now.size() << " bytes after a kill";
    });
    ASSERT_FALSE(HasFatalFailure());

    // A kill can leave the one temporary file of the save it cut short
    // (".velmoran-XXXXXX" beside the settings file), nothing else.
    int temporaries = 0;
    for (const std::string& n : Names(t.path())) {
        if (n == "VELMORAN.INI") continue;
        EXPECT_TRUE(StartsWith(n, ".velmoran-")) << n;
        ++temporaries;
    }
    EXPECT_LE(temporaries, kills);
    // A save that is not interrupted leaves nothing behind.
    const size_t before = Names(t.path()).size();
    save(1);
    EXPECT_EQ(ReadNative(ini), v1);
    EXPECT_EQ(Names(t.path()).size(), before);
}

TEST_F(Faults, WlsUpdateKilledAnywhereLeavesTheOldOrTheNewFile) {
    TempDir t;
    const std::string wls = Cp(t / "items.wls");
    EnvSettings.WlsKeepInfo = false;
    auto save = [&](int v) {
        FileList.Clear();
        if (v) {
            for (int i = 0; i < 300; ++i)
                AddPage("/srv/p" + std::to_string(i) + ".htm",
                        {"http://www" + std::to_string(i) + ".example/index.html"});
        } else {
            AddPage("/srv/a.htm", {"http://a.example/"});
        }
        ASSERT_EQ(UpdateWlsFile(wls).Outcome, TWlsOutcome::Written);
    };
    save(0);
    const std::string v0 = ReadNative(t / "items.wls");
    save(1);
    const std::string v1 = ReadNative(t / "items.wls");
    ASSERT_GT(v1.size(), 100 * v0.size());

    int kills = 0;
    KillSavesAtRandom(kKillRounds, save, [&](int) {
        ++kills;
        const std::string now = ReadNative(t / "items.wls");
        ASSERT_TRUE(now == v0 || now == v1) << "item file of " << now.size() << " bytes after a kill";
    });
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_TRUE(boxes.empty());

    // A kill can leave the intermediate file of the update it cut short
    // ("XXXXXXXX.~LS" beside the item file), nothing else.
    int intermediates = 0;
    for (const std::string& n : Names(t.path())) {
        if (n == "items.wls") continue;
        EXPECT_TRUE(EndsWith(n, ".~LS") && n.size() == 12) << n;
        ++intermediates;
    }
    EXPECT_LE(intermediates, kills);
    const size_t before = Names(t.path()).size();
    save(0);
    EXPECT_EQ(ReadNative(t / "items.wls"), v0);
    EXPECT_EQ(Names(t.path()).size(), before);
}

// --- a full and a read-only file system ----------------------------------------

// A tmpfs mounted for one test (a few pages unless told otherwise);
// unmounted at the end, which also frees what was written to it.
class TinyFileSystem {
public:
    explicit TinyFileSystem(const std::string& where, const std::string& size = "256k") : dir_(where) {
        if (::geteuid() != 0) {
            why_ = "not running as root: cannot mount a tmpfs";
            return;
        }
        ::mkdir(dir_.c_str(), 0755);
        if (::mount("tmpfs", dir_.c_str(), "tmpfs", 0, ("size=" + size + ",mode=0755").c_str()) != 0) {
            why_ = std::string("cannot mount a tmpfs here: ") + std::strerror(errno);
            return;
        }
        mounted_ = true;
    }
    ~TinyFileSystem() {
        if (mounted_) ::umount2(dir_.c_str(), MNT_DETACH);
    }
    TinyFileSystem(const TinyFileSystem&) = delete;
    TinyFileSystem& operator=(const TinyFileSystem&) = delete;

    bool Mounted() const { return mounted_; }
    const std::string& WhyNot() const { return why_; }
    std::string operator/(const std::string& rel) const { return dir_ + "/" + rel; }

    // Writes a filler file until the file system has no block left.
    void Fill() const {
        const int fd = ::open((dir_ + "/filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        const std::string block(4096, 'x');
        while (::write(fd, block.data(), block.size()) > 0) {
        }
        ASSERT_EQ(errno, ENOSPC);
        // The last, partly used page too.
        while (::write(fd, "x", 1) > 0) {
        }
        ::close(fd);
    }
    bool MakeReadOnly() const { return ::mount("tmpfs", dir_.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0; }

private:
    std::string dir_;
    bool mounted_ = false;
    std::string why_;
};

// The files each case starts from, written before the file system fails.
struct TOldFiles {
    std::string ini, wls, report;
};

TOldFiles WriteOldFiles(const TinyFileSystem& fs) {
    TOldFiles old{"[CONFIG]\r\nBPS=1200\r\n", "<NAME>x\r\n<URL>http://old.example/\r\n", "old report\r\n"};
    std::FILE* f = std::fopen((fs / "VELMORAN.INI").c_str(), "wb");
    std::fputs(old.ini.c_str(), f);
    std::fclose(f);
    f = std::fopen((fs / "items.wls").c_str(), "wb");
    std::fputs(old.wls.c_str(), f);
    std::fclose(f);
    f = std::fopen((fs / "report.txt").c_str(), "wb");
    std::fputs(old.report.c_str(), f);
    std::fclose(f);
    return old;
}

// The three writers on a file system that refuses them: the settings save
// fails silently, the item file update and the report export report it,
// and every old file is as it was.
void ExpectNothingLost(const TinyFileSystem& fs, const TOldFiles& old, std::vector<platform::TMessageRequest>& boxes,
                       const Strings& namesBefore) {
    ::setenv("VELMORAN_INI", (fs / "VELMORAN.INI").c_str(), 1);
    LoadSettings();
    EnvSettings.Bps = 9600;
    for (int i = 0; i < 50; ++i) EnvSettings.Aliases.push_back("/a" + std::to_string(i) + "/;/srv/a/");
    EXPECT_FALSE(SaveSettings());
    EXPECT_TRUE(boxes.empty()) << "nothing shows a box";
    EXPECT_EQ(ReadNative(fs / "VELMORAN.INI"), old.ini);

    for (int i = 0; i < 50; ++i) {
        auto* page = new THTMLFileInfo;
        page->FileName = "/srv/p.htm";
        page->URLList = {"http://new" + std::to_string(i) + ".example/"};
        FileList.Add(page);
    }
    const TWlsResult wls = UpdateWlsFile(Cp(fs / "items.wls"));
    EXPECT_EQ(wls.Outcome, TWlsOutcome::Failed) << "the item file update reports";
    EXPECT_FALSE(wls.Message.empty());
    EXPECT_EQ(ReadNative(fs / "items.wls"), old.wls);

    const platform::TResult saved = SaveTextReport(Cp(fs / "report.txt"));
    EXPECT_FALSE(saved) << "the report export must fail";
    EXPECT_EQ(saved.Error, FileCreateErrorText(Cp(fs / "report.txt")));
    EXPECT_EQ(ReadNative(fs / "report.txt"), old.report);
    EXPECT_EQ(Names(fs / "."), namesBefore) << "no temporary file is left";
}

TEST_F(Faults, FullFileSystemLosesNothing) {
    TempDir t;
    TinyFileSystem fs(t / "mnt");
    if (!fs.Mounted()) GTEST_SKIP() << fs.WhyNot();
    const TOldFiles old = WriteOldFiles(fs);
    fs.Fill();
    ExpectNothingLost(fs, old, boxes, {"VELMORAN.INI", "filler", "items.wls", "report.txt"});
}

TEST_F(Faults, ReadOnlyFileSystemLosesNothing) {
    TempDir t;
    TinyFileSystem fs(t / "mnt");
    if (!fs.Mounted()) GTEST_SKIP() << fs.WhyNot();
    const TOldFiles old = WriteOldFiles(fs);
    ASSERT_TRUE(fs.MakeReadOnly());
    ExpectNothingLost(fs, old, boxes, {"VELMORAN.INI", "items.wls", "report.txt"});
}

// --- sizes and depths -----------------------------------------------------------

TEST_F(Faults, ResourceOver2GiBWeighsInFull) {
    TempDir t;
    const std::string html = "<HTML><IMG SRC=\"big.bin\"></HTML>";
    t.Write("page.html", html);
    // Sparse: the page and the file weigh 3 GiB together.
    const int64_t total = int64_t{3} << 30;
    const int fd = ::open((t / "big.bin").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, total - static_cast<int64_t>(html.size())), 0);
    ::close(fd);

    InputList = {Cp(t / "page.html")};
    bool stop = false;
    MeasureAll(stop, {}, {}, {});
    ASSERT_EQ(FileList.Count(), 1);
    const THTMLFileInfo& page = *FileList[0];
    EXPECT_EQ(page.TotalSize, total);
    ASSERT_EQ(page.Items.Count(), 2);
    EXPECT_EQ(page.Items[1]->TotalSize, total - static_cast<int64_t>(html.size()));
    EXPECT_EQ(FormatWeight(page.TotalSize), "3,221,225,472 Bytes");
    // 25,769,803,776 bits at 28,800 bps.
    EXPECT_EQ(FormatLoadTime(page.TotalSize), "248" + SJ("時間") + " 33" + SJ("分") + " 04.85" + SJ("秒"));

    std::vector<std::string> lines;
    BuildTextReport(lines);
    bool found = false;
    for (const std::string& l : lines) found = found || l.find("3,221,225,472 Bytes") != std::string::npos;
    EXPECT_TRUE(found);
}

// Runs fn on a thread with a 256 KiB stack and waits for it.
void RunOnSmallStack(const std::function<void()>& fn) {
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, 256 * 1024);
    pthread_t th;
    auto body = [](void* arg) -> void* {
        (*static_cast<const std::function<void()>*>(arg))();
        return nullptr;
    };
    ASSERT_EQ(pthread_create(&th, &attr, body, const_cast<std::function<void()>*>(&fn)), 0);
    pthread_join(th, nullptr);
    pthread_attr_destroy(&attr);
}

TEST_F(Faults, HundredThousandDeepLinkChainFinishes) {
    TempDir disk;
    // As root the pages go to a tmpfs, where writing and dropping 100,000
    // files takes a fraction of the time; the measurement is the same.
    TinyFileSystem fs(disk / "mnt", "1g");
    const std::string root = fs.Mounted() ? disk / "mnt" : disk.path();
    struct TFolder {
        std::string base;
        std::string operator/(const std::string& rel) const { return base + "/" + rel; }
        void MakeDir(const std::string& rel) const { ::mkdir((base + "/" + rel).c_str(), 0755); }
        void Write(const std::string& rel, const std::string& bytes) const {
            std::FILE* f = std::fopen((base + "/" + rel).c_str(), "wb");
            std::fwrite(bytes.data(), 1, bytes.size(), f);
            std::fclose(f);
        }
    } t{root};
    constexpr int kPages = 100000;
    auto name = [](int i) {
        char n[48];
        std::snprintf(n, sizeof n, "d%03d/p%06d.html", i / 1000, i);
        return std::string(n);
    };
    for (int i = 0; i < kPages; ++i) {
        const std::string text =
            i + 1 < kPages ? "<A HREF=\"../" + name(i + 1) + "\">next</A><IMG SRC=\"../i.gif\">" : "<P>end";
        if (i % 1000 == 0) t.MakeDir(name(i).substr(0, 4));
        const int fd = ::open((t / name(i)).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
        ::close(fd);
    }
    t.Write("i.gif", "GIF89a");

    InputList = {Cp(t / name(0))};
    RunOnSmallStack([] {
        bool stop = false;
        MeasureAll(stop, {}, {}, {});
    });
    ASSERT_EQ(FileList.Count(), kPages);
    EXPECT_EQ(FileList[kPages - 1]->FileName, Cp(t / name(kPages - 1)));
    EXPECT_EQ(FileList[kPages / 2]->TotalSize, FileList[kPages / 2]->HTMLSize + 6);
    EXPECT_EQ(ErrorLog.Count(), 0);
}

}  // namespace
