// Where the preferred decoders of one media framework are kept and what can
// be chosen for them: the key of preferred values, the handlers a subtype
// can be given (candidates), and how a handler is named and found on disk.
// The dialogs of the preferred decoders work on any such source.
#pragma once
#include "../base/app_state.h"
#include "../base/scoped.h"
#include "../registry/preference_values.h"

#include <cstdint>

// One handler that takes the subtype as its input.
struct DecoderCandidate {
    wchar_t name[kNameCapacity];
    std::uint32_t merit;
    bool anyFormat;  // registered for any subtype of the subtype's major type
    wchar_t file[kNameCapacity];
    wchar_t classId[kPreferenceTextCapacity];
};
using DecoderCandidates = HeapArray<DecoderCandidate>;

struct DecoderSource {
    const wchar_t* keyPath;  // under HKEY_LOCAL_MACHINE
    // The candidates for subtype in the view, highest merit first; those
    // registered for any subtype of its major type after the others.
    void (*listCandidates)(REGSAM view, const GUID& subtype, DecoderCandidates& out);
    // The handler's registered name in the view (false: not registered) and
    // its server file as that width sees it ("файл не найден" where it cannot
    // be found), each into kNameCapacity characters.
    bool (*nameHandler)(REGSAM view, const wchar_t* classId, wchar_t* name);
    void (*describeFile)(REGSAM view, const wchar_t* classId, wchar_t* file);
};

// DirectShow's: HKLM\SOFTWARE\Microsoft\DirectShow\Preferred; the filters
// whose FilterData registers an input pin for the subtype and the DMOs whose
// InputTypes name it.
extern const DecoderSource kDirectShowDecoders;

// Media Foundation's: HKLM\SOFTWARE\Classes\MediaFoundation\Transforms\Preferred;
// the decoders (video and audio decoder categories) whose InputTypes name the
// subtype, read from their transform keys, by name (transforms have no merit
// in the registry). Nothing is activated.
extern const DecoderSource kMediaFoundationDecoders;

// Adds the candidate to out unless its class id is no GUID's text (Windows
// takes no other as a preferred decoder: such a candidate is never offered,
// nor written) or out lists that class id already.
void OfferCandidate(DecoderCandidates& out, const DecoderCandidate& candidate);

// A handler's server file as the view's width sees it, or "файл не найден"
// (kNameCapacity characters): the class key's InprocServer32.
void DescribeHandlerFile(REGSAM view, const wchar_t* classId, wchar_t* file);

// The key of the source in the view.
inline PreferenceKey SourceKey(const DecoderSource& source, REGSAM view) {
    return PreferenceKey{HKEY_LOCAL_MACHINE, source.keyPath, view};
}
