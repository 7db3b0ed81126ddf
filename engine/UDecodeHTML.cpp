#include "engine/UDecodeHTML.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "engine/UCharRefs.h"
#include "engine/UCharsetSniff.h"
#include "engine/UCssMatch.h"
#include "engine/UCssReader.h"
#include "engine/UModernPage.h"
#include "engine/UHTMLList.h"
#include "engine/UInputList.h"
#include "engine/UPathExpand.h"
#include "engine/YKHTMLTagDecode.h"
#include "engine/YKKanjiLib.h"
#include "outside/YKFileUtils.h"
#include "platform/Encoding.h"
#include "platform/FileSystem.h"
#include "settings/Uenviron.h"

namespace {

// Windows pages write "\" as separator and "|" for a drive colon.
void NormaliseSeparators(std::string& s) {
    SjisReplaceChar(s, '|', ':');
    SjisReplaceChar(s, '\\', '/');
}

bool StartsWithAnyEntry(const std::string& ref, const std::vector<std::string>& prefixes) {
    for (const std::string& e : prefixes) {
        // An empty entry matches every reference.
        if (StartsTextSjis(ref, e)) return true;
    }
    return false;
}

}  // namespace

bool StripFileURL(std::string& path) {
    static constexpr std::string_view kScheme = "FILE://";
    if (path.size() <= kScheme.size() || !StartsTextSjis(path, kScheme)) return false;
    std::string rest = path.substr(kScheme.size());
    NormaliseSeparators(rest);
    if (rest.empty() || rest[0] != '/') {
        // A host part ("localhost", or a Windows drive written after two
        // slashes) names nothing on this machine; "/" is never a trail byte.
        size_t slash = rest.find('/');
        rest = slash == std::string::npos ? std::string() : rest.substr(slash);
    }
    path = std::move(rest);
    return true;
}

namespace {
// The folder test of ResolveReference; a run answers it from its stat cache.
bool IsFolderForResolve(const std::string& path);
}  // namespace

void ResolveReference(std::string& ref, const std::string& pagePath) {
    if (ref.empty()) return;
    // Converted first so that "..\" segments take part in the expansion.
    NormaliseSeparators(ref);
    if (ref[0] == '/') {
        // Absolute (the "\" form included): kept as written.
    } else if (ref.size() >= 8 && StartsTextSjis(ref, "FILE:")) {
        ref.erase(0, 5);
        if (ref[0] == '/') {
            // "file:///srv/a.gif" names /srv/a.gif: the root-folder test and
            // every list take the path in that spelling.
            std::string full;
            ExpandFileNameInto(full, ref, {});
            ref.swap(full);
        }
    } else {
        const size_t slash = pagePath.rfind('/');
        if (slash != std::string::npos && pagePath[0] == '/') {
            // The page's folder is a full path: no current folder involved.
            std::string full;
            ExpandFileNameInto(full, ref, std::string_view(pagePath).substr(0, slash + 1));
            ref.swap(full);
        } else {
            ref = platform::ExpandFileName(platform::ExtractFilePath(pagePath) + ref);
        }
    }
    if (!ref.empty() && ref.back() != '/' && IsFolderForResolve(ref)) ref += '/';
}

std::string ReplaceAlias(const std::string& ref) {
    if (!EnvSettings.AliasEnabled) return ref;
    for (const std::string& entry : EnvSettings.Aliases) {
        size_t semi = SjisFind(entry, ';');
        if (semi == std::string::npos || semi == 0) continue;
        std::string_view source(entry.data(), semi);
        if (!StartsTextSjis(ref, source)) continue;
        // The replacement keeps its own letter case: it names a folder on a
        // file system where case matters.
        return entry.substr(semi + 1) + ref.substr(source.size());
    }
    return ref;
}

bool IsHrefSkip(const std::string& ref) {
    return EnvSettings.HrefSkipEnabled && StartsWithAnyEntry(ref, EnvSettings.HrefSkipPrefixes);
}

bool IsImgSkip(const std::string& ref) {
    return EnvSettings.ImgSkipEnabled && StartsWithAnyEntry(ref, EnvSettings.ImgSkipPrefixes);
}

// --- Measurement run ---------------------------------------------------------

namespace {

const std::string& MsgCannotRead() { return SJ("ファイルを読めません"); }

// What a stat of a link target or resource found; the file system is taken
// not to change while a run goes on.
struct TStatEntry {
    bool exists = false;
    bool isDir = false;
    bool isRegular = false;
    int64_t size = -1;  // resource size: a folder counts 0; -1 when not found
};

struct TFolderId {
    uint64_t dev, ino;
    bool operator==(const TFolderId&) const = default;
};
struct TFolderIdHash {
    size_t operator()(const TFolderId& f) const {
        return std::hash<uint64_t>()(f.dev) * 31u ^ std::hash<uint64_t>()(f.ino);
    }
};

// A resource as a part record names it.
struct TResourceEntry {
    int64_t size = -1;     // -1: not found
    std::string fullName;  // the expanded path of the part record
};

// A style sheet file as the modern reading met it: its addresses, and for
// each plain local one the path it resolves to (empty until known, or when
// it must be looked at afresh for every page).
struct TSheetInfo {
    std::vector<TCssRef> Refs;
    std::vector<std::string> Resolved;
    std::vector<TCssFontUse> FontUses;
};

// State that lives as long as one run (or one MeasureFile called alone).
struct TRunState {
    bool active = false;
    std::unordered_set<std::string> pages;                      // FileName of every FileList record
    std::unordered_map<std::string, TStatEntry> stats;          // link targets, folder tests
    std::unordered_map<std::string, TResourceEntry> resources;  // resolved resource path
    std::unordered_map<std::string, TSheetInfo> sheets;  // modern reading: a sheet's addresses
    std::unordered_set<std::string> htmlExtensions;             // upper-cased
    // Reused buffers, so that no token allocates for them.
    std::string upperScratch;
    std::string pathScratch;
    const std::string* lastStatKey = nullptr;  // the entry StatCached returned last
    const TStatEntry* lastStat = nullptr;

