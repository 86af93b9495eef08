// The category combobox and the filter list, filled from the System Device Enumerator.
#pragma once
#include "../base/win_headers.h"

#include <cstdint>
#include <functional>

void RefreshFilterList();
HRESULT EnumerateCategory(GUID category);

// Adds to list the friendly name of each filter the System Device Enumerator
// lists for category, leaving out system filter names when hideSystemFilters
// is set; the filter list is filled by it, and so is any list that must show
// the same rows. Returns the failed status when the enumerator cannot be made,
// E_ABORT where the walk guard refuses the walk. A compressor category's rows
// are those the guard's child walked, where it gives them. With itemData,
// each added row gets the value it gives for the row's moniker display name
// (LB_SETITEMDATA).
HRESULT AddCategoryNames(HWND list, GUID category, bool hideSystemFilters,
                         const std::function<LPARAM(const wchar_t* displayName)>& itemData = {});

// How many times the list has been emptied and filled since the program
// started: a long job (the scan) sees by it that the list was refilled under it.
std::uint32_t FilterListFillCount();
