#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "engine/UHTMLList.h"

namespace {

// Counts destructions so that ownership can be checked without a leak tool.
struct CountedInfo : THTMLFileInfo {
    explicit CountedInfo(int* deaths, std::vector<std::string>* order = nullptr) : deaths_(deaths), order_(order) {}
    ~CountedInfo() override {
        ++*deaths_;
        if (order_) order_->push_back(FileName);
    }
    int* deaths_;
    std::vector<std::string>* order_;
};

THTMLFileInfo* Page(const std::string& name, int64_t size) {
    auto* p = new THTMLFileInfo;
    p->FileName = name;
    p->TotalSize = size;
    return p;
}

// Builds a list of records named by labels with the given sizes.
void Fill(THTMLItemList& list, const std::string& labels, const std::vector<int64_t>& sizes) {
    for (size_t k = 0; k < labels.size(); ++k) list.Add(Page(std::string(1, labels[k]), sizes[k]));
}

std::string Labels(const THTMLItemList& list) {
    std::string s;
    for (const THTMLFileInfo* p : list) s += p->FileName;
    return s;
}

// Reference model of the sort over (key, label) pairs, written recursively.
// A range that was set aside because it was the larger side is partitioned
// even at 11 entries; a range reached by narrowing stops at 11 or fewer.
struct Model {
    std::vector<std::pair<int64_t, int>> v;
    bool asc;
    int forcedSmall = 0;  // partitions of 11-entry ranges (coverage)

    bool Lt(int64_t a, int64_t b) const { return asc ? a < b : a > b; }

    void Range(int lo, int hi, bool setAside) {
        if (!setAside && hi - lo <= 10) return;
        if (hi - lo == 10) ++forcedSmall;
        int64_t p = v[static_cast<size_t>(lo + (hi - lo) / 2)].first;
        int i = lo, j = hi;
        for (;;) {
            while (Lt(v[static_cast<size_t>(i)].first, p)) ++i;
            while (Lt(p, v[static_cast<size_t>(j)].first)) --j;
            if (i >= j) break;
            std::swap(v[static_cast<size_t>(i)], v[static_cast<size_t>(j)]);
            ++i;
            --j;
        }
        // Ranges are disjoint, so the order in which they are done is free.
        if (i - lo > hi - j) {
            if (i - lo > 10) Range(lo, i - 1, true);
            Range(j + 1, hi, false);
        } else {
            if (hi - j > 10) Range(j + 1, hi, true);
            Range(lo, i - 1, false);
        }
    }

