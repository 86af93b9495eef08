// The kinds of codecs the load check lists, and how the child checks each:
// the one place where a kind is added. A kind names the interface its object
// must answer and the procedure the child follows for it; several kinds may
// share a procedure (the three COM kinds do), and one class may be
// registered as several kinds at once (Wine's decoders are DMOs and Media
// Foundation transforms under one class id).
#pragma once
#include "../base/win_headers.h"

enum LoadKind {
    LoadKindFilter,     // an Instance entry of a DirectShow filter category
    LoadKindDmo,        // DirectShow\MediaObjects
    LoadKindTransform,  // MediaFoundation\Transforms
    kLoadKindCount
};

// A set of kinds: bit (1 << kind) for each.
using LoadKinds = unsigned;
constexpr LoadKinds KindBit(LoadKind kind) { return 1u << kind; }

// What the child does with a codec (load_child.h).
enum LoadProcedure {
    // LoadLibraryEx, DllGetClassObject for IClassFactory, CreateInstance for
    // IUnknown, QueryInterface for each kind's interface.
    LoadComClass,
    kLoadProcedureCount
};

struct LoadKindInfo {
    const wchar_t* title;          // "фильтр DirectShow", "DMO", "Media Foundation"
    LoadProcedure procedure;
    const IID* interfaceId;        // what the object must answer
    const wchar_t* interfaceName;  // "IBaseFilter"
};

extern const LoadKindInfo kLoadKinds[kLoadKindCount];

// The kinds' titles joined, "DMO, Media Foundation", into text (capacity characters).
void NameKinds(LoadKinds kinds, wchar_t* text, std::size_t capacity);
