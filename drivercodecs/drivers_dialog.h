// Dialog 136, "Кодеки ACM и Video for Windows": the audio and video codecs
// Windows registers as drivers, in a registry view, with their state; their
// loading checked in a child process, and a codec turned off (deleted after a
// backup, which the backups dialog restores).
#pragma once
#include "driver_load_check.h"

INT_PTR CALLBACK DriverCodecsDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Command 40046: shows the dialog, modal, owned by the main window, on the
// program's own view. makeCheck makes the check of "Проверить загрузку".
void OpenDriverCodecsDialog(DriverCheckMaker makeCheck);
// The same, on the view (0: the program's own) with the row of the codec of
// that kind and value name selected.
void OpenDriverCodecsDialogAt(REGSAM view, DriverKind kind, const wchar_t* name, DriverCheckMaker makeCheck);
