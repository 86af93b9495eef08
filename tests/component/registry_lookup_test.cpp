// Finding a filter's registration in the real registry: Instance entries
// first, then class keys; reading a class's object name and server path.
#include "../../base/bounded_text.h"
#include "../../catalogue/category_table.h"
#include "../../catalogue/registry_lookup.h"
#include "test_support.h"

#include <algorithm>

namespace {

class RegistryLookup : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureMainWindow();
        SelectCategory(kDefaultCategoryRow);
    }
    // An Instance entry (of the legacy category unless another is named) with the given values (empty: value left out).
    std::wstring AddEntry(const std::wstring& entryName, const std::wstring& friendlyName, const std::wstring& classId,
                          const wchar_t* instancePath = kLegacyInstance) {
        const std::wstring path = instancePath + entryName;
        scratch.Own(path);
        scratch.CreateKey(path);
        if (!friendlyName.empty()) scratch.SetText(path, L"FriendlyName", friendlyName);
        if (!classId.empty()) scratch.SetText(path, L"CLSID", classId);
        return path;
    }
    std::wstring AddClass(const std::wstring& classId, const std::wstring& objectName, const std::wstring& server) {
        const std::wstring path = L"CLSID\\" + classId;
        scratch.Own(path);
        scratch.CreateKey(path);
        if (!objectName.empty()) scratch.SetText(path, nullptr, objectName);
        if (!server.empty()) scratch.SetText(path + L"\\InprocServer32", nullptr, server);
        return path;
    }
    RegistryScratch scratch;
};

TEST_F(RegistryLookup, InstanceEntryFoundWithoutRegardToCase) {
    const std::wstring classId = NewGuidText();
    const std::wstring name = L"Vantrel Case Probe " + classId;
    AddEntry(NewGuidText(), name, classId);
    std::wstring lower = name;
    for (wchar_t& c : lower) c = static_cast<wchar_t>(towlower(c));

    wchar_t found[kClassIdCapacity] = L"untouched";
    EXPECT_EQ(LookupInstanceKey, FindFilterRegistration(found, lower.c_str()));
    EXPECT_EQ(classId, found);
}

TEST_F(RegistryLookup, InstanceMatchWinsOverClassKey) {
    const std::wstring instanceClass = NewGuidText();
    const std::wstring otherClass = NewGuidText();
    const std::wstring name = L"Vantrel Both Places " + instanceClass;
    AddClass(otherClass, name, L"");
    AddEntry(NewGuidText(), name, instanceClass);
    wchar_t found[kClassIdCapacity] = {};
    EXPECT_EQ(LookupInstanceKey, FindFilterRegistration(found, name.c_str()));
    EXPECT_EQ(instanceClass, found);
}

TEST_F(RegistryLookup, ClassKeyFoundByDefaultValue) {
    const std::wstring classId = NewGuidText();
    const std::wstring name = L"Vantrel Class Only " + classId;
    AddClass(classId, name, L"C:\\x.dll");
    wchar_t found[kClassIdCapacity] = {};
    EXPECT_EQ(LookupClassKey, FindFilterRegistration(found, name.c_str()));
    EXPECT_EQ(classId, found);
}

TEST_F(RegistryLookup, EntryWithoutClsidYieldsItsKeyName) {
    const std::wstring entryName = L"Vantrel entry " + NewGuidText();
    const std::wstring name = L"Vantrel No Clsid " + entryName;
    AddEntry(entryName, name, L"");
    wchar_t found[kClassIdCapacity] = {};
    EXPECT_EQ(LookupInstanceKey, FindFilterRegistration(found, name.c_str()));
    EXPECT_EQ(entryName, found);
}

TEST_F(RegistryLookup, NameFoundNowhereLeavesOutputUntouched) {
    wchar_t found[kClassIdCapacity] = L"as before";
    const std::wstring name = L"Vantrel Nowhere " + NewGuidText();
    EXPECT_EQ(LookupNone, FindFilterRegistration(found, name.c_str()));
    EXPECT_STREQ(L"as before", found);
}

