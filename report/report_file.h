// Saving the report: UTF-8 with a byte order mark, written whole beside the
// chosen file and only then moved into its place.
#pragma once
#include "../base/growing_text.h"

// Writes text to path. A file already at path is replaced only by a complete
// report; on failure nothing is left under path that was not there before,
// and the result is the system's error code (0 on success).
DWORD WriteReportFile(const wchar_t* path, const GrowingText& text);
