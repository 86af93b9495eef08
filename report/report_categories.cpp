#include "../base/app_state.h"
#include "../base/bounded_text.h"
#include "../base/list_box.h"
#include "../base/scoped.h"
#include "../catalogue/category_table.h"
#include "../catalogue/filter_data.h"
#include "../catalogue/filter_list.h"
#include "../catalogue/filter_source.h"
#include "../catalogue/registry_link.h"
#include "../catalogue/registry_lookup.h"
#include "../catalogue/registry_text.h"
#include "../catalogue/system_filters.h"
#include "../merit/merit.h"
#include "../scan/scan_lookup.h"
#include "../catalogue/view_registry.h"
#include "report_sections.h"
#include "report_text.h"
#include "../catalogue/server_file_facts.h"

#include <cstdint>
#include <cwchar>
#include <iterator>

namespace {

constexpr wchar_t kRowIndent[] = L"       ";

// One Instance entry as read: its texts are records in CategoryEntries::texts.
struct EntryRecord {
    std::size_t keyName;
    std::size_t friendlyName;  // as shown: text values only, cut to the field
    std::size_t matchedName;   // as the scan's lookup reads it, for finding a row's entry
    std::size_t classId;
    std::uint32_t merit;  // 0 where the FilterData is not sound
    bool filterDataDamaged;
    KeyOpening opening;
    bool nameRead;
    bool classIdCut;
    bool reported;
};

// The Instance entries of one category in one view, in enumeration order.
struct CategoryEntries {
    GrowingText texts;
    HeapBuffer records;
    std::size_t count = 0;
    bool failed = false;

