// Opening a document or web page through the shell's "open" verb. Component
// tests may observe the target; the program always calls ShellExecuteW.
#pragma once
#include "win_headers.h"

using ShellOpenObserver = void (*)(const wchar_t* target);

void ShellOpen(const wchar_t* target);
void SetShellOpenObserver(ShellOpenObserver observer);
