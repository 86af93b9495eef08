// Measurements 1 to 4: the program's own operations called in this process,
// on a real main window, each against a bare walk that reads only what the
// operation needs to read.
#include "bench_common.h"

#include "../app/app_state.h"
#include "../app/bounded_text.h"
#include "../app/main_window.h"
#include "../app/message_box.h"
#include "../app/scoped.h"
#include "../catalogue/category_table.h"
#include "../catalogue/filter_list.h"
#include "../catalogue/registry_lookup.h"
#include "../catalogue/registry_text.h"
#include "../merit/merit.h"
#include "../resources/resource.h"
#include "../scan/scan.h"
#include "../tests/common/test_registry.h"

#include <cwchar>

namespace {

int g_prompts = 0;

// Every question of the scan is answered "No", as a user keeping everything would.
int AnswerNo(HWND, const wchar_t*, const wchar_t*, UINT) {
    ++g_prompts;
    return IDNO;
}

// Lets the window handle what the last operation left waiting (paints, mostly),
// outside any timed section.
void Settle() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

int ListCount() { return static_cast<int>(SendMessageW(g_app.filterList, LB_GETCOUNT, 0, 0)); }

// ---- Baselines ----

// The device enumerator's walk of one category reading FriendlyName only.
int BareDeviceWalk(const GUID& category) {
    ComPtr<ICreateDevEnum> devices;
    if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                                devices.PutVoid()))) {
        return -1;
    }
    ComPtr<IEnumMoniker> monikers;
    if (devices->CreateClassEnumerator(category, monikers.Put(), 0) != S_OK || !monikers) return 0;
    int names = 0;
    for (;;) {
        ComPtr<IMoniker> moniker;
        if (monikers->Next(1, moniker.Put(), nullptr) != S_OK || !moniker) break;
        ComPtr<IPropertyBag> bag;
        if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.PutVoid()))) continue;
        ScopedVariant name;
        if (SUCCEEDED(bag->Read(L"FriendlyName", name.Get(), nullptr))) ++names;
    }
    return names;
}

// HKCR\CLSID walked once, each subkey opened below the open CLSID key and its default value read.
int BareClassWalk() {
    RegKey classes;
    if (classes.Open(HKEY_CLASSES_ROOT, L"CLSID") != ERROR_SUCCESS) return -1;
    int keys = 0;
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD count = 256;
        if (RegEnumKeyExW(classes.Get(), index, name, &count, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
            break;
        }
        HKEY classKey;
        if (RegOpenKeyExW(classes.Get(), name, 0, KEY_QUERY_VALUE, &classKey) != ERROR_SUCCESS) continue;
        wchar_t value[kNameCapacity];
        DWORD bytes = sizeof(value);
        RegQueryValueExW(classKey, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &bytes);
        RegCloseKey(classKey);
        ++keys;
    }
    return keys;
}

// The mapper's enumeration with the arguments ReadFilterMerit uses, walked to
// its end without reading anything; optionally the last filter's name.
int BareMatchingFilters(std::wstring* lastName = nullptr, int* lastNameCount = nullptr) {
    ComPtr<IFilterMapper2> mapper;
    if (FAILED(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER,
                                IID_IFilterMapper2, mapper.PutVoid()))) {
        return -1;
    }
    ComPtr<IEnumMoniker> filters;
    if (FAILED(mapper->EnumMatchingFilters(filters.Put(), 0, FALSE, 1, FALSE, 0, nullptr, nullptr, nullptr, FALSE,
                                           FALSE, 0, nullptr, nullptr, nullptr)) ||
        !filters) {
        return -1;
    }
    std::vector<std::wstring> names;
    int count = 0;
    for (;;) {
        ComPtr<IMoniker> moniker;
        if (filters->Next(1, moniker.Put(), nullptr) != S_OK || !moniker) break;
        ++count;
        if (!lastName) continue;
        ComPtr<IPropertyBag> bag;
        ScopedVariant name;
        if (SUCCEEDED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.PutVoid())) && bag &&
            SUCCEEDED(bag->Read(L"FriendlyName", name.Get(), nullptr)) && (*name).vt == VT_BSTR) {
            names.push_back((*name).bstrVal);
        } else {
            names.push_back(L"");
        }
    }
    if (lastName && !names.empty()) {
        *lastName = names.back();
        int same = 0;
        for (const std::wstring& name : names) same += name == names.back();
        if (lastNameCount) *lastNameCount = same;
    }
    return count;
}

struct LookupCounts {
    int rows = 0, instanceHits = 0, classHits = 0, misses = 0, brokenClass = 0, skippedVariable = 0, filesFound = 0,
        filesMissing = 0;
    double missMs = 0.0;    // lookups of rows registered nowhere (each walks all of HKCR\CLSID)
    double refillMs = 0.0;  // the list fills that give the rows (not part of the lookup sum)
    std::wstring missedRows;
};

