// A UTF-16 text on the process heap that grows as it is appended to, for
// texts with no fixed bound: registry key names of any depth and whole
// registry files. It stays terminated; once an append could not get memory
// the text is marked failed and takes nothing more.
#pragma once
#include "scoped.h"

#include <cstddef>

struct GrowingText {
    HeapBuffer buffer;
    std::size_t length = 0;  // characters, the terminator not counted
    bool failed = false;
};

void AppendChars(GrowingText& text, const wchar_t* chars, std::size_t count);
void AppendString(GrowingText& text, const wchar_t* chars);  // up to its terminator
void AppendChar(GrowingText& text, wchar_t c);

// Drops everything after the first `length` characters.
void TruncateText(GrowingText& text, std::size_t length);

// The characters so far, terminated; an empty text when nothing was appended.
const wchar_t* TextChars(const GrowingText& text);