    void Reset() {
        lastStatKey = nullptr;
        lastStat = nullptr;
        pages.clear();
        stats.clear();
        resources.clear();
        sheets.clear();
        htmlExtensions.clear();
        for (const std::string& e : EnvSettings.HtmlExtensions) htmlExtensions.insert(AnsiUpper(e));
    }
    void Release() {
        // Swapped out so that the memory of a big run is given back.
        lastStatKey = nullptr;
        lastStat = nullptr;
        std::unordered_set<std::string>().swap(pages);
        std::unordered_map<std::string, TStatEntry>().swap(stats);
        std::unordered_map<std::string, TResourceEntry>().swap(resources);
        std::unordered_map<std::string, TSheetInfo>().swap(sheets);
    }
    // FileList is the truth; the set only speeds up the look-up.
    void SyncPages() {
        if (pages.size() == static_cast<size_t>(FileList.Count())) return;
        pages.clear();
        for (const THTMLFileInfo* p : FileList)
            if (p) pages.insert(p->FileName);
    }
};

TRunState g_run;

class TRunScope {
public:
    TRunScope() : owner_(!g_run.active) {
        if (owner_) {
            g_run.Reset();
            g_run.active = true;
        }
    }
    ~TRunScope() {
        if (owner_) {
            g_run.active = false;
            g_run.Release();
        }
    }
    TRunScope(const TRunScope&) = delete;
    TRunScope& operator=(const TRunScope&) = delete;

private:
    bool owner_;
};

const TStatEntry& StatCached(const std::string& path) {
    // A link's target is asked about several times in a row.
    if (g_run.lastStatKey && *g_run.lastStatKey == path) return *g_run.lastStat;
    auto it = g_run.stats.find(path);
    if (it == g_run.stats.end()) {
        platform::FileInfo fi = platform::Stat(path);
        TStatEntry e;
        // Following a dangling symlink finds nothing: as a link or resource
        // it is missing at the page that names it. Only the folder search
        // takes it for a page (which then cannot be opened).
        if (fi.dangling) fi = {};
        e.exists = fi.exists;
        e.isDir = fi.isDir;
        e.isRegular = fi.isRegular;
        e.size = fi.exists ? (fi.isDir ? 0 : fi.size) : -1;
        it = g_run.stats.emplace(path, e).first;
    }
    // Nodes of the map never move, so the pointers stay valid.
    g_run.lastStatKey = &it->first;
    g_run.lastStat = &it->second;
    return it->second;
}

}  // namespace

namespace {

bool IsFolderForResolve(const std::string& path) {
    return g_run.active ? StatCached(path).isDir : platform::DirectoryExists(path);
}

bool HasWildcard(std::string_view name) {
    return name.find('*') != std::string_view::npos || name.find('?') != std::string_view::npos;
}

// The entry a resource path names: size -1 when there is none. A last
// element with "*" or "?" that names no entry as written is matched in its
// folder, first match in name order.
const TResourceEntry& Resource(const std::string& path) {
    auto it = g_run.resources.find(path);
    if (it != g_run.resources.end()) return it->second;
    TResourceEntry e;
    e.size = StatCached(path).size;
    if (e.size < 0 && HasWildcard(platform::ExtractFileName(path))) {
        std::string real = FindRealName(path);
        if (!real.empty()) e.size = StatCached(platform::ExtractFilePath(path) + real).size;
    }
    if (e.size >= 0) e.fullName = platform::ExpandFileName(path);
    return g_run.resources.emplace(path, std::move(e)).first->second;
}

// The keys already met in one page. Pages hold a handful, and a long chain
// of suspended pages holds one set per page, so a few keys sit in a plain
// vector; a page with many switches to hashing to stay linear.
class TKeySet {
public:
    // False when the key was there already.
    bool Insert(std::string_view key) {
        if (big_) {
            if (big_->find(key) != big_->end()) return false;
            big_->emplace(key);
            return true;
        }
        for (const std::string& k : small_)
            if (k == key) return false;
        if (small_.size() < kSmallMax) {
            small_.emplace_back(key);
            return true;
        }
        big_ = std::make_unique<TBig>(std::make_move_iterator(small_.begin()), std::make_move_iterator(small_.end()));
        std::vector<std::string>().swap(small_);
        big_->emplace(key);
        return true;
    }

private:
    struct THash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
    };
    using TBig = std::unordered_set<std::string, THash, std::equal_to<>>;
    static constexpr size_t kSmallMax = 16;
    std::vector<std::string> small_;
    std::unique_ptr<TBig> big_;
};

