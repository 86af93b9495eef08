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

bool IsUsableClassId(const wchar_t* classId) {
    return classId[0] != L'\0' && std::wcschr(classId, L'\\') == nullptr;
}
