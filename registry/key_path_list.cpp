#include "key_path_list.h"

#include "../base/app_state.h"
#include "../base/bounded_text.h"
#include "registry_location.h"

#include <cwchar>

namespace {

wchar_t* Record(const KeyPathList& list, std::size_t index) {
    return reinterpret_cast<wchar_t*>(list.records.Get()) + index * kNameCapacity;
}

// Whether inner is outer itself or a key below it, without regard to case.
bool IsWithin(const wchar_t* inner, const wchar_t* outer) {
    return KeyPathBelow(inner, std::wcslen(inner), outer, std::wcslen(outer)) != nullptr;
}

}  // namespace

void AddKeyPath(KeyPathList& list, const wchar_t* path) {
    if (std::wcslen(path) >= kNameCapacity) {
        list.failed = true;
        return;
    }
    for (std::size_t i = 0; i < list.count; ++i) {
        if (IsWithin(path, Record(list, i))) return;
    }
    // The paths inside the new one go; the others keep their order.
    std::size_t kept = 0;
    for (std::size_t i = 0; i < list.count; ++i) {
        if (IsWithin(Record(list, i), path)) continue;
        if (kept != i) CopyText(Record(list, kept), kNameCapacity, Record(list, i));
        ++kept;
    }
    list.count = kept;
    // Room for twice as many as needed, so that adding many paths copies few.
    const SIZE_T needed = (list.count + 1) * kNameCapacity * sizeof(wchar_t);
    if (needed > list.records.Size() && !list.records.Reserve(needed * 2)) {
        list.failed = true;
        return;
    }
    CopyText(Record(list, list.count++), kNameCapacity, path);
}

const wchar_t* KeyPathAt(const KeyPathList& list, std::size_t index) { return Record(list, index); }
