#include "transform_list.h"

#include "../base/bounded_text.h"
#include "../base/line_safety.h"
#include "../catalogue/playback_preferences.h"
#include "../catalogue/registry_link.h"
#include "../catalogue/registry_text.h"
#include "../catalogue/media_subtype_name.h"
#include "../catalogue/server_file_facts.h"
#include "../catalogue/view_registry.h"
#include "../registry/transform_keys.h"
#include "transform_categories.h"
#include "transform_enumeration.h"

#include <mfapi.h>
#include <mftransform.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cwchar>

const wchar_t kTransformStatusNoTransformKey[] = L"нет записи кодека";
const wchar_t kTransformStatusTypesDamaged[] = L"данные типов повреждены";

namespace {

const wchar_t kUnnamed[] = L"(без имени)";

// MFTFlags bits that the type column names (the others say nothing a user needs).
constexpr DWORD kFlagAsync = 0x2;
constexpr DWORD kFlagHardware = 0x4;
constexpr DWORD kFlagTranscodeOnly = 0x20;

// A new zeroed row at the end of the list, or null when memory ran out.
TransformRow* AddRow(TransformList& list) {
    const SIZE_T needed = (list.count + 1) * sizeof(TransformRow);
    if (needed > list.records.Size() && !list.records.Reserve(needed * 2)) {
        list.failed = true;
        return nullptr;
    }
    TransformRow* row = &TransformAt(list, list.count++);
    *row = {};
    row->status = kServerFileOk;
    return row;
}

void AppendWord(wchar_t* text, std::size_t capacity, const wchar_t* word) {
    if (text[0] != L'\0') AppendText(text, capacity, L", ");
    AppendText(text, capacity, word);
}

void NameType(TransformRow& row, DWORD flags) {
    CopyText(row.type, kShortTextCapacity, L"");
    if (flags & kFlagHardware) AppendWord(row.type, kShortTextCapacity, L"аппаратный");
    if (flags & kFlagAsync) AppendWord(row.type, kShortTextCapacity, L"асинхронный");
    if (row.packaged) AppendWord(row.type, kShortTextCapacity, L"пакет Windows");
    if (flags & kFlagTranscodeOnly) AppendWord(row.type, kShortTextCapacity, L"только перекодирование");
}

// The class id from the entry's name: "{...}" in the platform's spelling
// where the name is a GUID in any spelling, the name itself otherwise.
void TakeClassId(TransformRow& row, const wchar_t* keyName) {
    CopyText(row.keyName, kShortTextCapacity, keyName);
    row.classIdIsGuid = ParseTransformKeyName(keyName, &row.id);
    if (row.classIdIsGuid) {
        StringFromGUID2(row.id, row.classId, kShortTextCapacity);
    } else {
        row.id = GUID_NULL;
        CopyText(row.classId, kShortTextCapacity, keyName);
    }
}

// The server files found so far in one read of a view, with their facts and
// status: transforms of one codec file share it, and its version resource is
// then read once. Missing files are not kept (nothing of theirs is costly to
// read again), and only the first files found, so that a lookup stays short.
class FoundFiles {
public:
    // The facts and status of the file as a row names it (shown and judged), or null.
    const wchar_t* Find(const wchar_t* path, const wchar_t* judged, DWORD type, const wchar_t** status) const {
        for (std::size_t i = 0; i < count_; ++i) {
            const Entry& entry = At(i);
            if (std::wcscmp(entry.path, path) == 0 && std::wcscmp(entry.judged, judged) == 0 && entry.type == type) {
                *status = entry.status;
                return entry.facts;
            }
        }
        return nullptr;
    }
    void Add(const wchar_t* path, const wchar_t* judged, DWORD type, const wchar_t* facts, const wchar_t* status) {
        if (count_ == kAtMost || !entries_.Reserve((count_ + 1) * sizeof(Entry))) return;
        Entry& entry = At(count_++);
        entry.type = type;
        CopyText(entry.path, kNameCapacity, path);
        CopyText(entry.judged, kNameCapacity, judged);
        CopyText(entry.facts, kNameCapacity, facts);
        entry.status = status;
    }

private:
    struct Entry {
        wchar_t path[kNameCapacity];
        wchar_t judged[kNameCapacity];
        wchar_t facts[kNameCapacity];
        DWORD type;
        const wchar_t* status;
    };
    static constexpr std::size_t kAtMost = 64;
    Entry& At(std::size_t i) const { return reinterpret_cast<Entry*>(entries_.Get())[i]; }
    HeapBuffer entries_;
    std::size_t count_ = 0;
};

// The class key's server file, judged as the scan judges it; the status it
// gives, or "нет раздела класса" for a class id that is no GUID.
const wchar_t* ReadServerFile(HKEY classes, REGSAM view, FoundFiles& files, TransformRow& row, bool* classKeyFoundOut) {
    wchar_t judged[kNameCapacity] = {};
    const bool classKeyFound = row.classIdIsGuid && classes &&
                               ReadClassFactsIn(classes, view, row.classId, nullptr, row.serverPath, kNameCapacity,
                                                judged, &row.serverPathType);
    *classKeyFoundOut = classKeyFound;
    if (!classKeyFound) return JudgeServerFile(view, false, judged, row.serverPathType);
    const wchar_t* shown = row.serverPath[0] ? row.serverPath : L"(не указан)";
    const wchar_t* status = nullptr;
    if (const wchar_t* known = files.Find(row.serverPath, judged, row.serverPathType, &status)) {
        FormatText(row.file, kNameCapacity, L"%s (%s)", shown, known);
        return status;
    }
    wchar_t facts[kNameCapacity];
    const bool found = DescribeServerFile(view, row.serverPath, row.serverPathType, facts, kNameCapacity);
    FormatText(row.file, kNameCapacity, L"%s (%s)", shown, facts);
    status = JudgeServerFile(view, true, judged, row.serverPathType);
    if (found) files.Add(row.serverPath, judged, row.serverPathType, facts, status);
    return status;
}

// One category entry with its transform key, when that opens.
void ReadRegisteredRow(REGSAM view, HKEY classes, HKEY transforms, FoundFiles& files, const wchar_t* keyName,
                       TransformRow& row) {
    TakeClassId(row, keyName);
    // An entry named like a key of the Transforms key's own stands for no
    // transform: that key holds Windows' preferences or the categories.
    if (IsTransformsOwnKeyName(keyName)) {
        row.status = kTransformStatusNoTransformKey;
        return;
    }
    bool classKeyFound = false;
    const wchar_t* fileStatus = ReadServerFile(classes, view, files, row, &classKeyFound);
    RegKey key;
    LONG status = ERROR_SUCCESS;
    const KeyOpening opening = OpenKeyUnlessLink(key, transforms, keyName, KEY_READ | view, &status);
    row.transformKeyFound = opening == KeyOpened;
    if (opening == KeyIsLink) {
        row.status = kLinkNotOpenedStatus;
        return;
    }
    if (opening != KeyOpened) {
        row.status = kTransformStatusNoTransformKey;
        return;
    }
    ReadReportText(key.Get(), nullptr, row.name, kNameCapacity);
    DWORD flags = 0;
    DWORD type = REG_NONE;
    DWORD size = sizeof(flags);
    if (RegQueryValueExW(key.Get(), L"MFTFlags", nullptr, &type, reinterpret_cast<BYTE*>(&flags), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof(flags)) {
        flags = 0;
    }
    NameType(row, flags);
    const bool inputsWhole = ReadTypeList(key.Get(), L"InputTypes", row.inputs, kFormatsCapacity);
    const bool outputsWhole = ReadTypeList(key.Get(), L"OutputTypes", row.outputs, kFormatsCapacity);
    // A missing class key comes first, as the scan's; damaged types then,
    // whatever the file.
    row.status = classKeyFound && !(inputsWhole && outputsWhole) ? kTransformStatusTypesDamaged : fileStatus;
}

// Every entry of the category's key in the view, each with its transform key.
void ReadRegisteredTransforms(REGSAM view, int category, FoundFiles& files, TransformList& list) {
    RegKey foundation, transforms, categories, entries;
    wchar_t categoryName[40];
    TransformKeyName(*kTransformCategories[category].id, categoryName);
    if (!OpenReportKey(foundation, HKEY_CLASSES_ROOT, L"MediaFoundation", view) ||
        !OpenReportKey(transforms, foundation.Get(), L"Transforms", view) ||
        !OpenReportKey(categories, transforms.Get(), L"Categories", view) ||
        !OpenReportKey(entries, categories.Get(), categoryName, view)) {
        return;
    }
    RegKey classes;
    OpenReportKey(classes, HKEY_CLASSES_ROOT, L"CLSID", view);
    // Room for every entry at once, so that the rows are not moved while they are added.
    DWORD entryCount = 0;
    if (RegQueryInfoKeyW(entries.Get(), nullptr, nullptr, nullptr, &entryCount, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
        list.records.Reserve((list.count + entryCount + 4) * sizeof(TransformRow));
    }
    ForEachSubkeyName(entries.Get(), [&](const wchar_t* keyName) {
        TransformRow* row = AddRow(list);
        if (!row) return true;
        row->category = category;
        ReadRegisteredRow(view, classes.Get(), transforms.Get(), files, keyName, *row);
        return false;
    });
}

// The rows of a range that hold a class id, ordered by it, so that a class is
// found among thousands of rows without comparing it with each.
struct ClassIndexEntry {
    GUID id;
    std::size_t row;
};

bool ClassLess(const ClassIndexEntry& a, const ClassIndexEntry& b) {
    const int order = std::memcmp(&a.id, &b.id, sizeof(GUID));
    return order != 0 ? order < 0 : a.row < b.row;
}

struct ClassIndex {
    HeapBuffer entries;
    std::size_t count = 0;
    ClassIndexEntry* Begin() const { return reinterpret_cast<ClassIndexEntry*>(entries.Get()); }
};

// False when memory ran out.
bool IndexClasses(const TransformList& list, std::size_t from, std::size_t to, ClassIndex& index) {
    index.count = 0;
    if (!index.entries.Reserve((to - from + 1) * sizeof(ClassIndexEntry))) return false;
    for (std::size_t i = from; i < to; ++i) {
        const TransformRow& row = TransformAt(list, i);
        if (row.classIdIsGuid) index.Begin()[index.count++] = {row.id, i};
    }
    std::sort(index.Begin(), index.Begin() + index.count, ClassLess);
    return true;
}

// Calls visit(row) for each indexed row of the class.
template <typename Visitor>
void ForEachRowOfClass(const TransformList& list, const ClassIndex& index, const GUID& id, Visitor&& visit) {
    const ClassIndexEntry wanted = {id, 0};
    ClassIndexEntry* at = std::lower_bound(index.Begin(), index.Begin() + index.count, wanted, ClassLess);
    for (; at != index.Begin() + index.count && IsEqualGUID(at->id, id); ++at) visit(TransformAt(list, at->row));
}

// Calls visit(row) for each row that classId (a Preferred value's data or a
// DoNotUse name) names: by class in any spelling, or by the entry's own name
// where that is no GUID.
template <typename Visitor>
void ForEachRowNamed(const TransformList& list, const ClassIndex& index, const wchar_t* classId, Visitor&& visit) {
    GUID id;
    if (ParseClassIdText(classId, &id)) {
        ForEachRowOfClass(list, index, id, visit);
        return;
    }
    for (std::size_t i = 0; i < list.count; ++i) {
        TransformRow& row = TransformAt(list, i);
        if (!row.classIdIsGuid && lstrcmpiW(row.keyName, classId) == 0) visit(row);
    }
}

void ReadTypeAttribute(IMFAttributes* object, const GUID& key, wchar_t* text) {
    UINT32 bytes = 0;
    if (FAILED(object->GetBlobSize(key, &bytes)) || bytes == 0) return;
    HeapBuffer blob;
    if (!blob.Reserve(bytes) || FAILED(object->GetBlob(key, blob.Get(), bytes, &bytes))) return;
    NameTypeList(blob.Get(), bytes - bytes % (2 * sizeof(GUID)), text, kFormatsCapacity);
}

// Adds, as packaged rows of the category, the transforms that the
// activation objects describe and neither the rows from..to nor the rows
// added here hold (by class id).
void AddPackagedBeside(TransformList& list, std::size_t from, std::size_t to, IMFAttributes* const* objects,
                       unsigned count, int category) {
    ClassIndex index;
    if (!IndexClasses(list, from, to, index)) {
        list.failed = true;
        return;
    }
    const std::size_t firstAdded = list.count;
    for (unsigned i = 0; i < count; ++i) {
        IMFAttributes* object = objects[i];
        if (!object) continue;
        GUID id = GUID_NULL;
        wchar_t keyName[40] = {};
        if (SUCCEEDED(object->GetGUID(MFT_TRANSFORM_CLSID_Attribute, &id))) TransformKeyName(id, keyName);
        bool held = false;
        ForEachRowOfClass(list, index, id, [&](const TransformRow&) { held = true; });
        for (std::size_t added = firstAdded; added < list.count && !held; ++added) {
            held = lstrcmpiW(TransformAt(list, added).keyName, keyName) == 0;
        }
        if (held) continue;
        TransformRow* row = AddRow(list);
        if (!row) return;
        TakeClassId(*row, keyName);
        row->category = category;
        row->packaged = true;
        wchar_t* name = nullptr;
        UINT32 length = 0;
        if (SUCCEEDED(object->GetAllocatedString(MFT_FRIENDLY_NAME_Attribute, &name, &length)) && name) {
            CopyText(row->name, kNameCapacity, name);
            CoTaskMemFree(name);
        }
        UINT32 flags = 0;
        if (FAILED(object->GetUINT32(MF_TRANSFORM_FLAGS_Attribute, &flags))) flags = 0;
        NameType(*row, flags);
        ReadTypeAttribute(object, MFT_INPUT_TYPES_Attributes, row->inputs);
        ReadTypeAttribute(object, MFT_OUTPUT_TYPES_Attributes, row->outputs);
        CopyText(row->file, kNameCapacity, L"(в пакете Windows)");
    }
}

int CompareRows(const void* left, const void* right) {
    const auto* a = *static_cast<const TransformRow* const*>(left);
    const auto* b = *static_cast<const TransformRow* const*>(right);
    const int order = CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a->name, -1, b->name, -1);
    if (order != CSTR_EQUAL) return order - CSTR_EQUAL;
    return lstrcmpiW(a->keyName, b->keyName);
}

}  // namespace

TransformRow& TransformAt(const TransformList& list, std::size_t index) {
    return reinterpret_cast<TransformRow*>(list.records.Get())[index];
}

void AddPackagedTransforms(TransformList& list, IMFAttributes* const* objects, unsigned count, int category) {
    AddPackagedBeside(list, 0, list.count, objects, count, category);
}

void NoteTransformPreferences(REGSAM view, TransformList& list) {
    ClassIndex index;
    if (!IndexClasses(list, 0, list.count, index)) {
        list.failed = true;
        return;
    }
    ForEachPreferredTransform(view, [&](const wchar_t* subtypeText, const wchar_t* classId) {
        wchar_t subtype[kShortTextCapacity];
        NameMediaSubtypeText(subtypeText, subtype, kShortTextCapacity);
        ForEachRowNamed(list, index, classId, [&](TransformRow& row) {
            // Further subtypes join the row's one "preferred" note, which comes first.
            AppendText(row.note, kNameCapacity, row.note[0] ? L", " : L"предпочтительный для: ");
            AppendText(row.note, kNameCapacity, subtype);
        });
    });
    ForEachBlockedTransform(view, [&](const wchar_t* classId) {
        ForEachRowNamed(list, index, classId, [&](TransformRow& row) {
            if (std::wcsstr(row.note, L"отключен (DoNotUse)")) return;
            if (row.note[0] != L'\0') AppendText(row.note, kNameCapacity, L"; ");
            AppendText(row.note, kNameCapacity, L"отключен (DoNotUse)");
        });
    });
}

void SortTransformRows(TransformList& list) {
    if (list.count < 2) return;
    // The rows are large: their addresses are sorted, and each row is then
    // copied once into its place.
    HeapBuffer order, sorted;
    if (!order.Reserve(list.count * sizeof(TransformRow*)) || !sorted.Reserve(list.count * sizeof(TransformRow))) {
        list.failed = true;
        return;
    }
    auto** rows = reinterpret_cast<TransformRow**>(order.Get());
    for (std::size_t i = 0; i < list.count; ++i) rows[i] = &TransformAt(list, i);
    std::qsort(rows, list.count, sizeof(TransformRow*), CompareRows);
    auto* target = reinterpret_cast<TransformRow*>(sorted.Get());
    for (std::size_t i = 0; i < list.count; ++i) std::memcpy(&target[i], rows[i], sizeof(TransformRow));
    std::memcpy(list.records.Get(), target, list.count * sizeof(TransformRow));
}

namespace {

// The rows of the categories (indexes into kTransformCategories) in the
// view, with their notes, sorted by name; the platform's enumeration is
// started once for all of them.
void ReadCategories(REGSAM view, const int* categories, int count, TransformList& list) {
    std::size_t from[kTransformCategoryCount] = {}, to[kTransformCategoryCount] = {};
    const GUID* ids[kTransformCategoryCount] = {};
    count = count < kTransformCategoryCount ? count : kTransformCategoryCount;
    FoundFiles files;
    for (int i = 0; i < count; ++i) {
        from[i] = list.count;
        ReadRegisteredTransforms(view, categories[i], files, list);
        to[i] = list.count;
        ids[i] = kTransformCategories[categories[i]].id;
    }
    if (view == 0) {
        EnumerateTransforms(ids, count, [&](int i, IMFAttributes* const* objects, unsigned found) {
            AddPackagedBeside(list, from[i], to[i], objects, found, categories[i]);
        });
    }
    for (std::size_t i = 0; i < list.count; ++i) {
        TransformRow& row = TransformAt(list, i);
        if (row.name[0] == L'\0') {
            // A row without a name says which entry it is, as the registry spells it.
            const wchar_t* spelled = row.packaged ? row.classId : row.keyName;
            if (spelled[0] != L'\0') FormatText(row.name, kNameCapacity, L"%s %s", kUnnamed, spelled);
            else CopyText(row.name, kNameCapacity, kUnnamed);
        }
        ReplaceUnsafeInLine(row.name, L'?');
        ReplaceUnsafeInLine(row.serverPath, L'?');
        ReplaceUnsafeInLine(row.file, L'?');
        ReplaceUnsafeInLine(row.classId, L'?');
    }
    NoteTransformPreferences(view, list);
    for (std::size_t i = 0; i < list.count; ++i) ReplaceUnsafeInLine(TransformAt(list, i).note, L'?');
    SortTransformRows(list);
}

}  // namespace

void ReadTransformRows(REGSAM view, int category, TransformList& list) { ReadCategories(view, &category, 1, list); }

void ReadViewTransforms(REGSAM view, TransformList& list) {
    int categories[kTransformCategoryCount];
    for (int i = 0; i < kTransformCategoryCount; ++i) categories[i] = i;
    ReadCategories(view, categories, kTransformCategoryCount, list);
}

bool ReadTransformName(REGSAM view, const wchar_t* classId, wchar_t* name, std::size_t capacity) {
    CopyText(name, capacity, L"");
    // The spellings a transform's key may have: without braces as
    // MFTRegister writes it, then in braces; a name that is no GUID as it is.
    wchar_t spellings[2][kShortTextCapacity] = {};
    int count = 0;
    GUID id;
    const bool isGuid = ParseClassIdText(classId, &id);
    if (isGuid) {
        wchar_t braceless[40];
        TransformKeyName(id, braceless);
        CopyText(spellings[0], kShortTextCapacity, braceless);
        StringFromGUID2(id, spellings[1], kShortTextCapacity);
        count = 2;
    } else if (IsUsableClassId(classId) && !IsTransformsOwnKeyName(classId)) {
        CopyText(spellings[0], kShortTextCapacity, classId);
        count = 1;
    }
    RegKey foundation, transforms;
    if (count > 0 && OpenReportKey(foundation, HKEY_CLASSES_ROOT, L"MediaFoundation", view) &&
        OpenReportKey(transforms, foundation.Get(), L"Transforms", view)) {
        for (int i = 0; i < count; ++i) {
            RegKey key;
            if (!OpenReportKey(key, transforms.Get(), spellings[i], view)) continue;
            ReadReportText(key.Get(), nullptr, name, capacity);
            if (name[0] != L'\0') return true;
        }
    }
    if (!isGuid) return false;
    wchar_t serverPath[kNameCapacity];
    return ReadClassFacts(view, spellings[1], name, serverPath, capacity) && name[0] != L'\0';
}
