#include "shell_open.h"

#include "bounded_text.h"

namespace {
ShellOpenObserver g_observer = nullptr;
}

void ShellOpen(const wchar_t* target) {
    if (g_observer) {
        g_observer(target);
        return;
    }
    // Empty parameters and directory are empty texts, not absent values; the
    // result is not examined: a target that cannot be opened shows nothing.
    ShellExecuteW(nullptr, L"open", target, L"", L"", SW_SHOW);
}

bool ShellEdit(const wchar_t* file) {
    if (reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"edit", file, L"", L"", SW_SHOW)) > 32) return true;
    // Notepad by its full path in the system folder, as the file's only argument.
    wchar_t system[MAX_PATH];
    wchar_t notepad[MAX_PATH];
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH || !JoinText(notepad, MAX_PATH, system, L"\\", L"notepad.exe")) return false;
    wchar_t quoted[MAX_PATH + 3];
    if (!JoinText(quoted, MAX_PATH + 3, L"\"", file, L"\"")) return false;
    return reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", notepad, quoted, L"", SW_SHOW)) > 32;
}

void SetShellOpenObserver(ShellOpenObserver observer) { g_observer = observer; }
