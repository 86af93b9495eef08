// Dialog 134 "Резервные копии реестра": the backup files listed newest
// first, each looked at as text, restored, or found in its folder.
#pragma once
#include "../base/win_headers.h"

// Command 40044 "Резервные копии реестра..": the dialog, modal, owned by the main window.
void OpenBackupsDialog();

INT_PTR CALLBACK BackupsDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
