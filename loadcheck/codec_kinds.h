// The kinds of codecs the load check lists, and how the child checks each:
// the one place where a kind is added. A kind names the interface its object
// must answer and the procedure the child follows for it; several kinds may
// share a procedure (the three COM kinds do, and so do the two kinds of
// multimedia drivers), and one class may be registered as several kinds at
// once (Wine's decoders are DMOs and Media Foundation transforms under one
// class id).
#pragma once
#include "../base/win_headers.h"

enum LoadKind {
    LoadKindFilter,     // an Instance entry of a DirectShow filter category
    LoadKindDmo,        // DirectShow\MediaObjects
    LoadKindTransform,  // MediaFoundation\Transforms
    LoadKindVfw,        // a "vidc."/"vids." value of Drivers32 (or of system.ini's [drivers32])
    LoadKindAcm,        // a "msacm." value of Drivers32 (or of system.ini's [drivers32])
    // Explorer's handlers of media files (shell_handlers.h), one kind per
    // kind of handler, in the order of ShellKind.
    LoadKindShellThumbnail,
    LoadKindShellExtractImage,
    LoadKindShellPreview,
    LoadKindShellProperty,
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
    // LoadLibraryEx, DriverProc, and the driver opened as the system opens
    // it: DRV_LOAD, DRV_ENABLE and DRV_OPEN with the description ICOpen (in
    // query mode, for the codec's FOURCC) or the audio compression manager
    // (for the value's name as the driver's alias) hands it, then its
    // details asked for (ICM_GETINFO, ACMDM_DRIVER_DETAILS) and the driver
    // closed.
    LoadDriver,
    // An Explorer handler driven with a file as Explorer drives it: made as
    // a COM class, initialised with the file (IInitializeWithStream over a
    // read-only stream, else IInitializeWithFile, else IInitializeWithItem;
    // IPersistFile::Load for an image extractor), then asked for a thumbnail
    // of 256 pixels or every property; a preview handler is only initialised.
    LoadShellFile,
    kLoadProcedureCount
};

struct LoadKindInfo {
    const wchar_t* title;          // "фильтр DirectShow", "DMO", "Media Foundation", "кодек VfW", "кодек ACM"
    LoadProcedure procedure;
    const IID* interfaceId;        // what the object must answer (the COM kinds)
    const wchar_t* interfaceName;  // "IBaseFilter"
};

// The kinds that are multimedia drivers, named by a value rather than a class.
constexpr LoadKinds kDriverKinds = KindBit(LoadKindVfw) | KindBit(LoadKindAcm);
// The kinds of Explorer's handlers.
constexpr LoadKinds kShellHandlerKinds = KindBit(LoadKindShellThumbnail) | KindBit(LoadKindShellExtractImage) |
                                         KindBit(LoadKindShellPreview) | KindBit(LoadKindShellProperty);

extern const LoadKindInfo kLoadKinds[kLoadKindCount];

// The kinds' titles joined, "DMO, Media Foundation", each once, into text (capacity characters).
void NameKinds(LoadKinds kinds, wchar_t* text, std::size_t capacity);
