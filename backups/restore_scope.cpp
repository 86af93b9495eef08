#include "restore_scope.h"

#include "../base/bounded_text.h"
#include "../base/growing_text.h"
#include "../registry/registry_location.h"
#include "restore_drivers.h"

#include <cwchar>
#include <cwctype>

// One kind of key a restore may write: under the root (named rootName in a
// file), the key `key` below base (with oneBelow, each key one name below
// it instead), or, where key is null, the codec keys below base; values says
// which of its values. Another kind of key or value a restore may write is
// another row of kRestoreKinds.
struct RestoreKind {
    HKEY root;
    const wchar_t* rootName;
    const wchar_t* base;
    const wchar_t* key;
    RestoreValues values;
    bool oneBelow = false;
};

namespace {

constexpr std::size_t kLongestKeyName = 255;

const wchar_t kClasses[] = L"Software\\Classes";

const RestoreKind kRestoreKinds[] = {
    // The codec keys of the machine's classes and of the user's.
    {HKEY_LOCAL_MACHINE, L"HKEY_LOCAL_MACHINE", kClasses, nullptr, RestoreAnyValue},
    {HKEY_CURRENT_USER, L"HKEY_CURRENT_USER", kClasses, nullptr, RestoreAnyValue},
    // DirectShow's preferred decoders, of either view (Media Foundation's
    // lie among the codec keys of the machine's classes).
    {HKEY_LOCAL_MACHINE, L"HKEY_LOCAL_MACHINE", L"SOFTWARE", L"Microsoft\\DirectShow\\Preferred", RestoreAnyValue},
    {HKEY_LOCAL_MACHINE, L"HKEY_LOCAL_MACHINE", L"SOFTWARE", L"Wow6432Node\\Microsoft\\DirectShow\\Preferred", RestoreAnyValue},
    // The ACM and Video for Windows codecs, of either view: their Drivers32
    // values, and their descriptions.
    {HKEY_LOCAL_MACHINE, L"HKEY_LOCAL_MACHINE", L"SOFTWARE", L"Microsoft\\Windows NT\\CurrentVersion\\Drivers32",
     RestoreCodecDriverValues},
    {HKEY_LOCAL_MACHINE, L"HKEY_LOCAL_MACHINE", L"SOFTWARE",
     L"Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32", RestoreCodecDriverValues},
    {HKEY_LOCAL_MACHINE, L"HKEY_LOCAL_MACHINE", L"SOFTWARE", L"Microsoft\\Windows NT\\CurrentVersion\\drivers.desc",
     RestoreDriverDescriptions},
    {HKEY_LOCAL_MACHINE, L"HKEY_LOCAL_MACHINE", L"SOFTWARE",
     L"Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion\\drivers.desc", RestoreDriverDescriptions},
    // Explorer's handlers turned off: the values of Blocked named by class
    // ids, of the machine (either view) and of the user; and the class id of
    // an extension's property handler, of either view.
    {HKEY_LOCAL_MACHINE, L"HKEY_LOCAL_MACHINE", L"SOFTWARE",
     L"Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Blocked", RestoreBlockedHandlers},
    {HKEY_LOCAL_MACHINE, L"HKEY_LOCAL_MACHINE", L"SOFTWARE",
     L"Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Blocked", RestoreBlockedHandlers},
    {HKEY_CURRENT_USER, L"HKEY_CURRENT_USER", L"Software",
     L"Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Blocked", RestoreBlockedHandlers},
    {HKEY_LOCAL_MACHINE, L"HKEY_LOCAL_MACHINE", L"SOFTWARE",
     L"Microsoft\\Windows\\CurrentVersion\\PropertySystem\\PropertyHandlers", RestorePropertyHandler, true},
    {HKEY_LOCAL_MACHINE, L"HKEY_LOCAL_MACHINE", L"SOFTWARE",
     L"Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\PropertySystem\\PropertyHandlers", RestorePropertyHandler,
     true},
};

// A name that a walk can take as it is: not empty (which a doubled or a
// final backslash makes), not a name the system might read as a step up or
// in place, and no longer than a key's name can be.
bool IsPlainName(const KeyPathName& name, bool last, const wchar_t* rest) {
    if (name.length == 0 || name.length > kLongestKeyName) return false;
    if (name.start[0] == L'.' && (name.length == 1 || (name.length == 2 && name.start[1] == L'.'))) return false;
    // "a\" ends in an empty name.
    return !(last && rest[-1] == L'\\');
}

bool SameText(const wchar_t* a, const wchar_t* b) {
    return CompareStringOrdinal(a, -1, b, -1, TRUE) == CSTR_EQUAL;
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
    KeyPathName name;
    if (!NextKeyPathName(&at, name)) return false;
    if (SameKeyPathName(name, L"Wow6432Node") && !NextKeyPathName(&at, name)) return false;
    bool codecRoot = false;
    for (const wchar_t* root : kCodecRoots) codecRoot = codecRoot || SameKeyPathName(name, root);
    return codecRoot && *at != L'\0';
}

// The names of path, each before what follows it, matched from *at on;
// *at moves past them.
bool StartsWithNames(const wchar_t** at, const wchar_t* path) {
    const wchar_t* expected = path;
    KeyPathName want;
    KeyPathName name;
    while (NextKeyPathName(&expected, want)) {
        if (!NextKeyPathName(at, name) || name.length != want.length ||
            CompareStringOrdinal(name.start, static_cast<int>(name.length), want.start, static_cast<int>(want.length),
                                 TRUE) != CSTR_EQUAL) {
            return false;
        }
    }
    return true;
}

// Whether below is the key `key` and one name more, as an extension's key
// below PropertyHandlers.
bool IsOneNameBelow(const wchar_t* below, const wchar_t* key) {
    const wchar_t* at = below;
    KeyPathName name;
    return StartsWithNames(&at, key) && NextKeyPathName(&at, name) && *at == L'\0';
}

// A class id as the text of a value's name or data.
bool IsClassIdText(const wchar_t* text) {
    if (std::wcslen(text) != 38 || text[0] != L'{' || text[37] != L'}') return false;
    for (int i = 1; i < 37; ++i) {
        const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
        if (dash ? text[i] != L'-' : !std::iswxdigit(text[i])) return false;
    }
    return true;
}

// The value of a handler turned off: named by a class id, set only as text.
bool BlockedValueAllowed(const RegFileContents& contents, const RegFileEntry& value) {
    return IsClassIdText(RegFileEntryName(contents, value)) &&
           (value.kind == RegFileRemoveValue || value.type == REG_SZ);
}

// An extension's property handler: its default value alone, a class id as text.
bool PropertyHandlerValueAllowed(const RegFileContents& contents, const RegFileEntry& value) {
    if (RegFileEntryName(contents, value)[0] != L'\0') return false;
    if (value.kind == RegFileRemoveValue) return true;
    wchar_t data[40];
    return value.type == REG_SZ && RegFileValueText(contents, value, data, 40) && IsClassIdText(data);
}

// The keys of preferred handlers, as base and the names below it.
const struct {
    const wchar_t* base;
    const wchar_t* below;
} kPreferencesKeys[] = {
    {L"SOFTWARE", L"Microsoft\\DirectShow\\Preferred"},
    {L"SOFTWARE", L"Wow6432Node\\Microsoft\\DirectShow\\Preferred"},
    {kClasses, L"MediaFoundation\\Transforms\\Preferred"},
    {kClasses, L"Wow6432Node\\MediaFoundation\\Transforms\\Preferred"},
};

// Opens parent\name itself, never what a link there points to, with access
// (KEY_WOW64_64KEY added: Wow6432Node in a name is taken as written); with
// create, a key missing there is made first.
KeyOpening OpenOrMake(HKEY parent, const wchar_t* name, bool create, REGSAM access, RegKey& key, LONG* status) {
    KeyOpening opening = OpenKeyUnlessLink(key, parent, name, access | KEY_WOW64_64KEY, status);
    if (opening != KeyNotOpened || *status != ERROR_FILE_NOT_FOUND || !create) return opening;
    // The parent is opened again with the right to make keys in it: a walk
    // through keys that exist asks for no more than reading.
    RegKey maker;
    HKEY made = nullptr;
    DWORD disposition = 0;
    *status = RegOpenKeyExW(parent, L"", 0, KEY_CREATE_SUB_KEY | KEY_WOW64_64KEY, maker.Put());
    if (*status == ERROR_SUCCESS) {
        *status = RegCreateKeyExW(maker.Get(), name, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_QUERY_VALUE | KEY_WOW64_64KEY, nullptr, &made, &disposition);
    }
    if (*status != ERROR_SUCCESS) return KeyNotOpened;
    RegCloseKey(made);
    // Opened again as any key on the way is: whatever is there now (a link
    // made meanwhile) is looked at before it is gone through.
    return OpenKeyUnlessLink(key, parent, name, access | KEY_WOW64_64KEY, status);
}

// Whether the link HKEY_CURRENT_USER\Software\Classes (parent being
// HKEY_CURRENT_USER\Software) is the system's own, which points to the
// user's classes hive, \REGISTRY\USER\<user>_Classes; then it is opened
// through into key. A link to anywhere else is never gone through.
bool OpenUsersOwnClasses(HKEY parent, RegKey& key) {
    HKEY currentUser = nullptr;
    if (RegOpenCurrentUser(KEY_READ, &currentUser) != ERROR_SUCCESS) return false;
    RegKey user;
    user.Attach(currentUser);
    GrowingText expected;
    AppendKernelKeyName(expected, user.Get());
    AppendString(expected, L"_Classes");
    RegKey through;
    GrowingText reached;
    if (expected.failed || RegOpenKeyExW(parent, L"Classes", 0, KEY_READ | KEY_WOW64_64KEY, through.Put()) != ERROR_SUCCESS ||
        !AppendKernelKeyName(reached, through.Get()) ||
        CompareStringOrdinal(TextChars(reached), -1, TextChars(expected), -1, TRUE) != CSTR_EQUAL) {
        return false;
    }
    key.Attach(through.Detach());
    return true;
}

// Walks the names of path below start into walked, as OpenRestoreKey does;
// lastAccess for the last name, KEY_READ before it. userClassesAt (or null)
// is the name that may be the user's classes link.
KeyOpening WalkNames(HKEY start, RegKey& walked, const wchar_t* path, bool create, REGSAM lastAccess,
                     const wchar_t* userClassesAt, LONG* status) {
    HKEY parent = start;
    const wchar_t* at = path;
    KeyPathName name;
    while (NextKeyPathName(&at, name)) {
        wchar_t single[kLongestKeyName + 1];
        wmemcpy(single, name.start, name.length);
        single[name.length] = L'\0';
        RegKey child;
        KeyOpening opening = OpenOrMake(parent, single, create, *at == L'\0' ? lastAccess : KEY_READ, child, status);
        if (opening == KeyIsLink && name.start == userClassesAt && OpenUsersOwnClasses(parent, child)) {
            opening = KeyOpened;
        }
        if (opening != KeyOpened) return opening;
        walked.Attach(child.Detach());
        parent = walked.Get();
    }
    return KeyOpened;
}

}  // namespace

