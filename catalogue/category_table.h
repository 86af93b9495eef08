// The five fixed filter categories offered in the category combobox.
// Combobox row i is table row i.
#pragma once
#include "../base/win_headers.h"

#include <cstddef>

struct CategoryEntry {
    const wchar_t* displayName;      // shown in the combobox
    const GUID* enumCategory;        // handed to the System Device Enumerator
    const wchar_t* registryCategory; // braced GUID text of the Instance key that holds the registrations
};

constexpr std::size_t kCategoryCount = 5;
constexpr int kDefaultCategoryRow = 2;  // "DirectShow Filters "

extern const CategoryEntry CategoryTable[kCategoryCount];

// The legacy filter category in registry form, used when no combobox row is selected.
extern const wchar_t kDefaultRegistryCategory[];

// Builds "CLSID\" + category text + "\Instance\" into out (capacity 500).
void BuildInstanceKeyPath(wchar_t* out, std::size_t capacity, const wchar_t* categoryText);

// Several rows keep their registrations under one Instance key (the legacy
// filter category's): the first table row whose registryCategory is that of
// row, so that a walk over every Instance key takes each key once.
std::size_t FirstRowWithInstanceKey(std::size_t row);
