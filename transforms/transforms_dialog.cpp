#include "transforms_dialog.h"

#include "../base/app_state.h"
#include "../base/bounded_text.h"
#include "../base/dialog_state.h"
#include "../base/list_view.h"
#include "../base/message_box.h"
#include "../catalogue/filter_list.h"
#include "../catalogue/registry_text.h"
#include "../catalogue/server_file_facts.h"
#include "../catalogue/view_registry.h"
#include "../codecs/manage_dialog.h"
#include "../backups/registry_backup.h"
#include "../registry/removal_report.h"
#include "../registry/transform_keys.h"
#include "../resources/resource.h"
#include "transform_categories.h"
#include "transform_list.h"

#include <cwchar>
#include <iterator>

namespace {

const wchar_t kPackagedMessage[] =
    L"Кодек установлен как пакет Windows. Удалите его в параметрах Windows: «Приложения».";
constexpr int kHeadingMargin = 24;  // pixels around a column heading's text

const wchar_t* const kColumns[] = {L"Кодек",          L"Тип",         L"Входные форматы", L"Выходные форматы",
                                   L"Файл кодека",    L"Состояние",   L"Примечание"};

// The rows of one view, every category's, read once per opening of the
// dialog (and again after its own changes to the registry), so that choosing
// a category reads nothing.
struct ViewRows {
    TransformList rows;
    bool read = false;
};

// A dialog's views, their rows, and the rows of the chosen category that the
// list shows (indexes into the shown view's rows), kept by the dialog itself.
struct TransformsDialogState {
    RegistryView views[2] = {};
    int viewCount = 0;
    ViewRows viewRows[2];
    int shownView = 0;
    HeapBuffer shown;
    std::size_t shownCount = 0;

