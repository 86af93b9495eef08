// The platform's own enumeration of Media Foundation transforms (MFTEnumEx
// with every flag), which also knows the decoders that Windows packages
// install outside the registry. Only the activation objects' attributes are
// read; none is ever activated, so no codec is loaded.
#pragma once
#include "transform_list.h"

// Adds to list, as "пакет Windows", the category's transforms that the
// enumeration returns and the list does not hold. Nothing happens where
// Media Foundation is not installed (Windows N without its media pack).
void AddEnumeratedTransforms(const GUID& category, TransformList& list);
