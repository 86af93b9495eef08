// The file name at the end of a path, as Windows reads one: after its last
// backslash or forward slash (the whole text where there is neither).
#pragma once

const wchar_t* PathFileName(const wchar_t* path);
