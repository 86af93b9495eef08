// Filling the filter list from the real device enumerator, and taking row
// texts out of the list without writing past a buffer.
#include "../../base/list_box.h"
#include "../../catalogue/category_table.h"
#include "../../catalogue/filter_list.h"
#include "../../catalogue/registry_text.h"
#include "test_support.h"

#include <algorithm>

namespace {

std::vector<std::wstring> ListRows() {
    std::vector<std::wstring> rows;
    const LRESULT count = SendMessageW(g_app.filterList, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        wchar_t text[kNameCapacity];
        GetListRowText(g_app.filterList, static_cast<int>(i), text, kNameCapacity);
        rows.push_back(text);
    }
    return rows;
}

bool Listed(const std::wstring& name) {
    const std::vector<std::wstring> rows = ListRows();
    return std::find(rows.begin(), rows.end(), name) != rows.end();
}

// The list's rows as one text, for failure messages.
std::string Rows() { return Utf8(Joined(ListRows())); }

class FilterList : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureMainWindow();
        g_app.hideSystemFilters = true;
        SelectCategory(kDefaultCategoryRow);
    }
};

TEST_F(FilterList, CurrentCategoryAfterEmptyAndFilledLists) {
    SelectCategory(0);  // audio compressors: no enumerator under this runtime
    RefreshFilterList();
    EXPECT_EQ("", Rows());
    EXPECT_EQ(GuidText(CLSID_AudioCompressorCategory), GuidText(g_app.currentCategory));

    SelectCategory(kDefaultCategoryRow);
    RefreshFilterList();
    EXPECT_GT(ListRows().size(), 5u) << Rows();
    EXPECT_EQ(GuidText(CLSID_LegacyAmFilterCategory), GuidText(g_app.currentCategory));

    // An unknown category is empty too, and still becomes the current one.
    const GUID unknown = GuidFromText(NewGuidText());
    EXPECT_EQ(HexWord(S_OK), HexWord(EnumerateCategory(unknown)));
    EXPECT_EQ("", Rows());
    EXPECT_EQ(GuidText(unknown), GuidText(g_app.currentCategory));
}

TEST_F(FilterList, SystemFiltersFollowTheSwitch) {
    RefreshFilterList();
    EXPECT_FALSE(Listed(L"Null Renderer")) << Rows();
    EXPECT_FALSE(Listed(L"SampleGrabber")) << Rows();
    EXPECT_TRUE(Listed(L"Video Renderer")) << Rows();
    g_app.hideSystemFilters = false;
    RefreshFilterList();
    EXPECT_TRUE(Listed(L"Null Renderer")) << Rows();
    EXPECT_TRUE(Listed(L"SampleGrabber")) << Rows();
    EXPECT_TRUE(Listed(L"File Source (Async.)")) << Rows();
}

TEST_F(FilterList, RefreshRestoresRowIndexNotName) {
    RefreshFilterList();
    ASSERT_GT(ListRows().size(), 4u) << Rows();
    SendMessageW(g_app.filterList, LB_SETCURSEL, 3, 0);
    g_app.hideSystemFilters = false;
    RefreshFilterList();
    EXPECT_EQ(3, SendMessageW(g_app.filterList, LB_GETCURSEL, 0, 0));

    // Without a combobox selection the list is left as it is.
    SendMessageW(g_app.categoryCombo, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    const std::vector<std::wstring> before = ListRows();
    SelectCategory(3);
    SendMessageW(g_app.categoryCombo, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    RefreshFilterList();
    EXPECT_EQ(before, ListRows());
}

TEST_F(FilterList, TwoFiltersWithOneNameGiveTwoRows) {
    const std::wstring name = L"Vantrel twin " + NewGuidText();
    MapperFilter first(name, 0x00600000);
    MapperFilter second(name, 0x00600000);
    ASSERT_TRUE(first.Registered() && second.Registered());
    RefreshFilterList();
    const std::vector<std::wstring> rows = ListRows();
    EXPECT_EQ(2, std::count(rows.begin(), rows.end(), name)) << Utf8(name) << " in " << Rows();
}

TEST_F(FilterList, FriendlyNameThatIsNotTextIsSkipped) {
    RegistryScratch scratch;
    const std::wstring classId = NewGuidText();
    const std::wstring entry = kLegacyInstance + classId;
    scratch.Own(entry);
    const std::wstring textName = L"Vantrel text name " + classId;
    const std::wstring textEntry = kLegacyInstance + NewGuidText();
    scratch.Own(textEntry);
    ASSERT_TRUE(scratch.SetText(textEntry, L"CLSID", classId));
    ASSERT_TRUE(scratch.SetText(textEntry, L"FriendlyName", textName));
    ASSERT_TRUE(scratch.SetText(entry, L"CLSID", classId));
    const DWORD number = 0x00410041;  // would read as "AA" if taken for text
    ASSERT_TRUE(scratch.SetBytes(entry, L"FriendlyName", &number, sizeof(number), REG_DWORD));

    // Taken for text, the number would show as a row "AA", "A" or an empty one.
    const auto shortRows = [] {
        const std::vector<std::wstring> rows = ListRows();
        return std::count_if(rows.begin(), rows.end(), [](const std::wstring& r) { return r.size() < 3; });
    };
    RefreshFilterList();
    EXPECT_TRUE(Listed(textName)) << Rows();
    EXPECT_EQ(0, shortRows()) << Rows();
    g_app.hideSystemFilters = false;
    RefreshFilterList();
    EXPECT_EQ(0, shortRows()) << Rows();
}

TEST(ListRowText, LongRowsAreCutInsideTheBuffer) {
    EnsureMainWindow();
    HWND list = CreateWindowExW(0, L"LISTBOX", L"", WS_CHILD, 0, 0, 10, 10, g_app.mainWindow, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(nullptr, list);
    const std::wstring longRow(700, L'ж');
    SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(longRow.c_str()));
    SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"short"));

    wchar_t buffer[kNameCapacity + 8];
    std::fill(std::begin(buffer), std::end(buffer), L'#');
    EXPECT_TRUE(GetListRowText(list, 0, buffer, kNameCapacity));
    EXPECT_EQ(std::wstring(499, L'ж'), buffer);
    for (size_t i = kNameCapacity; i < kNameCapacity + 8; ++i) EXPECT_EQ(L'#', buffer[i]) << i;

    EXPECT_TRUE(GetListRowText(list, 1, buffer, kNameCapacity));
    EXPECT_STREQ(L"short", buffer);
    EXPECT_FALSE(GetListRowText(list, 2, buffer, kNameCapacity));
    EXPECT_STREQ(L"", buffer);
    DestroyWindow(list);
}

TEST(AppStateAtStart, FieldsHaveTheirInitialValues) {
    const AppState fresh;
    EXPECT_TRUE(fresh.hideSystemFilters);
    EXPECT_EQ(nullptr, fresh.mainWindow);
    EXPECT_EQ(nullptr, fresh.filterMapper);
    EXPECT_STREQ(L"", fresh.selectedName);
    EXPECT_STREQ(L"", fresh.serverPath);
    EXPECT_STREQ(L"", fresh.scanItemName);
    EXPECT_EQ(LookupNone, fresh.lookupKind);
    EXPECT_EQ(GuidText(GUID_NULL), GuidText(fresh.currentCategory));
    EXPECT_EQ(0u, fresh.currentMerit);
}

}  // namespace
