#include "../base/app_state.h"
#include "../base/scoped.h"
#include "../catalogue/filter_data.h"
#include "../catalogue/mapper_entries.h"
#include "../catalogue/moniker_walk.h"
#include "../catalogue/walk_guard.h"
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

}  // namespace

std::uint32_t ReadMeritOfFilter(const wchar_t* friendlyName) {
    if (!PlatformWalkAllowed(nullptr)) return 0;
    MapperForRead mapper;
    if (FAILED(mapper.Create()) || !g_app.filterMapper) return 0;

    ComPtr<IEnumMoniker> filters;
    if (FAILED(g_app.filterMapper->EnumMatchingFilters(filters.Put(), 0, FALSE, 1, FALSE, 0, nullptr, nullptr,
                                                         nullptr, FALSE, FALSE, 0, nullptr, nullptr, nullptr)) ||
        !filters) {
        return 0;
    }
    filters->Reset();
    std::uint32_t merit = 0;
    // The first filter of that name (letter case counting) wins; later ones are not looked at.
    ForEachMoniker(filters.Get(), [&](IMoniker* moniker) {
        ComPtr<IPropertyBag> bag;
        if (!BindPropertyBag(moniker, bag)) return false;
        ScopedVariant name;
        const wchar_t* text = ReadFriendlyName(bag.Get(), name, VT_BSTR);
        if (!text || lstrcmpW(text, friendlyName) != 0) return false;
        ParseMeritFromFilterData(bag.Get(), &merit);
        return true;
    });
    return merit;
}

std::uint32_t ReadFilterMerit() {
    // One damaged FilterData anywhere makes the mapper's walk read past it and
    // crash the program: then the walk is not made at all. A codec chosen by
    // its class id is not looked for by name either, since the mapper would
    // answer for the first filter of that name, which may be another one.
    // Where the mapper's walk may not run here (it opens the compressors of
    // every category), the entry's own FilterData gives the merit too.
    if (g_app.selectedByClassId || !MapperEntriesSound() || !PlatformWalkAllowed(nullptr)) {
        std::uint32_t merit = 0;
        CheckSelectedEntryFilterData(&merit);
        return merit;
    }
    return ReadMeritOfFilter(g_app.selectedName);
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
    // The runtime's parser checks no bounds: a damaged record never reaches it.
    if (CheckFilterData(data, size) != FilterDataSound) {
        SafeArrayUnaccessData(array);
        return E_UNEXPECTED;
    }

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
