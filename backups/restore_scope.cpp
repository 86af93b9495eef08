#include "restore_scope.h"

#include "../base/bounded_text.h"

#include <cwchar>

namespace {

constexpr std::size_t kLongestKeyName = 255;

// The keys a restore may write, as the names of their full path; with
// below, any key under the last one (not the last one itself), otherwise
// exactly that key. base is how many names the system key takes after the
// root's, opened as the system names it.
struct AllowedRoot {
    HKEY root;
    const wchar_t* names[6];
    std::size_t count;
    std::size_t baseCount;
    bool below;
};

const AllowedRoot kAllowedRoots[] = {
    {HKEY_LOCAL_MACHINE, {L"HKEY_LOCAL_MACHINE", L"Software", L"Classes"}, 3, 2, true},
    {HKEY_CURRENT_USER, {L"HKEY_CURRENT_USER", L"Software", L"Classes"}, 3, 2, true},
    {HKEY_LOCAL_MACHINE, {L"HKEY_LOCAL_MACHINE", L"SOFTWARE", L"Microsoft", L"DirectShow", L"Preferred"}, 5, 1, false},
    {HKEY_LOCAL_MACHINE,
     {L"HKEY_LOCAL_MACHINE", L"SOFTWARE", L"Wow6432Node", L"Microsoft", L"DirectShow", L"Preferred"},
     6,
     1,
     false},
};

// One name of a path: where it starts and how long it is.
struct PathName {
    const wchar_t* start;
    std::size_t length;
};

// The name at *at, moving *at past it and its backslash; false at the end.
bool NextName(const wchar_t** at, PathName& name) {
    if (**at == L'\0') return false;
    name.start = *at;
    while (**at != L'\0' && **at != L'\\') ++*at;
    name.length = static_cast<std::size_t>(*at - name.start);
    if (**at == L'\\') ++*at;
    return true;
}

// A name that a walk can take as it is: not empty (which a doubled or a
// final backslash makes), not a name the system might read as a step up or
// in place, and no longer than a key's name can be.
bool IsPlainName(const PathName& name, bool last, const wchar_t* rest) {
    if (name.length == 0 || name.length > kLongestKeyName) return false;
    if (name.start[0] == L'.' && (name.length == 1 || (name.length == 2 && name.start[1] == L'.'))) return false;
    // "a\" ends in an empty name.
    return !(last && rest[-1] == L'\\');
}

bool SameName(const PathName& name, const wchar_t* expected) {
    const std::size_t length = std::wcslen(expected);
    return name.length == length && CompareStringOrdinal(name.start, static_cast<int>(length), expected,
                                                         static_cast<int>(length), TRUE) == CSTR_EQUAL;
}

// The keys below a classes root that hold codecs, the only ones a backup
// names there: class keys, DirectShow's DMO registrations, the old filter
// mapper's keys, media types and Media Foundation's transforms. Another key
// of the classes (a file type's command, say) is not one of a codec's.
const wchar_t* const kCodecRoots[] = {L"CLSID", L"DirectShow", L"Filter", L"Media Type", L"MediaFoundation"};

// Whether the names below a classes root start with a codec root (after the
// 32-bit half's Wow6432Node) and go below it: the codec root itself is
// never a codec's own key.
bool IsCodecKeyBelowClasses(const wchar_t* below) {
    const wchar_t* at = below;
    PathName name;
    if (!NextName(&at, name)) return false;
    if (SameName(name, L"Wow6432Node") && !NextName(&at, name)) return false;
    bool codecRoot = false;
    for (const wchar_t* root : kCodecRoots) codecRoot = codecRoot || SameName(name, root);
    return codecRoot && *at != L'\0';
}

// The keys of preferred handlers, as base and the names below it.
const struct {
    const wchar_t* base;
    const wchar_t* below;
} kPreferencesKeys[] = {
    {L"SOFTWARE", L"Microsoft\\DirectShow\\Preferred"},
    {L"SOFTWARE", L"Wow6432Node\\Microsoft\\DirectShow\\Preferred"},
    {L"Software\\Classes", L"MediaFoundation\\Transforms\\Preferred"},
    {L"Software\\Classes", L"Wow6432Node\\MediaFoundation\\Transforms\\Preferred"},
};

bool SameText(const wchar_t* a, const wchar_t* b) {
    return CompareStringOrdinal(a, -1, b, -1, TRUE) == CSTR_EQUAL;
}

}  // namespace

