#include "whole_file.h"

#include "scoped.h"

DWORD WriteWholeFile(const wchar_t* path, const BYTE* bytes, SIZE_T length) {
    FileHandle file(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) return GetLastError();
    // In pieces of at most 1 MiB, since one write takes at most 4 GB.
    while (length > 0) {
        const DWORD chunk = length > (1u << 20) ? (1u << 20) : static_cast<DWORD>(length);
        DWORD written = 0;
        if (!WriteFile(file.Get(), bytes, chunk, &written, nullptr)) return GetLastError();
        if (written != chunk) return ERROR_HANDLE_DISK_FULL;
        bytes += chunk;
        length -= chunk;
    }
    if (!FlushFileBuffers(file.Get())) return GetLastError();
    if (!file.Close()) return GetLastError();
    return ERROR_SUCCESS;
}
