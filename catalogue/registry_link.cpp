#include "registry_link.h"

#include <cwchar>

const wchar_t kLinkNotOpenedStatus[] = L"ссылка реестра, не открывалась";

KeyOpening OpenKeyUnlessLink(RegKey& key, HKEY parent, const wchar_t* path, REGSAM access, LONG* status) {
    HKEY opened = nullptr;
    const LONG result = RegOpenKeyExW(parent, path, REG_OPTION_OPEN_LINK, access | KEY_QUERY_VALUE, &opened);
    if (status) *status = result;
    if (result != ERROR_SUCCESS) {
        key.Close();
        return KeyNotOpened;
    }
    key.Attach(opened);
    // A link is the key that holds its target in "SymbolicLinkValue" of type
    // REG_LINK. The kernel's key flags would say it too, but Wine does not
    // answer that query (NtQueryKey's KeyFlagsInformation).
    DWORD type = REG_NONE;
    if (RegQueryValueExW(key.Get(), L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr) == ERROR_SUCCESS &&
        type == REG_LINK) {
        key.Close();
        return KeyIsLink;
    }
    return KeyOpened;
}

KeyOpening OpenKeyPathUnlessLink(RegKey& key, HKEY root, const wchar_t* path, REGSAM access, LONG* status) {
    const REGSAM view = access & (KEY_WOW64_64KEY | KEY_WOW64_32KEY);
    RegKey walked;
    HKEY parent = root;
    for (const wchar_t* at = path;;) {
        const wchar_t* end = std::wcschr(at, L'\\');
        const std::size_t length = end ? static_cast<std::size_t>(end - at) : std::wcslen(at);
        wchar_t name[256];
        if (length == 0 || length >= 256) {
            if (status) *status = ERROR_INVALID_PARAMETER;
            key.Close();
            return KeyNotOpened;
        }
        wmemcpy(name, at, length);
        name[length] = L'\0';
        RegKey child;
        const KeyOpening opening = OpenKeyUnlessLink(child, parent, name, end ? KEY_READ | view : access, status);
        if (opening != KeyOpened) {
            key.Close();
            return opening;
        }
        walked.Attach(child.Detach());
        parent = walked.Get();
        if (!end) break;
        at = end + 1;
    }
    key.Attach(walked.Detach());
    return KeyOpened;
}
