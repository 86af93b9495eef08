#include "transform_keys.h"

#include "../base/app_state.h"
#include "../base/bounded_text.h"
#include "../catalogue/registry_link.h"
#include "../catalogue/registry_text.h"

namespace {

const wchar_t kTransforms[] = L"MediaFoundation\\Transforms";
const wchar_t kCategories[] = L"MediaFoundation\\Transforms\\Categories";
const wchar_t* const kOwnKeys[] = {L"Categories", L"Preferred", L"DoNotUse"};

// Adds parent\name (parent a path under HKEY_CLASSES_ROOT) to keys.
void AddChild(const wchar_t* parent, const wchar_t* name, KeyPathList& keys) {
    wchar_t path[kNameCapacity];
    if (JoinText(path, kNameCapacity, parent, L"\\", name)) AddKeyPath(keys, path);
    else keys.failed = true;
}

}  // namespace

bool IsTransformsOwnKeyName(const wchar_t* name) {
    for (const wchar_t* own : kOwnKeys) {
        if (lstrcmpiW(name, own) == 0) return true;
    }
    return false;
}

void AddTransformKeys(const wchar_t* classId, KeyPathList& keys) {
    if (!IsUsableClassId(classId) || IsTransformsOwnKeyName(classId)) return;
    GUID id;
    const bool isGuid = ParseClassIdText(classId, &id);
    // Whether a key's name names this class.
    const auto names = [&](const wchar_t* name) {
        GUID other;
        return isGuid ? ParseClassIdText(name, &other) && IsEqualGUID(id, other) : lstrcmpiW(name, classId) == 0;
    };
    RegKey transforms;
    if (OpenKeyUnlessLink(transforms, HKEY_CLASSES_ROOT, kTransforms, KEY_READ) != KeyOpened) return;
    ForEachSubkeyName(transforms.Get(), [&](const wchar_t* name) {
        if (names(name)) AddChild(kTransforms, name, keys);
        return false;
    });
    // A category that is a registry link is not gone through: the entries
    // below it would be some other key's.
    RegKey categories;
    if (OpenKeyUnlessLink(categories, transforms.Get(), L"Categories", KEY_READ) != KeyOpened) return;
    ForEachSubkeyName(categories.Get(), [&](const wchar_t* category) {
        RegKey entries;
        if (OpenKeyUnlessLink(entries, categories.Get(), category, KEY_READ) != KeyOpened) return false;
        wchar_t categoryPath[kNameCapacity];
        if (!JoinText(categoryPath, kNameCapacity, kCategories, L"\\", category)) return false;
        ForEachSubkeyName(entries.Get(), [&](const wchar_t* entry) {
            if (names(entry)) AddChild(categoryPath, entry, keys);
            return false;
        });
        return false;
    });
}

void AddTransformEntryKey(const wchar_t* category, const wchar_t* entry, KeyPathList& keys) {
    wchar_t categoryPath[kNameCapacity];
    if (JoinText(categoryPath, kNameCapacity, kCategories, L"\\", category)) AddChild(categoryPath, entry, keys);
    else keys.failed = true;
}
