// Report-style list views: their columns.
#pragma once
#include "win_headers.h"

// Gives the list view full-row selection and tips for cut labels, and one
// column per heading, in order.
void AddReportColumns(HWND list, const wchar_t* const* headings, int count);
