#include "filter_source.h"

#include "moniker_walk.h"

#include "../base/bounded_text.h"
#include "../base/scoped.h"

#include <cwchar>

namespace {

const wchar_t kFilterPrefix[] = L"@device:sw:";
const wchar_t kClassManagerPrefix[] = L"@device:cm:";
const wchar_t kDmoPrefix[] = L"@device:dmo:";
constexpr std::size_t kGuidLength = 38;  // "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}"

bool StartsWith(const wchar_t* text, const wchar_t* prefix) {
    return _wcsnicmp(text, prefix, std::wcslen(prefix)) == 0;
}

// The GUID whose braced text starts at text, when one does.
bool GuidAt(const wchar_t* text, GUID* guid) {
    wchar_t braced[kGuidLength + 1];
    if (std::wcslen(text) < kGuidLength || text[0] != L'{' || text[kGuidLength - 1] != L'}') return false;
    wmemcpy(braced, text, kGuidLength);
    braced[kGuidLength] = L'\0';
    return SUCCEEDED(IIDFromString(braced, guid));
}

}  // namespace

FilterSource ClassifyDisplayName(const wchar_t* displayName, wchar_t (&id)[kMonikerIdCapacity]) {
    id[0] = L'\0';
    GUID guid;
    if (StartsWith(displayName, kFilterPrefix)) {
        // "{category}\<entry>": the entry's name is all that follows the separator.
        const wchar_t* category = displayName + std::wcslen(kFilterPrefix);
        if (!GuidAt(category, &guid) || category[kGuidLength] != L'\\' || category[kGuidLength + 1] == L'\0' ||
            std::wcslen(category + kGuidLength + 1) >= kMonikerIdCapacity) {
            return SourceOther;
        }
        CopyText(id, kMonikerIdCapacity, category + kGuidLength + 1);
        return SourceDirectShow;
    }
    if (StartsWith(displayName, kClassManagerPrefix)) {
        const wchar_t* category = displayName + std::wcslen(kClassManagerPrefix);
        if (!GuidAt(category, &guid)) return SourceOther;
        // "{category}\<the codec's name with its class manager>": a Video for
        // Windows codec's is its FOURCC.
        if (category[kGuidLength] == L'\\' && std::wcslen(category + kGuidLength + 1) < kMonikerIdCapacity) {
            CopyText(id, kMonikerIdCapacity, category + kGuidLength + 1);
        }
        if (IsEqualGUID(guid, CLSID_AudioCompressorCategory)) return SourceAcm;
        if (IsEqualGUID(guid, CLSID_VideoCompressorCategory)) return SourceVfw;
        id[0] = L'\0';
        return SourceOther;
    }
    if (StartsWith(displayName, kDmoPrefix)) {
        if (!GuidAt(displayName + std::wcslen(kDmoPrefix), &guid)) return SourceOther;
        StringFromGUID2(guid, id, kMonikerIdCapacity);
        return SourceDmo;
    }
    return SourceOther;
}

FilterSource ClassifyFilterMoniker(IMoniker* moniker, wchar_t (&id)[kMonikerIdCapacity]) {
    id[0] = L'\0';
    const CoTaskMem<wchar_t> name(MonikerDisplayName(moniker));
    return name.Get() ? ClassifyDisplayName(name.Get(), id) : SourceOther;
}
