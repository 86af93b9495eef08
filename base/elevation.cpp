#include "elevation.h"

#include "../resources/resource.h"
#include "app_state.h"
#include "message_box.h"
#include "scoped.h"

#include <shellapi.h>

const wchar_t kRestartAsAdministratorQuestion[] = L"Перезапустить программу с правами администратора?";

bool ProcessIsElevated() {
    KernelHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Put())) return true;
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    if (!GetTokenInformation(token.Get(), TokenElevation, &elevation, sizeof(elevation), &size)) return true;
    return elevation.TokenIsElevated != 0;
}

bool RestartAsAdministrator() {
    // The program's own file, whatever name it was started by; a path too
    // long for the buffer is not started cut.
    wchar_t exePath[MAX_PATH * 4];
    const DWORD length = GetModuleFileNameW(nullptr, exePath, ARRAYSIZE(exePath));
    if (length == 0 || length >= ARRAYSIZE(exePath)) return false;
    // The new instance looks for its help file where this one does.
    wchar_t directory[MAX_PATH * 4];
    const DWORD directoryLength = GetCurrentDirectoryW(ARRAYSIZE(directory), directory);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOASYNC;
    info.hwnd = g_app.mainWindow;
    info.lpVerb = L"runas";
    info.lpFile = exePath;
    info.lpDirectory = directoryLength > 0 && directoryLength < ARRAYSIZE(directory) ? directory : nullptr;
    info.nShow = SW_SHOWNORMAL;
    // Declined at the system's prompt (ERROR_CANCELLED) or not started: this
    // instance goes on as it was.
    if (!ShellExecuteExW(&info)) return false;
    // Posted, so that the dialogs and message boxes open now end first, as
    // their own loops hand the command on to the main window.
    PostMessageW(g_app.mainWindow, WM_COMMAND, MAKEWPARAM(IDM_EXIT, 0), 0);
    return true;
}

bool OfferRestartAsAdministrator(HWND owner) {
    if (ProcessIsElevated()) return false;
    // A question, so it takes the caption of the program's other questions,
    // not the platform's "Error".
    if (ShowMessageBox(owner, kRestartAsAdministratorQuestion, L"Подтвердите действие", MB_YESNO | MB_ICONQUESTION) !=
        IDYES) {
        return false;
    }
    return RestartAsAdministrator();
}
