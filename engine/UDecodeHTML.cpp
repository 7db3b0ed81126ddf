#include "engine/UDecodeHTML.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <list>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "engine/UCharRefs.h"
#include "engine/UCharsetSniff.h"
#include "engine/UCssMatch.h"
#include "engine/UCssReader.h"
#include "engine/UHTMLList.h"
#include "engine/UInputList.h"
#include "engine/UModernPage.h"
#include "engine/UNameSet.h"
#include "engine/UPathExpand.h"
#include "engine/YKHTMLTagDecode.h"
#include "engine/YKKanjiLib.h"
#include "outside/YKFileUtils.h"
#include "platform/Encoding.h"
#include "platform/FileSystem.h"
#include "platform/Memory.h"
#include "settings/Uenviron.h"

namespace {

// Windows pages write "\" as separator and "|" for a drive colon.
void NormaliseSeparators(std::string& s) {
    platform::SjisReplaceChar(s, '|', ':');
    platform::SjisReplaceChar(s, '\\', '/');
}

bool StartsWithAnyEntry(const std::string& ref, const std::vector<std::string>& prefixes) {
    for (const std::string& e : prefixes) {
        // An empty entry matches every reference.
        if (platform::StartsTextSjis(ref, e)) return true;
    }
    return false;
}

}  // namespace

bool StripFileURL(std::string& path) {
    static constexpr std::string_view kScheme = "FILE://";
    if (path.size() <= kScheme.size() || !platform::StartsTextSjis(path, kScheme)) return false;
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
    } else if (ref.size() >= 8 && platform::StartsTextSjis(ref, "FILE:")) {
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
        size_t semi = platform::SjisFind(entry, ';');
        if (semi == std::string::npos || semi == 0) continue;
        std::string_view source(entry.data(), semi);
        if (!platform::StartsTextSjis(ref, source)) continue;
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
    const std::string* Path = nullptr;  // its key in the run's sheets
};

// State that lives as long as one run (or one MeasureFile called alone).
struct TRunState {
    bool active = false;
    TNameSet pages;  // FileName of every FileList record
    // SearchList entries (full paths) by index, and which of them have been
    // begun as pages: at the end of a run most have been reached through
    // links, and they are passed over without a look-up each.
    TNameSet searchIndex;
    std::vector<bool> searchBegun;
    // Per SearchList entry: the folder listing saw a regular file. Such a
    // name is answered as a page without a stat of its own and without a
    // place in the stat cache, which would otherwise hold every page of a
    // big site until it is begun.
    std::vector<bool> searchListed;
    TNameMap<TStatEntry> stats;          // link targets, folder tests
    TNameMap<TResourceEntry> resources;  // resolved resource path
    // The modern reading: a page's folder and an address its tags give for
    // a part, as written, to the resolved path. The sheets, scripts and
    // icons of a site are named alike from page after page.
    TNameMap<std::string> modernResolved;
    std::string modernKey;  // its key for one address
    std::unordered_map<std::string, TSheetInfo> sheets;         // modern reading: a sheet's addresses
    // A sheet's text to the sheet first read with it: sites copy their
    // sheets into folder after folder (a manual into each of its languages).
    std::unordered_map<std::string, const TSheetInfo*> sheetTexts;
    std::vector<std::string> htmlExtensions;                    // a handful, compared in turn
    // Reused buffers, so that no token allocates for them.
    std::string upperScratch;
    std::string pathScratch;
    std::string eventScratch;
    platform::TTextBuffer modernText;    // a page the modern reading turned into Shift-JIS
    std::string modernScratch;           // one modern address as packed
    std::string modernValue;             // one address as its steps change it
    std::vector<TModernRef> modernRefs;  // the addresses of one tag
    std::string modernTagName;           // its name in upper case
    std::vector<int8_t> modernTagNamed;  // by TagCode: whether such a tag can give addresses (-1: not known yet)
    THTMLLinkResult token;               // shared by every page's scan
    // The page as read and its Shift-JIS form, reused from page to page.
    std::unique_ptr<char[]> readBuf, textBuf;
    size_t readCap = 0, textCap = 0;
    std::string lastPageQuery;  // see IsPage
    bool lastPageValid = false;
    bool lastPageAnswer = false;
    std::string lastStatKey;  // the entry StatCached returned last
    const TStatEntry* lastStat = nullptr;

