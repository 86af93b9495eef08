// Where a row of the device enumerator's lists comes from. Besides the
// DirectShow filters registered under a category's Instance key, the
// enumerator lists codecs that the system keeps elsewhere: the ACM audio
// codecs and the Video for Windows codecs (through the class manager), and
// the DMOs (through DirectShow\MediaObjects). Such a row has no Instance entry
// and is no broken filter.
#pragma once
#include "../base/win_headers.h"

enum FilterSource {
    SourceDirectShow,  // a filter of the category, or one whose moniker says nothing else
    SourceAcm,         // "@device:cm:{audio compressor category}\..."
    SourceVfw,         // "@device:cm:{video compressor category}\..."
    SourceDmo,         // "@device:dmo:{class id}{category}"
};

// The source that the moniker's display name tells; for a DMO its class id,
// braced, goes to dmoClassId (otherwise the empty text).
FilterSource ClassifyFilterMoniker(IMoniker* moniker, wchar_t (&dmoClassId)[39]);

// The same from a display name.
FilterSource ClassifyDisplayName(const wchar_t* displayName, wchar_t (&dmoClassId)[39]);
