// The category combobox and the filter list, filled from the System Device Enumerator.
#pragma once
#include "../base/win_headers.h"

#include <cstdint>

void RefreshFilterList();
HRESULT EnumerateCategory(GUID category);

// How many times the list has been emptied and filled since the program
// started: a long job (the scan) sees by it that the list was refilled under it.
std::uint32_t FilterListFillCount();
