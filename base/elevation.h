// Administrator rights: whether this process has them, and starting the
// program anew with them when a change was refused for their lack.
#pragma once
#include "win_headers.h"

// Whether the process token is elevated. Where the system cannot say (no
// user account control), the process counts as elevated: a restart would
// give it nothing more.
bool ProcessIsElevated();

// The question that offers the restart, a line of its own in a message.
extern const wchar_t kRestartAsAdministratorQuestion[];

// Starts the program's own exe with the verb "runas" (the system asks the
// user for the rights) and, when it started, closes this instance as the
// menu item "Выход" does, through the main window's command. Returns whether
// the new instance started; when the user declined, nothing more happens.
bool RestartAsAdministrator();

// After a change refused with ERROR_ACCESS_DENIED: when the process is not
// elevated, asks in a box of its own (owner, caption "Подтвердите действие") whether
// to restart with the rights, and restarts on Yes. Returns whether this
// instance is closing.
bool OfferRestartAsAdministrator(HWND owner);
