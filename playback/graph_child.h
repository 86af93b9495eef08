// The child process of the playback check: a second copy of the program,
// started with a command line of its own, that builds a file's graph as a
// player would and reports it to the program through its standard output.
// Codecs load into it, not into the program: one that crashes or hangs takes
// only the child down.
#pragma once
#include "../base/win_headers.h"

#include <cstddef>

// The option that marks the child's command line: "<exe>" <option> "<file>".
extern const wchar_t kPlaybackCheckOption[];

// Whether the process was started as the child; the file's path then goes
// to path (capacity characters).
bool IsPlaybackCheckChild(wchar_t* path, std::size_t capacity);

// Builds the graph for the file, reports it and ends the process.
int RunPlaybackCheckChild(const wchar_t* path);
