// Measurements 11 and 12: Windows' preferred decoders. 11: dialog 131 shown
// (made, its 40 values read and described, the list filled) against the same
// template shown by a bare dialog procedure that reads the same values and
// keys with the platform's calls alone. 12: dialog 132's candidates of a
// subtype against a bare walk of the same FilterData and InputTypes values.
#include "bench_common.h"

#include "../base/app_state.h"
#include "../preferred/decoder_source.h"
#include "../preferred/preferred_dialog.h"
#include "../resources/resource.h"
#include "../tests/common/test_registry.h"
#include "bare_reads.h"

#include <cstring>
#include <cwchar>
#include <string>

namespace {

const wchar_t kPreferredPath[] = L"SOFTWARE\\Microsoft\\DirectShow\\Preferred";
// MP3 (wave format tag 0x0055): an audio subtype, so that the bench's video
// filters of any subtype are not its candidates, as on a real machine.
const GUID kMp3Subtype = {0x00000055, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};

// Ends the dialog the first time its modal loop finds nothing more to do
// (made, filled, shown and painted): the loop tells the owner, which the
// measurement subclasses, with WM_ENTERIDLE.
WNDPROC g_ownerProc = nullptr;
double g_shownAt = 0;
int g_rowsShown = 0;

LRESULT CALLBACK OwnerWatchingIdle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ENTERIDLE && wParam == MSGF_DIALOGBOX && g_shownAt == 0) {
        g_shownAt = NowMs();
        const auto dialog = reinterpret_cast<HWND>(lParam);
        g_rowsShown = static_cast<int>(SendMessageW(GetDlgItem(dialog, IDC_PREFERRED_LIST), LVM_GETITEMCOUNT, 0, 0));
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    }
    return CallWindowProcW(g_ownerProc, window, message, wParam, lParam);
}

std::wstring ValueAt(const std::wstring& path, const wchar_t* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return L"";
    std::wstring value = BareValue(key, name);
    RegCloseKey(key);
    return value;
}

void AddCell(HWND list, int row, int column, const std::wstring& text) {
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.iSubItem = column;
    item.pszText = const_cast<wchar_t*>(text.c_str());
    if (column == 0) {
        SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    } else {
        SendMessageW(list, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    }
}

// The bare dialog: the same template, its two views named, the values of the
// key read, each one's filter entry, class key and server file, and the list filled.
INT_PTR CALLBACK BarePreferredDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, 0);
        return TRUE;
    }
    if (message != WM_INITDIALOG) return FALSE;
    HWND combo = GetDlgItem(dialog, IDC_PREFERRED_VIEW);
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"64-разрядные программы"));
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"32-разрядные программы"));
    SendMessageW(combo, CB_SETCURSEL, 0, 0);
    HWND list = GetDlgItem(dialog, IDC_PREFERRED_LIST);
    const wchar_t* const headings[] = {L"Формат", L"Фильтр", L"Файл фильтра", L"Класс"};
    BareInsertColumns(list, headings, 4);
    HKEY preferred = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kPreferredPath, 0, KEY_READ, &preferred) == ERROR_SUCCESS) {
        for (DWORD index = 0;; ++index) {
            wchar_t name[256];
            wchar_t data[256];
            DWORD nameCount = 256, bytes = sizeof(data) - sizeof(wchar_t);
            if (RegEnumValueW(preferred, index, name, &nameCount, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &bytes) !=
                ERROR_SUCCESS) {
                break;
            }
            data[bytes / sizeof(wchar_t)] = L'\0';
            const std::wstring classId = data;
            const std::wstring filter = ValueAt(std::wstring(kLegacyInstance) + classId, L"FriendlyName");
            std::wstring objectName, server;
            BareClassRead(classId, &objectName, &server);
            WIN32_FIND_DATAW found;
            const HANDLE search = FindFirstFileW(server.c_str(), &found);
            if (search != INVALID_HANDLE_VALUE) FindClose(search);
            const int row = static_cast<int>(index);
            AddCell(list, row, 0, name);
            AddCell(list, row, 1, filter);
            AddCell(list, row, 2, search != INVALID_HANDLE_VALUE ? server : L"файл не найден");
            AddCell(list, row, 3, classId);
        }
        RegCloseKey(preferred);
    }
    for (int i = 0; i < 4; ++i) SendMessageW(list, LVM_SETCOLUMNWIDTH, i, LVSCW_AUTOSIZE);
    return TRUE;
}

double ShowDialog(bool program, HWND owner) {
    g_shownAt = 0;
    const double start = NowMs();
    if (program) {
        OpenPreferredDecodersDialog();
    } else {
        DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PREFERRED_DECODERS), owner,
                        BarePreferredDialog, 0);
    }
    return g_shownAt > 0 ? g_shownAt - start : -1;
}

