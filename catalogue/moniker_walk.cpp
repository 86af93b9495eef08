#include "moniker_walk.h"

#include "walk_guard.h"

HRESULT OpenCategoryMonikers(const GUID& category, ComPtr<IEnumMoniker>& monikers) {
    if (!PlatformWalkAllowed(&category)) return E_ABORT;
    ComPtr<ICreateDevEnum> devices;
    const HRESULT created = CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                                             IID_ICreateDevEnum, devices.PutVoid());
    if (FAILED(created)) return created;
    if (devices->CreateClassEnumerator(category, monikers.Put(), 0) != S_OK) monikers.Reset();
    return S_OK;
}

bool BindPropertyBag(IMoniker* moniker, ComPtr<IPropertyBag>& bag) {
    return SUCCEEDED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.PutVoid())) && bag;
}

const wchar_t* ReadFriendlyName(IPropertyBag* bag, ScopedVariant& name, VARTYPE requested) {
    VariantClear(name.Get());
    name.Get()->vt = requested;
    if (requested == VT_BSTR) name.Get()->bstrVal = nullptr;
    if (FAILED(bag->Read(L"FriendlyName", name.Get(), nullptr))) return nullptr;
    if (name->vt != VT_BSTR || name->bstrVal == nullptr) return nullptr;
    return name->bstrVal;
}

const wchar_t* ReadFriendlyName(IMoniker* moniker, ScopedVariant& name) {
    ComPtr<IPropertyBag> bag;
    if (!BindPropertyBag(moniker, bag)) return nullptr;
    return ReadFriendlyName(bag.Get(), name);
}

wchar_t* MonikerDisplayName(IMoniker* moniker) {
    ComPtr<IBindCtx> context;
    if (FAILED(CreateBindCtx(0, context.Put())) || !context) return nullptr;
    wchar_t* name = nullptr;
    if (FAILED(moniker->GetDisplayName(context.Get(), nullptr, &name))) return nullptr;
    return name;
}
