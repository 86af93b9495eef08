#include "message_box.h"

namespace {
MessageBoxObserver g_observer = nullptr;
}

int ShowMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT style) {
    if (g_observer) return g_observer(owner, text, caption, style);
    return MessageBoxW(owner, text, caption, style);
}

void SetMessageBoxObserver(MessageBoxObserver observer) { g_observer = observer; }
