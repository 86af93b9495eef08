#include "test_support.h"

#include "../../app/main_window.h"
#include "../../app/message_box.h"

namespace {

std::vector<ShownMessage> g_shown;
int g_answer = IDOK;

int RecordMessage(HWND owner, const wchar_t* text, const wchar_t* caption, UINT style) {
    g_shown.push_back({owner, text ? text : L"", caption ? caption : L"(default)", style});
    return g_answer;
}

std::wstring CategoryInstancePath(const GUID& category) {
    wchar_t text[64];
    StringFromGUID2(category, text, 64);
    return std::wstring(L"CLSID\\") + text + L"\\Instance\\";
}

}  // namespace

void EnsureMainWindow() {
    static bool created = false;
    if (created) return;
    created = true;
    CoInitialize(nullptr);
    ASSERT_TRUE(CreateMainWindow(GetModuleHandleW(nullptr)));
}

void SelectCategory(int row) { SendMessageW(g_app.categoryCombo, CB_SETCURSEL, row, 0); }

MessageRecorder::MessageRecorder(int answer) {
    g_shown.clear();
    g_answer = answer;
    SetMessageBoxObserver(RecordMessage);
}

MessageRecorder::~MessageRecorder() { SetMessageBoxObserver(nullptr); }

const std::vector<ShownMessage>& MessageRecorder::Shown() const { return g_shown; }

std::wstring MessageRecorder::Texts() const {
    std::wstring all;
    for (const ShownMessage& shown : g_shown) all += L"[" + shown.text + L"]";
    return all;
}

std::wstring NewGuidText() {
    GUID guid;
    CoCreateGuid(&guid);
    wchar_t text[64];
    StringFromGUID2(guid, text, 64);
    return text;
}

GUID GuidFromText(const std::wstring& text) {
    GUID guid{};
    CLSIDFromString(text.c_str(), &guid);
    return guid;
}

RegistryScratch::~RegistryScratch() {
    for (auto it = owned_.rbegin(); it != owned_.rend(); ++it) {
        RegDeleteTreeW(HKEY_CLASSES_ROOT, it->c_str());
        RegDeleteKeyW(HKEY_CLASSES_ROOT, it->c_str());
    }
}

void RegistryScratch::Own(const std::wstring& path) { owned_.push_back(path); }

bool RegistryScratch::CreateKey(const std::wstring& keyPath) {
    HKEY key;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, keyPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

bool RegistryScratch::SetBytes(const std::wstring& keyPath, const wchar_t* valueName, const void* data, DWORD size,
                               DWORD type) {
    HKEY key;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, keyPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
        return false;
    }
    const LONG status = RegSetValueExW(key, valueName, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

bool RegistryScratch::SetText(const std::wstring& keyPath, const wchar_t* valueName, const std::wstring& value,
                              DWORD type) {
    return SetBytes(keyPath, valueName, value.c_str(), static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)), type);
}

bool KeyExists(const std::wstring& path) {
    HKEY key;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

std::vector<BYTE> ReadBytes(const std::wstring& keyPath, const wchar_t* valueName) {
    std::vector<BYTE> data;
    HKEY key;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return data;
    DWORD size = 0;
    if (RegQueryValueExW(key, valueName, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS) {
        data.resize(size);
        if (RegQueryValueExW(key, valueName, nullptr, nullptr, data.data(), &size) != ERROR_SUCCESS) size = 0;
        data.resize(size);
    }
    RegCloseKey(key);
    return data;
}

std::vector<std::wstring> SubkeyNames(const std::wstring& path) {
    std::vector<std::wstring> names;
    HKEY key;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return names;
    for (DWORD i = 0;; ++i) {
        wchar_t name[512];
        DWORD count = 512;
        if (RegEnumKeyExW(key, i, name, &count, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.push_back(name);
    }
    RegCloseKey(key);
    return names;
}

const wchar_t kLegacyCategoryText[] = L"{083863F1-70DE-11d0-BD40-00A0C911CE86}";

std::wstring LegacyInstancePath() { return std::wstring(L"CLSID\\") + kLegacyCategoryText + L"\\Instance\\"; }

MapperFilter::MapperFilter(const std::wstring& name, DWORD merit, const GUID& category)
    : classId_(NewGuidText()), category_(category) {
    clsid_ = GuidFromText(classId_);
    IFilterMapper2* mapper = nullptr;
    if (FAILED(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                                reinterpret_cast<void**>(&mapper)))) {
        return;
    }
    REGFILTER2 filter{};
    filter.dwVersion = 1;
    filter.dwMerit = merit;
    filter.cPins = 0;
    filter.rgPins = nullptr;
    registered_ = SUCCEEDED(mapper->RegisterFilter(clsid_, name.c_str(), nullptr, &category_, nullptr, &filter));
    mapper->Release();
}

MapperFilter::~MapperFilter() {
    IFilterMapper2* mapper = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                                   reinterpret_cast<void**>(&mapper)))) {
        mapper->UnregisterFilter(&category_, nullptr, clsid_);
        mapper->Release();
    }
    RegDeleteTreeW(HKEY_CLASSES_ROOT, InstancePath().c_str());
    RegDeleteKeyW(HKEY_CLASSES_ROOT, InstancePath().c_str());
}

std::wstring MapperFilter::InstancePath() const { return CategoryInstancePath(category_) + classId_; }
