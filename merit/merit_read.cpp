#include "../app/app_state.h"
#include "../app/scoped.h"
#include "am_filter_data.h"
#include "merit.h"

namespace {

// The merit word sits after the 4-byte version; shorter records have none.
constexpr ULONG kMeritWordEnd = 8;

// Holds the mapper in filterMapper for the length of one read and clears the
// field again on every way out.
class MapperForRead {
public:
    HRESULT Create() {
        return CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER,
                                IID_IFilterMapper2, reinterpret_cast<void**>(&g_app.filterMapper));
    }
    ~MapperForRead() {
        if (g_app.filterMapper) g_app.filterMapper->Release();
        g_app.filterMapper = nullptr;
    }
};

// True when the moniker's FriendlyName is text equal to selectedName (letter case counts).
bool NameMatches(IPropertyBag* bag) {
    ScopedVariant name;
    name.Get()->vt = VT_BSTR;
    name.Get()->bstrVal = nullptr;
    if (FAILED(bag->Read(L"FriendlyName", name.Get(), nullptr))) return false;
    if (name->vt != VT_BSTR || name->bstrVal == nullptr) return false;
    return lstrcmpW(name->bstrVal, g_app.selectedName) == 0;
}

}  // namespace

std::uint32_t ReadFilterMerit() {
    MapperForRead mapper;
    if (FAILED(mapper.Create()) || !g_app.filterMapper) return 0;

    ComPtr<IEnumMoniker> filters;
    if (FAILED(g_app.filterMapper->EnumMatchingFilters(filters.Put(), 0, FALSE, 1, FALSE, 0, nullptr, nullptr,
                                                         nullptr, FALSE, FALSE, 0, nullptr, nullptr, nullptr)) ||
        !filters) {
        return 0;
    }
    filters->Reset();
    for (;;) {
        ComPtr<IMoniker> moniker;
        if (filters->Next(1, moniker.Put(), nullptr) != S_OK || !moniker) return 0;
        ComPtr<IPropertyBag> bag;
        if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.PutVoid())) || !bag) continue;
        if (!NameMatches(bag.Get())) continue;
        // The first filter of that name wins; later ones are not looked at.
        std::uint32_t merit = 0;
        ParseMeritFromFilterData(bag.Get(), &merit);
        return merit;
    }
}

HRESULT ParseMeritFromFilterData(IPropertyBag* bag, std::uint32_t* merit) {
    ScopedVariant blob;
    blob.Get()->vt = VT_ARRAY | VT_UI1;
    blob.Get()->parray = nullptr;
    HRESULT hr = bag->Read(L"FilterData", blob.Get(), nullptr);
    if (FAILED(hr)) return hr;
    // Anything but a one-dimensional byte array is not a registration record.
    SAFEARRAY* array = blob->parray;
    if (blob->vt != (VT_ARRAY | VT_UI1) || array == nullptr || SafeArrayGetDim(array) != 1) return E_UNEXPECTED;
    const ULONG size = array->rgsabound[0].cElements;
    if (size < kMeritWordEnd) return E_UNEXPECTED;

    BYTE* data = nullptr;
    hr = SafeArrayAccessData(array, reinterpret_cast<void**>(&data));
    if (FAILED(hr)) return hr;

    ComPtr<IAMFilterData> parser;
    hr = g_app.filterMapper->QueryInterface(IID_IAMFilterDataOwn, parser.PutVoid());
    if (SUCCEEDED(hr) && parser) {
        BYTE* slot = nullptr;
        hr = parser->ParseFilterData(data, size, &slot);
        // The output is the address of a pointer to the record: the record is
        // freed, never the place that holds its address.
        if (SUCCEEDED(hr) && slot) {
            REGFILTER2* record = *reinterpret_cast<REGFILTER2**>(slot);
            if (record) {
                *merit = record->dwMerit;
                CoTaskMemFree(record);
            }
        }
    }
    SafeArrayUnaccessData(array);
    return hr;
}
