#include "chain_rows.h"

#include "../base/bounded_text.h"
#include "../base/line_safety.h"
#include "../catalogue/category_table.h"
#include "../catalogue/filter_data.h"
#include "../catalogue/media_subtype_name.h"
#include "../catalogue/playback_preferences.h"
#include "../catalogue/registry_lookup.h"
#include "../catalogue/registry_text.h"
#include "../merit/merit.h"

#include <vfwmsgs.h>

#include <cstdint>
#include <cwchar>
#include <iterator>

namespace {

const wchar_t kNoFilterRow[] = L"(нет подходящего фильтра)";

// Whether the Instance entry at entryPath names classId in its CLSID value.
bool EntryNamesClass(const wchar_t* entryPath, const wchar_t* classId) {
    RegKey entry;
    wchar_t value[kNameCapacity];
    return entry.OpenForReading(HKEY_CLASSES_ROOT, entryPath) == ERROR_SUCCESS &&
           ReadRegistryText(entry.Get(), L"CLSID", value, kNameCapacity) && lstrcmpiW(value, classId) == 0;
}

// Calls find(instancePath) for the Instance key of each category once (several
// rows share the legacy category's key) until it returns true.
template <typename Find>
bool ForEachInstanceKey(Find&& find) {
    for (std::size_t row = 0; row < kCategoryCount; ++row) {
        if (FirstRowWithInstanceKey(row) != row) continue;
        wchar_t instancePath[kNameCapacity];
        BuildInstanceKeyPath(instancePath, kNameCapacity, CategoryTable[row].registryCategory);
        if (find(static_cast<const wchar_t*>(instancePath))) return true;
    }
    return false;
}

// The entry named by classId itself, in the first category where one names
// it back in its CLSID value, into entryPath (500 characters): the runtime
// names an entry by its class id.
bool FindEntryNamedByClass(const wchar_t* classId, wchar_t* entryPath) {
    if (!IsUsableClassId(classId)) return false;
    return ForEachInstanceKey([&](const wchar_t* instancePath) {
        return JoinText(entryPath, kNameCapacity, instancePath, L"", classId) && EntryNamesClass(entryPath, classId);
    });
}

// The first entry, in any category, whose CLSID value names classId.
bool FindEntryByClassValue(const wchar_t* classId, wchar_t* entryPath) {
    if (!IsUsableClassId(classId)) return false;
    return ForEachInstanceKey([&](const wchar_t* instancePath) {
        return FindInstanceKeyByClsid(instancePath, classId, entryPath) != 0;
    });
}

// The Instance entry, in any category, whose CLSID value names classId: the
// one named by the class id first, then the walk of each category's entries.
bool FindInstanceEntry(const wchar_t* classId, wchar_t* entryPath) {
    return FindEntryNamedByClass(classId, entryPath) || FindEntryByClassValue(classId, entryPath);
}

// A filter whose object reports another class id than its registration (the
// runtime's "Video Renderer" is one) is found by the name the graph builder
// gave it, which is the registered friendly name.
bool FindInstanceEntryByName(const wchar_t* graphName, wchar_t* entryPath) {
    if (graphName[0] == L'\0') return false;
    return ForEachInstanceKey([&](const wchar_t* instancePath) {
        return FindInstanceKeyByName(instancePath, graphName, entryPath) != 0;
    });
}

// The entry's FriendlyName into name (500 characters). With merit, also the
// merit word of its FilterData where that record is sound (as the mapper
// would read it), else 0; with classId (500 characters), the class id it
// names. False when the name cannot be read.
bool ReadEntryName(const wchar_t* entryPath, wchar_t* name, std::uint32_t* merit = nullptr,
                   wchar_t* classId = nullptr) {
    RegKey entry;
    if (entry.OpenForReading(HKEY_CLASSES_ROOT, entryPath) != ERROR_SUCCESS ||
        !ReadRegistryText(entry.Get(), L"FriendlyName", name, kNameCapacity)) {
        return false;
    }
    if (merit) CheckEntryFilterData(entry.Get(), merit);
    if (classId) {
        const wchar_t* slash = wcsrchr(entryPath, L'\\');
        ReadEntryClassId(entry.Get(), slash ? slash + 1 : entryPath, classId);
    }
    return true;
}

bool FindRegisteredName(const wchar_t* classId, wchar_t* name) {
    wchar_t entryPath[kNameCapacity];
    return FindInstanceEntry(classId, entryPath) && ReadEntryName(entryPath, name);
}

// The registration of a filter of the graph, into entryPath: the entry named
// by its class id; else the entry of the name the graph builder gave it (the
// registered friendly name of a filter it chose), which also finds a filter
// whose object reports another class id than its registration (Wine's
// "Video Renderer" does); else the walk for an entry naming its class id.
bool FindGraphFilterEntry(const ReportedRow& row, wchar_t* entryPath) {
    return FindEntryNamedByClass(row.classId, entryPath) || FindInstanceEntryByName(row.graphName, entryPath) ||
           FindEntryByClassValue(row.classId, entryPath);
}

// How the user knows the filter of a class id: its registered name, else the
// class key's default value, else the class id itself.
void NameOfClass(const wchar_t* classId, wchar_t* name) {
    if (FindRegisteredName(classId, name)) return;
    if (IsUsableClassId(classId) && ReadClassDefaultValue(classId, name) && name[0] != L'\0') return;
    CopyText(name, kNameCapacity, classId);
}

void AddNote(wchar_t* note, const wchar_t* text) {
    if (note[0] != L'\0') AppendText(note, kNameCapacity, L"; ");
    AppendText(note, kNameCapacity, text);
}

const wchar_t* FileExtension(const wchar_t* path) {
    const wchar_t* dot = wcsrchr(path, L'.');
    const wchar_t* slash = wcsrchr(path, L'\\');
    return dot && (!slash || dot > slash) ? dot : nullptr;
}

void AddNotes(const ReportedRow& row, bool isSource, const wchar_t* filePath, wchar_t* note) {
    if (row.hasSubtype) {
        wchar_t preferred[256];
        if (FindPreferredFilter(0, row.subtype, preferred)) {
            if (row.kind == ChainFilter && lstrcmpiW(preferred, row.classId) == 0) {
                AddNote(note, L"предпочтительный фильтр Windows для этого формата");
            } else {
                wchar_t name[kNameCapacity], text[kNameCapacity];
                NameOfClass(preferred, name);
                FormatText(text, kNameCapacity, L"Windows предпочитает для этого формата: %ls", name);
                AddNote(note, text);
            }
        }
    }
    if (row.kind != ChainFilter) return;
    const wchar_t* extension = isSource ? FileExtension(filePath) : nullptr;
    if (extension) {
        bool named = false;
        ForEachExtensionSource(0, [&](const wchar_t* entry, const wchar_t* classId) {
            named = named || (lstrcmpiW(entry, extension) == 0 && lstrcmpiW(classId, row.classId) == 0);
        });
        if (named) {
            wchar_t text[kNameCapacity];
            FormatText(text, kNameCapacity, L"источник задан для расширения %ls", extension);
            AddNote(note, text);
        }
    }
    if (IsBlockedFilter(0, row.classId)) AddNote(note, L"заблокирован (DoNotUse)");
}

bool IsFileError(HRESULT hr) {
    if (HRESULT_FACILITY(hr) != FACILITY_WIN32) return false;
    switch (HRESULT_CODE(hr)) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_ACCESS_DENIED:
    case ERROR_INVALID_DRIVE:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_NOT_READY:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_DIRECTORY: return true;
    default: return false;
    }
}

