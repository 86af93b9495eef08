// The lines a child process writes to the program through its standard
// output: UTF-16, a kind character, then fields each after a tab, ended by a
// line feed. Both checks that load codecs in a child speak them.
#pragma once
#include "../base/win_headers.h"

#include <cstddef>
#include <initializer_list>

// The longest line any child writes, its line feed and a terminator included.
constexpr std::size_t kChildLineCapacity = 1024;

// Copies the field that starts at *cursor (a tab, then up to the next tab or
// the end) into field, cut to its capacity, and moves the cursor past it;
// false when no field starts there.
bool NextLineField(const wchar_t*& cursor, wchar_t* field, std::size_t capacity);

// Reads the next field as a number written in hexadecimal; false when there
// is none or it holds anything else.
bool NextHexField(const wchar_t*& cursor, unsigned long* value);

// The child's side: writes one line of `kind` with the fields given (each
// may be null: it ends the list). What may not stand raw in a line
// (IsUnsafeInLine: tabs and line breaks among them) becomes a blank inside a
// field; a line longer than lineCapacity characters (at most
// kChildLineCapacity, its terminator included) is cut before its line feed.
void WriteChildLine(HANDLE channel, std::size_t lineCapacity, wchar_t kind,
                    std::initializer_list<const wchar_t*> fields);
