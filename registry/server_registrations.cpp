#include "server_registrations.h"

#include "../base/app_state.h"
#include "../base/bounded_text.h"
#include "../catalogue/registry_text.h"
#include "../catalogue/server_identity.h"
#include "../catalogue/server_path.h"
#include "registry_removal.h"
#include "transform_keys.h"

namespace {

const wchar_t kDmoCategories[] = L"DirectShow\\MediaObjects\\Categories";
const wchar_t kMediaTypes[] = L"Media Type";
constexpr std::size_t kClassesPrefixLength = 6;  // "CLSID\"

// The file regsvr32 is given, as its identity where it can be opened.
struct TargetFile {
    const wchar_t* path;
    FileIdentity identity;
    bool identified;
};

// Whether the class key (by its name under CLSID) has a server path that
// names the file: the same file where both can be opened, whichever way each
// path writes it; otherwise the same text once variables are expanded.
bool ServesFile(HKEY classes, const wchar_t* classId, const TargetFile& target) {
    wchar_t serverKeyPath[kNameCapacity];
    if (!JoinText(serverKeyPath, kNameCapacity, classId, L"\\", L"InprocServer32")) return false;
    RegKey server;
    if (server.OpenForReading(classes, serverKeyPath) != ERROR_SUCCESS) return false;
    wchar_t value[kNameCapacity];
    wchar_t expanded[kNameCapacity];
    if (!ReadRegistryText(server.Get(), nullptr, value, kNameCapacity)) return false;
    // The file COM loads for the value: its variables expanded only in an expandable value.
    const DWORD type = ServerPathType(server.Get());
    FileIdentity identity;
    if (target.identified && ServerFileIdentity(value, type, &identity)) return SameFile(identity, target.identity);
    return ExpandServerPath(value, type, expanded, kNameCapacity) &&
           CompareStringOrdinal(expanded, -1, target.path, -1, TRUE) == CSTR_EQUAL;
}

// Whether the class key (by its name under CLSID) lists filters of a category.
bool HasInstanceKey(HKEY classes, const wchar_t* classId) {
    wchar_t instancePath[kNameCapacity];
    if (!JoinText(instancePath, kNameCapacity, classId, L"\\", L"Instance")) return false;
    RegKey instance;
    return instance.OpenForReading(classes, instancePath) == ERROR_SUCCESS;
}

// One walk over all class keys: those served by the file go to servedClasses
// (as "CLSID\<id>"), those that are categories to categories (as
// "CLSID\<id>\Instance").
void WalkClassKeys(const wchar_t* serverFile, KeyPathList& servedClasses, KeyPathList& categories) {
    RegKey classes;
    if (classes.OpenForReading(HKEY_CLASSES_ROOT, L"CLSID") != ERROR_SUCCESS) return;
    TargetFile target{serverFile, {}, false};
    // The file given to regsvr32, its variables expanded already.
    target.identified = serverFile[0] != L'\0' && ServerFileIdentity(serverFile, REG_SZ, &target.identity);
    ForEachSubkeyName(classes.Get(), [&](const wchar_t* classId) {
        wchar_t classPath[kNameCapacity];
        wchar_t instancePath[kNameCapacity];
        if (!JoinText(classPath, kNameCapacity, L"CLSID", L"\\", classId)) return false;
        if (serverFile[0] != L'\0' && ServesFile(classes.Get(), classId, target)) {
            AddKeyPath(servedClasses, classPath);
        }
        if (HasInstanceKey(classes.Get(), classId) &&
            JoinText(instancePath, kNameCapacity, classPath, L"\\", L"Instance")) {
            AddKeyPath(categories, instancePath);
        }
        return false;
    });
}

// The class id of a "CLSID\<id>" path.
const wchar_t* ClassIdOf(const wchar_t* classKeyPath) { return classKeyPath + kClassesPrefixLength; }

bool IsOneOfClasses(const KeyPathList& classes, const wchar_t* classId) {
    for (std::size_t i = 0; i < classes.count; ++i) {
        if (lstrcmpiW(ClassIdOf(KeyPathAt(classes, i)), classId) == 0) return true;
    }
    return false;
}

// Adds the entries of one category's Instance key that belong to the classes:
// by their CLSID value, as the lookups find entries, or by their name, as a
// filter's unregistration deletes them.
void AddInstanceEntries(const wchar_t* instancePath, const KeyPathList& classes, KeyPathList& keys) {
    RegKey instance;
    if (instance.OpenForReading(HKEY_CLASSES_ROOT, instancePath) != ERROR_SUCCESS) return;
    ForEachSubkeyName(instance.Get(), [&](const wchar_t* entryName) {
        bool belongs = IsOneOfClasses(classes, entryName);
        RegKey entry;
        wchar_t value[kNameCapacity];
        if (!belongs && entry.OpenForReading(instance.Get(), entryName) == ERROR_SUCCESS &&
            ReadRegistryText(entry.Get(), L"CLSID", value, kNameCapacity)) {
            belongs = IsOneOfClasses(classes, value);
        }
        wchar_t path[kNameCapacity];
        if (belongs) {
            // An entry that cannot be named whole cannot be saved: the list fails.
            if (JoinText(path, kNameCapacity, instancePath, L"\\", entryName)) AddKeyPath(keys, path);
            else keys.failed = true;
        }
        return false;
    });
}

// Adds the classes' entries in every DMO category, named like the DMO keys
// by the class id without braces.
void AddDmoCategoryEntries(const KeyPathList& classes, KeyPathList& keys) {
    RegKey categories;
    if (categories.OpenForReading(HKEY_CLASSES_ROOT, kDmoCategories) != ERROR_SUCCESS) return;
    ForEachSubkeyName(categories.Get(), [&](const wchar_t* category) {
        RegKey entries;
        if (entries.OpenForReading(categories.Get(), category) != ERROR_SUCCESS) return false;
        ForEachSubkeyName(entries.Get(), [&](const wchar_t* entryName) {
            for (std::size_t i = 0; i < classes.count; ++i) {
                wchar_t braceless[kBracelessClassIdCapacity];
                if (!BracelessClassId(ClassIdOf(KeyPathAt(classes, i)), braceless)) continue;
                if (lstrcmpiW(braceless, entryName) != 0) continue;
                wchar_t categoryPath[kNameCapacity];
                wchar_t path[kNameCapacity];
                if (JoinText(categoryPath, kNameCapacity, kDmoCategories, L"\\", category) &&
                    JoinText(path, kNameCapacity, categoryPath, L"\\", entryName)) {
                    AddKeyPath(keys, path);
                }
            }
            return false;
        });
        return false;
    });
}

// Adds the old filter mapper's key of each class, Filter\<class id>: a
// filter registered through it is unregistered there as well.
void AddOldMapperKeys(const KeyPathList& classes, KeyPathList& keys) {
    for (std::size_t i = 0; i < classes.count; ++i) {
        wchar_t path[kNameCapacity];
        if (JoinText(path, kNameCapacity, L"Filter", L"\\", ClassIdOf(KeyPathAt(classes, i)))) AddKeyPath(keys, path);
    }
}

// Adds the media type entries whose "Source Filter" names one of the
// classes: Media Type\<major type>\<subtype> and Media Type\Extensions\<ext>,
// which a source filter's unregistration removes with it.
void AddMediaTypeEntries(const KeyPathList& classes, KeyPathList& keys) {
    RegKey mediaTypes;
    if (mediaTypes.OpenForReading(HKEY_CLASSES_ROOT, kMediaTypes) != ERROR_SUCCESS) return;
    ForEachSubkeyName(mediaTypes.Get(), [&](const wchar_t* group) {
        RegKey entries;
        if (entries.OpenForReading(mediaTypes.Get(), group) != ERROR_SUCCESS) return false;
        ForEachSubkeyName(entries.Get(), [&](const wchar_t* entryName) {
            RegKey entry;
            wchar_t value[kNameCapacity];
            if (entry.OpenForReading(entries.Get(), entryName) != ERROR_SUCCESS ||
                !ReadRegistryText(entry.Get(), L"Source Filter", value, kNameCapacity) ||
                !IsOneOfClasses(classes, value)) {
                return false;
            }
            wchar_t groupPath[kNameCapacity];
            wchar_t path[kNameCapacity];
            if (JoinText(groupPath, kNameCapacity, kMediaTypes, L"\\", group) &&
                JoinText(path, kNameCapacity, groupPath, L"\\", entryName)) {
                AddKeyPath(keys, path);
            } else {
                keys.failed = true;
            }
            return false;
        });
        return false;
    });
}

}  // namespace

