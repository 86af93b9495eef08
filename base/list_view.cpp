#include "list_view.h"

void AddReportColumns(HWND list, const wchar_t* const* headings, int count) {
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT | LVS_EX_LABELTIP);
    for (int i = 0; i < count; ++i) {
        LVCOLUMNW column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.pszText = const_cast<wchar_t*>(headings[i]);
        column.cx = 100;
        column.iSubItem = i;
        ListView_InsertColumn(list, i, &column);
    }
}
