// Backups taken before the program deletes or overwrites registry data: a
// file in the registry editor's format holding exactly what the action is
// about to remove, written before the action touches anything. When the
// backup cannot be written completely, a message box says so and the caller
// must not act.
#pragma once
#include "../base/growing_text.h"
#include "../base/win_headers.h"
#include "../registry/key_path_list.h"

// The action a backup is taken for; it names the backup file.
enum BackupAction {
    BackupDeleteCodec,   // "Удалить кодек" in the management dialog
    BackupScanRemoval,   // removal offered by the broken-codec scan
    BackupUnregister,    // "Отменить регистрацию" (regsvr32 /u), through BackUpUnregistration
    BackupMeritChange,   // a new merit written into FilterData
    BackupRestore,       // a backup restored ("Резервные копии реестра")
    BackupPreferredChange,  // a preferred decoder set or removed
    BackupShellHandlerOff,  // an Explorer handler turned off (dialog 138)
    BackupShellHandlerOn,   // an Explorer handler turned on again
    kBackupActionCount
};

// Backs up every listed key (paths under HKEY_CLASSES_ROOT) with all its
// subkeys and values, where it exists; a list that is not whole fails the
// backup. Returns as BackUpCodecEntries does.
bool BackUpKeys(HWND owner, BackupAction action, const wchar_t* friendlyName, const wchar_t* classId,
                const KeyPathList& keys);
// The action's words in a backup's file name: in the user's language, and in
// ASCII letters for the name taken where the file system refuses that one.
const wchar_t* BackupActionName(BackupAction action);
const wchar_t* BackupActionAsciiName(BackupAction action);

// Backs up the keys that deleting the codec's entries removes, each with all
// its subkeys and values and only where it exists: the class key, the
// codec's entry under the selected category's Instance key (found as the
// removal finds it), the entry named by the class id under the legacy filter
// category, and with withDmo the DMO registration key. Returns true when the
// backup file was written; otherwise shows the failure message, owned by
// owner, and returns false.
bool BackUpCodecEntries(HWND owner, BackupAction action, const wchar_t* friendlyName, const wchar_t* classId,
                        bool withDmo);

// Backs up, before "regsvr32 /u" runs on serverFile (the path it is given),
// what the file's own unregistration can remove: the keys BackUpCodecEntries
// saves with the DMO key, and every registration of the codecs the file
// serves (see CollectServerRegistrations). Returns as BackUpCodecEntries does.
bool BackUpUnregistration(HWND owner, const wchar_t* friendlyName, const wchar_t* classId, const wchar_t* serverFile);

// Backs up the "FilterData" value of an open Instance entry as it is now;
// classId (the class id the entry names, or "") names the file where the
// friendly name cannot. Returns true when the backup file was written;
// otherwise shows the failure message with no owner, as the merit write's own
// messages are shown, and returns false.
bool BackUpFilterData(HKEY entry, const wchar_t* friendlyName, const wchar_t* classId);

// Appends the value's line as it is stored now: its name, type and bytes.
// Returns ERROR_SUCCESS, the system's code when it cannot be read
// (ERROR_FILE_NOT_FOUND where there is no such value), or ERROR_INVALID_NAME
// for a name the file cannot hold.
LONG AppendStoredValue(GrowingText& text, HKEY key, const wchar_t* valueName);

// Writes text, a whole backup file, named for the action, ended with its
// keyed hash (backup_seal.h) where the process may read the machine's key.
// When complete is false or the file cannot be written, shows the failure
// message, owned by owner, and returns false: the caller must not act. The
// file's full path goes to written (MAX_PATH characters), when given.
bool WriteBackupOrSay(HWND owner, GrowingText& text, BackupAction action, const wchar_t* friendlyName,
                      const wchar_t* classId, bool complete, wchar_t* written = nullptr);

// The comment line that records a key's owner and permissions (sddl) before
// the program took the key over; false, writing nothing, where the format
// cannot hold the text.
bool AppendOwnerComment(GrowingText& text, const wchar_t* sddl);

// Backs up one value of an open key as it is now, or, where the key has no
// such value, the line that removes it again, so that importing the file
// undoes setting it. securityComment (or null) goes on a comment line of its
// own: the key's owner and permissions before the change. The file is named
// after friendlyName, or classId where the file system refuses that name.
// Returns as BackUpCodecEntries does, the failure message owned by owner;
// the file's full path goes to written (MAX_PATH characters), when given.
bool BackUpRegistryValue(HWND owner, BackupAction action, HKEY key, const wchar_t* valueName,
                         const wchar_t* securityComment, const wchar_t* friendlyName, const wchar_t* classId,
                         wchar_t* written = nullptr);

// A value to back up: the open key that holds it, and its name.
struct BackedUpValue {
    HKEY key;
    const wchar_t* name;
};

// Backs up each value as it is stored now, each under its key's own name (a
// key's line before its values, wherever the key changes). The
// file is named after friendlyName, or, where the file system refuses that
// name, after asciiName. Returns as BackUpCodecEntries does.
bool BackUpValues(HWND owner, BackupAction action, const wchar_t* friendlyName, const wchar_t* asciiName,
                  const BackedUpValue* values, std::size_t count);
