#include "test_support.h"

#include "../../app/main_window.h"
#include "../../app/utils/message_box.h"

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

GUID GuidFromText(const std::wstring& text) {
    GUID guid{};
    CLSIDFromString(text.c_str(), &guid);
    return guid;
}

RegistryScratch::~RegistryScratch() {
    for (auto it = owned_.rbegin(); it != owned_.rend(); ++it) DeleteTree(*it);
}

void RegistryScratch::Own(const std::wstring& path) { owned_.push_back(path); }

bool RegistryScratch::CreateKey(const std::wstring& keyPath) { return CreateKeyPath(keyPath); }

bool RegistryScratch::SetBytes(const std::wstring& keyPath, const wchar_t* valueName, const void* data, DWORD size,
                               DWORD type) {
    return WriteValue(keyPath, valueName, type, data, size);
}

bool RegistryScratch::SetText(const std::wstring& keyPath, const wchar_t* valueName, const std::wstring& value,
                              DWORD type) {
    return WriteText(keyPath, valueName, value, type);
}

const wchar_t kLegacyCategoryText[] = L"{083863F1-70DE-11d0-BD40-00A0C911CE86}";

std::wstring LegacyInstancePath() { return kLegacyInstance; }

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
    DeleteTree(InstancePath());
}

std::wstring MapperFilter::InstancePath() const { return CategoryInstancePath(category_) + classId_; }
