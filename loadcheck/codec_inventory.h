// The codecs the load check takes, read from one registry view: every class
// registered as a DirectShow filter (the Instance entries of the five
// categories and of every category that the category of categories names;
// not every Instance key under CLSID, which other components use for things
// that are no codecs), as a DMO (DirectShow\MediaObjects) or as a Media
// Foundation transform (MediaFoundation\Transforms), once per class id, with
// the server file its class key names; then the ACM and Video for Windows
// codecs, each value of Drivers32 (and row of system.ini's [drivers32]) with
// the file the view's programs take for it. Read only, and read as COM and
// the device enumerator read these keys when a program makes a codec: a
// registry link on the way is gone through, as they go through it.
#pragma once
#include "../base/app_state.h"
#include "../base/scoped.h"
#include "../drivercodecs/driver_codecs.h"
#include "codec_kinds.h"

// What the check found for a codec.
enum LoadOutcome {
    OutcomeUnchecked,  // not checked (yet, or the check was stopped first)
    OutcomeLoads,      // "загружается"
    OutcomeFails,      // a step failed: result says which and why
    OutcomeNotLoaded,  // the other width's codec, whose files are sound: only its build loads it
};

struct LoadCodec {
    GUID classGuid;               // GUID_NULL for a driver
    wchar_t classId[40];          // "{...}" as the system writes it; empty for a driver
    wchar_t name[kNameCapacity];  // its registered name (the first kind's), else the class key's, else the class
                                  // id; a driver's value name as a row shows it
    wchar_t driverName[kDriverNameCapacity];  // a driver's value name as the registry holds it, its alias
    LoadKinds kinds;
    bool classKeyFound;
    // The server file with its variables expanded and a bare name located,
    // as the view's programs name it; empty when the class key names none.
    wchar_t file[kNameCapacity];
    bool fileLocated;  // false: a bare name found nowhere, or a path too long to expand
    LoadOutcome outcome;
    wchar_t result[kNameCapacity];
    wchar_t note[kNameCapacity];  // the delay-loaded DLLs not found, shown after the result
    // What an Explorer handler driven with a file made (its R line), once its result counts.
    bool made;
    unsigned long thumbnailWidth, thumbnailHeight;  // 0 0: no thumbnail
    unsigned long propertyCount;                    // ULONG_MAX: not read
};

using LoadCodecList = HeapArray<LoadCodec>;

class DllSearch;

// Which codecs an inventory reads.
enum LoadSources {
    AllCodecSources,         // the COM classes (Explorer's handlers among them) and the drivers
    DriverSourcesOnly,       // the ACM and Video for Windows codecs alone
    ShellHandlerSourcesOnly, // Explorer's handlers alone
};

// Reads the view's codecs into codecs (emptied first), in the order found:
// filters, then DMOs, then transforms, then Explorer's handlers (as
// ReadShellHandlers finds them), then drivers. search locates bare server
// names. With extension, only the handlers Explorer uses for files of that
// extension are read (of ShellHandlerSourcesOnly).
void ReadCodecInventory(REGSAM view, const DllSearch& search, LoadCodecList& codecs,
                        LoadSources sources = AllCodecSources, const wchar_t* extension = nullptr);

// Whether a and b are the same codec: the same class, or the same driver
// (its kind and value name).
bool SameLoadCodec(const LoadCodec& a, const LoadCodec& b);

// Whether the codec is a driver of that kind and value name.
bool IsDriverCodec(const LoadCodec& codec, DriverKind kind, const wchar_t* name);

// The Media Foundation category (an index into kTransformCategories) whose
// entries hold the class in the view, or -1.
int FindTransformCategory(REGSAM view, const GUID& classId);
