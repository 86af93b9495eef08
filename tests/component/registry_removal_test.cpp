// Deleting a codec's keys: exactly the codec's own keys, never more.
#include "../../base/bounded_text.h"
#include "../../catalogue/category_table.h"
#include "../../registry/registry_removal.h"
#include "test_support.h"

#include <algorithm>

namespace {

// The keys of a snapshot that are gone, as one text: "[a][b]" (sorted), "" for none.
std::wstring Gone(const std::vector<std::wstring>& before) { return Joined(MissingKeys(before, CodecKeySnapshot())); }

std::wstring Sorted(std::vector<std::wstring> keys) {
    std::sort(keys.begin(), keys.end());
    return Joined(keys);
}

class RegistryRemoval : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureMainWindow();
        SelectCategory(kDefaultCategoryRow);
    }
    RegistryScratch scratch;
};

TEST_F(RegistryRemoval, ClassKeyTreeAndInstanceEntryByClsidValue) {
    const std::wstring classId = NewGuidText();
    const std::wstring classKey = L"CLSID\\" + classId;
    scratch.Own(classKey);
    scratch.SetText(classKey, nullptr, L"Object");
    scratch.SetText(classKey + L"\\InprocServer32", nullptr, L"C:\\x.dll");
    scratch.SetText(classKey + L"\\Pins\\Input\\Types\\{A}", nullptr, L"deep");
    scratch.SetText(classKey + L"\\Pins\\Output", nullptr, L"leaf");
    const std::wstring entry = std::wstring(kLegacyInstance) + L"entry " + NewGuidText();
    scratch.Own(entry);
    scratch.SetText(entry, L"CLSID", classId);
    scratch.SetText(entry, L"FriendlyName", L"Vantrel Removal");
    const std::vector<std::wstring> before = CodecKeySnapshot();

    RemoveCodecRegistry(classId.c_str(), L"Vantrel Removal");
    EXPECT_EQ(Sorted({classKey, entry}), Gone(before));
}

TEST_F(RegistryRemoval, NothingToDeleteChangesNothing) {
    const std::vector<std::wstring> before = CodecKeySnapshot();
    RemoveCodecRegistry(NewGuidText().c_str(), L"Vantrel Nothing");
    EXPECT_EQ(L"", Gone(before));
}

TEST_F(RegistryRemoval, EntryNamedByClassIdWithoutClsidValue) {
    const std::wstring classId = NewGuidText();
    const std::wstring entry = kLegacyInstance + classId;
    scratch.Own(entry);
    scratch.SetText(entry, L"FriendlyName", L"Vantrel Named Entry");
    RemoveCodecRegistry(classId.c_str(), L"Vantrel Removal");
    EXPECT_FALSE(KeyExists(entry)) << Utf8(entry);
}

TEST_F(RegistryRemoval, OtherCategoryCurrentStillDeletesLegacyEntry) {
    const std::wstring classId = NewGuidText();
    const std::wstring legacyEntry = kLegacyInstance + classId;
    const std::wstring videoEntry = std::wstring(kVideoCompressorInstance) + L"other " + classId;
    scratch.Own(legacyEntry);
    scratch.Own(videoEntry);
    scratch.SetText(legacyEntry, L"FriendlyName", L"Vantrel Legacy");
    scratch.SetText(videoEntry, L"CLSID", classId);
    SelectCategory(3);
    RemoveCodecRegistry(classId.c_str(), L"Vantrel Removal");
    EXPECT_FALSE(KeyExists(videoEntry)) << Utf8(videoEntry);
    EXPECT_FALSE(KeyExists(legacyEntry)) << Utf8(legacyEntry);
}

