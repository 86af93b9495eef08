// The text of a registry editor file ("Windows Registry Editor Version 5.00"):
// the header, key lines and value lines, each value with its type and every
// byte of its data, so that importing the file with the system's registry
// editor or `reg import` restores it as it was, apart from what the import
// itself does to string data (see AppendRegValueLine).
#pragma once
#include "../base/growing_text.h"

// The byte order mark and the header line.
void AppendRegFileHeader(GrowingText& text);

// A blank line, then "[name]" for the key's full name (root included).
// Returns false, writing nothing, when the name holds a character that the
// format cannot carry (a line break or a NUL).
bool AppendRegKeyLine(GrowingText& text, const wchar_t* name, std::size_t length);

// One value line (continued over several lines for long hexadecimal data).
// nameLength 0 is the key's default value ("@"). String data that is not one
// plain terminated string, odd lengths included, is written byte for byte as
// hexadecimal data of its own type. The import adds a zero character to
// string data (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ) whose last whole character
// is not one; with an odd length, Wine's reg import puts it over the last
// byte. Returns false, writing nothing, when the name holds a line break or a
// NUL: the format has no way to write it.
bool AppendRegValueLine(GrowingText& text, const wchar_t* name, std::size_t nameLength, DWORD type,
                        const BYTE* data, DWORD size);

// A line that removes the value ("name"=-, or @=-); false, writing nothing,
// for a name the format cannot write.
bool AppendRegValueRemoval(GrowingText& text, const wchar_t* name, std::size_t nameLength);

// A comment line ("; " and the text), which the import passes over. Returns
// false, writing nothing, when the text holds a line break or a NUL.
bool AppendRegCommentLine(GrowingText& text, const wchar_t* comment, std::size_t length);
