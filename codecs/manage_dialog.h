// The codec management dialog.
#pragma once
#include "../base/win_headers.h"

INT_PTR CALLBACK ManageDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Opens the codec management dialog for the list's selected row, after
// looking the filter up; tells the user when it cannot be managed.
void OpenManageDialog();
// The same for a list row named by its text (the scan's prompt names the row
// it means, whatever the list's selection is by the time it is answered).
void OpenManageDialogForRow(const wchar_t* rowText);
// The message for a filter that neither registry place names: "...Тип кодека
// не поддерживается".
void ShowCodecNotSupported();