    void Run() {
        Range(0, static_cast<int>(v.size()) - 1, false);
        std::stable_sort(v.begin(), v.end(), [this](const auto& a, const auto& b) { return Lt(a.first, b.first); });
    }
};

TEST(HTMLItemListSort, HandWorkedPartitionOfTwelveEntries) {
    // One partition around the 5 at index 5 scatters the equal keys; the
    // insertion pass then keeps that scattered order.
    const std::vector<int64_t> sizes = {5, 1, 5, 2, 9, 5, 0, 5, 3, 5, 8, 5};
    {
        THTMLItemList list;
        Fill(list, "ABCDEFGHIJKL", sizes);
        int sel = -1;
        list.Sort(SortBySize, true, sel);
        EXPECT_EQ(Labels(list), "GBDILJHFCAKE");
        EXPECT_EQ(sel, -1);
    }
    {
        THTMLItemList list;
        Fill(list, "ABCDEFGHIJKL", sizes);
        int sel = 0;  // A
        list.Sort(SortBySize, false, sel);
        EXPECT_EQ(Labels(list), "EKLJHFCAIDBG");
        EXPECT_EQ(sel, 7);
    }
}

TEST(HTMLItemListSort, ElevenOrFewerEntriesAreStable) {
    THTMLItemList list;
    Fill(list, "ABCDEFGHIJK", {3, 1, 3, 2, 3, 1, 3, 2, 3, 1, 3});
    int sel = 4;  // E
    list.Sort(SortBySize, true, sel);
    EXPECT_EQ(Labels(list), "BFJDHACEGIK");
    EXPECT_EQ(sel, 7);
}

TEST(HTMLItemListSort, MatchesReferenceModelOnLongLists) {
    std::mt19937 rng(12345);
    int forced = 0;
    for (int round = 0; round < 400; ++round) {
        const int n = 12 + static_cast<int>(rng() % 180);
        const int distinct = 1 + static_cast<int>(rng() % 12);  // many equal keys
        const bool asc = (round % 2) == 0;
        Model m;
        m.asc = asc;
        THTMLItemList list;
        for (int k = 0; k < n; ++k) {
            int64_t key = static_cast<int64_t>(rng() % static_cast<unsigned>(distinct)) * 1000000000000LL;
            m.v.emplace_back(key, k);
            list.Add(Page(std::to_string(k), key));
        }
        int sel = static_cast<int>(rng() % static_cast<unsigned>(n));
        const THTMLFileInfo* chosen = list[sel];
        list.Sort(SortBySize, asc, sel);
        m.Run();
        forced += m.forcedSmall;

        ASSERT_EQ(list.Count(), n);
        std::vector<bool> seen(static_cast<size_t>(n));
        for (int k = 0; k < n; ++k) {
            ASSERT_EQ(list[k]->FileName, std::to_string(m.v[static_cast<size_t>(k)].second))
                << "round " << round << " index " << k;
            seen[static_cast<size_t>(std::stoi(list[k]->FileName))] = true;
            if (k > 0) {
                if (asc) ASSERT_LE(list[k - 1]->TotalSize, list[k]->TotalSize);
                else ASSERT_GE(list[k - 1]->TotalSize, list[k]->TotalSize);
            }
        }
        EXPECT_EQ(std::count(seen.begin(), seen.end(), true), n);
        EXPECT_EQ(list[sel], chosen);
    }
    // The model's one subtle path (a set-aside range of 11 partitioned) was taken.
    EXPECT_GT(forced, 0);
}

TEST(HTMLItemListSort, NameKeyIsOrdinalUnsignedBytes) {
    THTMLItemList list;
    // 0x82 0xA0 is a two-byte character; it sorts after every ASCII byte.
    for (const char* n : {"/s/\x82\xA0.htm", "/s/b.htm", "/s/B.htm", "/s/~.htm", "/s/b.html", "/s/b"})
        list.Add(Page(n, 0));
    int sel = 1;
    list.Sort(SortByName, true, sel);
    std::vector<std::string> got;
    for (const THTMLFileInfo* p : list) got.push_back(p->FileName);
    EXPECT_EQ(got,
              (std::vector<std::string>{"/s/B.htm", "/s/b", "/s/b.htm", "/s/b.html", "/s/~.htm", "/s/\x82\xA0.htm"}));
    EXPECT_EQ(sel, 2);
    list.Sort(SortByName, false, sel);
    EXPECT_EQ(list[0]->FileName, "/s/\x82\xA0.htm");
    EXPECT_EQ(list[5]->FileName, "/s/B.htm");
    EXPECT_EQ(sel, 3);
}

TEST(HTMLItemListSort, ImageCountKeyUsesPartCount) {
    THTMLItemList list;
    for (int parts : {2, 0, 3, 1}) {
        THTMLFileInfo* p = Page(std::to_string(parts), 1000 - parts);
        for (int k = 0; k < parts; ++k) p->Items.Add(new THTMLFileInfo);
        list.Add(p);
    }
    int sel = -1;
    list.Sort(SortByImageCount, false, sel);
    EXPECT_EQ(Labels(list), "3210");
}

TEST(HTMLItemListSort, SizesCompareAllSixtyFourBits) {
    THTMLItemList list;
    list.Add(Page("big", (int64_t{1} << 32) + 5));  // would be 5 if cut to 32 bits
    list.Add(Page("mid", 100));
    list.Add(Page("neg", -1));
    int sel = -1;
    list.Sort(SortBySize, true, sel);
    EXPECT_EQ(list[0]->FileName, "neg");
    EXPECT_EQ(list[1]->FileName, "mid");
    EXPECT_EQ(list[2]->FileName, "big");
}

TEST(HTMLItemListSort, NoSortKeyAndUnknownKeysKeepOrder) {
    for (int key : {3, 4, -1}) {
        THTMLItemList list;
        std::string labels;
        for (int k = 0; k < 40; ++k) {
            labels += static_cast<char>('0' + k);
            list.Add(Page(std::string(1, static_cast<char>('0' + k)), (k * 7) % 13));
        }
        int sel = 17;
        list.Sort(key, true, sel);
        EXPECT_EQ(Labels(list), labels) << "key " << key;
        EXPECT_EQ(sel, 17);
    }
}

TEST(HTMLItemListSort, EmptyAndSingleListsAndSelection) {
    THTMLItemList empty;
    int sel = -1;
    empty.Sort(SortBySize, false, sel);
    EXPECT_EQ(sel, -1);
    EXPECT_EQ(empty.Count(), 0);
    empty.InsertSort(SortByName, true);

    THTMLItemList one;
    one.Add(Page("x", 1));
    sel = 0;
    one.Sort(SortByName, true, sel);
    EXPECT_EQ(sel, 0);
    sel = -1;
    one.Sort(SortBySize, true, sel);
    EXPECT_EQ(sel, -1);

    // A selection beyond the list is left alone instead of marking nothing
    // valid (or reading past the end).
    THTMLItemList two;
    Fill(two, "AB", {1, 2});
    sel = 5;
    two.Sort(SortBySize, false, sel);
    EXPECT_EQ(Labels(two), "BA");
    EXPECT_EQ(sel, 5);
    // A stale mark from an earlier sort does not leak into the next.
    sel = 0;  // B
    two.Sort(SortBySize, true, sel);
    EXPECT_EQ(sel, 1);
    sel = -1;
    two.Sort(SortBySize, false, sel);
    EXPECT_EQ(sel, -1);
}

TEST(HTMLItemListSort, InsertSortAloneIsStable) {
    THTMLItemList list;
    Fill(list, "ABCDEFGHIJKLMNOP", {2, 1, 2, 1, 2, 1, 2, 1, 3, 3, 0, 0, 2, 1, 2, 1});
    list.InsertSort(SortBySize, true);
    EXPECT_EQ(Labels(list), "KLBDFHNPACEGMOIJ");
    list.InsertSort(SortBySize, false);
    EXPECT_EQ(Labels(list), "IJACEGMOBDFHNPKL");
}

TEST(HTMLItemListOwnership, DeleteClearAndDestroyFreeEachEntryOnce) {
    int deaths = 0;
    std::vector<std::string> order;
    {
        THTMLItemList list;
        int expectedIndex = 0;
        for (const char* n : {"a", "b", "c", "d"}) {
            auto* p = new CountedInfo(&deaths, &order);
            p->FileName = n;
            EXPECT_EQ(list.Add(p), expectedIndex++);
        }
        list.Delete(1);
        EXPECT_EQ(deaths, 1);
        EXPECT_EQ(list.Count(), 3);
        EXPECT_EQ(list[1]->FileName, "c");
        list.Clear();
        EXPECT_EQ(deaths, 4);
        EXPECT_EQ(order, (std::vector<std::string>{"b", "d", "c", "a"}));  // last to first
        EXPECT_EQ(list.Count(), 0);

        list.Add(new CountedInfo(&deaths));
        list.Add(nullptr);  // a null slot is skipped, not freed
        list.Delete(1);
        EXPECT_EQ(deaths, 4);
    }
    EXPECT_EQ(deaths, 5);  // the destructor cleared the rest
}

TEST(HTMLItemListOwnership, DeleteOutOfRangeThrowsAndFreesNothing) {
    int deaths = 0;
    {
        THTMLItemList list;
        list.Add(new CountedInfo(&deaths));
        EXPECT_THROW(list.Delete(3), std::out_of_range);
        EXPECT_EQ(deaths, 0);
    }
    EXPECT_EQ(deaths, 1);
}

TEST(HTMLFileInfo, StartsEmptyAndClearKeepsNumbersAndFlags) {
    int deaths = 0;
    THTMLFileInfo info;
    EXPECT_EQ(info.Items.Count(), 0);
    EXPECT_EQ(info.HTMLSize, 0);
    EXPECT_EQ(info.TotalSize, 0);
    EXPECT_EQ(info.FileDate, 0u);
    EXPECT_FALSE(info.IsHTML);
    EXPECT_FALSE(info.Marked);
    EXPECT_EQ(info.KanjiCode, 0);

    info.Items.Add(new CountedInfo(&deaths));
    info.Items.Add(new CountedInfo(&deaths));
    info.NotFoundList = {"/a/missing.gif"};
    info.URLList = {"http://x/"};
    info.FileName = "/a/index.html";
    info.LinkName = "missing.gif";
    info.Title = "t";
    info.HTMLSize = 3000000000LL;  // beyond 32 bits
    info.TotalSize = 5000000000LL;
    info.FileDate = 0x5A8C6000u;
    info.IsHTML = true;
    info.Marked = true;
    info.KanjiCode = 2;

    info.Clear();
    EXPECT_EQ(deaths, 2);
    EXPECT_EQ(info.Items.Count(), 0);
    EXPECT_TRUE(info.NotFoundList.empty());
    EXPECT_TRUE(info.URLList.empty());
    EXPECT_TRUE(info.FileName.empty());
    EXPECT_TRUE(info.LinkName.empty());
    EXPECT_TRUE(info.Title.empty());
    EXPECT_EQ(info.HTMLSize, 3000000000LL);
    EXPECT_EQ(info.TotalSize, 5000000000LL);
    EXPECT_EQ(info.FileDate, 0x5A8C6000u);
    EXPECT_TRUE(info.IsHTML);
    EXPECT_TRUE(info.Marked);
    EXPECT_EQ(info.KanjiCode, 2);

    // Reuse after Clear, then the record frees its parts when it goes.
    info.Items.Add(new CountedInfo(&deaths));
    info.Clear();
    EXPECT_EQ(deaths, 3);
}

TEST(HTMLFileInfo, PageRecordFreesNestedParts) {
    int deaths = 0;
    {
        THTMLItemList list;
        auto* page = new CountedInfo(&deaths);
        page->Items.Add(new CountedInfo(&deaths));
        page->Items.Add(new CountedInfo(&deaths));
        list.Add(page);
    }
    EXPECT_EQ(deaths, 3);
}

}  // namespace
