// A codec's deletion that says what stayed: the keys it meant to remove are
// looked at again afterwards, and any still there are named to the user with
// the cause; when the cause is a lack of rights, a restart with them is offered.
#pragma once
#include "../base/win_headers.h"
#include "key_path_list.h"
#include "../base/growing_text.h"
#include "registry_removal.h"

#include <cstddef>

// Deletes the codec's entries as RemoveCodecRegistry does (with withDmo also
// its DMO key, as RemoveDmoRegistrationOf does), then shows "Удаление не
// завершено", owned by owner, when any of those keys is still there. Nothing
// is shown when everything went. Returns whether this instance is closing
// for a restart with administrator rights.
bool RemoveCodecEntriesAndReport(HWND owner, const wchar_t* classId, const wchar_t* friendlyName, bool withDmo);

// Deletes every listed key (paths under HKEY_CLASSES_ROOT) with everything
// below it, then says what stayed, as RemoveCodecEntriesAndReport does.
bool RemoveKeysAndReport(HWND owner, const KeyPathList& keys);

// Whether any listed key (a path under HKEY_CLASSES_ROOT) is there now; a
// registry link counts, and so does a key that cannot be opened.
bool AnyKeyPresent(const KeyPathList& keys);

// The keys a message names at most; the rest are counted.
constexpr std::size_t kListedKeysAtMost = 10;

// Keys named to the user in a message, one a line: the first
// kListedKeysAtMost of them, and all of them counted.
struct NamedKeys {
    GrowingText listed;
    std::size_t count = 0;
};
void NameKey(NamedKeys& keys, const wchar_t* prefix, const wchar_t* path);
// Appends the keys listed, each on a line of its own, then "и еще N" for the rest.
void AppendNamedKeys(GrowingText& text, const NamedKeys& keys);

// The box of a change that left keys as they were, owned by owner, with a
// warning icon: heading, the keys, and the cause (linkCause where a registry
// link was kept and nothing was refused); when the cause is a lack
// of rights and the process is not elevated, the restart with them is
// offered in the same box. Returns whether this instance is closing for it.
bool ShowKeysNotChanged(HWND owner, const wchar_t* caption, const wchar_t* heading, const NamedKeys& keys,
                        const RemovalOutcome& outcome, const wchar_t* linkCause);

// After a deletion of registry values: the box "Удаление не завершено" with
// the values still there (left, each named "<key>: <value>"), as
// RemoveKeysAndReport says what stayed. Nothing is shown when left is empty.
// Returns whether this instance is closing for a restart with administrator rights.
bool ReportValuesLeft(HWND owner, const NamedKeys& left, const RemovalOutcome& outcome);

// A deletion that found nothing to delete (another program removed it since
// the list was read): "Удаление не выполнено", owned by owner, information icon.
void ShowNothingToDelete(HWND owner);
