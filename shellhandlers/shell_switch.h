// "Отключить" and "Включить" of dialog 138: a handler turned off for
// Explorer without uninstalling it, and on again, each after its question and
// a backup of what it changes. A thumbnail, image or preview handler is
// turned off by a value named with its class id under the machine's Shell
// Extensions\Blocked (or, where the machine's key is refused, the user's own,
// when the user says so); a property handler by removing the extension's
// default value under PropertyHandlers, which "Включить" writes back from
// that backup. A registry link in these keys is never gone through.
#pragma once
#include "shell_handlers.h"

enum ShellSwitchEnd {
    ShellSwitchNotDone,  // the user said no, a backup could not be written, or the registry refused
    ShellSwitchDone,
    ShellSwitchClosing,  // this instance closes for a restart with administrator rights
};

// Turns the row's handler of the view off. For a property handler the
// backup's full path goes to backup (MAX_PATH characters), for "Включить".
ShellSwitchEnd TurnShellHandlerOff(HWND owner, REGSAM view, const ShellHandlerRow& row, wchar_t* backup);

// Turns a blocked handler on again: its values under Blocked (the machine's
// and the user's) removed after their backup.
ShellSwitchEnd TurnBlockedHandlerOn(HWND owner, REGSAM view, const ShellHandlerRow& row);

// Turns a property handler on again: its default value restored from the
// backup written when it was turned off, as dialog 134 restores it.
ShellSwitchEnd TurnPropertyHandlerOn(HWND owner, const ShellHandlerRow& row, const wchar_t* backup);

// What the dialog says after a change: when Explorer takes it, and the thumbnails of its cache.
extern const wchar_t kShellChangeNote[];
