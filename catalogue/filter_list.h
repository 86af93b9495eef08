// The category combobox and the filter list, filled from the System Device Enumerator.
#pragma once
#include "../app/utils/win_headers.h"

void RefreshFilterList();
HRESULT EnumerateCategory(GUID category);
