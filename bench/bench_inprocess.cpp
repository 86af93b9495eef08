// Measurements 1 to 4: the program's own operations called in this process,
// on a real main window, each against the bare form of the reads and calls
// that the operation has to make (bare_reads.h and the walks below).
#include "bench_common.h"

#include "../app/main_window.h"
#include "../base/app_state.h"
#include "../base/bounded_text.h"
#include "../base/list_box.h"
#include "../base/message_box.h"
#include "../base/scoped.h"
#include "../catalogue/category_table.h"
#include "../catalogue/filter_list.h"
#include "../catalogue/registry_lookup.h"
#include "../catalogue/registry_text.h"
#include "../merit/merit.h"
#include "../resources/resource.h"
#include "../scan/scan.h"
#include "../tests/common/test_registry.h"
#include "bare_reads.h"

#include <algorithm>
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

// The name of the filter the mapper enumerates last with the arguments
// ReadFilterMerit uses, and how many filters bear that name; returns the
// number of filters enumerated. Not timed.
int LastEnumeratedFilter(std::wstring* lastName, int* lastNameCount) {
    ComPtr<IFilterMapper2> mapper;
    if (FAILED(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                                mapper.PutVoid()))) {
        return -1;
    }
    ComPtr<IEnumMoniker> filters;
    if (FAILED(mapper->EnumMatchingFilters(filters.Put(), 0, FALSE, 1, FALSE, 0, nullptr, nullptr, nullptr, FALSE,
                                           FALSE, 0, nullptr, nullptr, nullptr)) ||
        !filters) {
        return -1;
    }
    std::vector<std::wstring> names;
    for (;;) {
        ComPtr<IMoniker> moniker;
        if (filters->Next(1, moniker.Put(), nullptr) != S_OK || !moniker) break;
        ComPtr<IPropertyBag> bag;
        ScopedVariant name;
        if (SUCCEEDED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.PutVoid())) && bag &&
            SUCCEEDED(bag->Read(L"FriendlyName", name.Get(), nullptr)) && (*name).vt == VT_BSTR) {
            names.push_back((*name).bstrVal);
        } else {
            names.push_back(L"");
        }
    }
    if (!names.empty()) {
        *lastName = names.back();
        *lastNameCount = static_cast<int>(std::count(names.begin(), names.end(), names.back()));
    }
    return static_cast<int>(names.size());
}

struct LookupCounts {
    int rows = 0, instanceHits = 0, classHits = 0, misses = 0, brokenClass = 0, skippedVariable = 0, filesFound = 0,
        filesMissing = 0;
    double missMs = 0.0;  // lookups of rows registered nowhere (each walks all of HKCR\CLSID)
    double fillMs = 0.0;  // the five bare list fills
    std::wstring missedRows;
};

// What the check of a row found.
enum RowFinding { FoundNothing, FoundNoClassKey, FoundMissingFile };

// The bare form of what the scan reads for a row once its class id is known:
// the class key, the server file.
RowFinding CheckClass(const std::wstring& classId, LookupCounts& counts) {
    std::wstring objectName, serverPath;
    if (!BareClassRead(classId, &objectName, &serverPath)) {
        ++counts.brokenClass;
        return FoundNoClassKey;
    }
    if (serverPath.find(L'%') != std::wstring::npos) {
        ++counts.skippedVariable;
        return FoundNothing;
    }
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(serverPath.c_str(), &found);
    (search != INVALID_HANDLE_VALUE ? counts.filesFound : counts.filesMissing)++;
    if (search == INVALID_HANDLE_VALUE) return FoundMissingFile;
    FindClose(search);
    return FoundNothing;
}

// The bare form of what the scan reads for one row when it walks the registry
// for every row, in the scan's order: the registration (the category's
// Instance key, then the class keys), the class key, the server file.
void LookUpRow(const wchar_t* instancePath, const wchar_t* rowText, LookupCounts& counts) {
    std::wstring classId;
    if (BareInstanceLookup(instancePath, rowText, &classId)) {
        ++counts.instanceHits;
    } else if (BareClassLookup(rowText, &classId)) {
        ++counts.classHits;
    } else {
        ++counts.misses;
        return;
    }
    CheckClass(classId, counts);
}

