#include "shell_load_check.h"

#include "../base/app_state.h"
#include "../base/bounded_text.h"

void ShellThumbnailPath(const wchar_t* folder, const wchar_t* classId, wchar_t* path) {
    FormatText(path, kNameCapacity, L"%ls\\%ls.bmp", folder, classId);
}
