// Merit reading through the real filter mapper, merit names, and the merit
// dialog's rewrite of bytes 4 to 7 of a real FilterData value.
#include "../../base/bounded_text.h"
#include "../../base/message_box.h"
#include "../../catalogue/category_table.h"
#include "../../merit/merit.h"
#include "../../resources/resource.h"
#include "test_support.h"

namespace {

// The merit ReadFilterMerit reads for that name, as text ("0x00600000").
std::wstring ReadMeritOf(const std::wstring& name) {
    CopyText(g_app.selectedName, kNameCapacity, name.c_str());
    const std::uint32_t merit = ReadFilterMerit();
    EXPECT_EQ(nullptr, g_app.filterMapper);
    return HexWord(merit);
}

// Submits a text through the real merit dialog, as OK would.
void SubmitMeritText(const std::wstring& text) {
    HWND dialog = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_MERIT), g_app.mainWindow,
                                     MeritDialog, 0);
    ASSERT_NE(nullptr, dialog);
    SetDlgItemTextW(dialog, IDC_MERIT_NUMBER, text.c_str());
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    DestroyWindow(dialog);
}

class Merit : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureMainWindow();
        SelectCategory(kDefaultCategoryRow);
    }
};

TEST(MeritNames, SevenNamedValuesAndHexForTheRest) {
    const std::pair<std::uint32_t, const wchar_t*> cases[] = {
        {0x00800000, L"Высокий (MERIT_PREFERRED)"},    {0x00600000, L"Средний (MERIT_NORMAL)"},
        {0x00400000, L"Низкий (MERIT_UNLIKELY)"},      {0x00200000, L"Отключен (MERIT_DO_NOT_USE)"},
        {0x00100050, L"Отключен (MERIT_HW_COMPRESSOR)"}, {0x00100000, L"Отключен (MERIT_SW_COMPRESSOR)"},
        {0x00000000, L"Не определен"},                 {0x00100051, L"0x00100051"},
        {0x00600001, L"0x00600001"},                   {0xFFFFFFFF, L"0xffffffff"},
        {0x00000100, L"0x00000100"},
    };
    for (const auto& [value, text] : cases) {
        g_app.currentMerit = value;
        wchar_t shown[kNameCapacity] = L"stale";
        FormatMerit(shown);
        EXPECT_TEXT_EQ(text, shown) << "merit " << Utf8(HexWord(value));
    }
    FormatMerit(nullptr);  // a null destination is a no-op, not a crash
}

// The platform's own swscanf with "%i" is the oracle: every text it reads as a
// number in 32 bits gives the same merit, every other text is refused.
TEST(MeritText, AgreesWithThePlatformsScanf) {
    const std::pair<const wchar_t*, bool> cases[] = {
        // text, fits in 32 bits
        {L"0x100", true}, {L"0X2a", true}, {L"  0x00600000", true}, {L"\t-0x10", true}, {L"+0x7F", true},
        {L"100", true}, {L"+42", true}, {L"-1", true}, {L" 42abc", true}, {L"010", true}, {L"08", true},
        {L"-017", true}, {L"0\u044510", true}, {L"0x1g", true}, {L"0", true}, {L"-0", true},
        {L"0x", true}, {L"0X ", true}, {L"0xg", true}, {L"0x-1", true}, {L"", true}, {L"   ", true},
        {L"abc", true}, {L"+", true}, {L"-", true}, {L"- 1", true}, {L"x10", true},
        {L"2147483647", true}, {L"-2147483648", true}, {L"4294967295", true}, {L"0xFFFFFFFF", true},
        {L"037777777777", true}, {L"0x0000000000FFFFFFFF", true},
        {L"4294967296", false}, {L"-2147483649", false}, {L"0x100000000", false}, {L"040000000000", false},
        {L"99999999999999999999999", false}, {L"0x10000000000000001", false}, {L"18446744073709551617", false},
    };
    for (const auto& [text, fits] : cases) {
        int platform = 0;
        const bool platformRead = __ms_swscanf(text, L"%i", &platform) == 1;
        std::uint32_t merit = 0xDEADBEEF;
        const bool read = ParseMeritText(text, &merit);
        if (fits) {
            EXPECT_EQ(platformRead, read) << "text " << testing::PrintToString(std::wstring(text));
            if (platformRead && read) {
                EXPECT_EQ(HexWord(platform), HexWord(merit)) << "text " << testing::PrintToString(std::wstring(text));
            }
        } else {
            EXPECT_FALSE(read) << "text " << testing::PrintToString(std::wstring(text)) << " gave " << Utf8(HexWord(merit));
        }
    }
}