    void Reset() {
        lastPageValid = false;
        searchIndex.clear();
        searchBegun.clear();
        searchListed.clear();
        oddPages = false;
        lastStatKey.clear();
        lastStat = nullptr;
        pages.clear();
        stats.clear();
        resources.clear();
        sheets.clear();
        sheetTexts.clear();
        htmlExtensions = EnvSettings.HtmlExtensions;
    }
    void Release() {
        // Swapped out so that the memory of a big run is given back.
        lastPageValid = false;
        lastStatKey.clear();
        lastStat = nullptr;
        pages.Release();
        searchIndex.Release();
        std::vector<bool>().swap(searchBegun);
        std::vector<bool>().swap(searchListed);
        stats.Release();
        resources.Release();
        modernResolved.Release();
        std::string().swap(modernKey);
        std::unordered_map<std::string, TSheetInfo>().swap(sheets);
        std::unordered_map<std::string, const TSheetInfo*>().swap(sheetTexts);
        readBuf.reset();
        textBuf.reset();
        readCap = textCap = 0;
        std::string().swap(eventScratch);
        modernText.Release();
        std::string().swap(modernScratch);
        std::string().swap(modernValue);
        std::vector<TModernRef>().swap(modernRefs);
        std::string().swap(modernTagName);
        std::vector<int8_t>().swap(modernTagNamed);
    }
    bool IsHtmlExtension(std::string_view ext) const {
        for (const std::string& e : htmlExtensions)
            if (platform::SameTextSjis(ext, e)) return true;
        return false;
    }
    // Whether a page of this name has been begun. A link's target is asked
    // about up to three times in a row (folder test, link test, page start),
    // and the set is too big for the cache: the last answer is kept.
    bool IsPage(const std::string& path) {
        if (lastPageValid && path == lastPageQuery) return lastPageAnswer;
        lastPageQuery = path;
        lastPageValid = true;
        return lastPageAnswer = pages.Contains(path);
    }
    // A page begun, or a regular file with a page's name that the folder
    // search listed (and will begin, if no link does first).
    bool IsPageOrListed(const std::string& path) {
        // Most names asked about are images: no look-up in the two big sets.
        if (!oddPages && !IsHtmlExtension(platform::ExtractFileExt(path))) return false;
        // Most link targets were listed: one look-up, begun or not.
        const size_t k = searchIndex.Find(path);
        return (k != TNameSet::npos && searchListed[k]) || IsPage(path);
    }
    // A page measured in this run is a regular file: its stat is not kept.
    void AddPage(const std::string& fileName) {
        pages.Insert(fileName);
        NotePageName(fileName);
        const size_t k = searchIndex.Find(fileName);
        if (k != TNameSet::npos) searchBegun[k] = true;
        if (lastPageValid && fileName == lastPageQuery) lastPageAnswer = true;
    }
    // FileList is the truth; the set only speeds up the look-up.
    void SyncPages() {
        if (pages.size() == static_cast<size_t>(FileList.Count())) return;
        lastPageValid = false;
        pages.clear();
        oddPages = false;
        for (const THTMLFileInfo* p : FileList) {
            if (!p) continue;
            pages.Insert(p->FileName);
            NotePageName(p->FileName);
        }
    }
    // Set once a page is named without a page's extension (an input file
    // given by name), after which no name can be ruled out by it.
    bool oddPages = false;
    void NotePageName(const std::string& fileName) {
        if (!oddPages && !IsHtmlExtension(platform::ExtractFileExt(fileName))) oddPages = true;
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

// What the run keeps of a stat, whether made for a look-up or by the
// folder search's listing.
TStatEntry StatEntryOf(const platform::FileInfo& fi) {
    TStatEntry e;
    // Following a dangling symlink finds nothing: as a link or resource it
    // is missing at the page that names it. Only the folder search takes it
    // for a page (which then cannot be opened).
    if (fi.dangling) return e;
    e.exists = fi.exists;
    e.isDir = fi.isDir;
    e.isRegular = fi.isRegular;
    e.size = fi.exists ? (fi.isDir ? 0 : fi.size) : -1;
    return e;
}

const TStatEntry& StatCached(const std::string& path) {
    // A link's target is asked about several times in a row.
    if (g_run.lastStat && g_run.lastStatKey == path) return *g_run.lastStat;
    const TStatEntry* found = g_run.stats.Find(path);
    if (!found) found = &g_run.stats.Insert(path, StatEntryOf(platform::Stat(path)));
    // Entries of the map never move, so the pointer stays valid.
    g_run.lastStatKey.assign(path);
    g_run.lastStat = found;
    return *found;
}

}  // namespace

namespace {

// A link target: a page measured in this run is a regular file, whose stat
// is no longer kept.
const TStatEntry& LinkStat(const std::string& path) {
    static const TStatEntry kPage{true, false, true, 0};
    return g_run.IsPageOrListed(path) ? kPage : StatCached(path);
}

bool IsFolderForResolve(const std::string& path) {
    if (!g_run.active) return platform::DirectoryExists(path);
    return !g_run.IsPageOrListed(path) && StatCached(path).isDir;
}

bool HasWildcard(std::string_view name) {
    return name.find('*') != std::string_view::npos || name.find('?') != std::string_view::npos;
}

// The entry a resource path names: size -1 when there is none. A last
// element with "*" or "?" that names no entry as written is matched in its
// folder, first match in name order.
const TResourceEntry& Resource(const std::string& path) {
    if (const TResourceEntry* known = g_run.resources.Find(path)) return *known;
    TResourceEntry e;
    e.size = StatCached(path).size;
    if (e.size < 0 && HasWildcard(platform::ExtractFileName(path))) {
        std::string real = FindRealName(path);
        if (!real.empty()) e.size = StatCached(platform::ExtractFilePath(path) + real).size;
    }
    if (e.size >= 0) e.fullName = platform::ExpandFileName(path);
    return g_run.resources.Insert(path, std::move(e));
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

// What a page met already, by the run's own record of it (a resource
// entry, a sheet), one per resolved path: a page waits with these while the
// pages it links to are measured, and a pointer tells two paths apart as
// well as their text.
template <typename T>
class TPtrSet {
public:
    // False when it was there already.
    bool Insert(const T* p) {
        if (big_) return big_->insert(p).second;
        if (std::find(small_.begin(), small_.end(), p) != small_.end()) return false;
        if (small_.size() < kSmallMax) {
            small_.push_back(p);
            return true;
        }
        big_ = std::make_unique<std::unordered_set<const T*>>(small_.begin(), small_.end());
        std::vector<const T*>().swap(small_);
        return big_->insert(p).second;
    }

private:
    static constexpr size_t kSmallMax = 32;
    std::vector<const T*> small_;
    std::unique_ptr<std::unordered_set<const T*>> big_;
};

// What the modern reading keeps per page while it acts on the addresses
// (the scan's own state lives only during the scan).
struct TModernFrame {
    std::string Base;     // what addresses resolve against: a path whose folder counts
    std::string BaseUrl;  // an outside <base href>: relative addresses lead out there
    TPtrSet<TResourceEntry> PartKeys;  // the parts counted so far
    TPtrSet<TSheetInfo> SheetKeys;     // sheets already read for this page (ends @import loops)
    // The page's elements, for the selectors of rules that name files and
    // for the fonts; set when the page begins if it has CSS at all, found
    // from the whole text when first asked for. It looks at the page text
    // until the page waits, and keeps a copy of it from then on only while
    // CSS events remain or fonts wait for the page's end.
    std::unique_ptr<TPageElements> Elements;
    size_t CssEnd = 0;  // the offset in the frame's events past the last CSS event
    // Web fonts of the sheets that apply: counted at the page's end when a
    // rule that applies to text uses their family.
    // A page waits with its fonts while the pages it links to are measured,
    // so a font names its rule and folder where a sheet keeps them; those
    // of CSS in the page itself are kept by the page.
    struct TFont {
        const TCssRef* Ref;
        const std::string* Against;
        std::string* Resolved;  // the sheet's cache of the resolved path, or null
    };
    std::vector<TFont> Fonts;
    std::list<std::pair<TCssRef, std::string>> PageFonts;  // no memory until one is kept
    std::vector<const std::vector<TCssFontUse>*> SheetFontUses;
    std::vector<TCssFontUse> PageFontUses;  // of <style> and style attributes
    // The families the page's text uses, once known: when the page waits
    // after its last CSS event nothing can change them, and they are found
    // then so that the elements need not wait with the page.
    bool FontsDecided = false;
    std::vector<std::string> UsedFamilies;
};

void DecideFonts(TModernFrame& m);

// A page being measured, or waiting while a page it links to is measured.
// Its text is scanned whole when the page begins; the frame keeps only the
// tokens the measurement acts on (the title and every link or resource
// reference; with the modern reading, every address its tags and CSS text
// name), packed in page order, so a chain of 90,000 waiting pages holds
// their remaining references and not their text.
struct TPageFrame {
    THTMLFileInfo* Info = nullptr;  // owned by FileList
    // Per token: its kind (see kTitleEvent below), the value's length
    // (7 bits a byte, low first, the top bit set on all but the last) and
    // the value. Events before Next have been acted on.
    std::string Events;
    size_t Next = 0;
    bool AfterLink = false;  // a followed link has just been measured
    struct TKeys {
        TKeySet Ref;                           // resource comparison keys
        TKeySet Url;                           // AnsiUpper of URLList entries
        std::unique_ptr<TModernFrame> Modern;  // made for the first modern address
    };
    std::unique_ptr<TKeys> Keys;  // made for the first key: most waiting pages have none yet

    TKeys& K() {
        if (!Keys) Keys = std::make_unique<TKeys>();
        return *Keys;
    }
    TModernFrame& M() {
        TKeys& k = K();
        if (!k.Modern) {
            k.Modern = std::make_unique<TModernFrame>();
            k.Modern->Base = Info->FileName;
        }
        return *k.Modern;
    }

    bool More() const { return Next < Events.size(); }
    // Whether the next event is a further address of the tag whose address
    // was just handled: a tag's addresses are handled together.
    bool MoreOfTag() const;
    uint8_t Take(std::string_view& value) {
        const uint8_t kind = static_cast<uint8_t>(Events[Next++]);
        uint64_t n = 0;
        for (int shift = 0;; shift += 7) {
            const auto b = static_cast<unsigned char>(Events[Next++]);
            n |= static_cast<uint64_t>(b & 0x7F) << shift;
            if (!(b & 0x80)) break;
        }
        value = std::string_view(Events).substr(Next, static_cast<size_t>(n));
        Next += static_cast<size_t>(n);
        return kind;
    }
    // Before the page waits for a linked one: once half of the events have
    // been acted on, they are dropped. Halving keeps the copying linear.
    void Suspend() {
        if (Keys && Keys->Modern && Keys->Modern->Elements) {
            // The text the elements look at becomes the next page's buffer:
            // copied if rules or fonts may still ask about it, else let go.
            TModernFrame& m = *Keys->Modern;
            if (Next < m.CssEnd) {
                m.Elements->Detach();
            } else {
                if (!m.Fonts.empty()) DecideFonts(m);
                m.Elements.reset();
            }
        }
        if (Next == 0 || Next < Events.size() - Next) return;
        Events.erase(0, Next);
        Events.shrink_to_fit();
        if (Keys && Keys->Modern) Keys->Modern->CssEnd -= std::min(Keys->Modern->CssEnd, Next);
        Next = 0;
    }
};

// Event kinds beside the link types (ltLink, ltImage, ltEmbed).
constexpr uint8_t kTitleEvent = 0;
constexpr uint8_t kBgsoundEvent = 5;  // an ltEmbed of BGSOUND, whose part is media
// The modern reading: kModernEvent + the TModernUse, the value led by the
// part kind byte; kTagGoesOn marks every address of a tag but its first,
// kRulesOff a sheet or CSS text whose media does not match.
constexpr uint8_t kModernEvent = 0x10;
constexpr uint8_t kRulesOff = 0x20;
constexpr uint8_t kTagGoesOn = 0x40;

bool TPageFrame::MoreOfTag() const {
    return Next < Events.size() && (static_cast<uint8_t>(Events[Next]) & kTagGoesOn) != 0;
}

void AddEvent(std::string& events, uint8_t kind, std::string_view value) {
    events += static_cast<char>(kind);
    uint64_t n = value.size();
    while (n >= 0x80) {
        events += static_cast<char>((n & 0x7F) | 0x80);
        n >>= 7;
    }
    events += static_cast<char>(n);
    events.append(value);
}

// Upper-cases ASCII letters into a reused buffer, as AnsiUpper does.
void UpperInto(std::string& out, std::string_view s) {
    out.assign(s);
    for (size_t i = 0; i < out.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(out[i]);
        if (platform::IsSjisLead(c) && i + 1 < out.size()) {
            ++i;
        } else if (c >= 'a' && c <= 'z') {
            out[i] = static_cast<char>(c - 32);
        }
    }
}

// The title's event, control characters shown as blanks. False when
// nothing is left: the page stays untitled, and a later <TITLE> may still
// give one.
bool AddTitle(std::string& events, std::string& title) {
    for (char& c : title)
        if (static_cast<unsigned char>(c) < 32) c = ' ';
    if (title.empty()) return false;
    AddEvent(events, kTitleEvent, title);
    return true;
}

// The modern reading of a page in the same walk that finds its elements:
// the title as the classic scan takes it (the first text after a bare
// "<TITLE>"), and the addresses of every tag.
class TModernScan final : public TMarkupVisitor {
public:
    // A page in UTF-8 is read as it stands; the walk gives its tags in
    // Shift-JIS, and the title and style text are turned here.
    TModernScan(const char* text, size_t len, bool utf8, std::string& events, const bool& stopFlag)
        : d_(text), n_(len), events_(events), stop_(stopFlag) {
        state_.Utf8 = utf8;
    }
    size_t CssEnd() const { return cssEnd_; }

    void Text(size_t from, size_t to) override { TakeTitle(std::string_view(d_ + from, to - from)); }

    size_t StartTag(uint16_t code, std::string_view lowerName, std::string_view token, size_t close,
                    const TTagFacts& facts) override {
        // As the classic scan, which ends after the first token when the
        // flag is already set (nothing can set it during the scan).
        Stopped = stop_;
        if (!titleDone_ && !WantsText) WantsText = platform::SameTextSjis(token, "<TITLE>");
        if (WantsText && close < n_ && d_[close] != '<') {
            // A title element's content is read past by the walk.
            const size_t to = std::min(std::string_view(d_, n_).find('<', close), n_);
            TakeTitle(std::string_view(d_ + close, to - close));
        }
        // Most tags give no address; whether a name can is known once per
        // run (but for the code that names past the table's room share).
        std::vector<int8_t>& named = g_run.modernTagNamed;
        if (code >= named.size()) named.resize(size_t{code} + 1, -1);
        int8_t& known = named[code];
        if (known == 0 && !facts.MaybeStyle) return close;
        std::string& upper = g_run.modernTagName;
        UpperInto(upper, lowerName);
        if (known < 0) {
            const bool can = ModernTagNamed(upper);
            if (code != 0xFFFF) known = can ? 1 : 0;
            if (!can && !facts.MaybeStyle) return close;
        }
        std::vector<TModernRef>& refs = g_run.modernRefs;
        ClearModernRefs(refs);
        auto pos = static_cast<int64_t>(close);
        ModernTagRefs(upper, token, facts, d_, pos, static_cast<int64_t>(n_), state_, refs);
        std::string& packed = g_run.modernScratch;
        uint8_t goesOn = 0;
        for (const TModernRef& r : refs) {
            packed.assign(1, static_cast<char>(r.Kind));
            packed += r.Value;
            const uint8_t off = r.Applies ? 0 : kRulesOff;
            AddEvent(events_, static_cast<uint8_t>(kModernEvent + static_cast<uint8_t>(r.Use) + off + goesOn), packed);
            goesOn = kTagGoesOn;
            if (r.Use == TModernUse::Sheet || r.Use == TModernUse::StyleText) cssEnd_ = events_.size();
        }
        return static_cast<size_t>(pos);
    }

    void EndTag(std::string_view lowerName) override {
        ModernEndTag(lowerName, state_);
        Stopped = stop_;
    }

private:
    void TakeTitle(std::string_view text) {
        if (text.empty()) return;
        std::string& title = g_run.upperScratch;
        if (state_.Utf8) {
            platform::Utf8ToCp932CharRefs(text, g_run.modernText);
            text = g_run.modernText.View();
        }
        title = DecodeModernText(text);
        WantsText = false;
        titleDone_ = AddTitle(events_, title);
    }

    const char* d_;
    size_t n_;
    std::string& events_;
    const bool& stop_;
    TModernPageState state_;
    size_t cssEnd_ = 0;
    bool titleDone_ = false;
};

// Returns the offset past the last event of a sheet or CSS text (0 when
// there is none).
size_t ScanModernPage(const char* text, size_t len, bool utf8, std::string& events, const bool& StopFlag,
                      TPageElements& elements) {
    events.clear();
    TModernScan scan(text, len, utf8, events, StopFlag);
    elements.Walk(scan);
    return scan.CssEnd();
}

// Scans a page's text into its events. The scan runs to the end of the
// text, or stops after the first token when the stop flag is already set,
// as the measuring loop would: nothing can set the flag while it runs, since
// no sink is called, so the tokens are those a token-by-token loop would see.
void ScanPage(const char* text, int64_t len, std::string& events, const bool& StopFlag) {
    events.clear();
    TTagScanBuffer buf;
    buf.Data = text;
    buf.Pos = 0;
    buf.Len = len;
    THTMLLinkResult& t = g_run.token;
    InitLinkResult(t);
    bool titlePending = false, titleDone = false;
    do {
        const int64_t before = buf.Pos;
        const bool xmpContent = t.InXMP;
        // Only the title needs the token's text as a copy.
        t.SkipTokenText = titleDone;
        GetHTMLTag(buf, t, LinkTagTable, LinkTagCount, StopFlag);
        // Every token moves on, except the empty content of "<XMP></XMP>"
        // (the end tag follows in the next call); should one ever not, the
        // page ends rather than the run hanging.
        if (buf.Pos == before && !StopFlag && !xmpContent) buf.Pos = buf.Len;
        if (!titleDone) {
            // The title is the first token after "<TITLE>" that does not
            // begin with "<"; tags in between leave it pending.
            if (!titlePending) {
                titlePending = platform::SameTextSjis(t.TokenText, "<TITLE>");
            } else if (!t.TokenText.empty() && t.TokenText[0] != '<') {
                std::string& title = g_run.upperScratch;
                title = t.TokenText;
                titlePending = false;
                titleDone = AddTitle(events, title);
            }
        }
        if (t.LinkType == ltMeta) {
            size_t at = std::string::npos;
            if (platform::SameTextSjis(t.Value1, "REFRESH"))
                at = platform::SjisFindText(platform::AnsiUpper(t.Value2), "URL=");
            if (at == std::string::npos) continue;
            AddEvent(events, ltLink, std::string_view(t.Value2).substr(at + 4));
        } else if (!t.Value1.empty() && (t.LinkType == ltLink || t.LinkType == ltImage || t.LinkType == ltEmbed)) {
            const bool bgsound = t.LinkType == ltEmbed && t.TagName == "BGSOUND";
            AddEvent(events, bgsound ? kBgsoundEvent : static_cast<uint8_t>(t.LinkType), t.Value1);
        }
    } while (buf.Pos < buf.Len && !StopFlag);
}

// A buffer that keeps its memory from page to page and is never zero-filled:
// every byte is written before it is read.
char* Reserve(std::unique_ptr<char[]>& buf, size_t& cap, size_t n) {
    if (cap < n) {
        buf.reset();
        buf = std::make_unique_for_overwrite<char[]>(n);
        cap = n;
    }
    return buf.get();
}

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
    if (g_run.IsPage(path)) return nullptr;
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
    g_run.AddPage(info->FileName);
    auto* self = new THTMLFileInfo;
    self->FileName = path;
    self->TotalSize = info->HTMLSize;
    self->IsHTML = true;
    info->Items.Add(self);

    if (info->HTMLSize == 0) {
        if (!fd.Close()) ThrowReadError(path, std::strerror(errno));
        return nullptr;
    }
    const auto size = static_cast<size_t>(info->HTMLSize);
    char* raw = Reserve(g_run.readBuf, g_run.readCap, size);
    size_t done = 0;
    while (done < size) {
        ssize_t n = ::read(fd.get(), raw + done, size - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            ThrowReadError(path, std::strerror(errno));
        }
        if (n == 0) ThrowReadError(path, SJ("ファイルが途中で終わっています"));
        done += static_cast<size_t>(n);
    }
    if (!fd.Close()) ThrowReadError(path, std::strerror(errno));

    int code = EnvSettings.DocumentEncoding;
    const char* text = raw;
    size_t len = size;
    bool utf8 = false;
    if (code != Jis && code != Euc && code != Sjis && EnvSettings.Modern) {
        code = SniffPageEncoding(std::string_view(raw, size));
        if (code == KanjiCodeUtf8) {
            // Walked as it stands (see TPageElements).
            utf8 = !platform::IsAscii(std::string_view(raw, size));
            const std::string_view body = Utf8PageBody(std::string_view(raw, size));
            text = body.data();
            len = body.size();
        } else {
            const std::string_view sjis = PageTextToSjis(std::string_view(raw, size), code, g_run.modernText);
            text = sjis.data();
            len = sjis.size();
        }
    } else {
        if (code != Jis && code != Euc && code != Sjis) code = DetectKanjiCode(std::string_view(raw, size));
        if (code == Jis || code == Euc) {
            char* out = Reserve(g_run.textBuf, g_run.textCap, size);
            len = code == Jis ? JISToSJIS(raw, size, out) : EUCToSJIS(raw, size, out);
            text = out;
        }
    }
    info->KanjiCode = static_cast<uint8_t>(code);

    auto frame = std::make_unique<TPageFrame>();
    frame->Info = info;
    if (!EnvSettings.Modern) {
        ScanPage(text, static_cast<int64_t>(len), g_run.eventScratch, StopFlag);
        frame->Events.assign(g_run.eventScratch);
        return frame;
    }
    auto elements = std::make_unique<TPageElements>(std::string_view(text, len), utf8);
    const size_t cssEnd = ScanModernPage(text, len, utf8, g_run.eventScratch, StopFlag, *elements);
    frame->Events.assign(g_run.eventScratch);
    if (cssEnd) {
        // Rules and fonts are checked against the page's elements while its
        // events are handled; the elements look at the text where it lies
        // until the page waits (see Suspend).
        TModernFrame& m = frame->M();
        m.Elements = std::move(elements);
        m.CssEnd = cssEnd;
    }
    return frame;
}

enum class TTokenOutcome { Next, EndPage, Follow };

bool IsOutsideUrl(std::string_view ref) {
    return platform::StartsTextSjis(ref, "HTTP:") || platform::StartsTextSjis(ref, "HTTPS:") ||
           platform::StartsTextSjis(ref, "FTP:");
}

void CutAtHash(std::string& s) {
    size_t hash = platform::SjisFind(s, '#');
    if (hash != std::string::npos) s.resize(hash);
}

TTokenOutcome ProcessLink(TPageFrame& f, const std::string& root, std::string_view raw, std::string ref,
                          std::string& target, bool& StopFlag, const TProgressSink& WarningSink,
                          const std::string* against = nullptr) {
    const std::string& page = f.Info->FileName;
    // Most links hold no "?", and then no ".cgi?" either.
    if (raw.find('?') != std::string::npos) {
        std::string& upperRaw = g_run.upperScratch;
        UpperInto(upperRaw, raw);
        if (platform::SjisFindText(upperRaw, ".CGI?") != std::string::npos) return TTokenOutcome::Next;
    }
    if (IsOutsideUrl(raw)) {
        std::string url(raw);
        CutAtHash(url);
        // Dropped as a browser drops them when it follows the link; kept,
        // they would break the lines of the item file and the reports.
        std::erase_if(url, [](char c) { return c == '\t' || c == '\r' || c == '\n'; });
        if (f.K().Url.Insert(platform::AnsiUpper(url))) f.Info->URLList.push_back(std::move(url));
    }
    if (IsHrefSkip(ref)) return TTokenOutcome::Next;
    ref = ReplaceAlias(ref);
    CutAtHash(ref);
    WarnLocalFile(ref, page, StopFlag, WarningSink);
    ResolveReference(ref, against ? *against : page);
    target = std::move(ref);

    bool isHtml = false;
    const TStatEntry* found = &LinkStat(target);
    if (found->isDir) {
        isHtml = true;
        if (target.back() != '/') target += '/';
        if (LinkStat(target + "index.html").isRegular) target += "index.html";
        else if (LinkStat(target + "index.htm").isRegular) target += "index.htm";
        found = &LinkStat(target);
    } else {
        std::string ext = platform::ExtractFileExt(target);
        isHtml = !ext.empty() && g_run.IsHtmlExtension(ext);
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
    platform::SjisReplaceChar(key, '\\', '/');
    ExpandFileNameInto(g_run.pathScratch, key, platform::GetCurrentDir());
    if (!f.K().Ref.Insert(g_run.pathScratch)) return TTokenOutcome::Next;

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

// --- The modern reading ------------------------------------------------------
//
// Tags give addresses through ModernTagRefs; each is handled here in turn.
// A followed link suspends the page with the rest of its addresses waiting.

// "http:", "data:", "javascript:" ...: a scheme of two letters or more (one
// letter is a drive).
size_t SchemeLength(std::string_view ref) {
    // Most references have no ":" at all.
    if (ref.find(':') == std::string_view::npos) return 0;
    size_t i = 0;
    while (i < ref.size() &&
           (std::isalnum(static_cast<unsigned char>(ref[i])) || ref[i] == '+' || ref[i] == '-' || ref[i] == '.'))
        ++i;
    return (i >= 2 && i < ref.size() && ref[i] == ':' && std::isalpha(static_cast<unsigned char>(ref[0]))) ? i : 0;
}

void AddOutsideUrl(TPageFrame& f, std::string url) {
    CutAtHash(url);
    if (f.K().Url.Insert(platform::AnsiUpper(url))) f.Info->URLList.push_back(std::move(url));
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
    std::string& text = g_run.modernValue;
    if (htmlValue && value.find('&') != std::string::npos) text = DecodeModernText(value);
    else text.assign(value);
    size_t a = 0;
    while (a < text.size() && static_cast<unsigned char>(text[a]) <= 0x20) ++a;
    text.erase(0, a);
    if (text.empty() || text[0] == '#') return false;
    if (const size_t scheme = SchemeLength(text)) {
        if (IsOutsideUrl(text)) {
            AddOutsideUrl(f, text);
            return false;
        }
        if (!platform::StartsTextSjis(text, "FILE:")) return false;
    } else if (!f.M().BaseUrl.empty() && &against == &f.M().Base && text.compare(0, 2, "//") != 0) {
        AddOutsideUrl(f, JoinBaseUrl(f.M().BaseUrl, text));
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
    const TResourceEntry& res = Resource(path);
    if (!f.M().PartKeys.Insert(&res)) return {};
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
    const bool plain = !(path.size() > 7 && platform::StartsTextSjis(path, "FILE:"));
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
    TSheetInfo info;
    if (platform::ReadWholeFile(path, bytes)) {
        if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
            bytes = platform::Utf8ToCp932(std::string_view(bytes).substr(3));
        } else if (IsUtf8WithMultibyte(bytes)) {
            bytes = platform::Utf8ToCp932(bytes);
        }
        // A copy of a sheet read before names the same addresses, which
        // resolve against its own folder.
        if (auto same = g_run.sheetTexts.find(bytes); same != g_run.sheetTexts.end()) {
            info.Refs = same->second->Refs;
            info.FontUses = same->second->FontUses;
        } else {
            TCssSheet sheet = ReadCssSheet(bytes);
            info.Refs = std::move(sheet.Refs);
            info.FontUses = std::move(sheet.FontUses);
        }
    }
    info.Resolved.resize(info.Refs.size());
    auto placed = g_run.sheets.emplace(path, std::move(info)).first;
    TSheetInfo& kept = placed->second;
    kept.Path = &placed->first;
    if (!bytes.empty()) g_run.sheetTexts.emplace(std::move(bytes), &kept);
    return kept;
}

// Set when the page began: every page with CSS has them.
const TPageElements& PageElements(TPageFrame& f) { return *f.M().Elements; }

// The addresses of CSS met in the page or in a sheet; imported sheets are
// read in their turn, each once per page. A sheet whose media does not
// match is fetched with its imports, but names nothing else.
void ModernCss(TPageFrame& f, const std::vector<TCssRef>& first, const std::string& firstAgainst, bool applies,
               bool& StopFlag, const TProgressSink& WarningSink, std::vector<std::string>* firstResolved = nullptr,
               const std::string* firstSheetPath = nullptr) {
    struct TWork {
        const std::vector<TCssRef>* refs;
        std::vector<std::string>* resolved;  // null for CSS in the page
        std::string against;
        size_t next;
        bool applies;
        const std::string* sheetPath;  // against, as the run's sheets keep it (null for CSS in the page)
    };
    std::vector<TWork> stack{{&first, firstResolved, firstAgainst, 0, applies, firstSheetPath}};
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
            if (sheetApplies) {
                TModernFrame& m = f.M();
                if (w.sheetPath) {
                    m.Fonts.push_back({&r, w.sheetPath, &(*w.resolved)[i]});
                } else {
                    m.PageFonts.emplace_back(r, w.against);
                    m.Fonts.push_back({&m.PageFonts.back().first, &m.PageFonts.back().second, nullptr});
                }
            }
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
        TSheetInfo* imported = r.Kind == TCssRefKind::Import && !sheet.empty() ? &SheetRefs(sheet) : nullptr;
        if (imported && f.M().SheetKeys.Insert(imported)) {
            TSheetInfo& info = *imported;
            const bool importApplies = sheetApplies && r.Applies;
            if (importApplies) f.M().SheetFontUses.push_back(&info.FontUses);
            stack.push_back({&info.Refs, &info.Resolved, sheet, 0, importApplies, info.Path});
        }
    }
}

TTokenOutcome ModernRef(TPageFrame& f, const TModernRef& r, const std::string& root, std::string& target,
                        bool& StopFlag, const TProgressSink& WarningSink) {
    TModernFrame& m = f.M();
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
    // An address met before from the same folder, whose steps to its path
    // noted nothing for the page (no outside address, problem or skip), is
    // taken as resolved then. A frame's address is also followed as written.
    std::string& key = g_run.modernKey;
    const size_t slash = m.Base.rfind('/');
    const bool keyed = r.Use != TModernUse::Frame && m.BaseUrl.empty() && !m.Base.empty() && m.Base[0] == '/';
    if (keyed) {
        key.assign(m.Base, 0, slash + 1);
        key += '\n';
        key += r.Value;
    }
    std::string path, file;
    if (const std::string* known = keyed ? g_run.modernResolved.Find(key) : nullptr) {
        file = ModernResolvedPart(f, *known, r.Kind, StopFlag, WarningSink);
    } else {
        // Past ModernLocalPath's "true" nothing has been noted for the page;
        // ModernPart gives the resolved path only where it notes nothing.
        if (!ModernLocalPath(f, r.Value, true, m.Base, path, StopFlag, WarningSink))
            return StopFlag ? TTokenOutcome::EndPage : TTokenOutcome::Next;
        std::string resolved;
        file = ModernPart(f, path, r.Kind, m.Base, StopFlag, WarningSink, &resolved);
        if (keyed && !resolved.empty()) g_run.modernResolved.Insert(key, std::move(resolved));
    }
    TSheetInfo* sheet = r.Use == TModernUse::Sheet && !file.empty() ? &SheetRefs(file) : nullptr;
    if (sheet && m.SheetKeys.Insert(sheet)) {
        TSheetInfo& info = *sheet;
        if (r.Applies) m.SheetFontUses.push_back(&info.FontUses);
        ModernCss(f, info.Refs, file, r.Applies, StopFlag, WarningSink, &info.Resolved, info.Path);
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
void DecideFonts(TModernFrame& m) {
    if (m.FontsDecided) return;
    m.FontsDecided = true;
    std::vector<std::string> faces;
    for (const TModernFrame::TFont& font : m.Fonts)
        if (!font.Ref->Family.empty() && std::find(faces.begin(), faces.end(), font.Ref->Family) == faces.end())
            faces.push_back(font.Ref->Family);
    const TPageElements& page = *m.Elements;
    std::vector<std::string>& used = m.UsedFamilies;
    auto consider = [&](const TCssFontUse& u) {
        std::string family = UsedFaceFamily(u.Families, faces);
        if (family.empty() || std::find(used.begin(), used.end(), family) != used.end()) return;
        if (u.Selector.empty() ? page.HasText() : page.AnyWithTextMatches(u.Selector)) used.push_back(family);
    };
    for (const TCssFontUse& u : m.PageFontUses) consider(u);
    for (const std::vector<TCssFontUse>* list : m.SheetFontUses)
        for (const TCssFontUse& u : *list) consider(u);
}

void ModernEndPage(TPageFrame& f, bool& StopFlag, const TProgressSink& WarningSink) {
    TModernFrame& m = f.M();
    if (m.Fonts.empty()) return;
    DecideFonts(m);
    const std::vector<std::string>& used = m.UsedFamilies;
    for (const TModernFrame::TFont& font : m.Fonts) {
        if (StopFlag) return;
        if (std::find(used.begin(), used.end(), font.Ref->Family) == used.end()) continue;
        if (font.Resolved && !font.Resolved->empty()) {
            ModernResolvedPart(f, *font.Resolved, pkFont, StopFlag, WarningSink);
            continue;
        }
        std::string path;
        if (!ModernLocalPath(f, font.Ref->Url, false, *font.Against, path, StopFlag, WarningSink)) continue;
        ModernPart(f, path, pkFont, *font.Against, StopFlag, WarningSink, font.Resolved);
    }
}

TTokenOutcome ProcessEvent(TPageFrame& f, const std::string& root, std::string& target, bool& StopFlag,
                           const TProgressSink& WarningSink) {
    std::string_view raw;
    const uint8_t kind = f.Take(raw);
    if (kind == kTitleEvent) {
        if (f.Info->Title.empty()) f.Info->Title.assign(raw);
        return TTokenOutcome::Next;
    }
    if (kind >= kModernEvent) {
        const TModernRef r{static_cast<TModernUse>((kind & ~(kTagGoesOn | kRulesOff)) - kModernEvent),
                           static_cast<uint8_t>(raw[0]), std::string(raw.substr(1)), !(kind & kRulesOff)};
        return ModernRef(f, r, root, target, StopFlag, WarningSink);
    }
    std::string ref = UnescapeAttrValue(raw);
    if (kind == ltLink) return ProcessLink(f, root, raw, std::move(ref), target, StopFlag, WarningSink);
    if (kind == ltImage) return ProcessResource(f, std::move(ref), pkImage, StopFlag, WarningSink);
    uint8_t part = kind == kBgsoundEvent ? static_cast<uint8_t>(pkMedia) : KindByExtension(ref);
    if (part == pkFrame) part = pkOther;
    return ProcessResource(f, std::move(ref), part, StopFlag, WarningSink);
}

// Scans the page of the first frame and every page its links lead to. The
// linked pages sit on an explicit stack: the order of pages, problems and
// stop checks is the one a recursive descent gives, without its depth limit.
void RunPages(const std::string& root, std::unique_ptr<TPageFrame> first, bool& StopFlag, const TProgressSink& FileSink,
              const TProgressSink& WarningSink) {
    std::vector<std::unique_ptr<TPageFrame>> stack;
    stack.push_back(std::move(first));
    std::string target;
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
        } else if (f.More()) {
            TTokenOutcome outcome = ProcessEvent(f, root, target, StopFlag, WarningSink);
            while (outcome == TTokenOutcome::Next && f.MoreOfTag())
                outcome = ProcessEvent(f, root, target, StopFlag, WarningSink);
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
        if (f.More() && !StopFlag) continue;
        if (f.Keys && f.Keys->Modern && !StopFlag) ModernEndPage(f, StopFlag, WarningSink);
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
    if (g_run.active) {
        // The listing has stat'ed every entry: links and resources that name
        // them need no stat of their own.
        for (const platform::DirEntry& e : entries) {
            // A listing does not tell a dangling symlink from a special
            // file: names that are neither folder nor file get a stat of
            // their own when a page names them.
            if (!e.nameConverts || !(e.isDir || e.isRegular)) continue;
            // Pages to be are answered from SearchList (see searchListed).
            if (e.isRegular && g_run.IsHtmlExtension(platform::ExtractFileExt(e.name))) continue;
            const std::string name = dir + e.name;
            if (!g_run.stats.Find(name)) g_run.stats.Insert(name, StatEntryOf(e));
        }
    }
    for (const platform::DirEntry& e : entries) {
        if (e.isDir) {
            if (!e.nameConverts) {
                AddProblem(MsgNameNotSjis(), "", dir + e.name, StopFlag, WarningSink);
            } else if (!visited.count({e.dev, e.ino})) {
                SearchIn(dir + e.name, StopFlag, FolderSink, WarningSink, visited);
            }
            if (StopFlag) return;
        } else if (g_run.IsHtmlExtension(platform::ExtractFileExt(e.name))) {
            if (e.nameConverts) {
                SearchList.push_back(dir + e.name);
                if (g_run.active) g_run.searchListed.push_back(e.isRegular);
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

std::string InterruptedLine(const std::string& page) { return SJ("警告(") + page + SJ("): 計測は中断されました。"); }

void AddProblem(const std::string& Message, const std::string& Page, const std::string& Target, bool& StopFlag,
                const TProgressSink& WarningSink) {
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

void WarnLocalFile(const std::string& Ref, const std::string& Page, bool& StopFlag, const TProgressSink& WarningSink) {
    if (Ref.size() > 7 && platform::StartsTextSjis(Ref, "FILE:"))
        AddProblem(MsgLocalFile(), Page, Ref, StopFlag, WarningSink);
}

void SearchFolder(const std::string& Path, bool& StopFlag, const TProgressSink& FolderSink,
                  const TProgressSink& WarningSink) {
    TRunScope scope;
    if (platform::FileExists(Path)) {
        SearchList.push_back(Path);
        if (g_run.active) g_run.searchListed.push_back(false);
        return;
    }
    TVisitedFolders visited;
    SearchIn(Path, StopFlag, FolderSink, WarningSink, visited);
}

void MeasureFile(const std::string& Root, const std::string& Path, bool& StopFlag, const TProgressSink& FileSink,
                 const TProgressSink& WarningSink) {
    TRunScope scope;
    auto first = BeginPage(Path, StopFlag, FileSink, WarningSink);
    if (first) RunPages(Root, std::move(first), StopFlag, FileSink, WarningSink);
}

void MeasureAll(bool& StopFlag, const TProgressSink& FolderSink, const TProgressSink& FileSink,
                const TProgressSink& WarningSink) {
    StopFlag = false;
    platform::KeepFreedMemory();
    FileList.Clear();
    ErrorLog.Clear();
    SearchList.clear();
    TRunScope scope;
    for (const std::string& entry : InputList) SearchFolder(entry, StopFlag, FolderSink, WarningSink);
    if (StopFlag) return;
    // An entry that is a full path is the name its page gets: once a page of
    // that name has begun, MeasureFile would end at its first test, before
    // any sink call, so the entry is passed over at once.
    g_run.searchBegun.assign(SearchList.size(), false);
    // SearchList filled elsewhere than here carries no listing.
    g_run.searchListed.resize(SearchList.size(), false);
    for (size_t i = 0; i < SearchList.size(); ++i)
        if (IsExpandedPath(SearchList[i])) g_run.searchIndex.Insert(SearchList[i], i);
    for (size_t i = 0; i < SearchList.size(); ++i) {
        if (g_run.searchBegun[i]) continue;
        // Inputs are full paths; a relative one is expanded so that the
        // root-folder test compares like with like.
        const std::string root =
            platform::IncludeTrailingSeparator(platform::ExpandFileName(platform::ExtractFilePath(SearchList[i])));
        MeasureFile(root, SearchList[i], StopFlag, FileSink, WarningSink);
        if (StopFlag) return;
    }
}
