// Turning an ACM or Video for Windows codec off: its Drivers32 value, and its
// description in drivers.desc, deleted after a backup of both, so that the
// backups dialog turns it on again. A row of system.ini is never changed.
#pragma once
#include "driver_codecs.h"

enum DriverRemoval {
    DriverNotRemoved,   // the user said no, a backup could not be written, or there was nothing to delete
    DriverRemoved,      // deleted; whatever stayed has been named to the user
    DriverRestarting,   // this instance closes for a restart with administrator rights
};

// "Удалить" of dialog 136 for the codec of the view: the deletion question,
// the backup ("Удаление кодека") of the value and its description, both
// deleted, and what stayed named, each message owned by owner.
DriverRemoval RemoveDriverCodec(HWND owner, REGSAM view, const DriverCodec& codec);
