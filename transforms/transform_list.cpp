#include "transform_list.h"

#include "../base/bounded_text.h"
#include "../base/line_safety.h"
#include "../catalogue/playback_preferences.h"
#include "../catalogue/registry_link.h"
#include "../catalogue/registry_text.h"
#include "../catalogue/media_subtype_name.h"
#include "../catalogue/server_file_facts.h"
#include "../catalogue/view_registry.h"
#include "transform_categories.h"
#include "transform_enumeration.h"

#include <mfapi.h>
#include <mftransform.h>

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
// where the name is a GUID, the name itself otherwise.
void TakeClassId(TransformRow& row, const wchar_t* keyName) {
    CopyText(row.keyName, kShortTextCapacity, keyName);
    GUID id;
    row.classIdIsGuid = ParseTransformKeyName(keyName, &id);
    if (row.classIdIsGuid) StringFromGUID2(id, row.classId, kShortTextCapacity);
    else CopyText(row.classId, kShortTextCapacity, keyName);
}

// The class key's server file, judged as the scan judges it; the status it
// gives, or "нет раздела класса" for a class id that is no GUID.
const wchar_t* ReadServerFile(HKEY classes, REGSAM view, TransformRow& row, bool* classKeyFoundOut) {
    wchar_t judged[kNameCapacity] = {};
    const bool classKeyFound = row.classIdIsGuid && classes &&
                               ReadClassFactsIn(classes, view, row.classId, nullptr, row.serverPath, kNameCapacity,
                                                judged);
    if (classKeyFound) {
        wchar_t facts[kNameCapacity];
        DescribeServerFile(view, row.serverPath, facts, kNameCapacity);
        FormatText(row.file, kNameCapacity, L"%s (%s)", row.serverPath[0] ? row.serverPath : L"(не указан)", facts);
    }
    *classKeyFoundOut = classKeyFound;
    return JudgeServerFile(view, classKeyFound, judged);
}

// One category entry with its transform key, when that opens.
void ReadRegisteredRow(REGSAM view, HKEY classes, HKEY transforms, const wchar_t* keyName, TransformRow& row) {
    TakeClassId(row, keyName);
    bool classKeyFound = false;
    const wchar_t* fileStatus = ReadServerFile(classes, view, row, &classKeyFound);
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
void ReadRegisteredTransforms(REGSAM view, const GUID& category, TransformList& list) {
    RegKey foundation, transforms, categories, entries;
    wchar_t categoryName[40];
    TransformKeyName(category, categoryName);
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
        ReadRegisteredRow(view, classes.Get(), transforms.Get(), keyName, *row);
        return false;
    });
}

bool Holds(const TransformList& list, const wchar_t* keyName) {
    for (std::size_t i = 0; i < list.count; ++i) {
        if (lstrcmpiW(TransformAt(list, i).keyName, keyName) == 0) return true;
    }
    return false;
}

void ReadTypeAttribute(IMFAttributes* object, const GUID& key, wchar_t* text) {
    UINT32 bytes = 0;
    if (FAILED(object->GetBlobSize(key, &bytes)) || bytes == 0) return;
    HeapBuffer blob;
    if (!blob.Reserve(bytes) || FAILED(object->GetBlob(key, blob.Get(), bytes, &bytes))) return;
    NameTypeList(blob.Get(), bytes - bytes % (2 * sizeof(GUID)), text, kFormatsCapacity);
}

// A whole class id matched against one that may be written with or without braces.
bool SameClassId(const TransformRow& row, const wchar_t* classId) {
    return lstrcmpiW(row.classId, classId) == 0 || lstrcmpiW(row.keyName, classId) == 0;
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

void AddPackagedTransforms(TransformList& list, IMFAttributes* const* objects, unsigned count) {
    for (unsigned i = 0; i < count; ++i) {
        IMFAttributes* object = objects[i];
        GUID id = GUID_NULL;
        wchar_t keyName[40] = {};
        if (object && SUCCEEDED(object->GetGUID(MFT_TRANSFORM_CLSID_Attribute, &id))) TransformKeyName(id, keyName);
        if (!object || Holds(list, keyName)) continue;
        TransformRow* row = AddRow(list);
        if (!row) return;
        TakeClassId(*row, keyName);
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

void NoteTransformPreferences(REGSAM view, TransformList& list) {
    ForEachPreferredTransform(view, [&](const wchar_t* subtypeText, const wchar_t* classId) {
        wchar_t subtype[kShortTextCapacity];
        NameMediaSubtypeText(subtypeText, subtype, kShortTextCapacity);
        for (std::size_t i = 0; i < list.count; ++i) {
            TransformRow& row = TransformAt(list, i);
            if (!SameClassId(row, classId)) continue;
            // Further subtypes join the row's one "preferred" note, which comes first.
            AppendText(row.note, kNameCapacity, row.note[0] ? L", " : L"предпочтительный для: ");
            AppendText(row.note, kNameCapacity, subtype);
        }
    });
    ForEachBlockedTransform(view, [&](const wchar_t* classId) {
        for (std::size_t i = 0; i < list.count; ++i) {
            TransformRow& row = TransformAt(list, i);
            if (!SameClassId(row, classId) || std::wcsstr(row.note, L"отключен (DoNotUse)")) continue;
            if (row.note[0] != L'\0') AppendText(row.note, kNameCapacity, L"; ");
            AppendText(row.note, kNameCapacity, L"отключен (DoNotUse)");
        }
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

void ReadTransformRows(REGSAM view, int category, TransformList& list) {
    const GUID& id = *kTransformCategories[category].id;
    ReadRegisteredTransforms(view, id, list);
    if (view == 0) AddEnumeratedTransforms(id, list);
    for (std::size_t i = 0; i < list.count; ++i) {
        TransformRow& row = TransformAt(list, i);
        if (row.name[0] == L'\0') CopyText(row.name, kNameCapacity, kUnnamed);
        ReplaceUnsafeInLine(row.name, L'?');
        ReplaceUnsafeInLine(row.serverPath, L'?');
        ReplaceUnsafeInLine(row.file, L'?');
        ReplaceUnsafeInLine(row.classId, L'?');
    }
    NoteTransformPreferences(view, list);
    for (std::size_t i = 0; i < list.count; ++i) ReplaceUnsafeInLine(TransformAt(list, i).note, L'?');
    SortTransformRows(list);
}

bool ReadTransformName(REGSAM view, const wchar_t* classId, wchar_t* name, std::size_t capacity) {
    CopyText(name, capacity, L"");
    wchar_t keyName[kShortTextCapacity];
    CopyText(keyName, kShortTextCapacity, classId);
    GUID id;
    if (classId[0] == L'{' && SUCCEEDED(IIDFromString(classId, &id))) {
        wchar_t braceless[40];
        TransformKeyName(id, braceless);
        CopyText(keyName, kShortTextCapacity, braceless);
    }
    RegKey foundation, transforms, key;
    if (IsUsableClassId(keyName) && OpenReportKey(foundation, HKEY_CLASSES_ROOT, L"MediaFoundation", view) &&
        OpenReportKey(transforms, foundation.Get(), L"Transforms", view) &&
        OpenReportKey(key, transforms.Get(), keyName, view)) {
        ReadReportText(key.Get(), nullptr, name, capacity);
        if (name[0] != L'\0') return true;
    }
    wchar_t serverPath[kNameCapacity];
    wchar_t braced[kShortTextCapacity];
    FormatText(braced, kShortTextCapacity, L"{%s}", keyName);
    return ReadClassFacts(view, braced, name, serverPath, capacity) && name[0] != L'\0';
}