TEST_F(RegistryLookup, CategoryComesFromComboboxOrDefault) {
    const std::wstring classId = NewGuidText();
    const std::wstring name = L"Vantrel Video Entry " + classId;
    AddEntry(NewGuidText(), name, classId, kVideoCompressorInstance);
    wchar_t found[kClassIdCapacity] = {};
    SelectCategory(3);
    EXPECT_EQ(LookupInstanceKey, FindFilterRegistration(found, name.c_str()));
    SelectCategory(kDefaultCategoryRow);
    EXPECT_EQ(LookupNone, FindFilterRegistration(found, name.c_str()));

    // With no row selected, the legacy filter category is searched.
    const std::wstring legacyClass = NewGuidText();
    const std::wstring legacyName = L"Vantrel Legacy Entry " + legacyClass;
    AddEntry(NewGuidText(), legacyName, legacyClass);
    SendMessageW(g_app.categoryCombo, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    EXPECT_EQ(LookupInstanceKey, FindFilterRegistration(found, legacyName.c_str()));
    EXPECT_EQ(legacyClass, found);
}

TEST_F(RegistryLookup, LongClassIdIsCutTo255) {
    const std::wstring longId(300, L'7');
    const std::wstring name = L"Vantrel Long Id " + NewGuidText();
    AddEntry(NewGuidText(), name, longId);
    wchar_t found[kNameCapacity];
    std::fill(std::begin(found), std::end(found), L'#');
    bool cut = false;
    EXPECT_EQ(LookupInstanceKey, FindFilterRegistration(found, name.c_str(), &cut));
    EXPECT_EQ(std::wstring(255, L'7'), found);
    EXPECT_EQ(L'#', found[256]);
    EXPECT_TRUE(cut) << "a 300-character value, cut to 255";

    // 255 characters fit whole.
    const std::wstring fitting = L"Vantrel Fitting Id " + NewGuidText();
    AddEntry(NewGuidText(), fitting, std::wstring(255, L'5'));
    EXPECT_EQ(LookupInstanceKey, FindFilterRegistration(found, fitting.c_str(), &cut));
    EXPECT_EQ(std::wstring(255, L'5'), found);
    EXPECT_FALSE(cut) << "a 255-character value";
}

TEST_F(RegistryLookup, TextsStoredWithoutTerminatorAreReadWhole) {
    // As some installers store texts: the characters without the final zero.
    // Wine's registry adds a zero to such a REG_SZ value where the buffer has
    // room, Windows' does not; raw bytes come back as Windows hands them over.
    const std::wstring classId = NewGuidText();
    const std::wstring name = L"Vantrel Raw " + classId;
    const std::wstring server = L"C:\\windows\\system32\\quartz.dll";
    const std::wstring entry = AddEntry(NewGuidText(), L"", L"");
    const std::wstring classKey = AddClass(classId, L"", L"");
    scratch.SetBytes(entry, L"FriendlyName", name.data(), static_cast<DWORD>(name.size() * sizeof(wchar_t)));
    scratch.SetBytes(entry, L"CLSID", classId.data(), static_cast<DWORD>(classId.size() * sizeof(wchar_t)));
    scratch.SetBytes(classKey + L"\\InprocServer32", nullptr, server.data(),
                     static_cast<DWORD>(server.size() * sizeof(wchar_t)));
    wchar_t found[kClassIdCapacity] = L"as before";
    EXPECT_EQ(LookupInstanceKey, FindFilterRegistration(found, name.c_str()));
    EXPECT_EQ(classId, found);
    wchar_t object[kNameCapacity] = L"";
    wchar_t path[kNameCapacity] = L"";
    EXPECT_EQ(1, ReadClassInfo(classId.c_str(), object, path));
    EXPECT_EQ(server, path);

    // 500 characters without a terminator fill the whole buffer and may have
    // been cut: such a name, like one longer than 1000 bytes, is passed over.
    const std::wstring fullName(500, L'f');
    const std::wstring fullEntry = AddEntry(NewGuidText(), L"", NewGuidText());
    scratch.SetBytes(fullEntry, L"FriendlyName", fullName.data(), 1000);
    CopyText(found, kClassIdCapacity, L"as before");
    EXPECT_EQ(LookupNone, FindFilterRegistration(found, fullName.c_str()));
    const std::wstring longName(600, L'n');
    AddEntry(NewGuidText(), longName, NewGuidText());
    EXPECT_EQ(LookupNone, FindFilterRegistration(found, longName.c_str()));
    EXPECT_STREQ(L"as before", found);
}

TEST_F(RegistryLookup, ReadClassInfoFillsOnlyWhatItReads) {
    const std::wstring full = NewGuidText();
    AddClass(full, L"Object Name", L"C:\\codecs\\probe.ax");
    wchar_t object[kNameCapacity] = L"old object";
    wchar_t server[kNameCapacity] = L"old server";
    EXPECT_EQ(1, ReadClassInfo(full.c_str(), object, server));
    EXPECT_STREQ(L"Object Name", object);
    EXPECT_STREQ(L"C:\\codecs\\probe.ax", server);

    const std::wstring bare = NewGuidText();
    AddClass(bare, L"", L"");
    CopyText(object, kNameCapacity, L"old object");
    CopyText(server, kNameCapacity, L"old server");
    EXPECT_EQ(1, ReadClassInfo(bare.c_str(), object, server));
    EXPECT_STREQ(L"old object", object);
    EXPECT_STREQ(L"old server", server);

    EXPECT_EQ(0, ReadClassInfo(NewGuidText().c_str(), object, server));
    EXPECT_STREQ(L"old object", object);
}

TEST_F(RegistryLookup, EmptyOrBackslashClassIdsNameNoClass) {
    wchar_t object[kNameCapacity] = L"old";
    wchar_t server[kNameCapacity] = L"old";
    // "CLSID\" itself exists, and so does a key below another class: neither may be read as a class.
    EXPECT_EQ(0, ReadClassInfo(L"", object, server));
    const std::wstring classId = NewGuidText();
    AddClass(classId, L"Parent", L"C:\\p.dll");
    EXPECT_EQ(0, ReadClassInfo((classId + L"\\InprocServer32").c_str(), object, server));
    EXPECT_STREQ(L"old", object);
    EXPECT_STREQ(L"old", server);
}

TEST_F(RegistryLookup, InstanceKeyFoundByClsidValue) {
    const std::wstring classId = NewGuidText();
    const std::wstring entryName = L"entry " + NewGuidText();
    AddEntry(entryName, L"Vantrel By Clsid", classId);
    const std::wstring instancePath = kLegacyInstance;
    wchar_t path[kNameCapacity] = L"old";
    std::wstring lower = classId;
    for (wchar_t& c : lower) c = static_cast<wchar_t>(towlower(c));
    EXPECT_EQ(1, FindInstanceKeyByClsid(instancePath.c_str(), lower.c_str(), path));
    EXPECT_EQ(instancePath + entryName, path);

    EXPECT_EQ(0, FindInstanceKeyByClsid(instancePath.c_str(), NewGuidText().c_str(), path));
    EXPECT_STREQ(L"", path);
    CopyText(path, kNameCapacity, L"old");
    const std::wstring missing = L"CLSID\\" + NewGuidText() + L"\\Instance\\";
    EXPECT_EQ(0, FindInstanceKeyByClsid(missing.c_str(), classId.c_str(), path));
    EXPECT_STREQ(L"", path);
}

}  // namespace
