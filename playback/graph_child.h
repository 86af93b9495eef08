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

// Whether the process was started as the child without a file: "<exe>"
// <option>. It makes its filter graph at once and then reads the file's path
// as a line of its standard input, so that the program can start it before
// the file is chosen and the user waits for neither its start nor the graph's.
bool IsWaitingPlaybackCheckChild();

// Builds the graph for the file (null: the path read from standard input
// once the graph is made), reports it and ends the process.
int RunPlaybackCheckChild(const wchar_t* path);
