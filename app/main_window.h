// Start-up: the main window, its controls, picture buttons and tooltips, and the message loop.
#pragma once
#include "../base/win_headers.h"

// Runs the program from start-up to the end of its message loop; returns the exit code.
int RunProgram(HINSTANCE instance, int showCommand);

// Loads the button pictures, registers the window class, creates the main
// window and its controls and fills its lists (steps shared by the program and
// the component tests, which need a real combobox and list box). Returns false
// when the window class or the window cannot be created, after telling the user.
bool CreateMainWindow(HINSTANCE instance);

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
