#include "registry_removal.h"

#include "../base/app_state.h"
#include "../base/bounded_text.h"
#include "../base/scoped.h"
#include "../catalogue/category_combo.h"
#include "../catalogue/category_table.h"
#include "../catalogue/mapper_entries.h"
#include "../catalogue/registry_lookup.h"
#include "../catalogue/registry_text.h"
#include "../catalogue/registry_link.h"

#include <cwchar>

namespace {

void NoteRefusal(RemovalOutcome& outcome, LONG status) {
    if (outcome.refusal == ERROR_SUCCESS) outcome.refusal = status;
}

// Deletes the key `name` below parent, whose path from the deletion's root
// is path, with everything below it. A key that is not there at the start
// (the deletion's own key only: a subkey was just listed) is no refusal.
void DeleteKeyAt(HKEY parent, const wchar_t* name, const wchar_t* path, bool listed, RemovalOutcome& outcome) {
    // A link is never entered and never deleted: what it points to belongs
    // to some other key (another codec's, or one above it), and a link that
    // stays keeps the keys above it, as any key that cannot be removed does.
    RegKey key;
    LONG status = ERROR_SUCCESS;
    const KeyOpening opening = OpenKeyUnlessLink(key, parent, name, MAXIMUM_ALLOWED, &status);
    if (opening == KeyIsLink) outcome.linkKept = true;
    if (opening == KeyNotOpened && (listed || status != ERROR_FILE_NOT_FOUND)) NoteRefusal(outcome, status);
    if (opening != KeyOpened) return;
    // Every subkey present when the walk begins is visited once. A subkey
    // that went away leaves the index where it is, the next one moving up
    // into its place; one that is still named at the index (it could not be
    // opened, is a link, or something below it stayed) moves the index on
    // past it. So each visit removes a subkey or moves on, and no more visits
    // are made than there were subkeys, even while others add keys.
    DWORD visitsLeft = MAXDWORD;
    RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, &visitsLeft, nullptr, nullptr, nullptr, nullptr, nullptr,
                     nullptr, nullptr);
    DWORD index = 0;
    wchar_t subkeyName[256];
    for (; visitsLeft > 0 && SubkeyNameAt(key.Get(), index, subkeyName); --visitsLeft) {
        wchar_t subkeyPath[kNameCapacity];
        if (JoinText(subkeyPath, kNameCapacity, path, L"\\", subkeyName)) {
            DeleteKeyAt(key.Get(), subkeyName, subkeyPath, true, outcome);
        }
        wchar_t now[256];
        if (SubkeyNameAt(key.Get(), index, now) && lstrcmpiW(now, subkeyName) == 0) ++index;
    }
    // The key deleted is the one just walked, through its own handle: a
    // deletion by path follows a link found at that path and deletes the key
    // it points to. A key that still has a subkey is refused and stays; that
    // refusal only follows from the one below it.
    const LONG deleted = RegDeleteKeyW(key.Get(), L"");
    DWORD subkeysLeft = 0;
    if (deleted != ERROR_SUCCESS &&
        (RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, &subkeysLeft, nullptr, nullptr, nullptr, nullptr,
                          nullptr, nullptr, nullptr) != ERROR_SUCCESS ||
         subkeysLeft == 0)) {
        NoteRefusal(outcome, deleted);
    }
}

}  // namespace

void DeleteKeyTree(HKEY root, const wchar_t* path, RemovalOutcome* outcome) {
    RemovalOutcome unused;
    DeleteKeyAt(root, path, path, false, outcome ? *outcome : unused);
    ForgetMapperEntriesCheck();
}

std::size_t FindCodecEntryPaths(const wchar_t* classId, const wchar_t* friendlyName, CodecEntryPaths& paths) {
    // A class id that is empty or holds a backslash would reach beyond the
    // codec's own keys (CLSID itself, a whole Instance key): such ids are
    // never appended to a path that is deleted.
    const bool usable = IsUsableClassId(classId);
    std::size_t count = 0;
    if (usable && JoinText(paths[count], kNameCapacity, L"CLSID", L"\\", classId)) ++count;

    wchar_t instancePath[kNameCapacity];
    BuildInstanceKeyPath(instancePath, kNameCapacity, SelectedRegistryCategory());
    if (!usable) {
        // Such an id came from the CLSID value of the entry the row was found
        // by, and other entries may hold the same value: only that entry, the
        // first one with the row's friendly name, is deleted.
        if (FindInstanceKeyByName(instancePath, friendlyName, paths[count])) ++count;
    } else if (FindInstanceKeyByClsid(instancePath, classId, paths[count])) {
        ++count;
    } else if (JoinText(paths[count], kNameCapacity, instancePath, L"", classId)) {
        ++count;
    }

    wchar_t legacyPath[kNameCapacity];
    BuildInstanceKeyPath(legacyPath, kNameCapacity, kDefaultRegistryCategory);
    if (usable && JoinText(paths[count], kNameCapacity, legacyPath, L"", classId)) ++count;
    return count;
}

bool BracelessClassId(const wchar_t* classId, wchar_t (&braceless)[kBracelessClassIdCapacity]) {
    if (!IsUsableClassId(classId)) return false;
    std::size_t length = 0;
    for (const wchar_t* c = classId; *c != L'\0'; ++c) {
        if (*c == L'{' || *c == L'}') continue;
        // A braceless id longer than its 59 characters would be cut into the
        // name of some other key: it names none.
        if (length == kBracelessClassIdCapacity - 1) return false;
        braceless[length++] = *c;
    }
    braceless[length] = L'\0';
    return length != 0;
}

bool FindDmoKeyPath(const wchar_t* classId, wchar_t* path, std::size_t capacity) {
    wchar_t braceless[kBracelessClassIdCapacity];
    return BracelessClassId(classId, braceless) &&
           JoinText(path, capacity, L"DirectShow\\MediaObjects", L"\\", braceless);
}

void RemoveCodecRegistry(const wchar_t* classId, const wchar_t* friendlyName) {
    // The keys are found first, then deleted in the order found: no deletion
    // changes what the later searches find.
    CodecEntryPaths paths;
    const std::size_t count = FindCodecEntryPaths(classId, friendlyName, paths);
    for (std::size_t i = 0; i < count; ++i) DeleteKeyTree(HKEY_CLASSES_ROOT, paths[i]);
}

void RemoveDmoRegistrationOf(const wchar_t* classId) {
    wchar_t dmoPath[kShortTextCapacity];
    if (FindDmoKeyPath(classId, dmoPath, kShortTextCapacity)) DeleteKeyTree(HKEY_CLASSES_ROOT, dmoPath);
}

void RemoveDmoRegistration() { RemoveDmoRegistrationOf(g_app.selectedClsid); }
