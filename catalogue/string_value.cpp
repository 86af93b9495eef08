#include "string_value.h"

#include "../base/bounded_text.h"
#include "../base/scoped.h"

namespace {

// A value larger than this is not read at all: no name, path or class id of
// a codec comes near it.
constexpr DWORD kLargestValue = 1u << 20;

// Reads a value's type and bytes: into `room` where they fit (one call, as
// for almost every value), otherwise into `heap`. False when the value cannot
// be read or is larger than kLargestValue.
bool QueryValue(HKEY key, const wchar_t* valueName, BYTE* room, DWORD roomBytes, HeapBuffer& heap, DWORD* type,
                const BYTE** data, DWORD* bytes) {
    DWORD size = roomBytes;
    LONG status = RegQueryValueExW(key, valueName, nullptr, type, room, &size);
    if (status == ERROR_SUCCESS) {
        *data = room;
        *bytes = size;
        return size <= roomBytes;
    }
    if (status != ERROR_MORE_DATA || size > kLargestValue || !heap.Reserve(size)) return false;
    DWORD read = size;
    status = RegQueryValueExW(key, valueName, nullptr, type, heap.Get(), &read);
    if (status != ERROR_SUCCESS || read > size) return false;
    *data = heap.Get();
    *bytes = read;
    return true;
}

}  // namespace

bool ReadStringValue(HKEY key, const wchar_t* valueName, wchar_t* text, std::size_t capacity, bool* cut) {
    if (cut) *cut = false;
    CopyText(text, capacity, L"");
    wchar_t room[512];
    HeapBuffer heap;
    DWORD type = REG_NONE;
    const BYTE* data = nullptr;
    DWORD bytes = 0;
    if (!QueryValue(key, valueName, reinterpret_cast<BYTE*>(room), sizeof(room), heap, &type, &data, &bytes) ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return false;
    }
    // The characters read, up to the first zero; a value stored without its
    // terminator ends after its last whole character.
    const auto* chars = reinterpret_cast<const wchar_t*>(data);
    const std::size_t units = bytes / sizeof(wchar_t);
    std::size_t length = 0;
    while (length < units && chars[length] != L'\0') ++length;
    const std::size_t kept = length < capacity ? length : capacity - 1;
    for (std::size_t i = 0; i < kept; ++i) text[i] = chars[i];
    text[kept] = L'\0';
    if (cut) *cut = kept < length;
    return true;
}
