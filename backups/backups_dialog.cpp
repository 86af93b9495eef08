#include "backups_dialog.h"

#include "../base/app_state.h"
#include "../base/bounded_text.h"
#include "../base/list_view.h"
#include "../base/shell_open.h"
#include "../catalogue/filter_list.h"
#include "backup_file.h"
#include "registry_restore.h"
#include "../resources/resource.h"
#include "backup_listing.h"

#include <cwchar>
#include <iterator>

namespace {

constexpr int kHeadingMargin = 24;  // pixels around a column's text

const wchar_t* const kColumns[] = {L"Дата", L"Действие", L"Кодек", L"Файл"};

// The open dialog's folder and files.
struct BackupsDialogState {
    wchar_t folder[MAX_PATH] = {};
    BackupListing listing;
};
BackupsDialogState g_backups;

HWND List(HWND dialog) { return GetDlgItem(dialog, IDC_BACKUP_LIST); }

const wchar_t* Cell(const BackupRow& row, int column) {
    switch (column) {
    case 0: return row.date;
    case 1: return row.action;
    case 2: return row.codec;
    default: return row.file;
    }
}

int SelectedRow(HWND dialog) {
    const int selected = ListView_GetNextItem(List(dialog), -1, LVNI_SELECTED);
    return selected >= 0 && static_cast<std::size_t>(selected) < g_backups.listing.count ? selected : -1;
}

void EnableActions(HWND dialog) {
    const bool chosen = SelectedRow(dialog) >= 0;
    EnableWindow(GetDlgItem(dialog, IDC_BACKUP_RESTORE), chosen);
    EnableWindow(GetDlgItem(dialog, IDC_BACKUP_SHOW), chosen);
}

void SetUpColumns(HWND dialog) {
    SetUpReportColumns(List(dialog), kColumns, static_cast<int>(std::size(kColumns)));
}

// Each column as wide as its heading or its longest text (the one of most
// characters, measured once: the list asks for its rows only as it shows them).
void SizeColumns(HWND dialog) {
    HWND list = List(dialog);
    for (int i = 0; i < static_cast<int>(std::size(kColumns)); ++i) {
        const wchar_t* longest = kColumns[i];
        std::size_t longestLength = std::wcslen(longest);
        for (std::size_t row = 0; row < g_backups.listing.count; ++row) {
            const wchar_t* text = Cell(BackupRowAt(g_backups.listing, row), i);
            const std::size_t length = std::wcslen(text);
            if (length > longestLength) {
                longest = text;
                longestLength = length;
            }
        }
        const int heading = ListView_GetStringWidth(list, kColumns[i]) + kHeadingMargin;
        const int widest = ListView_GetStringWidth(list, longest) + kHeadingMargin;
        ListView_SetColumnWidth(list, i, widest > heading ? widest : heading);
    }
}

// The row of the file named name (its name in the folder), or 0, the newest.
int RowOfFile(const wchar_t* name) {
    for (std::size_t row = 0; name && row < g_backups.listing.count; ++row) {
        if (lstrcmpiW(BackupRowAt(g_backups.listing, row).file, name) == 0) return static_cast<int>(row);
    }
    return 0;
}

// Lists the folder's files afresh, the file named choose chosen (its name in
// the folder), else the newest.
void Fill(HWND dialog, const wchar_t* choose = nullptr) {
    if (FindBackupFolder(g_backups.folder)) {
        ListBackupFiles(g_backups.folder, g_backups.listing);
    } else {
        g_backups.listing.count = 0;
    }
    HWND list = List(dialog);
    ListView_SetItemCountEx(list, static_cast<int>(g_backups.listing.count), 0);
    SizeColumns(dialog);
    if (g_backups.listing.count > 0) {
        const int row = RowOfFile(choose);
        ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        ListView_EnsureVisible(list, row, FALSE);
    }
    InvalidateRect(list, nullptr, TRUE);
    EnableActions(dialog);
}

// The chosen file's full path; false when none is chosen.
bool ChosenPath(HWND dialog, wchar_t* path, const BackupRow** row) {
    const int selected = SelectedRow(dialog);
    if (selected < 0) return false;
    *row = &BackupRowAt(g_backups.listing, static_cast<std::size_t>(selected));
    return JoinText(path, MAX_PATH, g_backups.folder, L"\\", (*row)->file);
}

void OnRestore(HWND dialog) {
    wchar_t path[MAX_PATH];
    const BackupRow* row = nullptr;
    if (!ChosenPath(dialog, path, &row)) return;
    // The restore's own backup is named after the codec of the one restored.
    wchar_t codec[MAX_PATH];
    CopyText(codec, MAX_PATH, row->codec);
    wchar_t ownBackup[MAX_PATH];
    const RestoreResult result = RestoreBackup(dialog, path, codec, LooksLikeClassId(codec) ? codec : L"", ownBackup);
    if (result == RestoreNotDone) return;
    RefreshFilterList();
    if (result == RestoreClosing) {
        EndDialog(dialog, 0);
        return;
    }
    // The restore's own backup is chosen: pressed again, "Восстановить" undoes the restore.
    const wchar_t* ownName = std::wcsrchr(ownBackup, L'\\');
    Fill(dialog, ownName ? ownName + 1 : nullptr);
}

void OnShow(HWND dialog) {
    wchar_t path[MAX_PATH];
    const BackupRow* row = nullptr;
    if (ChosenPath(dialog, path, &row)) ShellEdit(path);
}

// Fills a row's cell as the list asks for it.
void GiveCell(NMLVDISPINFOW& info) {
    if (!(info.item.mask & LVIF_TEXT) || info.item.iItem < 0 ||
        static_cast<std::size_t>(info.item.iItem) >= g_backups.listing.count || info.item.cchTextMax <= 0) {
        return;
    }
    const BackupRow& row = BackupRowAt(g_backups.listing, static_cast<std::size_t>(info.item.iItem));
    CopyText(info.item.pszText, static_cast<std::size_t>(info.item.cchTextMax), Cell(row, info.item.iSubItem));
}

}  // namespace

INT_PTR CALLBACK BackupsDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        SetUpColumns(dialog);
        Fill(dialog);
        SetFocus(List(dialog));
        return FALSE;  // the focus is set
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->idFrom != IDC_BACKUP_LIST) return FALSE;
        if (header->code == LVN_GETDISPINFOW) GiveCell(*reinterpret_cast<NMLVDISPINFOW*>(lParam));
        if (header->code == LVN_ITEMCHANGED) EnableActions(dialog);
        return TRUE;
    }
    case WM_CLOSE:
        EndDialog(dialog, 0);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDCANCEL: EndDialog(dialog, 0); break;
        case IDC_BACKUP_RESTORE: OnRestore(dialog); break;
        case IDC_BACKUP_SHOW: OnShow(dialog); break;
        case IDC_BACKUP_FOLDER:
            if (FindBackupFolder(g_backups.folder)) ShellOpen(g_backups.folder);
            break;
        default: break;
        }
        return TRUE;
    default:
        return FALSE;
    }
}

void OpenBackupsDialog() {
    DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_BACKUPS), g_app.mainWindow, BackupsDialog, 0);
}
