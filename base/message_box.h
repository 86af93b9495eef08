// Every message box of the program goes through ShowMessageBox. Component
// tests may install an observer that answers in place of the user; the
// program and its end-to-end tests always get the real MessageBoxW.
#pragma once
#include "win_headers.h"

using MessageBoxObserver = int (*)(HWND owner, const wchar_t* text, const wchar_t* caption, UINT style);

int ShowMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT style);

// Test seam, never called by the program: installs (or, with nullptr,
// removes) an observer that answers every box in place of the user.
void SetMessageBoxObserver(MessageBoxObserver observer);