TEST_F(Merit, ReadThroughTheMapperWithExactName) {
    const std::wstring name = L"Vantrel Merit Probe " + NewGuidText();
    MapperFilter filter(name, 0x00612345);
    ASSERT_TRUE(filter.Registered());
    EXPECT_EQ(L"0x00612345", ReadMeritOf(name));
    std::wstring upper = name;
    for (wchar_t& c : upper) c = static_cast<wchar_t>(towupper(c));
    EXPECT_EQ(L"0x00000000", ReadMeritOf(upper));
    EXPECT_EQ(L"0x00000000", ReadMeritOf(name + L" "));
    EXPECT_EQ(L"0x00000000", ReadMeritOf(L"Vantrel Not Registered " + NewGuidText()));
}

TEST_F(Merit, FirstOfTwoSameNamedFiltersAndMeritZero) {
    const std::wstring name = L"Vantrel Twin Merit " + NewGuidText();
    MapperFilter lower(name, 0x00400000);
    MapperFilter higher(name, 0x00800000);
    ASSERT_TRUE(lower.Registered() && higher.Registered());
    // The mapper enumerates by merit, highest first.
    EXPECT_EQ(L"0x00800000", ReadMeritOf(name));

    const std::wstring zeroName = L"Vantrel Zero Merit " + NewGuidText();
    MapperFilter zero(zeroName, 0);
    ASSERT_TRUE(zero.Registered());
    EXPECT_EQ(L"0x00000000", ReadMeritOf(zeroName));
}

// Which texts are numbers is MeritText.AgreesWithThePlatformsScanf's table;
// through the dialog, one accepted and one refused text show what OK does with each.
TEST_F(Merit, TypedNumberRewritesOnlyTheMeritWord) {
    const std::wstring name = L"Vantrel Merit Write " + NewGuidText();
    MapperFilter filter(name, 0x00600000);
    ASSERT_TRUE(filter.Registered());
    const std::vector<BYTE> original = ReadBytes(filter.InstancePath(), L"FilterData");
    ASSERT_GE(original.size(), 8u) << "FilterData of " << original.size() << " bytes";
    CopyText(g_app.selectedName, kNameCapacity, name.c_str());

    MessageRecorder messages;
    SubmitMeritText(L"  0X2A");
    EXPECT_EQ("", Utf8(messages.Texts()));
    const std::vector<BYTE> now = ReadBytes(filter.InstancePath(), L"FilterData");
    ASSERT_EQ(original.size(), now.size());
    EXPECT_EQ(L"0x0000002a", MeritWordText(now));
    EXPECT_EQ(L"0x0000002a", HexWord(g_app.currentMerit));
    for (size_t i = 0; i < now.size(); ++i) {
        if (i >= 4 && i <= 7) continue;
        EXPECT_EQ(original[i], now[i]) << "byte " << i;
    }
    // The mapper reads what was written (merit above its floor of 1).
    SubmitMeritText(L"0x00700000");
    EXPECT_EQ(L"0x00700000", ReadMeritOf(name));
}

TEST_F(Merit, UnreadableNumberWarnsAndWritesNothing) {
    const std::wstring name = L"Vantrel Merit Reject " + NewGuidText();
    MapperFilter filter(name, 0x00600000);
    ASSERT_TRUE(filter.Registered());
    const std::vector<BYTE> original = ReadBytes(filter.InstancePath(), L"FilterData");
    CopyText(g_app.selectedName, kNameCapacity, name.c_str());
    g_app.currentMerit = 0x00600000;
    MessageRecorder messages;
    SubmitMeritText(L"0x100000000");
    ASSERT_EQ(1u, messages.Shown().size()) << Utf8(messages.Texts());
    EXPECT_TEXT_EQ(L"Нужно ввести правильное шестнадцатеричное число с префиксом 0\u0445, или выбрать "
                   L"предопределенное значение",
                   messages.Shown()[0].text);
    EXPECT_EQ(static_cast<UINT>(MB_ICONWARNING), messages.Shown()[0].style);
    EXPECT_EQ(L"(default)", messages.Shown()[0].caption);
    EXPECT_EQ(L"0x00600000", HexWord(g_app.currentMerit));
    EXPECT_EQ(original, ReadBytes(filter.InstancePath(), L"FilterData"));
}

