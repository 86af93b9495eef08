#include "mapper_entries.h"

#include "../base/app_state.h"
#include "../base/bounded_text.h"
#include "../base/scoped.h"
#include "filter_data.h"
#include "registry_text.h"

namespace {

// The category of filter categories: each of its entries names one category.
const wchar_t kCategoriesId[] = L"{DA4E3DA0-D07D-11D0-BD50-00A0C911CE86}";
const wchar_t kCodecEntriesPath[] = L"Software\\Microsoft\\ActiveMovie\\devenum\\";

// The two places the device enumerator lists a category's entries from.
struct EntryKeyPath {
    HKEY root;
    wchar_t path[kNameCapacity];
};

void EntryKeyPaths(const wchar_t* categoryId, EntryKeyPath (&paths)[2]) {
    paths[0].root = HKEY_CLASSES_ROOT;
    FormatText(paths[0].path, kNameCapacity, L"CLSID\\%ls\\Instance", categoryId);
    paths[1].root = HKEY_CURRENT_USER;
    FormatText(paths[1].path, kNameCapacity, L"%ls%ls", kCodecEntriesPath, categoryId);
}

// Calls visit(entry, name) for each entry of a category that can be opened,
// in both places, until a visit returns true; returns whether one did.
template <typename Visitor>
bool ForEachCategoryEntry(const wchar_t* categoryId, Visitor&& visit) {
    EntryKeyPath paths[2];
    EntryKeyPaths(categoryId, paths);
    for (const EntryKeyPath& place : paths) {
        RegKey entries;
        if (entries.OpenForReading(place.root, place.path) != ERROR_SUCCESS) continue;
        const bool stopped = ForEachSubkeyName(entries.Get(), [&](const wchar_t* name) {
            RegKey entry;
            if (entry.OpenForReading(entries.Get(), name) != ERROR_SUCCESS) return false;
            return visit(entry.Get(), name);
        });
        if (stopped) return true;
    }
    return false;
}

// The category an entry of the category of categories names, as the braced
// text the device enumerator builds its paths from; false when the mapper
// passes the entry over (a Merit below the floor of 1, none at all, or a
// CLSID that names no class id).
bool EnumeratedCategory(HKEY entry, wchar_t (&categoryId)[39]) {
    DWORD type = REG_NONE;
    DWORD merit = 0;
    DWORD size = sizeof(merit);
    const LONG status =
        RegQueryValueExW(entry, L"Merit", nullptr, &type, reinterpret_cast<BYTE*>(&merit), &size);
    // A Merit of another type is not read as the mapper reads it: its
    // category counts as enumerated, so that its entries are checked too.
    if (status == ERROR_FILE_NOT_FOUND) return false;
    if (status == ERROR_SUCCESS && type == REG_DWORD && size == sizeof(merit) && merit < 1) return false;
    wchar_t text[kNameCapacity];
    if (!ReadRegistryText(entry, L"CLSID", text, kNameCapacity)) return false;
    GUID category;
    if (FAILED(CLSIDFromString(text, &category))) return false;
    return StringFromGUID2(category, categoryId, 39) != 0;
}

// Calls visit(entry, name) for each entry whose FilterData is damaged among
// those the mapper's enumeration reads, until a visit returns true; returns
// whether one did.
template <typename Visitor>
bool ForEachDamagedMapperEntry(Visitor&& visit) {
    return ForEachCategoryEntry(kCategoriesId, [&](HKEY categoryEntry, const wchar_t*) {
        wchar_t categoryId[39];
        if (!EnumeratedCategory(categoryEntry, categoryId)) return false;
        return ForEachCategoryEntry(categoryId, [&](HKEY entry, const wchar_t* keyName) {
            return FilterDataDamaged(CheckEntryFilterData(entry)) && visit(entry, keyName);
        });
    });
}

}  // namespace

bool MapperEntriesSound() {
    return !ForEachDamagedMapperEntry([](HKEY, const wchar_t*) { return true; });
}

void FindDamagedMapperEntries(DamagedMapperEntries& found) {
    found = DamagedMapperEntries{};
    ForEachDamagedMapperEntry([&](HKEY entry, const wchar_t* keyName) {
        if (found.count < kDamagedNamesKept) {
            wchar_t* name = found.names[found.count];
            if (!ReadRegistryText(entry, L"FriendlyName", name, kNameCapacity) || name[0] == L'\0') {
                CopyText(name, kNameCapacity, keyName);
            }
        }
        ++found.count;
        return false;
    });
}
