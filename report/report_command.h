// The menu command "Сохранить отчет о кодеках..": the report, saved where the
// user chooses, and opened if the user wants.
#pragma once
#include "../base/win_headers.h"

#include <cstddef>

void SaveCodecReport();

// Asks, through the save dialog owned by owner, where to save a report,
// offering "<title> <YYYY-MM-DD HH-MM>.txt" in the Documents folder; false
// when the user cancels.
bool ChooseReportPath(HWND owner, const wchar_t* title, wchar_t* path, std::size_t capacity);
// After WriteReportFile: the message that says why it failed, or the offer to
// open the saved file, owned by owner.
void FinishReportSave(HWND owner, const wchar_t* path, DWORD error);
// Why WriteReportFile failed with error, as the message says it, or null
// where the program has no words for it.
const wchar_t* DescribeSaveError(DWORD error);
