#include "codec_inventory.h"

#include "../base/bounded_text.h"
#include "../base/hash_index.h"
#include "../catalogue/category_table.h"
#include "../catalogue/registry_text.h"
#include "../catalogue/server_path.h"
#include "../catalogue/view_registry.h"
#include "../modules/import_walk.h"
#include "../shellhandlers/shell_handlers.h"
#include "../transforms/transform_categories.h"

#include <cwchar>

namespace {

// The category whose Instance entries name the other categories.
const wchar_t kCategoryOfCategories[] = L"{DA4E3DA0-D07D-11D0-BD50-00A0C911CE86}";

bool ParseBracedGuid(const wchar_t* text, GUID* id) {
    return IsGuidText(text) && SUCCEEDED(IIDFromString(text, id));
}

// The codec of the class, or null.
LoadCodec* FindCodec(LoadCodecList& codecs, const GUID& id) {
    for (SIZE_T i = 0; i < codecs.Count(); ++i) {
        if (IsEqualGUID(codecs[i].classGuid, id)) return &codecs[i];
    }
    return nullptr;
}

// Adds the class as a codec of the kind, or the kind to its codec.
void AddCodec(LoadCodecList& codecs, const GUID& id, LoadKind kind, const wchar_t* name) {
    if (LoadCodec* known = FindCodec(codecs, id)) {
        known->kinds |= KindBit(kind);
        if (known->name[0] == L'\0' && name) CopyText(known->name, kNameCapacity, name);
        return;
    }
    LoadCodec codec = {};
    codec.classGuid = id;
    StringFromGUID2(id, codec.classId, 40);
    codec.kinds = KindBit(kind);
    if (name) CopyText(codec.name, kNameCapacity, name);
    codecs.Append(codec);
}

// The categories whose Instance entries are filters: the five, then every
// one the category of categories names, each once.
struct CategoryList {
    wchar_t names[64][40];
    int count = 0;
    void Add(const wchar_t* name) {
        if (!IsGuidText(name) || lstrcmpiW(name, kCategoryOfCategories) == 0 || count == 64) return;
        for (int i = 0; i < count; ++i) {
            if (lstrcmpiW(names[i], name) == 0) return;
        }
        CopyText(names[count++], 40, name);
    }
};

// Opens parent\path for reading; the view goes with the parent's handle.
bool OpenForReading(RegKey& key, HKEY parent, const wchar_t* path) {
    return RegOpenKeyExW(parent, path, 0, KEY_READ, key.Put()) == ERROR_SUCCESS;
}

// A text value of parent\path (nullptr: of parent), as the report reads texts
// (ReadStringValue), in one open.
bool ReadText(HKEY parent, const wchar_t* path, const wchar_t* valueName, wchar_t* text, std::size_t capacity) {
    RegKey key;
    if (!path) return ReadReportText(parent, valueName, text, capacity);
    if (!OpenForReading(key, parent, path)) {
        CopyText(text, capacity, L"");
        return false;
    }
    return ReadReportText(key.Get(), valueName, text, capacity);
}

void ReadCategories(HKEY classes, CategoryList& categories) {
    for (const CategoryEntry& entry : CategoryTable) categories.Add(entry.registryCategory);
    RegKey category, instance;
    if (!OpenForReading(category, classes, kCategoryOfCategories) ||
        !OpenForReading(instance, category.Get(), L"Instance")) {
        return;
    }
    ForEachSubkeyName(instance.Get(), [&](const wchar_t* entryName) {
        wchar_t named[40] = {};
        categories.Add(ReadText(instance.Get(), entryName, L"CLSID", named, 40) && IsGuidText(named) ? named : entryName);
        return false;
    });
}

void ReadFilters(HKEY classes, LoadCodecList& codecs) {
    CategoryList categories;
    ReadCategories(classes, categories);
    for (int i = 0; i < categories.count; ++i) {
        RegKey category, instance;
        if (!OpenForReading(category, classes, categories.names[i]) ||
            !OpenForReading(instance, category.Get(), L"Instance")) {
            continue;
        }
        ForEachSubkeyName(instance.Get(), [&](const wchar_t* entryName) {
            RegKey entry;
            if (!OpenForReading(entry, instance.Get(), entryName)) return false;
            wchar_t classId[40] = {};
            GUID id;
            // The runtime names an entry by its class id where its CLSID value is missing.
            if (!(ReadReportText(entry.Get(), L"CLSID", classId, 40) && ParseBracedGuid(classId, &id)) &&
                !ParseBracedGuid(entryName, &id)) {
                return false;
            }
            wchar_t name[kNameCapacity] = {};
            ReadReportText(entry.Get(), L"FriendlyName", name, kNameCapacity);
            AddCodec(codecs, id, LoadKindFilter, name);
            return false;
        });
    }
}

// The codecs of a key whose subkeys are named by class ids without braces
// (DMOs, transforms); a subkey of another name is no codec.
void ReadKeyedCodecs(REGSAM view, const wchar_t* path, LoadKind kind, LoadCodecList& codecs) {
    RegKey parent;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path, 0, KEY_READ | view, parent.Put()) != ERROR_SUCCESS) return;
    ForEachSubkeyName(parent.Get(), [&](const wchar_t* keyName) {
        GUID id;
        if (!ParseTransformKeyName(keyName, &id)) return false;  // "Categories", "Preferred", ...
        wchar_t name[kNameCapacity] = {};
        ReadText(parent.Get(), keyName, nullptr, name, kNameCapacity);
        AddCodec(codecs, id, kind, name);
        return false;
    });
}

