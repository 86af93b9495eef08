// "Сохранить отчет..": the load check's results saved as the codec report
// saves its file (UTF-8 with a byte order mark, CRLF lines, one field a
// line), the rows in the dialog's order with the same names and results.
#pragma once
#include "../base/growing_text.h"
#include "load_rows.h"

// The report's text.
void BuildLoadReport(LoadCheckRun& run, LoadRunState state, const HeapArray<LoadRow>& rows, GrowingText& text);

// Asks where to save it (the save dialog owned by owner), writes it and says how that went.
void SaveLoadReport(HWND owner, LoadCheckRun& run, LoadRunState state, const HeapArray<LoadRow>& rows);
