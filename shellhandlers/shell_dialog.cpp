#include "shell_dialog.h"

#include "../base/app_state.h"
#include "../base/bounded_text.h"
#include "../base/dialog_state.h"
#include "../base/line_safety.h"
#include "../base/list_view.h"
#include "../catalogue/view_registry.h"
#include "../resources/resource.h"
#include "../base/message_box.h"
#include "shell_handlers.h"
#include "shell_switch.h"

#include <commctrl.h>

#include <iterator>

namespace {

const wchar_t* const kColumns[] = {L"Расширение", L"Вид", L"Состояние", L"Обработчик", L"Файл",
                                   L"Где зарегистрирован"};
constexpr int kColumnCount = static_cast<int>(std::size(kColumns));

constexpr std::size_t kDetailsCapacity = kHiddenCapacity + kNameCapacity * 2;

// A property handler turned off while the dialog is open: its row as it
// was, and the backup that turns it on again.
struct TurnedOff {
    REGSAM view;
    ShellHandlerRow row;
    wchar_t backup[MAX_PATH];
};

struct ShellDialogState {
    RegistryView views[2] = {};
    int viewCount = 0;
    int shownView = 0;
    ShellHandlerList rows;
    HeapArray<TurnedOff> turnedOff;

    // The property handler of the view and extension turned off here, or null.
    const TurnedOff* TurnedOffAt(REGSAM view, const wchar_t* extension) const {
        for (SIZE_T i = 0; i < turnedOff.Count(); ++i) {
            if (turnedOff[i].view == view && lstrcmpiW(turnedOff[i].row.extension, extension) == 0) return &turnedOff[i];
        }
        return nullptr;
    }
};

ShellDialogState& StateOf(HWND dialog) { return *DialogState<ShellDialogState>(dialog); }

HWND List(HWND dialog) { return GetDlgItem(dialog, IDC_SHELL_LIST); }

REGSAM ShownView(HWND dialog) {
    const ShellDialogState& state = StateOf(dialog);
    return state.views[state.shownView].flag;
}

void CellText(const void* owner, std::size_t row, int column, wchar_t* text, std::size_t capacity) {
    const ShellDialogState& state = *static_cast<const ShellDialogState*>(owner);
    CopyText(text, capacity, L"");
    if (row >= state.rows.Count()) return;
    const ShellHandlerRow& handler = state.rows[row];
    switch (column) {
    case 0: CopyText(text, capacity, handler.extension); break;
    case 1: CopyText(text, capacity, kShellKinds[handler.kind].title); break;
    case 2: CopyText(text, capacity, handler.stateText); break;
    case 3: CopyText(text, capacity, handler.name); break;
    case 4: CopyText(text, capacity, handler.file); break;
    case 5: CopyText(text, capacity, handler.where); break;
    default: break;
    }
    // A name or path read from the registry is shown on one line.
    ReplaceUnsafeInLine(text, L'?');
}

void SetUpControls(HWND dialog) {
    ShellDialogState& state = StateOf(dialog);
    state.viewCount = MachineRegistryViews(state.views);
    for (int i = 0; i < state.viewCount; ++i) {
        SendDlgItemMessageW(dialog, IDC_SHELL_VIEW, CB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>(state.views[i].width == 64 ? L"64-разрядные программы"
                                                                                : L"32-разрядные программы"));
        if (state.views[i].Own()) SendDlgItemMessageW(dialog, IDC_SHELL_VIEW, CB_SETCURSEL, i, 0);
    }
    SetUpReportColumns(List(dialog), kColumns, kColumnCount);
}

// The selected row, or null.
const ShellHandlerRow* SelectedRow(HWND dialog) {
    ShellDialogState& state = StateOf(dialog);
    const int at = SelectedReportRow(List(dialog));
    return at >= 0 && static_cast<SIZE_T>(at) < state.rows.Count() ? &state.rows[static_cast<SIZE_T>(at)] : nullptr;
}

// The selected row's details: its class id, the handlers it hides, the
// delay-loaded DLLs its file misses.
void ShowDetails(HWND dialog) {
    const ShellHandlerRow* row = SelectedRow(dialog);
    wchar_t text[kDetailsCapacity] = {};
    if (row) {
        FormatText(text, kDetailsCapacity, L"%ls %ls: %ls", row->extension, kShellKinds[row->kind].title,
                   row->classId);
        if (row->hidden[0] != L'\0') {
            AppendText(text, kDetailsCapacity, L". Проводник не доходит до найденных позже: ");
            AppendText(text, kDetailsCapacity, row->hidden);
        }
        if (row->note[0] != L'\0') {
            AppendText(text, kDetailsCapacity, L". ");
            AppendText(text, kDetailsCapacity, row->note);
        }
        ReplaceUnsafeInLine(text, L'?');
    }
    SetDlgItemTextW(dialog, IDC_SHELL_DETAILS, text);
}

void ShowRows(HWND dialog) {
    ShellDialogState& state = StateOf(dialog);
    HWND list = List(dialog);
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    ListView_SetItemCountEx(list, static_cast<int>(state.rows.Count()), LVSICF_NOSCROLL);
    FitVirtualColumns(list, kColumns, kColumnCount, state.rows.Count(), CellText, &state);
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
    ShowDetails(dialog);
}

// Reads the chosen view's handlers, with the wait cursor meanwhile, and shows them.
void ReadRows(HWND dialog) {
    ShellDialogState& state = StateOf(dialog);
    const LRESULT chosen = SendDlgItemMessageW(dialog, IDC_SHELL_VIEW, CB_GETCURSEL, 0, 0);
    state.shownView = chosen < 0 || chosen >= state.viewCount ? 0 : static_cast<int>(chosen);
    const HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    ReadShellHandlers(ShownView(dialog), state.rows);
    // The property handlers turned off here whose extension has none now, as
    // rows of their own that "Включить" turns on again.
    for (SIZE_T i = 0; i < state.turnedOff.Count(); ++i) {
        const TurnedOff& off = state.turnedOff[i];
        bool listed = false;
        for (SIZE_T r = 0; r < state.rows.Count() && !listed; ++r) {
            listed = state.rows[r].kind == ShellProperty && lstrcmpiW(state.rows[r].extension, off.row.extension) == 0;
        }
        if (off.view != ShownView(dialog) || listed) continue;
        ShellHandlerRow row = off.row;
        row.state = ShellStateBlocked;
        CopyText(row.stateText, kNameCapacity, L"отключен");
        state.rows.Append(row);
    }
    SetCursor(previous);
    ListView_SetItemState(List(dialog), -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    ShowRows(dialog);
}

// After a change: the rows read again and what Explorer makes of it said;
// a restart for administrator rights closes the dialog.
void Changed(HWND dialog, ShellSwitchEnd end) {
    if (end == ShellSwitchClosing) {
        EndDialog(dialog, 0);
        return;
    }
    if (end != ShellSwitchDone) return;
    ReadRows(dialog);
    SetDlgItemTextW(dialog, IDC_SHELL_STATUS, kShellChangeNote);
}

// "Отключить": the selected handler, unless it is off already.
void OnTurnOff(HWND dialog) {
    ShellDialogState& state = StateOf(dialog);
    const ShellHandlerRow* selected = SelectedRow(dialog);
    if (!selected) {
        ShowMessageBox(dialog, L"Не выбран обработчик", nullptr, MB_OK);
        return;
    }
    if (selected->state == ShellStateBlocked) {
        ShowMessageBox(dialog, L"Обработчик уже отключен.", nullptr, MB_ICONINFORMATION);
        return;
    }
    // A copy: the rows are read again after the change.
    TurnedOff off = {};
    off.view = ShownView(dialog);
    off.row = *selected;
    const ShellSwitchEnd end = TurnShellHandlerOff(dialog, off.view, off.row, off.backup);
    if (end == ShellSwitchDone && off.row.kind == ShellProperty) state.turnedOff.Append(off);
    Changed(dialog, end);
}

// "Включить": the selected handler that is off.
void OnTurnOn(HWND dialog) {
    ShellDialogState& state = StateOf(dialog);
    const ShellHandlerRow* selected = SelectedRow(dialog);
    if (!selected) {
        ShowMessageBox(dialog, L"Не выбран обработчик", nullptr, MB_OK);
        return;
    }
    const ShellHandlerRow row = *selected;
    if (row.state != ShellStateBlocked) {
        ShowMessageBox(dialog, L"Обработчик не отключен.", nullptr, MB_ICONINFORMATION);
        return;
    }
    if (row.kind != ShellProperty) return Changed(dialog, TurnBlockedHandlerOn(dialog, ShownView(dialog), row));
    const TurnedOff* off = state.TurnedOffAt(ShownView(dialog), row.extension);
    if (!off) return;
    wchar_t backup[MAX_PATH];
    CopyText(backup, MAX_PATH, off->backup);
    const ShellSwitchEnd end = TurnPropertyHandlerOn(dialog, row, backup);
    if (end == ShellSwitchDone) {
        // Forgotten once its handler is back.
        SIZE_T kept = 0;
        for (SIZE_T i = 0; i < state.turnedOff.Count(); ++i) {
            if (&state.turnedOff[i] != off) state.turnedOff[kept++] = state.turnedOff[i];
        }
        state.turnedOff.Truncate(kept);
    }
    Changed(dialog, end);
}

void OnCommand(HWND dialog, WORD id, WORD code) {
    switch (id) {
    case IDCANCEL: EndDialog(dialog, 0); return;
    case IDC_SHELL_OFF: OnTurnOff(dialog); return;
    case IDC_SHELL_ON: OnTurnOn(dialog); return;
    case IDC_SHELL_VIEW:
        if (code == CBN_SELCHANGE) {
            ReadRows(dialog);
            SetDlgItemTextW(dialog, IDC_SHELL_STATUS, L"");
        }
        return;
    default: return;
    }
}

bool OnNotify(HWND dialog, NMHDR* header) {
    if (header->idFrom != IDC_SHELL_LIST) return false;
    if (header->code == LVN_ITEMCHANGED) {
        ShowDetails(dialog);
        return true;
    }
    if (header->code != LVN_GETDISPINFOW) return false;
    auto* info = reinterpret_cast<NMLVDISPINFOW*>(header);
    if ((info->item.mask & LVIF_TEXT) == 0 || !info->item.pszText || info->item.cchTextMax <= 0) return false;
    CellText(&StateOf(dialog), info->item.iItem < 0 ? SIZE_MAX : static_cast<std::size_t>(info->item.iItem),
             info->item.iSubItem, info->item.pszText, static_cast<std::size_t>(info->item.cchTextMax));
    return true;
}

}  // namespace

INT_PTR CALLBACK ShellHandlersDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        if (!MakeDialogState<ShellDialogState>(dialog)) return TRUE;
        SetUpControls(dialog);
        ReadRows(dialog);
        return TRUE;
    case WM_NCDESTROY:
        DeleteDialogState<ShellDialogState>(dialog);
        return FALSE;
    case WM_CLOSE:
        EndDialog(dialog, 0);
        return TRUE;
    case WM_COMMAND:
        if (GetWindowLongPtrW(dialog, DWLP_USER) == 0) return FALSE;
        OnCommand(dialog, LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    case WM_NOTIFY:
        if (GetWindowLongPtrW(dialog, DWLP_USER) == 0) return FALSE;
        return OnNotify(dialog, reinterpret_cast<NMHDR*>(lParam)) ? TRUE : FALSE;
    default:
        return FALSE;
    }
}

void OpenShellHandlersDialog() {
    DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_SHELL_HANDLERS), g_app.mainWindow,
                    ShellHandlersDialog, 0);
}
