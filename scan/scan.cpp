#include "scan.h"

#include "../base/app_state.h"
#include "../base/bounded_text.h"
#include "../base/file_found.h"
#include "../base/list_box.h"
#include "../base/message_box.h"
#include "../catalogue/category_combo.h"
#include "../catalogue/category_table.h"
#include "../catalogue/filter_data.h"
#include "../catalogue/filter_list.h"
#include "../catalogue/registry_lookup.h"
#include "../catalogue/registry_text.h"
#include "../codecs/manage_dialog.h"
#include "../backups/registry_backup.h"
#include "../registry/removal_report.h"
#include "../resources/resource.h"
#include "scan_lookup.h"
#include "scan_place.h"

#include <cwchar>

namespace {

// Set while a scan runs, so that choosing the scan again from inside its own
// message pump does not start a second scan over the first.
bool g_scanRunning = false;

// Dispatches every waiting message of the thread. Returns false when the quit
// message came up: the scan must end so that the program can.
bool PumpMessages(int* quitCode) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            *quitCode = static_cast<int>(message.wParam);
            return false;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return true;
}

// Set only by tests, to compare the scan's findings with those of the walk
// made for every row.
bool g_lookUpEachRow = false;

// Checks one list row: a registration without a class key is offered for
// removal; a server file that cannot be found, or a damaged FilterData, is
// offered for management.
// After an answer that may change the registry, what the lookup read and that
// answer may have changed is dropped, to be read afresh for the next row.
void CheckRow(const wchar_t* rowText, ScanLookup& lookup) {
    wchar_t classId[kClassIdCapacity] = {};
    bool classIdCut = false;
    bool filterDataDamaged = false;
    const LookupKind kind = g_lookUpEachRow ? FindFilterRegistration(classId, rowText, &classIdCut)
                                            : ScanFindRegistration(lookup, classId, rowText, &classIdCut,
                                                                   &filterDataDamaged);
    if (kind == LookupNone) return;
    if (g_lookUpEachRow && kind == LookupInstanceKey) {
        filterDataDamaged = FilterDataDamaged(CheckNamedEntryFilterData(rowText));
    }
    // A class id cut to fit names no class: like an empty one, it is never
    // taken for a key name, and a removal takes the entry found by the row's name.
    if (classIdCut) CopyText(classId, kClassIdCapacity, L"");

    wchar_t objectName[kNameCapacity] = {};
    wchar_t serverPath[kNameCapacity] = {};
    DWORD serverType = REG_NONE;
    if (ReadClassInfo(classId, objectName, serverPath, &serverType) == 0) {
        const int answer =
            ShowMessageBox(g_app.mainWindow, L"Найден некорректно зарегистрированный кодек. Удалить его из реестра?",
                           rowText, MB_YESNO | MB_ICONQUESTION);
        // Only a real Yes removes: a box that could not be shown answers 0.
        // The removal searches the combobox's category: the scanned one,
        // whatever was chosen while the question was open.
        if (answer == IDYES) RestoreCategoryRow(static_cast<int>(g_app.scanCategoryIndex));
        if (answer == IDYES && BackUpCodecEntries(g_app.mainWindow, BackupScanRemoval, rowText, classId, false)) {
            // What stayed is named in a box owned by the main window; a
            // restart for the rights closes the program at the next pump.
            RemoveCodecEntriesAndReport(g_app.mainWindow, classId, rowText, false);
            // The removal deletes Instance entries. Of the class keys it
            // deletes only this class's, which could not be opened and so was
            // never read.
            ForgetScanLookup(lookup, ScanLookupEntries);
        }
        return;
    }
    // A path holding an environment variable in an expandable value is not
    // tested; in any other value it is the path COM looks for, "%" and all. A
    // damaged FilterData is a broken registration whatever the file.
    if (!filterDataDamaged) {
        if (serverType == REG_EXPAND_SZ && std::wcschr(serverPath, L'%') != nullptr) return;
        if (FileFound(serverPath)) return;
    }

    SendMessageW(g_app.filterList, LB_SETCURSEL, g_app.scanItemIndex, 0);
    const int answer =
        ShowMessageBox(g_app.mainWindow, L"Кодек, возможно, зарегистрирован некорректно. Активировать управление?",
                       objectName, MB_YESNO | MB_ICONQUESTION);
    if (answer != IDNO) {
        // The management dialog looks up the row the question named, in the
        // scanned category, even when the list's selection or the category
        // changed while it was open; whatever is done in it (a deletion,
        // regsvr32 /u) may change any key.
        RestoreCategoryRow(static_cast<int>(g_app.scanCategoryIndex));
        OpenManageDialogForRow(rowText);
        ForgetScanLookup(lookup, ScanLookupAll);
    }
}

