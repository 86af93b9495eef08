// Writing a file whole: created afresh, every byte written and flushed to the
// disk, and closed, each step checked.
#pragma once
#include "win_headers.h"

// Writes length bytes to a new file at path (replacing any file there);
// returns ERROR_SUCCESS, or the system's code of the step that failed
// (ERROR_HANDLE_DISK_FULL for a write that took fewer bytes than given).
DWORD WriteWholeFile(const wchar_t* path, const BYTE* bytes, SIZE_T length);
