// The kinds of Media Foundation transforms, as the dialog and the report list
// them, and how the registry names each kind's key.
#pragma once
#include "../base/win_headers.h"

struct TransformCategory {
    const wchar_t* title;  // "Видеодекодеры", ...
    const GUID* id;        // an MFT_CATEGORY_* GUID
};

constexpr int kTransformCategoryCount = 10;
extern const TransformCategory kTransformCategories[kTransformCategoryCount];

// A class id or category as the transforms' keys are named: the GUID in
// lower case without braces ("d6c02d4b-6833-45b4-971a-05a4b04bab91").
void TransformKeyName(const GUID& id, wchar_t (&name)[40]);

// Reads a key name that is a class id in any spelling: a GUID with or without
// braces, of either case (ParseClassIdText); false for any other text, which
// then names no class key.
bool ParseTransformKeyName(const wchar_t* name, GUID* id);
