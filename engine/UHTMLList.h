// The result model: page, part and problem records, the owning list that
// holds them, and the lists a run fills.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class THTMLFileInfo;

// What a part of a page is. Classic parts are pages and images, EMBED
// files are "other" and BGSOUND files media; the modern reading finds all.
enum TPartKind : uint8_t {
    pkPage = 0,
    pkImage = 1,
    pkStyleSheet = 2,
    pkScript = 3,
    pkFont = 4,
    pkMedia = 5,
    pkFrame = 6,
    pkOther = 7,
};
// "page", "image", "stylesheet", "script", "font", "media", "frame", "other".
const char* PartKindName(uint8_t kind);

// Sort keys: the values of EnvSettings.SortType and of the sort commands.
enum THTMLSortKey : int {
    SortBySize = 0,        // TotalSize
    SortByName = 1,        // FileName, ordinal unsigned bytes
    SortByImageCount = 2,  // Items.Count()
    SortNone = 3           // keep the order
};

// A list of records that owns every non-null entry it holds.
class THTMLItemList {
public:
    THTMLItemList() = default;
    virtual ~THTMLItemList();
    THTMLItemList(const THTMLItemList&) = delete;
    THTMLItemList& operator=(const THTMLItemList&) = delete;

    int Count() const { return static_cast<int>(items_.size()); }
    // Entry at a 0-based index; throws std::out_of_range on a bad index.
    THTMLFileInfo* operator[](int index) const { return items_.at(static_cast<size_t>(index)); }
    // Appends an entry, which the list now owns; returns its index.
    int Add(THTMLFileInfo* item);
    // Frees the entry at the index and removes its slot.
    void Delete(int index);
    // Frees every entry, from the last to the first, then empties the list.
    void Clear();

    // Sorts by the key (THTMLSortKey); on return Selected names the same
    // entry at its new index. A negative Selected, or one that names no
    // entry, is left as it was. Unknown keys keep the order, as key 3 does.
    // Every entry must be non-null.
    void Sort(int key, bool ascending, int& selected);
    // The stable insertion pass that finishes Sort, usable alone.
    void InsertSort(int key, bool ascending);

    std::vector<THTMLFileInfo*>::const_iterator begin() const { return items_.begin(); }
    std::vector<THTMLFileInfo*>::const_iterator end() const { return items_.end(); }

private:
    std::vector<THTMLFileInfo*> items_;
};

// One page (in FileList), part (in a page's Items) or problem (in ErrorLog).
class THTMLFileInfo {
public:
    THTMLFileInfo() = default;
    virtual ~THTMLFileInfo();
    THTMLFileInfo(const THTMLFileInfo&) = delete;
    THTMLFileInfo& operator=(const THTMLFileInfo&) = delete;

    // Empties the lists (freeing the parts) and the texts; numbers and flags
    // stay as they are.
    void Clear();

    // Records are carved from blocks of many: a big site holds hundreds of
    // thousands, which then take no allocator header each and lie together.
    // Freed records are reused by later ones (any thread).
    static void* operator new(std::size_t size);
    static void operator delete(void* p, std::size_t size) noexcept;

    // Kept in this order, the small fields together, so that no padding
    // grows the record: a big site holds hundreds of thousands of them.
    THTMLItemList Items;                    // parts; entry 0 is the page itself
    std::vector<std::string> NotFoundList;  // missing local files, in the order met
    std::vector<std::string> URLList;       // distinct outside URLs, fragment cut off
    std::string FileName;                   // full path (problem record: the page)
    std::string LinkName;                   // problem record: the target
    std::string Message;                    // problem record: the message of its line
    std::string Title;                      // TITLE text, control characters blanked
    int64_t HTMLSize = 0;                   // the HTML file alone
    int64_t TotalSize = 0;                  // page: weight; part: its own size
    uint32_t FileDate = 0;                  // packed DOS date (high) and time (low)
    bool IsHTML = false;                    // entry 0 of a page's Items
    bool Marked = false;                    // scratch mark of Sort
    uint8_t KanjiCode = 0;                  // DocEncoding the page was read in
    uint8_t Kind = pkPage;                  // part record: a TPartKind
};

// A hint for a walk through the list in order, at entry i: the records a
// few entries further on and their names (with parts: also their parts and
// the parts' names) are fetched into the cache meanwhile. The reports walk
// every page of a big site in sorted order, which scatters them over
// memory. Changes nothing; any i and null entries are allowed.
void PrefetchAhead(const THTMLItemList& list, int i, bool parts);

// The second owning list kind; the program keeps one for its lifetime.
class THTMLErrorLogList : public THTMLItemList {};

// Page records of the current run.
extern THTMLItemList FileList;
// Problem records of the current run, in the order met.
extern THTMLItemList ErrorLog;
// Kept for the program's lifetime; nothing fills it.
extern THTMLErrorLogList HTMLErrorLogList;