// Closes a descriptor however the read ends.
class TFd {
public:
    explicit TFd(int fd) : fd_(fd) {}
    ~TFd() {
        if (fd_ >= 0) ::close(fd_);
    }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    int get() const { return fd_; }
    // Closes now; errno is kept for the caller when it fails.
    bool Close() {
        int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

[[noreturn]] void ThrowReadError(const std::string& path, const std::string& detail) {
    throw EReadError(MsgCannotRead() + ": " + path + " (" + detail + ")", path);
}

// The packed DOS date (high word) and time (low word) of a moment, in local
// time; 0 outside the years DOS can hold.
uint32_t DosDateTime(time_t t) {
    struct tm lt;
    if (!localtime_r(&t, &lt)) return 0;
    int year = lt.tm_year + 1900;
    if (year < 1980 || year > 2107) return 0;
    uint32_t date = static_cast<uint32_t>(((year - 1980) << 9) | ((lt.tm_mon + 1) << 5) | lt.tm_mday);
    uint32_t time = static_cast<uint32_t>((lt.tm_hour << 11) | (lt.tm_min << 5) | (lt.tm_sec / 2));
    return (date << 16) | time;
}

// A page whose scan is going on, or is suspended while a page it links to
// is measured. A chain of linked pages keeps one frame per page, so it
// holds only what the scan needs to go on: the token record is shared by
// all pages, each keeping the two fields that carry over between tokens.
// What the modern reading keeps per page beside the scan.
struct TModernFrame {
    TModernPageState State;
    std::vector<TModernRef> Refs;  // found in the last tag; handled from Next on
    size_t Next = 0;
    std::string Base;              // what addresses resolve against: a path whose folder counts
    std::string BaseUrl;           // an outside <base href>: relative addresses lead out there
    TKeySet PartKeys;              // resolved paths of the parts counted so far
    TKeySet SheetKeys;             // sheets already read for this page (ends @import loops)
    // The page's elements, for the selectors of rules that name files;
    // made when first needed, from the whole text.
    std::unique_ptr<TPageElements> Elements;
    // Web fonts of the sheets that apply: counted at the page's end when a
    // rule that applies to text uses their family.
    struct TFont {
        TCssRef Ref;
        std::string Against;
        std::string* Resolved;  // the sheet's cache of the resolved path, or null
    };
    std::vector<TFont> Fonts;
    std::vector<const std::vector<TCssFontUse>*> SheetFontUses;
    std::vector<TCssFontUse> PageFontUses;  // of <style> and style attributes
    bool Pending() const { return Next < Refs.size(); }
};

struct TPageFrame {
    THTMLFileInfo* Info = nullptr;  // owned by FileList
    std::string Text;               // Shift-JIS; the part before Buf.Pos may be cut off
    TTagScanBuffer Buf;
    int64_t LineNo = 1;
    bool InXMP = false;
    bool TitlePending = false;
    bool AfterLink = false;  // a followed link has just been measured
    TKeySet RefKeys;         // resource comparison keys
    TKeySet UrlKeys;         // AnsiUpper of URLList entries
    std::unique_ptr<TModernFrame> Modern;  // the modern reading's state, when it is on

    // Before the page waits for a linked one: once half of the text has been
    // scanned, the scanned part is dropped (a token never looks back before
    // its own start). Halving keeps the copying linear in the page's size.
    void Suspend() {
        if (Buf.Pos <= 0 || Buf.Pos < Buf.Len - Buf.Pos) return;
        if (Modern) {
            // The rules of sheets met later still look at the whole page.
            if (!Modern->Elements) Modern->Elements = std::make_unique<TPageElements>(Text);
            Modern->Elements->Detach();
        }
        Text.erase(0, static_cast<size_t>(Buf.Pos));
        Text.shrink_to_fit();
        Buf.Len -= Buf.Pos;
        Buf.Pos = 0;
        Buf.Data = Text.data();
    }
};

// Steps of measuring one page up to the start of its scan. Null when there
// is nothing to scan: the page was measured before, cannot be opened, or is
// empty.
std::unique_ptr<TPageFrame> BeginPage(std::string path, bool& StopFlag, const TProgressSink& FileSink,
                                      const TProgressSink& WarningSink) {
    StripFileURL(path);
    // A resolved link is a full path already; expanding it again would
    // give the same text.
    if (!IsExpandedPath(path)) {
        ExpandFileNameInto(g_run.pathScratch, path, platform::GetCurrentDir());
        path.swap(g_run.pathScratch);
    }
    g_run.SyncPages();
    if (g_run.pages.count(path)) return nullptr;
    if (FileSink) FileSink(path);

    auto native = platform::ToNative(path);
    // Non-blocking, so that a FIFO cannot hold the run; only regular files
    // are pages (a folder, FIFO or device "cannot be opened").
    TFd fd(native ? ::open(native->c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC) : -1);
    struct stat st;
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        AddProblem(MsgCannotOpen(), "", path, StopFlag, WarningSink);
        return nullptr;
    }

    auto* info = new THTMLFileInfo;
    info->FileName = path;
    info->FileDate = DosDateTime(st.st_mtime);
    info->HTMLSize = info->TotalSize = static_cast<int64_t>(st.st_size);
    FileList.Add(info);
    g_run.pages.insert(path);
    auto* self = new THTMLFileInfo;
    self->FileName = path;
    self->TotalSize = info->HTMLSize;
    self->IsHTML = true;
    info->Items.Add(self);

    if (info->HTMLSize == 0) {
        if (!fd.Close()) ThrowReadError(path, std::strerror(errno));
        return nullptr;
    }
    std::string text(static_cast<size_t>(info->HTMLSize), '\0');
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::read(fd.get(), text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            ThrowReadError(path, std::strerror(errno));
        }
        if (n == 0) ThrowReadError(path, SJ("ファイルが途中で終わっています"));
        done += static_cast<size_t>(n);
    }
    if (!fd.Close()) ThrowReadError(path, std::strerror(errno));

    int code = EnvSettings.DocumentEncoding;
    if (code != Jis && code != Euc && code != Sjis && EnvSettings.Modern) {
        code = SniffPageEncoding(text);
        if (code != Sjis) text = PageTextToSjis(text, code);
    } else {
        if (code != Jis && code != Euc && code != Sjis) code = DetectKanjiCode(text);
        if (code == Jis) text = JISToSJIS(text);
        else if (code == Euc) text = EUCToSJIS(text);
    }
    info->KanjiCode = static_cast<uint8_t>(code);

    auto frame = std::make_unique<TPageFrame>();
    frame->Info = info;
    if (EnvSettings.Modern) {
        frame->Modern = std::make_unique<TModernFrame>();
        frame->Modern->Base = path;
    }
    frame->Text = std::move(text);
    frame->Buf.Data = frame->Text.data();
    frame->Buf.Pos = 0;
    frame->Buf.Len = static_cast<int64_t>(frame->Text.size());
    return frame;
}

enum class TTokenOutcome { Next, EndPage, Follow };

bool IsOutsideUrl(std::string_view ref) {
    return StartsTextSjis(ref, "HTTP:") || StartsTextSjis(ref, "HTTPS:") || StartsTextSjis(ref, "FTP:");
}

