#include "outside/UCreateWLS.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <optional>
#include <unordered_set>

#include "engine/UHTMLList.h"
#include "outside/YKWLSLib.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Encoding.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "settings/Uenviron.h"

namespace {

const std::string& NotGivenText() { return SJ("WWWC アイテム情報ファイル(*.WLS) が指定されていません。"); }
const std::string& CannotOpenText() { return SJ("WWWC アイテム情報ファイル(*.WLS) がロックされているため開けません。"); }
const std::string& UpdateFailedText() { return SJ("WWWC アイテム情報ファイル(*.WLS) ファイルの更新に失敗しました。"); }
const std::string& LockedText() {
    return SJ("WWWC アイテム情報ファイル(*.WLS) がロックされているため更新できませんでした。");
}

void Error(const std::string& text) { ShowMessage(TMsgKind::Error, text); }

// Asks until WWWC has gone or the user goes on anyway. False: cancelled.
bool WaitForWwwc() {
    while (platform::IsWwwcRunning()) {
        TMessageRequest r;
        r.kind = TMsgKind::Warning;
        r.text = SJ("WWWCが起動しています。WWWCを終了させてください。") + "\n\n" +
                 SJ("(環境設定でこの警告ダイアログを非表示にできます)");
        r.buttons = TMsgButtons::RetryIgnoreCancel;
        r.defaultButton = TMsgResult::Retry;
        // Nobody can quit WWWC for an unattended run; asking again would
        // repeat for ever.
        r.unattended = TMsgResult::Ignore;
        r.helpContext = 10008;
        switch (ShowMessageBox(r)) {
            case TMsgResult::Retry: continue;
            case TMsgResult::Ignore: return true;
            default: return false;
        }
    }
    return true;
}

std::string FolderOf(const std::string& nativePath) {
    size_t cut = nativePath.rfind('/');
    if (cut == std::string::npos) return ".";
    if (cut == 0) return "/";
    return nativePath.substr(0, cut);
}

bool NotWritable(const std::string& nativePath) {
    struct stat st;
    if (::stat(nativePath.c_str(), &st) != 0) return false;
    // Mode bits first: as root, access() passes over them.
    return (st.st_mode & 0222) == 0 || ::access(nativePath.c_str(), W_OK) != 0;
}

// Whether an existing item file may not be replaced: it is write-protected,
// or its folder is. A file that does not exist is never locked.
bool ItemFileLocked(const std::string& nativePath) {
    struct stat st;
    if (::lstat(nativePath.c_str(), &st) != 0) return false;
    return NotWritable(nativePath) || NotWritable(FolderOf(nativePath));
}

bool WriteAll(int fd, const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

std::string IntermediateName(const std::string& path, uint32_t tick) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%08X", static_cast<unsigned>(tick));
    return platform::ExpandFileName(platform::ExtractFilePath(path) + hex + ".~LS");
}

// The first tick from the given one whose intermediate name is free.
uint32_t FreeTick(const std::string& path, uint32_t tick) {
    while (platform::Stat(IntermediateName(path, tick)).exists) ++tick;
    return tick;
}

// Creates the intermediate file exclusively (the name may have been taken
// since it was chosen) and writes the data to disk. Returns its native path,
// or nullopt with nothing left behind.
std::optional<std::string> WriteIntermediate(const std::string& path, const std::string& data,
                                             const std::optional<mode_t>& mode) {
    uint32_t tick = platform::GetTickCount();
    for (int attempt = 0; attempt < 100; ++attempt) {
        tick = FreeTick(path, tick);
        auto native = platform::ToNative(IntermediateName(path, tick));
        if (!native) return std::nullopt;
        int fd = ::open(native->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno != EEXIST) return std::nullopt;
            ++tick;
            continue;
        }
        bool ok = (!mode || ::fchmod(fd, *mode) == 0) && WriteAll(fd, data) && ::fsync(fd) == 0;
        ok = (::close(fd) == 0) && ok;
        if (!ok) {
            ::unlink(native->c_str());
            return std::nullopt;
        }
        return native;
    }
    return std::nullopt;
}

