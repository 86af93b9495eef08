#include "list_view.h"

namespace {

constexpr int kHeadingMargin = 24;  // pixels around a column heading's text
constexpr int kCellMargin = 16;     // pixels around a cell's text
constexpr int kMeasured = 8;        // the longest texts of a column that are measured
constexpr std::size_t kCellCapacity = 1024;

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

void FitVirtualColumns(HWND list, const wchar_t* const* headings, int count, std::size_t rows, ListCellText cell,
                       const void* owner) {
    HDC dc = GetDC(list);
    const HGDIOBJ font = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(list, WM_GETFONT, 0, 0)));
    for (int column = 0; column < count; ++column) {
        // The rows of the longest texts, longest first.
        std::size_t longest[kMeasured] = {};
        int lengths[kMeasured] = {};
        int kept = 0;
        for (std::size_t row = 0; row < rows; ++row) {
            wchar_t text[kCellCapacity];
            cell(owner, row, column, text, kCellCapacity);
            const int length = lstrlenW(text);
            if (kept == kMeasured && lengths[kMeasured - 1] >= length) continue;
            int at = kept < kMeasured ? kept++ : kMeasured - 1;
            for (; at > 0 && lengths[at - 1] < length; --at) {
                longest[at] = longest[at - 1];
                lengths[at] = lengths[at - 1];
            }
            longest[at] = row;
            lengths[at] = length;
        }
        int width = ListView_GetStringWidth(list, headings[column]) + kHeadingMargin;
        for (int i = 0; i < kept; ++i) {
            wchar_t text[kCellCapacity];
            cell(owner, longest[i], column, text, kCellCapacity);
            SIZE size = {};
            if (GetTextExtentPoint32W(dc, text, lstrlenW(text), &size) && size.cx + kCellMargin > width) {
                width = size.cx + kCellMargin;
            }
        }
        ListView_SetColumnWidth(list, column, width);
    }
    SelectObject(dc, font);
    ReleaseDC(list, dc);
}
