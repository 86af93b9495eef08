// Windows' preferred decoders: dialog 131, which lists them for 64-bit and
// 32-bit programs and changes them, and the change the playback check makes.
#pragma once
#include "../registry/preference_values.h"

// Command 40042 "Предпочтительные декодеры Windows..": dialog 131, owned by the main window.
void OpenPreferredDecodersDialog();

// Makes the filter of classId the preferred decoder of subtype in the
// program's own registry view, as dialog 131 does (backup, rights).
PreferenceChangeEnd MakePreferredDecoder(HWND owner, const GUID& subtype, const wchar_t* classId);

// Whether the program's own view names classId as the preferred decoder of subtype.
bool IsPreferredDecoder(const GUID& subtype, const wchar_t* classId);