TEST_F(Merit, OnlyTheFirstOfTwoSameNamedEntriesIsRewritten) {
    const std::wstring name = L"Vantrel Merit Twins " + NewGuidText();
    MapperFilter first(name, 0x00600000);
    MapperFilter second(name, 0x00600000);
    ASSERT_TRUE(first.Registered() && second.Registered());
    // Which entry the registry enumerates first decides; find it the way the walk does.
    const std::vector<std::wstring> entries = SubkeyNames(kLegacyInstance);
    std::wstring firstPath, secondPath;
    for (const std::wstring& entry : entries) {
        if (_wcsicmp(entry.c_str(), first.ClassId().c_str()) == 0 || _wcsicmp(entry.c_str(), second.ClassId().c_str()) == 0) {
            (firstPath.empty() ? firstPath : secondPath) = kLegacyInstance + entry;
        }
    }
    ASSERT_FALSE(secondPath.empty()) << "entries found: [" << Utf8(firstPath) << "]";
    g_app.currentMerit = 0x00200000;
    CopyText(g_app.selectedName, kNameCapacity, name.c_str());
    MessageRecorder messages;
    WriteFilterMerit();
    EXPECT_EQ("", Utf8(messages.Texts()));
    EXPECT_EQ(L"0x00200000", FilterDataMerit(firstPath));
    EXPECT_EQ(L"0x00600000", FilterDataMerit(secondPath));
}

TEST_F(Merit, FailuresProduceTheirMessages) {
    const std::wstring notChanged = L"Не удалось изменить приоритет (Неопознанная ошибка)\n";
    g_app.currentMerit = 0x00200000;
    {
        // No entry with this name in the selected category.
        CopyText(g_app.selectedName, kNameCapacity, (L"Vantrel Absent " + NewGuidText()).c_str());
        MessageRecorder messages;
        WriteFilterMerit();
        ASSERT_EQ(1u, messages.Shown().size()) << Utf8(messages.Texts());
        EXPECT_TEXT_EQ(notChanged, messages.Shown()[0].text);
        EXPECT_EQ(static_cast<UINT>(MB_ICONERROR), messages.Shown()[0].style);
        EXPECT_EQ(nullptr, messages.Shown()[0].owner);
    }
    {
        // Registered under another category's key than the selected one.
        const std::wstring name = L"Vantrel Video Merit " + NewGuidText();
        MapperFilter video(name, 0x00600000, CLSID_VideoCompressorCategory);
        ASSERT_TRUE(video.Registered());
        CopyText(g_app.selectedName, kNameCapacity, name.c_str());
        MessageRecorder messages;
        WriteFilterMerit();
        ASSERT_EQ(1u, messages.Shown().size()) << Utf8(messages.Texts());
        EXPECT_TEXT_EQ(notChanged, messages.Shown()[0].text);
        EXPECT_EQ(L"0x00600000", FilterDataMerit(video.InstancePath()));
    }
    {
        // A FilterData too short to hold a merit word is passed over and never written past.
        RegistryScratch scratch;
        const std::wstring entry = kLegacyInstance + NewGuidText();
        scratch.Own(entry);
        const std::wstring name = L"Vantrel Short Data " + NewGuidText();
        scratch.SetText(entry, L"FriendlyName", name);
        const BYTE shortData[5] = {1, 0, 0, 0, 0x42};  // a version-1 header: the runtime skips it
        scratch.SetBytes(entry, L"FilterData", shortData, sizeof(shortData));
        CopyText(g_app.selectedName, kNameCapacity, name.c_str());
        MessageRecorder messages;
        WriteFilterMerit();
        ASSERT_EQ(1u, messages.Shown().size()) << Utf8(messages.Texts());
        EXPECT_TEXT_EQ(notChanged, messages.Shown()[0].text);
        EXPECT_EQ(std::vector<BYTE>(shortData, shortData + 5), ReadBytes(entry, L"FilterData"));
    }
    {
        // A damaged FilterData (a header promising a pin it does not hold) is refused and never written.
        RegistryScratch scratch;
        const std::wstring entry = kLegacyInstance + NewGuidText();
        scratch.Own(entry);
        const std::wstring name = L"Vantrel Damaged Data " + NewGuidText();
        scratch.SetText(entry, L"FriendlyName", name);
        const BYTE damaged[16] = {2, 0, 0, 0, 0, 0, 0x60, 0, 1, 0, 0, 0, 0, 0, 0, 0};
        scratch.SetBytes(entry, L"FilterData", damaged, sizeof(damaged));
        CopyText(g_app.selectedName, kNameCapacity, name.c_str());
        MessageRecorder messages;
        WriteFilterMerit();
        ASSERT_EQ(1u, messages.Shown().size()) << Utf8(messages.Texts());
        EXPECT_TEXT_EQ(notChanged, messages.Shown()[0].text);
        EXPECT_EQ(std::vector<BYTE>(damaged, damaged + 16), ReadBytes(entry, L"FilterData"));
    }
    {
        // A category whose Instance key does not exist under this runtime.
        ASSERT_FALSE(KeyExists(L"CLSID\\{33D9A761-90C8-11d0-BD43-00A0C911CE86}\\Instance")) << "the audio compressor Instance key exists";
        SelectCategory(0);
        MessageRecorder messages;
        WriteFilterMerit();
        ASSERT_EQ(1u, messages.Shown().size()) << Utf8(messages.Texts());
        EXPECT_TEXT_EQ(L"Не удалось получить доступ к HKEY_CLASSES_ROOT:Возможно, у вас нет прав доступа к реестру\n",
                       messages.Shown()[0].text);
        SelectCategory(kDefaultCategoryRow);
    }
}

