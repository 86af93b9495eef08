// Reading the rows of a list box.
#pragma once
#include "win_headers.h"

#include <cstddef>

// Copies the text of list row `row` into text (capacity characters). A longer
// row is cut to capacity - 1 characters; a row that does not exist gives the
// empty text and false.
bool GetListRowText(HWND list, int row, wchar_t* text, std::size_t capacity);