TEST_F(RegistryRemoval, EmptyOrBackslashClassIdsReachNothingElse) {
    // The row's entry has an empty CLSID value, and so has another codec's
    // entry enumerated before it: only the row's own entry goes, and nothing
    // else may disappear (as "CLSID\" + "" would be every class).
    const std::wstring other = std::wstring(kLegacyInstance) + L"0000 other empty clsid " + NewGuidText();
    const std::wstring entry = std::wstring(kLegacyInstance) + L"zzzz row empty clsid " + NewGuidText();
    for (const std::wstring& path : {other, entry}) {
        scratch.Own(path);
        scratch.SetText(path, L"CLSID", L"");
    }
    scratch.SetText(other, L"FriendlyName", L"Vantrel Other Empty");
    scratch.SetText(entry, L"FriendlyName", L"Vantrel Empty");
    std::vector<std::wstring> before = CodecKeySnapshot();
    RemoveCodecRegistry(L"", L"vantrel empty");
    EXPECT_EQ(Joined({entry}), Gone(before));

    const std::wstring classId = NewGuidText();
    const std::wstring server = L"CLSID\\" + classId + L"\\InprocServer32";
    scratch.Own(L"CLSID\\" + classId);
    scratch.SetText(server, nullptr, L"C:\\x.dll");
    before = CodecKeySnapshot();
    RemoveCodecRegistry((classId + L"\\InprocServer32").c_str(), L"Vantrel Backslash");
    EXPECT_TRUE(KeyExists(server)) << Utf8(server);
    EXPECT_EQ(L"", Gone(before));

    CopyText(g_app.selectedClsid, kNameCapacity, L"");
    RemoveDmoRegistration();
    CopyText(g_app.selectedClsid, kNameCapacity, L"{}");
    RemoveDmoRegistration();
    EXPECT_EQ(L"", Gone(before));
}

TEST_F(RegistryRemoval, DmoKeyNamedWithoutBraces) {
    const std::wstring classId = NewGuidText();
    const std::wstring braceless = classId.substr(1, 36);
    const std::wstring dmoKey = L"DirectShow\\MediaObjects\\" + braceless;
    scratch.Own(dmoKey);
    scratch.SetText(dmoKey + L"\\InputTypes", nullptr, L"x");
    CopyText(g_app.selectedClsid, kNameCapacity, classId.c_str());
    RemoveDmoRegistration();
    EXPECT_FALSE(KeyExists(dmoKey)) << Utf8(dmoKey);

    scratch.SetText(dmoKey, nullptr, L"written without braces");
    CopyText(g_app.selectedClsid, kNameCapacity, braceless.c_str());
    RemoveDmoRegistration();
    EXPECT_FALSE(KeyExists(dmoKey)) << Utf8(dmoKey);

    // A braceless id longer than 59 characters deletes nothing, not even its cut prefix.
    const std::wstring prefixKey = L"DirectShow\\MediaObjects\\" + std::wstring(59, L'A');
    scratch.Own(prefixKey);
    scratch.SetText(prefixKey, nullptr, L"prefix");
    CopyText(g_app.selectedClsid, kNameCapacity, (L"{" + std::wstring(70, L'A') + L"}").c_str());
    RemoveDmoRegistration();
    EXPECT_TRUE(KeyExists(prefixKey)) << Utf8(prefixKey);
}

TEST_F(RegistryRemoval, OverlongSubkeyPathsAreSkippedNotCut) {
    const std::wstring root = L"CLSID\\" + NewGuidText();
    scratch.Own(root);
    const std::wstring a(250, L'a'), b(250, L'b');
    const std::wstring deep = root + L"\\" + a + L"\\" + b;  // beyond 499 characters
    ASSERT_TRUE(scratch.CreateKey(deep)) << Utf8(deep);
    scratch.SetText(root + L"\\short", nullptr, L"sibling");

    DeleteKeyTree(HKEY_CLASSES_ROOT, root.c_str());
    // The walk ends although the deep key can be neither reached nor deleted.
    EXPECT_TRUE(KeyExists(deep)) << Utf8(deep);
    EXPECT_FALSE(KeyExists(root + L"\\short")) << Utf8(root) << "\\short";
    EXPECT_TRUE(KeyExists(root)) << Utf8(root);  // it still has a subkey, so the platform refuses it
}

TEST_F(RegistryRemoval, KeyThatIsALinkIsNeitherFollowedNorDeleted) {
    // An entry to delete may itself be a link to another codec's key: nothing
    // of either goes. (RegDeleteKeyW on the link's path deletes its target.)
    const std::wstring target = L"CLSID\\" + NewGuidText();
    const std::wstring holder = L"CLSID\\" + NewGuidText();
    scratch.Own(target);
    scratch.Own(holder);
    scratch.SetText(target, nullptr, L"another codec");
    scratch.CreateKey(holder);
    const std::wstring link = holder + L"\\link";
    ASSERT_TRUE(CreateLink(link, target)) << Utf8(link);
    DeleteKeyTree(HKEY_CLASSES_ROOT, link.c_str());
    EXPECT_TRUE(KeyExists(target)) << Utf8(target);
    EXPECT_EQ(L"[link]", Joined(SubkeyNames(holder)));
    EXPECT_TRUE(DeleteLink(link)) << Utf8(link);
}

}  // namespace
