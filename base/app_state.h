// The one global record of the running program: window handles, the current
// selection and what was looked up about it, the category last listed, the
// system-filter switch, and the maintenance scan's counters and handles.
#pragma once
#include "win_headers.h"

#include <cstdint>

constexpr std::size_t kNameCapacity = 500;      // names, registry paths and values, command lines
constexpr std::size_t kShortTextCapacity = 256; // numbers, progress texts, enumerated key names
constexpr std::size_t kScanNameCapacity = 200;  // the scan's row name

// How a friendly name was found in the registry.
enum LookupKind : std::int32_t {
    LookupNone = 0,
    LookupInstanceKey = 1,
    LookupClassKey = 2,
};

struct AppState {
    bool hideSystemFilters = true;
    HWND mainWindow = nullptr;
    wchar_t scanItemName[kScanNameCapacity] = {};
    HWND filterList = nullptr;
    HWND categoryCombo = nullptr;
    std::uint32_t scanCategoryIndex = 0;
    std::uint32_t scanItemIndex = 0;
    std::uint32_t scanItemCount = 0;
    HWND progressDialog = nullptr;
    HWND progressBar = nullptr;
    bool scanCancelRequested = false;
    wchar_t selectedClsid[kNameCapacity] = {};
    wchar_t selectedName[kNameCapacity] = {};
    wchar_t objectName[kNameCapacity] = {};
    wchar_t serverPath[kNameCapacity] = {};
    DWORD serverPathType = REG_NONE;  // its value's type: only REG_EXPAND_SZ has its variables expanded
    std::uint32_t currentMerit = 0;
    LookupKind lookupKind = LookupNone;
    // The codec was chosen by its class id (a row of the playback check), not
    // by its name: its registration is the Instance entry of the category
    // whose CLSID names selectedClsid, not the first entry of selectedName.
    bool selectedByClassId = false;
    IFilterMapper2* filterMapper = nullptr;
    GUID currentCategory = GUID_NULL;
};

extern AppState g_app;
