#include "system_filters.h"

#include "../base/win_headers.h"

#include <cwchar>

namespace {

bool ContainsBoth(const wchar_t* name, const wchar_t* first, const wchar_t* second) {
    return std::wcsstr(name, first) != nullptr && std::wcsstr(name, second) != nullptr;
}

// Whole names compared without regard to case, in the order they are tested.
const wchar_t* const kSystemFilterNames[] = {
    L"File Source (Async.)",
    L"File Writer",
    L"Infinite Pin Tee Filter",
    L"9x8Resize",
    L"Allocator Fix",
    L"AVI Draw",
    L"Bitmap Generate",
    L"Color Space Converter",
    L"File Stream Renderer",
    L"Frame Eater",
    L"Internal Script Command Renderer",
    L"Multi-file Parser",
    L"Null Renderer",
    L"SampleGrabber",
    L"Microsoft MPEG-4 Video Decompressor",
};

}  // namespace

bool IsSystemFilterName(const wchar_t* name) {
    // The three pair rules respect letter case.
    if (ContainsBoth(name, L"ASF", L"Handler")) return true;
    if (ContainsBoth(name, L"ASX", L"Parser")) return true;
    if (ContainsBoth(name, L"File Source", L"URL")) return true;
    for (const wchar_t* systemName : kSystemFilterNames) {
        if (lstrcmpiW(name, systemName) == 0) return true;
    }
    return false;
}
