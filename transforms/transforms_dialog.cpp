#include "transforms_dialog.h"

#include "../base/app_state.h"
#include "../base/bounded_text.h"
#include "../base/message_box.h"
#include "../catalogue/filter_list.h"
#include "../catalogue/server_file_facts.h"
#include "../catalogue/view_registry.h"
#include "../codecs/manage_dialog.h"
#include "../registry/registry_backup.h"
#include "../registry/removal_report.h"
#include "../registry/transform_keys.h"
#include "../resources/resource.h"
#include "transform_categories.h"
#include "transform_list.h"

#include <iterator>
#include <new>

namespace {

const wchar_t kPackagedMessage[] =
    L"Кодек установлен как пакет Windows. Удалите его в параметрах Windows: «Приложения».";
constexpr int kHeadingMargin = 24;  // pixels around a column heading's text

const wchar_t* const kColumns[] = {L"Кодек",          L"Тип",         L"Входные форматы", L"Выходные форматы",
                                   L"Файл кодека",    L"Состояние",   L"Примечание"};

// The open dialog's views and the rows it shows.
struct TransformsDialogState {
    RegistryView views[2] = {};
    int viewCount = 0;
    TransformList rows;
};
TransformsDialogState* g_transforms = nullptr;

HWND List(HWND dialog) { return GetDlgItem(dialog, IDC_TRANSFORM_LIST); }

const RegistryView& ChosenView(HWND dialog) {
    LRESULT at = SendDlgItemMessageW(dialog, IDC_TRANSFORM_VIEW, CB_GETCURSEL, 0, 0);
    if (at < 0 || at >= g_transforms->viewCount) at = 0;
    return g_transforms->views[at];
}

int ChosenCategory(HWND dialog) {
    const LRESULT at = SendDlgItemMessageW(dialog, IDC_TRANSFORM_CATEGORY, CB_GETCURSEL, 0, 0);
    return at < 0 || at >= kTransformCategoryCount ? 0 : static_cast<int>(at);
}

void SetUpControls(HWND dialog) {
    for (const TransformCategory& category : kTransformCategories) {
        SendDlgItemMessageW(dialog, IDC_TRANSFORM_CATEGORY, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(category.title));
    }
    SendDlgItemMessageW(dialog, IDC_TRANSFORM_CATEGORY, CB_SETCURSEL, 0, 0);
    g_transforms->viewCount = MachineRegistryViews(g_transforms->views);
    for (int i = 0; i < g_transforms->viewCount; ++i) {
        const RegistryView& view = g_transforms->views[i];
        SendDlgItemMessageW(dialog, IDC_TRANSFORM_VIEW, CB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>(view.width == 64 ? L"64-разрядные программы"
                                                                      : L"32-разрядные программы"));
        if (view.Own()) SendDlgItemMessageW(dialog, IDC_TRANSFORM_VIEW, CB_SETCURSEL, i, 0);
    }
    HWND list = List(dialog);
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT | LVS_EX_LABELTIP);
    for (int i = 0; i < static_cast<int>(std::size(kColumns)); ++i) {
        LVCOLUMNW column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.pszText = const_cast<wchar_t*>(kColumns[i]);
        column.cx = 100;
        column.iSubItem = i;
        ListView_InsertColumn(list, i, &column);
    }
}

void SetCell(HWND list, int row, int column, const wchar_t* text) {
    ListView_SetItemText(list, row, column, const_cast<wchar_t*>(text));
}