    EntryRecord& At(std::size_t i) const { return reinterpret_cast<EntryRecord*>(records.Get())[i]; }
    const wchar_t* Text(std::size_t offset) const { return TextChars(texts) + offset; }
};

std::size_t AddText(CategoryEntries& entries, const wchar_t* text) {
    const std::size_t offset = entries.texts.length;
    AppendChars(entries.texts, text, std::wcslen(text) + 1);
    return offset;
}

void AddEntry(CategoryEntries& entries, const EntryRecord& record) {
    if (!entries.records.Reserve((entries.count + 1) * sizeof(EntryRecord))) {
        // Doubling keeps many entries linear; a failed reservation ends the read.
        entries.failed = true;
        return;
    }
    entries.At(entries.count++) = record;
}

void ReserveRecords(CategoryEntries& entries, std::size_t count) {
    if (count * sizeof(EntryRecord) > entries.records.Size()) entries.records.Reserve(2 * count * sizeof(EntryRecord));
}

// Reads every subkey of CLSID\{category}\Instance in the view. Links are
// noted, never opened; their texts stay empty.
void ReadCategoryEntries(REGSAM view, const wchar_t* registryCategory, CategoryEntries& entries) {
    RegKey classes;
    RegKey category;
    RegKey instance;
    if (!OpenReportKey(classes, HKEY_CLASSES_ROOT, L"CLSID", view) ||
        !OpenReportKey(category, classes.Get(), registryCategory, view) ||
        !OpenReportKey(instance, category.Get(), L"Instance", view)) {
        return;
    }
    ForEachSubkeyName(instance.Get(), [&](const wchar_t* entryName) {
        EntryRecord record = {};
        RegKey entry;
        record.opening = OpenKeyUnlessLink(entry, instance.Get(), entryName, KEY_READ | view);
        wchar_t name[kNameCapacity] = {};
        wchar_t matchedName[kNameCapacity] = {};
        wchar_t classId[kNameCapacity] = {};
        if (record.opening == KeyOpened) {
            ReadReportText(entry.Get(), L"FriendlyName", name, kNameCapacity);
            // The name and class id are read as the scan's lookup reads
            // them, so that a row finds the entry the scan finds.
            record.nameRead = ReadRegistryText(entry.Get(), L"FriendlyName", matchedName, kNameCapacity);
            ReadEntryClassId(entry.Get(), entryName, classId);
            // A class id longer than the lookup's 255 characters names no class.
            record.classIdCut = std::wcslen(classId) >= kClassIdCapacity;
            // A damaged record is judged as the scan judges it; its merit
            // word is not taken, as the management dialog does not take it.
            record.filterDataDamaged = FilterDataDamaged(CheckEntryFilterData(entry.Get(), &record.merit));
        }
        record.keyName = AddText(entries, entryName);
        record.friendlyName = AddText(entries, name);
        record.matchedName = AddText(entries, matchedName);
        record.classId = AddText(entries, classId);
        ReserveRecords(entries, entries.count + 1);
        AddEntry(entries, record);
        return entries.texts.failed || entries.failed;
    });
}

// The status of a filter whose registration gave a class id, judged as the
// maintenance scan judges it.
const wchar_t* JudgeFilter(REGSAM view, bool classKeyFound, bool filterDataDamaged, const wchar_t* serverPath,
                           DWORD serverType) {
    // A damaged record is a broken registration whatever its file.
    if (classKeyFound && filterDataDamaged) return L"данные FilterData повреждены";
    return JudgeServerFile(view, classKeyFound, serverPath, serverType);
}

// A list row that no Instance entry or class key explains and whose moniker
// is no DirectShow filter's: a codec that the device enumerator lists from
// elsewhere (an ACM or Video for Windows codec, a DMO, another kind), not a
// broken filter. Its status names what it is, and it is no problem; a DMO
// shows the facts of its registration where the own view has one, a Video
// for Windows codec the value that registers it.
void AppendCodecOfOtherKind(GrowingText& text, FilterSource source, const wchar_t* monikerId) {
    const wchar_t* status = L"не зарегистрирован как фильтр DirectShow";
    if (source == SourceAcm) status = L"кодек ACM";
    if (source == SourceVfw) status = L"кодек Video for Windows";
    // Which of the view's "Кодеки ACM и Video for Windows" a video codec's
    // row is: its value is named by the FOURCC its moniker ends with.
    if (source == SourceVfw && monikerId[0] != L'\0') {
        wchar_t value[kMonikerIdCapacity + 8];
        FormatText(value, std::size(value), L"vidc.%ls", monikerId);
        AppendLabelled(text, kRowIndent, L"Запись:", value);
    }
    if (source == SourceDmo) {
        status = L"DMO";
        wchar_t braceless[40];
        CopyText(braceless, std::size(braceless), monikerId + (monikerId[0] == L'{' ? 1 : 0));
        if (braceless[0] != L'\0') braceless[std::wcslen(braceless) - 1] = L'\0';
        RegKey directShow, objects, object;
        wchar_t objectName[kNameCapacity];
        wchar_t serverPath[kNameCapacity];
        if (braceless[0] != L'\0' && OpenReportKey(directShow, HKEY_CLASSES_ROOT, L"DirectShow", 0) &&
            OpenReportKey(objects, directShow.Get(), L"MediaObjects", 0) &&
            OpenReportKey(object, objects.Get(), braceless, 0)) {
            AppendLabelled(text, kRowIndent, L"Класс:", monikerId);
            DWORD serverType = REG_NONE;
            if (ReadClassFacts(0, monikerId, objectName, serverPath, kNameCapacity, nullptr, &serverType)) {
                AppendLabelled(text, kRowIndent, L"Файл:", serverPath[0] ? serverPath : L"(не указан)");
                wchar_t facts[kNameCapacity];
                DescribeServerFile(0, serverPath, serverType, facts, kNameCapacity);
                AppendLabelled(text, kRowIndent, L"", facts);
            } else {
                AppendLabelled(text, kRowIndent, L"Файл:", L"нет раздела класса");
            }
        }
    }
    AppendLabelled(text, kRowIndent, L"Состояние:", status);
    AppendLine(text);
}

void AppendRowTitle(GrowingText& text, unsigned number, const wchar_t* name) {
    AppendNumberedName(text, number, name);
    if (name[0] != L'\0' && IsSystemFilterName(name)) AppendString(text, L"  [системный фильтр]");
    AppendLine(text);
}

// The facts of a filter whose registration names classId, in the view.
void AppendFilterFacts(GrowingText& text, ReportProblems& problems, const wchar_t* name, REGSAM view,
                       const wchar_t* classId, bool classIdCut, std::uint32_t merit, bool filterDataDamaged,
                       const wchar_t* foundBy) {
    AppendLabelled(text, kRowIndent, L"Класс:", classId[0] ? classId : L"(не указан)");
    if (foundBy) AppendLabelled(text, kRowIndent, L"Найден:", foundBy);
    wchar_t meritText[kNameCapacity];
    FormatMeritValue(merit, meritText);
    AppendLabelled(text, kRowIndent, L"Приоритет:", meritText);
    wchar_t objectName[kNameCapacity];
    wchar_t serverPath[kNameCapacity];
    wchar_t judgedServerPath[kNameCapacity];
    DWORD serverType = REG_NONE;
    const bool classKeyFound = ReadClassFacts(view, classIdCut ? L"" : classId, objectName, serverPath,
                                              kNameCapacity, judgedServerPath, &serverType);
    if (classKeyFound) {
        if (objectName[0] != L'\0') AppendLabelled(text, kRowIndent, L"Объект:", objectName);
        AppendLabelled(text, kRowIndent, L"Файл:", serverPath[0] ? serverPath : L"(не указан)");
        wchar_t facts[kNameCapacity];
        DescribeServerFile(view, serverPath, serverType, facts, kNameCapacity);
        AppendLabelled(text, kRowIndent, L"", facts);
    }
    AppendStatus(text, problems, name,
                 JudgeFilter(view, classKeyFound, filterDataDamaged, judgedServerPath, serverType));
}

void AppendEntry(GrowingText& text, ReportProblems& problems, const CategoryEntries& entries, std::size_t i,
                 REGSAM view, unsigned number) {
    const EntryRecord& record = entries.At(i);
    AppendRowTitle(text, number, entries.Text(record.friendlyName));
    if (record.opening != KeyOpened) {
        AppendLabelled(text, kRowIndent, L"Раздел:", entries.Text(record.keyName));
        AppendStatus(text, problems, entries.Text(record.friendlyName),
                     record.opening == KeyIsLink ? kLinkNotOpenedStatus : L"раздел не открывается");
        return;
    }
    AppendFilterFacts(text, problems, entries.Text(record.friendlyName), view, entries.Text(record.classId),
                      record.classIdCut, record.merit, record.filterDataDamaged, nullptr);
}

// The names the program's list shows for a category, all of them (the
// system filters too), in the list's own order: a hidden list of the same
// sorting does the ordering. Each row also keeps where its moniker comes from
// and what it names (a filter's Instance entry, a DMO's class id), for a row
// that the name lookup does not explain.
class SortedNames {
public:
    SortedNames()
        : list_(CreateWindowExW(0, L"LISTBOX", L"", WS_POPUP | LBS_SORT | LBS_HASSTRINGS, 0, 0, 0, 0, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr)) {}
    ~SortedNames() {
        if (list_) DestroyWindow(list_);
    }
    SortedNames(const SortedNames&) = delete;
    SortedNames& operator=(const SortedNames&) = delete;

