#include "category_combo.h"

#include "../base/app_state.h"
#include "category_table.h"
#include "filter_list.h"

void FillCategoryCombo() {
    SendMessageW(g_app.categoryCombo, CB_RESETCONTENT, 0, 0);
    for (const CategoryEntry& entry : CategoryTable) {
        SendMessageW(g_app.categoryCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.displayName));
    }
}

const wchar_t* SelectedRegistryCategory() {
    const LRESULT row = SendMessageW(g_app.categoryCombo, CB_GETCURSEL, 0, 0);
    if (row < 0 || static_cast<std::size_t>(row) >= kCategoryCount) return kDefaultRegistryCategory;
    return CategoryTable[row].registryCategory;
}

int SelectedCategoryRow() { return static_cast<int>(SendMessageW(g_app.categoryCombo, CB_GETCURSEL, 0, 0)); }

void RestoreCategoryRow(int row) {
    if (row < 0 || SelectedCategoryRow() == row) return;
    SendMessageW(g_app.categoryCombo, CB_SETCURSEL, static_cast<WPARAM>(row), 0);
    RefreshFilterList();
}
