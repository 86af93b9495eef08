// The keys a restore may write, and opening them without going through a
// registry link. A backup of this program only ever holds codec keys: below
// the classes of the machine and of the user (their 32-bit halves under
// Wow6432Node included), the keys under CLSID, DirectShow, Filter, Media Type
// and MediaFoundation, the DirectShow preferences key of either view, and the
// ACM and Video for Windows codecs' values of Drivers32 and drivers.desc, of
// either view (restore_drivers.h); and Explorer's handlers turned off: the
// class ids under Shell Extensions\Blocked (the machine's, either view, and
// the user's) and the default value of an extension's key under
// PropertySystem\PropertyHandlers (either view).
// A file that names any other key is not one of its backups. Each kind of key
// is one row of a table (restore_scope.cpp), with the values it may hold;
// which classes below CLSID a file may write is decided on top of this
// (restore_classes.h).
#pragma once
#include "../catalogue/registry_link.h"
#include "reg_file_reader.h"

#include <cstddef>

struct RestoreKind;  // one row of the table of keys a restore may write

// Where a key of a backup lies: the system key it starts from, opened as the
// system names it, and the names below it, each walked on its own.
struct RestoreTarget {
    HKEY root = nullptr;              // HKEY_LOCAL_MACHINE or HKEY_CURRENT_USER
    const wchar_t* base = nullptr;    // "Software\Classes" or "SOFTWARE"
    const wchar_t* below = nullptr;   // the rest of the full name, after base and its backslash
    const RestoreKind* kind = nullptr;
};

// Whether the full name ("HKEY_LOCAL_MACHINE\Software\Classes\CLSID\{...}")
// is a key a restore may write: a codec key below one of the classes roots,
// or the preferences key itself; letter case aside, every name between backslashes
// non-empty, at most 255 characters, and neither "." nor "..". Fills target.
bool FindRestoreTarget(const wchar_t* fullName, RestoreTarget& target);

// Which values of its key a kind of key takes.
enum RestoreValues {
    RestoreAnyValue,            // a codec key's: any
    RestoreCodecDriverValues,   // Drivers32's: the codecs' own (restore_drivers.h)
    RestoreDriverDescriptions,  // drivers.desc's: the descriptions of the file's codecs (restore_drivers.h)
    RestoreBlockedHandlers,     // Blocked's: values named by class ids, as text
    RestorePropertyHandler,     // an extension's key of PropertyHandlers: its default value, a class id as text
};
RestoreValues RestoreValuesOf(const RestoreTarget& target);

// Whether the target's key lies in the 32-bit view's half (below Wow6432Node).
bool InOtherHalf(const RestoreTarget& target);

// Whether a restore may set or remove the value of the file's value line
// `value` in the target's key (its name, its type, and for a description
// the codec values of the same file).
bool RestoreValueAllowed(const RestoreTarget& target, const RegFileContents& contents, const RegFileEntry& value);

// Whether the target is a codec key below a classes root ("Software\Classes"
// of the machine or the user), where the classes below CLSID are judged.
bool IsClassesTarget(const RestoreTarget& target);

// Opens the target's key with access (and KEY_QUERY_VALUE), walking one name
// at a time below the root's own key and never through a link: only
// HKEY_CURRENT_USER\Software\Classes may be one, where it is the system's own
// link to the user's classes. With create, the keys missing on the way are
// made. KeyIsLink when a key on the way is a link (nothing below it is opened
// or made); KeyNotOpened with *status otherwise (ERROR_FILE_NOT_FOUND for a
// key that is not there without create).
KeyOpening OpenRestoreKey(const RestoreTarget& target, bool create, REGSAM access, RegKey& key, LONG* status);

// Whether the target is one of the keys of preferred handlers the system
// keeps for itself: DirectShow's (SOFTWARE\Microsoft\DirectShow\Preferred)
// or Media Foundation's (SOFTWARE\Classes\MediaFoundation\Transforms\Preferred),
// of either view. Only these may be changed as their temporary owner.
bool IsPreferencesKey(const RestoreTarget& target);

// The target's path below its root ("SOFTWARE\Microsoft\..."), as the
// 64-bit view names it, into path; false when it does not fit.
bool RestoreTargetPath(const RestoreTarget& target, wchar_t* path, std::size_t capacity);

// One name of a key path: where it starts and how long it is.
struct KeyPathName {
    const wchar_t* start;
    std::size_t length;
};
// The name at *at, moving *at past it and its backslash; false at the end.
bool NextKeyPathName(const wchar_t** at, KeyPathName& name);
// Whether the name is expected, letter case aside.
bool SameKeyPathName(const KeyPathName& name, const wchar_t* expected);
