// Report-style list views of the program's dialogs: their columns, rows and
// widths, so that no text is cut.
#pragma once
#include "win_headers.h"

#include <cstddef>

// Full-row selection, tips for cut labels, and one column per heading.
void SetUpReportColumns(HWND list, const wchar_t* const* headings, int count);
// Adds a row at the end with the cells' texts (count of them); returns its index.
int AppendReportRow(HWND list, const wchar_t* const* cells, int count);
// Each column as wide as its longest text or its heading.
void FitReportColumns(HWND list, const wchar_t* const* headings, int count);
// The selected row, or -1.
int SelectedReportRow(HWND list);

// A cell's text of a list whose rows its owner keeps (a virtual list).
using ListCellText = void (*)(const void* owner, std::size_t row, int column, wchar_t* text, std::size_t capacity);

// Each column of such a list as wide as its widest text or its heading, so
// that nothing is cut. Only the texts with the most characters are measured:
// in the list's proportional font no text some characters shorter is wider
// than those.
void FitVirtualColumns(HWND list, const wchar_t* const* headings, int count, std::size_t rows, ListCellText cell,
                       const void* owner);