    HWND List() const { return list_; }

    void Fill(const GUID& category) {
        SendMessageW(list_, LB_RESETCONTENT, 0, 0);
        TruncateText(ids_, 0);
        AddCategoryNames(list_, category, false, [&](const wchar_t* displayName) {
            wchar_t id[kMonikerIdCapacity];
            const FilterSource source = ClassifyDisplayName(displayName, id);
            const std::size_t at = ids_.length;
            AppendChars(ids_, id, std::wcslen(id) + 1);
            return static_cast<LPARAM>(source) | static_cast<LPARAM>(at << kSourceBits);
        });
    }

    // Where the row's moniker comes from; what it names goes to id.
    FilterSource SourceOf(int row, wchar_t (&id)[kMonikerIdCapacity]) const {
        id[0] = L'\0';
        const LRESULT data = SendMessageW(list_, LB_GETITEMDATA, static_cast<WPARAM>(row), 0);
        if (data == LB_ERR || ids_.failed) return SourceOther;
        const auto at = static_cast<std::size_t>(data) >> kSourceBits;
        if (at < ids_.length) CopyText(id, kMonikerIdCapacity, TextChars(ids_) + at);
        return static_cast<FilterSource>(data & ((1 << kSourceBits) - 1));
    }

private:
    static constexpr int kSourceBits = 4;
    HWND list_;
    GrowingText ids_;  // each row's id (empty for most kinds), terminated
};

// The category's name as the combobox shows it, without its trailing blank.
void CategoryName(const CategoryEntry& category, wchar_t* name, std::size_t capacity) {
    CopyText(name, capacity, category.displayName);
    for (std::size_t n = std::wcslen(name); n > 0 && name[n - 1] == L' '; --n) name[n - 1] = L'\0';
}

void AppendHeading(GrowingText& text, const wchar_t* title, const wchar_t* counts) {
    AppendLine(text, L"----------------------------------------------------------------------");
    AppendString(text, title);
    if (counts) {
        AppendString(text, L"  (");
        AppendString(text, counts);
        AppendString(text, L")");
    }
    AppendLine(text);
    AppendLine(text, L"----------------------------------------------------------------------");
    AppendLine(text);
}

// Several categories keep their registrations under one Instance key (the
// legacy filter category's): each key is read once, into the slot of the
// first table row that names it.
std::size_t KeySlot(std::size_t row) { return FirstRowWithInstanceKey(row); }

// The category an Instance key belongs to: the one that enumerates that
// very category, else the first that names the key.
std::size_t KeyOwner(std::size_t slot) {
    for (std::size_t row = 0; row < kCategoryCount; ++row) {
        if (KeySlot(row) != slot) continue;
        wchar_t enumerated[40] = {};
        StringFromGUID2(*CategoryTable[row].enumCategory, enumerated, 40);
        if (lstrcmpiW(enumerated, CategoryTable[row].registryCategory) == 0) return row;
    }
    return slot;
}

// "Device Control Filters, WDM Streaming VBI Codecs": the other categories
// whose registrations are under the key of `owner`.
void SharingCategories(std::size_t owner, wchar_t* names, std::size_t capacity) {
    CopyText(names, capacity, L"");
    for (std::size_t row = 0; row < kCategoryCount; ++row) {
        if (row == owner || KeySlot(row) != KeySlot(owner)) continue;
        wchar_t name[kShortTextCapacity];
        CategoryName(CategoryTable[row], name, kShortTextCapacity);
        if (names[0] != L'\0') AppendText(names, capacity, L", ");
        AppendText(names, capacity, name);
    }
}

void AppendKeyLine(GrowingText& text, std::size_t owner) {
    wchar_t line[kNameCapacity];
    FormatText(line, kNameCapacity, L"  Раздел: HKCR\\CLSID\\%s\\Instance", CategoryTable[owner].registryCategory);
    AppendLine(text, line);
    wchar_t sharing[kNameCapacity];
    SharingCategories(owner, sharing, kNameCapacity);
    if (sharing[0] != L'\0') {
        AppendString(text, L"  Тот же раздел у категорий: ");
        AppendLine(text, sharing);
    }
    AppendLine(text);
}

// The rows the program's list shows for a category, each with the
// registration the scan finds for it.
void AppendOwnCategory(GrowingText& text, ReportProblems& problems, const CategoryEntry& category,
                       CategoryEntries& entries, SortedNames& names, ScanLookup& lookup) {
    names.Fill(*category.enumCategory);
    const int rows = ListRowCount(names.List());
    wchar_t title[kShortTextCapacity];
    CategoryName(category, title, kShortTextCapacity);
    wchar_t counts[kShortTextCapacity];
    FormatText(counts, kShortTextCapacity, L"строк в списке программы: %d", rows);
    AppendHeading(text, title, counts);
    problems.where = title;
    unsigned number = 0;
    for (int row = 0; row < rows; ++row) {
        wchar_t name[kNameCapacity];
        if (!GetListRowText(names.List(), row, name, kNameCapacity) || lstrcmpiW(name, L"") == 0) continue;
        // The scan's lookup: the first entry of that name, else the first
        // class key of that name, else nothing.
        const EntryRecord* match = nullptr;
        for (std::size_t i = 0; i < entries.count && !match; ++i) {
            EntryRecord& record = entries.At(i);
            if (record.nameRead && lstrcmpiW(entries.Text(record.matchedName), name) == 0) {
                record.reported = true;
                match = &record;
            }
        }
        // A filter's moniker names its Instance entry: a row that the name
        // lookup does not find (a name too long for it, or not stored as text)
        // is that entry's, and judged as such.
        wchar_t id[kMonikerIdCapacity];
        const FilterSource source = names.SourceOf(row, id);
        for (std::size_t i = 0; i < entries.count && !match && source == SourceDirectShow; ++i) {
            EntryRecord& record = entries.At(i);
            if (lstrcmpiW(entries.Text(record.keyName), id) == 0) {
                record.reported = true;
                match = &record;
            }
        }
        wchar_t classId[kNameCapacity] = {};
        bool classIdCut = false;
        LookupKind kind = LookupNone;
        if (match) {
            kind = LookupInstanceKey;
            CopyText(classId, kNameCapacity, entries.Text(match->classId));
            classIdCut = match->classIdCut;
        } else if (ScanFindClassKey(lookup, name, classId)) {
            // The class keys' names are searched exactly as the scan searches
            // them, so that the row gets the scan's answer (that search opens
            // keys as the scan does, a link among them included); the class
            // found is then read without going through any link.
            kind = LookupClassKey;
        }
        AppendRowTitle(text, ++number, name);
        if (kind == LookupNone && source == SourceDirectShow) {
            // The filter's entry is gone from the key since the list was read:
            // the class its moniker names is judged, a problem like any other.
            AppendFilterFacts(text, problems, name, 0, id, false, 0, false, nullptr);
            continue;
        }
        if (kind == LookupNone) {
            AppendCodecOfOtherKind(text, source, id);
            continue;
        }
        const std::uint32_t merit = match ? match->merit : 0;
        AppendFilterFacts(text, problems, name, 0, classId, classIdCut, merit, match && match->filterDataDamaged,
                          kind == LookupClassKey ? L"по разделу класса, записи Instance нет" : nullptr);
    }
    if (number == 0) {
        AppendLine(text, L"  Список пуст.");
        AppendLine(text);
    }
    problems.where = L"";  // the title's buffer ends here
}

// The entries of one Instance key, all of them or only those that no list
// row stands for.
void AppendEntries(GrowingText& text, ReportProblems& problems, const wchar_t* title, std::size_t owner,
                   const CategoryEntries& entries, REGSAM view, bool onlyUnreported) {
    unsigned shown = 0;
    for (std::size_t i = 0; i < entries.count; ++i) shown += !onlyUnreported || !entries.At(i).reported;
    if (onlyUnreported && shown == 0) return;
    wchar_t counts[kShortTextCapacity];
    FormatText(counts, kShortTextCapacity, L"%u", shown);
    AppendHeading(text, title, counts);
    AppendKeyLine(text, owner);
    unsigned number = 0;
    for (std::size_t i = 0; i < entries.count; ++i) {
        if (!onlyUnreported || !entries.At(i).reported) AppendEntry(text, problems, entries, i, view, ++number);
    }
    if (number == 0) {
        AppendLine(text, L"  Записей нет.");
        AppendLine(text);
    }
}

}  // namespace