    const TransformList& Rows() const { return viewRows[shownView].rows; }
    const TransformRow& Shown(std::size_t item) const {
        return TransformAt(Rows(), reinterpret_cast<const std::size_t*>(shown.Get())[item]);
    }
};

TransformsDialogState& StateOf(HWND dialog) {
    return *DialogState<TransformsDialogState>(dialog);
}

HWND List(HWND dialog) { return GetDlgItem(dialog, IDC_TRANSFORM_LIST); }

int ChosenViewIndex(HWND dialog) {
    const LRESULT at = SendDlgItemMessageW(dialog, IDC_TRANSFORM_VIEW, CB_GETCURSEL, 0, 0);
    return at < 0 || at >= StateOf(dialog).viewCount ? 0 : static_cast<int>(at);
}

const RegistryView& ChosenView(HWND dialog) { return StateOf(dialog).views[ChosenViewIndex(dialog)]; }

int ChosenCategory(HWND dialog) {
    const LRESULT at = SendDlgItemMessageW(dialog, IDC_TRANSFORM_CATEGORY, CB_GETCURSEL, 0, 0);
    return at < 0 || at >= kTransformCategoryCount ? 0 : static_cast<int>(at);
}

void SetUpControls(HWND dialog) {
    for (const TransformCategory& category : kTransformCategories) {
        SendDlgItemMessageW(dialog, IDC_TRANSFORM_CATEGORY, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(category.title));
    }
    SendDlgItemMessageW(dialog, IDC_TRANSFORM_CATEGORY, CB_SETCURSEL, 0, 0);
    TransformsDialogState& state = StateOf(dialog);
    state.viewCount = MachineRegistryViews(state.views);
    for (int i = 0; i < state.viewCount; ++i) {
        const RegistryView& view = state.views[i];
        SendDlgItemMessageW(dialog, IDC_TRANSFORM_VIEW, CB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>(view.width == 64 ? L"64-разрядные программы"
                                                                      : L"32-разрядные программы"));
        if (view.Own()) SendDlgItemMessageW(dialog, IDC_TRANSFORM_VIEW, CB_SETCURSEL, i, 0);
    }
    SetUpReportColumns(List(dialog), kColumns, static_cast<int>(std::size(kColumns)));
}

// A row's text in a column.
const wchar_t* CellText(const TransformRow& row, int column) {
    switch (column) {
    case 0: return row.name;
    case 1: return row.type;
    case 2: return row.inputs;
    case 3: return row.outputs;
    case 4: return row.file;
    case 5: return row.status;
    case 6: return row.note;
    default: return L"";
    }
}

// A column as wide as its widest text or its heading, so that nothing is
// cut. Only the texts with the most characters are measured: in the list's
// proportional font no text of a few characters fewer is wider than those.
void SizeColumn(HWND list, HDC dc, const TransformsDialogState& state, int column) {
    constexpr int kMeasured = 8;
    constexpr int kCellMargin = 16;  // pixels around a cell's text
    std::size_t longest[kMeasured] = {};
    int kept = 0;
    for (std::size_t i = 0; i < state.shownCount; ++i) {
        const std::size_t length = std::wcslen(CellText(state.Shown(i), column));
        int at = 0;
        if (kept < kMeasured) {
            at = kept++;
        } else if (std::wcslen(CellText(state.Shown(longest[kMeasured - 1]), column)) >= length) {
            continue;
        } else {
            at = kMeasured - 1;
        }
        // Into its place among the longest, longest first.
        for (; at > 0 && std::wcslen(CellText(state.Shown(longest[at - 1]), column)) < length; --at) {
            longest[at] = longest[at - 1];
        }
        longest[at] = i;
    }
    int width = ListView_GetStringWidth(list, kColumns[column]) + kHeadingMargin;
    for (int i = 0; i < kept; ++i) {
        const wchar_t* text = CellText(state.Shown(longest[i]), column);
        SIZE size = {};
        if (GetTextExtentPoint32W(dc, text, static_cast<int>(std::wcslen(text)), &size) && size.cx + kCellMargin > width) {
            width = size.cx + kCellMargin;
        }
    }
    ListView_SetColumnWidth(list, column, width);
}

// Reads the chosen view's rows where this opening has not read them yet,
// with the wait cursor meanwhile.
const TransformList& ViewRowsRead(HWND dialog, int viewIndex) {
    ViewRows& view = StateOf(dialog).viewRows[viewIndex];
    if (!view.read) {
        const HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
        view.rows.count = 0;
        view.rows.failed = false;
        ReadViewTransforms(StateOf(dialog).views[viewIndex].flag, view.rows);
        view.read = true;
        SetCursor(previous);
    }
    return view.rows;
}

// Shows the rows of the chosen category in the chosen view.
void FillRows(HWND dialog) {
    TransformsDialogState& state = StateOf(dialog);
    const int viewIndex = ChosenViewIndex(dialog);
    const TransformList& rows = ViewRowsRead(dialog, viewIndex);
    const int category = ChosenCategory(dialog);
    state.shownView = viewIndex;
    state.shownCount = 0;
    if (state.shown.Reserve((rows.count + 1) * sizeof(std::size_t))) {
        auto* shown = reinterpret_cast<std::size_t*>(state.shown.Get());
        for (std::size_t i = 0; i < rows.count; ++i) {
            if (TransformAt(rows, i).category == category) shown[state.shownCount++] = i;
        }
    }
    // The list holds no texts of its own: it asks for each cell it shows (LVN_GETDISPINFO).
    HWND list = List(dialog);
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    ListView_SetItemState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_SetItemCountEx(list, static_cast<int>(state.shownCount), 0);
    HDC dc = GetDC(list);
    const HGDIOBJ font = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(list, WM_GETFONT, 0, 0)));
    for (int i = 0; i < static_cast<int>(std::size(kColumns)); ++i) SizeColumn(list, dc, state, i);
    SelectObject(dc, font);
    ReleaseDC(list, dc);
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
    // The registrations of the other width's view are changed by the other
    // width's build, which sees them as its own: here they are only shown.
    const bool own = state.views[viewIndex].Own();
    EnableWindow(GetDlgItem(dialog, IDC_TRANSFORM_UNREGISTER), own);
    EnableWindow(GetDlgItem(dialog, IDC_TRANSFORM_DELETE), own);
}

