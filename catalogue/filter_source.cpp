#include "filter_source.h"

#include "../base/bounded_text.h"
#include "../base/scoped.h"

#include <cwchar>

namespace {

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

FilterSource ClassifyDisplayName(const wchar_t* displayName, wchar_t (&dmoClassId)[39]) {
    dmoClassId[0] = L'\0';
    GUID guid;
    if (StartsWith(displayName, kClassManagerPrefix)) {
        if (!GuidAt(displayName + std::wcslen(kClassManagerPrefix), &guid)) return SourceDirectShow;
        if (IsEqualGUID(guid, CLSID_AudioCompressorCategory)) return SourceAcm;
        if (IsEqualGUID(guid, CLSID_VideoCompressorCategory)) return SourceVfw;
        return SourceDirectShow;
    }
    if (StartsWith(displayName, kDmoPrefix)) {
        if (!GuidAt(displayName + std::wcslen(kDmoPrefix), &guid)) return SourceDirectShow;
        StringFromGUID2(guid, dmoClassId, 39);
        return SourceDmo;
    }
    return SourceDirectShow;
}

FilterSource ClassifyFilterMoniker(IMoniker* moniker, wchar_t (&dmoClassId)[39]) {
    dmoClassId[0] = L'\0';
    ComPtr<IBindCtx> context;
    if (FAILED(CreateBindCtx(0, context.Put())) || !context) return SourceDirectShow;
    wchar_t* name = nullptr;
    if (FAILED(moniker->GetDisplayName(context.Get(), nullptr, &name)) || !name) return SourceDirectShow;
    CoTaskMem<wchar_t> owned(name);
    return ClassifyDisplayName(name, dmoClassId);
}