// What the scan looks up for one row, in the scan's order: the registration,
// the class key, the server file.
void LookUpRow(const wchar_t* rowText, LookupCounts& counts) {
    wchar_t classId[kClassIdCapacity] = {};
    const LookupKind kind = FindFilterRegistration(classId, rowText);
    if (kind == LookupNone) {
        ++counts.misses;
        return;
    }
    (kind == LookupInstanceKey ? counts.instanceHits : counts.classHits)++;
    wchar_t objectName[kNameCapacity] = {};
    wchar_t serverPath[kNameCapacity] = {};
    if (ReadClassInfo(classId, objectName, serverPath) == 0) {
        ++counts.brokenClass;
        return;
    }
    if (std::wcschr(serverPath, L'%') != nullptr) {
        ++counts.skippedVariable;
        return;
    }
    WIN32_FIND_DATAW found;
    FindHandle search(FindFirstFileW(serverPath, &found));
    (search.Found() ? counts.filesFound : counts.filesMissing)++;
}

// The rows the scan visits, category by category, each looked up as the scan
// does; only the lookups are timed, not the list fills that give the rows.
double TimeScanLookups(LookupCounts& counts) {
    double total = 0.0;
    for (std::size_t category = 0; category < kCategoryCount; ++category) {
        SendMessageW(g_app.categoryCombo, CB_SETCURSEL, category, 0);
        counts.refillMs += TimeMs([] { RefreshFilterList(); });
        Settle();
        std::vector<std::wstring> rows;
        const int count = ListCount();
        for (int row = 0; row < count; ++row) {
            wchar_t text[kNameCapacity];
            if (GetListRowText(g_app.filterList, row, text, kNameCapacity) && text[0] != L'\0') rows.push_back(text);
        }
        for (const std::wstring& row : rows) {
            ++counts.rows;
            const int missesBefore = counts.misses;
            const double elapsed = TimeMs([&] { LookUpRow(row.c_str(), counts); });
            total += elapsed;
            if (counts.misses != missesBefore) {
                counts.missMs += elapsed;
                counts.missedRows += (counts.missedRows.empty() ? L"" : L", ") + row;
            }
        }
    }
    return total;
}

void ShowDefaultCategory() {
    SendMessageW(g_app.categoryCombo, CB_SETCURSEL, kDefaultCategoryRow, 0);
    RefreshFilterList();
    SendMessageW(g_app.filterList, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    Settle();
}

int CountSubkeys(const wchar_t* path) {
    RegKey key;
    if (key.Open(HKEY_CLASSES_ROOT, path) != ERROR_SUCCESS) return -1;
    DWORD subkeys = 0;
    RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr, nullptr,
                     nullptr, nullptr);
    return static_cast<int>(subkeys);
}

}  // namespace

