#include "shell_dialog.h"

#include "../base/app_state.h"
#include "../base/bounded_text.h"
#include "../base/dialog_state.h"
#include "../base/line_safety.h"
#include "../base/list_view.h"
#include "../catalogue/registry_link.h"
#include "../catalogue/view_registry.h"
#include "../registry/registry_location.h"
#include "../resources/resource.h"
#include "../base/message_box.h"
#include "shell_handlers.h"
#include "shell_judge.h"
#include "shell_switch.h"
#include "shell_turned_off.h"

#include <commctrl.h>
#include <commdlg.h>

#include <climits>
#include <cwchar>
#include <iterator>
#include <memory>

namespace {

const wchar_t* const kColumns[] = {L"Расширение", L"Вид", L"Состояние", L"Обработчик", L"Файл",
                                   L"Где зарегистрирован"};
constexpr int kColumnCount = static_cast<int>(std::size(kColumns));

constexpr std::size_t kDetailsCapacity = kHiddenCapacity + kNameCapacity * 2;
constexpr UINT_PTR kPollTimer = 1;
constexpr UINT kPollIntervalMs = 5;
// Posted when the check's child ends, so that its end is followed at once.
constexpr UINT kChildEnded = WM_APP + 1;

const wchar_t kMediaFiles[] = L"Видео и аудио\0*.avi;*.mkv;*.mp4;*.m4v;*.mov;*.wmv;*.asf;*.mpg;*.mpeg;*.ts;*.webm;*.flv;"
                              L"*.mp3;*.wav;*.wma;*.m4a;*.flac;*.ogg;*.aac\0Все файлы (*.*)\0*.*\0";

struct ShellDialogState {
    RegistryView views[2] = {};
    int viewCount = 0;
    int shownView = 0;
    ShellHandlerList rows;
    HeapArray<TurnedOffHandler> turnedOff;  // the property handlers of the shown view turned off
    // The check at work, or the last one: of a view's handlers, or of a file's extension.
    ShellCheckMaker makeCheck = nullptr;
    std::unique_ptr<ShellLoadCheck> check;
    REGSAM checkedView = 0;
    bool checking = false;
    bool fileCheck = false;
    wchar_t checkedExtension[kExtensionCapacity] = {};
    // The folder of the thumbnails a file's check made, removed with the dialog.
    wchar_t thumbnails[MAX_PATH] = {};
    GdiObject thumbnail;  // shown, deleted with the dialog