bool IsPreferencesKey(const RestoreTarget& target) {
    if (target.root != HKEY_LOCAL_MACHINE || !target.base || !target.below) return false;
    for (const auto& key : kPreferencesKeys) {
        if (SameText(target.base, key.base) && SameText(target.below, key.below)) return true;
    }
    return false;
}

bool RestoreTargetPath(const RestoreTarget& target, wchar_t* path, std::size_t capacity) {
    return FormatText(path, capacity, L"%ls\\%ls", target.base, target.below) == kTextOk;
}

bool FindRestoreTarget(const wchar_t* fullName, RestoreTarget& target) {
    // Every name of the path is plain, whatever root it lies under.
    std::size_t count = 0;
    const wchar_t* at = fullName;
    PathName name;
    while (NextName(&at, name)) {
        if (!IsPlainName(name, *at == L'\0', at)) return false;
        ++count;
    }
    if (count == 0) return false;
    for (const AllowedRoot& allowed : kAllowedRoots) {
        if (allowed.below ? count <= allowed.count : count != allowed.count) continue;
        at = fullName;
        bool same = true;
        const wchar_t* below = nullptr;
        for (std::size_t i = 0; i < allowed.count && same; ++i) {
            NextName(&at, name);
            same = SameName(name, allowed.names[i]);
            if (i == allowed.baseCount) below = at;  // the root's name and the base's are behind
        }
        if (!same || (allowed.below && !IsCodecKeyBelowClasses(below))) continue;
        target.root = allowed.root;
        target.base = allowed.baseCount == 2 ? L"Software\\Classes" : L"SOFTWARE";
        target.below = below;
        return true;
    }
    return false;
}

KeyOpening OpenRestoreKey(const RestoreTarget& target, bool create, REGSAM access, RegKey& key, LONG* status) {
    // The base is the system's own key, opened as the system names it (the
    // user's classes are a link of the system's own on Windows); below it,
    // every key is opened by itself and never followed when it is a link.
    RegKey parent;
    *status = RegOpenKeyExW(target.root, target.base, 0, KEY_READ | KEY_WOW64_64KEY, parent.Put());
    if (*status != ERROR_SUCCESS) return KeyNotOpened;
    const wchar_t* at = target.below;
    PathName name;
    while (NextName(&at, name)) {
        wchar_t single[kLongestKeyName + 1];
        wmemcpy(single, name.start, name.length);
        single[name.length] = L'\0';
        const bool last = *at == L'\0';
        const REGSAM wanted = (last ? access : KEY_READ) | KEY_WOW64_64KEY;
        RegKey child;
        KeyOpening opening = OpenKeyUnlessLink(child, parent.Get(), single, wanted, status);
        if (opening == KeyNotOpened && *status == ERROR_FILE_NOT_FOUND && create) {
            // The parent is opened again with the right to make keys in it: a
            // walk through keys that exist asks for no more than reading.
            RegKey maker;
            HKEY made = nullptr;
            DWORD disposition = 0;
            *status = RegOpenKeyExW(parent.Get(), L"", 0, KEY_CREATE_SUB_KEY | KEY_WOW64_64KEY, maker.Put());
            if (*status == ERROR_SUCCESS) {
                *status = RegCreateKeyExW(maker.Get(), single, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                          KEY_QUERY_VALUE | KEY_WOW64_64KEY, nullptr, &made, &disposition);
            }
            if (*status != ERROR_SUCCESS) return KeyNotOpened;
            RegCloseKey(made);
            // Opened again as any key on the way is: whatever is there now
            // (a link made meanwhile) is looked at before it is gone through.
            opening = OpenKeyUnlessLink(child, parent.Get(), single, wanted, status);
        }
        if (opening != KeyOpened) return opening;
        parent.Attach(child.Detach());
    }
    key.Attach(parent.Detach());
    return KeyOpened;
}
