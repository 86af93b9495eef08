#include "server_path.h"

#include "../base/app_state.h"
#include "../base/bounded_text.h"
#include "../base/file_found.h"

bool ExpandServerPath(const wchar_t* serverPath, DWORD type, wchar_t* expanded, std::size_t capacity) {
    if (type != REG_EXPAND_SZ) {
        if (CopyText(expanded, capacity, serverPath) == kTextOk) return true;
        CopyText(expanded, capacity, L"");
        return false;
    }
    const DWORD needed = ExpandEnvironmentStringsW(serverPath, expanded, static_cast<DWORD>(capacity));
    if (needed == 0 || needed > capacity) {
        CopyText(expanded, capacity, L"");
        return false;
    }
    return true;
}

DWORD ServerPathType(HKEY key, const wchar_t* valueName) {
    DWORD type = REG_NONE;
    if (RegQueryValueExW(key, valueName, nullptr, &type, nullptr, nullptr) != ERROR_SUCCESS) return REG_NONE;
    return type;
}

bool ServerFileExists(const wchar_t* serverPath, DWORD type) {
    // Registrations often name their server through environment variables
    // (%SystemRoot%\...) in an expandable value; the file is looked for where they point.
    wchar_t expanded[kNameCapacity];
    return FileFound(ExpandServerPath(serverPath, type, expanded, kNameCapacity) ? expanded : serverPath);
}