// Reads the chosen category in the chosen view again and shows its rows.
void FillRows(HWND dialog) {
    TransformList& rows = g_transforms->rows;
    rows.count = 0;
    rows.failed = false;
    const RegistryView& view = ChosenView(dialog);
    ReadTransformRows(view.flag, ChosenCategory(dialog), rows);
    HWND list = List(dialog);
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    ListView_DeleteAllItems(list);
    for (std::size_t i = 0; i < rows.count; ++i) {
        TransformRow& row = TransformAt(rows, i);
        LVITEMW item = {};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = static_cast<int>(i);
        item.pszText = row.name;
        item.lParam = static_cast<LPARAM>(i);
        const int at = ListView_InsertItem(list, &item);
        SetCell(list, at, 1, row.type);
        SetCell(list, at, 2, row.inputs);
        SetCell(list, at, 3, row.outputs);
        SetCell(list, at, 4, row.file);
        SetCell(list, at, 5, row.status);
        SetCell(list, at, 6, row.note);
    }
    // Each column as wide as its longest text or its heading, so that nothing is cut.
    for (int i = 0; i < static_cast<int>(std::size(kColumns)); ++i) {
        ListView_SetColumnWidth(list, i, LVSCW_AUTOSIZE);
        const int heading = ListView_GetStringWidth(list, kColumns[i]) + kHeadingMargin;
        if (ListView_GetColumnWidth(list, i) < heading) ListView_SetColumnWidth(list, i, heading);
    }
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
    // The registrations of the other width's view are changed by the other
    // width's build, which sees them as its own: here they are only shown.
    EnableWindow(GetDlgItem(dialog, IDC_TRANSFORM_UNREGISTER), view.Own());
    EnableWindow(GetDlgItem(dialog, IDC_TRANSFORM_DELETE), view.Own());
}

// The selected row, or null after telling the user that none is.
const TransformRow* SelectedRow(HWND dialog) {
    HWND list = List(dialog);
    const int selected = ListView_GetNextItem(list, -1, LVNI_SELECTED);
    LVITEMW item = {};
    item.mask = LVIF_PARAM;
    item.iItem = selected;
    if (selected < 0 || !ListView_GetItem(list, &item) || item.lParam < 0 ||
        static_cast<std::size_t>(item.lParam) >= g_transforms->rows.count) {
        ShowMessageBox(dialog, L"Не выбран кодек", nullptr, MB_OK);
        return nullptr;
    }
    const TransformRow& row = TransformAt(g_transforms->rows, static_cast<std::size_t>(item.lParam));
    if (row.packaged) {
        ShowMessageBox(dialog, kPackagedMessage, nullptr, MB_ICONINFORMATION);
        return nullptr;
    }
    return &row;
}

void CheckServerFile(HWND dialog, const TransformRow& row) {
    wchar_t facts[kNameCapacity];
    ShowServerFileCheck(dialog, DescribeServerFile(ChosenView(dialog).flag, row.serverPath, facts, kNameCapacity));
}

void Unregister(HWND dialog, TransformRow row) {
    if (!ConfirmUnregistration(dialog)) return;
    if (!UnregisterServerFile(dialog, row.name, row.classId, row.serverPath)) return;
    RefreshFilterList();
    FillRows(dialog);
}

// Deletes the transform key, every category entry of the class and its
// class key, after a backup of them all; whatever stays is named.
void DeleteTransform(HWND dialog, TransformRow row) {
    if (!ConfirmDeletion(dialog)) return;
    KeyPathList keys;
    AddTransformKeys(row.keyName, keys);
    wchar_t classKey[kNameCapacity];
    if (row.classIdIsGuid && JoinText(classKey, kNameCapacity, L"CLSID", L"\\", row.classId)) AddKeyPath(keys, classKey);
    if (!BackUpKeys(dialog, BackupDeleteCodec, row.name, row.classId, keys)) return;
    const bool closing = RemoveKeysAndReport(dialog, keys);
    if (closing) {
        EndDialog(dialog, 0);
        return;
    }
    RefreshFilterList();
    FillRows(dialog);
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
    const TransformRow* row = SelectedRow(dialog);
    if (!row) return;
    // The actions take a copy: the rows are read again while they run.
    if (id == IDC_TRANSFORM_CHECK_FILE) CheckServerFile(dialog, *row);
    else if (id == IDC_TRANSFORM_UNREGISTER) Unregister(dialog, *row);
    else DeleteTransform(dialog, *row);
}

}  // namespace

INT_PTR CALLBACK TransformsDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        SetUpControls(dialog);
        FillRows(dialog);
        return TRUE;
    case WM_COMMAND:
        OnCommand(dialog, LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    default:
        return FALSE;
    }
}

void OpenTransformsDialog() {
    // One dialog at a time: it is modal to the main window.
    if (g_transforms) return;
    auto* state = new (std::nothrow) TransformsDialogState;
    if (!state) return;
    g_transforms = state;
    DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_TRANSFORMS), g_app.mainWindow, TransformsDialog, 0);
    g_transforms = nullptr;
    delete state;
}