bool RunInProcess(std::vector<ResultRow>& rows, int scale) {
    INITCOMMONCONTROLSEX controls;
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_WIN95_CLASSES;
    InitCommonControlsEx(&controls);
    CoInitialize(nullptr);
    if (!CreateMainWindow(GetModuleHandleW(nullptr))) return false;
    // Shown as the program shows it, so that list fills land on a visible list.
    const bool hidden = GetEnvironmentVariableW(L"VANTREL_BENCH_HIDDEN", nullptr, 0) != 0;
    if (!hidden) {
        ShowWindow(g_app.mainWindow, SW_SHOWNORMAL);
        UpdateWindow(g_app.mainWindow);
    }
    Settle();
    SetMessageBoxObserver(AnswerNo);

    const int classKeys = CountSubkeys(L"CLSID");
    const int legacyEntries = CountSubkeys(kLegacyInstance);
    const int videoEntries = CountSubkeys(kVideoCompressorInstance);
    Progress("registry: %d class keys, %d legacy Instance entries, %d video compressor Instance entries%s", classKeys,
             legacyEntries, videoEntries, hidden ? " (main window hidden)" : "");

    // 1. Filling the list from the legacy category.
    if (Selected("1")) {
        ResultRow row{"1", "EnumerateCategory, legacy filter category", "device-enumerator walk of the same "
                      "category reading FriendlyName only (no list)", "ms", {}, {}, ""};
        const int reps = 15 * scale;
        EnumerateCategory(CLSID_LegacyAmFilterCategory);  // warm-up, as every row below
        Settle();
        BareDeviceWalk(CLSID_LegacyAmFilterCategory);
        int listed = 0, named = 0;
        for (int i = 0; i < reps; ++i) {
            row.program.Add(TimeMs([] { EnumerateCategory(CLSID_LegacyAmFilterCategory); }));
            listed = ListCount();
            Settle();
            row.reference.Add(TimeMs([&] { named = BareDeviceWalk(CLSID_LegacyAmFilterCategory); }));
        }
        row.note = Text("%d rows listed, %d names read by the baseline", listed, named);
        Progress("1 done: %s", row.note.c_str());
        rows.push_back(std::move(row));
        ShowDefaultCategory();
    }

    // 2. A name that is registered nowhere.
    if (Selected("2")) {
        ResultRow row{"2", "FindFilterRegistration, name found nowhere", "one walk of HKCR\\CLSID reading each "
                      "default value", "ms", {}, {}, ""};
        const int reps = 7 * scale;
        const std::wstring nowhere = L"Bench name found nowhere";
        wchar_t classId[kClassIdCapacity] = {};
        LookupKind kind = LookupNone;
        int walked = 0;
        FindFilterRegistration(classId, nowhere.c_str());
        BareClassWalk();
        for (int i = 0; i < reps; ++i) {
            row.program.Add(TimeMs([&] { kind = FindFilterRegistration(classId, nowhere.c_str()); }));
            row.reference.Add(TimeMs([&] { walked = BareClassWalk(); }));
        }
        row.note = Text("lookup kind %d (0 = none); %d legacy Instance entries + %d class keys searched; baseline "
                        "walked %d class keys", static_cast<int>(kind), legacyEntries, classKeys, walked);
        Progress("2 done: %s", row.note.c_str());
        rows.push_back(std::move(row));
    }

    // 3. The merit of the filter the mapper enumerates last.
    if (Selected("3")) {
        ResultRow row{"3", "ReadFilterMerit, last-enumerated filter", "IFilterMapper2::EnumMatchingFilters (flags 0, "
                      "inexact, merit >= 1, no pins) walked to its end", "ms", {}, {}, ""};
        const int reps = 9 * scale;
        std::wstring lastName;
        int sameName = 0;
        const int enumerated = BareMatchingFilters(&lastName, &sameName);
        CopyText(g_app.selectedName, kNameCapacity, lastName.c_str());
        std::uint32_t merit = ReadFilterMerit();
        int counted = 0;
        for (int i = 0; i < reps; ++i) {
            row.program.Add(TimeMs([&] { merit = ReadFilterMerit(); }));
            row.reference.Add(TimeMs([&] { counted = BareMatchingFilters(); }));
        }
        row.note = Text("%d filters enumerated; last one \"%s\" (%d of that name), merit read 0x%08x", enumerated,
                        Utf8(lastName).c_str(), sameName, merit);
        Progress("3 done: %s", row.note.c_str());
        rows.push_back(std::move(row));
        (void)counted;
    }

    // 4. The whole scan against the sum of its lookups.
    if (Selected("4")) {
        ResultRow row{"4", "ScanForBrokenCodecs, every prompt answered No", "sum of FindFilterRegistration + "
                      "ReadClassInfo + file check over the rows the scan visits", "ms", {}, {}, ""};
        const int reps = 3 * scale;
        g_app.progressDialog = nullptr;
        g_app.progressBar = nullptr;
        int prompts = 0;
        LookupCounts counts;
        for (int i = 0; i < reps; ++i) {
            ShowDefaultCategory();
            g_prompts = 0;
            int quitCode = 0;
            ScanEnd end = ScanEnd::Completed;
            row.program.Add(TimeMs([&] { end = ScanForBrokenCodecs(&quitCode); }));
            prompts = g_prompts;
            if (end != ScanEnd::Completed) Progress("scan ended early (%d)", static_cast<int>(end));
            Settle();
            counts = LookupCounts{};
            row.reference.Add(TimeScanLookups(counts));
            Progress("4 repetition %d: scan %.0f ms; lookups %.0f ms, of which %.0f ms for %d rows found nowhere; "
                     "the 5 list fills %.0f ms", i + 1, row.program.values.back(), row.reference.values.back(),
                     counts.missMs, counts.misses, counts.refillMs);
        }
        // One more pass with the progress dialog the scan command shows, for
        // the share of the per-row progress updates (reported, not in the table).
        ShowDefaultCategory();
        g_app.progressDialog = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_SCAN_PROGRESS),
                                                  g_app.mainWindow, ScanDialog, 0);
        g_app.progressBar = GetDlgItem(g_app.progressDialog, IDC_SCAN_BAR);
        Settle();
        int quitCode = 0;
        const double withDialog = TimeMs([&] { ScanForBrokenCodecs(&quitCode); });
        DestroyWindow(g_app.progressDialog);
        g_app.progressDialog = nullptr;
        g_app.progressBar = nullptr;
        Settle();
        Progress("4 with the progress dialog shown: scan %.0f ms", withDialog);
        row.note = Text("one scan with the progress dialog shown: %.0f ms; ", withDialog);
        row.note += Text("%d rows visited, %d prompts answered No; lookups: %d Instance hits, %d class-key hits, %d "
                        "found nowhere (%s), %d broken class keys, %d server files found, %d missing; last pass: "
                        "%.0f ms of lookups for the rows found nowhere, list fills %.0f ms",
                        counts.rows, prompts, counts.instanceHits, counts.classHits, counts.misses,
                        Utf8(counts.missedRows).c_str(), counts.brokenClass, counts.filesFound, counts.filesMissing,
                        counts.missMs, counts.refillMs);
        Progress("4 done: %s", row.note.c_str());
        rows.push_back(std::move(row));
        ShowDefaultCategory();
    }

    SetMessageBoxObserver(nullptr);
    DestroyWindow(g_app.mainWindow);
    Settle();
    CoUninitialize();
    return true;
}