// Explorer's handlers as the shell finds them (only those of the extension,
// where one is given). A class that is no other kind of codec takes its class
// key and file from the shell's reading, which looks in the user's classes
// before the machine's as the shell does; another codec's keeps its own.
void ReadShellHandlerCodecs(REGSAM view, const wchar_t* extension, LoadCodecList& codecs) {
    ShellHandlerList rows;
    ReadShellHandlers(view, rows);
    for (SIZE_T i = 0; i < rows.Count(); ++i) {
        const ShellHandlerRow& row = rows[i];
        if (extension && lstrcmpiW(row.extension, extension) != 0) continue;
        const bool known = FindCodec(codecs, row.classGuid) != nullptr;
        AddCodec(codecs, row.classGuid,
                 static_cast<LoadKind>(static_cast<int>(LoadKindShellThumbnail) + static_cast<int>(row.kind)), row.name);
        if (known) continue;
        LoadCodec& codec = codecs[codecs.Count() - 1];
        codec.classKeyFound = row.classKeyFound;
        CopyText(codec.file, kNameCapacity, row.file);
        codec.fileLocated = row.file[0] != L'\0';
    }
}

// The class key's server file as the checks take it: InprocServer32's
// default value read as COM reads it when a program makes the class.
// The server files located so far: codec packs register many classes in one
// DLL, and each is looked for on disk once.
class LocatedFiles {
public:
    explicit LocatedFiles(const DllSearch& search) : search_(search) {}
    // As DllSearch::LocateServerFile.
    bool Locate(const wchar_t* serverFile, wchar_t* path) {
        const DWORD hash = HashTextIgnoringCase(serverFile);
        const long known = index_.Find(hash, [&](SIZE_T i) {
            return CompareStringOrdinal(files_[i].serverFile, -1, serverFile, -1, TRUE) == CSTR_EQUAL;
        });
        if (known >= 0) {
            CopyText(path, kNameCapacity, files_[static_cast<SIZE_T>(known)].path);
            return files_[static_cast<SIZE_T>(known)].found;
        }
        File file;
        CopyText(file.serverFile, kNameCapacity, serverFile);
        file.found = search_.LocateServerFile(serverFile, file.path);
        CopyText(path, kNameCapacity, file.path);
        if (files_.Append(file)) index_.Add(hash, files_.Count() - 1);
        return file.found;
    }

private:
    struct File {
        wchar_t serverFile[kNameCapacity];
        wchar_t path[kNameCapacity];
        bool found;
    };
    const DllSearch& search_;
    HeapArray<File> files_;
    HashIndex index_;
};

void ReadServerFile(HKEY classes, LocatedFiles& located, LoadCodec& codec) {
    wchar_t path[64];
    FormatText(path, 64, L"%ls\\InprocServer32", codec.classId);
    wchar_t serverPath[kNameCapacity];
    DWORD serverType = REG_NONE;
    bool read = false;
    {
        RegKey server;
        if (OpenForReading(server, classes, path)) {
            read = ReadReportText(server.Get(), nullptr, serverPath, kNameCapacity);
            serverType = ServerPathType(server.Get());
        } else {
            serverPath[0] = L'\0';
        }
    }
    // The class key itself is looked at only for a codec without a server
    // file, or without a name of its registration's.
    codec.classKeyFound = true;
    if (!read || codec.name[0] == L'\0') {
        RegKey classKey;
        codec.classKeyFound = OpenForReading(classKey, classes, codec.classId);
        wchar_t objectName[kNameCapacity] = {};
        if (codec.name[0] == L'\0') {
            if (codec.classKeyFound) ReadReportText(classKey.Get(), nullptr, objectName, kNameCapacity);
            CopyText(codec.name, kNameCapacity, objectName[0] ? objectName : codec.classId);
        }
    }
    codec.file[0] = L'\0';
    codec.fileLocated = false;
    if (!read || serverPath[0] == L'\0') return;
    // Its variables expanded where its value is expandable, as COM's loading
    // (and the management dialog's check) expand them; nowhere else.
    wchar_t expanded[kNameCapacity];
    if (!ExpandServerPath(serverPath, serverType, expanded, kNameCapacity)) {
        CopyText(codec.file, kNameCapacity, serverPath);
        return;
    }
    codec.fileLocated = located.Locate(expanded, codec.file);
}

