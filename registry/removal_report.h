// A codec's deletion that says what stayed: the keys it meant to remove are
// looked at again afterwards, and any still there are named to the user with
// the cause; when the cause is a lack of rights, a restart with them is offered.
#pragma once
#include "../base/win_headers.h"
#include "key_path_list.h"

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

// The keys a message names at most; the rest are counted.
constexpr std::size_t kListedKeysAtMost = 10;
