#include "transform_enumeration.h"

#include "../base/scoped.h"

#include <mfapi.h>
#include <mftransform.h>

namespace {

using EnumFunction = HRESULT(WINAPI*)(GUID, UINT32, const MFT_REGISTER_TYPE_INFO*, const MFT_REGISTER_TYPE_INFO*,
                                      IMFActivate***, UINT32*);
using StartupFunction = HRESULT(WINAPI*)(ULONG, DWORD);
using ShutdownFunction = HRESULT(WINAPI*)();

// mfplat.dll from the system folder, loaded for the call only: the program
// must start where Media Foundation is missing.
class MediaFoundationLibrary {
public:
    MediaFoundationLibrary() : module_(LoadLibraryExW(L"mfplat.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {}
    ~MediaFoundationLibrary() {
        if (module_) FreeLibrary(module_);
    }
    MediaFoundationLibrary(const MediaFoundationLibrary&) = delete;
    MediaFoundationLibrary& operator=(const MediaFoundationLibrary&) = delete;

    template <typename Function>
    Function Find(const char* name) const {
        return module_ ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module_, name))) : nullptr;
    }

private:
    HMODULE module_;
};

}  // namespace

void EnumerateTransforms(const GUID* const* categories, int count,
                         const std::function<void(int category, IMFAttributes* const* objects, unsigned count)>& visit) {
    const MediaFoundationLibrary library;
    const auto enumerate = library.Find<EnumFunction>("MFTEnumEx");
    const auto startup = library.Find<StartupFunction>("MFStartup");
    const auto shutdown = library.Find<ShutdownFunction>("MFShutdown");
    if (!enumerate || !startup || !shutdown || FAILED(startup(MF_VERSION, MFSTARTUP_LITE))) return;
    for (int category = 0; category < count; ++category) {
        IMFActivate** objects = nullptr;
        UINT32 found = 0;
        if (FAILED(enumerate(*categories[category], MFT_ENUM_FLAG_ALL, nullptr, nullptr, &objects, &found)) ||
            !objects) {
            continue;
        }
        // An activation object is an attribute store: only that side of it is used.
        HeapBuffer stores;
        if (stores.Reserve((found + 1) * sizeof(IMFAttributes*))) {
            auto* attributes = reinterpret_cast<IMFAttributes**>(stores.Get());
            for (UINT32 i = 0; i < found; ++i) attributes[i] = objects[i];
            visit(category, attributes, found);
        }
        for (UINT32 i = 0; i < found; ++i) {
            if (objects[i]) objects[i]->Release();
        }
        CoTaskMemFree(objects);
    }
    shutdown();
}