void AppendStatus(GrowingText& text, ReportProblems& problems, const wchar_t* name, const wchar_t* status) {
    AppendLabelled(text, kRowIndent, L"Состояние:", status);
    AppendLine(text);
    if (lstrcmpW(status, kServerFileOk) != 0) NoteProblem(problems, name, status);
}

void NoteProblem(ReportProblems& problems, const wchar_t* name, const wchar_t* status) {
    ++problems.count;
    AppendString(problems.lines, L"  ");
    AppendString(problems.lines, problems.where);
    AppendString(problems.lines, L": ");
    // The list stays one short line a row; the row below has the whole name.
    wchar_t shortName[81];
    CopyText(shortName, 81, name[0] ? name : L"(имя не читается)");
    AppendField(problems.lines, shortName);
    if (std::wcslen(name) > 80) AppendString(problems.lines, L"...");
    AppendString(problems.lines, L" - ");
    AppendLine(problems.lines, status);
}


void AppendListsNotRead(GrowingText& text, ReportProblems& problems, const ReportWithoutLists& why) {
    AppendString(text, L"Списки программы не прочитаны: ");
    AppendString(text, why.codec[0] ? L"кодек " : L"кодек сжатия ");
    if (why.codec[0]) {
        AppendString(text, why.codec);
        AppendString(text, L" ");
    }
    AppendString(text, why.what);
    AppendLine(text, L", когда его открывала проверка в отдельном процессе, а списки DirectShow открывают такие кодеки. "
                     L"Ниже все записи Instance категорий, как для другой разрядности.");
    AppendLine(text);
    problems.where = L"Списки DirectShow";
    NoteProblem(problems, why.codec[0] ? why.codec : L"обход категорий", why.what);
    problems.where = L"";
}

