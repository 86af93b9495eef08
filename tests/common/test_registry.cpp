#include "test_registry.h"

#include "../../base/scoped.h"
#include "../../merit/am_filter_data.h"
#include "test_text.h"

#include <algorithm>
#include <iterator>

#include <algorithm>
#include <cstdio>
#include <tuple>

const wchar_t kLegacyInstance[] = L"CLSID\\{083863F1-70DE-11d0-BD40-00A0C911CE86}\\Instance\\";
const wchar_t kVideoCompressorInstance[] = L"CLSID\\{33D9A760-90C8-11d0-BD43-00A0C911CE86}\\Instance\\";

std::wstring InstancePathOf(const GUID& category) { return L"CLSID\\" + GuidText(category) + L"\\Instance\\"; }

std::wstring GuidText(const GUID& guid) {
    wchar_t text[64];
    StringFromGUID2(guid, text, 64);
    return text;
}

std::wstring NewGuidText() {
    GUID guid;
    CoCreateGuid(&guid);
    return GuidText(guid);
}

GUID GuidFromText(const std::wstring& text) {
    GUID guid{};
    CLSIDFromString(text.c_str(), &guid);
    return guid;
}

bool KeyExists(const std::wstring& path, REGSAM view) {
    HKEY key;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

bool CreateKeyPath(const std::wstring& path) {
    HKEY key;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

bool WriteValue(const std::wstring& keyPath, const wchar_t* valueName, DWORD type, const void* data, DWORD size) {
    return RegSetKeyValueW(HKEY_CLASSES_ROOT, keyPath.c_str(), valueName, type, data, size) == ERROR_SUCCESS;
}

bool WriteText(const std::wstring& keyPath, const wchar_t* valueName, const std::wstring& value, DWORD type) {
    return WriteValue(keyPath, valueName, type, value.c_str(),
                      static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

std::vector<BYTE> ReadBytes(const std::wstring& keyPath, const wchar_t* valueName) {
    std::vector<BYTE> data;
    RegKey key;
    if (key.Open(HKEY_CLASSES_ROOT, keyPath.c_str()) != ERROR_SUCCESS) return data;
    DWORD size = 0;
    if (RegQueryValueExW(key.Get(), valueName, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS) {
        data.resize(size);
        if (RegQueryValueExW(key.Get(), valueName, nullptr, nullptr, data.data(), &size) != ERROR_SUCCESS) size = 0;
        data.resize(size);
    }
    return data;
}

std::vector<std::wstring> SubkeyNames(const std::wstring& path) {
    std::vector<std::wstring> names;
    RegKey key;
    if (key.Open(HKEY_CLASSES_ROOT, path.c_str()) != ERROR_SUCCESS) return names;
    for (DWORD i = 0;; ++i) {
        wchar_t name[512];
        DWORD count = 512;
        if (RegEnumKeyExW(key.Get(), i, name, &count, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.push_back(name);
    }
    return names;
}

void DeleteTree(const std::wstring& path, REGSAM view) {
    HKEY key;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_ALL_ACCESS | view, &key) != ERROR_SUCCESS) return;
    RegDeleteTreeW(key, nullptr);
    RegCloseKey(key);
    RegDeleteKeyExW(HKEY_CLASSES_ROOT, path.c_str(), view, 0);
}

bool CreateLink(const std::wstring& path, const std::wstring& target) {
    HKEY link = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, REG_OPTION_CREATE_LINK,
                        KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr, &link, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    // The target is named in the kernel's form, without a terminator. Under
    // Wine, HKEY_CLASSES_ROOT is the machine's classes, and a 32-bit process
    // sees their 32-bit half.
    const std::wstring kernelTarget = std::wstring(L"\\Registry\\Machine\\Software\\Classes\\") +
                                      (sizeof(void*) == 4 ? L"Wow6432Node\\" : L"") + target;
    const LONG status = RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK,
                                       reinterpret_cast<const BYTE*>(kernelTarget.data()),
                                       static_cast<DWORD>(kernelTarget.size() * sizeof(wchar_t)));
    RegCloseKey(link);
    return status == ERROR_SUCCESS;
}

bool CreateBrokenLink(const std::wstring& path) {
    return CreateLink(path, L"CLSID\\" + NewGuidText() + L"\\missing");
}

bool DeleteLink(const std::wstring& path) {
    using NtDeleteKeyFunction = LONG(WINAPI*)(HANDLE);
    const auto ntDeleteKey = reinterpret_cast<NtDeleteKeyFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtDeleteKey")));
    HKEY link = nullptr;
    if (!ntDeleteKey || RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), REG_OPTION_OPEN_LINK, KEY_ALL_ACCESS,
                                      &link) != ERROR_SUCCESS) {
        return false;
    }
    const LONG status = ntDeleteKey(link);
    RegCloseKey(link);
    return status == 0;
}

bool RegistryItem::operator<(const RegistryItem& other) const {
    return std::tie(key, isValue, name, type, data) < std::tie(other.key, other.isValue, other.name, other.type, other.data);
}

namespace {

void SnapshotKey(HKEY key, const std::wstring& relative, RegistrySnapshot& items, REGSAM view) {
    items.push_back({relative, false, L"", 0, {}});
    DWORD longestName = 0, largest = 0, longestSubkey = 0;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, &longestSubkey, nullptr, nullptr, &longestName, &largest,
                     nullptr, nullptr);
    std::vector<wchar_t> name(longestName + 2);
    std::vector<BYTE> data(largest + 2);
    for (DWORD i = 0;; ++i) {
        DWORD nameCount = static_cast<DWORD>(name.size());
        DWORD size = static_cast<DWORD>(data.size());
        DWORD type = 0;
        if (RegEnumValueW(key, i, name.data(), &nameCount, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) break;
        items.push_back({relative, true, std::wstring(name.data(), nameCount), type,
                         std::vector<BYTE>(data.begin(), data.begin() + size)});
    }
    std::vector<wchar_t> subkey(longestSubkey + 2);
    for (DWORD i = 0;; ++i) {
        DWORD count = static_cast<DWORD>(subkey.size());
        if (RegEnumKeyExW(key, i, subkey.data(), &count, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        const std::wstring child(subkey.data(), count);
        HKEY childKey;
        if (RegOpenKeyExW(key, child.c_str(), 0, KEY_READ | view, &childKey) != ERROR_SUCCESS) {
            items.push_back({relative + L"\\" + child + L" (cannot be opened)", false, L"", 0, {}});
            continue;
        }
        SnapshotKey(childKey, relative + L"\\" + child, items, view);
        RegCloseKey(childKey);
    }
}

}  // namespace

RegistrySnapshot TreeSnapshot(const std::wstring& path, REGSAM view) {
    RegistrySnapshot items;
    HKEY key;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return items;
    SnapshotKey(key, L"", items, view);
    RegCloseKey(key);
    std::sort(items.begin(), items.end());
    return items;
}

std::wstring DescribeItem(const RegistryItem& item) {
    if (!item.isValue) return L"key [" + item.key + L"]";
    wchar_t head[64];
    swprintf(head, 64, L" type 0x%lx, %lu bytes:", static_cast<unsigned long>(item.type),
             static_cast<unsigned long>(item.data.size()));
    std::wstring text = L"value [" + item.key + L"] \"" + item.name.substr(0, 80) + L"\"" + head;
    for (size_t i = 0; i < item.data.size() && i < 24; ++i) {
        wchar_t byte[8];
        swprintf(byte, 8, L" %02x", item.data[i]);
        text += byte;
    }
    if (item.data.size() > 24) text += L" ...";
    return text;
}

std::wstring SnapshotDifference(const RegistrySnapshot& before, const RegistrySnapshot& after) {
    if (before == after) return L"";
    wchar_t counts[96];
    swprintf(counts, 96, L"%lu items before, %lu after", static_cast<unsigned long>(before.size()),
             static_cast<unsigned long>(after.size()));
    std::wstring text = counts;
    int shown = 0;
    for (const RegistryItem& item : before) {
        if (shown < 4 && std::find(after.begin(), after.end(), item) == after.end()) {
            text += L"; lost " + DescribeItem(item);
            ++shown;
        }
    }
    for (const RegistryItem& item : after) {
        if (shown < 8 && std::find(before.begin(), before.end(), item) == before.end()) {
            text += L"; new " + DescribeItem(item);
            ++shown;
        }
    }
    return text;
}

RegistryScratch::~RegistryScratch() {
    for (auto it = owned_.rbegin(); it != owned_.rend(); ++it) DeleteTree(*it);
}

void RegistryScratch::Own(const std::wstring& path) { owned_.push_back(path); }

bool RegistryScratch::SetText(const std::wstring& keyPath, const wchar_t* valueName, const std::wstring& value,
                              DWORD type) {
    return WriteText(keyPath, valueName, value, type);
}

bool RegistryScratch::SetBytes(const std::wstring& keyPath, const wchar_t* valueName, const void* data, DWORD size,
                               DWORD type) {
    return WriteValue(keyPath, valueName, type, data, size);
}

bool RegistryScratch::CreateKey(const std::wstring& keyPath) { return CreateKeyPath(keyPath); }

std::vector<std::wstring> CodecKeySnapshot() {
    std::vector<std::wstring> keys;
    for (const wchar_t* parent : {L"CLSID\\", kLegacyInstance, kVideoCompressorInstance, L"DirectShow\\MediaObjects\\"}) {
        for (const std::wstring& name : SubkeyNames(parent)) keys.push_back(parent + name);
    }
    std::sort(keys.begin(), keys.end());
    return keys;
}

std::vector<std::wstring> MissingKeys(const std::vector<std::wstring>& before, const std::vector<std::wstring>& after) {
    std::vector<std::wstring> gone;
    std::set_difference(before.begin(), before.end(), after.begin(), after.end(), std::back_inserter(gone));
    return gone;
}

std::wstring SnapshotChange(const std::vector<std::wstring>& before, const std::vector<std::wstring>& after) {
    return L"gone " + Joined(MissingKeys(before, after)) + L"; new " + Joined(MissingKeys(after, before));
}

std::wstring MeritWordText(const std::vector<BYTE>& filterData) {
    if (filterData.size() < 8) return Format(L"(%u bytes)", static_cast<unsigned>(filterData.size()));
    return HexWord(filterData[4] | (filterData[5] << 8) | (filterData[6] << 16) |
                   (static_cast<std::uint32_t>(filterData[7]) << 24));
}

std::wstring FilterDataMerit(const std::wstring& instancePath) {
    return MeritWordText(ReadBytes(instancePath, L"FilterData"));
}

std::vector<BYTE> MapperFilterData(const REGFILTER2& filter) {
    ComPtr<IFilterMapper2> mapper;
    CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2, mapper.PutVoid());
    ComPtr<IAMFilterData> serialiser;
    if (!mapper || FAILED(mapper->QueryInterface(IID_IAMFilterDataOwn, serialiser.PutVoid()))) return {};
    BYTE* data = nullptr;
    ULONG size = 0;
    if (FAILED(serialiser->CreateFilterData(const_cast<REGFILTER2*>(&filter), &data, &size)) || !data) return {};
    std::vector<BYTE> record(data, data + size);
    CoTaskMemFree(data);
    return record;
}