// The first key name whose text equals rowText without regard to case.
const std::wstring* FindNamed(const std::vector<NamedText>& read, const wchar_t* rowText, bool textIsName) {
    for (const NamedText& item : read) {
        const std::wstring& compared = textIsName ? item.first : item.second;
        if (lstrcmpiW(compared.c_str(), rowText) == 0) return textIsName ? &item.second : &item.first;
    }
    return nullptr;
}

// What the one-pass scan keeps between rows: the class keys, read when a row
// is first not found among a category's Instance entries.
struct OnePassReads {
    std::vector<NamedText> entries;  // FriendlyName, class id
    std::vector<NamedText> classes;  // key name, default value
    bool classesRead = false;
};

// The bare form of one row of the one-pass scan: the registration found among
// what was read, then the class key and the server file, as for every row.
RowFinding LookUpReadRow(OnePassReads& reads, const wchar_t* rowText, LookupCounts& counts) {
    std::wstring classId;
    if (const std::wstring* found = FindNamed(reads.entries, rowText, true)) {
        ++counts.instanceHits;
        classId = *found;
    } else {
        if (!reads.classesRead) {
            BareReadClassKeys(&reads.classes);
            reads.classesRead = true;
        }
        const std::wstring* named = FindNamed(reads.classes, rowText, false);
        if (!named) {
            ++counts.misses;
            return FoundNothing;
        }
        ++counts.classHits;
        classId = *named;
    }
    return CheckClass(classId, counts);
}

struct ListedRow {
    int index;
    std::wstring text;
};

// The rows the scan visits in one category: those of the program's own list,
// read untimed, so that every side visits the same rows (the program hides
// four system filters). The program's list keeps them afterwards.
std::vector<ListedRow> ProgramRows(std::size_t category) {
    SendMessageW(g_app.categoryCombo, CB_SETCURSEL, category, 0);
    RefreshFilterList();
    Settle();
    std::vector<ListedRow> rows;
    const int count = ListCount();
    for (int row = 0; row < count; ++row) {
        wchar_t text[kNameCapacity];
        if (GetListRowText(g_app.filterList, row, text, kNameCapacity) && text[0] != L'\0') rows.push_back({row, text});
    }
    return rows;
}

// One category as a bare scan begins it: the bare list fill into a hidden
// list, timed (and counted as fill time), then the rows the scan visits and
// the category's Instance key.
struct BareCategory {
    double fillMs;
    std::vector<ListedRow> rows;
    std::wstring instancePath;
};

BareCategory StartBareCategory(HWND bareList, std::size_t category, LookupCounts& counts) {
    const double fillMs = TimeMs([&] {
        SendMessageW(bareList, LB_RESETCONTENT, 0, 0);
        BareDeviceWalk(*CategoryTable[category].enumCategory, bareList);
    });
    counts.fillMs += fillMs;
    return {fillMs, ProgramRows(category),
            std::wstring(L"CLSID\\") + CategoryTable[category].registryCategory + L"\\Instance\\"};
}

// The bare scan that walks the registry for every row: each category filled
// into a hidden list by the device enumerator, then each row looked up.
double TimeBareScan(HWND bareList, LookupCounts& counts) {
    double total = 0.0;
    for (std::size_t category = 0; category < kCategoryCount; ++category) {
        const BareCategory listed = StartBareCategory(bareList, category, counts);
        total += listed.fillMs;
        for (const ListedRow& row : listed.rows) {
            ++counts.rows;
            const int missesBefore = counts.misses;
            const double elapsed = TimeMs([&] { LookUpRow(listed.instancePath.c_str(), row.text.c_str(), counts); });
            total += elapsed;
            if (counts.misses != missesBefore) {
                counts.missMs += elapsed;
                counts.missedRows += (counts.missedRows.empty() ? L"" : L", ") + row.text;
            }
        }
    }
    return total;
}