void SyncFolder(const std::string& nativeFolder) {
    int fd = ::open(nativeFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

std::vector<std::string> CollectWlsAddresses() {
    std::vector<std::string> addresses;
    std::unordered_set<std::string> seen;
    for (const THTMLFileInfo* page : FileList) {
        if (!page) continue;
        for (const std::string& url : page->URLList) {
            std::string address = url.substr(0, SjisFind(url, '#'));
            if (seen.insert(address).second) addresses.push_back(std::move(address));
        }
    }
    return addresses;
}

std::string WlsIntermediateName(const std::string& path, uint32_t tick) {
    return IntermediateName(path, FreeTick(path, tick));
}

void UpdateWlsFile(const std::string& givenPath) {
    if (givenPath.empty()) {
        Error(NotGivenText());
        return;
    }
    // Through a symlink the file it leads to is read and replaced: replacing
    // the link itself would leave the checker reading the old items.
    std::string path = givenPath;
    if (auto native = platform::ToNative(givenPath)) {
        if (auto target = platform::FromNative(platform::ReplacementTarget(*native))) path = *target;
    }
    if (EnvSettings.WwwcRunningCheck && !WaitForWwwc()) return;

    const std::vector<std::string> addresses = CollectWlsAddresses();
    std::vector<TWlsItem> items;

    const platform::FileInfo old = platform::Stat(path);
    if (EnvSettings.WlsKeepInfo && old.exists && !old.isDir) {
        // A pipe or device would block the read or never end.
        if (!old.isRegular) {
            Error(CannotOpenText());
            return;
        }
        std::string bytes;
        bool openFailed = false;
        if (!platform::ReadWholeFile(path, bytes, &openFailed)) {
            Error(openFailed ? CannotOpenText() : UpdateFailedText());
            return;
        }
        std::unordered_set<std::string> wanted;
        if (EnvSettings.WlsRemoveURL) {
            for (const std::string& a : addresses) wanted.insert(WlsTags[wfURL] + a);
        }
        for (TWlsItem& item : ReadWlsItems(bytes)) {
            if (!EnvSettings.WlsRemoveURL || wanted.count(item[wfURL])) items.push_back(std::move(item));
        }
    }

    std::unordered_set<std::string> present;
    for (const TWlsItem& item : items) present.insert(item[wfURL]);
    for (const std::string& a : addresses) {
        if (present.insert(WlsTags[wfURL] + a).second) items.push_back(NewWlsItem(a));
    }

    auto nativePath = platform::ToNative(path);
    std::optional<mode_t> mode;
    struct stat st;
    if (nativePath && ::stat(nativePath->c_str(), &st) == 0 && S_ISREG(st.st_mode)) mode = st.st_mode & 07777;

    std::optional<std::string> intermediate;
    if (nativePath) intermediate = WriteIntermediate(path, WriteWlsItems(items), mode);
    if (!intermediate) {
        Error(nativePath && ItemFileLocked(*nativePath) ? LockedText() : UpdateFailedText());
        return;
    }
    if (ItemFileLocked(*nativePath)) {
        ::unlink(intermediate->c_str());
        Error(LockedText());
        return;
    }
    // Renamed over the old file in one step, so that no failure can leave
    // the old file deleted and the new one under another name.
    if (::rename(intermediate->c_str(), nativePath->c_str()) != 0) {
        const int err = errno;
        ::unlink(intermediate->c_str());
        const bool locked = err == EACCES || err == EPERM || err == EROFS || err == EBUSY || err == ETXTBSY;
        Error(locked ? LockedText() : UpdateFailedText());
        return;
    }
    SyncFolder(FolderOf(*nativePath));
}
