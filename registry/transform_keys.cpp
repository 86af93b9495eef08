#include "transform_keys.h"

#include "../base/app_state.h"
#include "../base/bounded_text.h"
#include "../catalogue/registry_link.h"
#include "../catalogue/registry_text.h"
#include "registry_removal.h"

namespace {

const wchar_t kTransforms[] = L"MediaFoundation\\Transforms";
const wchar_t kCategories[] = L"MediaFoundation\\Transforms\\Categories";
const wchar_t* const kOwnKeys[] = {L"Categories", L"Preferred", L"DoNotUse"};

}  // namespace

void AddTransformKeys(const wchar_t* classId, KeyPathList& keys) {
    wchar_t braceless[kBracelessClassIdCapacity];
    if (!BracelessClassId(classId, braceless)) return;
    for (const wchar_t* own : kOwnKeys) {
        if (lstrcmpiW(braceless, own) == 0) return;
    }
    wchar_t path[kNameCapacity];
    if (JoinText(path, kNameCapacity, kTransforms, L"\\", braceless)) AddKeyPath(keys, path);
    // A category that is a registry link is not gone through: the entries
    // below it would be some other key's.
    RegKey categories;
    if (OpenKeyUnlessLink(categories, HKEY_CLASSES_ROOT, kCategories, KEY_READ) != KeyOpened) return;
    ForEachSubkeyName(categories.Get(), [&](const wchar_t* category) {
        RegKey entries;
        if (OpenKeyUnlessLink(entries, categories.Get(), category, KEY_READ) != KeyOpened) return false;
        ForEachSubkeyName(entries.Get(), [&](const wchar_t* entry) {
            wchar_t categoryPath[kNameCapacity];
            if (lstrcmpiW(entry, braceless) == 0 && JoinText(categoryPath, kNameCapacity, kCategories, L"\\", category) &&
                JoinText(path, kNameCapacity, categoryPath, L"\\", entry)) {
                AddKeyPath(keys, path);
            }
            return false;
        });
        return false;
    });
}
