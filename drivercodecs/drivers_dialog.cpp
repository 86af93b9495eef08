#include "drivers_dialog.h"

#include "../base/app_state.h"
#include "../base/bounded_text.h"
#include "../base/dialog_state.h"
#include "../base/line_safety.h"
#include "../base/list_view.h"
#include "../base/message_box.h"
#include "../catalogue/filter_list.h"
#include "../catalogue/view_registry.h"
#include "../resources/resource.h"
#include "driver_removal.h"

#include <commctrl.h>

#include <iterator>
#include <memory>

namespace {

const wchar_t* const kColumns[] = {L"Кодек", L"Вид", L"Описание", L"Файл", L"Состояние"};
constexpr int kColumnCount = static_cast<int>(std::size(kColumns));
constexpr UINT_PTR kPollTimer = 1;
constexpr UINT kPollIntervalMs = 5;
// Posted when the check's child ends, so that its end is followed at once.
constexpr UINT kChildEnded = WM_APP + 1;

// Where the dialog opens when another dialog opens it for one codec.
struct DriverPlace {
    REGSAM view;
    DriverKind kind;
    const wchar_t* name;
    DriverCheckMaker makeCheck;
};

// A codec's result of the last check that took it, shown as its state.
struct CheckedResult {
    REGSAM view;
    DriverKind kind;
    wchar_t name[kDriverNameCapacity];
    wchar_t text[kNameCapacity];
};

struct DriversDialogState {
    DriverCheckMaker makeCheck = nullptr;
    RegistryView views[2] = {};
    int viewCount = 0;
    int shownView = 0;
    DriverCodecList rows;
    std::unique_ptr<DriverLoadCheck> check;  // the check at work, or the last one
    REGSAM checkedView = 0;
    bool checking = false;
    HeapArray<CheckedResult> results;  // of every check since the dialog opened

