// Measurement 13: dialog 134 shown with 2,000 backup files in the backup
// folder, against a bare listing of the folder that reads each file's name
// with the program's own name parsing.
#include "bench_common.h"
#include "bare_reads.h"

#include "../backups/backup_listing.h"
#include "../backups/backups_dialog.h"
#include "../backups/backup_file.h"
#include "../resources/resource.h"

#include <algorithm>
#include <cwchar>
#include <commctrl.h>
#include <string>
#include <vector>

namespace {

constexpr int kBenchBackups = 2000;

// The backup files of a well-used machine: every action, in both name forms,
// some with copy numbers; each a small backup of one key.
std::vector<std::wstring> MakeBackups(const std::wstring& folder) {
    const wchar_t* const actions[] = {L"Удаление кодека", L"Отмена регистрации", L"Изменение приоритета",
                                      L"Change merit", L"Delete codec", L"Восстановление"};
    const std::wstring text = L"\xFEFFWindows Registry Editor Version 5.00\r\n\r\n"
                              L"[HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\{00000000-0000-0000-0000-000000000000}]\r\n"
                              L"\"FilterData\"=hex:02,00,00,00,00,00,60,00,00,00,00,00,00,00,00,00\r\n";
    std::vector<std::wstring> files;
    for (int i = 0; i < kBenchBackups; ++i) {
        wchar_t name[MAX_PATH];
        swprintf(name, MAX_PATH, L"%ls\\20%02d-%02d-%02d %02d-%02d-%02d %ls - Bench Codec %04d%ls.reg", folder.c_str(),
                 10 + i % 15, 1 + i % 12, 1 + i % 28, i % 24, i % 60, (i * 7) % 60, actions[i % 6], i,
                 i % 10 == 0 ? L" (2)" : L"");
        HANDLE file = CreateFileW(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(file, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written, nullptr);
        CloseHandle(file);
        files.push_back(name);
    }
    return files;
}

// The bare listing: every ".reg" file of the folder, its name read as the program reads it.
std::size_t BareListing(const std::wstring& folder, std::vector<BackupRow>& rows) {
    rows.clear();
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((folder + L"\\*.reg").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        rows.emplace_back();
        DescribeBackupFile(found, rows.back());
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return rows.size();
}

// The bare dialog of 13b: the same template, its four columns, the folder
// listed bare with the program's name parsing, sorted newest first, the
// virtual list given its count and each column sized from its longest text.
std::vector<BackupRow> g_bareRows;
std::wstring g_bareFolder;

const wchar_t* BareCell(const BackupRow& row, int column) {
    return column == 0 ? row.date : column == 1 ? row.action : column == 2 ? row.codec : row.file;
}

INT_PTR CALLBACK BareBackupsDialog(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
    if (message == WM_NOTIFY) {
        auto* info = reinterpret_cast<NMLVDISPINFOW*>(lParam);
        if (info->hdr.code != LVN_GETDISPINFOW || !(info->item.mask & LVIF_TEXT)) return FALSE;
        const auto row = static_cast<std::size_t>(info->item.iItem);
        if (row < g_bareRows.size()) {
            lstrcpynW(info->item.pszText, BareCell(g_bareRows[row], info->item.iSubItem), info->item.cchTextMax);
        }
        return TRUE;
    }
    if (message != WM_INITDIALOG) return FALSE;
    HWND list = GetDlgItem(dialog, IDC_BACKUP_LIST);
    const wchar_t* const headings[] = {L"Дата", L"Действие", L"Кодек", L"Файл"};
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_LABELTIP);
    BareInsertColumns(list, headings, 4);
    BareListing(g_bareFolder, g_bareRows);
    std::sort(g_bareRows.begin(), g_bareRows.end(), [](const BackupRow& a, const BackupRow& b) {
        return a.when != b.when ? a.when > b.when : a.written > b.written;
    });
    SendMessageW(list, LVM_SETITEMCOUNT, g_bareRows.size(), 0);
    BareFitColumns(list, headings, 4, g_bareRows.size(),
                   [](std::size_t row, int column) { return BareCell(g_bareRows[row], column); });
    return TRUE;
}


}  // namespace

void RunBackupsMeasurement(std::vector<ResultRow>& rows, int scale) {
    if (!Selected("13")) return;
    wchar_t folder[MAX_PATH];
    if (!FindBackupFolder(folder)) return;
    const std::wstring backups = folder;
    CreateDirectoryW(backups.substr(0, backups.rfind(L'\\')).c_str(), nullptr);
    CreateDirectoryW(backups.c_str(), nullptr);
    const std::vector<std::wstring> files = MakeBackups(backups);

    ResultRow row;
    row.id = "13";
    row.measurement = "dialog 134 made, filled and drawn with 2,000 backup files";
    row.baseline = "FindFirstFileW/FindNextFileW over the folder's *.reg, each name read with DescribeBackupFile";
    row.unit = "ms";
    int listed = 0;
    std::size_t bareListed = 0;
    std::vector<BackupRow> bareRows;
    bareRows.reserve(kBenchBackups);
    const auto program = [&] { listed = ShowAndDestroyDialog(IDD_BACKUPS, IDC_BACKUP_LIST, BackupsDialog); };
    program();  // unmeasured rounds of both sides first
    bareListed = BareListing(backups, bareRows);
    for (int i = 0; i < 9 * scale; ++i) {
        row.program.Add(TimeMs(program));
        row.reference.Add(TimeMs([&] { bareListed = BareListing(backups, bareRows); }));
    }
    // The dialog's own listing, sorted, without the dialog.
    Samples listing;
    for (int i = 0; i < 9 * scale; ++i) {
        listing.Add(TimeMs([&] {
            BackupListing sorted;
            ListBackupFiles(backups.c_str(), sorted);
        }));
    }
    // What making and drawing the dialog costs by itself: the same over an empty folder.
    for (const std::wstring& file : files) DeleteFileW(file.c_str());
    const int withFiles = listed;
    Samples empty;
    program();
    for (int i = 0; i < 9 * scale; ++i) empty.Add(TimeMs(program));
    row.note = Text("%d rows in the dialog, %zu files listed bare; the dialog over an empty folder (%d rows): "
                    "median %.1f ms, %.1f..%.1f; the dialog's listing and sort alone: median %.1f ms, %.1f..%.1f",
                    withFiles, bareListed, listed, empty.Median(), empty.Min(), empty.Max(), listing.Median(),
                    listing.Min(), listing.Max());
    Progress("13 done: %s", row.note.c_str());
    rows.push_back(std::move(row));

    // 13b: the same dialog made bare over the same files, so that what the
    // program adds to a dialog of 2,000 rows shows apart from the window's own cost.
    const std::vector<std::wstring> again = MakeBackups(backups);
    g_bareFolder = backups;
    ResultRow dialogRow;
    dialogRow.id = "13b";
    dialogRow.measurement = "the same, against the same dialog made bare";
    dialogRow.baseline = "dialog 134's template made by a bare dialog procedure: the bare listing of 13, sorted newest "
                         "first, the virtual list's count set and each column sized from its longest text; drawn alike";
    dialogRow.unit = "ms";
    int bareShown = 0;
    const auto bare = [&] { bareShown = ShowAndDestroyDialog(IDD_BACKUPS, IDC_BACKUP_LIST, BareBackupsDialog); };
    program();
    bare();
    for (int i = 0; i < 9 * scale; ++i) {
        dialogRow.program.Add(TimeMs(program));
        dialogRow.reference.Add(TimeMs(bare));
    }
    dialogRow.note = Text("%d rows in the dialog, %d in the bare dialog", listed, bareShown);
    Progress("13b done: %s", dialogRow.note.c_str());
    rows.push_back(std::move(dialogRow));
    for (const std::wstring& file : again) DeleteFileW(file.c_str());
}
