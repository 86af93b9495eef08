// Where an open registry key really lives, named as the registry editor names
// it: HKEY_CLASSES_ROOT is a view that the system assembles from the machine's
// and the user's classes (and, for a 32-bit program on 64-bit Windows, from
// their 32-bit halves under Wow6432Node), so a backup names the key's own
// place, and an import writes it back there.
#pragma once
#include "../base/growing_text.h"
#include "../base/win_headers.h"

#include <cstddef>

// Whether path names the key `key` itself or a key below it, comparing
// without regard to case and only at whole path components; gives what
// follows the key's part of the path ("" or "\..."), or null.
const wchar_t* KeyPathBelow(const wchar_t* path, std::size_t pathLength, const wchar_t* key, std::size_t keyLength);

// Appends the kernel's own name of an open key ("\REGISTRY\MACHINE\...",
// "\REGISTRY\USER\<user>\..."): for a key opened through a registry link,
// the name of the key it points to. False when the system does not tell it.
bool AppendKernelKeyName(GrowingText& name, HKEY key);

// Appends the key's full name under HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER or
// HKEY_USERS, for example "HKEY_LOCAL_MACHINE\Software\Classes\CLSID\{...}"
// or, for the 32-bit view, "...\Classes\Wow6432Node\CLSID\{...}". Returns
// false when the system does not tell the key's name or the name lies under
// none of those roots.
bool AppendRealKeyName(GrowingText& out, HKEY key);
