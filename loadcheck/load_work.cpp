#include "load_work.h"

#include <cstring>
#include <cwchar>

namespace {

LoadSectionHead* HeadIn(BYTE* view) { return reinterpret_cast<LoadSectionHead*>(view); }
BYTE* JournalIn(BYTE* view) { return view + sizeof(LoadSectionHead); }
LoadWorkItem* ItemsIn(BYTE* view, SIZE_T journalBytes) {
    return reinterpret_cast<LoadWorkItem*>(JournalIn(view) + journalBytes);
}

// The lines of each item and one more for the last, in bytes, aligned for the items after it.
SIZE_T JournalBytesFor(std::size_t capacity) {
    const SIZE_T bytes = (capacity * kLoadLinesPerCodec + 1) * kLoadLineChars * sizeof(wchar_t);
    return (bytes + 15) & ~static_cast<SIZE_T>(15);
}

}  // namespace

LoadWorkList::~LoadWorkList() {
    if (view_) UnmapViewOfFile(view_);
}

bool LoadWorkList::Make(std::size_t capacity) {
    if (view_) UnmapViewOfFile(view_);
    view_ = nullptr;
    capacity_ = 0;
    journalGiven_ = false;
    journalBytes_ = JournalBytesFor(capacity);
    const unsigned long long bytes = sizeof(LoadSectionHead) + journalBytes_ +
                                     static_cast<unsigned long long>(capacity) * sizeof(LoadWorkItem);
    *section_.Put() = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, static_cast<DWORD>(bytes >> 32),
                                         static_cast<DWORD>(bytes), nullptr);
    if (!section_) return false;
    view_ = static_cast<BYTE*>(MapViewOfFile(section_.Get(), FILE_MAP_WRITE, 0, 0, 0));
    if (!view_) return false;
    capacity_ = capacity;
    HeadIn(view_)->journalBytes = static_cast<DWORD>(journalBytes_);
    return true;
}

void LoadWorkList::Set(std::size_t index, const LoadWorkItem& item) {
    if (index < capacity_) ItemsIn(view_, journalBytes_)[index] = item;
}

void LoadWorkList::ClearJournal() {
    // Emptied whole, so that nothing an earlier child wrote is read as the
    // next one's; a section's pages are zeros when it is made.
    if (journalGiven_) memset(JournalIn(view_), 0, journalBytes_);
    journalGiven_ = true;
    InterlockedExchange(&HeadIn(view_)->journalWritten, 0);
    HeadIn(view_)->journalBytes = static_cast<DWORD>(journalBytes_);
}

bool LoadWorkList::JournalWritten(const BYTE** bytes, SIZE_T* written) const {
    const LONG count = HeadIn(view_)->journalWritten;
    MemoryBarrier();
    *bytes = JournalIn(view_);
    if (count >= 0 && static_cast<SIZE_T>(count) <= journalBytes_) {
        *written = static_cast<SIZE_T>(count);
        return true;
    }
    // The count is not the child's: what it wrote reaches up to the first empty character.
    const auto* chars = reinterpret_cast<const wchar_t*>(*bytes);
    SIZE_T length = 0;
    while (length < journalBytes_ / sizeof(wchar_t) && chars[length] != L'\0') ++length;
    *written = length * sizeof(wchar_t);
    return false;
}

LoadWorkView::~LoadWorkView() {
    if (view_) UnmapViewOfFile(view_);
}

bool LoadWorkView::Open(HANDLE section, std::size_t count) {
    if (!section || count == 0) return false;
    view_ = static_cast<BYTE*>(MapViewOfFile(section, FILE_MAP_WRITE, 0, 0, 0));
    if (!view_) return false;
    MEMORY_BASIC_INFORMATION region = {};
    if (VirtualQuery(view_, &region, sizeof(region)) != sizeof(region) || region.RegionSize < sizeof(LoadSectionHead)) {
        return false;
    }
    journalBytes_ = HeadIn(view_)->journalBytes;
    const SIZE_T before = sizeof(LoadSectionHead) + journalBytes_;
    return journalBytes_ >= JournalBytesFor(count) && before <= region.RegionSize &&
           (region.RegionSize - before) / sizeof(LoadWorkItem) >= count;
}

LoadWorkItem LoadWorkView::Item(std::size_t index) const {
    LoadWorkItem item = ItemsIn(view_, journalBytes_)[index];
    item.classId[39] = L'\0';
    item.path[kNameCapacity - 1] = L'\0';
    item.alias[kDriverNameCapacity - 1] = L'\0';
    item.media[kNameCapacity - 1] = L'\0';
    item.thumbnail[kNameCapacity - 1] = L'\0';
    return item;
}

void LoadWorkView::Write(const wchar_t* line) {
    LoadSectionHead* head = HeadIn(view_);
    const SIZE_T written = static_cast<SIZE_T>(head->journalWritten);
    const SIZE_T bytes = wcslen(line) * sizeof(wchar_t);
    if (written > journalBytes_ || bytes > journalBytes_ - written) return;
    memcpy(JournalIn(view_) + written, line, bytes);
    // The line is whole before the program may read it.
    InterlockedExchange(&head->journalWritten, static_cast<LONG>(written + bytes));
}
