// The codecs the load check takes, read from one registry view: every class
// registered as a DirectShow filter (the Instance entries of the five
// categories and of every category that the category of categories names;
// not every Instance key under CLSID, which other components use for things
// that are no codecs), as a DMO (DirectShow\MediaObjects) or as a Media
// Foundation transform (MediaFoundation\Transforms), once per class id, with
// the server file its class key names. Read only, and read as COM and the
// device enumerator read these keys when a program makes a codec: a registry
// link on the way is gone through, as they go through it.
#pragma once
#include "../base/app_state.h"
#include "../base/scoped.h"
#include "codec_kinds.h"

// What the check found for a codec.
enum LoadOutcome {
    OutcomeUnchecked,  // not checked (yet, or the check was stopped first)
    OutcomeLoads,      // "загружается"
    OutcomeFails,      // a step failed: result says which and why
    OutcomeNotLoaded,  // the other width's codec, whose files are sound: only its build loads it
};

struct LoadCodec {
    GUID classGuid;
    wchar_t classId[40];          // "{...}" as the system writes it
    wchar_t name[kNameCapacity];  // its registered name (the first kind's), else the class key's, else the class id
    LoadKinds kinds;
    bool classKeyFound;
    // The server file with its variables expanded and a bare name located,
    // as the view's programs name it; empty when the class key names none.
    wchar_t file[kNameCapacity];
    bool fileLocated;  // false: a bare name found nowhere, or a path too long to expand
    LoadOutcome outcome;
    wchar_t result[kNameCapacity];
    wchar_t note[kNameCapacity];  // the delay-loaded DLLs not found, shown after the result
};

using LoadCodecList = HeapArray<LoadCodec>;

class DllSearch;

// Reads the view's codecs into codecs (emptied first), in the order found:
// filters, then DMOs, then transforms. search locates bare server names.
void ReadCodecInventory(REGSAM view, const DllSearch& search, LoadCodecList& codecs);

// The Media Foundation category (an index into kTransformCategories) whose
// entries hold the class in the view, or -1.
int FindTransformCategory(REGSAM view, const GUID& classId);
