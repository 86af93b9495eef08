// The category combobox of the main window: its rows, one per category of
// the table, and which category its selection stands for.
#pragma once
#include "../base/win_headers.h"

// Fills the combobox with the display names of the category table, in order.
void FillCategoryCombo();

// The registry category of the combobox's selected row, or the default
// category text when no row (or no valid row) is selected.
const wchar_t* SelectedRegistryCategory();

// The combobox's selected row, or -1 (CB_ERR) when none is selected.
int SelectedCategoryRow();
// Puts the combobox back on row, refilling the list for it, when another row
// (or none) is selected; nothing otherwise.
void RestoreCategoryRow(int row);
