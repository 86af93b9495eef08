#include "transform_enumeration.h"

#include <mfapi.h>

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

void AddEnumeratedTransforms(const GUID& category, TransformList& list) {
    const MediaFoundationLibrary library;
    const auto enumerate = library.Find<EnumFunction>("MFTEnumEx");
    const auto startup = library.Find<StartupFunction>("MFStartup");
    const auto shutdown = library.Find<ShutdownFunction>("MFShutdown");
    if (!enumerate || !startup || !shutdown || FAILED(startup(MF_VERSION, MFSTARTUP_LITE))) return;
    IMFActivate** objects = nullptr;
    UINT32 count = 0;
    if (SUCCEEDED(enumerate(category, MFT_ENUM_FLAG_ALL, nullptr, nullptr, &objects, &count)) && objects) {
        for (UINT32 i = 0; i < count; ++i) {
            // An activation object is an attribute store: only that side of it is used.
            IMFAttributes* attributes = objects[i];
            AddPackagedTransforms(list, &attributes, 1);
            if (objects[i]) objects[i]->Release();
        }
        CoTaskMemFree(objects);
    }
    shutdown();
}
