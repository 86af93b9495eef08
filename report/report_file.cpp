#include "report_file.h"

#include "../base/app_state.h"
#include "../base/bounded_text.h"
#include "../base/scoped.h"
#include "../base/whole_file.h"

#include <cwchar>

namespace {

constexpr std::size_t kPathCapacity = MAX_PATH * 4;

// The text in UTF-8 after its byte order mark; false when memory runs out.
bool EncodeUtf8(const GrowingText& text, HeapBuffer& bytes, DWORD* length) {
    static const BYTE kByteOrderMark[3] = {0xEF, 0xBB, 0xBF};
    const int units = static_cast<int>(text.length);
    const int needed = units == 0 ? 0 : WideCharToMultiByte(CP_UTF8, 0, TextChars(text), units, nullptr, 0, nullptr, nullptr);
    if (units != 0 && needed <= 0) return false;
    if (!bytes.Reserve(static_cast<SIZE_T>(needed) + 3)) return false;
    CopyMemory(bytes.Get(), kByteOrderMark, 3);
    if (units != 0 &&
        WideCharToMultiByte(CP_UTF8, 0, TextChars(text), units, reinterpret_cast<char*>(bytes.Get() + 3), needed,
                            nullptr, nullptr) != needed) {
        return false;
    }
    *length = static_cast<DWORD>(needed) + 3;
    return true;
}

}  // namespace

DWORD WriteReportFile(const wchar_t* path, const GrowingText& text) {
    if (text.failed) return ERROR_NOT_ENOUGH_MEMORY;
    // A read-only report is the user's: it is not replaced.
    const DWORD attributes = GetFileAttributesW(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return ERROR_ACCESS_DENIED;
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) return ERROR_FILE_READ_ONLY;
    wchar_t folder[kPathCapacity];
    if (CopyText(folder, kPathCapacity, path) != 0) return ERROR_FILENAME_EXCED_RANGE;
    wchar_t* lastSeparator = std::wcsrchr(folder, L'\\');
    if (!lastSeparator) return ERROR_PATH_NOT_FOUND;
    // The folder, with its separator kept where it is a drive's root (C:\).
    lastSeparator[lastSeparator == folder || lastSeparator[-1] == L':' ? 1 : 0] = L'\0';
    const DWORD folderAttributes = GetFileAttributesW(folder);
    if (folderAttributes == INVALID_FILE_ATTRIBUTES || (folderAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return ERROR_PATH_NOT_FOUND;
    }

    HeapBuffer bytes;
    DWORD length = 0;
    if (!EncodeUtf8(text, bytes, &length)) return ERROR_NOT_ENOUGH_MEMORY;

    // The report is written under a name of its own beside the target, so
    // that a report cut short never carries the chosen name.
    wchar_t temporary[MAX_PATH + 16];
    if (std::wcslen(folder) >= MAX_PATH - 14) return ERROR_FILENAME_EXCED_RANGE;
    if (!GetTempFileNameW(folder, L"pvr", 0, temporary)) return GetLastError();
    DWORD error = WriteWholeFile(temporary, bytes.Get(), length);
    if (error == ERROR_SUCCESS &&
        !MoveFileExW(temporary, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = GetLastError();
    }
    if (error != ERROR_SUCCESS) DeleteFileW(temporary);
    return error;
}