// The bare one-pass scan: each category filled as above and its Instance
// entries read once; the class keys read once, when a row is first not found
// among the entries. Each row is then checked as the scan checks it: the
// message queue drained, the row looked up among what was read, the class
// key and the server file read, and a suspect row selected in the (visible)
// list and asked about, the question answered by the same observer.
double TimeBareOnePassScan(HWND bareList, LookupCounts& counts) {
    double total = 0.0;
    OnePassReads reads;
    for (std::size_t category = 0; category < kCategoryCount; ++category) {
        const BareCategory listed = StartBareCategory(bareList, category, counts);
        total += listed.fillMs;
        total += TimeMs([&] {
            BareReadInstanceEntries(listed.instancePath.c_str(), &reads.entries);
            for (const ListedRow& row : listed.rows) {
                Settle();
                ++counts.rows;
                const RowFinding finding = LookUpReadRow(reads, row.text.c_str(), counts);
                if (finding == FoundMissingFile) SendMessageW(g_app.filterList, LB_SETCURSEL, row.index, 0);
                if (finding != FoundNothing) AnswerNo(g_app.mainWindow, L"", row.text.c_str(), MB_YESNO);
            }
        });
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
                      "category reading each FriendlyName into a hidden list box of the same style", "ms", {}, {}, ""};
        const int reps = 15 * scale;
        // The baseline's list: the program's list style and size, never shown.
        const HWND bareList = CreateWindowExW(0, L"LISTBOX", L"", WS_CHILD | LBS_STANDARD, 0, 40, 350, 300,
                                              g_app.mainWindow, nullptr, GetModuleHandleW(nullptr), nullptr);
        EnumerateCategory(CLSID_LegacyAmFilterCategory);  // warm-up, as every row below
        Settle();
        BareDeviceWalk(CLSID_LegacyAmFilterCategory, bareList);
        int listed = 0, named = 0;
        for (int i = 0; i < reps; ++i) {
            row.program.Add(TimeMs([] { EnumerateCategory(CLSID_LegacyAmFilterCategory); }));
            listed = ListCount();
            Settle();
            row.reference.Add(TimeMs([&] {
                SendMessageW(bareList, LB_RESETCONTENT, 0, 0);
                named = BareDeviceWalk(CLSID_LegacyAmFilterCategory, bareList);
            }));
        }
        DestroyWindow(bareList);
        row.note = Text("%d rows listed, %d names read and listed by the baseline", listed, named);
        Progress("1 done: %s", row.note.c_str());
        rows.push_back(std::move(row));
        ShowDefaultCategory();
    }

    // 2. A name that is registered nowhere.
    if (Selected("2")) {
        ResultRow row{"2", "FindFilterRegistration, name found nowhere", "the legacy Instance key walked reading each "
                      "FriendlyName, then HKCR\\CLSID walked reading each default value", "ms", {}, {}, ""};
        const int reps = 7 * scale;
        const std::wstring nowhere = L"Bench name found nowhere";
        wchar_t classId[kClassIdCapacity] = {};
        LookupKind kind = LookupNone;
        std::wstring bareClassId;
        int walked = 0;
        FindFilterRegistration(classId, nowhere.c_str());
        BareClassLookup(nowhere.c_str(), &bareClassId);
        for (int i = 0; i < reps; ++i) {
            row.program.Add(TimeMs([&] { kind = FindFilterRegistration(classId, nowhere.c_str()); }));
            row.reference.Add(TimeMs([&] {
                if (!BareInstanceLookup(kLegacyInstance, nowhere.c_str(), &bareClassId)) {
                    BareClassLookup(nowhere.c_str(), &bareClassId, &walked);
                }
            }));
        }
        row.note = Text("lookup kind %d (0 = none); %d legacy Instance entries + %d class keys searched; baseline "
                        "walked %d class keys", static_cast<int>(kind), legacyEntries, classKeys, walked);
        Progress("2 done: %s", row.note.c_str());
        rows.push_back(std::move(row));
    }

    // 3. The merit of the filter the mapper enumerates last.
    if (Selected("3")) {
        ResultRow row{"3", "ReadFilterMerit, last-enumerated filter", "IFilterMapper2::EnumMatchingFilters (flags 0, "
                      "inexact, merit >= 1, no pins) walked reading each FriendlyName to the filter of that name, "
                      "whose FilterData is parsed", "ms", {}, {}, ""};
        const int reps = 9 * scale;
        std::wstring lastName;
        int sameName = 0;
        const int enumerated = LastEnumeratedFilter(&lastName, &sameName);
        CopyText(g_app.selectedName, kNameCapacity, lastName.c_str());
        std::uint32_t merit = ReadFilterMerit();
        std::uint32_t bareMerit = BareMeritRead(lastName.c_str());
        int walked = 0;
        for (int i = 0; i < reps; ++i) {
            row.program.Add(TimeMs([&] { merit = ReadFilterMerit(); }));
            row.reference.Add(TimeMs([&] { bareMerit = BareMeritRead(lastName.c_str(), &walked); }));
        }
        row.note = Text("%d filters enumerated; last one \"%s\" (%d of that name), merit read 0x%08x, by the "
                        "baseline 0x%08x after %d filters", enumerated, Utf8(lastName).c_str(), sameName, merit,
                        bareMerit, walked);
        Progress("3 done: %s", row.note.c_str());
        rows.push_back(std::move(row));
    }

    // 4. The whole scan against the two bare scans: the walk for every row,
    // and the one-pass scan.
    if (Selected("4")) {
        ResultRow row{"4", "ScanForBrokenCodecs, against the walk for every row", "five bare list fills, and per row "
                      "the bare Instance and class key lookups, class key reads and the server file check", "ms", {}, {},
                      ""};
        ResultRow onePass{"4b", "ScanForBrokenCodecs, against the one-pass scan", "five bare list fills, each "
                          "category's Instance entries read once, the class keys read once (at the first row not "
                          "found among the entries), and per row the message queue drained, the lookup among what "
                          "was read, the class key reads, the server file check, and for a suspect row its "
                          "selection in the list and the question", "ms", {}, {}, ""};
        const int reps = 3 * scale;
        g_app.progressDialog = nullptr;
        g_app.progressBar = nullptr;
        const HWND bareList = CreateWindowExW(0, L"LISTBOX", L"", WS_CHILD | LBS_STANDARD, 0, 40, 350, 300,
                                              g_app.mainWindow, nullptr, GetModuleHandleW(nullptr), nullptr);
        int prompts = 0;
        LookupCounts counts, onePassCounts;
        for (int i = 0; i < reps; ++i) {
            ShowDefaultCategory();
            g_prompts = 0;
            int quitCode = 0;
            ScanEnd end = ScanEndCompleted;
            const double scan = TimeMs([&] { end = ScanForBrokenCodecs(&quitCode); });
            row.program.Add(scan);
            onePass.program.Add(scan);
            prompts = g_prompts;
            if (end != ScanEndCompleted) Progress("scan ended early (%d)", static_cast<int>(end));
            Settle();
            counts = LookupCounts{};
            row.reference.Add(TimeBareScan(bareList, counts));
            Settle();
            onePassCounts = LookupCounts{};
            onePass.reference.Add(TimeBareOnePassScan(bareList, onePassCounts));
            Progress("4 repetition %d: scan %.0f ms; bare scan walking for every row %.0f ms, of which %.0f ms for %d "
                     "rows found nowhere and %.0f ms for the 5 list fills; bare one-pass scan %.0f ms, of which "
                     "%.0f ms for the 5 list fills", i + 1, scan, row.reference.values.back(), counts.missMs,
                     counts.misses, counts.fillMs, onePass.reference.values.back(), onePassCounts.fillMs);
        }
        DestroyWindow(bareList);
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
                        "%.0f ms of bare lookups for the rows found nowhere, bare list fills %.0f ms",
                        counts.rows, prompts, counts.instanceHits, counts.classHits, counts.misses,
                        Utf8(counts.missedRows).c_str(), counts.brokenClass, counts.filesFound, counts.filesMissing,
                        counts.missMs, counts.fillMs);
        onePass.note = Text("the same scan samples as 4; the one-pass baseline's last pass: %d rows, %d Instance hits, "
                            "%d class-key hits, %d found nowhere, %d broken class keys, %d server files found, %d "
                            "missing; bare list fills %.0f ms", onePassCounts.rows, onePassCounts.instanceHits,
                            onePassCounts.classHits, onePassCounts.misses, onePassCounts.brokenClass,
                            onePassCounts.filesFound, onePassCounts.filesMissing, onePassCounts.fillMs);
        Progress("4 done: %s", row.note.c_str());
        Progress("4b done: %s", onePass.note.c_str());
        rows.push_back(std::move(row));
        rows.push_back(std::move(onePass));
        ShowDefaultCategory();
    }

    // 11 and 12: dialog 131 owned by this main window, and dialog 132's candidates.
    RunPreferredMeasurements(rows, scale);

    SetMessageBoxObserver(nullptr);
    DestroyWindow(g_app.mainWindow);
    Settle();
    CoUninitialize();
    return true;
}
