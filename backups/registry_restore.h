// Restoring one of the program's backups from inside the program: the file
// is read whole and checked before anything is written, what it will change
// is backed up first, and what could not be written is said.
#pragma once
#include "../base/win_headers.h"

enum RestoreResult {
    RestoreNotDone,   // refused, unreadable, empty, not confirmed, or its own backup failed: nothing written
    RestoreWritten,   // written, whole or in part (a part is reported)
    RestoreClosing,   // written in part, or not checked for lack of rights, and this instance closes for a
                      // restart with administrator rights
};

// Restores the backup file at path, every box owned by owner:
// - reads it with the program's own reader; a file that is not one of the
//   program's backups in kind (a line not of their form, a key outside the
//   codec keys or on a path through a registry link, a class key a restore
//   must not write (restore_classes.h), a key deletion, a value over 1 MB, a
//   file over 16 MB) gets "Файл не является резервной копией программы" with
//   its first line at fault, and nothing is written; a file without keys gets
//   "В резервной копии нет записей реестра.";
// - a file that writes any key outside HKEY_CURRENT_USER is restored only
//   with the keyed hash this program gave it on this machine, unchanged
//   (backup_seal.h); any other gets "Файл создан не этой программой на этом
//   компьютере или изменен после создания: восстановление в разделы
//   компьютера запрещено", and nothing is written; where the hash cannot be
//   checked for lack of administrator rights, the restart with them is offered;
// - asks "Восстановить записи реестра из резервной копии?" with every class,
//   and every key with each value it sets (its type and data) or removes
//   (restore_question.h, restore_value_line.h);
// - backs up every value it will overwrite or remove, as it is now, and
//   marks the values it will make as removed, in the keys there and in the
//   keys it makes; before a key it will write as its temporary owner, the
//   key's owner and permissions; named "Восстановление" with friendlyName, or
//   "Restore" with classId; that file's full path goes to ownBackup
//   (MAX_PATH characters, "" when none was written);
// - makes the keys missing, sets each value with its type and bytes, removes
//   the values the file removes, through no registry link;
// - names the keys not written, or written in part with the values that were
//   and were not, and why ("Восстановление не завершено").
RestoreResult RestoreBackup(HWND owner, const wchar_t* path, const wchar_t* friendlyName, const wchar_t* classId,
                            wchar_t* ownBackup);
