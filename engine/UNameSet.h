#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

// A set of names, as views of strings that outlive it (the FileName of
// page records, the entries of SearchList, addresses), each with a number. Open
// addressing over slots holding the hash beside the view: a look-up in a set
// of 100,000 names touches one slot and, when the hashes match, the name,
// where a node-based set chases three pointers.
class TNameSet {
public:
    static constexpr size_t npos = static_cast<size_t>(-1);
    size_t size() const { return count_; }
    bool Contains(std::string_view name) const { return Find(name) != npos; }
    // The number the name was added with, or npos.
    size_t Find(std::string_view name) const {
        if (slots_.empty()) return npos;
        const uint64_t h = Hash(name);
        for (size_t i = h & mask_;; i = (i + 1) & mask_) {
            const TSlot& slot = slots_[i];
            if (!slot.data) return npos;
            if (slot.hash == h && slot.len == name.size() && std::memcmp(slot.data, name.data(), name.size()) == 0)
                return slot.value;
        }
    }
    // A name already held is not added again (it keeps its first number);
    // false then.
    bool Insert(std::string_view name, size_t value = 0) {
        if ((count_ + 1) * 2 > slots_.size()) Grow();
        const uint64_t h = Hash(name);
        for (size_t i = h & mask_;; i = (i + 1) & mask_) {
            TSlot& slot = slots_[i];
            if (!slot.data) {
                slot = {h, name.data(), name.size(), value};
                ++count_;
                return true;
            }
            if (slot.hash == h && slot.len == name.size() && std::memcmp(slot.data, name.data(), name.size()) == 0)
                return false;
        }
    }
    // Room for n names without growing on the way.
    void Reserve(size_t n) {
        while (n * 2 > slots_.size()) Grow();
    }
    void clear() {
        std::fill(slots_.begin(), slots_.end(), TSlot{});
        count_ = 0;
    }
    void Release() {
        std::vector<TSlot>().swap(slots_);
        count_ = 0;
        mask_ = 0;
    }

private:
    struct TSlot {
        uint64_t hash = 0;
        const char* data = nullptr;  // null: empty (a name's data is never null)
        size_t len = 0;
        size_t value = 0;
    };
    static uint64_t Hash(std::string_view s) { return std::hash<std::string_view>()(s); }
    void Grow() {
        std::vector<TSlot> old;
        old.swap(slots_);
        slots_.assign(old.empty() ? 1024 : old.size() * 2, TSlot{});
        mask_ = slots_.size() - 1;
        for (const TSlot& slot : old) {
            if (!slot.data) continue;
            size_t i = slot.hash & mask_;
            while (slots_[i].data) i = (i + 1) & mask_;
            slots_[i] = slot;
        }
    }

    std::vector<TSlot> slots_;
    size_t count_ = 0;
    size_t mask_ = 0;
};

// Names the map keeps itself, each with a value. Names are copied into
// blocks and values kept in a deque, so that neither ever moves: a caller
// may hold on to what a look-up returned. Nothing is erased.
template <class T>
class TNameMap {
public:
    size_t size() const { return values_.size(); }
    T* Find(std::string_view name) {
        const size_t k = index_.Find(name);
        return k == TNameSet::npos ? nullptr : &values_[k];
    }
    // The name must not be held yet.
    T& Insert(std::string_view name, T value) {
        index_.Insert(Keep(name), values_.size());
        values_.push_back(std::move(value));
        return values_.back();
    }
    void clear() { Release(); }
    void Release() {
        index_.Release();
        std::deque<T>().swap(values_);
        std::vector<std::unique_ptr<char[]>>().swap(blocks_);
        used_ = cap_ = 0;
    }

private:
    static constexpr size_t kBlock = 64 * 1024;
    std::string_view Keep(std::string_view name) {
        if (cap_ - used_ < name.size() + 1) {
            cap_ = std::max(kBlock, name.size() + 1);
            blocks_.push_back(std::make_unique<char[]>(cap_));
            used_ = 0;
        }
        char* at = blocks_.back().get() + used_;
        std::memcpy(at, name.data(), name.size());
        used_ += name.size() + 1;  // never empty, so the view's data is never null
        return {at, name.size()};
    }
    TNameSet index_;
    std::deque<T> values_;
    std::vector<std::unique_ptr<char[]>> blocks_;
    size_t used_ = 0, cap_ = 0;
};
