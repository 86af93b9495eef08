#include "restore_classes.h"

#include "../base/app_state.h"
#include "../base/bounded_text.h"
#include "../base/line_safety.h"
#include "../catalogue/registry_link.h"
#include "../catalogue/registry_text.h"
#include "../catalogue/server_identity.h"
#include "restore_scope.h"

#include <cwchar>

namespace {

// Keys below a class that make it run code other than its in-process server
// (another program, a handler, or another class's code): no codec's
// registration needs them, and no backup of the program holds them.
const wchar_t* const kForeignCodeKeys[] = {L"LocalServer32", L"LocalServer", L"InprocHandler32", L"TreatAs",
                                           L"AutoTreatAs"};

constexpr std::size_t kNamesKept = 3;
constexpr std::size_t kMostClassNameShown = 64;

// Where a key of the file lies below a classes root.
struct ClassesPlace {
    bool found;                        // a key below a classes root
    RestoreTarget target;
    bool wow;                          // in the 32-bit half, below Wow6432Node
    KeyPathName codecRoot;             // CLSID, DirectShow, Filter, Media Type or MediaFoundation
    KeyPathName names[kNamesKept];     // the first names below the codec root
    std::size_t count;                 // all the names below the codec root
};

void FindClassesPlace(const wchar_t* fullName, ClassesPlace& place) {
    place = ClassesPlace{};
    if (!FindRestoreTarget(fullName, place.target) || !IsClassesTarget(place.target)) return;
    const wchar_t* at = place.target.below;
    NextKeyPathName(&at, place.codecRoot);
    place.wow = SameKeyPathName(place.codecRoot, L"Wow6432Node");
    if (place.wow) NextKeyPathName(&at, place.codecRoot);
    KeyPathName name;
    while (NextKeyPathName(&at, name)) {
        if (place.count < kNamesKept) place.names[place.count] = name;
        ++place.count;
    }
    place.found = true;
}

bool IsClassKeyPlace(const ClassesPlace& place) {
    return place.found && SameKeyPathName(place.codecRoot, L"CLSID") && place.count >= 1;
}

// Whether the place is CLSID\<category>\Instance\<entry>, or below one.
bool IsInstanceEntryPlace(const ClassesPlace& place) {
    return IsClassKeyPlace(place) && place.count >= 3 && SameKeyPathName(place.names[1], L"Instance");
}

// A name of a path as a terminated text (a key's name has at most 255 characters).
void NameText(const KeyPathName& name, wchar_t (&text)[256]) {
    const std::size_t length = name.length < 255 ? name.length : 255;
    wmemcpy(text, name.start, length);
    text[length] = L'\0';
}

// Opens <base>\[Wow6432Node\]path under root for reading, never through a link.
KeyOpening OpenInHalf(HKEY root, const wchar_t* base, bool wow, const wchar_t* path, RegKey& key, LONG* status) {
    GrowingText below;
    if (wow) AppendString(below, L"Wow6432Node\\");
    AppendString(below, path);
    if (below.failed) {
        *status = ERROR_NOT_ENOUGH_MEMORY;
        return KeyNotOpened;
    }
    RestoreTarget target;
    target.root = root;
    target.base = base;
    target.below = TextChars(below);
    return OpenRestoreKey(target, false, KEY_READ, key, status);
}

// Whether a key is there (a link, or one that cannot be opened, is there too).
bool KeyIsThere(HKEY root, const wchar_t* base, bool wow, const wchar_t* path) {
    RegKey key;
    LONG status = ERROR_SUCCESS;
    return OpenInHalf(root, base, wow, path, key, &status) != KeyNotOpened || status != ERROR_FILE_NOT_FOUND;
}

bool KeyOpens(HKEY root, const wchar_t* base, bool wow, const wchar_t* path) {
    RegKey key;
    LONG status = ERROR_SUCCESS;
    return OpenInHalf(root, base, wow, path, key, &status) == KeyOpened;
}

// What the Instance entries of one half of one root's classes name now: each
// entry's name and its CLSID value, read once for a file.
struct InstanceNames {
    bool read = false;
    GrowingText texts;  // each terminated
    HeapArray<std::size_t> starts;
};

void AddName(InstanceNames& names, const wchar_t* text) {
    const std::size_t start = names.texts.length;
    AppendString(names.texts, text);
    AppendChar(names.texts, L'\0');
    if (!names.texts.failed) names.starts.Append(start);
}

void ReadInstanceNames(HKEY root, const wchar_t* base, bool wow, InstanceNames& names) {
    names.read = true;
    RegKey classes;
    LONG status = ERROR_SUCCESS;
    if (OpenInHalf(root, base, wow, L"CLSID", classes, &status) != KeyOpened) return;
    constexpr REGSAM kReading = KEY_READ | KEY_WOW64_64KEY;
    ForEachSubkeyName(classes.Get(), [&](const wchar_t* category) {
        RegKey categoryKey;
        RegKey instance;
        if (OpenKeyUnlessLink(categoryKey, classes.Get(), category, kReading) != KeyOpened ||
            OpenKeyUnlessLink(instance, categoryKey.Get(), L"Instance", kReading) != KeyOpened) {
            return false;
        }
        ForEachSubkeyName(instance.Get(), [&](const wchar_t* entryName) {
            AddName(names, entryName);
            RegKey entry;
            wchar_t classId[kNameCapacity];
            if (OpenKeyUnlessLink(entry, instance.Get(), entryName, kReading) == KeyOpened &&
                ReadRegistryText(entry.Get(), L"CLSID", classId, kNameCapacity)) {
                AddName(names, classId);
            }
            return false;
        });
        return false;
    });
}

bool HoldsName(const InstanceNames& names, const wchar_t* text) {
    for (SIZE_T i = 0; i < names.starts.Count(); ++i) {
        if (CompareStringOrdinal(TextChars(names.texts) + names.starts[i], -1, text, -1, TRUE) == CSTR_EQUAL) return true;
    }
    return false;
}

// The class id without its braces, as DMO and transform keys are named;
// false for a class id that is no GUID's text.
bool BracelessGuid(const wchar_t* classId, wchar_t (&braceless)[37]) {
    if (!IsGuidText(classId)) return false;
    wmemcpy(braceless, classId + 1, 36);
    braceless[36] = L'\0';
    return true;
}

// How a class the file writes was judged.
enum ClassVerdict {
    ClassCodecNow,      // a codec now: written
    ClassCodecByFile,   // no class key now, registered as a codec by the file: written
    ClassSameServer,    // no class key now, served by the file of a codec the file writes: written
    ClassUndecided,     // no class key now and not registered by the file: judged by its server
    ClassRefused,       // exists and is no codec, or none of the above
};

struct ClassRecord {
    HKEY root;
    bool wow;
    const wchar_t* base;
    wchar_t id[256];
    ClassVerdict verdict;
};

struct Judging {
    const RegFileContents& contents;
    HeapArray<ClassesPlace> places;  // one per entry of contents; found only for keys below a classes root
    InstanceNames instances[2][2];   // [machine, user][own half, Wow6432Node]
    HeapArray<ClassRecord> records;
};

InstanceNames& InstancesOf(Judging& judging, HKEY root, bool wow) {
    return judging.instances[root == HKEY_CURRENT_USER ? 1 : 0][wow ? 1 : 0];
}

// Whether the class is a codec now in the half of that root.
bool IsCodecIn(Judging& judging, HKEY root, const wchar_t* base, bool wow, const wchar_t* classId) {
    wchar_t braceless[37];
    wchar_t path[kNameCapacity];
    if (BracelessGuid(classId, braceless)) {
        FormatText(path, kNameCapacity, L"DirectShow\\MediaObjects\\%ls", braceless);
        if (KeyOpens(root, base, wow, path)) return true;
        FormatText(path, kNameCapacity, L"MediaFoundation\\Transforms\\%ls", braceless);
        if (KeyOpens(root, base, wow, path)) return true;
    }
    InstanceNames& names = InstancesOf(judging, root, wow);
    if (!names.read) ReadInstanceNames(root, base, wow, names);
    return HoldsName(names, classId);
}

// Whether the category's class key holds an Instance key now, in the half of that root.
bool HoldsInstanceKey(const ClassesPlace& place, const wchar_t* category) {
    wchar_t path[kNameCapacity];
    return FormatText(path, kNameCapacity, L"CLSID\\%ls\\Instance", category) == kTextOk &&
           KeyOpens(place.target.root, place.target.base, place.wow, path);
}

bool SameHalf(const ClassesPlace& place, const ClassRecord& record) {
    return place.target.root == record.root && place.wow == record.wow;
}

// Whether the file registers the class as a codec in the record's half: an
// Instance entry of it (by name, or by the CLSID value the file gives the
// entry), its DMO key or its transform key among the file's keys.
bool FileRegistersCodec(Judging& judging, const ClassRecord& record) {
    wchar_t braceless[37];
    const bool guid = BracelessGuid(record.id, braceless);
    for (std::size_t i = 0; i < judging.contents.count; ++i) {
        const ClassesPlace& place = judging.places[i];
        if (!place.found || !SameHalf(place, record)) continue;
        if (IsInstanceEntryPlace(place)) {
            wchar_t category[256];
            wchar_t classId[kNameCapacity];
            NameText(place.names[0], category);
            const RegFileEntry* value = place.count == 3 ? RegFileValueOf(judging.contents, i, L"CLSID") : nullptr;
            const bool names = SameKeyPathName(place.names[2], record.id) ||
                               (value && RegFileValueText(judging.contents, *value, classId, kNameCapacity) &&
                                CompareStringOrdinal(classId, -1, record.id, -1, TRUE) == CSTR_EQUAL);
            if (names && HoldsInstanceKey(place, category)) return true;
            continue;
        }
        if (!guid || place.count < 2 || !SameKeyPathName(place.names[1], braceless)) continue;
        if ((SameKeyPathName(place.codecRoot, L"DirectShow") && SameKeyPathName(place.names[0], L"MediaObjects")) ||
            (SameKeyPathName(place.codecRoot, L"MediaFoundation") && SameKeyPathName(place.names[0], L"Transforms"))) {
            return true;
        }
    }
    return false;
}

// The server the file gives the class in the record's half (the default
// value of its InprocServer32 key), into server; false when it gives none.
bool FileServerOf(const Judging& judging, const ClassRecord& record, wchar_t* server) {
    for (std::size_t i = 0; i < judging.contents.count; ++i) {
        const ClassesPlace& place = judging.places[i];
        if (!IsClassKeyPlace(place) || !SameHalf(place, record) || place.count != 2 ||
            !SameKeyPathName(place.names[0], record.id) || !SameKeyPathName(place.names[1], L"InprocServer32")) {
            continue;
        }
        const RegFileEntry* value = RegFileValueOf(judging.contents, i, L"");
        if (value && RegFileValueText(judging.contents, *value, server, kNameCapacity) && server[0] != L'\0') return true;
    }
    return false;
}

// Judges a class by what the registry holds now and what the file holds.
ClassVerdict JudgeClass(Judging& judging, const ClassRecord& record) {
    // The user's classes override the machine's: either makes a class there.
    bool codec = IsCodecIn(judging, record.root, record.base, record.wow, record.id);
    bool exists = false;
    wchar_t path[kNameCapacity];
    FormatText(path, kNameCapacity, L"CLSID\\%ls", record.id);
    exists = KeyIsThere(record.root, record.base, record.wow, path);
    if (record.root == HKEY_CURRENT_USER) {
        codec = codec || IsCodecIn(judging, HKEY_LOCAL_MACHINE, record.base, record.wow, record.id);
        exists = exists || KeyIsThere(HKEY_LOCAL_MACHINE, record.base, record.wow, path);
    }
    if (codec) return ClassCodecNow;
    if (exists) return ClassRefused;
    return FileRegistersCodec(judging, record) ? ClassCodecByFile : ClassUndecided;
}

// A class with no class key that the file does not register is written when
// its server is the file of a codec class the file writes, as a codec file's
// other classes (its property pages, say) are in its unregistration's backup.
void JudgeByServer(Judging& judging, ClassRecord& record) {
    record.verdict = ClassRefused;
    wchar_t server[kNameCapacity];
    if (!FileServerOf(judging, record, server)) return;
    for (SIZE_T i = 0; i < judging.records.Count(); ++i) {
        const ClassRecord& codec = judging.records[i];
        if (codec.verdict != ClassCodecNow && codec.verdict != ClassCodecByFile) continue;
        wchar_t codecServer[kNameCapacity];
        if (FileServerOf(judging, codec, codecServer) && SameServerFile(server, codecServer)) {
            record.verdict = ClassSameServer;
            return;
        }
    }
}

ClassRecord* FindRecord(Judging& judging, const ClassesPlace& place) {
    for (SIZE_T i = 0; i < judging.records.Count(); ++i) {
        ClassRecord& record = judging.records[i];
        if (SameHalf(place, record) && SameKeyPathName(place.names[0], record.id)) return &record;
    }
    return nullptr;
}

bool IsForeignCodeKey(const KeyPathName& name) {
    for (const wchar_t* foreign : kForeignCodeKeys) {
        if (SameKeyPathName(name, foreign)) return true;
    }
    return false;
}

}  // namespace

