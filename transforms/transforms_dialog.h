// Dialog 133, "Кодеки Media Foundation": the transforms of a category in a
// registry view, their state, and the actions on one of them.
#pragma once
#include "../base/win_headers.h"

INT_PTR CALLBACK TransformsDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Command 40043: shows the dialog, owned by the main window.
void OpenTransformsDialog();
// The same, opened on a category (an index into kTransformCategories; -1
// keeps the first) with the row of the transform classId ("{...}") selected.
void OpenTransformsDialogAt(int category, const wchar_t* classId);