void FailureReason(HRESULT hr, wchar_t* text, std::size_t capacity) {
    switch (hr) {
    case VFW_E_CANNOT_RENDER:
    case VFW_E_UNSUPPORTED_STREAM:
    case VFW_E_NO_ACCEPTABLE_TYPES:
        CopyText(text, capacity, L"Не найден фильтр, который может открыть или декодировать этот формат.");
        return;
    case VFW_E_UNKNOWN_FILE_TYPE:
    case VFW_E_INVALID_FILE_FORMAT: CopyText(text, capacity, L"Формат файла не распознан."); return;
    default: break;
    }
    if (IsFileError(hr) || hr == VFW_E_NOT_FOUND) {
        CopyText(text, capacity, L"Файл не найден или недоступен.");
    } else {
        FormatText(text, capacity, L"Ошибка 0x%08X.", static_cast<unsigned>(hr));
    }
}

}  // namespace

void DescribeChainRow(const CheckReport& report, std::size_t index, const wchar_t* filePath, ChainRowText& out) {
    out = ChainRowText{};
    const ReportedRow& row = report.rows[index];
    out.isFilter = row.kind == ChainFilter;
    out.hasSubtype = row.hasSubtype;
    out.subtype = row.subtype;
    if (out.isFilter) CopyText(out.reportedClassId, kChainTextCapacity, row.classId);
    if (row.hasSubtype) NameMediaSubtype(row.subtype, out.format, kShortTextCapacity);
    if (out.isFilter) {
        wchar_t entryPath[kNameCapacity];
        std::uint32_t merit = 0;
        if (!FindGraphFilterEntry(row, entryPath) || !ReadEntryName(entryPath, out.name, &merit, out.classId)) {
            merit = 0;
            CopyText(out.name, kNameCapacity, row.graphName);
            CopyText(out.classId, kNameCapacity, L"");
        }
        FormatMeritValue(merit, out.merit);
        wchar_t objectName[kNameCapacity] = {};
        ReadClassInfo(row.classId, objectName, out.file);
    } else {
        CopyText(out.name, kNameCapacity, kNoFilterRow);
    }
    AddNotes(row, index == 0, filePath, out.note);
}

