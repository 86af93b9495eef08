// A codec's server path as the registry holds it, turned into the file it names.
#pragma once
#include "../base/win_headers.h"

#include <cstddef>

// Expands %SystemRoot%-style variables of the path into expanded (capacity
// characters); false, with expanded empty, when the result does not fit.
bool ExpandServerPath(const wchar_t* serverPath, wchar_t* expanded, std::size_t capacity);

// Whether the server file can be found, after expanding environment variables
// in its path (a bare name or relative path is looked up from the current directory).
bool ServerFileExists(const wchar_t* serverPath);
