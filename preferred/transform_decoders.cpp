// Media Foundation's preferred decoders: the transforms of the video and
// audio decoder categories whose InputTypes name a subtype, read from their
// keys in one registry view. Only the registry is read: no transform is
// activated, and no registry link among them is gone through.
#include "../base/bounded_text.h"
#include "../catalogue/playback_preferences.h"
#include "../catalogue/registry_text.h"
#include "../catalogue/view_registry.h"
#include "../transforms/transform_categories.h"
#include "../transforms/transform_list.h"
#include "../transforms/transform_types.h"
#include "decoder_source.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int kDecoderCategories = 2;  // kTransformCategories' video and audio decoders come first
constexpr DWORD kPairBytes = 2 * sizeof(GUID);

// Whether the transform key's InputTypes, when whole and REG_BINARY, pair
// some major type with the subtype.
bool TakesSubtype(HKEY transform, const GUID& subtype) {
    DWORD type = REG_NONE;
    DWORD bytes = 0;
    if (RegQueryValueExW(transform, L"InputTypes", nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS ||
        type != REG_BINARY || !TypeListIsWhole(bytes) || bytes == 0) {
        return false;
    }
    HeapBuffer data;
    if (!data.Reserve(bytes)) return false;
    DWORD read = bytes;
    if (RegQueryValueExW(transform, L"InputTypes", nullptr, &type, data.Get(), &read) != ERROR_SUCCESS ||
        read != bytes) {
        return false;
    }
    for (DWORD at = 0; at + kPairBytes <= bytes; at += kPairBytes) {
        GUID pairSubtype;
        std::memcpy(&pairSubtype, data.Get() + at + sizeof(GUID), sizeof(GUID));
        if (IsEqualGUID(pairSubtype, subtype)) return true;
    }
    return false;
}

void ListCandidates(REGSAM view, const GUID& subtype, DecoderCandidates& out) {
    out.Clear();
    RegKey foundation, transforms, categories;
    if (!OpenReportKey(foundation, HKEY_CLASSES_ROOT, L"MediaFoundation", view) ||
        !OpenReportKey(transforms, foundation.Get(), L"Transforms", view) ||
        !OpenReportKey(categories, transforms.Get(), L"Categories", view)) {
        return;
    }
    for (int category = 0; category < kDecoderCategories; ++category) {
        wchar_t categoryName[40];
        TransformKeyName(*kTransformCategories[category].id, categoryName);
        RegKey entries;
        if (!OpenReportKey(entries, categories.Get(), categoryName, view)) continue;
        ForEachSubkeyName(entries.Get(), [&](const wchar_t* keyName) {
            // Only a class id names a transform's key; a key of the Transforms
            // key's own ("Categories", "Preferred") never stands for one.
            GUID id;
            RegKey transform;
            if (!ParseTransformKeyName(keyName, &id) || !OpenReportKey(transform, transforms.Get(), keyName, view) ||
                !TakesSubtype(transform.Get(), subtype)) {
                return false;
            }
            DecoderCandidate candidate = {};
            StringFromGUID2(id, candidate.classId, kPreferenceTextCapacity);
            ReadReportText(transform.Get(), nullptr, candidate.name, kNameCapacity);
            DescribeHandlerFile(view, candidate.classId, candidate.file);
            OfferCandidate(out, candidate);
            return false;
        });
    }
    std::stable_sort(out.Data(), out.Data() + out.Count(), [](const DecoderCandidate& a, const DecoderCandidate& b) {
        return lstrcmpiW(a.name, b.name) < 0;
    });
}

bool NameHandler(REGSAM view, const wchar_t* classId, wchar_t* name) {
    return ReadTransformName(view, classId, name, kNameCapacity);
}

}  // namespace

const DecoderSource kMediaFoundationDecoders = {kPreferredTransformsPath, ListCandidates, NameHandler,
                                                DescribeHandlerFile};
