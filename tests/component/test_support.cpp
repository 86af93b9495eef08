#include "test_support.h"

#include "../../app/main_window.h"
#include "../../base/message_box.h"
#include "../../base/scoped.h"

namespace {

std::vector<ShownMessage> g_shown;
int g_answer = IDOK;

int RecordMessage(HWND owner, const wchar_t* text, const wchar_t* caption, UINT style) {
    g_shown.push_back({owner, text ? text : L"", caption ? caption : L"(default)", style});
    return g_answer;
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
    std::vector<std::wstring> texts;
    for (const ShownMessage& shown : g_shown) texts.push_back(shown.text);
    return Joined(texts);
}

MapperFilter::MapperFilter(const std::wstring& name, DWORD merit, const GUID& category)
    : classId_(NewGuidText()), category_(category) {
    clsid_ = GuidFromText(classId_);
    ComPtr<IFilterMapper2> mapper;
    if (FAILED(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                                mapper.PutVoid()))) {
        return;
    }
    REGFILTER2 filter{};
    filter.dwVersion = 1;
    filter.dwMerit = merit;
    filter.cPins = 0;
    filter.rgPins = nullptr;
    registered_ = SUCCEEDED(mapper->RegisterFilter(clsid_, name.c_str(), nullptr, &category_, nullptr, &filter));
}

MapperFilter::~MapperFilter() {
    ComPtr<IFilterMapper2> mapper;
    if (SUCCEEDED(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                                   mapper.PutVoid()))) {
        mapper->UnregisterFilter(&category_, nullptr, clsid_);
    }
    DeleteTree(InstancePath());
}

std::wstring MapperFilter::InstancePath() const { return InstancePathOf(category_) + classId_; }