// Reads the views again, after the dialog's own change to the registry, and
// shows the chosen one.
void ReadAgain(HWND dialog) {
    for (ViewRows& view : StateOf(dialog).viewRows) view.read = false;
    FillRows(dialog);
}

// Whether the rows the list shows, and the chosen view, are the program's
// own view's: only there do the actions that change the registry act. Their
// buttons are disabled elsewhere, but a command can still come (a keyboard
// accelerator, a posted message, an assistive tool).
bool ShowsOwnView(HWND dialog) {
    const TransformsDialogState& state = StateOf(dialog);
    return state.views[state.shownView].Own() && ChosenView(dialog).Own();
}

// The selected row, or null after telling the user that none is.
const TransformRow* SelectedRow(HWND dialog) {
    const int selected = ListView_GetNextItem(List(dialog), -1, LVNI_SELECTED);
    if (selected < 0 || static_cast<std::size_t>(selected) >= StateOf(dialog).shownCount) {
        ShowMessageBox(dialog, L"Не выбран кодек", nullptr, MB_OK);
        return nullptr;
    }
    const TransformRow& row = StateOf(dialog).Shown(static_cast<std::size_t>(selected));
    if (row.packaged) {
        ShowMessageBox(dialog, kPackagedMessage, nullptr, MB_ICONINFORMATION);
        return nullptr;
    }
    return &row;
}

// The file looked for as the width of the view the row was read in sees it.
void CheckServerFile(HWND dialog, const TransformRow& row) {
    const TransformsDialogState& state = StateOf(dialog);
    wchar_t facts[kNameCapacity];
    ShowServerFileCheck(dialog, DescribeServerFile(state.views[state.shownView].flag, row.serverPath,
                                                   row.serverPathType, facts, kNameCapacity));
}

void Unregister(HWND dialog, TransformRow row) {
    // Without a server file there is nothing for regsvr32 to load: the check's
    // warning says so, and "Удалить кодек" is what can remove such entries.
    if (row.serverPath[0] == L'\0') {
        ShowServerFileCheck(dialog, false);
        return;
    }
    if (!ConfirmUnregistration(dialog)) return;
    if (!UnregisterServerFile(dialog, row.name, row.classId, row.serverPath, row.serverPathType)) return;
    RefreshFilterList();
    ReadAgain(dialog);
}

// Deletes every transform key and category entry of the row's class (in any
// spelling of its class id, in any category) and its class key, after a
// backup of exactly those keys; whatever stays is named. An entry named like
// a key of the Transforms key's own goes alone.
void DeleteTransform(HWND dialog, TransformRow row) {
    if (!ConfirmDeletion(dialog)) return;
    KeyPathList keys;
    AddTransformKeys(row.keyName, keys);
    wchar_t category[40];
    TransformKeyName(*kTransformCategories[row.category].id, category);
    AddTransformEntryKey(category, row.keyName, keys);
    wchar_t classKey[kNameCapacity];
    if (row.classIdIsGuid && JoinText(classKey, kNameCapacity, L"CLSID", L"\\", row.classId)) AddKeyPath(keys, classKey);
    if (!keys.failed && !AnyKeyPresent(keys)) {
        // Another program removed them since the list was read: nothing is backed up or changed.
        ShowNothingToDelete(dialog);
        ReadAgain(dialog);
        return;
    }
    if (!BackUpKeys(dialog, BackupDeleteCodec, row.name, row.classId, keys)) return;
    const bool closing = RemoveKeysAndReport(dialog, keys);
    if (closing) {
        EndDialog(dialog, 0);
        return;
    }
    RefreshFilterList();
    ReadAgain(dialog);
}

// The place the dialog opens on when another dialog opens it for one transform.
struct TransformPlace {
    int category;
    const wchar_t* classId;  // "{...}"
};

