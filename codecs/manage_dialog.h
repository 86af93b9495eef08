// The codec management dialog.
#pragma once
#include "../app/win_headers.h"

INT_PTR CALLBACK ManageDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Whether the server file can be found, after expanding environment variables
// in its path (a bare name or relative path is looked up from the current directory).
bool ServerFileExists(const wchar_t* serverPath);
