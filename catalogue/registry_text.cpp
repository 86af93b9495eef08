#include "registry_text.h"

#include "../base/app_state.h"
#include "../base/bounded_text.h"
#include "../base/scoped.h"

#include <cwchar>

bool ReadRegistryText(HKEY key, const wchar_t* valueName, wchar_t* text, std::size_t capacity) {
    text[0] = L'\0';
    DWORD bytes = static_cast<DWORD>(capacity * sizeof(wchar_t));
    if (RegQueryValueExW(key, valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(text), &bytes) != ERROR_SUCCESS) {
        text[0] = L'\0';
        return false;
    }
    // Some installers store texts without their final zero, and the registry
    // hands back just the characters: those are ended right after them. Only a
    // value that fills the whole buffer without a terminator may have been
    // cut, and counts as unreadable.
    const std::size_t units = bytes / sizeof(wchar_t);
    for (std::size_t i = 0; i < units && i < capacity; ++i) {
        if (text[i] == L'\0') return true;
    }
    if (units < capacity) {
        text[units] = L'\0';
        return true;
    }
    text[0] = L'\0';
    return false;
}

bool SubkeyNameAt(HKEY key, DWORD index, wchar_t (&name)[256]) {
    DWORD count = 256;
    if (RegEnumKeyExW(key, index, name, &count, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) return false;
    name[255] = L'\0';
    return true;
}

LONG OpenClassesChild(RegKey& key, const wchar_t* parentPath, const wchar_t* name) {
    wchar_t path[kNameCapacity];
    CopyText(path, kNameCapacity, parentPath);
    AppendText(path, kNameCapacity, name);
    return key.Open(HKEY_CLASSES_ROOT, path);
}

bool IsGuidText(const wchar_t* text) {
    if (std::wcslen(text) != 38 || text[0] != L'{' || text[37] != L'}') return false;
    GUID guid;
    return SUCCEEDED(IIDFromString(text, &guid));
}

namespace {

int HexDigit(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

// The value of count hexadecimal digits at text; false at any other character.
bool ReadHex(const wchar_t* text, int count, unsigned long long* value) {
    *value = 0;
    for (int i = 0; i < count; ++i) {
        const int digit = HexDigit(text[i]);
        if (digit < 0) return false;
        *value = (*value << 4) | static_cast<unsigned>(digit);
    }
    return true;
}

}  // namespace

bool ParseClassIdText(const wchar_t* text, GUID* id) {
    // Read by hand: a walk over thousands of key names asks this of each.
    const std::size_t length = std::wcslen(text);
    if (length == 38) {
        if (text[0] != L'{' || text[37] != L'}') return false;
        ++text;
    } else if (length != 36) {
        return false;
    }
    if (text[8] != L'-' || text[13] != L'-' || text[18] != L'-' || text[23] != L'-') return false;
    unsigned long long data1, data2, data3, clock, node;
    if (!ReadHex(text, 8, &data1) || !ReadHex(text + 9, 4, &data2) || !ReadHex(text + 14, 4, &data3) ||
        !ReadHex(text + 19, 4, &clock) || !ReadHex(text + 24, 12, &node)) {
        return false;
    }
    id->Data1 = static_cast<unsigned long>(data1);
    id->Data2 = static_cast<unsigned short>(data2);
    id->Data3 = static_cast<unsigned short>(data3);
    id->Data4[0] = static_cast<unsigned char>(clock >> 8);
    id->Data4[1] = static_cast<unsigned char>(clock);
    for (int i = 0; i < 6; ++i) id->Data4[2 + i] = static_cast<unsigned char>(node >> (8 * (5 - i)));
    return true;
}

bool IsUsableClassId(const wchar_t* classId) {
    return classId[0] != L'\0' && std::wcschr(classId, L'\\') == nullptr;
}
