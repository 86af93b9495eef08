// Reading the rows of a list box, and comparing texts as a sorted list box orders them.
#pragma once
#include "win_headers.h"

#include <cstddef>

// Copies the text of list row `row` into text (capacity characters). A longer
// row is cut to capacity - 1 characters; a row that does not exist gives the
// empty text and false.
bool GetListRowText(HWND list, int row, wchar_t* text, std::size_t capacity);

// The number of rows, 0 when the list cannot say.
int ListRowCount(HWND list);

// Compares two texts as the sorted list orders its rows: CompareStringW in the
// list's own locale (LB_GETLOCALE), without regard to case. Negative when a
// sorts before b, 0 when the list holds them as equal, positive after. A
// comparison that fails counts as "before", as it does in the list.
int CompareAsListSorts(HWND list, const wchar_t* a, const wchar_t* b);
