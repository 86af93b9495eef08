#include "shell_handlers.h"

#include "../base/bounded_text.h"
#include "../base/growing_text.h"
#include "../base/hash_index.h"
#include "../base/path_file_name.h"
#include "../catalogue/registry_link.h"
#include "../catalogue/registry_text.h"
#include "../catalogue/string_value.h"
#include "../registry/registry_location.h"
#include "shell_judge.h"

#include <propsys.h>
#include <shobjidl.h>

#include <algorithm>
#include <cwchar>

namespace {
// IThumbnailProvider's id, which this toolchain's uuid library does not hold.
const IID kThumbnailProviderId = {0xe357fccd, 0xa995, 0x4576, {0xb0, 0x1f, 0x23, 0x46, 0x30, 0x15, 0x4e, 0x96}};
}  // namespace

const ShellKindInfo kShellKinds[kShellKindCount] = {
    {L"эскизы", L"{E357FCCD-A995-4576-B01F-234630154E96}", &kThumbnailProviderId, L"IThumbnailProvider"},
    {L"эскизы (IExtractImage)", L"{BB2E617C-0920-11D1-9A0B-00C04FC2D6C1}", &IID_IExtractImage, L"IExtractImage"},
    {L"просмотр", L"{8895B1C6-B41F-4C1C-A562-0D564250836F}", &IID_IPreviewHandler, L"IPreviewHandler"},
    {L"свойства", nullptr, &IID_IPropertyStore, L"IPropertyStore"},
};

