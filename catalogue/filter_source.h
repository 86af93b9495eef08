// Where a row of the device enumerator's lists comes from, as its moniker
// says. Besides the DirectShow filters registered under a category's
// Instance key ("@device:sw:"), the enumerator lists codecs that the system
// keeps elsewhere: the ACM audio codecs and the Video for Windows codecs
// (through the class manager), and the DMOs (through DirectShow\MediaObjects).
// Such a row has no Instance entry and is no broken filter.
#pragma once
#include "../base/win_headers.h"

#include <cstddef>

enum FilterSource {
    SourceDirectShow,  // "@device:sw:{category}\<Instance entry>": a filter of the category's Instance key
    SourceAcm,         // "@device:cm:{audio compressor category}\..."
    SourceVfw,         // "@device:cm:{video compressor category}\..."
    SourceDmo,         // "@device:dmo:{class id}{category}"
    SourceOther,       // any other moniker: a device, a class manager's category of another kind
};

// Room for what a moniker names: an Instance entry's name (at most 255
// characters) or a DMO's braced class id.
constexpr std::size_t kMonikerIdCapacity = 256;

// The source that the moniker's display name tells. For a DirectShow filter
// the name of its Instance entry (in the category's key, as the enumerator
// read it), for a DMO its class id, braced, for an ACM or Video for Windows
// codec the name its class manager gives it (a video codec's FOURCC) go to
// id; otherwise the empty text.
FilterSource ClassifyFilterMoniker(IMoniker* moniker, wchar_t (&id)[kMonikerIdCapacity]);

// The same from a display name.
FilterSource ClassifyDisplayName(const wchar_t* displayName, wchar_t (&id)[kMonikerIdCapacity]);
