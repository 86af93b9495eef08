#include "shell_open.h"

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

void SetShellOpenObserver(ShellOpenObserver observer) { g_observer = observer; }
