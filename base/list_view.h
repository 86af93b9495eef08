// Report-style list views: their columns set up one way everywhere.
#pragma once
#include "win_headers.h"

// Gives the list full-row selection and tips for cut texts, and one column
// per heading, 100 pixels wide until the rows size them.
void AddReportColumns(HWND list, const wchar_t* const* headings, int count);
