// The scan's progress: the bar position worked out from the row counters,
// and the progress dialog showing the counters, the row's name and that
// position.
#include "../../base/bounded_text.h"
#include "../../resources/resource.h"
#include "../../scan/scan.h"
#include "test_support.h"

namespace {

// The position is the integer part of index / count * 100 worked in double
// precision: 29 / 100 is a little less than 0.29 in binary, so row 29 of 100
// shows 28. The scan's dialog and the end-to-end scan check only that the bar
// follows this position.
TEST(ScanProgress, BarPositionTruncatesTheDoubleProduct) {
    const struct {
        std::uint32_t index, count;
        int position;
    } cases[] = {{29, 100, 28}, {29, 50, 57}, {2, 12, 16}, {0, 37, 0}, {36, 37, 97}, {99, 100, 99}, {3, 0, 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(c.position, ScanProgressPosition(c.index, c.count)) << "row " << c.index << " of " << c.count;
    }
}

TEST(ScanProgressDialog, FieldsAndBarShowTheCounters) {
    EnsureMainWindow();
    g_app.progressDialog = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_SCAN_PROGRESS),
                                              g_app.mainWindow, ScanDialog, 0);
    ASSERT_NE(nullptr, g_app.progressDialog);
    g_app.progressBar = GetDlgItem(g_app.progressDialog, IDC_SCAN_BAR);
    g_app.scanCategoryIndex = 1;
    g_app.scanItemIndex = 2;
    g_app.scanItemCount = 12;
    CopyText(g_app.scanItemName, kScanNameCapacity, L"X");
    UpdateScanProgress();
    wchar_t text[256];
    GetDlgItemTextW(g_app.progressDialog, IDC_SCAN_CATEGORY, text, 256);
    EXPECT_STREQ(L"1 / 5", text);
    GetDlgItemTextW(g_app.progressDialog, IDC_SCAN_ITEM, text, 256);
    EXPECT_STREQ(L"2 / 12 - X", text);
    // The bar shows the position worked out above for the counters.
    EXPECT_EQ(ScanProgressPosition(2, 12), SendMessageW(g_app.progressBar, PBM_GETPOS, 0, 0));

    // A 199-character name still leaves the whole field text within its 255 characters.
    CopyText(g_app.scanItemName, kScanNameCapacity, std::wstring(199, L'n').c_str());
    g_app.scanItemIndex = 4294967295u;
    g_app.scanItemCount = 4294967295u;
    UpdateScanProgress();
    GetDlgItemTextW(g_app.progressDialog, IDC_SCAN_ITEM, text, 256);
    EXPECT_EQ(std::wstring(L"4294967295 / 4294967295 - ") + std::wstring(199, L'n'), text);

    // Cancel sets the request and hides the dialog without destroying it.
    g_app.scanCancelRequested = false;
    SendMessageW(g_app.progressDialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_TRUE(g_app.scanCancelRequested);
    EXPECT_TRUE(IsWindow(g_app.progressDialog));
    EXPECT_FALSE(IsWindowVisible(g_app.progressDialog));
    DestroyWindow(g_app.progressDialog);
    g_app.progressDialog = nullptr;
    g_app.scanCancelRequested = false;
}

}  // namespace
