// The backup folder, %LOCALAPPDATA%\Pelmora Vantrel\Backups, and the files in
// it: one new file per action, never replacing or removing another.
#pragma once
#include "../app/utils/growing_text.h"

// Writes text (UTF-16LE, as it is held) to a new file in the backup folder,
// named "<local date> <local time> <action> - <friendly name>.reg": characters
// that a file name cannot hold become "_", the friendly name is cut so that
// the whole path stays within MAX_PATH, and " (2)", " (3)", ... keep the name
// unique. The file appears in the folder only when it was written completely.
// Returns false when it could not be written.
bool WriteBackupFile(const GrowingText& text, const wchar_t* actionName, const wchar_t* friendlyName);
