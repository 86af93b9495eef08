#include "view_paths.h"

#include "../base/bounded_text.h"

#include <cwchar>

namespace {

// Whether path starts with the folder (letter case not minded) followed by
// a separator or its end; the length of the folder then goes to *length.
bool StartsWithFolder(const wchar_t* path, const wchar_t* folder, std::size_t* length) {
    const std::size_t folderLength = std::wcslen(folder);
    if (folderLength == 0 || std::wcslen(path) < folderLength) return false;
    if (CompareStringOrdinal(path, static_cast<int>(folderLength), folder, static_cast<int>(folderLength), TRUE) !=
        CSTR_EQUAL) {
        return false;
    }
    if (path[folderLength] != L'\\' && path[folderLength] != L'/' && path[folderLength] != L'\0') return false;
    *length = folderLength;
    return true;
}

bool SystemFolder(wchar_t (&folder)[MAX_PATH]) {
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    return length > 0 && length < MAX_PATH;
}

// Where this process reaches the view's system folder: SysWOW64 from a 64-bit
// process for the 32-bit view, "Sysnative" from a 32-bit one for the 64-bit view.
bool ReachedSystemFolder(REGSAM view, wchar_t (&folder)[MAX_PATH]) {
    if (view == KEY_WOW64_32KEY) {
        const UINT length = GetSystemWow64DirectoryW(folder, MAX_PATH);
        return length > 0 && length < MAX_PATH;
    }
    wchar_t windows[MAX_PATH];
    const UINT length = GetSystemWindowsDirectoryW(windows, MAX_PATH);
    return length > 0 && length < MAX_PATH && JoinText(folder, MAX_PATH, windows, L"\\", L"Sysnative");
}

}  // namespace

bool IsOtherWidthView(REGSAM view) {
    return (view == KEY_WOW64_32KEY && sizeof(void*) == 8) || (view == KEY_WOW64_64KEY && sizeof(void*) == 4);
}

bool PathInView(REGSAM view, const wchar_t* path, wchar_t* mapped, std::size_t capacity) {
    const bool otherWidth = IsOtherWidthView(view);
    wchar_t system[MAX_PATH];
    wchar_t reached[MAX_PATH];
    std::size_t length = 0;
    if (!otherWidth || !SystemFolder(system) || !StartsWithFolder(path, system, &length) ||
        !ReachedSystemFolder(view, reached)) {
        return CopyText(mapped, capacity, path) == kTextOk;
    }
    if (!JoinText(mapped, capacity, reached, L"", path + length)) {
        CopyText(mapped, capacity, path);
        return false;
    }
    return true;
}

bool SystemFolderOfView(REGSAM view, wchar_t (&folder)[MAX_PATH]) {
    return IsOtherWidthView(view) ? ReachedSystemFolder(view, folder) : SystemFolder(folder);
}
