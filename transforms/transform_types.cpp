#include "transform_types.h"

#include "../base/bounded_text.h"
#include "../base/scoped.h"
#include "../catalogue/media_subtype_name.h"

#include <cstring>
#include <cwchar>

namespace {

constexpr DWORD kPairBytes = 2 * sizeof(GUID);
// A list larger than this is judged by its length and not read: no real
// transform takes more than a few hundred formats.
constexpr DWORD kLargestList = 1u << 20;
const wchar_t kCut[] = L"…";

// Whether the joined text already holds name as one of its items.
bool Listed(const wchar_t* text, const wchar_t* name) {
    const std::size_t length = std::wcslen(name);
    for (const wchar_t* item = text; *item != L'\0';) {
        const wchar_t* end = std::wcsstr(item, L", ");
        const std::size_t itemLength = end ? static_cast<std::size_t>(end - item) : std::wcslen(item);
        if (itemLength == length && std::wcsncmp(item, name, length) == 0) return true;
        if (!end) break;
        item = end + 2;
    }
    return false;
}

}  // namespace

bool TypeListIsWhole(DWORD bytes) { return bytes % kPairBytes == 0; }

void NameTypeList(const BYTE* data, DWORD bytes, wchar_t* text, std::size_t capacity) {
    CopyText(text, capacity, L"");
    const std::size_t room = capacity - (sizeof(kCut) / sizeof(wchar_t));  // keeps the cut mark's place
    for (DWORD at = 0; at + kPairBytes <= bytes; at += kPairBytes) {
        GUID subtype;
        std::memcpy(&subtype, data + at + sizeof(GUID), sizeof(GUID));
        wchar_t name[64];
        NameMediaSubtype(subtype, name, 64);
        if (Listed(text, name)) continue;
        const std::size_t length = std::wcslen(text);
        if (length + 2 + std::wcslen(name) >= room) {
            AppendText(text, capacity, length ? L" " : L"");
            AppendText(text, capacity, kCut);
            return;
        }
        if (length) AppendText(text, capacity, L", ");
        AppendText(text, capacity, name);
    }
}

bool ReadTypeList(HKEY key, const wchar_t* valueName, wchar_t* text, std::size_t capacity) {
    CopyText(text, capacity, L"");
    // Most lists fit here and take one call.
    BYTE room[16 * kPairBytes];
    DWORD type = REG_NONE;
    DWORD bytes = sizeof(room);
    LONG status = RegQueryValueExW(key, valueName, nullptr, &type, room, &bytes);
    if (status == ERROR_FILE_NOT_FOUND) return true;
    if (status == ERROR_SUCCESS) {
        if (type != REG_BINARY || !TypeListIsWhole(bytes)) return false;
        NameTypeList(room, bytes, text, capacity);
        return true;
    }
    // Larger: its length and type first, then the whole value.
    status = RegQueryValueExW(key, valueName, nullptr, &type, nullptr, &bytes);
    if (status != ERROR_SUCCESS || type != REG_BINARY || !TypeListIsWhole(bytes)) return false;
    if (bytes > kLargestList) {
        CopyText(text, capacity, kCut);
        return true;
    }
    HeapBuffer data;
    if (!data.Reserve(bytes + 1)) return true;  // whole, but not named
    DWORD read = bytes;
    if (RegQueryValueExW(key, valueName, nullptr, &type, data.Get(), &read) != ERROR_SUCCESS || read > bytes) {
        return true;
    }
    // Judged again as read: the value may have changed since its length was asked.
    if (type != REG_BINARY || !TypeListIsWhole(read)) return false;
    NameTypeList(data.Get(), read, text, capacity);
    return true;
}
