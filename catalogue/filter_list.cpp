#include "filter_list.h"

#include "../base/app_state.h"
#include "../base/scoped.h"
#include "category_table.h"
#include "instance_entries.h"
#include "moniker_walk.h"
#include "string_value.h"
#include "system_filters.h"
#include "walk_guard.h"

void RefreshFilterList() {
    const LRESULT category = SendMessageW(g_app.categoryCombo, CB_GETCURSEL, 0, 0);
    if (category < 0 || static_cast<std::size_t>(category) >= kCategoryCount) return;
    const LRESULT selectedRow = SendMessageW(g_app.filterList, LB_GETCURSEL, 0, 0);
    EnumerateCategory(*CategoryTable[category].enumCategory);
    // Restores the row position, not the filter: the row may now hold another name.
    if (selectedRow != LB_ERR) SendMessageW(g_app.filterList, LB_SETCURSEL, static_cast<WPARAM>(selectedRow), 0);
}

namespace {

std::uint32_t g_fillCount = 0;

// Keeps the list from repainting (its scroll bar above all) after every added
// row; the list is repainted once, whole, when the fill ends on any path.
class ListRedrawSuspended {
public:
    explicit ListRedrawSuspended(HWND list) : list_(list) { SendMessageW(list_, WM_SETREDRAW, FALSE, 0); }
    ~ListRedrawSuspended() {
        SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(list_, nullptr, TRUE);
    }
    ListRedrawSuspended(const ListRedrawSuspended&) = delete;
    ListRedrawSuspended& operator=(const ListRedrawSuspended&) = delete;

private:
    HWND list_;
};

}  // namespace

HRESULT EnumerateCategory(GUID category) {
    ListRedrawSuspended noRedraw(g_app.filterList);
    SendMessageW(g_app.filterList, LB_RESETCONTENT, 0, 0);
    ++g_fillCount;
    g_app.currentCategory = GUID_NULL;

    const HRESULT opened = AddCategoryNames(g_app.filterList, category, g_app.hideSystemFilters);
    if (opened == E_ABORT) NoteWalkRefused(&category);
    if (FAILED(opened)) return opened;
    g_app.currentCategory = category;
    return S_OK;
}

namespace {

void AddInstanceNames(HWND list, const GUID& category, bool hideSystemFilters) {
    wchar_t categoryText[40];
    if (StringFromGUID2(category, categoryText, 40) == 0) return;
    wchar_t instancePath[kNameCapacity];
    BuildInstanceKeyPath(instancePath, kNameCapacity, categoryText);
    ForEachInstanceEntry(instancePath, [&](HKEY entry, const wchar_t*) {
        wchar_t name[kNameCapacity];
        if (ReadStringValue(entry, L"FriendlyName", name, kNameCapacity) && name[0] &&
            (!hideSystemFilters || !IsSystemFilterName(name))) {
            SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
        }
        return false;
    });
}

}  // namespace

HRESULT AddCategoryNames(HWND list, GUID category, bool hideSystemFilters,
                         const std::function<LPARAM(const wchar_t*)>& itemData) {
    const auto add = [&](const wchar_t* text, const wchar_t* displayName) {
        if (!hideSystemFilters || !IsSystemFilterName(text)) {
            const LRESULT row = SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
            if (itemData && row >= 0) SendMessageW(list, LB_SETITEMDATA, static_cast<WPARAM>(row), itemData(displayName));
        }
    };
    // A compressor category's walk opens its codecs: its rows are those the
    // child that walked it first sent, so the program opens none of them.
    const bool compressors = category == CLSID_AudioCompressorCategory || category == CLSID_VideoCompressorCategory;
    if (compressors) {
        if (const GrowingText* rows = WalkedRows(&category)) {
            const wchar_t* at = rows->length ? TextChars(*rows) : L"";
            for (const wchar_t* end = at + rows->length; at < end;) {
                const wchar_t* displayName = at;
                const wchar_t* name = displayName + lstrlenW(displayName) + 1;
                if (name >= end) break;
                add(name, displayName);
                at = name + lstrlenW(name) + 1;
            }
            return S_OK;
        }
        if (!PlatformWalkAllowed(&category)) return E_ABORT;
    }
    ComPtr<IEnumMoniker> monikers;
    const HRESULT opened = OpenCategoryMonikers(category, monikers);
    // Where the enumerator may not load here, a category of DirectShow
    // filters is read from its Instance entries, as the enumerator reads it;
    // the compressors' lists stay empty (their codecs are registered elsewhere).
    if (opened == E_ABORT && !itemData && !compressors) AddInstanceNames(list, category, hideSystemFilters);
    if (FAILED(opened) || !monikers) return opened;
    // Each moniker's friendly name, unless it is hidden as a system filter.
    ForEachMoniker(monikers.Get(), [&](IMoniker* moniker) {
        ScopedVariant name;
        const wchar_t* text = ReadFriendlyName(moniker, name);
        if (!text) return false;
        const CoTaskMem<wchar_t> displayName(itemData ? MonikerDisplayName(moniker) : nullptr);
        add(text, displayName.Get() ? displayName.Get() : L"");
        return false;
    });
    return opened;
}

std::uint32_t FilterListFillCount() { return g_fillCount; }