void CutAtHash(std::string& s) {
    size_t hash = SjisFind(s, '#');
    if (hash != std::string::npos) s.resize(hash);
}

// Upper-cases ASCII letters into a reused buffer, as AnsiUpper does.
void UpperInto(std::string& out, std::string_view s) {
    out.assign(s);
    for (size_t i = 0; i < out.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(out[i]);
        if (IsSjisLead(c) && i + 1 < out.size()) {
            ++i;
        } else if (c >= 'a' && c <= 'z') {
            out[i] = static_cast<char>(c - 32);
        }
    }
}

TTokenOutcome ProcessLink(TPageFrame& f, const std::string& root, const std::string& raw, std::string ref,
                          std::string& target, bool& StopFlag, const TProgressSink& WarningSink,
                          const std::string* against = nullptr) {
    const std::string& page = f.Info->FileName;
    // Most links hold no "?", and then no ".cgi?" either.
    if (raw.find('?') != std::string::npos) {
        std::string& upperRaw = g_run.upperScratch;
        UpperInto(upperRaw, raw);
        if (SjisFindText(upperRaw, ".CGI?") != std::string::npos) return TTokenOutcome::Next;
    }
    if (IsOutsideUrl(raw)) {
        std::string url = raw;
        CutAtHash(url);
        // Dropped as a browser drops them when it follows the link; kept,
        // they would break the lines of the item file and the reports.
        std::erase_if(url, [](char c) { return c == '\t' || c == '\r' || c == '\n'; });
        if (f.UrlKeys.Insert(AnsiUpper(url))) f.Info->URLList.push_back(std::move(url));
    }
    if (IsHrefSkip(ref)) return TTokenOutcome::Next;
    ref = ReplaceAlias(ref);
    CutAtHash(ref);
    WarnLocalFile(ref, page, StopFlag, WarningSink);
    ResolveReference(ref, against ? *against : page);
    target = std::move(ref);

    bool isHtml = false;
    const TStatEntry* found = &StatCached(target);
    if (found->isDir) {
        isHtml = true;
        if (target.back() != '/') target += '/';
        if (StatCached(target + "index.html").isRegular) target += "index.html";
        else if (StatCached(target + "index.htm").isRegular) target += "index.htm";
        found = &StatCached(target);
    } else {
        std::string ext = platform::ExtractFileExt(target);
        isHtml = !ext.empty() && g_run.htmlExtensions.count(AnsiUpper(ext)) != 0;
    }
    if (!isHtml) return TTokenOutcome::Next;

    const TStatEntry& st = *found;
    if (st.exists && !st.isDir) {
        if (EnvSettings.LinkEnabled) {
            // After Break a page still handles its first token; starting the
            // linked page then would carry the run on down a chain of pages
            // that each begin with a link, so a stopped run follows nothing.
            // The page then ends through its scan loop, which reports the
            // interruption for it.
            if (EnvSettings.FollowOtherFolders || target.compare(0, root.size(), root) == 0)
                return StopFlag ? TTokenOutcome::Next : TTokenOutcome::Follow;
            AddProblem(MsgOtherFolder(), page, target, StopFlag, WarningSink);
        }
        return StopFlag ? TTokenOutcome::EndPage : TTokenOutcome::Next;
    }
    f.Info->NotFoundList.push_back(target);
    AddProblem(MsgNotFound(), page, target, StopFlag, WarningSink);
    return StopFlag ? TTokenOutcome::EndPage : TTokenOutcome::Next;
}

TTokenOutcome ProcessResource(TPageFrame& f, std::string ref, uint8_t kind, bool& StopFlag,
                              const TProgressSink& WarningSink) {
    const std::string& page = f.Info->FileName;
    if (IsImgSkip(ref)) return TTokenOutcome::Next;
    ref = ReplaceAlias(ref);
    WarnLocalFile(ref, page, StopFlag, WarningSink);

    // Keyed against the current folder, not the page: two spellings that
    // reach one file through different relative paths count twice.
    std::string key = ref;
    SjisReplaceChar(key, '\\', '/');
    ExpandFileNameInto(g_run.pathScratch, key, platform::GetCurrentDir());
    if (!f.RefKeys.Insert(g_run.pathScratch)) return TTokenOutcome::Next;

    int64_t size = 0;
    const std::string* fullName = nullptr;
    if (!ref.empty()) {
        ResolveReference(ref, page);
        const TResourceEntry& res = Resource(ref);
        size = res.size;
        fullName = &res.fullName;
    }
    if (size < 0) {
        f.Info->NotFoundList.push_back(ref);
        AddProblem(MsgNotFound(), page, ref, StopFlag, WarningSink);
        return StopFlag ? TTokenOutcome::EndPage : TTokenOutcome::Next;
    }
    auto* part = new THTMLFileInfo;
    if (fullName) part->FileName = *fullName;
    part->TotalSize = size;
    part->Kind = kind;
    f.Info->TotalSize += size;
    f.Info->Items.Add(part);
    return TTokenOutcome::Next;
}

