#include "scan_lookup.h"

#include "../base/bounded_text.h"
#include "../base/scoped.h"
#include "../catalogue/category_combo.h"
#include "../catalogue/category_table.h"
#include "../catalogue/filter_data.h"
#include "../catalogue/instance_entries.h"
#include "../catalogue/registry_lookup.h"
#include "../catalogue/registry_text.h"

#include <cwchar>

namespace {

// The third record of an entry: this mark when its FilterData is damaged, empty otherwise.
const wchar_t kDamagedMark[] = L"!";

void Clear(GrowingText& text) {
    TruncateText(text, 0);
    text.failed = false;
}

// Appends a text with its terminator, so that the texts stay apart.
void AppendRecord(GrowingText& text, const wchar_t* chars) { AppendChars(text, chars, std::wcslen(chars) + 1); }

// The record after `record` (each is a terminated text).
const wchar_t* NextRecord(const wchar_t* record) { return record + std::wcslen(record) + 1; }

const wchar_t* RecordsEnd(const GrowingText& text) { return TextChars(text) + text.length; }

void ReadEntries(ScanLookup& lookup, const wchar_t* instancePath) {
    Clear(lookup.entries);
    CopyText(lookup.instancePath, kNameCapacity, instancePath);
    ForEachInstanceEntry(instancePath, [&](HKEY entry, const wchar_t* entryName) {
        wchar_t name[kNameCapacity];
        if (!ReadRegistryText(entry, L"FriendlyName", name, kNameCapacity)) return false;
        wchar_t classId[kNameCapacity];
        ReadEntryClassId(entry, entryName, classId);
        AppendRecord(lookup.entries, name);
        AppendRecord(lookup.entries, classId);
        AppendRecord(lookup.entries, FilterDataDamaged(CheckEntryFilterData(entry)) ? kDamagedMark : L"");
        return lookup.entries.failed;
    });
    lookup.entriesRead = !lookup.entries.failed;
}

void ReadClasses(ScanLookup& lookup) {
    Clear(lookup.classValues);
    RegKey classes;
    if (classes.Open(HKEY_CLASSES_ROOT, L"CLSID") == ERROR_SUCCESS) {
        ForEachSubkeyName(classes.Get(), [&](const wchar_t* className) {
            wchar_t value[kNameCapacity];
            ReadClassDefaultValue(className, value);
            AppendRecord(lookup.classValues, value);
            return lookup.classValues.failed;
        });
    }
    lookup.classesRead = !lookup.classValues.failed;
}

// The Instance search over the entries read: the first entry whose name
// matches gives its class id and whether its FilterData is damaged.
bool FindInEntries(const ScanLookup& lookup, const wchar_t* friendlyName, wchar_t* classIdOut, bool* classIdCut,
                   bool* filterDataDamaged) {
    const wchar_t* end = RecordsEnd(lookup.entries);
    for (const wchar_t* name = TextChars(lookup.entries); name < end;) {
        const wchar_t* classId = NextRecord(name);
        const wchar_t* mark = NextRecord(classId);
        if (lstrcmpiW(name, friendlyName) == 0) {
            TakeClassId(classIdOut, classId, classIdCut);
            if (filterDataDamaged) *filterDataDamaged = mark[0] != L'\0';
            return true;
        }
        name = NextRecord(mark);
    }
    return false;
}

// The name of the class key at `place` in the enumeration, when its default
// value still equals friendlyName.
bool ClassKeyStillMatches(DWORD place, const wchar_t* friendlyName, wchar_t* classIdOut) {
    RegKey classes;
    if (classes.Open(HKEY_CLASSES_ROOT, L"CLSID") != ERROR_SUCCESS) return false;
    wchar_t name[256];
    if (!SubkeyNameAt(classes.Get(), place, name)) return false;
    wchar_t value[kNameCapacity];
    if (!ReadClassDefaultValue(name, value) || lstrcmpiW(value, friendlyName) != 0) return false;
    CopyText(classIdOut, kClassIdCapacity, name);
    return true;
}

// The class search over the default values read: the first class key whose
// value matches gives its name.
bool FindInClasses(ScanLookup& lookup, const wchar_t* friendlyName, wchar_t* classIdOut) {
    const wchar_t* end = RecordsEnd(lookup.classValues);
    DWORD place = 0;
    for (const wchar_t* value = TextChars(lookup.classValues); value < end; value = NextRecord(value), ++place) {
        if (lstrcmpiW(value, friendlyName) != 0) continue;
        if (ClassKeyStillMatches(place, friendlyName, classIdOut)) return true;
        // The class keys changed since they were read (another program at
        // work): this name gets the walk, and they are read afresh when next needed.
        ForgetScanLookup(lookup, ScanLookupClasses);
        return FindClassKeyByName(friendlyName, classIdOut);
    }
    return false;
}

}  // namespace

LookupKind ScanFindRegistration(ScanLookup& lookup, wchar_t* classIdOut, const wchar_t* friendlyName,
                                bool* classIdCut, bool* filterDataDamaged) {
    if (classIdCut) *classIdCut = false;
    if (filterDataDamaged) *filterDataDamaged = false;
    wchar_t instancePath[kNameCapacity];
    BuildInstanceKeyPath(instancePath, kNameCapacity, SelectedRegistryCategory());
    if (!lookup.entriesRead || lstrcmpW(lookup.instancePath, instancePath) != 0) ReadEntries(lookup, instancePath);
    // Without the memory to hold what it reads, the scan walks the registry
    // for every row, as the management dialog does.
    if (!lookup.entriesRead) {
        const LookupKind kind = FindFilterRegistration(classIdOut, friendlyName, classIdCut);
        if (kind == LookupInstanceKey && filterDataDamaged) {
            *filterDataDamaged = FilterDataDamaged(CheckNamedEntryFilterData(friendlyName));
        }
        return kind;
    }
    if (FindInEntries(lookup, friendlyName, classIdOut, classIdCut, filterDataDamaged)) return LookupInstanceKey;

    return ScanFindClassKey(lookup, friendlyName, classIdOut) ? LookupClassKey : LookupNone;
}

bool ScanFindClassKey(ScanLookup& lookup, const wchar_t* friendlyName, wchar_t* classIdOut) {
    if (!lookup.classesRead) ReadClasses(lookup);
    if (!lookup.classesRead) return FindClassKeyByName(friendlyName, classIdOut);
    return FindInClasses(lookup, friendlyName, classIdOut);
}

void ForgetScanLookup(ScanLookup& lookup, unsigned parts) {
    if (parts & ScanLookupEntries) {
        lookup.entriesRead = false;
        Clear(lookup.entries);
    }
    if (parts & ScanLookupClasses) {
        lookup.classesRead = false;
        Clear(lookup.classValues);
    }
}
