// A report-style list view of the program, read and driven from the driver's
// process: Wine does not carry list view records across processes, so they
// go through memory inside the program's process.
#pragma once
#include "driver.h"

#include <string>
#include <vector>

using Table = std::vector<std::vector<std::wstring>>;

// The column headings of the list view (of the program with process id pid).
std::vector<std::wstring> ListViewHeadings(HWND list, DWORD pid);
// Every row's first `columns` cells.
Table ListViewRows(HWND list, DWORD pid, int columns);
// Selects and focuses a row.
void SelectListViewRow(HWND list, DWORD pid, int row);
// The rows as text, one "[cells]" line each, for failure messages.
std::wstring TableText(const Table& rows);
// The index of the first row whose first cell is name, or -1.
int RowNamed(const Table& rows, const std::wstring& name);
