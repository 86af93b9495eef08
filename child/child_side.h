// The child's own side: how a copy of the program started as a child of one
// of its checks knows it, and sets itself up to load codecs.
#pragma once
#include "../base/win_headers.h"

#include <cstddef>

// Whether the process was started as a child with `option`, followed by
// exactly `count` arguments; they go to arguments[i] (capacity characters
// each). False for any other command line, and for an argument too long.
bool ReadChildCommandLine(const wchar_t* option, wchar_t* const* arguments, int count, std::size_t capacity);

// Sets the child up before any codec loads: no error boxes; a fault ends the
// process at once with the fault's code, without the system's crash report
// (the program sees it end without its last line); and the channel to the
// program taken from standard output, which then goes nowhere, the system's
// and the C runtime's alike (codecs may print, and a stray byte in the pipe
// would garble every line after it). Returns the channel.
HANDLE BeginChildProcess();

// Reads one line the program sent to the child's standard input (without its
// line feed) into line (capacity characters, cut to it); false when the
// program is gone or sent nothing whole.
bool ReadChildInput(wchar_t* line, std::size_t capacity);

// Ends the child at once: nothing is unloaded or released, so that a codec
// that misbehaves on the way out cannot change what was reported.
[[noreturn]] void EndChildProcess();