void JudgeClassKeys(const RegFileContents& contents, ClassesOfFile& result) {
    Judging judging{contents, {}, {}, {}};
    // Every key's place, and each class the file writes once.
    for (std::size_t i = 0; i < contents.count; ++i) {
        ClassesPlace place;
        const RegFileEntry& entry = RegFileEntryAt(contents, i);
        if (entry.kind == RegFileKey) FindClassesPlace(RegFileEntryName(contents, entry), place);
        else place = ClassesPlace{};
        if (!judging.places.Append(place)) {
            result.failed = true;
            return;
        }
        if (!IsClassKeyPlace(place) || IsInstanceEntryPlace(place) || FindRecord(judging, place)) continue;
        ClassRecord record = {place.target.root, place.wow, place.target.base, {}, ClassUndecided};
        NameText(place.names[0], record.id);
        const WrittenClass written = {i, static_cast<std::size_t>(place.names[0].start + place.names[0].length -
                                                                   RegFileEntryName(contents, entry))};
        if (!judging.records.Append(record) || !result.classes.Append(written)) {
            result.failed = true;
            return;
        }
    }
    for (SIZE_T i = 0; i < judging.records.Count(); ++i) judging.records[i].verdict = JudgeClass(judging, judging.records[i]);
    for (SIZE_T i = 0; i < judging.records.Count(); ++i) {
        if (judging.records[i].verdict == ClassUndecided) JudgeByServer(judging, judging.records[i]);
    }
    // The first key that may not be written.
    for (std::size_t i = 0; i < contents.count; ++i) {
        const ClassesPlace& place = judging.places[i];
        if (!IsClassKeyPlace(place)) continue;
        bool refused = false;
        if (place.count >= 2 && IsForeignCodeKey(place.names[1])) {
            refused = true;
        } else if (place.count >= 2 && SameKeyPathName(place.names[1], L"Instance")) {
            // Instance entries only, of a category that has its Instance key now.
            wchar_t category[256];
            NameText(place.names[0], category);
            refused = place.count < 3 || !HoldsInstanceKey(place, category);
        } else {
            const ClassRecord* record = FindRecord(judging, place);
            refused = !record || record->verdict == ClassRefused;
        }
        if (refused) {
            result.refusedLine = RegFileEntryAt(contents, i).line;
            return;
        }
    }
}

