#include "property_pages.h"

#include "../base/app_state.h"
#include "../base/list_box.h"
#include "../base/message_box.h"
#include "../base/scoped.h"
#include "moniker_walk.h"
#include "registry_text.h"

#include <cwchar>

namespace {

// Exact comparison: same length, same characters, letter case counting.
bool SameText(const wchar_t* a, const wchar_t* b) { return std::wcscmp(a, b) == 0; }

// Releases the graph reference that QueryFilterInfo hands back.
struct FilterInfoHolder {
    FILTER_INFO info{};
    ~FilterInfoHolder() {
        if (info.pGraph) info.pGraph->Release();
    }
};

}  // namespace

IBaseFilter* BindFilterNamed(const GUID& category, const wchar_t* friendlyName) {
    ComPtr<IEnumMoniker> monikers;
    if (FAILED(OpenCategoryMonikers(category, monikers)) || !monikers) return nullptr;
    IBaseFilter* filter = nullptr;
    // The first entry of that name is the one bound; the walk stops there.
    ForEachMoniker(monikers.Get(), [&](IMoniker* moniker) {
        ScopedVariant name;
        const wchar_t* text = ReadFriendlyName(moniker, name);
        if (!text || !SameText(text, friendlyName)) return false;
        if (FAILED(moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, reinterpret_cast<void**>(&filter)))) {
            filter = nullptr;
        }
        return true;
    });
    return filter;
}

IBaseFilter* BindSelectedFilter() { return BindFilterNamed(g_app.currentCategory, g_app.selectedName); }

int ShowPropertyFrame(IBaseFilter* filter) {
    if (!filter) return 0;
    ComPtr<ISpecifyPropertyPages> pageSource;
    if (FAILED(filter->QueryInterface(IID_ISpecifyPropertyPages, pageSource.PutVoid())) || !pageSource) return 0;

    FilterInfoHolder filterInfo;
    CopyMemory(filterInfo.info.achName, L".", sizeof(L"."));
    filter->QueryFilterInfo(&filterInfo.info);
    filterInfo.info.achName[MAX_FILTER_NAME - 1] = L'\0';

    ComPtr<IUnknown> object;
    if (FAILED(filter->QueryInterface(IID_IUnknown, object.PutVoid())) || !object) return 0;

    CAUUID pages{};
    const HRESULT got = pageSource->GetPages(&pages);
    CoTaskMem<GUID> pageIds(pages.pElems);
    if (FAILED(got) || pages.cElems == 0 || pages.pElems == nullptr) return 0;
    pageSource.Reset();

    IUnknown* objects[1] = {object.Get()};
    OleCreatePropertyFrame(g_app.mainWindow, 0, 0, filterInfo.info.achName, 1, objects, pages.cElems, pages.pElems,
                           0, 0, nullptr);
    return 1;
}

void ShowFilterProperties() {
    const LRESULT row = SendMessageW(g_app.filterList, LB_GETCURSEL, 0, 0);
    if (row == LB_ERR) return;
    GetListRowText(g_app.filterList, static_cast<int>(row), g_app.selectedName, kNameCapacity);
    if (lstrcmpiW(g_app.selectedName, L"") == 0) return;

    ComPtr<IBaseFilter> filter;
    filter.Attach(BindSelectedFilter());
    if (!filter) {
        ShowMessageBox(g_app.mainWindow, L"Произошла ошибка", nullptr, MB_ICONERROR | MB_OK);
        return;
    }
    if (ShowPropertyFrame(filter.Get()) == 0) {
        ShowMessageBox(g_app.mainWindow, L"Кодек не имеет настраиваемых свойств", nullptr, MB_ICONINFORMATION | MB_OK);
    }
}