// The bare walk of 12: every Instance entry's FilterData of the legacy and
// video compressor categories searched for the subtype's bytes, and every
// DMO's InputTypes.
int BareCandidateWalk(const GUID& subtype) {
    int matches = 0;
    BYTE data[4096];
    // The three Instance keys of the five categories.
    for (const wchar_t* path : {L"CLSID\\{083863F1-70DE-11d0-BD40-00A0C911CE86}\\Instance",
                                L"CLSID\\{33D9A760-90C8-11d0-BD43-00A0C911CE86}\\Instance",
                                L"CLSID\\{33D9A761-90C8-11d0-BD43-00A0C911CE86}\\Instance"}) {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path, 0, KEY_READ, &key) != ERROR_SUCCESS) continue;
        ForEachSubkey(key, [&](const wchar_t* name) {
            HKEY entry = nullptr;
            if (RegOpenKeyExW(key, name, 0, KEY_READ, &entry) != ERROR_SUCCESS) return;
            DWORD size = sizeof(data);
            if (RegQueryValueExW(entry, L"FilterData", nullptr, nullptr, data, &size) == ERROR_SUCCESS) {
                for (DWORD at = 0; at + sizeof(GUID) <= size; ++at) {
                    if (std::memcmp(data + at, &subtype, sizeof(GUID)) == 0) {
                        ++matches;
                        break;
                    }
                }
            }
            RegCloseKey(entry);
        });
        RegCloseKey(key);
    }
    HKEY objects = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, L"DirectShow\\MediaObjects", 0, KEY_READ, &objects) == ERROR_SUCCESS) {
        ForEachSubkey(objects, [&](const wchar_t* name) {
            HKEY object = nullptr;
            if (RegOpenKeyExW(objects, name, 0, KEY_READ, &object) != ERROR_SUCCESS) return;
            DWORD size = sizeof(data);
            if (RegQueryValueExW(object, L"InputTypes", nullptr, nullptr, data, &size) == ERROR_SUCCESS) {
                for (DWORD at = sizeof(GUID); at + sizeof(GUID) <= size; at += 2 * sizeof(GUID)) {
                    if (std::memcmp(data + at, &subtype, sizeof(GUID)) == 0) ++matches;
                }
            }
            RegCloseKey(object);
        });
        RegCloseKey(objects);
    }
    return matches;
}

}  // namespace

int FillPreferredValues(const std::vector<std::wstring>& filterClassIds) {
    int written = 0;
    for (std::size_t i = 0; i < filterClassIds.size() && written < kBenchPreferredValues; ++i) {
        const std::wstring subtype = NewGuidText();
        const std::wstring& data = filterClassIds[i];
        if (RegSetKeyValueW(HKEY_LOCAL_MACHINE, kPreferredPath, subtype.c_str(), REG_SZ, data.c_str(),
                            static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS) {
            ++written;
        }
    }
    return written;
}

void RunPreferredMeasurements(std::vector<ResultRow>& rows, int scale) {
    if (!Selected("11") && !Selected("12")) return;
    g_ownerProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(g_app.mainWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(OwnerWatchingIdle)));

    if (Selected("11")) {
        ResultRow row{"11", "dialog 131 shown with 40 values", "the same template shown by a bare dialog procedure: the "
                      "two views named, the key's values read, per value its legacy Instance entry's FriendlyName, the "
                      "class key's two default values and FindFirstFileW of the server, four columns filled and sized",
                      "ms", {}, {}, ""};
        const int reps = 15 * scale;
        ShowDialog(true, g_app.mainWindow);
        const int programRows = g_rowsShown;
        ShowDialog(false, g_app.mainWindow);
        for (int i = 0; i < reps; ++i) {
            row.program.Add(ShowDialog(true, g_app.mainWindow));
            row.reference.Add(ShowDialog(false, g_app.mainWindow));
        }
        row.note = Text("%d rows in dialog 131, %d in the bare dialog", programRows, g_rowsShown);
        Progress("11 done: %s", row.note.c_str());
        rows.push_back(std::move(row));
    }
    if (Selected("12")) {
        ResultRow row{"12", "dialog 132's candidates of MP3", "every Instance entry of the five categories (three Instance "
                      "keys) opened and its FilterData searched for the subtype's bytes, and every DMO's "
                      "InputTypes searched likewise", "ms", {}, {}, ""};
        const int reps = 15 * scale;
        DecoderCandidates candidates;
        kDirectShowDecoders.listCandidates(0, kMp3Subtype, candidates);
        const int bareMatches = BareCandidateWalk(kMp3Subtype);
        for (int i = 0; i < reps; ++i) {
            row.program.Add(TimeMs([&] { kDirectShowDecoders.listCandidates(0, kMp3Subtype, candidates); }));
            row.reference.Add(TimeMs([&] { BareCandidateWalk(kMp3Subtype); }));
        }
        row.note = Text("%d candidates; %d values naming the subtype in the bare walk", static_cast<int>(candidates.Count()),
                        bareMatches);
        Progress("12 done: %s", row.note.c_str());
        rows.push_back(std::move(row));
    }
    SetWindowLongPtrW(g_app.mainWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_ownerProc));
}
