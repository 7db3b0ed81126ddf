#include "engine/UHTMLList.h"

#include "platform/Memory.h"

#include <mutex>
#include <new>
#include <utility>

THTMLItemList FileList;
THTMLItemList ErrorLog;
THTMLErrorLogList HTMLErrorLogList;

namespace {

// Three-way comparison of two records by a sort key; unknown keys compare
// everything equal, so nothing moves.
int CompareKey(const THTMLFileInfo* a, const THTMLFileInfo* b, int key) {
    switch (key) {
        case SortBySize:
            return a->TotalSize < b->TotalSize ? -1 : a->TotalSize > b->TotalSize ? 1 : 0;
        case SortByName: {
            // std::string compares char as unsigned bytes, a prefix first.
            int c = a->FileName.compare(b->FileName);
            return c < 0 ? -1 : c > 0 ? 1 : 0;
        }
        case SortByImageCount: {
            int x = a->Items.Count(), y = b->Items.Count();
            return x < y ? -1 : x > y ? 1 : 0;
        }
        default:
            return 0;
    }
}

// True when a sorts strictly before b in the requested direction.
bool Before(const THTMLFileInfo* a, const THTMLFileInfo* b, int key, bool ascending) {
    int c = CompareKey(a, b, key);
    return ascending ? c < 0 : c > 0;
}

// The range phase, then the insertion pass, over any entries. Ranges of up
// to 11 entries are left to the insertion pass; the order among equal keys
// that the views show depends on exactly this sequence of partitions and
// moves, so it must not be "improved".
template <class T, class Less>
void SortEntries(std::vector<T>& v, Less before) {
    const int count = static_cast<int>(v.size());
    std::vector<std::pair<int, int>> stack;  // the larger side: depth ~ log2(count)
    int lo = 0, hi = count - 1;
    for (;;) {
        if (hi - lo <= 10) {
            if (stack.empty()) break;
            lo = stack.back().first;
            hi = stack.back().second;
            stack.pop_back();
        }
        const T pivot = v[static_cast<size_t>(lo + (hi - lo) / 2)];
        int i = lo, j = hi;
        for (;;) {
            while (before(v[static_cast<size_t>(i)], pivot)) ++i;
            while (before(pivot, v[static_cast<size_t>(j)])) --j;
            if (i >= j) break;
            std::swap(v[static_cast<size_t>(i)], v[static_cast<size_t>(j)]);
            ++i;
            --j;
        }
        if (i - lo > hi - j) {
            if (i - lo > 10) stack.emplace_back(lo, i - 1);
            lo = j + 1;
        } else {
            if (hi - j > 10) stack.emplace_back(j + 1, hi);
            hi = i - 1;
        }
    }
    for (int i = 1; i < count; ++i) {
        T held = v[static_cast<size_t>(i)];
        int j = i - 1;
        while (j >= 0 && before(held, v[static_cast<size_t>(j)])) {
            v[static_cast<size_t>(j + 1)] = v[static_cast<size_t>(j)];
            --j;
        }
        v[static_cast<size_t>(j + 1)] = held;
    }
}

void Prefetch(const void* p) { __builtin_prefetch(p); }

void PrefetchRecord(const THTMLFileInfo* r) {
    const char* bytes = reinterpret_cast<const char*>(r);
    for (size_t at = 0; at < sizeof(THTMLFileInfo); at += 64) Prefetch(bytes + at);
}

struct TKeyed {
    int64_t key;
    THTMLFileInfo* item;
};

// Blocks of records; a freed record goes on a list that the next one is
// taken from. Blocks stay for the program's lifetime, as does the pool
// itself (records in global lists are freed at exit, after any static pool
// would have gone). Address sanitizer builds take every record from the
// allocator, so that a record used after it was freed is still caught.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kPoolRecords = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kPoolRecords = false;
#else
constexpr bool kPoolRecords = true;
#endif
#else
constexpr bool kPoolRecords = true;
#endif

class TRecordPool {
public:
    void* Take() {
        std::lock_guard<std::mutex> hold(lock_);
        if (free_) {
            TSlot* slot = free_;
            free_ = slot->next;
            return slot;
        }
        if (left_ == 0) {
            if (void* block = platform::LongLivedBlock()) {
                next_ = static_cast<char*>(block);
                left_ = platform::kLongLivedBlock / kSlot;
            } else {
                next_ = static_cast<char*>(::operator new(kSlot * kPerBlock));
                left_ = kPerBlock;
            }
        }
        void* p = next_;
        next_ += kSlot;
        --left_;
        return p;
    }
    void Give(void* p) noexcept {
        std::lock_guard<std::mutex> hold(lock_);
        TSlot* slot = static_cast<TSlot*>(p);
        slot->next = free_;
        free_ = slot;
    }

    static constexpr size_t kSlot =
        (sizeof(THTMLFileInfo) + alignof(THTMLFileInfo) - 1) / alignof(THTMLFileInfo) * alignof(THTMLFileInfo);

private:
    struct TSlot {
        TSlot* next;
    };
    static constexpr size_t kPerBlock = 256;