// Checks every row of the category just listed, in the list's order.
ScanEnd ScanListedRows(ScanLookup& lookup, int* quitCode) {
    wchar_t rowText[kNameCapacity];
    std::uint32_t fills = FilterListFillCount();
    ScanPlace place;
    g_app.scanItemCount = static_cast<std::uint32_t>(ListRowCount(g_app.filterList));
    g_app.scanItemIndex = 0;
    for (;;) {
        if (FilterListFillCount() != fills) {
            // The list was refilled under the scan: by the management dialog
            // after a deletion, or by the main window's refresh or check box.
            // The rows have moved, and any registration may have changed.
            fills = FilterListFillCount();
            ForgetScanLookup(lookup, ScanLookupAll);
            g_app.scanItemCount = static_cast<std::uint32_t>(ListRowCount(g_app.filterList));
            g_app.scanItemIndex = RowAfterPlace(place, g_app.filterList);
        }
        if (g_app.scanItemIndex >= g_app.scanItemCount) return ScanEndCompleted;
        if (!PumpMessages(quitCode)) return ScanEndQuitRequested;
        if (g_app.scanCancelRequested) {
            g_app.scanCancelRequested = false;
            return ScanEndCancelled;
        }
        // A command handled in the pump refilled the list: the place comes first.
        if (FilterListFillCount() != fills) continue;
        GetListRowText(g_app.filterList, static_cast<int>(g_app.scanItemIndex), rowText, kNameCapacity);
        NoteCheckedRow(place, g_app.filterList, g_app.scanItemIndex, rowText);
        if (lstrcmpiW(rowText, L"") != 0) {
            CopyText(g_app.scanItemName, kScanNameCapacity, rowText);
            UpdateScanProgress();
            CheckRow(rowText, lookup);
        }
        ++g_app.scanItemIndex;
    }
}

}  // namespace

int ScanProgressPosition(std::uint32_t index, std::uint32_t count) {
    if (count == 0) return 0;
    // Each step is stored as a double, so that wider intermediate precision
    // (the x87 unit of 32-bit builds) cannot change the truncated result.
    const volatile double quotient = static_cast<double>(index) / static_cast<double>(count);
    const volatile double percent = quotient * 100.0;
    return static_cast<int>(percent);
}

void UpdateScanProgress() {
    wchar_t text[kShortTextCapacity];
    FormatText(text, kShortTextCapacity, L"%u / %u", g_app.scanCategoryIndex, static_cast<unsigned>(kCategoryCount));
    SetDlgItemTextW(g_app.progressDialog, IDC_SCAN_CATEGORY, text);
    FormatText(text, kShortTextCapacity, L"%u / %u", g_app.scanItemIndex, g_app.scanItemCount);
    AppendText(text, kShortTextCapacity, L" - ");
    AppendText(text, kShortTextCapacity, g_app.scanItemName);
    SetDlgItemTextW(g_app.progressDialog, IDC_SCAN_ITEM, text);
    SendMessageW(g_app.progressBar, PBM_SETPOS, ScanProgressPosition(g_app.scanItemIndex, g_app.scanItemCount), 0);
}

ScanEnd ScanForBrokenCodecs(int* quitCode) {
    ScanLookup lookup;
    for (g_app.scanCategoryIndex = 0; g_app.scanCategoryIndex < kCategoryCount; ++g_app.scanCategoryIndex) {
        SendMessageW(g_app.categoryCombo, CB_SETCURSEL, g_app.scanCategoryIndex, 0);
        RefreshFilterList();
        // Each category's Instance entries are read afresh, and the class
        // keys once a scan: a change that another program makes during the
        // scan may be seen a category or a scan later than by a walk for
        // every row, unless the user's own answers make the scan read again.
        ForgetScanLookup(lookup, ScanLookupEntries);
        const ScanEnd end = ScanListedRows(lookup, quitCode);
        if (end != ScanEndCompleted) return end;
    }
    return ScanEndCompleted;
}

void SetScanLooksUpEachRow(bool eachRow) { g_lookUpEachRow = eachRow; }

INT_PTR CALLBACK ScanDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL) {
            g_app.scanCancelRequested = true;
            // Only hidden: EndDialog would hide it too, but it also enables
            // the owner, the main window, even while a management dialog or a
            // prompt holds it disabled. The scan command destroys it.
            ShowWindow(dialog, SW_HIDE);
        }
        return FALSE;
    default:
        return FALSE;
    }
}

void RunScanCommand() {
    if (g_scanRunning) return;
    g_scanRunning = true;
    g_app.progressDialog = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_SCAN_PROGRESS),
                                              g_app.mainWindow, ScanDialog, 0);
    g_app.progressBar = GetDlgItem(g_app.progressDialog, IDC_SCAN_BAR);
    g_app.scanCancelRequested = false;

    int quitCode = 0;
    const ScanEnd end = ScanForBrokenCodecs(&quitCode);

    if (g_app.progressDialog && IsWindow(g_app.progressDialog)) DestroyWindow(g_app.progressDialog);
    g_app.progressDialog = nullptr;
    g_scanRunning = false;
    if (end == ScanEndQuitRequested) {
        // The main window is gone: hand the quit back to the message loop.
        PostQuitMessage(quitCode);
        return;
    }
    ShowMessageBox(g_app.mainWindow, L"Поиск завершен.", L"Сообщение", MB_ICONINFORMATION);
}
