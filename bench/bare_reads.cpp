#include "bare_reads.h"

#include "../base/scoped.h"
#include "../merit/am_filter_data.h"
#include "bench_common.h"

#include <vector>

namespace {

// A text value read whole into a string (empty when it cannot be read).
bool ReadText(HKEY key, const wchar_t* valueName, std::wstring* text) {
    wchar_t value[500];
    DWORD bytes = sizeof(value) - sizeof(wchar_t);
    if (RegQueryValueExW(key, valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &bytes) != ERROR_SUCCESS) {
        text->clear();
        return false;
    }
    value[bytes / sizeof(wchar_t)] = L'\0';
    *text = value;
    return true;
}

std::wstring ReadText(HKEY key, const wchar_t* valueName) {
    std::wstring text;
    ReadText(key, valueName, &text);
    return text;
}

}  // namespace

int BareDeviceWalk(const GUID& category, HWND list) {
    ComPtr<ICreateDevEnum> devices;
    if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                                devices.PutVoid()))) {
        return -1;
    }
    ComPtr<IEnumMoniker> monikers;
    if (devices->CreateClassEnumerator(category, monikers.Put(), 0) != S_OK || !monikers) return 0;
    int names = 0;
    for (;;) {
        ComPtr<IMoniker> moniker;
        if (monikers->Next(1, moniker.Put(), nullptr) != S_OK || !moniker) break;
        ComPtr<IPropertyBag> bag;
        if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.PutVoid()))) continue;
        ScopedVariant name;
        if (FAILED(bag->Read(L"FriendlyName", name.Get(), nullptr)) || (*name).vt != VT_BSTR) continue;
        ++names;
        if (list) SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>((*name).bstrVal));
    }
    return names;
}

std::uint32_t BareMeritRead(const wchar_t* name, int* walked) {
    if (walked) *walked = 0;
    ComPtr<IFilterMapper2> mapper;
    if (FAILED(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                                mapper.PutVoid()))) {
        return 0;
    }
    ComPtr<IEnumMoniker> filters;
    if (FAILED(mapper->EnumMatchingFilters(filters.Put(), 0, FALSE, 1, FALSE, 0, nullptr, nullptr, nullptr, FALSE,
                                           FALSE, 0, nullptr, nullptr, nullptr)) ||
        !filters) {
        return 0;
    }
    for (;;) {
        ComPtr<IMoniker> moniker;
        if (filters->Next(1, moniker.Put(), nullptr) != S_OK || !moniker) return 0;
        if (walked) ++*walked;
        ComPtr<IPropertyBag> bag;
        if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.PutVoid()))) continue;
        ScopedVariant friendlyName;
        if (FAILED(bag->Read(L"FriendlyName", friendlyName.Get(), nullptr)) || (*friendlyName).vt != VT_BSTR ||
            lstrcmpW((*friendlyName).bstrVal, name) != 0) {
            continue;
        }
        ScopedVariant data;
        if (FAILED(bag->Read(L"FilterData", data.Get(), nullptr)) || (*data).vt != (VT_ARRAY | VT_UI1)) return 0;
        SAFEARRAY* array = (*data).parray;
        BYTE* bytes = nullptr;
        if (FAILED(SafeArrayAccessData(array, reinterpret_cast<void**>(&bytes)))) return 0;
        std::uint32_t merit = 0;
        ComPtr<IAMFilterData> parser;
        BYTE* slot = nullptr;
        if (SUCCEEDED(mapper->QueryInterface(IID_IAMFilterDataOwn, parser.PutVoid())) &&
            SUCCEEDED(parser->ParseFilterData(bytes, array->rgsabound[0].cElements, &slot)) && slot) {
            REGFILTER2* record = *reinterpret_cast<REGFILTER2**>(slot);
            if (record) {
                merit = record->dwMerit;
                CoTaskMemFree(record);
            }
        }
        SafeArrayUnaccessData(array);
        return merit;
    }
}

bool BareFindInstanceEntry(const wchar_t* instancePath, const wchar_t* name, HKEY* entry) {
    HKEY instance;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, instancePath, 0, KEY_READ, &instance) != ERROR_SUCCESS) return false;
    bool found = false;
    for (DWORD index = 0; !found; ++index) {
        wchar_t entryName[256];
        DWORD count = 256;
        if (RegEnumKeyExW(instance, index, entryName, &count, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
            break;
        }
        if (RegOpenKeyExW(instance, entryName, 0, KEY_READ | KEY_SET_VALUE, entry) != ERROR_SUCCESS) continue;
        found = lstrcmpiW(ReadText(*entry, L"FriendlyName").c_str(), name) == 0;
        if (!found) RegCloseKey(*entry);
    }
    RegCloseKey(instance);
    return found;
}

