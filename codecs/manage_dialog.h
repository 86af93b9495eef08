// The codec management dialog.
#pragma once
#include "../base/win_headers.h"

INT_PTR CALLBACK ManageDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Opens the codec management dialog for the list's selected row, after
// looking the filter up; tells the user when it cannot be managed.
void OpenManageDialog();
