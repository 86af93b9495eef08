// The text of a registry editor file ("Windows Registry Editor Version 5.00"):
// the header, key lines and value lines, written so that importing the file
// with the system's registry editor or `reg import` restores every value with
// its type and its bytes unchanged.
#pragma once
#include "../app/utils/growing_text.h"

// The byte order mark and the header line.
void AppendRegFileHeader(GrowingText& text);

// A blank line, then "[name]" for the key's full name (root included).
// Returns false, writing nothing, when the name holds a character that the
// format cannot carry (a line break or a NUL).
bool AppendRegKeyLine(GrowingText& text, const wchar_t* name, std::size_t length);

// One value line (continued over several lines for long hexadecimal data).
// nameLength 0 is the key's default value ("@"). Every value comes back from
// an import with its type and bytes, with one exception the import itself
// makes: string data (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ) that does not end
// with a zero character gets one added. Returns false, writing nothing, when
// the value cannot be written so that it comes back: a name holding a line
// break or a NUL (the format has no way to write it), or string data of odd
// length that the import would cut.
bool AppendRegValueLine(GrowingText& text, const wchar_t* name, std::size_t nameLength, DWORD type,
                        const BYTE* data, DWORD size);
