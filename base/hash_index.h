// An index of a list's items by a hash of their keys, so that finding an
// item costs the same however long the list grows (a hostile file can name
// thousands of DLLs). It holds item numbers only: the caller's list holds the
// items and says whether one is the key looked for.
#pragma once
#include "scoped.h"

#include <cstring>

class HashIndex {
public:
    // The number of the item with this hash that `same(item)` takes, or -1.
    template <typename Same>
    long Find(DWORD hash, Same same) const {
        if (slotCount_ == 0) return -1;
        const Slot* slots = Slots();
        for (SIZE_T at = hash & (slotCount_ - 1);; at = (at + 1) & (slotCount_ - 1)) {
            if (slots[at].item == 0) return -1;
            if (slots[at].hash == hash && same(static_cast<SIZE_T>(slots[at].item - 1))) {
                return static_cast<long>(slots[at].item - 1);
            }
        }
    }

    // Adds item number `item` under its hash; false when the heap cannot
    // give the room (the item is then not found by its hash).
    bool Add(DWORD hash, SIZE_T item) {
        if ((count_ + 1) * 2 > slotCount_ && !Grow()) return false;
        Place(Slots(), slotCount_, hash, static_cast<DWORD>(item + 1));
        ++count_;
        return true;
    }

private:
    struct Slot {
        DWORD hash;
        DWORD item;  // the item's number + 1; 0: an empty slot
    };
    Slot* Slots() const { return reinterpret_cast<Slot*>(block_.Get()); }

    static void Place(Slot* slots, SIZE_T slotCount, DWORD hash, DWORD item) {
        SIZE_T at = hash & (slotCount - 1);
        while (slots[at].item != 0) at = (at + 1) & (slotCount - 1);
        slots[at] = {hash, item};
    }

    bool Grow() {
        const SIZE_T grown = slotCount_ == 0 ? 64 : slotCount_ * 2;
        HeapBuffer block;
        if (!block.Reserve(grown * sizeof(Slot))) return false;
        std::memset(block.Get(), 0, grown * sizeof(Slot));
        auto* slots = reinterpret_cast<Slot*>(block.Get());
        for (SIZE_T i = 0; i < slotCount_; ++i) {
            if (Slots()[i].item != 0) Place(slots, grown, Slots()[i].hash, Slots()[i].item);
        }
        block_.Swap(block);
        slotCount_ = grown;
        return true;
    }

    HeapBuffer block_;
    SIZE_T slotCount_ = 0;  // a power of two, at least twice count_
    SIZE_T count_ = 0;
};

// The hash of a text with ASCII letters of either case alike (DLL names
// and paths are matched without regard to case).
inline DWORD HashTextIgnoringCase(const wchar_t* text) {
    DWORD hash = 2166136261u;
    for (; *text; ++text) {
        wchar_t c = *text;
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
        hash = (hash ^ static_cast<DWORD>(c)) * 16777619u;
    }
    return hash;
}
