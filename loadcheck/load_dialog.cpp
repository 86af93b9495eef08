#include "load_dialog.h"

#include "../base/app_state.h"
#include "../base/bounded_text.h"
#include "../base/dialog_state.h"
#include "../base/line_safety.h"
#include "../base/list_view.h"
#include "../base/message_box.h"
#include "../codecs/manage_by_class.h"
#include "../codecs/manage_dialog.h"
#include "../drivercodecs/drivers_dialog.h"
#include "../transforms/transforms_dialog.h"
#include "../resources/resource.h"
#include "../shellhandlers/shell_dialog.h"
#include "driver_check.h"
#include "load_report.h"
#include "load_rows.h"
#include "shell_check.h"

#include <commctrl.h>

#include <memory>
#include <new>

namespace {

constexpr UINT_PTR kPollTimer = 1;
constexpr UINT kPollIntervalMs = 5;
constexpr UINT kProgressIntervalMs = 100;
// Posted when a child ends, so that its end is followed at once.
constexpr UINT kChildEnded = WM_APP + 1;
// Posted by a check's reading of the codecs when it is done.
constexpr UINT kReadingDone = WM_APP + 2;

// The dialog's check, its rows, and a check of one codec again after it was managed.
struct LoadDialogState {
    std::unique_ptr<LoadCheckRun> run;
    std::unique_ptr<LoadCheckRun> recheck;  // of one codec, merged into run's results when done
    LoadCodec rechecked = {};
    bool following = false;  // a check runs and is polled
    ULONGLONG progressShown = 0;
    LoadRunState state = LoadNotStarted;
    HeapArray<LoadRow> rows;
    wchar_t shownProgress[kShortTextCapacity] = {};
    wchar_t shownCodec[kNameCapacity] = {};
};

LoadDialogState& StateOf(HWND dialog) {
    return *DialogState<LoadDialogState>(dialog);
}

HWND List(HWND dialog) { return GetDlgItem(dialog, IDC_LOAD_LIST); }

// The check that is running: the whole one, or the one codec's again.
LoadCheckRun* Running(LoadDialogState& state) { return state.recheck ? state.recheck.get() : state.run.get(); }

void ShowProgressControls(HWND dialog, bool running) {
    for (int id : {IDC_LOAD_PROGRESS, IDC_LOAD_PROGRESS_TEXT, IDC_LOAD_CURRENT, IDC_LOAD_STOP}) {
        ShowWindow(GetDlgItem(dialog, id), running ? SW_SHOW : SW_HIDE);
    }
    ShowWindow(GetDlgItem(dialog, IDC_LOAD_SUMMARY), running ? SW_HIDE : SW_SHOW);
    EnableWindow(GetDlgItem(dialog, IDC_LOAD_STOP), running);
    for (int id : {IDC_LOAD_MANAGE, IDC_LOAD_SAVE, IDC_LOAD_AGAIN}) EnableWindow(GetDlgItem(dialog, id), !running);
}

// Sets a control's text only when it changed, so that polling does not flicker.
void SetTextOnce(HWND dialog, int id, wchar_t* shown, std::size_t capacity, const wchar_t* text) {
    if (lstrcmpW(shown, text) == 0) return;
    CopyText(shown, capacity, text);
    SetDlgItemTextW(dialog, id, text);
}

// Shows how far the check has come; while it runs, no oftener than a person
// reads it, so that drawing takes nothing from the child's work.
void ShowProgress(HWND dialog, bool now = true) {
    LoadDialogState& state = StateOf(dialog);
    LoadCheckRun* run = Running(state);
    if (!run) return;
    const ULONGLONG tick = GetTickCount64();
    if (!now && tick - state.progressShown < kProgressIntervalMs) return;
    state.progressShown = tick;
    // While the files are read, the run's lists are the reading's own: only its counts are shown.
    const bool reading = run->Reading();
    std::size_t done = 0, total = 0;
    if (reading) {
        run->ReadingProgress(&done, &total);
    } else {
        done = run->Checked();
        total = run->Own().Count();
    }
    wchar_t text[kShortTextCapacity];
    FormatText(text, kShortTextCapacity, reading ? L"Чтение файлов: %zu из %zu" : L"Проверено %zu из %zu", done, total);
    SetTextOnce(dialog, IDC_LOAD_PROGRESS_TEXT, state.shownProgress, kShortTextCapacity, text);
    SendDlgItemMessageW(dialog, IDC_LOAD_PROGRESS, PBM_SETRANGE32, 0, static_cast<LPARAM>(total ? total : 1));
    SendDlgItemMessageW(dialog, IDC_LOAD_PROGRESS, PBM_SETPOS, done, 0);
    const LoadCodec* current = reading ? nullptr : run->Current();
    wchar_t codec[kNameCapacity];
    CopyText(codec, kNameCapacity, current ? current->name : L"");
    ReplaceUnsafeInLine(codec, L'?');
    SetTextOnce(dialog, IDC_LOAD_CURRENT, state.shownCodec, kNameCapacity, codec);
}

// A cell of the list, for sizing its columns.
void RowCell(const void* owner, std::size_t row, int column, wchar_t* text, std::size_t capacity) {
    const LoadDialogState& state = *static_cast<const LoadDialogState*>(owner);
    LoadCellText(*state.run, state.rows[row], column, text, capacity);
    ReplaceUnsafeInLine(text, L'?');
}

// Shows the run's results: the rows, their columns sized, the summary line.
void ShowResults(HWND dialog) {
    LoadDialogState& state = StateOf(dialog);
    HWND list = List(dialog);
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    ListView_SetItemState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    if (state.run) ArrangeLoadRows(*state.run, state.rows);
    else state.rows.Clear();
    ListView_SetItemCountEx(list, static_cast<int>(state.rows.Count()), 0);
    if (state.run) FitVirtualColumns(list, kLoadColumns, kLoadColumnCount, state.rows.Count(), RowCell, &state);
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
    wchar_t summary[kNameCapacity] = {};
    if (state.run) FormatLoadSummary(*state.run, state.state, summary, kNameCapacity);
    SetDlgItemTextW(dialog, IDC_LOAD_SUMMARY, summary);
}

void Follow(HWND dialog) {
    LoadDialogState& state = StateOf(dialog);
    ShowProgressControls(dialog, true);
    state.shownProgress[0] = L'\0';
    state.shownCodec[0] = L'\0';
    ShowProgress(dialog);
    state.following = true;
    // While the files are read there is nothing to poll: the reading posts
    // its end, and the timer only shows the progress.
    LoadCheckRun* run = Running(state);
    SetTimer(dialog, kPollTimer, run && run->Reading() ? kProgressIntervalMs : kPollIntervalMs, nullptr);
}

// The whole check, afresh.
void StartCheck(HWND dialog) {
    LoadDialogState& state = StateOf(dialog);
    state.recheck.reset();
    state.run.reset();
    state.rows.Clear();
    ListView_SetItemCountEx(List(dialog), 0, 0);
    state.run.reset(new (std::nothrow) LoadCheckRun);
    state.state = LoadNotStarted;
    if (!state.run) return ShowResults(dialog);
    state.run->PostOnChildEnd(dialog, kChildEnded);
    // The registry and the codecs' files are read on the run's thread; where
    // no thread can be made, here.
    if (!state.run->StartReading(nullptr, dialog, kReadingDone)) state.run->Start();
    Follow(dialog);
}

// Takes the one codec's result into the whole check's: its codec replaced,
// or gone when it is no longer registered.
void MergeRecheck(LoadDialogState& state) {
    LoadCodecList& own = state.run->Own();
    LoadCodecList& again = state.recheck->Own();
    SIZE_T kept = 0;
    for (SIZE_T i = 0; i < own.Count(); ++i) {
        bool replaced = false;
        for (SIZE_T j = 0; j < again.Count() && !replaced; ++j) {
            if (!SameLoadCodec(own[i], again[j])) continue;
            own[kept++] = again[j];
            replaced = true;
        }
        if (!replaced && !SameLoadCodec(own[i], state.rechecked)) own[kept++] = own[i];
    }
    own.Truncate(kept);
    state.run->Recount();
}

void Finish(HWND dialog, LoadRunState runState) {
    LoadDialogState& state = StateOf(dialog);
    KillTimer(dialog, kPollTimer);
    state.following = false;
    if (state.recheck) {
        if (runState == LoadDone) MergeRecheck(state);
        state.recheck.reset();
    } else {
        state.state = runState;
    }
    // The results appear at once: with the dialog's drawing held, the
    // progress hidden, the buttons enabled (each enabled button painted
    // itself at once) and the list filled paint nothing one by one; the
    // dialog is painted once after.
    SendMessageW(dialog, WM_SETREDRAW, FALSE, 0);
    ShowProgressControls(dialog, false);
    ShowResults(dialog);
    SendMessageW(dialog, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void OnTimer(HWND dialog) {
    LoadDialogState& state = StateOf(dialog);
    LoadCheckRun* run = Running(state);
    if (!run || !state.following) {
        KillTimer(dialog, kPollTimer);
        return;
    }
    if (run->Reading()) {
        if (!run->ReadingEnded()) return ShowProgress(dialog);
        run->FinishReading();
        SetTimer(dialog, kPollTimer, kPollIntervalMs, nullptr);
        // The codecs' loading begins: said at once, not a tick later.
        ShowProgress(dialog);
    }
    const LoadRunState runState = run->Poll();
    ShowProgress(dialog, false);
    if (runState != LoadRunning) Finish(dialog, runState);
}

void OnStop(HWND dialog) {
    LoadDialogState& state = StateOf(dialog);
    LoadCheckRun* run = Running(state);
    if (!run) return;
    run->Stop();
    Finish(dialog, LoadStopped);
}

// The selected row's codec of the program's own view, or null after telling why there is none.
const LoadCodec* SelectedCodec(HWND dialog) {
    LoadDialogState& state = StateOf(dialog);
    const int selected = SelectedReportRow(List(dialog));
    if (selected < 0 || static_cast<SIZE_T>(selected) >= state.rows.Count() || !state.run ||
        state.rows[selected].source == LoadRow::OtherHeading) {
        ShowMessageBox(dialog, L"Не выбран кодек", nullptr, MB_OK);
        return nullptr;
    }
    const LoadRow& row = state.rows[selected];
    if (row.source == LoadRow::Other) {
        wchar_t message[kShortTextCapacity];
        FormatText(message, kShortTextCapacity,
                   L"Кодеками %d-разрядных программ управляет %d-разрядная версия программы.", state.run->OtherWidth(),
                   state.run->OtherWidth());
        ShowMessageBox(dialog, message, nullptr, MB_ICONINFORMATION);
        return nullptr;
    }
    return &state.run->Own()[row.index];
}

// Opens the management of the codec through the main window, as the playback
// check does, while this dialog waits disabled; then checks the codec again.
void OnManage(HWND dialog) {
    const LoadCodec* selected = SelectedCodec(dialog);
    if (!selected) return;
    // A copy: the results may change while the management dialog is open.
    const LoadCodec codec = *selected;
    EnableWindow(dialog, FALSE);
    if (codec.kinds & kDriverKinds) {
        OpenDriverCodecsDialogAt(0, (codec.kinds & KindBit(LoadKindAcm)) != 0 ? DriverAudio : DriverVideo,
                                 codec.driverName, MakeDriverLoadCheck);
    } else if (codec.kinds & KindBit(LoadKindFilter)) {
        ManageFilterOfClass(codec.name, codec.classId);
    } else if ((codec.kinds & kShellHandlerKinds) != 0 && (codec.kinds & ~kShellHandlerKinds) == 0) {
        OpenShellHandlersDialog(MakeShellLoadCheck);
    } else if (codec.kinds & KindBit(LoadKindDmo)) {
        OpenManageDialogForClassKey(codec.name, codec.classId);
    } else {
        OpenTransformsDialogAt(FindTransformCategory(0, codec.classGuid), codec.classId);
    }
    // The program may have been closed meanwhile, and this dialog with it.
    if (!IsWindow(dialog) || GetWindowLongPtrW(dialog, DWLP_USER) == 0) return;
    // Closing the management dialog enables the main window again, but this
    // dialog, modal to it, is still open.
    EnableWindow(g_app.mainWindow, FALSE);
    EnableWindow(dialog, TRUE);
    SetActiveWindow(dialog);
    LoadDialogState& state = StateOf(dialog);
    state.recheck.reset(new (std::nothrow) LoadCheckRun);
    if (!state.recheck) return;
    state.recheck->PostOnChildEnd(dialog, kChildEnded);
    state.rechecked = codec;
    if (!state.recheck->StartReading(&state.rechecked, dialog, kReadingDone)) state.recheck->Start(&state.rechecked);
    Follow(dialog);
}

void OnSave(HWND dialog) {
    LoadDialogState& state = StateOf(dialog);
    if (state.run) SaveLoadReport(dialog, *state.run, state.state, state.rows);
}

void Close(HWND dialog) {
    KillTimer(dialog, kPollTimer);
    EndDialog(dialog, 0);
}

void OnCommand(HWND dialog, WORD id) {
    switch (id) {
    case IDCANCEL: Close(dialog); break;
    case IDC_LOAD_STOP: OnStop(dialog); break;
    case IDC_LOAD_AGAIN: StartCheck(dialog); break;
    case IDC_LOAD_MANAGE: OnManage(dialog); break;
    case IDC_LOAD_SAVE: OnSave(dialog); break;
    default: break;
    }
}

// A cell of the virtual list, asked for as the list shows it.
bool OnGetCell(HWND dialog, NMLVDISPINFOW* info) {
    LoadDialogState& state = StateOf(dialog);
    if ((info->item.mask & LVIF_TEXT) == 0 || !info->item.pszText || info->item.cchTextMax <= 0) return false;
    const bool known = state.run && info->item.iItem >= 0 && static_cast<SIZE_T>(info->item.iItem) < state.rows.Count();
    if (!known) {
        info->item.pszText[0] = L'\0';
        return true;
    }
    LoadCellText(*state.run, state.rows[info->item.iItem], info->item.iSubItem, info->item.pszText,
                 static_cast<std::size_t>(info->item.cchTextMax));
    // A name or path read from the registry is shown on one line, as every list of the program shows it.
    ReplaceUnsafeInLine(info->item.pszText, L'?');
    return true;
}

}  // namespace

INT_PTR CALLBACK LoadCheckDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        auto* state = MakeDialogState<LoadDialogState>(dialog);
        if (!state) return TRUE;
        SetUpReportColumns(List(dialog), kLoadColumns, kLoadColumnCount);
        StartCheck(dialog);
        return TRUE;
    }
    case WM_NCDESTROY:
        // However the dialog goes (closed, or destroyed with the main window),
        // a child still at work is ended with its check.
        KillTimer(dialog, kPollTimer);
        DeleteDialogState<LoadDialogState>(dialog);
        return FALSE;
    case WM_TIMER:
        if (wParam == kPollTimer && GetWindowLongPtrW(dialog, DWLP_USER) != 0) OnTimer(dialog);
        return TRUE;
    case kChildEnded:
    case kReadingDone:
        if (GetWindowLongPtrW(dialog, DWLP_USER) != 0) OnTimer(dialog);
        return TRUE;
    case WM_CLOSE:
        Close(dialog);
        return TRUE;
    case WM_COMMAND:
        if (GetWindowLongPtrW(dialog, DWLP_USER) == 0) return FALSE;
        OnCommand(dialog, LOWORD(wParam));
        return TRUE;
    case WM_NOTIFY: {
        auto* info = reinterpret_cast<NMLVDISPINFOW*>(lParam);
        if (GetWindowLongPtrW(dialog, DWLP_USER) == 0 || info->hdr.idFrom != IDC_LOAD_LIST ||
            info->hdr.code != LVN_GETDISPINFOW) {
            return FALSE;
        }
        return OnGetCell(dialog, info) ? TRUE : FALSE;
    }
    default:
        return FALSE;
    }
}

void OpenLoadCheckDialog() {
    DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_LOAD_CHECK), g_app.mainWindow, LoadCheckDialog, 0);
}