TEST_F(Merit, NoComboboxSelectionWritesInTheLegacyCategory) {
    const std::wstring name = L"Vantrel No Selection " + NewGuidText();
    MapperFilter filter(name, 0x00600000);
    ASSERT_TRUE(filter.Registered());
    SendMessageW(g_app.categoryCombo, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    CopyText(g_app.selectedName, kNameCapacity, name.c_str());
    g_app.currentMerit = 0x00400000;
    MessageRecorder messages;
    WriteFilterMerit();
    EXPECT_EQ("", Utf8(messages.Texts()));
    EXPECT_EQ(L"0x00400000", FilterDataMerit(filter.InstancePath()));
}

TEST_F(Merit, PresetButtonsFillTheNumberAndCancelWritesNothing) {
    const std::wstring name = L"Vantrel Preset " + NewGuidText();
    MapperFilter filter(name, 0x00600000);
    ASSERT_TRUE(filter.Registered());
    const std::vector<BYTE> original = ReadBytes(filter.InstancePath(), L"FilterData");
    CopyText(g_app.selectedName, kNameCapacity, name.c_str());
    g_app.currentMerit = 0x00600000;
    HWND dialog = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_MERIT), g_app.mainWindow,
                                     MeritDialog, 0);
    ASSERT_NE(nullptr, dialog);
    wchar_t text[256];
    GetDlgItemTextW(dialog, IDC_MERIT_NUMBER, text, 256);
    EXPECT_STREQ(L"0x00600000", text);
    const std::pair<int, const wchar_t*> presets[] = {{IDC_MERIT_PREFERRED, L"0x00800000"},
                                                      {IDC_MERIT_NORMAL, L"0x00600000"},
                                                      {IDC_MERIT_UNLIKELY, L"0x00400000"},
                                                      {IDC_MERIT_DO_NOT_USE, L"0x00200000"}};
    for (const auto& [id, expected] : presets) {
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
        GetDlgItemTextW(dialog, IDC_MERIT_NUMBER, text, 256);
        EXPECT_STREQ(expected, text) << "button " << id;
    }
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    DestroyWindow(dialog);
    EXPECT_EQ(L"0x00600000", HexWord(g_app.currentMerit));
    EXPECT_EQ(original, ReadBytes(filter.InstancePath(), L"FilterData"));
}

}  // namespace
