// DirectShow's preferred decoders: the filters and DMOs a subtype can be
// given, read from their registrations in one registry view. No FilterData
// is handed to the runtime's parser: each is checked and walked here, and a
// damaged one makes its filter no candidate.
#include "../base/bounded_text.h"
#include "../base/growing_text.h"
#include "../catalogue/category_table.h"
#include "../catalogue/filter_data.h"
#include "../catalogue/playback_preferences.h"
#include "../catalogue/registry_text.h"
#include "../catalogue/view_registry.h"
#include "../catalogue/server_file_facts.h"
#include "decoder_source.h"

#include <algorithm>
#include <cstring>
#include <cwchar>

namespace {

// The merit the system's device enumerator gives every DMO it lists as a filter.
constexpr std::uint32_t kDmoMerit = 0x00600800;
constexpr int kMostMajorTypes = 4;  // null-subtype input types kept per filter

const GUID kMediaTypeVideo = {0x73646976, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
const GUID kMediaTypeAudio = {0x73647561, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};

// A filter found in an Instance key (which of the keys walked, and where its
// entry's name starts among the names kept): whether an input pin takes the
// subtype itself, and the major types its pins take with any subtype. Its
// names are read only once it is known to be a candidate: a machine has many
// filters of any video subtype, few of them an audio format's, so a match is
// kept small.
struct FilterMatch {
    std::size_t nameAt;
    std::uint32_t merit;
    std::uint8_t instance;
    bool exact;
    std::uint8_t majorCount;
    GUID majors[kMostMajorTypes];
};

// The matches of a walk, and the names of their entries one after the other,
// each with its terminator.
struct FilterMatches {
    HeapArray<FilterMatch> found;
    GrowingText names;
    wchar_t instancePaths[kCategoryCount][kNameCapacity];
};

// The major type the subtype goes with: any a registration pairs it with,
// else, for a subtype built from a code, audio for a wave format tag and
// video for a four-character code.
struct MajorTypes {
    int count = 0;
    GUID types[kMostMajorTypes];
    void Add(const GUID& major) {
        for (int i = 0; i < count; ++i) {
            if (IsEqualGUID(types[i], major)) return;
        }
        if (count < kMostMajorTypes) types[count++] = major;
    }
    bool Holds(const GUID& major) const {
        for (int i = 0; i < count; ++i) {
            if (IsEqualGUID(types[i], major)) return true;
        }
        return false;
    }
};

// Opens parent\path for reading in the view. Only read here: a registry link
// among the registrations is read through as the system's own walk reads it.
bool OpenInView(RegKey& key, HKEY parent, const wchar_t* path, REGSAM view) {
    return RegOpenKeyExW(parent, path, 0, KEY_READ | view, key.Put()) == ERROR_SUCCESS;
}

void GuessMajorType(const GUID& subtype, MajorTypes& majors) {
    if (majors.count > 0) return;
    if (subtype.Data2 != 0x0000 || subtype.Data3 != 0x0010) return;
    majors.Add(subtype.Data1 <= 0xFFFF ? kMediaTypeAudio : kMediaTypeVideo);
}

// Calls visit(instanceKey, row) for each Instance key of the categories once,
// in the view; its path is kept in paths[row].
template <typename Visitor>
void ForEachInstanceKey(REGSAM view, wchar_t (&paths)[kCategoryCount][kNameCapacity], Visitor&& visit) {
    for (std::size_t row = 0; row < kCategoryCount; ++row) {
        if (FirstRowWithInstanceKey(row) != row) continue;
        wchar_t* path = paths[row];
        BuildInstanceKeyPath(path, kNameCapacity, CategoryTable[row].registryCategory);
        path[lstrlenW(path) - 1] = L'\0';  // without its trailing backslash
        RegKey instance;
        if (OpenInView(instance, HKEY_CLASSES_ROOT, path, view)) visit(instance.Get(), row);
    }
}

void CollectFilters(REGSAM view, const GUID& subtype, FilterMatches& matches, MajorTypes& majors) {
    ForEachInstanceKey(view, matches.instancePaths, [&](HKEY instance, std::size_t row) {
        ForEachSubkeyName(instance, [&](const wchar_t* entryName) {
            RegKey entry;
            if (!OpenInView(entry, instance, entryName, view)) return false;
            FilterMatch match = {};
            const FilterDataVerdict verdict =
                ForEachEntryInputType(entry.Get(), &match.merit, [&](const GUID& major, const GUID& minor) {
                    if (IsEqualGUID(minor, subtype)) {
                        match.exact = true;
                        majors.Add(major);
                    } else if (IsEqualGUID(minor, GUID_NULL) && match.majorCount < kMostMajorTypes) {
                        match.majors[match.majorCount++] = major;
                    }
                });
            if (verdict != FilterDataSound || (!match.exact && match.majorCount == 0)) return false;
            match.instance = static_cast<std::uint8_t>(row);
            match.nameAt = matches.names.length;
            AppendChars(matches.names, entryName, std::wcslen(entryName) + 1);
            if (!matches.names.failed) matches.found.Append(match);
            return false;
        });
    });
}

void CollectDmos(REGSAM view, const GUID& subtype, DecoderCandidates& out, MajorTypes& majors) {
    RegKey objects;
    if (!OpenInView(objects, HKEY_CLASSES_ROOT, L"DirectShow\\MediaObjects", view)) return;
    ForEachSubkeyName(objects.Get(), [&](const wchar_t* id) {
        if (lstrcmpiW(id, L"Categories") == 0) return false;
        RegKey object;
        if (!OpenInView(object, objects.Get(), id, view)) return false;
        BYTE types[64 * sizeof(GUID)];
        DWORD size = sizeof(types);
        DWORD type = REG_NONE;
        if (RegQueryValueExW(object.Get(), L"InputTypes", nullptr, &type, types, &size) != ERROR_SUCCESS ||
            type != REG_BINARY) {
            return false;
        }
        bool named = false;
        for (DWORD at = 0; at + 2 * sizeof(GUID) <= size; at += 2 * sizeof(GUID)) {
            GUID major, minor;
            std::memcpy(&major, types + at, sizeof(GUID));
            std::memcpy(&minor, types + at + sizeof(GUID), sizeof(GUID));
            if (IsEqualGUID(minor, subtype)) {
                named = true;
                majors.Add(major);
            }
        }
        if (!named) return false;
        DecoderCandidate candidate = {};
        FormatText(candidate.classId, kPreferenceTextCapacity, L"{%ls}", id);
        ReadReportText(object.Get(), nullptr, candidate.name, kNameCapacity);
        candidate.merit = kDmoMerit;
        OfferCandidate(out, candidate);
        return false;
    });
}

void ListCandidates(REGSAM view, const GUID& subtype, DecoderCandidates& out) {
    out.Clear();
    FilterMatches matches;
    MajorTypes majors;
    CollectFilters(view, subtype, matches, majors);
    DecoderCandidates dmos;
    CollectDmos(view, subtype, dmos, majors);
    GuessMajorType(subtype, majors);
    for (SIZE_T i = 0; i < matches.found.Count(); ++i) {
        const FilterMatch& match = matches.found[i];
        bool takesMajor = match.exact;
        for (int m = 0; m < match.majorCount; ++m) takesMajor = takesMajor || majors.Holds(match.majors[m]);
        if (!takesMajor) continue;
        const wchar_t* entryName = TextChars(matches.names) + match.nameAt;
        wchar_t entryPath[kNameCapacity];
        RegKey entry;
        if (!JoinText(entryPath, kNameCapacity, matches.instancePaths[match.instance], L"\\", entryName) ||
            !OpenInView(entry, HKEY_CLASSES_ROOT, entryPath, view)) {
            continue;
        }
        DecoderCandidate candidate = {};
        candidate.merit = match.merit;
        candidate.anyFormat = !match.exact;
        if (!ReadReportText(entry.Get(), L"CLSID", candidate.classId, kPreferenceTextCapacity)) {
            // An entry without one is named by its class id, as the mapper names it.
            CopyText(candidate.classId, kPreferenceTextCapacity, entryName);
        }
        ReadReportText(entry.Get(), L"FriendlyName", candidate.name, kNameCapacity);
        OfferCandidate(out, candidate);
    }
    for (SIZE_T i = 0; i < dmos.Count(); ++i) OfferCandidate(out, dmos[i]);
    for (SIZE_T i = 0; i < out.Count(); ++i) DescribeHandlerFile(view, out[i].classId, out[i].file);
    std::stable_sort(out.Data(), out.Data() + out.Count(), [](const DecoderCandidate& a, const DecoderCandidate& b) {
        if (a.anyFormat != b.anyFormat) return !a.anyFormat;
        return a.merit > b.merit;
    });
}

bool NameHandler(REGSAM view, const wchar_t* classId, wchar_t* name) {
    name[0] = L'\0';
    if (!IsUsableClassId(classId)) return false;
    // Its filter entry, named by the class id as the filter mapper names it:
    // in the legacy filter category first, where nearly every filter is.
    for (std::size_t i = 0; i <= kCategoryCount; ++i) {
        const wchar_t* category = i == 0 ? kDefaultRegistryCategory : CategoryTable[i - 1].registryCategory;
        if (i > 0 && (FirstRowWithInstanceKey(i - 1) != i - 1 || lstrcmpiW(category, kDefaultRegistryCategory) == 0)) {
            continue;
        }
        wchar_t path[kNameCapacity];
        BuildInstanceKeyPath(path, kNameCapacity, category);
        AppendText(path, kNameCapacity, classId);
        RegKey entry;
        if (OpenInView(entry, HKEY_CLASSES_ROOT, path, view) &&
            ReadReportText(entry.Get(), L"FriendlyName", name, kNameCapacity) && name[0] != L'\0') {
            return true;
        }
    }
    // Its DMO registration, named by the class id without braces.
    const std::size_t length = std::wcslen(classId);
    if (length > 2 && classId[0] == L'{' && classId[length - 1] == L'}') {
        wchar_t path[kNameCapacity];
        FormatText(path, kNameCapacity, L"DirectShow\\MediaObjects\\%.*ls", static_cast<int>(length - 2), classId + 1);
        RegKey object;
        if (OpenInView(object, HKEY_CLASSES_ROOT, path, view) && ReadReportText(object.Get(), nullptr, name, kNameCapacity) &&
            name[0] != L'\0') {
            return true;
        }
    }
    // Its class key alone.
    wchar_t serverPath[kNameCapacity];
    if (!ReadClassFacts(view, classId, name, serverPath, kNameCapacity)) return false;
    if (name[0] == L'\0') CopyText(name, kNameCapacity, L"(без имени)");
    return true;
}

}  // namespace

void OfferCandidate(DecoderCandidates& out, const DecoderCandidate& candidate) {
    if (!IsGuidText(candidate.classId)) return;
    for (SIZE_T i = 0; i < out.Count(); ++i) {
        if (lstrcmpiW(out[i].classId, candidate.classId) == 0) return;
    }
    out.Append(candidate);
}

void DescribeHandlerFile(REGSAM view, const wchar_t* classId, wchar_t* file) {
    wchar_t objectName[kNameCapacity];
    wchar_t serverPath[kNameCapacity];
    if (ReadClassFacts(view, classId, objectName, serverPath, kNameCapacity) && serverPath[0] != L'\0' &&
        ServerFileFoundInView(view, serverPath)) {
        CopyText(file, kNameCapacity, serverPath);
    } else {
        CopyText(file, kNameCapacity, L"файл не найден");
    }
}

const DecoderSource kDirectShowDecoders = {kPreferredFiltersPath, ListCandidates, NameHandler, DescribeHandlerFile};
