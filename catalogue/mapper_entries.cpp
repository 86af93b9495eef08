#include "mapper_entries.h"

#include "../base/app_state.h"
#include "../base/bounded_text.h"
#include "../base/scoped.h"
#include "filter_data.h"
#include "key_watch.h"
#include "registry_text.h"

#include <cstdint>

namespace {

// The category of filter categories: each of its entries names one category.
const wchar_t kCategoriesId[] = L"{DA4E3DA0-D07D-11D0-BD50-00A0C911CE86}";
const wchar_t kCodecEntriesPath[] = L"Software\\Microsoft\\ActiveMovie\\devenum\\";
const wchar_t kUserClassesPath[] = L"Software\\Classes\\";

// Categories beyond this many are not kept: every check then reads them all.
constexpr std::size_t kMostKeptCategories = 64;
// Two places a category's entries are listed from (below).
constexpr std::size_t kPlacesPerCategory = 2;

// One key the device enumerator lists a category's entries from: the
// category's Instance key of the classes, or the user's key of the codec
// entries it makes itself.
struct EntryKeyPath {
    HKEY root;
    wchar_t path[kNameCapacity];
};

void EntryKeyPaths(const wchar_t* categoryId, EntryKeyPath (&paths)[kPlacesPerCategory]) {
    paths[0].root = HKEY_CLASSES_ROOT;
    FormatText(paths[0].path, kNameCapacity, L"CLSID\\%ls\\Instance", categoryId);
    paths[1].root = HKEY_CURRENT_USER;
    FormatText(paths[1].path, kNameCapacity, L"%ls%ls", kCodecEntriesPath, categoryId);
}

// Watches a key the entries are read from. The classes' keys are watched
// in the user's classes too: on Windows HKEY_CLASSES_ROOT merges them with
// the machine's, and a notification on the merged key need not tell of both.
class PlaceWatch {
public:
    bool Arm(const EntryKeyPath& place) {
        if (!keys_[0].Arm(place.root, place.path)) return false;
        if (place.root != HKEY_CLASSES_ROOT) return true;
        wchar_t userPath[kNameCapacity];
        FormatText(userPath, kNameCapacity, L"%ls%ls", kUserClassesPath, place.path);
        return keys_[1].Arm(HKEY_CURRENT_USER, userPath);
    }
    bool Fired(const EntryKeyPath& place) const {
        return keys_[0].Fired() || (place.root == HKEY_CLASSES_ROOT && keys_[1].Fired());
    }

private:
    KeyWatch keys_[2];
};

// Calls visit(entry, name) for each entry of the key that can be opened,
// until a visit returns true; returns whether one did. The key is opened
// with the rights its reading needs, so that one that can be read but not
// watched is read, and read again every time.
template <typename Visitor>
bool ForEachEntry(const EntryKeyPath& place, Visitor&& visit) {
    RegKey entries;
    if (RegOpenKeyExW(place.root, place.path, 0, KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS, entries.Put()) !=
        ERROR_SUCCESS) {
        return false;
    }
    return ForEachSubkeyName(entries.Get(), [&](const wchar_t* name) {
        RegKey entry;
        if (entry.OpenForReading(entries.Get(), name) != ERROR_SUCCESS) return false;
        return visit(entry.Get(), name);
    });
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

struct DamagedName {
    wchar_t text[kNameCapacity];
};

// What one entry came to when it was last checked, known by its name (a hash
// of it) and by the time its key was last written, which every change of a
// value of the key moves on.
struct KeptEntry {
    std::uint64_t nameHash;
    FILETIME written;
    bool opened;   // one that could not be opened is tried again every time
    bool settled;  // written well before it was checked: see kSettledAfter
    bool damaged;
    SIZE_T nameAt; // a damaged entry whose name is kept: where, among the place's names; else SIZE_MAX
};

// What one key of entries held when it was last read: each entry as above,
// how many have a damaged FilterData, and the names of the first few.
struct KeptPlace {
    EntryKeyPath place = {};
    PlaceWatch watch;
    bool known = false;
    std::size_t damaged = 0;
    HeapArray<KeptEntry> entries;
    HeapArray<DamagedName> names;
};

// The kept check: the categories the category of categories names, listed
// while its watches hold, and what each of their keys held.
struct KeptCheck {
    bool known = false;
    bool tooMany = false;
    PlaceWatch categoryWatches[kPlacesPerCategory];
    std::size_t placeCount = 0;
    KeptPlace places[kMostKeptCategories * kPlacesPerCategory];
};

KeptCheck g_kept;
std::size_t g_keysRead = 0;
std::size_t g_entriesChecked = 0;

// A key's write time moves on in steps of the system clock's tick, so two
// writes in one tick leave one time. An entry written this shortly before it
// was checked is opened again at the next reading of its key, whatever its
// time says then. (In 100 ns units: two seconds.)
constexpr std::uint64_t kSettledAfter = 20000000ull;

std::uint64_t FileTimeValue(const FILETIME& time) {
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

std::uint64_t NameHash(const wchar_t* name) {
    std::uint64_t hash = 14695981039346656037ull;
    for (; *name; ++name) hash = (hash ^ static_cast<std::uint16_t>(*name)) * 1099511628211ull;
    return hash;
}

// The entry's name as the result shows it: its FriendlyName, else its key's name.
void ReadShownName(HKEY entry, const wchar_t* keyName, DamagedName& name) {
    if (!ReadRegistryText(entry, L"FriendlyName", name.text, kNameCapacity) || name.text[0] == L'\0') {
        CopyText(name.text, kNameCapacity, keyName);
    }
}

// Reads the place's entries again. A kept place is watched first, so that a
// change made while its entries are read is seen at the next check. Each
// entry is listed with its key's last write time, and only one that is new,
// was written since, or could not be opened is opened and checked: the
// others are as they were.
void ReadPlace(KeptPlace& kept, bool keep) {
    kept.known = keep && kept.watch.Arm(kept.place);
    ++g_keysRead;
    HeapArray<KeptEntry> entries;
    HeapArray<DamagedName> names;
    std::size_t damaged = 0;
    FILETIME nowTime;
    GetSystemTimeAsFileTime(&nowTime);
    const std::uint64_t readAt = FileTimeValue(nowTime);
    RegKey key;
    if (RegOpenKeyExW(kept.place.root, kept.place.path, 0, KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS, key.Put()) ==
        ERROR_SUCCESS) {
        SIZE_T before = 0;  // the kept entry the next one is compared with
        wchar_t name[256];
        for (DWORD index = 0;; ++index) {
            DWORD length = 256;
            KeptEntry now = {};
            if (RegEnumKeyExW(key.Get(), index, name, &length, nullptr, nullptr, nullptr, &now.written) !=
                ERROR_SUCCESS) {
                break;
            }
            name[255] = L'\0';
            now.nameHash = NameHash(name);
            now.nameAt = SIZE_MAX;
            // The same entry as before, at its place in the listing or one
            // further on (one before it went away); a new entry matches none.
            const KeptEntry* was = nullptr;
            for (SIZE_T at = before; at < kept.entries.Count() && at < before + 2 && !was; ++at) {
                if (kept.entries[at].nameHash == now.nameHash) {
                    was = &kept.entries[at];
                    before = at + 1;
                }
            }
            RegKey entry;
            now.settled = FileTimeValue(now.written) + kSettledAfter < readAt;
            if (was && was->opened && was->settled && CompareFileTime(&was->written, &now.written) == 0) {
                now.opened = true;
                now.damaged = was->damaged;
            } else if (RegOpenKeyExW(key.Get(), name, 0, KEY_READ, entry.Put()) == ERROR_SUCCESS) {
                ++g_entriesChecked;
                now.opened = true;
                now.damaged = FilterDataDamaged(CheckEntryFilterData(entry.Get()));
                was = nullptr;
            }
            if (now.damaged && damaged < kDamagedNamesKept) {
                DamagedName shown;
                if (was && was->nameAt != SIZE_MAX) {
                    shown = kept.names[was->nameAt];
                } else if (entry || RegOpenKeyExW(key.Get(), name, 0, KEY_READ, entry.Put()) == ERROR_SUCCESS) {
                    ReadShownName(entry.Get(), name, shown);
                } else {
                    CopyText(shown.text, kNameCapacity, name);
                }
                now.nameAt = names.Count();
                names.Append(shown);
            }
            damaged += now.damaged ? 1 : 0;
            entries.Append(now);
        }
    }
    kept.entries.Swap(entries);
    kept.names.Swap(names);
    kept.damaged = damaged;
}

// Calls visit(place) for the keys of every category the category of
// categories names, in the order the mapper walks them, until a visit
// returns true; returns whether one did.
template <typename Visitor>
bool ForEachCategoryPlace(Visitor&& visit) {
    EntryKeyPath categoryPlaces[kPlacesPerCategory];
    EntryKeyPaths(kCategoriesId, categoryPlaces);
    ++g_keysRead;
    for (const EntryKeyPath& categoryPlace : categoryPlaces) {
        const bool stopped = ForEachEntry(categoryPlace, [&](HKEY categoryEntry, const wchar_t*) {
            wchar_t categoryId[39];
            if (!EnumeratedCategory(categoryEntry, categoryId)) return false;
            EntryKeyPath paths[kPlacesPerCategory];
            EntryKeyPaths(categoryId, paths);
            for (const EntryKeyPath& path : paths) {
                if (visit(path)) return true;
            }
            return false;
        });
        if (stopped) return true;
    }
    return false;
}

// Lists the places anew. A place listed at the same position as before keeps
// what was read from it, since its own watch tells whether it changed.
// Whether the list can be kept: its own keys are watched, and it fits.
bool ListPlaces() {
    EntryKeyPath categoryPlaces[kPlacesPerCategory];
    EntryKeyPaths(kCategoriesId, categoryPlaces);
    bool watched = true;
    for (std::size_t i = 0; i < kPlacesPerCategory; ++i) {
        watched = g_kept.categoryWatches[i].Arm(categoryPlaces[i]) && watched;
    }
    std::size_t count = 0;
    g_kept.tooMany = ForEachCategoryPlace([&](const EntryKeyPath& path) {
        if (count == kMostKeptCategories * kPlacesPerCategory) return true;
        KeptPlace& kept = g_kept.places[count++];
        if (kept.place.root != path.root || lstrcmpW(kept.place.path, path.path) != 0) {
            kept.place = path;
            kept.known = false;
        }
        return false;
    });
    g_kept.placeCount = g_kept.tooMany ? 0 : count;
    return watched && !g_kept.tooMany;
}

bool CategoriesChanged() {
    EntryKeyPath categoryPlaces[kPlacesPerCategory];
    EntryKeyPaths(kCategoriesId, categoryPlaces);
    for (std::size_t i = 0; i < kPlacesPerCategory; ++i) {
        if (g_kept.categoryWatches[i].Fired(categoryPlaces[i])) return true;
    }
    return false;
}

// Brings every place up to date, reading again only those whose keys have
// changed since they were read (or could not be watched), and calls
// visit(place) for each, in the mapper's order.
template <typename Visitor>
void CheckPlaces(Visitor&& visit) {
    if (!g_kept.known || CategoriesChanged()) g_kept.known = ListPlaces();
    if (g_kept.tooMany) {
        // More categories than are kept: every entry is read, every time.
        ForEachCategoryPlace([&](const EntryKeyPath& path) {
            KeptPlace once;
            once.place = path;
            ReadPlace(once, false);
            visit(static_cast<const KeptPlace&>(once));
            return false;
        });
        return;
    }
    for (std::size_t i = 0; i < g_kept.placeCount; ++i) {
        KeptPlace& kept = g_kept.places[i];
        if (!kept.known || kept.watch.Fired(kept.place)) ReadPlace(kept, true);
        visit(static_cast<const KeptPlace&>(kept));
    }
}

}  // namespace

bool MapperEntriesSound() {
    bool sound = true;
    CheckPlaces([&](const KeptPlace& kept) { sound = sound && kept.damaged == 0; });
    return sound;
}

void FindDamagedMapperEntries(DamagedMapperEntries& found) {
    found = DamagedMapperEntries{};
    CheckPlaces([&](const KeptPlace& kept) {
        for (SIZE_T i = 0; i < kept.names.Count() && found.count + i < kDamagedNamesKept; ++i) {
            CopyText(found.names[found.count + i], kNameCapacity, kept.names[i].text);
        }
        found.count += kept.damaged;
    });
}

void ForgetMapperEntryAt(const wchar_t* entryPath) {
    for (std::size_t i = 0; i < g_kept.placeCount; ++i) {
        KeptPlace& kept = g_kept.places[i];
        const int length = lstrlenW(kept.place.path);
        if (kept.place.root == HKEY_CLASSES_ROOT && lstrlenW(entryPath) > length && entryPath[length] == L'\\' &&
            CompareStringOrdinal(kept.place.path, length, entryPath, length, TRUE) == CSTR_EQUAL) {
            kept.known = false;
        }
    }
}

void ForgetMapperEntriesCheck() {
    g_kept.known = false;
    for (KeptPlace& kept : g_kept.places) kept.known = false;
}

std::size_t MapperEntryKeysRead() { return g_keysRead; }

std::size_t MapperEntriesChecked() { return g_entriesChecked; }
