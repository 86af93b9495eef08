#include "registry_text.h"

#include "../app/bounded_text.h"
#include "../app/scoped.h"

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

bool IsUsableClassId(const wchar_t* classId) {
    return classId[0] != L'\0' && std::wcschr(classId, L'\\') == nullptr;
}

bool GetListRowText(HWND list, int row, wchar_t* text, std::size_t capacity) {
    text[0] = L'\0';
    const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(row), 0);
    if (length < 0) return false;
    if (static_cast<std::size_t>(length) < capacity) {
        const LRESULT copied = SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(text));
        if (copied < 0) {
            text[0] = L'\0';
            return false;
        }
        text[capacity - 1] = L'\0';
        return true;
    }
    // The row does not fit: read it whole into a block of its own, then cut it.
    HeapBlock whole((static_cast<SIZE_T>(length) + 1) * sizeof(wchar_t));
    if (!whole) return false;
    auto* wholeText = reinterpret_cast<wchar_t*>(whole.Get());
    if (SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(wholeText)) < 0) return false;
    wholeText[length] = L'\0';
    CopyText(text, capacity, wholeText);
    return true;
}
