// Dialog procedures run in-process on their real templates: help links and
// the about box, the management dialog's delete action for a codec found
// through its class key, its confirmations, which only Yes gets past, and the
// management command on a class id cut to fit.
#include "../../app/help_links.h"
#include "../../base/bounded_text.h"
#include "../../base/shell_open.h"
#include "../../catalogue/category_table.h"
#include "../../catalogue/filter_list.h"
#include "../../catalogue/server_path.h"
#include "../../codecs/manage_dialog.h"
#include "../../resources/resource.h"
#include "../common/test_windows.h"
#include "test_support.h"

namespace {

std::vector<std::wstring> g_opened;
void RecordOpen(const wchar_t* target) { g_opened.push_back(target); }

class ShellTargets : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureMainWindow();
        g_opened.clear();
        SetShellOpenObserver(RecordOpen);
    }
    void TearDown() override { SetShellOpenObserver(nullptr); }
};

TEST_F(ShellTargets, HelpAndWebCommandsOpenTheirTargets) {
    OpenHelpFile();
    OpenHomePage();
    OpenForumPage();
    ASSERT_EQ(3u, g_opened.size()) << Utf8(Joined(g_opened));
    EXPECT_EQ(L"readme.txt", g_opened[0]);
    EXPECT_EQ(kHomePageAddress, g_opened[1]);
    EXPECT_EQ(kForumAddress, g_opened[2]);
    const std::wstring home = kHomePageAddress;
    EXPECT_EQ(L'/', home.back());
    EXPECT_EQ(L'/', std::wstring(kForumAddress).back());
    EXPECT_EQ(home + L"form/", kFeedbackAddress);
}

TEST_F(ShellTargets, AboutBoxButtonsOpenHomePageAndFeedbackAndStayOpen) {
    HWND about =
        CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_ABOUT), g_app.mainWindow, AboutDialog, 0);
    ASSERT_NE(nullptr, about);
    SendMessageW(about, WM_COMMAND, MAKEWPARAM(IDC_ABOUT_HOME_PAGE, BN_CLICKED), 0);
    SendMessageW(about, WM_COMMAND, MAKEWPARAM(IDC_ABOUT_FEEDBACK, BN_CLICKED), 0);
    SendMessageW(about, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_TRUE(IsWindowVisible(about));
    ASSERT_EQ(2u, g_opened.size()) << Utf8(Joined(g_opened));
    EXPECT_EQ(kHomePageAddress, g_opened[0]);
    EXPECT_EQ(kFeedbackAddress, g_opened[1]);
    // The home page shown in the box is the one opened.
    EXPECT_TRUE(HasChildText(about, kHomePageAddress)) << Utf8(Joined(ChildTexts(about)));
    DestroyWindow(about);
}

TEST(ManageDialogDelete, ClassKeyLookupAlsoRemovesTheDmoKey) {
    EnsureMainWindow();
    SelectCategory(kDefaultCategoryRow);
    RegistryScratch scratch;
    for (LookupKind kind : {LookupClassKey, LookupInstanceKey}) {
        const std::wstring classId = NewGuidText();
        const std::wstring dmoKey = L"DirectShow\\MediaObjects\\" + classId.substr(1, 36);
        scratch.Own(L"CLSID\\" + classId);
        scratch.Own(dmoKey);
        scratch.SetText(L"CLSID\\" + classId, nullptr, L"Vantrel DMO");
        scratch.SetText(dmoKey, nullptr, L"Vantrel DMO");
        CopyText(g_app.selectedClsid, kNameCapacity, classId.c_str());
        g_app.lookupKind = kind;

        HWND dialog = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_MANAGE), g_app.mainWindow,
                                         ManageDialog, 0);
        ASSERT_NE(nullptr, dialog);
        MessageRecorder yes(IDYES);
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_DELETE_CODEC, BN_CLICKED), 0);
        ASSERT_EQ(1u, yes.Shown().size()) << Utf8(yes.Texts());
        EXPECT_TEXT_EQ(L"Подтвердите действие", yes.Shown()[0].caption);
        EXPECT_EQ(static_cast<UINT>(MB_ICONWARNING | MB_YESNO), yes.Shown()[0].style);
        EXPECT_EQ(dialog, yes.Shown()[0].owner);
        EXPECT_FALSE(KeyExists(L"CLSID\\" + classId)) << Utf8(classId);
        EXPECT_EQ(kind == LookupInstanceKey, KeyExists(dmoKey)) << Utf8(dmoKey) << " after a lookup of kind "
                                                               << testing::PrintToString(kind);
        DestroyWindow(dialog);
    }
}

