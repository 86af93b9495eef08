// Dialog 135, "Проверка загрузки кодеков": every registered codec loaded and
// created in a child process, the failing ones named with the reason, and
// managed from there.
#pragma once
#include "../base/win_headers.h"

INT_PTR CALLBACK LoadCheckDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Command 40045: shows the dialog, modal, owned by the main window; the check starts at once.
void OpenLoadCheckDialog();