TTokenOutcome ProcessToken(TPageFrame& f, THTMLLinkResult& t, const std::string& root, std::string& target,
                           bool& StopFlag, const TProgressSink& WarningSink) {
    THTMLFileInfo& info = *f.Info;

    if (info.Title.empty()) {
        if (!f.TitlePending) {
            f.TitlePending = SameTextSjis(t.TokenText, "<TITLE>");
        } else if (!t.TokenText.empty() && t.TokenText[0] != '<') {
            info.Title = t.TokenText;
            for (char& c : info.Title)
                if (static_cast<unsigned char>(c) < 32) c = ' ';
            f.TitlePending = false;
        }
    }

    if (t.LinkType == ltMeta) {
        size_t at = std::string::npos;
        if (SameTextSjis(t.Value1, "REFRESH")) at = SjisFindText(AnsiUpper(t.Value2), "URL=");
        if (at != std::string::npos) {
            t.Value1 = t.Value2.substr(at + 4);
            t.LinkType = ltLink;
        } else {
            t.Value1.clear();
        }
    }
    if (t.Value1.empty()) return TTokenOutcome::Next;

    const std::string& raw = t.Value1;
    std::string ref = UnescapeAttrValue(raw);
    if (t.LinkType == ltLink) return ProcessLink(f, root, raw, std::move(ref), target, StopFlag, WarningSink);
    if (t.LinkType == ltImage) return ProcessResource(f, std::move(ref), pkImage, StopFlag, WarningSink);
    if (t.LinkType == ltEmbed) {
        uint8_t kind = t.TagName == "BGSOUND" ? static_cast<uint8_t>(pkMedia) : KindByExtension(ref);
        if (kind == pkFrame) kind = pkOther;
        return ProcessResource(f, std::move(ref), kind, StopFlag, WarningSink);
    }
    return TTokenOutcome::Next;
}

// --- The modern reading ------------------------------------------------------
//
// Tags give addresses through ModernTagRefs; each is handled here in turn.
// A followed link suspends the page with the rest of its addresses waiting.

// "http:", "data:", "javascript:" ...: a scheme of two letters or more (one
// letter is a drive).
size_t SchemeLength(std::string_view ref) {
    size_t i = 0;
    while (i < ref.size() && (std::isalnum(static_cast<unsigned char>(ref[i])) || ref[i] == '+' || ref[i] == '-' ||
                              ref[i] == '.'))
        ++i;
    return (i >= 2 && i < ref.size() && ref[i] == ':' && std::isalpha(static_cast<unsigned char>(ref[0]))) ? i : 0;
}

void AddOutsideUrl(TPageFrame& f, std::string url) {
    CutAtHash(url);
    if (f.UrlKeys.Insert(AnsiUpper(url))) f.Info->URLList.push_back(std::move(url));
}

// The outside address a relative one names under an outside <base href>.
std::string JoinBaseUrl(const std::string& base, const std::string& ref) {
    if (!ref.empty() && ref[0] == '/') {
        const size_t scheme = base.find("://");
        const size_t host = scheme == std::string::npos ? std::string::npos : base.find('/', scheme + 3);
        return (host == std::string::npos ? base : base.substr(0, host)) + ref;
    }
    const size_t slash = base.rfind('/');
    return (slash == std::string::npos ? base + "/" : base.substr(0, slash + 1)) + ref;
}

// First steps of every address: outside ones are listed, other schemes
// (data:, javascript:, mailto: ...) name nothing on disk. True when the
// address is a local one whose path is in path.
bool ModernLocalPath(TPageFrame& f, const std::string& value, bool htmlValue, const std::string& against,
                     std::string& path, bool& StopFlag, const TProgressSink& WarningSink) {
    std::string text = htmlValue ? DecodeModernText(value) : value;
    size_t a = 0;
    while (a < text.size() && static_cast<unsigned char>(text[a]) <= 0x20) ++a;
    text.erase(0, a);
    if (text.empty() || text[0] == '#') return false;
    if (const size_t scheme = SchemeLength(text)) {
        if (IsOutsideUrl(text)) {
            AddOutsideUrl(f, text);
            return false;
        }
        if (!StartsTextSjis(text, "FILE:")) return false;
    } else if (!f.Modern->BaseUrl.empty() && &against == &f.Modern->Base && text.compare(0, 2, "//") != 0) {
        AddOutsideUrl(f, JoinBaseUrl(f.Modern->BaseUrl, text));
        return false;
    }
    if (!ModernRefToPath(text, false, path)) {
        AddProblem(MsgNameNotSjis(), f.Info->FileName, path, StopFlag, WarningSink);
        return false;
    }
    return !path.empty();
}

// A file the page loads: counted once per page by its resolved path.
// Returns the resolved path of an existing regular file (for sheets), else
// empty.
std::string ModernResolvedPart(TPageFrame& f, const std::string& path, uint8_t kind, bool& StopFlag,
                               const TProgressSink& WarningSink) {
    const std::string& page = f.Info->FileName;
    if (!f.Modern->PartKeys.Insert(path)) return {};
    const TResourceEntry& res = Resource(path);
    if (res.size < 0) {
        f.Info->NotFoundList.push_back(path);
        AddProblem(MsgNotFound(), page, path, StopFlag, WarningSink);
        return {};
    }
    auto* part = new THTMLFileInfo;
    part->FileName = res.fullName;
    part->TotalSize = res.size;
    part->Kind = kind;
    f.Info->TotalSize += res.size;
    f.Info->Items.Add(part);
    return StatCached(path).isRegular ? path : std::string();
}

// The same from a path as written; resolved, when given, receives the
// resolved path of an address that needs no per-page step.
std::string ModernPart(TPageFrame& f, std::string path, uint8_t kind, const std::string& against, bool& StopFlag,
                       const TProgressSink& WarningSink, std::string* resolved = nullptr) {
    if (IsImgSkip(path)) return {};
    path = ReplaceAlias(path);
    const bool plain = !(path.size() > 7 && StartsTextSjis(path, "FILE:"));
    WarnLocalFile(path, f.Info->FileName, StopFlag, WarningSink);
    ResolveReference(path, against);
    if (resolved && plain) *resolved = path;
    return ModernResolvedPart(f, path, kind, StopFlag, WarningSink);
}

