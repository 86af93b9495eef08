#include "shell_handlers.h"

#include "../base/bounded_text.h"
#include "../base/growing_text.h"
#include "../catalogue/registry_link.h"
#include "../catalogue/registry_text.h"
#include "../catalogue/string_value.h"
#include "../registry/registry_location.h"
#include "shell_judge.h"

#include <propsys.h>
#include <shobjidl.h>

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
    RegKey roots[2];  // the user's, the machine's
};

void OpenClassesRoots(REGSAM view, ClassesRoots& classes) {
    RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, KEY_READ | view, classes.roots[0].Put());
    RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Classes", 0, KEY_READ | view, classes.roots[1].Put());
}

// A text value of root\path (its default value where name is null), read
// without going through a link; empty when there is none.
bool ReadPathText(HKEY root, REGSAM view, const wchar_t* path, const wchar_t* name, wchar_t* text,
                  std::size_t capacity, RegKey* opened = nullptr) {
    CopyText(text, capacity, L"");
    RegKey key;
    if (!root || OpenKeyPathUnlessLink(key, root, path, KEY_READ | view) != KeyOpened) return false;
    const bool read = ReadStringValue(key.Get(), name, text, capacity) && text[0] != L'\0';
    if (read && opened) opened->Attach(key.Detach());
    return read;
}

