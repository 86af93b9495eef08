// Dialog 132 "Выбор декодера" and dialog 139 "Добавить формат".
#pragma once
#include "decoder_source.h"

// Lets the user choose one of the source's candidates for the subtype in the
// view; the caption names the format. The chosen class id goes into classId.
// False when the user cancelled.
bool ChooseDecoder(HWND owner, const DecoderSource& source, REGSAM view, const GUID& subtype,
                   wchar_t (&classId)[kPreferenceTextCapacity]);

// Lets the user choose a format: a named one, or any subtype's GUID typed in.
// False when the user cancelled.
bool ChooseFormat(HWND owner, GUID& subtype);

// The name the playback check gives the subtype a value is named by, or the
// value's name itself where it is not a GUID's text.
void NamePreferenceFormat(const wchar_t* valueName, wchar_t* text, std::size_t capacity);
