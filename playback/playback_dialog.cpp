#include "playback_dialog.h"

#include "../base/app_state.h"
#include "../base/bounded_text.h"
#include "../base/list_view.h"
#include "../base/message_box.h"
#include "../codecs/manage_by_class.h"
#include "../preferred/preferred_dialog.h"
#include "../resources/resource.h"
#include "chain_rows.h"

#include <iterator>
#include <memory>
#include <new>

namespace {

const wchar_t kMediaFileFilter[] =
    L"Видео и аудио\0"
    L"*.avi;*.mkv;*.mp4;*.m4v;*.mov;*.wmv;*.asf;*.mpg;*.mpeg;*.vob;*.ts;*.m2ts;*.flv;*.webm;*.ogg;*.ogv;"
    L"*.mp3;*.wav;*.wma;*.aac;*.ac3;*.flac;*.m4a;*.mka\0"
    L"Все файлы (*.*)\0*.*\0";

constexpr UINT_PTR kPollTimer = 1;
constexpr UINT kPollIntervalMs = 5;
// Posted when the child ends, so that its end is followed at once.
constexpr UINT kChildEnded = WM_APP + 1;
constexpr std::size_t kResultCapacity = 2 * kNameCapacity;

const wchar_t* const kColumns[] = {L"Фильтр", L"Приоритет", L"Входной формат", L"Файл фильтра", L"Примечание"};

// The one open check dialog's file, rows and running child.
struct CheckDialogState {
    wchar_t path[kNameCapacity] = {};
    std::unique_ptr<PlaybackCheckRun> run;
    DamagedMapperEntries damaged;  // found before the child was started
    ChainRowText rows[kMaxChainRows];
    std::size_t rowCount = 0;
};
CheckDialogState g_check;

HWND Chain(HWND dialog) { return GetDlgItem(dialog, IDC_PLAYBACK_CHAIN); }

void SetUpColumns(HWND dialog) { SetUpReportColumns(Chain(dialog), kColumns, static_cast<int>(std::size(kColumns))); }

void SetCell(HWND chain, int row, int column, const wchar_t* text) {
    ListView_SetItemText(chain, row, column, const_cast<wchar_t*>(text));
}

void ShowRows(HWND dialog) {
    HWND chain = Chain(dialog);
    SendMessageW(chain, WM_SETREDRAW, FALSE, 0);
    ListView_DeleteAllItems(chain);
    for (std::size_t i = 0; i < g_check.rowCount; ++i) {
        const ChainRowText& row = g_check.rows[i];
        LVITEMW item = {};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(i);
        item.pszText = const_cast<wchar_t*>(row.name);
        const int at = ListView_InsertItem(chain, &item);
        SetCell(chain, at, 1, row.merit);
        SetCell(chain, at, 2, row.format);
        SetCell(chain, at, 3, row.file);
        SetCell(chain, at, 4, row.note);
    }
    FitReportColumns(chain, kColumns, static_cast<int>(std::size(kColumns)));
    SendMessageW(chain, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(chain, nullptr, TRUE);
}

// The selected row when its filter can become Windows' preferred decoder of
// its input format: a filter with an input subtype and a class id that the
// program's own view does not name for that subtype already; else null.
const ChainRowText* RowToPrefer(HWND dialog) {
    const int selected = ListView_GetNextItem(Chain(dialog), -1, LVNI_SELECTED);
    if (selected < 0 || static_cast<std::size_t>(selected) >= g_check.rowCount) return nullptr;
    const ChainRowText& row = g_check.rows[selected];
    if (!row.isFilter || !row.hasSubtype || row.reportedClassId[0] == L'\0') return nullptr;
    return IsPreferredDecoder(row.subtype, row.reportedClassId) ? nullptr : &row;
}

void EnableActions(HWND dialog, bool enable) {
    EnableWindow(GetDlgItem(dialog, IDC_PLAYBACK_MANAGE), enable);
    EnableWindow(GetDlgItem(dialog, IDC_PLAYBACK_AGAIN), enable);
    EnableWindow(GetDlgItem(dialog, IDC_PLAYBACK_MAKE_PREFERRED), enable && RowToPrefer(dialog) != nullptr);
}

// Hands the file to the child started for it (a new one where none waits).
// The entries whose FilterData the child's filter mapper would read past are
// found meanwhile: the result names them, whatever the child does.
void LaunchCheck() {
    g_check.rowCount = 0;
    if (!g_check.run) g_check.run.reset(new (std::nothrow) PlaybackCheckRun());
    if (g_check.run) g_check.run->Begin(g_check.path);
    FindDamagedMapperEntries(g_check.damaged);
}

void FinishCheck(HWND dialog, ChildState state);

// Shows the check that was launched: polled from the timer while it runs.
void FollowCheck(HWND dialog) {
    const ChildState state = g_check.run ? g_check.run->Poll() : ChildNotStarted;
    wchar_t text[kResultCapacity];
    if (state == ChildNotStarted) {
        FormatCheckResult(CheckReport{}, ChildNotStarted, nullptr, text, kResultCapacity);
        SetDlgItemTextW(dialog, IDC_PLAYBACK_RESULT, text);
        g_check.run.reset();
        return;
    }
    FormatCheckResult(CheckReport{}, ChildRunning, nullptr, text, kResultCapacity);
    SetDlgItemTextW(dialog, IDC_PLAYBACK_RESULT, text);
    EnableActions(dialog, false);
    g_check.run->PostOnEnd(dialog, kChildEnded);
    SetTimer(dialog, kPollTimer, kPollIntervalMs, nullptr);
    if (state != ChildRunning) FinishCheck(dialog, state);
}

// Checks the file again with a new child (one still at work is ended first).
void StartCheck(HWND dialog) {
    g_check.run.reset();
    LaunchCheck();
    ShowRows(dialog);
    FollowCheck(dialog);
}

void FinishCheck(HWND dialog, ChildState state) {
    KillTimer(dialog, kPollTimer);
    const CheckReport& report = g_check.run->Report();
    // A check cut short shows no chain: what the child got to report is
    // only the part before the codec that failed.
    g_check.rowCount = state == ChildFinished ? report.rowCount : 0;
    for (std::size_t i = 0; i < g_check.rowCount; ++i) DescribeChainRow(report, i, g_check.path, g_check.rows[i]);
    wchar_t text[kResultCapacity];
    FormatCheckResult(report, state, &g_check.damaged, text, kResultCapacity, g_check.run->Elevated());
    g_check.run.reset();
    ShowRows(dialog);
    SetDlgItemTextW(dialog, IDC_PLAYBACK_RESULT, text);
    EnableActions(dialog, true);
}

void OnTimer(HWND dialog) {
    if (!g_check.run) {
        KillTimer(dialog, kPollTimer);
        return;
    }
    const ChildState state = g_check.run->Poll();
    if (state != ChildRunning) FinishCheck(dialog, state);
}

void OnManage(HWND dialog) {
    const int selected = ListView_GetNextItem(Chain(dialog), -1, LVNI_SELECTED);
    if (selected < 0 || static_cast<std::size_t>(selected) >= g_check.rowCount || !g_check.rows[selected].isFilter) {
        ShowMessageBox(dialog, L"Не выбран кодек", nullptr, MB_OK);
        return;
    }
    // A copy: the rows may be refilled while the management dialog is open.
    const ChainRowText filter = g_check.rows[selected];
    // The management dialog and its messages belong to the main window; this
    // dialog waits, disabled, until they are closed, as in a chain of modal dialogs.
    EnableWindow(dialog, FALSE);
    ManageFilterOfClass(filter.name, filter.classId);
    // Closing the management dialog enables the main window again, but this
    // dialog, modal to it, is still open.
    EnableWindow(g_app.mainWindow, FALSE);
    EnableWindow(dialog, TRUE);
    SetActiveWindow(dialog);
}

// 1307: writes the row's filter as preferred (backup and rights as in the
// preferred decoders dialog), then checks again so that the notes show it.
void OnMakePreferred(HWND dialog) {
    const ChainRowText* row = RowToPrefer(dialog);
    if (!row) return;
    if (MakePreferredDecoder(dialog, row->subtype, row->reportedClassId) == PreferenceChanged) StartCheck(dialog);
}

void Close(HWND dialog) {
    KillTimer(dialog, kPollTimer);
    g_check.run.reset();  // a child still at work is ended
    EndDialog(dialog, 0);
}

}  // namespace

INT_PTR CALLBACK PlaybackCheckDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        CopyText(g_check.path, kNameCapacity, reinterpret_cast<const wchar_t*>(lParam));
        SetDlgItemTextW(dialog, IDC_PLAYBACK_FILE, g_check.path);
        SetDlgItemTextW(dialog, IDC_PLAYBACK_WIDTH,
                        sizeof(void*) == 8 ? L"Проверены 64-разрядные кодеки" : L"Проверены 32-разрядные кодеки");
        SetUpColumns(dialog);
        FollowCheck(dialog);  // launched by the command, before the dialog was made
        SetFocus(Chain(dialog));
        return FALSE;  // the focus is set
    case WM_TIMER:
        if (wParam == kPollTimer) OnTimer(dialog);
        return TRUE;
    case kChildEnded:
        OnTimer(dialog);
        return TRUE;
    case WM_CLOSE:
        Close(dialog);
        return TRUE;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->idFrom == IDC_PLAYBACK_CHAIN && header->code == LVN_ITEMCHANGED && !g_check.run) {
            EnableActions(dialog, true);
        }
        return TRUE;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDCANCEL: Close(dialog); break;
        case IDC_PLAYBACK_AGAIN: StartCheck(dialog); break;
        case IDC_PLAYBACK_MANAGE: OnManage(dialog); break;
        case IDC_PLAYBACK_MAKE_PREFERRED: OnMakePreferred(dialog); break;
        default: break;
        }
        return TRUE;
    default:
        return FALSE;
    }
}