void AppendCategoryFilters(GrowingText& text, ReportProblems& problems, const ReportView& view, bool lists) {
    CategoryEntries entries[kCategoryCount];
    for (std::size_t row = 0; row < kCategoryCount; ++row) {
        if (KeySlot(row) != row) continue;
        ReadCategoryEntries(view.flag, CategoryTable[row].registryCategory, entries[row]);
        if (entries[row].texts.failed || entries[row].failed) {
            text.failed = true;
            return;
        }
    }
    if (lists) {
        SortedNames names;
        ScanLookup lookup;
        for (std::size_t row = 0; row < kCategoryCount; ++row) {
            AppendOwnCategory(text, problems, CategoryTable[row], entries[KeySlot(row)], names, lookup);
        }
    }
    // Each Instance key once, under the category it belongs to.
    for (std::size_t slot = 0; slot < kCategoryCount; ++slot) {
        if (KeySlot(slot) != slot) continue;
        const std::size_t owner = KeyOwner(slot);
        wchar_t title[kNameCapacity];
        CategoryName(CategoryTable[owner], title, kNameCapacity);
        if (lists) {
            AppendText(title, kNameCapacity, L": записи Instance, которых нет в списках программы");
        } else {
            AppendText(title, kNameCapacity, L": записи Instance");
        }
        wchar_t where[kShortTextCapacity];
        CategoryName(CategoryTable[owner], where, kShortTextCapacity);
        AppendText(where, kShortTextCapacity, lists ? L", вне списков" : L"");
        problems.where = where;
        AppendEntries(text, problems, title, owner, entries[slot], view.flag, lists);
        problems.where = L"";
    }
}