bool NextKeyPathName(const wchar_t** at, KeyPathName& name) {
    if (**at == L'\0') return false;
    name.start = *at;
    while (**at != L'\0' && **at != L'\\') ++*at;
    name.length = static_cast<std::size_t>(*at - name.start);
    if (**at == L'\\') ++*at;
    return true;
}

bool SameKeyPathName(const KeyPathName& name, const wchar_t* expected) {
    const std::size_t length = std::wcslen(expected);
    return name.length == length && CompareStringOrdinal(name.start, static_cast<int>(length), expected,
                                                         static_cast<int>(length), TRUE) == CSTR_EQUAL;
}

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
    KeyPathName name;
    while (NextKeyPathName(&at, name)) {
        if (!IsPlainName(name, *at == L'\0', at)) return false;
        ++count;
    }
    if (count == 0) return false;
    for (const RestoreKind& kind : kRestoreKinds) {
        at = fullName;
        if (!NextKeyPathName(&at, name) || !SameKeyPathName(name, kind.rootName) || !StartsWithNames(&at, kind.base)) {
            continue;
        }
        if (kind.oneBelow ? !IsOneNameBelow(at, kind.key)
                          : kind.key ? !SameText(at, kind.key) : !IsCodecKeyBelowClasses(at)) {
            continue;
        }
        target.root = kind.root;
        target.base = kind.base;
        target.below = at;
        target.kind = &kind;
        return true;
    }
    return false;
}

