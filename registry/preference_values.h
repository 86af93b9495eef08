// A key of "which handler to try first" values, as Windows keeps them for
// DirectShow (SOFTWARE\Microsoft\DirectShow\Preferred) and Media Foundation
// (SOFTWARE\Classes\MediaFoundation\Transforms\Preferred): one value per
// media subtype, named by the subtype's GUID text, holding the class id of
// the handler. Reading its values, and changing one of them with a backup
// first and the rights it takes: the restart offer where the process has no
// administrator rights, and a temporary ownership of the key where the key
// belongs to the system.
#pragma once
#include "../base/win_headers.h"
#include "../catalogue/registry_link.h"

#include <cstddef>
#include <functional>

struct PreferenceKey {
    HKEY root;          // HKEY_LOCAL_MACHINE
    const wchar_t* path;
    REGSAM view;        // KEY_WOW64_64KEY, KEY_WOW64_32KEY, or 0 for the program's own
};

constexpr std::size_t kPreferenceTextCapacity = 256;

// One value as stored: its name, and its data as text (string data up to its
// first zero; any other type written as hexadecimal bytes), cut to 255
// characters; usable tells whether Windows takes it: a GUID's text as the
// name and REG_SZ data that is a GUID's text.
struct PreferenceValue {
    wchar_t name[kPreferenceTextCapacity];
    wchar_t data[kPreferenceTextCapacity];
    bool usable;
};

// Calls visit for every value of the key, in enumeration order; nothing when
// the key is not there, or is a registry link (KeyIsLink), which is never
// gone through.
KeyOpening ForEachPreferenceValue(const PreferenceKey& key, const std::function<void(const PreferenceValue&)>& visit);

// How a change ended.
enum PreferenceChangeEnd {
    PreferenceChanged,
    PreferenceNotChanged,  // refused, declined, or its backup could not be written: the user was told
    PreferenceClosing,     // the program restarts with administrator rights; this instance closes
};

// Backs up the value as it is now, before it changes: key is opened for
// reading its values; sddl is null, or the key's owner and permissions
// before the program took the key over. False stops the change (the backup
// has told the user why). The backups' own layer writes it.
using PreferenceBackUp = std::function<bool(HKEY key, const wchar_t* valueName, const wchar_t* sddl)>;

// Sets valueName to classId (REG_SZ), or removes it when classId is null,
// creating the key where it is missing. First backUp; then the change.
// Nothing is written through a registry link: a key that is one (or lies
// below one) is told with kLinkNotWritten.
// Refused for lack of rights: where the process is not elevated, the write
// failure is told and a restart with the rights is offered; where it is, the
// key belongs to the system, and on the user's Yes the change is made as the
// key's temporary owner (ChangeKeyAsOwner). Every message is owned by owner.
extern const wchar_t kLinkNotWritten[];  // "Раздел является ссылкой реестра: программа через ссылки не записывает."

PreferenceChangeEnd ChangePreferenceValue(HWND owner, const PreferenceKey& key, const wchar_t* valueName,
                                          const wchar_t* classId, const PreferenceBackUp& backUp);
