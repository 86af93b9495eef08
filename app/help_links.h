// Addresses the program opens through the shell, and the about box.
#pragma once
#include "../base/win_headers.h"

extern const wchar_t kHomePageAddress[];
extern const wchar_t kForumAddress[];
extern const wchar_t kFeedbackAddress[];
extern const wchar_t kHelpFileName[];

INT_PTR CALLBACK AboutDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Help file, web pages and the about box.
void OpenHelpFile();
void OpenHomePage();
void OpenForumPage();
void OpenAboutBox();