void CollectServerRegistrations(const wchar_t* serverFile, const wchar_t* classId, KeyPathList& keys) {
    KeyPathList classes;
    KeyPathList categories;
    wchar_t classKeyPath[kNameCapacity];
    if (IsUsableClassId(classId) && JoinText(classKeyPath, kNameCapacity, L"CLSID", L"\\", classId)) {
        AddKeyPath(classes, classKeyPath);
    }
    WalkClassKeys(serverFile, classes, categories);
    keys.failed |= classes.failed || categories.failed;

    for (std::size_t i = 0; i < classes.count; ++i) {
        const wchar_t* path = KeyPathAt(classes, i);
        AddKeyPath(keys, path);
        wchar_t dmoPath[kNameCapacity];
        if (FindDmoKeyPath(ClassIdOf(path), dmoPath, kNameCapacity)) AddKeyPath(keys, dmoPath);
    }
    for (std::size_t i = 0; i < categories.count; ++i) AddInstanceEntries(KeyPathAt(categories, i), classes, keys);
    AddDmoCategoryEntries(classes, keys);
    AddOldMapperKeys(classes, keys);
    AddMediaTypeEntries(classes, keys);
    for (std::size_t i = 0; i < classes.count; ++i) AddTransformKeys(ClassIdOf(KeyPathAt(classes, i)), keys);
}
