#include "file_found.h"

#include "scoped.h"

bool FileFound(const wchar_t* path) {
    WIN32_FIND_DATAW found;
    FindHandle search(FindFirstFileW(path, &found));
    return search.Found();
}
