// The name a user knows a media subtype by (H.264, AAC, YV12, ...), as the
// playback check and the codec report show it.
#pragma once
#include "../base/win_headers.h"

#include <cstddef>

// Writes the subtype's common name into text (capacity characters); for a
// subtype without one, its four-character code where the GUID is built from
// one ("XVTS"), otherwise the braced GUID.
void NameMediaSubtype(const GUID& subtype, wchar_t* text, std::size_t capacity);

// The same for a subtype written as a registry value names it: a braced
// GUID's text is named; any other text is kept as it is. (Only a GUID's
// text: CLSIDFromString would also take a program id.)
void NameMediaSubtypeText(const wchar_t* subtypeText, wchar_t* text, std::size_t capacity);
// Calls visit(subtype, name) for every subtype that has a common name of its
// own, in the order of the program's table (a name can stand for several
// subtypes: H.264 for H264, h264, AVC1, ...).
void ForEachNamedSubtype(void (*visit)(const GUID& subtype, const wchar_t* name, void* context), void* context);