// Chooses the place's category and selects the transform's row in the program's own view.
void GoToPlace(HWND dialog, const TransformPlace& place) {
    if (place.category >= 0 && place.category < kTransformCategoryCount) {
        SendDlgItemMessageW(dialog, IDC_TRANSFORM_CATEGORY, CB_SETCURSEL, place.category, 0);
        FillRows(dialog);
    }
    // A class id is one class whatever its spelling: the row may spell it without braces.
    GUID wanted;
    if (!ParseClassIdText(place.classId, &wanted)) return;
    const TransformsDialogState& state = StateOf(dialog);
    for (std::size_t i = 0; i < state.shownCount; ++i) {
        GUID id;
        if (!ParseClassIdText(state.Shown(i).classId, &id) || !IsEqualGUID(id, wanted)) continue;
        HWND list = List(dialog);
        ListView_SetItemState(list, static_cast<int>(i), LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        ListView_EnsureVisible(list, static_cast<int>(i), FALSE);
        return;
    }
}

void OnCommand(HWND dialog, WORD id, WORD code) {
    switch (id) {
    case IDCANCEL: EndDialog(dialog, 0); return;
    case IDC_TRANSFORM_CATEGORY:
    case IDC_TRANSFORM_VIEW:
        if (code == CBN_SELCHANGE) FillRows(dialog);
        return;
    default: break;
    }
    if (id != IDC_TRANSFORM_CHECK_FILE && id != IDC_TRANSFORM_UNREGISTER && id != IDC_TRANSFORM_DELETE) return;
    if (id != IDC_TRANSFORM_CHECK_FILE && !ShowsOwnView(dialog)) return;
    const TransformRow* row = SelectedRow(dialog);
    if (!row) return;
    // The actions take a copy: the rows are read again while they run.
    if (id == IDC_TRANSFORM_CHECK_FILE) CheckServerFile(dialog, *row);
    else if (id == IDC_TRANSFORM_UNREGISTER) Unregister(dialog, *row);
    else DeleteTransform(dialog, *row);
}

}  // namespace

INT_PTR CALLBACK TransformsDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        auto* state = MakeDialogState<TransformsDialogState>(dialog);
        if (!state) return TRUE;
        SetUpControls(dialog);
        FillRows(dialog);
        if (lParam) GoToPlace(dialog, *reinterpret_cast<const TransformPlace*>(lParam));
        return TRUE;
    }
    case WM_NCDESTROY:
        DeleteDialogState<TransformsDialogState>(dialog);
        return FALSE;
    case WM_COMMAND:
        if (GetWindowLongPtrW(dialog, DWLP_USER) == 0) return FALSE;
        OnCommand(dialog, LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    case WM_NOTIFY: {
        auto* info = reinterpret_cast<NMLVDISPINFOW*>(lParam);
        if (GetWindowLongPtrW(dialog, DWLP_USER) == 0 || info->hdr.idFrom != IDC_TRANSFORM_LIST ||
            info->hdr.code != LVN_GETDISPINFOW || (info->item.mask & LVIF_TEXT) == 0 || !info->item.pszText ||
            info->item.cchTextMax <= 0) {
            return FALSE;
        }
        const TransformsDialogState& state = StateOf(dialog);
        const bool known = info->item.iItem >= 0 && static_cast<std::size_t>(info->item.iItem) < state.shownCount;
        CopyText(info->item.pszText, static_cast<std::size_t>(info->item.cchTextMax),
                 known ? CellText(state.Shown(static_cast<std::size_t>(info->item.iItem)), info->item.iSubItem) : L"");
        return TRUE;
    }
    default:
        return FALSE;
    }
}

void OpenTransformsDialog() {
    DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_TRANSFORMS), g_app.mainWindow, TransformsDialog, 0);
}

void OpenTransformsDialogAt(int category, const wchar_t* classId) {
    const TransformPlace place{category, classId};
    DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_TRANSFORMS), g_app.mainWindow, TransformsDialog,
                    reinterpret_cast<LPARAM>(&place));
}