const wchar_t kPropertyHandlersPath[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\PropertySystem\\PropertyHandlers";
const wchar_t kBlockedPath[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Blocked";

namespace {

// The classes as the shell reads them (HKEY_CLASSES_ROOT): the user's over
// the machine's, each in the view.
struct ClassesRoots {
    RegKey roots[2];         // the user's, the machine's
    RegKey associations[2];  // their SystemFileAssociations
    wchar_t where[2][kNameCapacity];  // their names, as the registry editor names them
};

void NameWhere(HKEY key, wchar_t* where, std::size_t capacity);

void OpenClassesRoots(REGSAM view, ClassesRoots& classes) {
    RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, KEY_READ | view, classes.roots[0].Put());
    RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Classes", 0, KEY_READ | view, classes.roots[1].Put());
    for (int root = 0; root < 2; ++root) {
        classes.where[root][0] = L'\0';
        if (!classes.roots[root]) continue;
        NameWhere(classes.roots[root].Get(), classes.where[root], kNameCapacity);
        OpenKeyUnlessLink(classes.associations[root], classes.roots[root].Get(), L"SystemFileAssociations",
                          KEY_READ | view);
    }
}

// A single key name: no backslash, which would reach another key.
bool IsKeyName(const wchar_t* name) {
    return name[0] != L'\0' && std::wcslen(name) < 256 && !std::wcschr(name, L'\\');
}

bool StartsWith(const wchar_t* text, const wchar_t* prefix) {
    const std::size_t length = std::wcslen(prefix);
    return std::wcslen(text) >= length &&
           CompareStringOrdinal(text, static_cast<int>(length), prefix, static_cast<int>(length), TRUE) == CSTR_EQUAL;
}

// An extension's keys in both classes, each opened once for all its values.
struct ExtensionKeys {
    RegKey keys[2];  // the user's, the machine's
    // The value of the user's key where it has one, else of the machine's.
    bool Read(const wchar_t* name, wchar_t* text, std::size_t capacity) const {
        for (const RegKey& key : keys) {
            if (key && ReadStringValue(key.Get(), name, text, capacity) && text[0] != L'\0') return true;
        }
        CopyText(text, capacity, L"");
        return false;
    }
};

// Whether the extension is of a video or audio file: its PerceivedType, or its Content Type.
bool IsMediaExtension(const ExtensionKeys& keys, wchar_t* perceived) {
    wchar_t content[kShortTextCapacity];
    keys.Read(L"PerceivedType", perceived, kShortTextCapacity);
    if (lstrcmpiW(perceived, L"video") == 0 || lstrcmpiW(perceived, L"audio") == 0) return true;
    keys.Read(L"Content Type", content, kShortTextCapacity);
    return StartsWith(content, L"video/") || StartsWith(content, L"audio/");
}

struct ExtensionName {
    wchar_t text[kExtensionCapacity];
};

// The extension keys of both classes, each once (found again by a case-blind hash).
void ReadExtensionNames(const ClassesRoots& classes, HeapArray<ExtensionName>& names) {
    HashIndex index;
    for (const RegKey& root : classes.roots) {
        if (!root) continue;
        ForEachSubkeyName(root.Get(), [&](const wchar_t* name) {
            if (name[0] != L'.' || std::wcslen(name) >= kExtensionCapacity) return false;
            const DWORD hash = HashTextIgnoringCase(name);
            if (index.Find(hash, [&](SIZE_T i) { return lstrcmpiW(names[i].text, name) == 0; }) >= 0) return false;
            ExtensionName kept;
            CopyText(kept.text, kExtensionCapacity, name);
            if (names.Append(kept)) index.Add(hash, names.Count() - 1);
            return false;
        });
    }
}

// Names the key that holds the handler, as the registry editor names it.
void NameWhere(HKEY key, wchar_t* where, std::size_t capacity) {
    GrowingText name;
    if (AppendRealKeyName(name, key)) {
        CopyText(where, capacity, TextChars(name));
    } else {
        CopyText(where, capacity, L"?");
    }
}

// One place the shell looks at: a handler's class id there, and its key.
struct Found {
    wchar_t classId[40];
    GUID guid;
    wchar_t where[kNameCapacity];
};

// The handlers of every ShellEx kind under one place of one classes root.
struct PlaceHandlers {
    bool has[kShellKindCount];
    Found found[kShellKindCount];
};

// Where a place's key lies: below which key already open, and its name there.
enum PlaceParent {
    FromClasses,       // the classes root: a ProgID, *, AllFileSystemObjects
    FromExtension,     // the extension's own key
    FromAssociations,  // SystemFileAssociations
};

// Reads <parent>\<below>\ShellEx once (below empty: the parent's own), and
// below it each kind's key; placeWhere names the place's key.
void ReadPlace(HKEY parent, REGSAM view, const wchar_t* below, const wchar_t* placeWhere, PlaceHandlers& place) {
    for (bool& has : place.has) has = false;
    wchar_t path[kNameCapacity];
    RegKey shellEx;
    if (!parent || FormatText(path, kNameCapacity, below[0] ? L"%ls\\ShellEx" : L"ShellEx", below) != kTextOk ||
        OpenKeyPathUnlessLink(shellEx, parent, path, KEY_READ | view) != KeyOpened) {
        return;
    }
    for (int kind = 0; kind < kShellKindCount; ++kind) {
        if (!kShellKinds[kind].shellExKey) continue;
        Found& found = place.found[kind];
        RegKey key;
        if (OpenKeyUnlessLink(key, shellEx.Get(), kShellKinds[kind].shellExKey, KEY_READ | view) != KeyOpened ||
            !ReadStringValue(key.Get(), nullptr, found.classId, 40) || !IsGuidText(found.classId) ||
            FAILED(IIDFromString(found.classId, &found.guid))) {
            continue;
        }
        // Named by the way it was reached: no link is gone through on it.
        FormatText(found.where, kNameCapacity, L"%ls\\ShellEx\\%ls", placeWhere, kShellKinds[kind].shellExKey);
        place.has[kind] = true;
    }
}

// Every place of the shell's lookup for one extension, in its order; the
// shared ones are read once per reading.
struct Places {
    wchar_t bases[6][kNameCapacity];  // below the classes root
    PlaceParent parents[6];
    const wchar_t* below[6];           // below the parent ("" for the extension's own key)
    bool shared[6];
    int count = 0;
    void Add(bool isShared, PlaceParent parent, const wchar_t* name) {
        if (!IsKeyName(name)) return;
        shared[count] = isShared;
        parents[count] = parent;
        if (parent == FromAssociations) {
            FormatText(bases[count], kNameCapacity, L"SystemFileAssociations\\%ls", name);
            below[count] = bases[count] + 23;  // after "SystemFileAssociations\"
        } else {
            CopyText(bases[count], kNameCapacity, name);
            below[count] = parent == FromExtension ? L"" : bases[count];
        }
        ++count;
    }
};

void PlacesOf(const ExtensionKeys& keys, const wchar_t* extension, const wchar_t* perceived, Places& places) {
    wchar_t progId[kShortTextCapacity];
    if (keys.Read(nullptr, progId, kShortTextCapacity)) places.Add(false, FromClasses, progId);
    places.Add(false, FromExtension, extension);
    places.Add(false, FromAssociations, extension);
    if (perceived[0] != L'\0') places.Add(true, FromAssociations, perceived);
    places.Add(true, FromClasses, L"*");
    places.Add(true, FromClasses, L"AllFileSystemObjects");
}

// The key a place is read below, in one of the classes.
HKEY ParentOf(const ClassesRoots& classes, const ExtensionKeys& keys, PlaceParent parent, int root) {
    switch (parent) {
    case FromExtension: return keys.keys[root].Get();
    case FromAssociations: return classes.associations[root].Get();
    case FromClasses: break;
    }
    return classes.roots[root].Get();
}

// Reads place i of places in one of the classes.
void ReadPlaceAt(const ClassesRoots& classes, const ExtensionKeys& keys, REGSAM view, const Places& places, int i,
                 int root, PlaceHandlers& place) {
    wchar_t where[kNameCapacity];
    FormatText(where, kNameCapacity, L"%ls\\%ls", classes.where[root], places.bases[i]);
    ReadPlace(ParentOf(classes, keys, places.parents[i], root), view, places.below[i], where, place);
}

// The places every extension (or every one of a perceived type) shares: *,
// AllFileSystemObjects and SystemFileAssociations\<type>, each read once per
// reading, in both classes.
struct SharedPlace {
    wchar_t base[kNameCapacity];
    PlaceHandlers roots[2];
};

class SharedPlaces {
public:
    // Room for the places at once: a place handed out never moves.
    SharedPlaces(const ClassesRoots& classes, REGSAM view) : classes_(classes), view_(view) {
        if (!places_.Reserve(kKept)) kept_ = 0;
    }
    // Place i of places (one of the shared ones) in one of the classes.
    const PlaceHandlers* Of(const ExtensionKeys& keys, const Places& places, int i, int root) {
        const wchar_t* base = places.bases[i];
        for (SIZE_T at = 0; at < places_.Count(); ++at) {
            if (lstrcmpiW(places_[at].base, base) == 0) return &places_[at].roots[root];
        }
        // Beyond the room (a perceived type of its own for each extension), read for this extension alone.
        if (places_.Count() >= kept_) {
            ReadPlaceAt(classes_, keys, view_, places, i, root, unkept_[root]);
            return &unkept_[root];
        }
        places_.Append(SharedPlace{});
        SharedPlace& place = places_[places_.Count() - 1];
        CopyText(place.base, kNameCapacity, base);
        for (int r = 0; r < 2; ++r) ReadPlaceAt(classes_, keys, view_, places, i, r, place.roots[r]);
        return &place.roots[root];
    }

private:
    static constexpr SIZE_T kKept = 64;
    const ClassesRoots& classes_;
    REGSAM view_;
    HeapArray<SharedPlace> places_;
    SIZE_T kept_ = kKept;
    PlaceHandlers unkept_[2] = {};
};

// "<name> (<key>)" of a hidden handler, after those before.
void AddHidden(ShellHandlerRow& row, const Found& found, const wchar_t* name) {
    if (row.hidden[0] != L'\0') AppendText(row.hidden, kHiddenCapacity, L"; ");
    AppendText(row.hidden, kHiddenCapacity, name);
    AppendText(row.hidden, kHiddenCapacity, L" (");
    AppendText(row.hidden, kHiddenCapacity, found.where);
    AppendText(row.hidden, kHiddenCapacity, L")");
}

// The row's lookup fields; the judge fills the rest (a row is large: it is not emptied whole first).
void StartRow(ShellHandlerRow& row, const wchar_t* extension, ShellKind kind, const Found& found) {
    row.hidden[0] = L'\0';
    CopyText(row.extension, kExtensionCapacity, extension);
    row.kind = kind;
    row.classGuid = found.guid;
    CopyText(row.classId, 40, found.classId);
    CopyText(row.where, kNameCapacity, found.where);
}

// The extension's property handler: the machine's alone, in the view, below
// PropertyHandlers opened once per reading (handlersWhere names it).
bool FindPropertyHandler(HKEY handlers, const wchar_t* handlersWhere, REGSAM view, const wchar_t* extension,
                         Found& found) {
    RegKey key;
    if (!handlers || OpenKeyUnlessLink(key, handlers, extension, KEY_READ | view) != KeyOpened ||
        !ReadStringValue(key.Get(), nullptr, found.classId, 40) || !IsGuidText(found.classId) ||
        FAILED(IIDFromString(found.classId, &found.guid))) {
        return false;
    }
    FormatText(found.where, kNameCapacity, L"%ls\\%ls", handlersWhere, extension);
    return true;
}

// Problems first, then by extension and kind.
bool Before(const ShellHandlerRow& a, const ShellHandlerRow& b) {
    const bool problemA = IsShellProblem(a), problemB = IsShellProblem(b);
    if (problemA != problemB) return problemA;
    const int order = lstrcmpiW(a.extension, b.extension);
    if (order != 0) return order < 0;
    return a.kind < b.kind;
}

// Sorted by their numbers, then copied once in that order: a row is large.
void SortRows(ShellHandlerList& rows) {
    HeapArray<SIZE_T> order;
    ShellHandlerList sorted;
    if (!order.Reserve(rows.Count()) || !sorted.Reserve(rows.Count())) return;
    for (SIZE_T i = 0; i < rows.Count(); ++i) order.Append(i);
    std::stable_sort(order.Data(), order.Data() + order.Count(),
                     [&](SIZE_T a, SIZE_T b) { return Before(rows[a], rows[b]); });
    for (SIZE_T i = 0; i < order.Count(); ++i) sorted.Append(rows[order[i]]);
    rows.Swap(sorted);
}

}  // namespace

bool IsShellProblem(const ShellHandlerRow& row) {
    return row.state == ShellStateNotApproved || row.state == ShellStateFileFails;
}

const wchar_t* ShellFileExtension(const wchar_t* file) {
    const wchar_t* dot = nullptr;
    for (const wchar_t* at = PathFileName(file); *at; ++at) {
        if (*at == L'.') dot = at;
    }
    return dot ? dot : L".";
}

void ReadShellHandlers(REGSAM view, ShellHandlerList& rows) {
    rows.Clear();
    ClassesRoots classes;
    OpenClassesRoots(view, classes);
    HeapArray<ExtensionName> extensions;
    ReadExtensionNames(classes, extensions);
    ShellJudge judge(view);
    SharedPlaces shared(classes, view);
    RegKey propertyHandlers;
    wchar_t propertyHandlersWhere[kNameCapacity] = {};
    if (OpenKeyPathUnlessLink(propertyHandlers, HKEY_LOCAL_MACHINE, kPropertyHandlersPath, KEY_READ | view) ==
        KeyOpened) {
        NameWhere(propertyHandlers.Get(), propertyHandlersWhere, kNameCapacity);
    }
    // The extension's own places, read for it alone (on the heap: a reading may run on a thread of its own).
    HeapArray<PlaceHandlers> own;
    if (!own.Reserve(6 * 2)) return;
    for (SIZE_T e = 0; e < extensions.Count(); ++e) {
        const wchar_t* extension = extensions[e].text;
        ExtensionKeys keys;
        for (int root = 0; root < 2; ++root) {
            if (classes.roots[root]) OpenKeyUnlessLink(keys.keys[root], classes.roots[root].Get(), extension, KEY_READ | view);
        }
        wchar_t perceived[kShortTextCapacity];
        if (!IsMediaExtension(keys, perceived)) continue;
        Places places;
        PlacesOf(keys, extension, perceived, places);
        // Each place in order, the user's classes before the machine's.
        const PlaceHandlers* read[12] = {};
        own.Clear();
        for (int at = 0; at < places.count * 2; ++at) {
            const int root = at % 2;
            if (places.shared[at / 2]) {
                read[at] = shared.Of(keys, places, at / 2, root);
            } else if (own.Append(PlaceHandlers{})) {
                ReadPlaceAt(classes, keys, view, places, at / 2, root, own[own.Count() - 1]);
                read[at] = &own[own.Count() - 1];
            }
        }
        for (int kind = 0; kind < kShellKindCount; ++kind) {
            ShellHandlerRow row;
            bool haveRow = false;
            if (kind == ShellProperty) {
                Found found;
                if (!FindPropertyHandler(propertyHandlers.Get(), propertyHandlersWhere, view, extension, found)) continue;
                StartRow(row, extension, static_cast<ShellKind>(kind), found);
                haveRow = true;
            }
            // The first handler found is Explorer's, the others are never reached.
            for (int at = 0; at < places.count * 2 && kind != ShellProperty; ++at) {
                if (!read[at] || !read[at]->has[kind]) continue;
                const Found& found = read[at]->found[kind];
                if (!haveRow) {
                    StartRow(row, extension, static_cast<ShellKind>(kind), found);
                    haveRow = true;
                } else if (!IsEqualGUID(found.guid, row.classGuid)) {
                    AddHidden(row, found, judge.NameOf(found.classId));
                }
            }
            if (!haveRow) continue;
            judge.Judge(row);
            rows.Append(row);
        }
    }
    SortRows(rows);
}
