// The category combobox and the filter list, filled from the System Device Enumerator.
#pragma once
#include "../app/win_headers.h"

void FillCategoryCombo();
void RefreshFilterList();
HRESULT EnumerateCategory(GUID category);