void AppendWrittenClass(GrowingText& line, const RegFileContents& contents, const WrittenClass& written) {
    const wchar_t* entryName = RegFileEntryName(contents, RegFileEntryAt(contents, written.entry));
    GrowingText keyName;
    AppendChars(keyName, entryName, written.nameLength);
    AppendSafeInLine(line, TextChars(keyName), L'?');
    ClassesPlace classPlace;
    FindClassesPlace(TextChars(keyName), classPlace);
    if (!IsClassKeyPlace(classPlace)) return;
    wchar_t classId[256];
    NameText(classPlace.names[0], classId);

    // The class key's default value in the file, else the FriendlyName of an
    // Instance entry of the file that names the class, else the registry's.
    wchar_t name[kNameCapacity] = {};
    for (std::size_t i = 0; i < contents.count && name[0] == L'\0'; ++i) {
        const RegFileEntry& entry = RegFileEntryAt(contents, i);
        if (entry.kind != RegFileKey) continue;
        const wchar_t* keyLine = RegFileEntryName(contents, entry);
        const RegFileEntry* value = nullptr;
        if (CompareStringOrdinal(keyLine, -1, TextChars(keyName), -1, TRUE) == CSTR_EQUAL) {
            value = RegFileValueOf(contents, i, L"");
        } else {
            ClassesPlace place;
            FindClassesPlace(keyLine, place);
            wchar_t named[kNameCapacity];
            const RegFileEntry* classValue = IsInstanceEntryPlace(place) && place.count == 3
                                                 ? RegFileValueOf(contents, i, L"CLSID")
                                                 : nullptr;
            if (IsInstanceEntryPlace(place) && place.count == 3 && place.target.root == classPlace.target.root &&
                place.wow == classPlace.wow &&
                (SameKeyPathName(place.names[2], classId) ||
                 (classValue && RegFileValueText(contents, *classValue, named, kNameCapacity) &&
                  CompareStringOrdinal(named, -1, classId, -1, TRUE) == CSTR_EQUAL))) {
                value = RegFileValueOf(contents, i, L"FriendlyName");
            }
        }
        if (value) RegFileValueText(contents, *value, name, kNameCapacity);
    }
    if (name[0] == L'\0') {
        RegKey key;
        LONG status = ERROR_SUCCESS;
        if (OpenRestoreKey(classPlace.target, false, KEY_READ, key, &status) == KeyOpened) {
            ReadRegistryText(key.Get(), nullptr, name, kNameCapacity);
        }
    }
    if (name[0] == L'\0') return;
    AppendString(line, L" (");
    AppendSafeInLineCut(line, name, kMostClassNameShown, L'?');
    AppendChar(line, L')');
}
