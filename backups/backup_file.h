// The backup folder, %LOCALAPPDATA%\Pelmora Vantrel\Backups, and the files in
// it: one new file per action, never replacing or removing another.
#pragma once
#include "../base/growing_text.h"

// The backup folder's path (which need not exist) into folder, of MAX_PATH
// characters; false when the system does not tell where it is.
bool FindBackupFolder(wchar_t* folder);

// What a backup file is named after.
struct BackupFileName {
    const wchar_t* action;        // the action in the user's words: "Удаление кодека"
    const wchar_t* asciiAction;   // the same in ASCII letters: "Delete codec"
    const wchar_t* friendlyName;  // the codec's name as the list shows it
    const wchar_t* classId;       // the codec's class id; "" when the action has none
};

// Writes text (UTF-16LE, as it is held) to a new file in the backup folder,
// named "<local date> <local time> <action> - <friendly name>.reg": characters
// that a file name cannot hold become "_", the friendly name is cut so that
// the whole path stays within MAX_PATH, and " (2)", " (3)", ... keep the name
// unique. When the folder's file system refuses that name even without the
// friendly name (a Cyrillic name where the system's character set is ASCII),
// the file goes under "<local date> <local time> <ASCII action> - <class id>.reg"
// instead, every character of the class id outside printable ASCII, or not
// allowed in a file name, written as "_". The file appears in the folder only
// when it was written completely. Returns false when it could not be written;
// otherwise its full path goes to written (MAX_PATH characters), when given.
bool WriteBackupFile(const GrowingText& text, const BackupFileName& name, wchar_t* written = nullptr);
