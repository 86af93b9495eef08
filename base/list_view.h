// Report-style list views of the program's dialogs: their columns, rows and
// widths, so that no text is cut.
#pragma once
#include "win_headers.h"

// Full-row selection, tips for cut labels, and one column per heading.
void SetUpReportColumns(HWND list, const wchar_t* const* headings, int count);
// Adds a row at the end with the cells' texts (count of them); returns its index.
int AppendReportRow(HWND list, const wchar_t* const* cells, int count);
// Each column as wide as its longest text or its heading.
void FitReportColumns(HWND list, const wchar_t* const* headings, int count);
// The selected row, or -1.
int SelectedReportRow(HWND list);