    std::mutex lock_;
    TSlot* free_ = nullptr;
    char* next_ = nullptr;
    size_t left_ = 0;
};

TRecordPool& RecordPool() {
    static TRecordPool* pool = new TRecordPool;
    return *pool;
}

}  // namespace

void* THTMLFileInfo::operator new(std::size_t size) {
    if (!kPoolRecords || size != sizeof(THTMLFileInfo)) return ::operator new(size);
    return RecordPool().Take();
}

void THTMLFileInfo::operator delete(void* p, std::size_t size) noexcept {
    if (!p) return;
    if (!kPoolRecords || size != sizeof(THTMLFileInfo)) {
        ::operator delete(p);
        return;
    }
    RecordPool().Give(p);
}

THTMLItemList::~THTMLItemList() { Clear(); }

int THTMLItemList::Add(THTMLFileInfo* item) {
    items_.push_back(item);
    return Count() - 1;
}

void THTMLItemList::Delete(int index) {
    THTMLFileInfo*& slot = items_.at(static_cast<size_t>(index));
    THTMLFileInfo* doomed = slot;
    slot = nullptr;
    items_.erase(items_.begin() + index);
    delete doomed;
}

void THTMLItemList::Clear() {
    for (int i = Count() - 1; i >= 0; --i) Delete(i);
    items_.clear();
}

void THTMLItemList::Sort(int key, bool ascending, int& selected) {
    THTMLFileInfo* const chosen = selected >= 0 && selected < Count() ? items_[static_cast<size_t>(selected)] : nullptr;
    if (key == SortByName) {
        for (THTMLFileInfo* p : items_) p->Marked = false;
        SortEntries(items_, [ascending](const THTMLFileInfo* a, const THTMLFileInfo* b) {
            return Before(a, b, SortByName, ascending);
        });
    } else if (key == SortBySize || key == SortByImageCount) {
        // The numbers are sorted beside their records, so that comparing
        // never reads a record: on a big site they lie all over memory.
        std::vector<TKeyed> keyed;
        keyed.reserve(items_.size());
        for (size_t k = 0; k < items_.size(); ++k) {
            if (k + 8 < items_.size()) PrefetchRecord(items_[k + 8]);
            THTMLFileInfo* p = items_[k];
            p->Marked = false;
            keyed.push_back({key == SortBySize ? p->TotalSize : p->Items.Count(), p});
        }
        SortEntries(
            keyed, [ascending](const TKeyed& a, const TKeyed& b) { return ascending ? a.key < b.key : a.key > b.key; });
        for (size_t k = 0; k < keyed.size(); ++k) items_[k] = keyed[k].item;
    } else {
        for (THTMLFileInfo* p : items_) p->Marked = false;
    }
    if (!chosen) return;
    chosen->Marked = true;
    for (int k = 0; k < Count(); ++k) {
        if (items_[static_cast<size_t>(k)] == chosen) {
            selected = k;
            break;
        }
    }
}

void THTMLItemList::InsertSort(int key, bool ascending) {
    for (int i = 1; i < Count(); ++i) {
        THTMLFileInfo* held = items_[static_cast<size_t>(i)];
        int j = i - 1;
        while (j >= 0 && Before(held, items_[static_cast<size_t>(j)], key, ascending)) {
            items_[static_cast<size_t>(j + 1)] = items_[static_cast<size_t>(j)];
            --j;
        }
        items_[static_cast<size_t>(j + 1)] = held;
    }
}

THTMLFileInfo::~THTMLFileInfo() { Clear(); }

void THTMLFileInfo::Clear() {
    Items.Clear();
    NotFoundList.clear();
    URLList.clear();
    FileName.clear();
    LinkName.clear();
    Message.clear();
    Title.clear();
}

// In stages, each reading what the one before fetched: the record, then
// what it points to, then the parts, then their names.
void PrefetchAhead(const THTMLItemList& list, int i, bool parts) {
    const int n = list.Count();
    if (i < 0 || i >= n) return;
    const auto at = list.begin() + i;
    if (i + 8 < n && at[8]) PrefetchRecord(at[8]);
    if (i + 4 < n && at[4]) {
        const THTMLFileInfo* r = at[4];
        Prefetch(r->FileName.data());
        if (parts && r->Items.Count() > 0) Prefetch(&*r->Items.begin());
        if (!r->URLList.empty()) Prefetch(r->URLList.data());
        if (!r->NotFoundList.empty()) Prefetch(r->NotFoundList.data());
    }
    if (!parts) return;
    if (i + 2 < n && at[2])
        for (const THTMLFileInfo* part : at[2]->Items) PrefetchRecord(part);
    if (i + 1 < n && at[1])
        for (const THTMLFileInfo* part : at[1]->Items)
            if (part) Prefetch(part->FileName.data());
}

const char* PartKindName(uint8_t kind) {
    static const char* const names[] = {"page", "image", "stylesheet", "script", "font", "media", "frame", "other"};
    return kind < sizeof names / sizeof names[0] ? names[kind] : "other";
}
