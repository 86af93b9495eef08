// A codec's server path as the registry holds it, turned into the file it names.
#pragma once
#include "../base/win_headers.h"

#include <cstddef>

// The file that COM loads for a server path read from the registry as a
// value of `type`: a REG_EXPAND_SZ value has its %SystemRoot%-style
// variables expanded; a value of any other type is taken as it is written,
// "%" and all, as COM and the loader take it. Into expanded (capacity
// characters); false, with expanded empty, when the result does not fit.
bool ExpandServerPath(const wchar_t* serverPath, DWORD type, wchar_t* expanded, std::size_t capacity);

// The type of a key's value (nullptr: its default value); REG_NONE when it cannot be read.
DWORD ServerPathType(HKEY key, const wchar_t* valueName = nullptr);

// Whether the server file can be found, the path taken as ExpandServerPath
// takes a value of the type (a bare name or relative path is looked up from
// the current directory).
bool ServerFileExists(const wchar_t* serverPath, DWORD type);
