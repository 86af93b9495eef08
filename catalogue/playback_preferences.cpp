#include "playback_preferences.h"

#include "../base/app_state.h"
#include "../base/bounded_text.h"
#include "../base/scoped.h"
#include "registry_link.h"
#include "registry_text.h"
#include "string_value.h"

#include <cwchar>

namespace {

constexpr std::size_t kTextCapacity = 256;

LONG OpenForReading(RegKey& key, HKEY root, const wchar_t* path, REGSAM view) {
    HKEY opened = nullptr;
    const LONG status = RegOpenKeyExW(root, path, 0, KEY_READ | view, &opened);
    if (status == ERROR_SUCCESS) key.Attach(opened);
    return status;
}

// The longest value name the registry holds, with its terminator.
constexpr DWORD kValueNameRoom = 16384;

// Calls visit(name) for each value of key, by index from 0, its name cut to
// 255 characters; stops at the first index that cannot be read.
template <typename Visitor>
void ForEachValueName(HKEY key, Visitor&& visit) {
    HeapBuffer room;
    if (!room.Reserve(kValueNameRoom * sizeof(wchar_t))) return;
    auto* whole = reinterpret_cast<wchar_t*>(room.Get());
    for (DWORD index = 0;; ++index) {
        DWORD count = kValueNameRoom;
        const LONG status = RegEnumValueW(key, index, whole, &count, nullptr, nullptr, nullptr, nullptr);
        if (status != ERROR_SUCCESS) return;
        whole[kValueNameRoom - 1] = L'\0';
        wchar_t name[kTextCapacity];
        CopyText(name, kTextCapacity, whole);
        visit(static_cast<const wchar_t*>(name));
    }
}


}  // namespace

KeyOpening OpenPreferencesKey(RegKey& key, const wchar_t* path, REGSAM view, REGSAM access, LONG* status) {
    // Walked one name at a time, a key of the 32-bit programs is named as the
    // 64-bit view names it, below Wow6432Node of SOFTWARE or of
    // SOFTWARE\Classes: the redirection would go through
    // SOFTWARE\Wow6432Node\Classes, which is a link of the system's own.
    wchar_t inView[kNameCapacity];
    BOOL wow64 = FALSE;
    const bool sixtyFourBitWindows = sizeof(void*) == 8 || (IsWow64Process(GetCurrentProcess(), &wow64) && wow64);
    const bool thirtyTwoBitView =
        sixtyFourBitWindows && (view == KEY_WOW64_32KEY || (view == 0 && sizeof(void*) == 4));
    std::size_t split = 0;
    for (const wchar_t* prefix : {L"SOFTWARE\\Classes\\", L"SOFTWARE\\"}) {
        const std::size_t length = std::wcslen(prefix);
        if (split == 0 && std::wcslen(path) > length &&
            CompareStringOrdinal(path, static_cast<int>(length), prefix, -1, TRUE) == CSTR_EQUAL) {
            split = length;
        }
    }
    const TextStatus named = thirtyTwoBitView && split != 0
                                 ? FormatText(inView, kNameCapacity, L"%.*lsWow6432Node\\%ls", static_cast<int>(split), path,
                                              path + split)
                                 : CopyText(inView, kNameCapacity, path);
    if (named != kTextOk) {
        if (status) *status = ERROR_FILENAME_EXCED_RANGE;
        return KeyNotOpened;
    }
    return OpenKeyPathUnlessLink(key, HKEY_LOCAL_MACHINE, inView, access | KEY_WOW64_64KEY, status);
}

namespace {

// Preferred keys: value name = subtype, value = class id (DirectShow's and Media Foundation's alike).
KeyOpening ForEachPreferredEntry(REGSAM view, const wchar_t* path,
                                 const std::function<void(const wchar_t*, const wchar_t*)>& visit) {
    RegKey preferred;
    const KeyOpening opening = OpenPreferencesKey(preferred, path, view, KEY_READ);
    if (opening != KeyOpened) return opening;
    ForEachValueName(preferred.Get(), [&](const wchar_t* subtype) {
        // A value of another type reads as empty, a long one is cut: each is shown.
        wchar_t classId[kTextCapacity];
        ReadStringValue(preferred.Get(), subtype, classId, kTextCapacity);
        visit(subtype, classId);
    });
    return KeyOpened;
}

// DoNotUse keys: class ids as value names or subkey names.
KeyOpening ForEachBlockedEntry(REGSAM view, const wchar_t* path, const std::function<void(const wchar_t*)>& visit) {
    RegKey blocked;
    const KeyOpening opening = OpenPreferencesKey(blocked, path, view, KEY_READ);
    if (opening != KeyOpened) return opening;
    ForEachValueName(blocked.Get(), [&](const wchar_t* name) {
        if (name[0] != L'\0') visit(name);
    });
    ForEachSubkeyName(blocked.Get(), [&](const wchar_t* name) {
        visit(name);
        return false;
    });
    return KeyOpened;
}

}  // namespace

KeyOpening ForEachPreferredFilter(REGSAM view, const std::function<void(const wchar_t*, const wchar_t*)>& visit) {
    return ForEachPreferredEntry(view, kPreferredFiltersPath, visit);
}

KeyOpening ForEachBlockedFilter(REGSAM view, const std::function<void(const wchar_t*)>& visit) {
    return ForEachBlockedEntry(view, kBlockedFiltersPath, visit);
}

KeyOpening ForEachPreferredTransform(REGSAM view, const std::function<void(const wchar_t*, const wchar_t*)>& visit) {
    return ForEachPreferredEntry(view, kPreferredTransformsPath, visit);
}

KeyOpening ForEachBlockedTransform(REGSAM view, const std::function<void(const wchar_t*)>& visit) {
    return ForEachBlockedEntry(view, kBlockedTransformsPath, visit);
}

void ForEachExtensionSource(REGSAM view, const std::function<void(const wchar_t*, const wchar_t*)>& visit) {
    RegKey extensions;
    if (OpenForReading(extensions, HKEY_CLASSES_ROOT, kExtensionSourcesPath, view) != ERROR_SUCCESS) return;
    ForEachSubkeyName(extensions.Get(), [&](const wchar_t* extension) {
        RegKey entry;
        if (OpenKeyUnlessLink(entry, extensions.Get(), extension, KEY_READ | view) != KeyOpened) return false;
        // Only an extension with the value; of another type it reads as empty.
        DWORD type = REG_NONE;
        if (RegQueryValueExW(entry.Get(), L"Source Filter", nullptr, &type, nullptr, nullptr) != ERROR_SUCCESS) {
            return false;
        }
        wchar_t classId[kTextCapacity];
        ReadStringValue(entry.Get(), L"Source Filter", classId, kTextCapacity);
        visit(extension, classId);
        return false;
    });
}

bool FindPreferredFilter(REGSAM view, const GUID& subtype, wchar_t (&classId)[256]) {
    wchar_t wanted[40] = {};
    StringFromGUID2(subtype, wanted, 40);
    bool found = false;
    ForEachPreferredFilter(view, [&](const wchar_t* name, const wchar_t* filter) {
        // Windows passes over a value whose data is not a class id.
        if (found || lstrcmpiW(name, wanted) != 0 || !IsGuidText(filter)) return;
        CopyText(classId, 256, filter);
        found = true;
    });
    return found;
}

bool IsBlockedFilter(REGSAM view, const wchar_t* classId) {
    bool blocked = false;
    ForEachBlockedFilter(view, [&](const wchar_t* name) { blocked = blocked || lstrcmpiW(name, classId) == 0; });
    return blocked;
}