void RunPlaybackCheckCommand() {
    wchar_t fileName[MAX_PATH] = {};
    OPENFILENAMEW open;
    ZeroMemory(&open, sizeof(open));
    open.lStructSize = sizeof(open);
    open.hwndOwner = g_app.mainWindow;
    open.lpstrFilter = kMediaFileFilter;
    open.nFilterIndex = 1;
    open.lpstrFile = fileName;
    open.nMaxFile = static_cast<DWORD>(std::size(fileName));
    open.lpstrTitle = L"Выберите файл для проверки";
    // A path that does not exist is checked too: the check says so.
    open.Flags = OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_LONGNAMES;
    // The child starts while the user chooses the file, and builds the
    // graph while dialog 130 is made; one whose file is not chosen is ended.
    g_check.run.reset(new (std::nothrow) PlaybackCheckRun());
    if (!GetOpenFileNameW(&open)) {
        g_check.run.reset();
        return;
    }
    fileName[std::size(fileName) - 1] = L'\0';
    CopyText(g_check.path, kNameCapacity, fileName);
    LaunchCheck();
    DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PLAYBACK_CHECK), g_app.mainWindow,
                    PlaybackCheckDialog, reinterpret_cast<LPARAM>(fileName));
    g_check.run.reset();  // a dialog that could not be made leaves no child behind
}
