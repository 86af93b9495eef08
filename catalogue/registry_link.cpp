#include "registry_link.h"

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
