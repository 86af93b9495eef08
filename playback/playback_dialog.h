// The playback check: the command that asks for a file, and dialog 130,
// which shows the filters DirectShow picks for it, why, and what a change did.
#pragma once
#include "../base/win_headers.h"

// Menu command "Проверить воспроизведение файла..": the open-file dialog,
// then the check dialog for the chosen file.
void RunPlaybackCheckCommand();

// Dialog 130; its initial parameter is the file's path.
INT_PTR CALLBACK PlaybackCheckDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
