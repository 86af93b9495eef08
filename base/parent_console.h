// Text for whoever started the program from a command line: a window
// program has no console of its own, so its lines go to the standard output
// it was handed (a pipe or a file, as UTF-8), or else to the console of the
// process that started it, where there is one.
#pragma once
#include "win_headers.h"

// Writes text (with its own line ends, "\r\n") there; nothing where there is neither.
void WriteToParentConsole(const wchar_t* text);
