#include "server_path.h"

#include "../base/app_state.h"
#include "../base/bounded_text.h"
#include "../base/file_found.h"

bool ExpandServerPath(const wchar_t* serverPath, wchar_t* expanded, std::size_t capacity) {
    const DWORD needed = ExpandEnvironmentStringsW(serverPath, expanded, static_cast<DWORD>(capacity));
    if (needed == 0 || needed > capacity) {
        CopyText(expanded, capacity, L"");
        return false;
    }
    return true;
}

bool ServerFileExists(const wchar_t* serverPath) {
    // Registrations often name their server through environment variables
    // (%SystemRoot%\...); the file is looked for where they point.
    wchar_t expanded[kNameCapacity];
    return FileFound(ExpandServerPath(serverPath, expanded, kNameCapacity) ? expanded : serverPath);
}
