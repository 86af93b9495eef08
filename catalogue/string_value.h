// Reading a registry value that must be a string, as the system's own readers
// of such values take it: only REG_SZ and REG_EXPAND_SZ (unexpanded) count,
// a value of any other type reads as the empty text, and a long one is cut
// to the buffer, never left out. Every text ends terminated inside its buffer.
#pragma once
#include "../base/win_headers.h"

#include <cstddef>

// Reads the value (nullptr for the default value) into text: cut to
// capacity - 1 characters, stopped at its first zero; a value stored without
// its terminator ends after its last whole character. A value of another
// type, one larger than 1 MB, or one that cannot be read gives the empty text
// and false; cut (optional) tells whether the value was cut.
bool ReadStringValue(HKEY key, const wchar_t* valueName, wchar_t* text, std::size_t capacity, bool* cut = nullptr);