    // The property handler of the extension turned off, or null.
    const TurnedOffHandler* TurnedOffAt(const wchar_t* extension) const {
        for (SIZE_T i = 0; i < turnedOff.Count(); ++i) {
            if (lstrcmpiW(turnedOff[i].extension, extension) == 0) return &turnedOff[i];
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

// The row's state: the judged one, or the result of the last check that took it.
void StateText(const ShellDialogState& state, const ShellHandlerRow& row, wchar_t* text, std::size_t capacity) {
    ShellLoadCheck::Result result = {};
    if (!state.check || state.checkedView != state.views[state.shownView].flag ||
        (state.fileCheck && lstrcmpiW(row.extension, state.checkedExtension) != 0) ||
        !state.check->ResultOf(row.classGuid, &result)) {
        CopyText(text, capacity, row.stateText);
        return;
    }
    wchar_t said[kNameCapacity];
    if (!state.fileCheck || !result.passed || !result.made) {
        CopyText(said, kNameCapacity, result.text);
    } else if (row.kind == ShellProperty) {
        FormatText(said, kNameCapacity, L"свойств: %lu", result.propertyCount == ULONG_MAX ? 0ul : result.propertyCount);
    } else if (row.kind == ShellPreview) {
        CopyText(said, kNameCapacity, L"инициализирован файлом");
    } else if (result.thumbnailWidth == 0) {
        CopyText(said, kNameCapacity, L"эскиз не создан");
    } else {
        FormatText(said, kNameCapacity, L"эскиз %lu × %lu", result.thumbnailWidth, result.thumbnailHeight);
    }
    if (row.state == ShellStateBlocked) {
        FormatText(text, capacity, L"%ls; %ls", row.stateText, said);
    } else {
        CopyText(text, capacity, said);
    }
}

void CellText(const void* owner, std::size_t row, int column, wchar_t* text, std::size_t capacity) {
    const ShellDialogState& state = *static_cast<const ShellDialogState*>(owner);
    CopyText(text, capacity, L"");
    if (row >= state.rows.Count()) return;
    const ShellHandlerRow& handler = state.rows[row];
    switch (column) {
    case 0: CopyText(text, capacity, handler.extension); break;
    case 1: CopyText(text, capacity, kShellKinds[handler.kind].title); break;
    case 2: StateText(state, handler, text, capacity); break;
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
        // Each field on its line, the names and keys read from the registry made safe first.
        wchar_t field[kDetailsCapacity];
        FormatText(field, kDetailsCapacity, L"%ls, %ls: %ls %ls", row->extension, kShellKinds[row->kind].title,
                   row->name, row->classId);
        ReplaceUnsafeInLine(field, L'?');
        CopyText(text, kDetailsCapacity, field);
        if (row->note[0] != L'\0') {
            CopyText(field, kDetailsCapacity, row->note);
            ReplaceUnsafeInLine(field, L'?');
            AppendText(text, kDetailsCapacity, L"\r\n");
            AppendText(text, kDetailsCapacity, field);
        }
        if (row->hidden[0] != L'\0') {
            AppendText(text, kDetailsCapacity, L"\r\nПроводник не доходит до найденных позже:");
            CopyText(field, kDetailsCapacity, row->hidden);
            ReplaceUnsafeInLine(field, L'?');
            // One hidden handler a line.
            for (wchar_t* at = field; at;) {
                wchar_t* next = std::wcsstr(at, L"; ");
                if (next) *next = L'\0';
                AppendText(text, kDetailsCapacity, L"\r\n  ");
                AppendText(text, kDetailsCapacity, at);
                at = next ? next + 2 : nullptr;
            }
        }
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
    // The property handlers the program turned off (its backups hold them)
    // whose extension has none now, as rows of their own that "Включить"
    // turns on again.
    FindTurnedOffPropertyHandlers(ShownView(dialog), state.turnedOff);
    if (state.turnedOff.Count() > 0) {
        ShellJudge judge(ShownView(dialog));
        // PropertyHandlers as the registry editor names it in this view.
        wchar_t handlers[kNameCapacity];
        FormatText(handlers, kNameCapacity, L"HKEY_LOCAL_MACHINE\\%ls", kPropertyHandlersPath);
        RegKey handlersKey;
        GrowingText realName;
        if (OpenKeyPathUnlessLink(handlersKey, HKEY_LOCAL_MACHINE, kPropertyHandlersPath, KEY_READ | ShownView(dialog)) ==
                KeyOpened &&
            AppendRealKeyName(realName, handlersKey.Get())) {
            CopyText(handlers, kNameCapacity, TextChars(realName));
        }
        for (SIZE_T i = 0; i < state.turnedOff.Count(); ++i) {
            const TurnedOffHandler& off = state.turnedOff[i];
            ShellHandlerRow row = {};
            if (FAILED(IIDFromString(off.classId, &row.classGuid))) continue;
            CopyText(row.extension, kExtensionCapacity, off.extension);
            row.kind = ShellProperty;
            CopyText(row.classId, 40, off.classId);
            FormatText(row.where, kNameCapacity, L"%ls\\%ls", handlers, off.extension);
            judge.Judge(row);
            row.state = ShellStateBlocked;
            CopyText(row.stateText, kNameCapacity, L"отключен");
            state.rows.Append(row);
        }
    }
    SetCursor(previous);
    ListView_SetItemState(List(dialog), -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    ShowRows(dialog);
}

void ShowStatus(HWND dialog) {
    ShellDialogState& state = StateOf(dialog);
    wchar_t text[kNameCapacity] = {};
    if (state.check && state.checkedView == ShownView(dialog)) state.check->Progress(text, kNameCapacity);
    ReplaceUnsafeInLine(text, L'?');
    SetDlgItemTextW(dialog, IDC_SHELL_STATUS, text);
}

void EnableActions(HWND dialog, bool enabled) {
    for (int id : {IDC_SHELL_VIEW, IDC_SHELL_CHECK, IDC_SHELL_CHECK_FILE, IDC_SHELL_OFF, IDC_SHELL_ON}) {
        EnableWindow(GetDlgItem(dialog, id), enabled);
    }
}

// The rows the check failed move ahead of the others, each group in its order.
void MoveFailedFirst(HWND dialog) {
    ShellDialogState& state = StateOf(dialog);
    ShellHandlerList sorted;
    if (!sorted.Reserve(state.rows.Count())) return;
    for (int failedPass = 1; failedPass >= 0; --failedPass) {
        for (SIZE_T i = 0; i < state.rows.Count(); ++i) {
            const ShellHandlerRow& row = state.rows[i];
            ShellLoadCheck::Result result = {};
            const bool taken = !state.fileCheck || lstrcmpiW(row.extension, state.checkedExtension) == 0;
            const bool failed = IsShellProblem(row) ||
                                (taken && state.check->ResultOf(row.classGuid, &result) && !result.passed);
            if (failed == (failedPass == 1)) sorted.Append(row);
        }
    }
    state.rows.Swap(sorted);
    ListView_SetItemState(List(dialog), -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
}

// Shows the thumbnail at path, made by the handler of the row, fitted into its box.
void ShowThumbnail(HWND dialog, const wchar_t* path, const ShellLoadCheck::Result& result) {
    ShellDialogState& state = StateOf(dialog);
    RECT box = {};
    GetClientRect(GetDlgItem(dialog, IDC_SHELL_THUMBNAIL), &box);
    int width = static_cast<int>(result.thumbnailWidth), height = static_cast<int>(result.thumbnailHeight);
    const int roomWidth = box.right - 2, roomHeight = box.bottom - 2;
    if (width > roomWidth || height > roomHeight) {
        // Scaled down as a whole, its sides in their proportion.
        if (width * roomHeight > height * roomWidth) {
            height = height * roomWidth / width;
            width = roomWidth;
        } else {
            width = width * roomHeight / height;
            height = roomHeight;
        }
    }
    const auto bitmap = static_cast<HBITMAP>(LoadImageW(nullptr, path, IMAGE_BITMAP, width > 0 ? width : 1,
                                                         height > 0 ? height : 1, LR_LOADFROMFILE));
    const auto previous = reinterpret_cast<HGDIOBJ>(SendDlgItemMessageW(dialog, IDC_SHELL_THUMBNAIL, STM_SETIMAGE,
                                                                       IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap)));
    // A copy the control made of the bitmap before (it copies one with an alpha channel) is the program's to delete.
    if (previous && previous != state.thumbnail.Get()) DeleteObject(previous);
    state.thumbnail.Reset(bitmap);
    wchar_t text[kShortTextCapacity] = {};
    if (bitmap) FormatText(text, kShortTextCapacity, L"Эскиз: %lu × %lu", result.thumbnailWidth, result.thumbnailHeight);
    SetDlgItemTextW(dialog, IDC_SHELL_THUMBNAIL_TEXT, text);
}

// After a file's check: the first thumbnail a handler of the extension made.
void ShowMadeThumbnail(HWND dialog) {
    ShellDialogState& state = StateOf(dialog);
    for (SIZE_T i = 0; i < state.rows.Count(); ++i) {
        const ShellHandlerRow& row = state.rows[i];
        ShellLoadCheck::Result result = {};
        if ((row.kind != ShellThumbnail && row.kind != ShellExtractImage) ||
            lstrcmpiW(row.extension, state.checkedExtension) != 0 || !state.check->ResultOf(row.classGuid, &result) ||
            !result.passed || !result.made || result.thumbnailWidth == 0) {
            continue;
        }
        wchar_t path[kNameCapacity];
        ShellThumbnailPath(state.thumbnails, row.classId, path);
        ShowThumbnail(dialog, path, result);
        return;
    }
}

// Removes the thumbnails' folder with the files in it.
void RemoveThumbnails(ShellDialogState& state) {
    if (state.thumbnails[0] == L'\0') return;
    wchar_t pattern[MAX_PATH];
    if (FormatText(pattern, MAX_PATH, L"%ls\\*.bmp", state.thumbnails) == kTextOk) {
        WIN32_FIND_DATAW found;
        const FindHandle search(FindFirstFileW(pattern, &found));
        for (BOOL more = search.Found(); more; more = FindNextFileW(search.Get(), &found)) {
            wchar_t file[MAX_PATH];
            if (FormatText(file, MAX_PATH, L"%ls\\%ls", state.thumbnails, found.cFileName) == kTextOk) DeleteFileW(file);
        }
    }
    RemoveDirectoryW(state.thumbnails);
    state.thumbnails[0] = L'\0';
}

// Starts a check, made anew; file (or null) is the file's check's file.
void StartCheck(HWND dialog, const wchar_t* file) {
    ShellDialogState& state = StateOf(dialog);
    if (state.checking || !state.makeCheck) return;
    state.check = state.makeCheck();
    if (!state.check) return;
    state.fileCheck = file != nullptr;
    state.checking = true;
    EnableActions(dialog, false);
    const HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    if (file) {
        state.checkedView = 0;
        state.check->StartFile(file, state.thumbnails, dialog, kChildEnded);
    } else {
        state.checkedView = ShownView(dialog);
        state.check->StartLoading(state.checkedView, dialog, kChildEnded);
    }
    SetCursor(previous);
    ShowStatus(dialog);
    SetTimer(dialog, kPollTimer, kPollIntervalMs, nullptr);
}

// "Проверить на файле..": the file chosen, its extension's handlers of the program's own view shown and checked.
void OnCheckFile(HWND dialog) {
    ShellDialogState& state = StateOf(dialog);
    if (state.checking) return;
    wchar_t file[MAX_PATH] = {};
    OPENFILENAMEW open = {};
    open.lStructSize = sizeof(open);
    open.hwndOwner = dialog;
    open.lpstrFilter = kMediaFiles;
    open.nFilterIndex = 1;
    open.lpstrFile = file;
    open.nMaxFile = MAX_PATH;
    open.lpstrTitle = L"Выберите файл для проверки";
    open.Flags = OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_LONGNAMES | OFN_FILEMUSTEXIST;
    if (!GetOpenFileNameW(&open)) return;
    file[MAX_PATH - 1] = L'\0';
    CopyText(state.checkedExtension, kExtensionCapacity, ShellFileExtension(file));
    // The program's own view: its child is of the program's width.
    for (int i = 0; i < state.viewCount; ++i) {
        if (state.views[i].Own()) SendDlgItemMessageW(dialog, IDC_SHELL_VIEW, CB_SETCURSEL, i, 0);
    }
    ReadRows(dialog);
    RemoveThumbnails(state);
    wchar_t temp[MAX_PATH];
    const DWORD length = GetTempPathW(MAX_PATH, temp);
    if (length == 0 || length >= MAX_PATH ||
        FormatText(state.thumbnails, MAX_PATH, L"%lsPelmora Vantrel %lu-%llu", temp, GetCurrentProcessId(),
                   GetTickCount64()) != kTextOk ||
        !CreateDirectoryW(state.thumbnails, nullptr)) {
        state.thumbnails[0] = L'\0';
    }
    ShowThumbnail(dialog, L"", {});
    StartCheck(dialog, file);
}

void OnTimer(HWND dialog) {
    ShellDialogState& state = StateOf(dialog);
    if (!state.checking || !state.check) {
        KillTimer(dialog, kPollTimer);
        return;
    }
    const bool running = state.check->Poll();
    ShowStatus(dialog);
    if (running) return;
    KillTimer(dialog, kPollTimer);
    state.checking = false;
    EnableActions(dialog, true);
    MoveFailedFirst(dialog);
    ShowRows(dialog);
    if (state.fileCheck) ShowMadeThumbnail(dialog);
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
    const ShellHandlerRow row = *selected;
    wchar_t backup[MAX_PATH];
    Changed(dialog, TurnShellHandlerOff(dialog, ShownView(dialog), row, backup));
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
    const TurnedOffHandler* off = state.TurnedOffAt(row.extension);
    if (!off) return;
    wchar_t backup[MAX_PATH];
    CopyText(backup, MAX_PATH, off->backup);
    Changed(dialog, TurnPropertyHandlerOn(dialog, row, backup));
}

void Close(HWND dialog) {
    KillTimer(dialog, kPollTimer);
    EndDialog(dialog, 0);
}

void OnCommand(HWND dialog, WORD id, WORD code) {
    switch (id) {
    case IDCANCEL: Close(dialog); return;
    case IDC_SHELL_OFF:
        if (!StateOf(dialog).checking) OnTurnOff(dialog);
        return;
    case IDC_SHELL_ON:
        if (!StateOf(dialog).checking) OnTurnOn(dialog);
        return;
    case IDC_SHELL_CHECK: StartCheck(dialog, nullptr); return;
    case IDC_SHELL_CHECK_FILE: OnCheckFile(dialog); return;
    case IDC_SHELL_VIEW:
        if (code == CBN_SELCHANGE && !StateOf(dialog).checking) {
            ReadRows(dialog);
            ShowStatus(dialog);
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
    case WM_INITDIALOG: {
        auto* state = MakeDialogState<ShellDialogState>(dialog);
        if (!state) return TRUE;
        state->makeCheck = reinterpret_cast<ShellCheckMaker>(lParam);
        SetUpControls(dialog);
        ReadRows(dialog);
        return TRUE;
    }
    case WM_NCDESTROY:
        // However the dialog goes, a check still at work is ended with its
        // child, and the thumbnails made go with it.
        KillTimer(dialog, kPollTimer);
        if (auto* state = DialogState<ShellDialogState>(dialog)) {
            state->check.reset();
            RemoveThumbnails(*state);
        }
        DeleteDialogState<ShellDialogState>(dialog);
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
    case WM_NOTIFY:
        if (GetWindowLongPtrW(dialog, DWLP_USER) == 0) return FALSE;
        return OnNotify(dialog, reinterpret_cast<NMHDR*>(lParam)) ? TRUE : FALSE;
    default:
        return FALSE;
    }
}

void OpenShellHandlersDialog(ShellCheckMaker makeCheck) {
    DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_SHELL_HANDLERS), g_app.mainWindow,
                    ShellHandlersDialog, reinterpret_cast<LPARAM>(makeCheck));
}
