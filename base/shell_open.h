// Opening a document or web page through the shell's "open" verb. Component
// tests may observe the target; the program always calls ShellExecuteW.
#pragma once
#include "win_headers.h"

using ShellOpenObserver = void (*)(const wchar_t* target);

void ShellOpen(const wchar_t* target);

// Test seam, never called by the program: installs (or, with nullptr,
// removes) an observer that is told the target in place of the shell.
void SetShellOpenObserver(ShellOpenObserver observer);

// Shows a file as text through the shell's "edit" verb, which never imports
// or runs it (a ".reg" file's "open" imports it). Where the system has no
// such verb for the file's kind (Wine has none for ".reg"), the system's
// Notepad shows it. False when neither could be started.
bool ShellEdit(const wchar_t* file);
