#include "load_work.h"

LoadWorkList::~LoadWorkList() {
    if (items_) UnmapViewOfFile(items_);
}

bool LoadWorkList::Make(std::size_t count) {
    const unsigned long long bytes = static_cast<unsigned long long>(count ? count : 1) * sizeof(LoadWorkItem);
    *section_.Put() = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE,
                                         static_cast<DWORD>(bytes >> 32), static_cast<DWORD>(bytes), nullptr);
    if (!section_) return false;
    items_ = static_cast<LoadWorkItem*>(MapViewOfFile(section_.Get(), FILE_MAP_WRITE, 0, 0, 0));
    if (!items_) return false;
    count_ = count;
    return true;
}

void LoadWorkList::Set(std::size_t index, const LoadWorkItem& item) {
    if (index < count_) items_[index] = item;
}

LoadWorkView::~LoadWorkView() {
    if (items_) UnmapViewOfFile(items_);
}

bool LoadWorkView::Open(HANDLE section, std::size_t count) {
    if (!section || count == 0) return false;
    items_ = static_cast<const LoadWorkItem*>(MapViewOfFile(section, FILE_MAP_READ, 0, 0, 0));
    if (!items_) return false;
    MEMORY_BASIC_INFORMATION region = {};
    return VirtualQuery(items_, &region, sizeof(region)) == sizeof(region) &&
           region.RegionSize / sizeof(LoadWorkItem) >= count;
}

LoadWorkItem LoadWorkView::Item(std::size_t index) const {
    LoadWorkItem item = items_[index];
    item.classId[39] = L'\0';
    item.path[kNameCapacity - 1] = L'\0';
    return item;
}
