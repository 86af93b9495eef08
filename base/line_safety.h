// What may not stand raw in a line the program writes for a person (the
// codec report, a message box listing keys, the playback check's result) or
// for the playback check's pipe: the C0 and C1 control characters (line breaks
// and tabs among them), the line and paragraph separators, and every character
// that steers the direction of text (Unicode's Bidi_Control). A name read from
// the registry or a codec could otherwise start a line of its own or turn the
// text around.
#pragma once
#include "growing_text.h"

bool IsUnsafeInLine(wchar_t c);

// Replaces each such character of a terminated text with `replacement`.
void ReplaceUnsafeInLine(wchar_t* text, wchar_t replacement);

// Appends a terminated text to a growing one, each such character as `replacement`.
void AppendSafeInLine(GrowingText& text, const wchar_t* field, wchar_t replacement);

// The same for at most `most` characters of the field; a longer field ends
// with "…" after them (never between the two halves of a surrogate pair).
void AppendSafeInLineCut(GrowingText& text, const wchar_t* field, std::size_t most, wchar_t replacement);
