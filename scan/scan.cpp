#include "scan.h"

#include "../app/app_state.h"
#include "../app/utils/bounded_text.h"
#include "../app/utils/file_found.h"
#include "../app/utils/list_box.h"
#include "../app/utils/message_box.h"
#include "../catalogue/category_table.h"
#include "../catalogue/filter_list.h"
#include "../catalogue/registry_lookup.h"
#include "../catalogue/registry_text.h"
#include "../codecs/manage_dialog.h"
#include "../codecs/registry_backup.h"
#include "../codecs/registry_removal.h"
#include "../resources/resource.h"

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

// Checks one list row: a registration without a class key is offered for
// removal; a server file that cannot be found is offered for management.
void CheckRow(const wchar_t* rowText) {
    wchar_t classId[kClassIdCapacity] = {};
    if (FindFilterRegistration(classId, rowText) == LookupNone) return;

    wchar_t objectName[kNameCapacity] = {};
    wchar_t serverPath[kNameCapacity] = {};
    if (ReadClassInfo(classId, objectName, serverPath) == 0) {
        const int answer =
            ShowMessageBox(g_app.mainWindow, L"Найден некорректно зарегистрированный кодек. Удалить его из реестра?",
                           rowText, MB_YESNO | MB_ICONQUESTION);
        // Only Yes removes: a box that could not be shown (0) was never answered.
        if (answer == IDYES && BackUpCodecEntries(g_app.mainWindow, BackupScanRemoval, rowText, classId, false)) {
            RemoveCodecRegistry(classId, rowText);
        }
        return;
    }
    // A path holding an environment variable is not tested.
    if (std::wcschr(serverPath, L'%') != nullptr) return;
    if (FileFound(serverPath)) return;

    SendMessageW(g_app.filterList, LB_SETCURSEL, g_app.scanItemIndex, 0);
    const int answer =
        ShowMessageBox(g_app.mainWindow, L"Кодек, возможно, зарегистрирован некорректно. Активировать управление?",
                       objectName, MB_YESNO | MB_ICONQUESTION);
    if (answer != IDNO) OpenManageDialog();
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
    wchar_t rowText[kNameCapacity];
    for (g_app.scanCategoryIndex = 0; g_app.scanCategoryIndex < kCategoryCount; ++g_app.scanCategoryIndex) {
        SendMessageW(g_app.categoryCombo, CB_SETCURSEL, g_app.scanCategoryIndex, 0);
        RefreshFilterList();
        const LRESULT rows = SendMessageW(g_app.filterList, LB_GETCOUNT, 0, 0);
        g_app.scanItemCount = rows > 0 ? static_cast<std::uint32_t>(rows) : 0;
        for (g_app.scanItemIndex = 0; g_app.scanItemIndex < g_app.scanItemCount; ++g_app.scanItemIndex) {
            if (!PumpMessages(quitCode)) return ScanEndQuitRequested;
            if (g_app.scanCancelRequested) {
                g_app.scanCancelRequested = false;
                return ScanEndCancelled;
            }
            // A row beyond the list's end (the list changed meanwhile) is passed over.
            if (!GetListRowText(g_app.filterList, static_cast<int>(g_app.scanItemIndex), rowText, kNameCapacity)) {
                continue;
            }
            if (lstrcmpiW(rowText, L"") == 0) continue;
            CopyText(g_app.scanItemName, kScanNameCapacity, rowText);
            UpdateScanProgress();
            CheckRow(rowText);
        }
    }
    return ScanEndCompleted;
}

INT_PTR CALLBACK ScanDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL) {
            g_app.scanCancelRequested = true;
            EndDialog(dialog, 0);  // hides the modeless dialog; the scan command destroys it
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
