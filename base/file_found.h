// Whether a file can be found at a path, as FindFirstFileW finds it (a bare
// name or a relative path is looked up from the current directory).
#pragma once

bool FileFound(const wchar_t* path);