bool BareInstanceLookup(const wchar_t* instancePath, const wchar_t* name, std::wstring* classId) {
    HKEY entry;
    if (!BareFindInstanceEntry(instancePath, name, &entry)) return false;
    *classId = ReadText(entry, L"CLSID");
    RegCloseKey(entry);
    return true;
}

bool BareClassLookup(const wchar_t* name, std::wstring* classId, int* walked) {
    if (walked) *walked = 0;
    HKEY classes;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, L"CLSID", 0, KEY_READ, &classes) != ERROR_SUCCESS) return false;
    bool found = false;
    for (DWORD index = 0; !found; ++index) {
        wchar_t className[256];
        DWORD count = 256;
        if (RegEnumKeyExW(classes, index, className, &count, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
            break;
        }
        if (walked) ++*walked;
        HKEY classKey;
        if (RegOpenKeyExW(classes, className, 0, KEY_QUERY_VALUE, &classKey) != ERROR_SUCCESS) continue;
        found = lstrcmpiW(ReadText(classKey, nullptr).c_str(), name) == 0;
        RegCloseKey(classKey);
        if (found) *classId = className;
    }
    RegCloseKey(classes);
    return found;
}

bool BareClassRead(const std::wstring& classId, std::wstring* objectName, std::wstring* serverPath) {
    HKEY classKey;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, (L"CLSID\\" + classId).c_str(), 0, KEY_READ, &classKey) != ERROR_SUCCESS) {
        return false;
    }
    *objectName = ReadText(classKey, nullptr);
    HKEY server;
    if (RegOpenKeyExW(classKey, L"InprocServer32", 0, KEY_READ, &server) == ERROR_SUCCESS) {
        *serverPath = ReadText(server, nullptr);
        RegCloseKey(server);
    }
    RegCloseKey(classKey);
    return true;
}

bool BareMeritWrite(const wchar_t* instancePath, const wchar_t* name, std::uint32_t merit) {
    HKEY entry;
    if (!BareFindInstanceEntry(instancePath, name, &entry)) return false;
    DWORD size = 0;
    bool written = false;
    if (RegQueryValueExW(entry, L"FilterData", nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS && size >= 8) {
        std::vector<BYTE> data(size);
        if (RegQueryValueExW(entry, L"FilterData", nullptr, nullptr, data.data(), &size) == ERROR_SUCCESS) {
            for (int i = 0; i < 4; ++i) data[4 + i] = static_cast<BYTE>(merit >> (8 * i));
            written = RegSetValueExW(entry, L"FilterData", 0, REG_BINARY, data.data(), size) == ERROR_SUCCESS;
        }
    }
    RegCloseKey(entry);
    return written;
}

void BareReadInstanceEntries(const wchar_t* instancePath, std::vector<NamedText>* entries) {
    entries->clear();
    HKEY instance;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, instancePath, 0, KEY_READ, &instance) != ERROR_SUCCESS) return;
    ForEachSubkey(instance, [&](const wchar_t* entryName) {
        HKEY entry;
        if (RegOpenKeyExW(instance, entryName, 0, KEY_QUERY_VALUE, &entry) != ERROR_SUCCESS) return;
        std::wstring name, classId;
        if (ReadText(entry, L"FriendlyName", &name)) {
            if (!ReadText(entry, L"CLSID", &classId)) classId = entryName;
            entries->emplace_back(std::move(name), std::move(classId));
        }
        RegCloseKey(entry);
    });
    RegCloseKey(instance);
}

void BareReadClassKeys(std::vector<NamedText>* classes) {
    classes->clear();
    HKEY keys;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, L"CLSID", 0, KEY_READ, &keys) != ERROR_SUCCESS) return;
    ForEachSubkey(keys, [&](const wchar_t* className) {
        HKEY classKey;
        if (RegOpenKeyExW(keys, className, 0, KEY_QUERY_VALUE, &classKey) != ERROR_SUCCESS) return;
        std::wstring value;
        if (ReadText(classKey, nullptr, &value)) classes->emplace_back(className, std::move(value));
        RegCloseKey(classKey);
    });
    RegCloseKey(keys);
}

std::wstring BareValue(HKEY key, const wchar_t* name) { return ReadText(key, name); }

HKEY BareOpenUnlessLink(HKEY parent, const wchar_t* path, REGSAM view) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(parent, path, REG_OPTION_OPEN_LINK, KEY_READ | view, &key) != ERROR_SUCCESS) return nullptr;
    DWORD type = REG_NONE;
    if (RegQueryValueExW(key, L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr) == ERROR_SUCCESS &&
        type == REG_LINK) {
        RegCloseKey(key);
        return nullptr;
    }
    return key;
}

void BareInsertColumns(HWND list, const wchar_t* const* headings, int count) {
    for (int i = 0; i < count; ++i) {
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.pszText = const_cast<wchar_t*>(headings[i]);
        column.cx = 100;
        column.iSubItem = i;
        SendMessageW(list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
    }
}
