// Walking the filters that DirectShow enumerates as monikers, and reading the
// friendly name behind each.
#pragma once
#include "../base/scoped.h"

// The System Device Enumerator's monikers of a category. E_ABORT where the
// walk guard refuses the walk here (walk_guard.h); a failure to create
// the enumerator is returned; otherwise S_OK, with monikers left empty when
// the category has no class enumerator (an empty category answers S_FALSE).
HRESULT OpenCategoryMonikers(const GUID& category, ComPtr<IEnumMoniker>& monikers);

// Calls visit(moniker) for each moniker the enumerator yields, until one call
// returns true or the enumerator has no more. Returns whether a visit stopped it.
template <typename Visitor>
bool ForEachMoniker(IEnumMoniker* monikers, Visitor&& visit) {
    for (;;) {
        ComPtr<IMoniker> moniker;
        if (monikers->Next(1, moniker.Put(), nullptr) != S_OK || !moniker) return false;
        if (visit(moniker.Get())) return true;
    }
}

// The property bag behind a moniker; false when it cannot be bound.
bool BindPropertyBag(IMoniker* moniker, ComPtr<IPropertyBag>& bag);

// Reads the bag's FriendlyName into name, asking for the type `requested`.
// Gives the text, or nullptr when it cannot be read or is stored as anything
// but text (a number is never used as a text pointer).
const wchar_t* ReadFriendlyName(IPropertyBag* bag, ScopedVariant& name, VARTYPE requested = VT_EMPTY);

// Both of the above for one moniker.
const wchar_t* ReadFriendlyName(IMoniker* moniker, ScopedVariant& name);

// The moniker's display name, allocated with CoTaskMemAlloc (the caller frees
// it), or null.
wchar_t* MonikerDisplayName(IMoniker* moniker);
