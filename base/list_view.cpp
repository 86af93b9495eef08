#include "list_view.h"

namespace {

constexpr int kHeadingMargin = 24;  // pixels around a column heading's text

}  // namespace

void SetUpReportColumns(HWND list, const wchar_t* const* headings, int count) {
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

int AppendReportRow(HWND list, const wchar_t* const* cells, int count) {
    LVITEMW item = {};
    item.mask = LVIF_TEXT;
    item.iItem = ListView_GetItemCount(list);
    item.pszText = const_cast<wchar_t*>(cells[0]);
    const int at = ListView_InsertItem(list, &item);
    for (int i = 1; i < count; ++i) ListView_SetItemText(list, at, i, const_cast<wchar_t*>(cells[i]));
    return at;
}

void FitReportColumns(HWND list, const wchar_t* const* headings, int count) {
    // The list view's own sizing by the heading leaves out the heading's margins.
    for (int i = 0; i < count; ++i) {
        ListView_SetColumnWidth(list, i, LVSCW_AUTOSIZE);
        const int heading = ListView_GetStringWidth(list, headings[i]) + kHeadingMargin;
        if (ListView_GetColumnWidth(list, i) < heading) ListView_SetColumnWidth(list, i, heading);
    }
}

int SelectedReportRow(HWND list) { return ListView_GetNextItem(list, -1, LVNI_SELECTED); }
