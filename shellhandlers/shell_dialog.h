// Dialog 138, "Обработчики файлов Проводника" (command 40047): Explorer's
// handlers of media files of a registry view, a row per extension and kind,
// those with a problem first.
#pragma once
#include "shell_load_check.h"

INT_PTR CALLBACK ShellHandlersDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Opens the dialog, modal to the main window; makeCheck makes its checks.
void OpenShellHandlersDialog(ShellCheckMaker makeCheck);