// The same in the classes: the user's value where the user's classes hold it, else the machine's.
bool ReadClassesText(const ClassesRoots& classes, REGSAM view, const wchar_t* path, const wchar_t* name,
                     wchar_t* text, std::size_t capacity) {
    for (const RegKey& root : classes.roots) {
        if (ReadPathText(root.Get(), view, path, name, text, capacity)) return true;
    }
    return false;
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

// Whether the extension is of a video or audio file: its PerceivedType, or its Content Type.
bool IsMediaExtension(const ClassesRoots& classes, REGSAM view, const wchar_t* extension, wchar_t* perceived) {
    wchar_t content[kShortTextCapacity];
    ReadClassesText(classes, view, extension, L"PerceivedType", perceived, kShortTextCapacity);
    if (lstrcmpiW(perceived, L"video") == 0 || lstrcmpiW(perceived, L"audio") == 0) return true;
    ReadClassesText(classes, view, extension, L"Content Type", content, kShortTextCapacity);
    return StartsWith(content, L"video/") || StartsWith(content, L"audio/");
}

struct ExtensionName {
    wchar_t text[kExtensionCapacity];
};

// The extension keys of both classes, each once.
void ReadExtensionNames(const ClassesRoots& classes, HeapArray<ExtensionName>& names) {
    for (const RegKey& root : classes.roots) {
        if (!root) continue;
        ForEachSubkeyName(root.Get(), [&](const wchar_t* name) {
            if (name[0] != L'.' || std::wcslen(name) >= kExtensionCapacity) return false;
            for (SIZE_T i = 0; i < names.Count(); ++i) {
                if (lstrcmpiW(names[i].text, name) == 0) return false;
            }
            ExtensionName kept;
            CopyText(kept.text, kExtensionCapacity, name);
            names.Append(kept);
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

// Reads <root>\<base>\ShellEx once, and below it each kind's key.
void ReadPlace(HKEY root, REGSAM view, const wchar_t* base, PlaceHandlers& place) {
    for (bool& has : place.has) has = false;
    wchar_t path[kNameCapacity];
    RegKey shellEx;
    if (!root || FormatText(path, kNameCapacity, L"%ls\\ShellEx", base) != kTextOk ||
        OpenKeyPathUnlessLink(shellEx, root, path, KEY_READ | view) != KeyOpened) {
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
        NameWhere(key.Get(), found.where, kNameCapacity);
        place.has[kind] = true;
    }
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
    const PlaceHandlers* Of(const wchar_t* base, int root) {
        for (SIZE_T i = 0; i < places_.Count(); ++i) {
            if (lstrcmpiW(places_[i].base, base) == 0) return &places_[i].roots[root];
        }
        // Beyond the room (a perceived type of its own for each extension), read for this extension alone.
        if (places_.Count() >= kept_) {
            ReadPlace(classes_.roots[root].Get(), view_, base, unkept_[root]);
            return &unkept_[root];
        }
        places_.Append(SharedPlace{});
        SharedPlace& place = places_[places_.Count() - 1];
        CopyText(place.base, kNameCapacity, base);
        for (int r = 0; r < 2; ++r) ReadPlace(classes_.roots[r].Get(), view_, base, place.roots[r]);
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

// Every place of the shell's lookup for one extension, in its order; the
// shared ones are read once per reading.
struct Places {
    wchar_t bases[6][kNameCapacity];
    bool shared[6];
    int count = 0;
    void Add(bool isShared, const wchar_t* first, const wchar_t* second = nullptr) {
        if (!IsKeyName(second ? second : first)) return;
        shared[count] = isShared;
        if (second) FormatText(bases[count++], kNameCapacity, L"%ls\\%ls", first, second);
        else CopyText(bases[count++], kNameCapacity, first);
    }
};

void PlacesOf(const ClassesRoots& classes, REGSAM view, const wchar_t* extension, const wchar_t* perceived,
              Places& places) {
    wchar_t progId[kShortTextCapacity];
    if (ReadClassesText(classes, view, extension, nullptr, progId, kShortTextCapacity)) places.Add(false, progId);
    places.Add(false, extension);
    places.Add(false, L"SystemFileAssociations", extension);
    if (perceived[0] != L'\0') places.Add(true, L"SystemFileAssociations", perceived);
    places.Add(true, L"*");
    places.Add(true, L"AllFileSystemObjects");
}

// "<name> (<key>)" of a hidden handler, after those before.
void AddHidden(ShellHandlerRow& row, const Found& found, const wchar_t* name) {
    if (row.hidden[0] != L'\0') AppendText(row.hidden, kHiddenCapacity, L"; ");
    AppendText(row.hidden, kHiddenCapacity, name);
    AppendText(row.hidden, kHiddenCapacity, L" (");
    AppendText(row.hidden, kHiddenCapacity, found.where);
    AppendText(row.hidden, kHiddenCapacity, L")");
}

void StartRow(ShellHandlerRow& row, const wchar_t* extension, ShellKind kind, const Found& found) {
    row = ShellHandlerRow{};
    CopyText(row.extension, kExtensionCapacity, extension);
    row.kind = kind;
    row.classGuid = found.guid;
    CopyText(row.classId, 40, found.classId);
    CopyText(row.where, kNameCapacity, found.where);
}

// The extension's property handler: the machine's alone, in the view.
bool FindPropertyHandler(REGSAM view, const wchar_t* extension, Found& found) {
    wchar_t path[kNameCapacity];
    if (FormatText(path, kNameCapacity, L"%ls\\%ls", kPropertyHandlersPath, extension) != kTextOk) return false;
    RegKey key;
    if (!ReadPathText(HKEY_LOCAL_MACHINE, view, path, nullptr, found.classId, 40, &key)) return false;
    if (!IsGuidText(found.classId) || FAILED(IIDFromString(found.classId, &found.guid))) return false;
    NameWhere(key.Get(), found.where, kNameCapacity);
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

void SortRows(ShellHandlerList& rows) {
    // An insertion sort: a few hundred rows, mostly in order already.
    for (SIZE_T i = 1; i < rows.Count(); ++i) {
        const ShellHandlerRow moved = rows[i];
        SIZE_T at = i;
        for (; at > 0 && Before(moved, rows[at - 1]); --at) rows[at] = rows[at - 1];
        rows[at] = moved;
    }
}

}  // namespace

bool IsShellProblem(const ShellHandlerRow& row) {
    return row.state == ShellStateNotApproved || row.state == ShellStateFileFails;
}

void ReadShellHandlers(REGSAM view, ShellHandlerList& rows) {
    rows.Clear();
    ClassesRoots classes;
    OpenClassesRoots(view, classes);
    HeapArray<ExtensionName> extensions;
    ReadExtensionNames(classes, extensions);
    ShellJudge judge(view);
    SharedPlaces shared(classes, view);
    // The extension's own places, read for it alone (on the heap: a reading may run on a thread of its own).
    HeapArray<PlaceHandlers> own;
    if (!own.Reserve(6 * 2)) return;
    for (SIZE_T e = 0; e < extensions.Count(); ++e) {
        const wchar_t* extension = extensions[e].text;
        wchar_t perceived[kShortTextCapacity];
        if (!IsMediaExtension(classes, view, extension, perceived)) continue;
        Places places;
        PlacesOf(classes, view, extension, perceived, places);
        // Each place in order, the user's classes before the machine's.
        const PlaceHandlers* read[12] = {};
        own.Clear();
        for (int at = 0; at < places.count * 2; ++at) {
            const int root = at % 2;
            const wchar_t* base = places.bases[at / 2];
            if (places.shared[at / 2]) {
                read[at] = shared.Of(base, root);
            } else if (own.Append(PlaceHandlers{})) {
                ReadPlace(classes.roots[root].Get(), view, base, own[own.Count() - 1]);
                read[at] = &own[own.Count() - 1];
            }
        }
        for (int kind = 0; kind < kShellKindCount; ++kind) {
            ShellHandlerRow row;
            bool haveRow = false;
            if (kind == ShellProperty) {
                Found found;
                if (!FindPropertyHandler(view, extension, found)) continue;
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
