// Registering and unregistering codec files through the system's regsvr32 tool.
#pragma once
#include "../base/win_headers.h"

#include <cstddef>

enum Regsvr32Mode {
    Regsvr32Register,        // "regsvr32 "
    Regsvr32RegisterSilent,  // "regsvr32 /s "
    Regsvr32Unregister,      // "regsvr32 /u "
};

// Builds the tool's command line: the mode's text, then the path in double
// quotes. Returns false, leaving nothing to start, when the path holds a
// double quote or the line would not fit in capacity - 1 characters.
bool BuildRegsvr32CommandLine(Regsvr32Mode mode, const wchar_t* path, wchar_t* commandLine, std::size_t capacity);

// Starts the system's own regsvr32.exe with that command line and waits at
// most 4000 ms for it to become idle. Reports nothing.
void RunRegsvr32(Regsvr32Mode mode, const wchar_t* path);
