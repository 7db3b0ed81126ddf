#include "outside/UCreateWLS.h"

#include <cstdio>
#include <string_view>
#include <unordered_set>

#include "engine/UHTMLList.h"
#include "engine/UNameSet.h"
#include "outside/YKWLSLib.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Encoding.h"
#include "platform/FileSystem.h"
#include "platform/OutputFile.h"
#include "platform/Process.h"
#include "settings/Uenviron.h"

namespace {

const std::string& NotGivenText() { return SJ("WWWC アイテム情報ファイル(*.WLS) が指定されていません。"); }
const std::string& CannotOpenText() {
    return SJ("WWWC アイテム情報ファイル(*.WLS) がロックされているため開けません。");
}
const std::string& UpdateFailedText() { return SJ("WWWC アイテム情報ファイル(*.WLS) ファイルの更新に失敗しました。"); }
const std::string& LockedText() {
    return SJ("WWWC アイテム情報ファイル(*.WLS) がロックされているため更新できませんでした。");
}

TWlsResult Failed(const std::string& text) { return {TWlsOutcome::Failed, platform::TMsgKind::Error, text}; }

// Asks until WWWC has gone or the user goes on anyway. False: cancelled.
bool WaitForWwwc() {
    while (platform::IsWwwcRunning()) {
        platform::TMessageRequest r;
        r.kind = platform::TMsgKind::Warning;
        r.text = SJ("WWWCが起動しています。WWWCを終了させてください。") + "\n\n" +
                 SJ("(環境設定でこの警告ダイアログを非表示にできます)");
        r.buttons = platform::TMsgButtons::RetryIgnoreCancel;
        r.defaultButton = platform::TMsgResult::Retry;
        // Nobody can quit WWWC for an unattended run; asking again would
        // repeat for ever.
        r.unattended = platform::TMsgResult::Ignore;
        r.helpContext = 10008;
        switch (platform::ShowMessageBox(r)) {
            case platform::TMsgResult::Retry:
                continue;
            case platform::TMsgResult::Ignore:
                return true;
            default:
                return false;
        }
    }
    return true;
}

std::string IntermediateFileName(uint32_t tick) {
    char name[16];
    std::snprintf(name, sizeof name, "%08X.~LS", static_cast<unsigned>(tick));
    return name;
}

std::string IntermediateName(const std::string& path, uint32_t tick) {
    return platform::ExpandFileName(platform::ExtractFilePath(path) + IntermediateFileName(tick));
}

// The first tick from the given one whose intermediate name is free.
uint32_t FreeTick(const std::string& path, uint32_t tick) {
    while (platform::Stat(IntermediateName(path, tick)).exists) ++tick;
    return tick;
}

}  // namespace

std::vector<std::string> CollectWlsAddresses() {
    std::vector<std::string> addresses;
    // The set keeps its own copies: the list may move its strings as it grows.
    TNameMap<bool> seen;
    for (int i = 0; i < FileList.Count(); ++i) {
        PrefetchAhead(FileList, i, false);
        const THTMLFileInfo* page = FileList[i];
        if (!page) continue;
        for (const std::string& url : page->URLList) {
            std::string address = WlsFieldText(url.substr(0, platform::SjisFind(url, '#')));
            if (seen.Find(address)) continue;
            seen.Insert(address, true);
            addresses.push_back(std::move(address));
        }
    }
    return addresses;
}

std::string WlsIntermediateName(const std::string& path, uint32_t tick) {
    return IntermediateName(path, FreeTick(path, tick));
}

TWlsResult UpdateWlsFile(const std::string& path) {
    if (path.empty()) return Failed(NotGivenText());
    if (EnvSettings.WwwcRunningCheck && !WaitForWwwc())
        return {TWlsOutcome::Cancelled, platform::TMsgKind::Warning, {}};

    const std::vector<std::string> addresses = CollectWlsAddresses();
    std::vector<TWlsItem> items;

    // Through a symlink the file it leads to is read (and replaced).
    const platform::FileInfo old = platform::Stat(path);
    if (EnvSettings.WlsKeepInfo && old.exists && !old.isDir) {
        // A pipe or device would block the read or never end.
        if (!old.isRegular) return Failed(CannotOpenText());
        std::string bytes;
        bool openFailed = false;
        if (!platform::ReadWholeFile(path, bytes, &openFailed))
            return Failed(openFailed ? CannotOpenText() : UpdateFailedText());
        std::unordered_set<std::string> wanted;
        if (EnvSettings.WlsRemoveURL) {
            for (const std::string& a : addresses) wanted.insert(WlsTags[wfURL] + a);
        }
        for (TWlsItem& item : ReadWlsItems(bytes)) {
            if (!EnvSettings.WlsRemoveURL || wanted.count(item[wfURL])) items.push_back(std::move(item));
        }
    }

    // The addresses are distinct: a new one need only be looked for among
    // the items kept.
    std::unordered_set<std::string_view> present;
    for (const TWlsItem& item : items) present.insert(item[wfURL]);

    // The intermediate file is named by the tick count and takes the next
    // free number; it is renamed over the old file in one step, so that no
    // failure can leave the old file deleted and the new one elsewhere.
    // Written as it is made: a big site has tens of thousands of addresses.
    const uint32_t tick = platform::GetTickCount();
    platform::TOutputFile out;
    bool written = out.Open(path, [tick](unsigned attempt) { return IntermediateFileName(tick + attempt); });
    std::string text;
    auto put = [&](const TWlsItem& item) {
        text.clear();
        AppendWlsItem(text, item);
        written = written && out.Write(text);
    };
    for (const TWlsItem& item : items) put(item);
    std::string url = WlsTags[wfURL];
    const size_t tagLength = url.size();
    for (const std::string& a : addresses) {
        if (!written) break;
        url.resize(tagLength);
        url += a;
        if (!present.count(url)) put(NewWlsItem(a));
    }
    written = written && out.Commit();
    if (!written) {
        const bool locked = old.exists && out.Error() == platform::TOutputError::Protected;
        return Failed(locked ? LockedText() : UpdateFailedText());
    }
    return {};
}
