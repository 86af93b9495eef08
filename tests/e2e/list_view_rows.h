// A report-style list view's rows as the driver reads them (ListViewRows),
// and finding one by its first cell.
#pragma once
#include "driver.h"

#include <string>
#include <vector>

using Table = std::vector<std::vector<std::wstring>>;

// The rows as text, one "[cells]" line each, for failure messages.
std::wstring TableText(const Table& rows);
// The index of the first row whose first cell is name, or -1.
int RowNamed(const Table& rows, const std::wstring& name);
// The first row whose first cell is name, or null.
const std::vector<std::wstring>* Row(const Table& rows, const std::wstring& name);