// The ACM and Video for Windows codecs, as the list of dialog 136 reads
// them: each with the file the view's programs take for it, which a driver's
// loading never searches for further.
void ReadDriverInventory(REGSAM view, LoadCodecList& codecs) {
    DriverCodecList drivers;
    // The files are judged as every codec's are, later: their facts are not needed here.
    ReadDriverCodecs(view, drivers, DriverNamesAndFiles);
    for (SIZE_T i = 0; i < drivers.Count(); ++i) {
        const DriverCodec& driver = drivers[i];
        LoadCodec codec = {};
        codec.kinds = KindBit(driver.kind == DriverVideo ? LoadKindVfw : LoadKindAcm);
        DriverNameText(driver, codec.name, kNameCapacity);
        CopyText(codec.driverName, kDriverNameCapacity, driver.name);
        codec.classKeyFound = true;
        CopyText(codec.file, kNameCapacity, driver.file);
        codec.fileLocated = true;
        // A name Windows never looks up, or one cut here, is never opened: its result is the name's.
        if (driver.nameCut || !DriverNameWorks(driver.name)) {
            codec.outcome = OutcomeFails;
            CopyText(codec.result, kNameCapacity, kDriverStateBadName);
        }
        codecs.Append(codec);
    }
}

}  // namespace

void ReadCodecInventory(REGSAM view, const DllSearch& search, LoadCodecList& codecs, LoadSources sources,
                        const wchar_t* extension) {
    codecs.Clear();
    RegKey classes;
    if (sources != DriverSourcesOnly &&
        RegOpenKeyExW(HKEY_CLASSES_ROOT, L"CLSID", 0, KEY_READ | view, classes.Put()) == ERROR_SUCCESS) {
        if (sources == AllCodecSources) {
            ReadFilters(classes.Get(), codecs);
            ReadKeyedCodecs(view, L"DirectShow\\MediaObjects", LoadKindDmo, codecs);
            ReadKeyedCodecs(view, L"MediaFoundation\\Transforms", LoadKindTransform, codecs);
        }
        LocatedFiles located(search);
        for (SIZE_T i = 0; i < codecs.Count(); ++i) ReadServerFile(classes.Get(), located, codecs[i]);
        ReadShellHandlerCodecs(view, extension, codecs);
    }
    if (sources != ShellHandlerSourcesOnly) ReadDriverInventory(view, codecs);
}

bool SameLoadCodec(const LoadCodec& a, const LoadCodec& b) {
    const bool driver = (a.kinds & kDriverKinds) != 0;
    if (driver != ((b.kinds & kDriverKinds) != 0)) return false;
    if (!driver) return IsEqualGUID(a.classGuid, b.classGuid) != FALSE;
    return a.kinds == b.kinds && lstrcmpiW(a.driverName, b.driverName) == 0;
}

bool IsDriverCodec(const LoadCodec& codec, DriverKind kind, const wchar_t* name) {
    return codec.kinds == KindBit(kind == DriverVideo ? LoadKindVfw : LoadKindAcm) &&
           lstrcmpiW(codec.driverName, name) == 0;
}

int FindTransformCategory(REGSAM view, const GUID& classId) {
    wchar_t keyName[40];
    TransformKeyName(classId, keyName);
    RegKey categories;
    if (!OpenReportKey(categories, HKEY_CLASSES_ROOT, L"MediaFoundation\\Transforms\\Categories", view)) return -1;
    for (int i = 0; i < kTransformCategoryCount; ++i) {
        wchar_t categoryName[40];
        TransformKeyName(*kTransformCategories[i].id, categoryName);
        RegKey category, entry;
        if (OpenReportKey(category, categories.Get(), categoryName, view) &&
            OpenReportKey(entry, category.Get(), keyName, view)) {
            return i;
        }
    }
    return -1;
}