// The addresses of a sheet file, read once per run. A sheet in UTF-8 (by
// its byte-order mark, @charset or bytes) is turned into Shift-JIS first.
TSheetInfo& SheetRefs(const std::string& path) {
    auto it = g_run.sheets.find(path);
    if (it != g_run.sheets.end()) return it->second;
    std::string bytes;
    std::vector<TCssRef> refs;
    std::vector<TCssFontUse> fontUses;
    if (platform::ReadWholeFile(path, bytes)) {
        if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
            bytes = Utf8ToCp932(std::string_view(bytes).substr(3));
        } else if (IsUtf8WithMultibyte(bytes)) {
            bytes = Utf8ToCp932(bytes);
        }
        TCssSheet sheet = ReadCssSheet(bytes);
        refs = std::move(sheet.Refs);
        fontUses = std::move(sheet.FontUses);
    }
    TSheetInfo info;
    info.Resolved.resize(refs.size());
    info.Refs = std::move(refs);
    info.FontUses = std::move(fontUses);
    return g_run.sheets.emplace(path, std::move(info)).first->second;
}

const TPageElements& PageElements(TPageFrame& f) {
    if (!f.Modern->Elements) f.Modern->Elements = std::make_unique<TPageElements>(f.Text);
    return *f.Modern->Elements;
}

// The addresses of CSS met in the page or in a sheet; imported sheets are
// read in their turn, each once per page. A sheet whose media does not
// match is fetched with its imports, but names nothing else.
void ModernCss(TPageFrame& f, const std::vector<TCssRef>& first, const std::string& firstAgainst, bool applies,
               bool& StopFlag, const TProgressSink& WarningSink, std::vector<std::string>* firstResolved = nullptr) {
    struct TWork {
        const std::vector<TCssRef>* refs;
        std::vector<std::string>* resolved;  // null for CSS in the page
        std::string against;
        size_t next;
        bool applies;
    };
    std::vector<TWork> stack{{&first, firstResolved, firstAgainst, 0, applies}};
    while (!stack.empty() && !StopFlag) {
        TWork& w = stack.back();
        if (w.next >= w.refs->size()) {
            stack.pop_back();
            continue;
        }
        const size_t i = w.next++;
        const TCssRef& r = (*w.refs)[i];
        const bool sheetApplies = w.applies;
        if (r.Kind == TCssRefKind::Font) {
            if (sheetApplies) f.Modern->Fonts.push_back({r, w.against, w.resolved ? &(*w.resolved)[i] : nullptr});
            continue;
        }
        // A rule's file is fetched only when the rule applies to some element.
        if (r.Kind == TCssRefKind::Url &&
            (!sheetApplies || (!r.Selector.empty() && !PageElements(f).AnyMatches(r.Selector))))
            continue;
        uint8_t kind = pkImage;
        if (r.Kind == TCssRefKind::Import) kind = pkStyleSheet;
        else if (r.Kind == TCssRefKind::Font) kind = pkFont;
        std::string sheet;
        if (w.resolved && !(*w.resolved)[i].empty()) {
            // Met in an earlier page: the sheet's addresses resolve alike for every page.
            sheet = ModernResolvedPart(f, (*w.resolved)[i], kind, StopFlag, WarningSink);
        } else {
            const std::string against = w.against;
            std::vector<std::string>* cache = w.resolved;
            std::string path;
            if (!ModernLocalPath(f, r.Url, false, against, path, StopFlag, WarningSink)) continue;
            sheet = ModernPart(f, path, kind, against, StopFlag, WarningSink, cache ? &(*cache)[i] : nullptr);
        }
        if (r.Kind == TCssRefKind::Import && !sheet.empty() && f.Modern->SheetKeys.Insert(sheet)) {
            TSheetInfo& info = SheetRefs(sheet);
            const bool importApplies = sheetApplies && r.Applies;
            if (importApplies) f.Modern->SheetFontUses.push_back(&info.FontUses);
            stack.push_back({&info.Refs, &info.Resolved, sheet, 0, importApplies});
        }
    }
}

TTokenOutcome ModernRef(TPageFrame& f, const TModernRef& r, const std::string& root, std::string& target,
                        bool& StopFlag, const TProgressSink& WarningSink) {
    TModernFrame& m = *f.Modern;
    if (r.Use == TModernUse::StyleText) {
        TCssSheet css = ReadCssSheet(DecodeModernText(r.Value));
        if (r.Applies)
            m.PageFontUses.insert(m.PageFontUses.end(), std::make_move_iterator(css.FontUses.begin()),
                                  std::make_move_iterator(css.FontUses.end()));
        if (!css.Refs.empty()) ModernCss(f, css.Refs, m.Base, r.Applies, StopFlag, WarningSink);
        return StopFlag ? TTokenOutcome::EndPage : TTokenOutcome::Next;
    }
    if (r.Use == TModernUse::Base) {
        std::string text = DecodeModernText(r.Value);
        if (IsOutsideUrl(text)) {
            m.BaseUrl = text;
        } else if (std::string path; !SchemeLength(text) && ModernRefToPath(text, false, path) && !path.empty()) {
            path = ReplaceAlias(path);
            ResolveReference(path, m.Base);
            m.Base = path;
        }
        return TTokenOutcome::Next;
    }
    if (r.Use == TModernUse::Link) {
        std::string text = DecodeModernText(r.Value);
        if (!m.BaseUrl.empty() && !SchemeLength(text) && !text.empty() && text[0] != '#' &&
            text.compare(0, 2, "//") != 0) {
            AddOutsideUrl(f, JoinBaseUrl(m.BaseUrl, text));
            return TTokenOutcome::Next;
        }
        std::string path;
        if (!SchemeLength(text) && !ModernRefToPath(text, false, path)) {
            AddProblem(MsgNameNotSjis(), f.Info->FileName, path, StopFlag, WarningSink);
            return StopFlag ? TTokenOutcome::EndPage : TTokenOutcome::Next;
        }
        if (SchemeLength(text)) path = text;
        if (path.empty()) return TTokenOutcome::Next;
        return ProcessLink(f, root, text, std::move(path), target, StopFlag, WarningSink, &m.Base);
    }
    std::string path;
    if (!ModernLocalPath(f, r.Value, true, m.Base, path, StopFlag, WarningSink))
        return StopFlag ? TTokenOutcome::EndPage : TTokenOutcome::Next;
    const std::string file = ModernPart(f, path, r.Kind, m.Base, StopFlag, WarningSink);
    if (r.Use == TModernUse::Sheet && !file.empty() && m.SheetKeys.Insert(file))
    {
        TSheetInfo& info = SheetRefs(file);
        if (r.Applies) m.SheetFontUses.push_back(&info.FontUses);
        ModernCss(f, info.Refs, file, r.Applies, StopFlag, WarningSink, &info.Resolved);
    }
    if (r.Use == TModernUse::Frame && !StopFlag) {
        // The framed page is a page of its own as well, reached like a link.
        std::string link = path;
        return ProcessLink(f, root, r.Value, std::move(link), target, StopFlag, WarningSink, &m.Base);
    }
    return StopFlag ? TTokenOutcome::EndPage : TTokenOutcome::Next;
}