// A confirmation box that could not be shown answers 0: that is no Yes.
// Neither the deletion nor the unregistration goes on, and the dialog stays.
TEST(ManageDialogConfirmation, UnansweredBoxIsNoYes) {
    EnsureMainWindow();
    SelectCategory(kDefaultCategoryRow);
    RegistryScratch scratch;
    const std::wstring classId = NewGuidText();
    const std::wstring classKey = L"CLSID\\" + classId;
    scratch.Own(classKey);
    scratch.SetText(classKey, nullptr, L"Vantrel Unanswered");
    scratch.SetText(classKey + L"\\InprocServer32", nullptr, L"C:\\vantrel-no-such-codec.ax");
    const RegistrySnapshot before = TreeSnapshot(classKey);
    CopyText(g_app.selectedClsid, kNameCapacity, classId.c_str());
    CopyText(g_app.selectedName, kNameCapacity, L"Vantrel Unanswered");
    CopyText(g_app.serverPath, kNameCapacity, L"C:\\vantrel-no-such-codec.ax");
    g_app.lookupKind = LookupClassKey;

    for (int button : {IDC_DELETE_CODEC, IDC_UNREGISTER}) {
        HWND dialog = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_MANAGE), g_app.mainWindow,
                                         ManageDialog, 0);
        ASSERT_NE(nullptr, dialog);
        MessageRecorder unanswered(0);
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
        ASSERT_EQ(1u, unanswered.Shown().size()) << Utf8(unanswered.Texts());
        EXPECT_TEXT_EQ(L"Подтвердите действие", unanswered.Shown()[0].caption);
        EXPECT_TRUE(IsWindowVisible(dialog)) << "the dialog ended after button " << button;
        const std::wstring difference = SnapshotDifference(before, TreeSnapshot(classKey));
        EXPECT_TRUE(difference.empty()) << "after button " << button << ": " << Utf8(difference);
        DestroyWindow(dialog);
    }
}

bool g_manageOpened = false;

// Closes the management dialog, should it be open, and remembers that it was.
void CALLBACK CloseManageDialog(HWND, UINT, UINT_PTR, DWORD) {
    if (HWND dialog = FindWindowW(L"#32770", L"Управление кодеком")) {
        g_manageOpened = true;
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    }
}

// A CLSID value longer than the class id holds is cut; a class key named by
// the cut text belongs to another class, and is never taken for this codec's.
TEST(ManageDialogOpen, ClassIdCutToFitNamesNoClass) {
    EnsureMainWindow();
    SelectCategory(kDefaultCategoryRow);
    RegistryScratch scratch;
    const std::wstring name = L"Vantrel Cut Class " + NewGuidText().substr(1, 8);
    const std::wstring entry = std::wstring(kLegacyInstance) + NewGuidText();
    scratch.Own(entry);
    scratch.SetText(entry, L"FriendlyName", name);
    scratch.SetText(entry, L"CLSID", std::wstring(300, L'7'));
    const std::wstring other = L"CLSID\\" + std::wstring(255, L'7');
    scratch.Own(other);
    scratch.SetText(other, nullptr, L"Vantrel Other Class");
    RefreshFilterList();
    const LRESULT row =
        SendMessageW(g_app.filterList, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(name.c_str()));
    ASSERT_NE(LB_ERR, row) << Utf8(name) << " not listed";
    SendMessageW(g_app.filterList, LB_SETCURSEL, static_cast<WPARAM>(row), 0);

    g_manageOpened = false;
    const UINT_PTR timer = SetTimer(nullptr, 0, 200, CloseManageDialog);
    MessageRecorder recorder(IDOK);
    OpenManageDialog();
    KillTimer(nullptr, timer);
    EXPECT_FALSE(g_manageOpened) << "the management dialog opened, on " << Utf8(g_app.objectName);
    ASSERT_EQ(1u, recorder.Shown().size()) << Utf8(recorder.Texts());
    EXPECT_TEXT_EQ(L"Невозможно активировать управление для данного кодека:\nДанные в реестре повреждены",
                   recorder.Shown()[0].text);
}

// Variables are expanded in an expandable value only: in any other COM
// looks for the path as written, and so does the check.
TEST(ServerFile, EnvironmentVariablesAreExpandedOnlyInExpandableValues) {
    EXPECT_TRUE(ServerFileExists(L"%SystemRoot%\\system32\\quartz.dll", REG_EXPAND_SZ));
    EXPECT_FALSE(ServerFileExists(L"%SystemRoot%\\system32\\quartz.dll", REG_SZ));
    EXPECT_FALSE(ServerFileExists(L"%SystemRoot%\\system32\\vantrel-no-such.dll", REG_EXPAND_SZ));
    EXPECT_FALSE(ServerFileExists(L"", REG_EXPAND_SZ));
    EXPECT_FALSE(ServerFileExists(L"vantrel-no-such-file.ax", REG_SZ));
}

}  // namespace