RestoreValues RestoreValuesOf(const RestoreTarget& target) {
    return target.kind ? target.kind->values : RestoreAnyValue;
}

bool InOtherHalf(const RestoreTarget& target) {
    const wchar_t* at = target.below;
    KeyPathName name;
    return at && NextKeyPathName(&at, name) && SameKeyPathName(name, L"Wow6432Node");
}

bool RestoreValueAllowed(const RestoreTarget& target, const RegFileContents& contents, const RegFileEntry& value) {
    if (!target.kind) return false;
    switch (target.kind->values) {
    case RestoreAnyValue: return true;
    case RestoreCodecDriverValues: return CodecDriverValueAllowed(value, RegFileEntryName(contents, value));
    case RestoreDriverDescriptions: return DriverDescriptionAllowed(contents, value, InOtherHalf(target));
    case RestoreBlockedHandlers: return BlockedValueAllowed(contents, value);
    case RestorePropertyHandler: return PropertyHandlerValueAllowed(contents, value);
    }
    return false;
}

bool IsClassesTarget(const RestoreTarget& target) { return target.kind && !target.kind->key; }

KeyOpening OpenRestoreKey(const RestoreTarget& target, bool create, REGSAM access, RegKey& key, LONG* status) {
    // Every name of the base and below it on its own, from the root's own
    // key: a link among them is never followed, but for the system's own
    // link of the user's classes.
    const wchar_t* userClasses = nullptr;
    if (target.root == HKEY_CURRENT_USER && SameText(target.base, kClasses)) userClasses = std::wcschr(target.base, L'\\') + 1;
    RegKey base;
    KeyOpening opening = WalkNames(target.root, base, target.base, create, KEY_READ, userClasses, status);
    if (opening != KeyOpened) return opening;
    RegKey walked;
    opening = WalkNames(base.Get(), walked, target.below, create, access, nullptr, status);
    if (opening == KeyOpened) key.Attach(walked.Detach());
    return opening;
}
