// The codec management dialog.
#pragma once
#include "../app/win_headers.h"

INT_PTR CALLBACK ManageDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
