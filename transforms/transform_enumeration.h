// The platform's own enumeration of Media Foundation transforms (MFTEnumEx
// with every flag), which also knows the decoders that Windows packages
// install outside the registry. Only the activation objects' attributes are
// read; none is ever activated, so no codec is loaded.
#pragma once
#include "../base/win_headers.h"

#include <functional>

struct IMFAttributes;

// Hands visit the activation objects of each category (count of them, by
// index into categories) as attribute stores, released after the call.
// Media Foundation is loaded and started once for all of them; nothing is
// visited where it is not installed (Windows N without its media pack).
void EnumerateTransforms(const GUID* const* categories, int count,
                         const std::function<void(int category, IMFAttributes* const* objects, unsigned count)>& visit);