namespace {

// A name read from the registry, as the result shows it: one line, cut to a
// length that leaves the others room.
void AppendResultName(wchar_t* text, std::size_t capacity, const wchar_t* name) {
    constexpr std::size_t kShown = 60;
    wchar_t shown[kShown + 4];
    const bool cut = CopyText(shown, kShown + 1, name) != kTextOk;
    if (cut) AppendText(shown, std::size(shown), L"...");
    ReplaceUnsafeInLine(shown, L'?');
    AppendText(text, capacity, shown);
}

// The lines that name the entries whose FilterData is damaged: a player's
// filter mapper reads every one of them, and may crash on any.
void AppendDamagedEntries(wchar_t* text, std::size_t capacity, const DamagedMapperEntries& damaged) {
    AppendText(text, capacity, L"\nПовреждены данные FilterData кодеков: ");
    for (std::size_t i = 0; i < damaged.count && i < kDamagedNamesKept; ++i) {
        if (i > 0) AppendText(text, capacity, L", ");
        AppendResultName(text, capacity, damaged.names[i]);
    }
    if (damaged.count > kDamagedNamesKept) {
        wchar_t more[kShortTextCapacity];
        FormatText(more, kShortTextCapacity, L" и еще %u", static_cast<unsigned>(damaged.count - kDamagedNamesKept));
        AppendText(text, capacity, more);
    }
    AppendText(text, capacity, L"\nПрограммы воспроизведения могут из-за них аварийно завершаться.");
    AppendText(text, capacity, L"\nИх можно найти и удалить через «Поиск некорректных кодеков».");
}

void FormatOwnResult(const CheckReport& report, ChildState state, bool damagedFound, wchar_t* text,
                     std::size_t capacity) {
    if (state == ChildCrashed || state == ChildTimedOut || state == ChildFlooded) {
        CopyText(text, capacity,
                 state == ChildCrashed    ? L"Проверка прервана: один из кодеков аварийно завершил работу."
                 : state == ChildFlooded ? L"Проверка прервана: один из кодеков передал слишком много данных."
                                         : L"Проверка прервана: кодек не ответил за 15 секунд.");
        // A crash while damaged entries exist is most likely the mapper's,
        // reading one of them: the filter chosen last is not blamed then.
        if (report.lastFilter[0] != L'\0' && !(state == ChildCrashed && damagedFound)) {
            AppendText(text, capacity, L"\nПоследний фильтр: ");
            AppendResultName(text, capacity, report.lastFilter);
        }
        return;
    }
    if (state == ChildNotStarted) {
        CopyText(text, capacity, L"Не удалось запустить проверку.");
        return;
    }
    if (state == ChildRunning) {
        CopyText(text, capacity, L"Идет проверка..");
        return;
    }
    bool unplayed = false;
    for (std::size_t i = 0; i < report.rowCount; ++i) unplayed = unplayed || report.rows[i].kind != ChainFilter;
    if (FAILED(report.status)) {
        wchar_t reason[kNameCapacity];
        FailureReason(report.status, reason, kNameCapacity);
        CopyText(text, capacity, L"Файл не может быть воспроизведен.\n");
        AppendText(text, capacity, reason);
    } else if (report.status == S_OK && !unplayed) {
        CopyText(text, capacity, L"Файл может быть воспроизведен: для всех потоков найдены фильтры.");
    } else {
        CopyText(text, capacity, L"Часть потоков файла не может быть воспроизведена: для них не найден декодер.");
    }
    if (report.noAudioDevice && (FAILED(report.status) || unplayed)) {
        AppendText(text, capacity, L"\nВ системе нет устройства воспроизведения звука.");
    }
}

}  // namespace

void FormatCheckResult(const CheckReport& report, ChildState state, const DamagedMapperEntries* damaged, wchar_t* text,
                       std::size_t capacity, bool elevated) {
    const bool damagedFound = damaged && damaged->count > 0;
    FormatOwnResult(report, state, damagedFound, text, capacity);
    if (damagedFound && state != ChildRunning && state != ChildNotStarted) AppendDamagedEntries(text, capacity, *damaged);
    if (elevated && state != ChildRunning && state != ChildNotStarted) {
        AppendText(text, capacity, L"\n");
        AppendText(text, capacity, kCheckedWithAdministratorRights);
    }
}