// At the end of a page: the web fonts whose family a rule that applies to
// some text uses (of a family list, the first family that has faces).
void ModernEndPage(TPageFrame& f, bool& StopFlag, const TProgressSink& WarningSink) {
    TModernFrame& m = *f.Modern;
    if (m.Fonts.empty()) return;
    std::vector<std::string> faces;
    for (const TModernFrame::TFont& font : m.Fonts)
        if (!font.Ref.Family.empty() && std::find(faces.begin(), faces.end(), font.Ref.Family) == faces.end())
            faces.push_back(font.Ref.Family);
    const TPageElements& page = PageElements(f);
    std::vector<std::string> used;
    auto consider = [&](const TCssFontUse& u) {
        std::string family = UsedFaceFamily(u.Families, faces);
        if (family.empty() || std::find(used.begin(), used.end(), family) != used.end()) return;
        if (u.Selector.empty() ? page.HasText() : page.AnyWithTextMatches(u.Selector)) used.push_back(family);
    };
    for (const TCssFontUse& u : m.PageFontUses) consider(u);
    for (const std::vector<TCssFontUse>* list : m.SheetFontUses)
        for (const TCssFontUse& u : *list) consider(u);
    for (const TModernFrame::TFont& font : m.Fonts) {
        if (StopFlag) return;
        if (std::find(used.begin(), used.end(), font.Ref.Family) == used.end()) continue;
        if (font.Resolved && !font.Resolved->empty()) {
            ModernResolvedPart(f, *font.Resolved, pkFont, StopFlag, WarningSink);
            continue;
        }
        std::string path;
        if (!ModernLocalPath(f, font.Ref.Url, false, font.Against, path, StopFlag, WarningSink)) continue;
        ModernPart(f, path, pkFont, font.Against, StopFlag, WarningSink, font.Resolved);
    }
}

// Handles the waiting addresses of the page until one is followed or the
// page must end.
TTokenOutcome ModernPending(TPageFrame& f, const std::string& root, std::string& target, bool& StopFlag,
                            const TProgressSink& WarningSink) {
    TModernFrame& m = *f.Modern;
    while (m.Pending()) {
        const TModernRef r = std::move(m.Refs[m.Next++]);
        const TTokenOutcome outcome = ModernRef(f, r, root, target, StopFlag, WarningSink);
        if (outcome != TTokenOutcome::Next) return outcome;
    }
    m.Refs.clear();
    m.Next = 0;
    return TTokenOutcome::Next;
}

TTokenOutcome ProcessModernToken(TPageFrame& f, THTMLLinkResult& t, const std::string& root, std::string& target,
                                 bool& StopFlag, const TProgressSink& WarningSink) {
    THTMLFileInfo& info = *f.Info;
    if (info.Title.empty()) {
        if (!f.TitlePending) {
            f.TitlePending = SameTextSjis(t.TokenText, "<TITLE>");
        } else if (!t.TokenText.empty() && t.TokenText[0] != '<') {
            info.Title = DecodeModernText(t.TokenText);
            for (char& c : info.Title)
                if (static_cast<unsigned char>(c) < 32) c = ' ';
            f.TitlePending = false;
        }
    }
    if (t.TokenKind != tkTag || t.TokenText.size() < 2) return TTokenOutcome::Next;
    if (t.TokenText[1] == '/') {
        ModernEndTag(std::string_view(t.TokenText).substr(2), f.Modern->State);
        return TTokenOutcome::Next;
    }
    ModernTagRefs(t.TagName, t.TokenText, f.Text.data(), f.Buf.Pos, f.Buf.Len, f.Modern->State, f.Modern->Refs);
    return ModernPending(f, root, target, StopFlag, WarningSink);
}

// Scans the page of the first frame and every page its links lead to. The
// linked pages sit on an explicit stack: the order of pages, problems and
// stop checks is the one a recursive descent gives, without its depth limit.
void RunPages(const std::string& root, std::unique_ptr<TPageFrame> first, bool& StopFlag,
              const TProgressSink& FileSink, const TProgressSink& WarningSink) {
    std::vector<std::unique_ptr<TPageFrame>> stack;
    stack.push_back(std::move(first));
    std::string target;
    THTMLLinkResult token;
    InitLinkResult(token);
    while (!stack.empty()) {
        TPageFrame& f = *stack.back();
        if (f.AfterLink) {
            // Back from the linked page: a stop ends this page without the
            // interruption line (the page that noticed it has given one).
            f.AfterLink = false;
            if (StopFlag) {
                stack.pop_back();
                continue;
            }
        } else {
            f.Buf.Data = f.Text.data();
            const int64_t before = f.Buf.Pos;
            const bool xmpContent = f.InXMP;
            token.LineNo = f.LineNo;
            token.InXMP = f.InXMP;
            TTokenOutcome outcome;
            if (f.Modern && f.Modern->Pending()) {
                outcome = ModernPending(f, root, target, StopFlag, WarningSink);
            } else {
                // The modern reading picks its own attributes from every tag.
                if (f.Modern) GetHTMLTag(f.Buf, token, nullptr, 0, StopFlag);
                else GetHTMLTag(f.Buf, token, LinkTagTable, LinkTagCount, StopFlag);
                f.LineNo = token.LineNo;
                f.InXMP = token.InXMP;
                // Every token moves on, except the empty content of "<XMP></XMP>"
                // (the end tag follows in the next call); should one ever not,
                // the page ends rather than the run hanging.
                if (f.Buf.Pos == before && !StopFlag && !xmpContent) f.Buf.Pos = f.Buf.Len;
                outcome = f.Modern ? ProcessModernToken(f, token, root, target, StopFlag, WarningSink)
                                   : ProcessToken(f, token, root, target, StopFlag, WarningSink);
            }
            if (outcome == TTokenOutcome::EndPage) {
                stack.pop_back();
                continue;
            }
            if (outcome == TTokenOutcome::Follow) {
                f.AfterLink = true;
                f.Suspend();
                auto child = BeginPage(target, StopFlag, FileSink, WarningSink);
                if (child) stack.push_back(std::move(child));
                continue;
            }
        }
        if ((f.Buf.Pos < f.Buf.Len || (f.Modern && f.Modern->Pending())) && !StopFlag) continue;
        if (f.Modern && !StopFlag) ModernEndPage(f, StopFlag, WarningSink);
        if (StopFlag && WarningSink) WarningSink(InterruptedLine(f.Info->FileName));
        stack.pop_back();
    }
}