    const CheckedResult* ResultOf(REGSAM view, const DriverCodec& codec) const {
        for (SIZE_T i = 0; i < results.Count(); ++i) {
            const CheckedResult& result = results[i];
            if (result.view == view && result.kind == codec.kind && lstrcmpiW(result.name, codec.name) == 0) {
                return &result;
            }
        }
        return nullptr;
    }
};

DriversDialogState& StateOf(HWND dialog) {
    return *DialogState<DriversDialogState>(dialog);
}

HWND List(HWND dialog) { return GetDlgItem(dialog, IDC_DRIVER_LIST); }

int ChosenViewIndex(HWND dialog) {
    const LRESULT at = SendDlgItemMessageW(dialog, IDC_DRIVER_VIEW, CB_GETCURSEL, 0, 0);
    return at < 0 || at >= StateOf(dialog).viewCount ? 0 : static_cast<int>(at);
}

// The row's state: the result of the last check that took it, if any.
void StateText(const DriversDialogState& state, const DriverCodec& codec, wchar_t* text, std::size_t capacity) {
    const CheckedResult* result = state.ResultOf(state.views[state.shownView].flag, codec);
    if (!result) {
        CopyText(text, capacity, codec.state);
    } else if (codec.fromSystemIni) {
        FormatText(text, capacity, L"%ls, %ls", result->text, kDriverFromSystemIni);
    } else {
        CopyText(text, capacity, result->text);
    }
}

// Keeps the results the check gave the rows it took, in place of earlier ones.
void KeepResults(DriversDialogState& state) {
    if (state.checkedView != state.views[state.shownView].flag) return;
    for (SIZE_T i = 0; i < state.rows.Count(); ++i) {
        const DriverCodec& codec = state.rows[i];
        const wchar_t* text = state.check->ResultOf(codec.kind, codec.name);
        if (!text) continue;
        auto* kept = const_cast<CheckedResult*>(state.ResultOf(state.checkedView, codec));
        if (!kept) {
            CheckedResult result = {};
            result.view = state.checkedView;
            result.kind = codec.kind;
            CopyText(result.name, kDriverNameCapacity, codec.name);
            if (!state.results.Append(result)) return;
            kept = &state.results[state.results.Count() - 1];
        }
        CopyText(kept->text, kNameCapacity, text);
    }
}

void CellText(const void* owner, std::size_t row, int column, wchar_t* text, std::size_t capacity) {
    const DriversDialogState& state = *static_cast<const DriversDialogState*>(owner);
    CopyText(text, capacity, L"");
    if (row >= state.rows.Count()) return;
    const DriverCodec& codec = state.rows[row];
    switch (column) {
    case 0: DriverNameText(codec, text, capacity); break;
    case 1: CopyText(text, capacity, DriverKindTitle(codec.kind)); break;
    case 2: CopyText(text, capacity, codec.description); break;
    case 3: DriverFileText(codec, text, capacity); break;
    case 4: StateText(state, codec, text, capacity); break;
    default: break;
    }
    // A file's path or a check's result may hold what a name may: each row stays one line.
    ReplaceUnsafeInLine(text, L'?');
}

void SetUpControls(HWND dialog) {
    DriversDialogState& state = StateOf(dialog);
    state.viewCount = MachineRegistryViews(state.views);
    for (int i = 0; i < state.viewCount; ++i) {
        const RegistryView& view = state.views[i];
        SendDlgItemMessageW(dialog, IDC_DRIVER_VIEW, CB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>(view.width == 64 ? L"64-разрядные программы"
                                                                      : L"32-разрядные программы"));
        if (view.Own()) SendDlgItemMessageW(dialog, IDC_DRIVER_VIEW, CB_SETCURSEL, i, 0);
    }
    SetUpReportColumns(List(dialog), kColumns, kColumnCount);
}

// Shows the rows as they are, their columns sized to their texts.
void ShowRows(HWND dialog) {
    DriversDialogState& state = StateOf(dialog);
    HWND list = List(dialog);
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    ListView_SetItemCountEx(list, static_cast<int>(state.rows.Count()), LVSICF_NOSCROLL);
    FitVirtualColumns(list, kColumns, kColumnCount, state.rows.Count(), CellText, &state);
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
}

// Reads the chosen view's codecs, with the wait cursor meanwhile, and shows them.
void ReadRows(HWND dialog) {
    DriversDialogState& state = StateOf(dialog);
    state.shownView = ChosenViewIndex(dialog);
    const HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    ReadDriverCodecs(state.views[state.shownView].flag, state.rows);
    SetCursor(previous);
    ListView_SetItemState(List(dialog), -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    ShowRows(dialog);
}

void ShowStatus(HWND dialog) {
    DriversDialogState& state = StateOf(dialog);
    wchar_t text[kNameCapacity] = {};
    if (state.check && state.checkedView == state.views[state.shownView].flag) state.check->Progress(text, kNameCapacity);
    SetDlgItemTextW(dialog, IDC_DRIVER_STATUS, text);
}

void EnableActions(HWND dialog, bool enabled) {
    for (int id : {IDC_DRIVER_VIEW, IDC_DRIVER_CHECK, IDC_DRIVER_DELETE}) EnableWindow(GetDlgItem(dialog, id), enabled);
}

// The selected rows' indexes (at most capacity of them); their count.
std::size_t SelectedRows(HWND dialog, std::size_t* rows, std::size_t capacity) {
    std::size_t count = 0;
    const std::size_t shown = StateOf(dialog).rows.Count();
    for (int at = ListView_GetNextItem(List(dialog), -1, LVNI_SELECTED); at >= 0 && count < capacity;
         at = ListView_GetNextItem(List(dialog), at, LVNI_SELECTED)) {
        if (static_cast<std::size_t>(at) < shown) rows[count++] = static_cast<std::size_t>(at);
    }
    return count;
}

// "Проверить загрузку": the selected codecs, or all of them, checked in a
// child while the dialog keeps answering.
void StartCheck(HWND dialog) {
    DriversDialogState& state = StateOf(dialog);
    if (state.checking || !state.makeCheck) return;
    const std::size_t shown = state.rows.Count();
    HeapArray<DriverLoadCheck::Codec> codecs;
    for (int at = ListView_GetNextItem(List(dialog), -1, LVNI_SELECTED); at >= 0;
         at = ListView_GetNextItem(List(dialog), at, LVNI_SELECTED)) {
        if (static_cast<std::size_t>(at) >= shown) continue;
        const DriverCodec& codec = state.rows[static_cast<std::size_t>(at)];
        codecs.Append({codec.kind, codec.name});
    }
    state.check = state.makeCheck();
    if (!state.check) return;
    state.checkedView = state.views[state.shownView].flag;
    state.checking = true;
    EnableActions(dialog, false);
    const HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    state.check->Start(state.checkedView, codecs.Data(), codecs.Count(), dialog, kChildEnded);
    SetCursor(previous);
    ShowStatus(dialog);
    SetTimer(dialog, kPollTimer, kPollIntervalMs, nullptr);
}

void OnTimer(HWND dialog) {
    DriversDialogState& state = StateOf(dialog);
    if (!state.checking || !state.check) {
        KillTimer(dialog, kPollTimer);
        return;
    }
    const bool running = state.check->Poll();
    ShowStatus(dialog);
    if (running) return;
    KillTimer(dialog, kPollTimer);
    state.checking = false;
    KeepResults(state);
    EnableActions(dialog, true);
    ShowRows(dialog);
}

void DeleteSelected(HWND dialog) {
    DriversDialogState& state = StateOf(dialog);
    std::size_t rows[2];
    const std::size_t count = SelectedRows(dialog, rows, 2);
    if (count != 1) {
        ShowMessageBox(dialog, count == 0 ? L"Не выбран кодек" : L"Выберите один кодек.", nullptr, MB_OK);
        return;
    }
    // A copy: the rows are read again while the deletion runs.
    const DriverCodec codec = state.rows[rows[0]];
    const DriverRemoval removal = RemoveDriverCodec(dialog, state.views[state.shownView].flag, codec);
    if (removal == DriverRestarting) {
        EndDialog(dialog, 0);
        return;
    }
    if (removal == DriverNotRemoved) return;
    // The main window's compressor lists may show the codec.
    RefreshFilterList();
    ReadRows(dialog);
}

// Chooses the place's view and selects the codec's row.
void GoToPlace(HWND dialog, const DriverPlace& place) {
    DriversDialogState& state = StateOf(dialog);
    for (int i = 0; i < state.viewCount; ++i) {
        if (state.views[i].flag == place.view) SendDlgItemMessageW(dialog, IDC_DRIVER_VIEW, CB_SETCURSEL, i, 0);
    }
    ReadRows(dialog);
    const long row = FindDriverCodec(state.rows, place.kind, place.name);
    if (row < 0) return;
    HWND list = List(dialog);
    ListView_SetItemState(list, static_cast<int>(row), LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_EnsureVisible(list, static_cast<int>(row), FALSE);
}

void Close(HWND dialog) {
    KillTimer(dialog, kPollTimer);
    EndDialog(dialog, 0);
}

void OnCommand(HWND dialog, WORD id, WORD code) {
    switch (id) {
    case IDCANCEL: Close(dialog); return;
    case IDC_DRIVER_VIEW:
        if (code == CBN_SELCHANGE && !StateOf(dialog).checking) {
            ReadRows(dialog);
            ShowStatus(dialog);
        }
        return;
    case IDC_DRIVER_CHECK: StartCheck(dialog); return;
    case IDC_DRIVER_DELETE:
        if (!StateOf(dialog).checking) DeleteSelected(dialog);
        return;
    default: return;
    }
}

}  // namespace

INT_PTR CALLBACK DriverCodecsDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        auto* state = MakeDialogState<DriversDialogState>(dialog);
        if (!state) return TRUE;
        const auto* place = reinterpret_cast<const DriverPlace*>(lParam);
        state->makeCheck = place ? place->makeCheck : nullptr;
        SetUpControls(dialog);
        if (place && place->name) {
            GoToPlace(dialog, *place);
        } else {
            ReadRows(dialog);
        }
        return TRUE;
    }
    case WM_NCDESTROY:
        // However the dialog goes, a check still at work is ended with its child.
        KillTimer(dialog, kPollTimer);
        DeleteDialogState<DriversDialogState>(dialog);
        return FALSE;
    case WM_TIMER:
        if (wParam == kPollTimer && GetWindowLongPtrW(dialog, DWLP_USER) != 0) OnTimer(dialog);
        return TRUE;
    case kChildEnded:
        if (GetWindowLongPtrW(dialog, DWLP_USER) != 0) OnTimer(dialog);
        return TRUE;
    case WM_CLOSE:
        Close(dialog);
        return TRUE;
    case WM_COMMAND:
        if (GetWindowLongPtrW(dialog, DWLP_USER) == 0) return FALSE;
        OnCommand(dialog, LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    case WM_NOTIFY: {
        auto* info = reinterpret_cast<NMLVDISPINFOW*>(lParam);
        if (GetWindowLongPtrW(dialog, DWLP_USER) == 0 || info->hdr.idFrom != IDC_DRIVER_LIST ||
            info->hdr.code != LVN_GETDISPINFOW || (info->item.mask & LVIF_TEXT) == 0 || !info->item.pszText ||
            info->item.cchTextMax <= 0) {
            return FALSE;
        }
        CellText(&StateOf(dialog), info->item.iItem < 0 ? SIZE_MAX : static_cast<std::size_t>(info->item.iItem),
                 info->item.iSubItem, info->item.pszText, static_cast<std::size_t>(info->item.cchTextMax));
        return TRUE;
    }
    default:
        return FALSE;
    }
}

void OpenDriverCodecsDialog(DriverCheckMaker makeCheck) {
    const DriverPlace place{0, DriverVideo, nullptr, makeCheck};
    DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_DRIVER_CODECS), g_app.mainWindow,
                    DriverCodecsDialog, reinterpret_cast<LPARAM>(&place));
}

void OpenDriverCodecsDialogAt(REGSAM view, DriverKind kind, const wchar_t* name, DriverCheckMaker makeCheck) {
    const DriverPlace place{view, kind, name, makeCheck};
    DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_DRIVER_CODECS), g_app.mainWindow,
                    DriverCodecsDialog, reinterpret_cast<LPARAM>(&place));
}
