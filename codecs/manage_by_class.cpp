#include "manage_by_class.h"

#include "../base/app_state.h"
#include "../base/list_box.h"
#include "../catalogue/category_combo.h"
#include "../catalogue/category_table.h"
#include "../catalogue/filter_list.h"
#include "../catalogue/registry_lookup.h"
#include "manage_dialog.h"

namespace {

// The list row of the filter list whose text is exactly name, or -1.
int FindListRow(const wchar_t* name) {
    const int count = ListRowCount(g_app.filterList);
    for (int row = 0; row < count; ++row) {
        wchar_t text[kNameCapacity];
        if (GetListRowText(g_app.filterList, row, text, kNameCapacity) && lstrcmpW(text, name) == 0) return row;
    }
    return -1;
}

}  // namespace

void ManageFilterOfClass(const wchar_t* name, const wchar_t* classId) {
    const int before = SelectedCategoryRow();
    const bool byClassId = classId[0] != L'\0';
    for (int i = -1; i < static_cast<int>(kCategoryCount); ++i) {
        if (i == kDefaultCategoryRow) continue;
        const int category = i < 0 ? kDefaultCategoryRow : i;
        SendMessageW(g_app.categoryCombo, CB_SETCURSEL, static_cast<WPARAM>(category), 0);
        RefreshFilterList();
        const int row = FindListRow(name);
        wchar_t entryPath[kNameCapacity];
        if (row < 0 || (byClassId && !FindSelectedCategoryEntryOfClass(classId, entryPath))) continue;
        SendMessageW(g_app.filterList, LB_SETCURSEL, static_cast<WPARAM>(row), 0);
        if (byClassId) {
            OpenManageDialogForClass(name, classId);
        } else {
            OpenManageDialog();
        }
        return;
    }
    RestoreCategoryRow(before);
    SendMessageW(g_app.filterList, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    ShowCodecNotSupported();
}
