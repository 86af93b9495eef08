// The property handlers this program turned off: found again in its own
// backups ("Отключение обработчика Проводника"), so that "Включить" writes
// each back from its backup whenever dialog 138 is opened again.
#pragma once
#include "shell_handlers.h"

struct TurnedOffHandler {
    wchar_t extension[kExtensionCapacity];
    wchar_t classId[40];
    wchar_t backup[MAX_PATH];  // the backup's full path
};

// The property handlers of the view whose default value one of the
// program's backups holds and the registry no longer does: each extension
// once, with its newest such backup.
void FindTurnedOffPropertyHandlers(REGSAM view, HeapArray<TurnedOffHandler>& found);
