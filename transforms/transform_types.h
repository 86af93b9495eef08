// A transform's type lists: pairs of GUIDs (major type, subtype), 32 bytes a
// pair, as MFTRegister writes them into InputTypes and OutputTypes and as the
// activation objects of MFTEnumEx carry them.
#pragma once
#include "../base/win_headers.h"

#include <cstddef>

// The formats column's room; a longer list ends with "…".
constexpr std::size_t kFormatsCapacity = 64;

// Whether a list of that many bytes holds whole pairs only.
bool TypeListIsWhole(DWORD bytes);

// Names the subtypes of a whole list as the playback check names them, each
// once, joined by ", " and cut with "…" to fit text (capacity characters).
void NameTypeList(const BYTE* data, DWORD bytes, wchar_t* text, std::size_t capacity);

// Reads the list value of an open transform key into text (NameTypeList).
// Returns false, with text empty, when the value is damaged: not REG_BINARY,
// or of a length that is not a whole number of pairs. A missing value is an
// empty list, not a damaged one.
bool ReadTypeList(HKEY key, const wchar_t* valueName, wchar_t* text, std::size_t capacity);
