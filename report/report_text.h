// Writing the report's lines: CRLF line ends, and fields taken from the
// registry or from files made safe to show, so that no value can break a line
// or turn the text around.
#pragma once
#include "../base/growing_text.h"

// Appends a field: what may not stand raw in a line (IsUnsafeInLine: control
// characters, line breaks, direction marks) becomes "?".
void AppendField(GrowingText& text, const wchar_t* field);
// Appends the fixed text and ends the line.
void AppendLine(GrowingText& text, const wchar_t* line = L"");
// Appends a numbered row's title, "  12. <name>", without ending the line; a
// name that could not be read shows as "(имя не читается)".
void AppendNumberedName(GrowingText& text, unsigned number, const wchar_t* name);
// Appends "<label padded to the column><field>" and ends the line.
void AppendLabelled(GrowingText& text, const wchar_t* indent, const wchar_t* label, const wchar_t* field,
                    int labelWidth = 12);
