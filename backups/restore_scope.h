// The keys a restore may write, and opening them without going through a
// registry link. A backup of this program only ever holds codec keys: below
// the classes of the machine and of the user (their 32-bit halves under
// Wow6432Node included), the keys under CLSID, DirectShow, Filter, Media Type
// and MediaFoundation, and the DirectShow preferences key of either view.
// A file that names any other key is not one of its backups.
#pragma once
#include "../catalogue/registry_link.h"

#include <cstddef>

// Where a key of a backup lies: the system key it starts from, opened as the
// system names it, and the names below it, each walked on its own.
struct RestoreTarget {
    HKEY root = nullptr;              // HKEY_LOCAL_MACHINE or HKEY_CURRENT_USER
    const wchar_t* base = nullptr;    // "Software\Classes" or "SOFTWARE"
    const wchar_t* below = nullptr;   // the rest of the full name, after base and its backslash
};

// Whether the full name ("HKEY_LOCAL_MACHINE\Software\Classes\CLSID\{...}")
// is a key a restore may write: a codec key below one of the classes roots,
// or the preferences key itself; letter case aside, every name between backslashes
// non-empty, at most 255 characters, and neither "." nor "..". Fills target.
bool FindRestoreTarget(const wchar_t* fullName, RestoreTarget& target);

// Opens the target's key with access (and KEY_QUERY_VALUE), walking one name
// at a time below its base and never through a link. With create, the keys
// missing on the way are made. KeyIsLink when a key on the way is a link
// (nothing below it is opened or made); KeyNotOpened with *status otherwise
// (ERROR_FILE_NOT_FOUND for a key that is not there without create).
KeyOpening OpenRestoreKey(const RestoreTarget& target, bool create, REGSAM access, RegKey& key, LONG* status);

// Whether the target is one of the keys of preferred handlers the system
// keeps for itself: DirectShow's (SOFTWARE\Microsoft\DirectShow\Preferred)
// or Media Foundation's (SOFTWARE\Classes\MediaFoundation\Transforms\Preferred),
// of either view. Only these may be changed as their temporary owner.
bool IsPreferencesKey(const RestoreTarget& target);

// The target's path below its root ("SOFTWARE\Microsoft\..."), as the
// 64-bit view names it, into path; false when it does not fit.
bool RestoreTargetPath(const RestoreTarget& target, wchar_t* path, std::size_t capacity);