using TVisitedFolders = std::unordered_set<TFolderId, TFolderIdHash>;

void SearchIn(const std::string& path, bool& StopFlag, const TProgressSink& FolderSink,
              const TProgressSink& WarningSink, TVisitedFolders& visited) {
    if (FolderSink) FolderSink(path);
    if (StopFlag) return;
    const std::string dir = platform::IncludeTrailingSeparator(path);
    platform::FileInfo self = platform::Stat(dir);
    if (self.isDir && !visited.insert({self.dev, self.ino}).second) return;
    std::vector<platform::DirEntry> entries;
    if (!platform::ListDirectory(dir, entries)) return;
    for (const platform::DirEntry& e : entries) {
        if (e.isDir) {
            if (!e.nameConverts) {
                AddProblem(MsgNameNotSjis(), "", dir + e.name, StopFlag, WarningSink);
            } else if (!visited.count({e.dev, e.ino})) {
                SearchIn(dir + e.name, StopFlag, FolderSink, WarningSink, visited);
            }
            if (StopFlag) return;
        } else if (g_run.htmlExtensions.count(AnsiUpper(platform::ExtractFileExt(e.name)))) {
            if (e.nameConverts) {
                SearchList.push_back(dir + e.name);
            } else {
                AddProblem(MsgNameNotSjis(), "", dir + e.name, StopFlag, WarningSink);
                if (StopFlag) return;
            }
        }
    }
}

}  // namespace

const std::string& MsgCannotOpen() { return SJ("ファイルを開けません"); }
const std::string& MsgNotFound() { return SJ("ファイルが見つかりません"); }
const std::string& MsgOtherFolder() { return SJ("別フォルダなのでスキップします"); }
const std::string& MsgLocalFile() { return SJ("ローカルファイルが指定されています"); }
const std::string& MsgNameNotSjis() { return SJ("ファイル名を Shift-JIS で表せません"); }

std::string InterruptedLine(const std::string& page) {
    return SJ("警告(") + page + SJ("): 計測は中断されました。");
}

void AddProblem(const std::string& Message, const std::string& Page, const std::string& Target,
                bool& StopFlag, const TProgressSink& WarningSink) {
    (void)StopFlag;  // read by the callers after the sink had its chance to set it
    if (WarningSink) {
        std::string line;
        line.reserve(Message.size() + Target.size() + Page.size() + 6);
        line += Message;
        line += ": ";
        line += Target;
        if (!Page.empty()) {
            line += " at ";
            line += Page;
        }
        WarningSink(line);
    }
    auto* rec = new THTMLFileInfo;
    rec->FileName = Page;
    rec->LinkName = Target;
    rec->Message = Message;
    ErrorLog.Add(rec);
}

void WarnLocalFile(const std::string& Ref, const std::string& Page, bool& StopFlag,
                   const TProgressSink& WarningSink) {
    if (Ref.size() > 7 && StartsTextSjis(Ref, "FILE:")) AddProblem(MsgLocalFile(), Page, Ref, StopFlag, WarningSink);
}

void SearchFolder(const std::string& Path, bool& StopFlag, const TProgressSink& FolderSink,
                  const TProgressSink& WarningSink) {
    TRunScope scope;
    if (platform::FileExists(Path)) {
        SearchList.push_back(Path);
        return;
    }
    TVisitedFolders visited;
    SearchIn(Path, StopFlag, FolderSink, WarningSink, visited);
}

void MeasureFile(const std::string& Root, const std::string& Path, bool& StopFlag,
                 const TProgressSink& FileSink, const TProgressSink& WarningSink) {
    TRunScope scope;
    auto first = BeginPage(Path, StopFlag, FileSink, WarningSink);
    if (first) RunPages(Root, std::move(first), StopFlag, FileSink, WarningSink);
}

void MeasureAll(bool& StopFlag, const TProgressSink& FolderSink, const TProgressSink& FileSink,
                const TProgressSink& WarningSink) {
    StopFlag = false;
    FileList.Clear();
    ErrorLog.Clear();
    SearchList.clear();
    TRunScope scope;
    for (const std::string& entry : InputList) SearchFolder(entry, StopFlag, FolderSink, WarningSink);
    if (StopFlag) return;
    for (size_t i = 0; i < SearchList.size(); ++i) {
        // Inputs are full paths; a relative one is expanded so that the
        // root-folder test compares like with like.
        const std::string root =
            platform::IncludeTrailingSeparator(platform::ExpandFileName(platform::ExtractFilePath(SearchList[i])));
        MeasureFile(root, SearchList[i], StopFlag, FileSink, WarningSink);
        if (StopFlag) return;
    }
}
