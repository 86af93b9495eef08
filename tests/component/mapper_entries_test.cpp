// The check of the FilterData values the filter mapper reads, kept until the
// registry changes: what a change notification, the program's own write and a
// key that cannot be watched each make it read again.
#include "../../base/bounded_text.h"
#include "../../base/scoped.h"
#include "../../catalogue/category_table.h"
#include "../../catalogue/mapper_entries.h"
#include "../../merit/merit.h"
#include "test_support.h"

#include <sddl.h>

namespace {

const wchar_t kCategoriesInstance[] = L"CLSID\\{DA4E3DA0-D07D-11D0-BD50-00A0C911CE86}\\Instance\\";

// A FilterData of version 1 cut after its version: damaged, and passed over
// by Wine's mapper, which reads version 2 only.
const BYTE kCutRecord[] = {1, 0, 0, 0};

struct CheckResult {
    std::size_t damaged;
    std::wstring names;
    std::size_t keysRead;  // keys of entries read again for this check
    std::size_t opened;    // entries in them opened and checked again
};

CheckResult Check() {
    const std::size_t before = MapperEntryKeysRead();
    const std::size_t openedBefore = MapperEntriesChecked();
    DamagedMapperEntries found;
    FindDamagedMapperEntries(found);
    std::wstring names;
    for (std::size_t i = 0; i < found.count && i < kDamagedNamesKept; ++i) names += found.names[i] + std::wstring(L";");
    EXPECT_EQ(found.count == 0, MapperEntriesSound()) << "the two answers of one check differ";
    return {found.count, names, MapperEntryKeysRead() - before, MapperEntriesChecked() - openedBefore};
}

// Waits until every key written so far is older than the time an entry's key
// must have been written before it was checked for the check to trust its
// write time (two seconds), so that only a write made after this is opened.
bool WaitUntilWritesSettle() {
    const auto now = [] {
        FILETIME time;
        GetSystemTimeAsFileTime(&time);
        return (ULONGLONG(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    const ULONGLONG settled = now() + 21000000ull;
    const DWORD deadline = GetTickCount() + 5000;
    while (now() <= settled) {
        if (static_cast<LONG>(GetTickCount() - deadline) > 0) return false;
        Sleep(50);
    }
    return true;
}

// Sets the DACL of HKEY_CLASSES_ROOT\path from its SDDL text.
bool SetKeyDacl(const std::wstring& path, const wchar_t* sddl) {
    RegKey key;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, WRITE_DAC, key.Put()) != ERROR_SUCCESS) return false;
    PSECURITY_DESCRIPTOR security = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &security, nullptr)) return false;
    const LONG status = RegSetKeySecurity(key.Get(), DACL_SECURITY_INFORMATION, security);
    LocalFree(security);
    return status == ERROR_SUCCESS;
}

TEST(MapperEntriesCheck, KeptUntilAKeyChangesOrTheProgramWritesAndReadEveryTimeWhereNotWatched) {
    EnsureMainWindow();
    SelectCategory(kDefaultCategoryRow);
    ForgetMapperEntriesCheck();
    const CheckResult first = Check();
    ASSERT_EQ(0u, first.damaged) << "the fresh prefix holds damaged entries: " << Utf8(first.names);
    ASSERT_GE(first.keysRead, 2u);
    EXPECT_EQ(0u, Check().keysRead) << "nothing changed, yet entries were read again";

    // Another program writes a damaged entry: its key's notification tells.
    RegistryScratch scratch;
    const std::wstring damagedEntry = std::wstring(kLegacyInstance) + NewGuidText();
    scratch.Own(damagedEntry);
    ASSERT_TRUE(scratch.SetText(damagedEntry, L"FriendlyName", L"Vantrel Cut Record"));
    ASSERT_TRUE(scratch.SetBytes(damagedEntry, L"FilterData", kCutRecord, sizeof(kCutRecord)));
    const CheckResult afterWrite = Check();
    EXPECT_EQ(1u, afterWrite.damaged);
    EXPECT_TEXT_EQ(L"Vantrel Cut Record;", afterWrite.names);
    EXPECT_EQ(1u, afterWrite.keysRead) << "only the changed key is read again";
    DeleteTree(damagedEntry);
    EXPECT_EQ(0u, Check().damaged) << "the deletion was not seen";

    // An entry checked once is opened again only once its key was written
    // since: another program damaging it in place is seen, and no other
    // entry of its key is opened for that.
    MapperFilter filter(L"Vantrel Kept Check Filter", 0x00600000);
    ASSERT_TRUE(filter.Registered());
    ASSERT_TRUE(WaitUntilWritesSettle());
    EXPECT_EQ(1u, Check().opened) << "entries not written since their check were opened again";
    BYTE saved[512];
    DWORD savedSize = sizeof(saved);
    ASSERT_EQ(ERROR_SUCCESS, RegGetValueW(HKEY_CLASSES_ROOT, filter.InstancePath().c_str(), L"FilterData",
                                          RRF_RT_REG_BINARY, nullptr, saved, &savedSize));
    ASSERT_TRUE(WriteValue(filter.InstancePath(), L"FilterData", REG_BINARY, kCutRecord, sizeof(kCutRecord)));
    const CheckResult inPlace = Check();
    EXPECT_EQ(1u, inPlace.damaged) << "a FilterData damaged in place was not seen";
    EXPECT_EQ(1u, inPlace.opened);
    ASSERT_TRUE(WriteValue(filter.InstancePath(), L"FilterData", REG_BINARY, saved, savedSize));
    EXPECT_EQ(0u, Check().damaged);

    // The program's own merit write makes the next check read the key it wrote in.
    CopyText(g_app.selectedName, kNameCapacity, L"Vantrel Kept Check Filter");
    CopyText(g_app.selectedClsid, kNameCapacity, filter.ClassId().c_str());
    g_app.selectedByClassId = true;
    g_app.currentMerit = 0x00600001;
    {
        MessageRecorder messages;
        WriteFilterMerit(g_app.mainWindow);
        EXPECT_TRUE(messages.Shown().empty()) << Utf8(messages.Texts());
    }
    g_app.selectedByClassId = false;
    EXPECT_EQ(L"0x00600001", FilterDataMerit(filter.InstancePath()));
    EXPECT_EQ(1u, Check().keysRead) << "after the program's own write its key was not read again, or others were";

    // A category whose Instance key can be read but not watched: read at
    // every check, so a change below it is seen without any notification.
    const std::wstring category = NewGuidText();
    const std::wstring categoryEntry = kCategoriesInstance + category;
    scratch.Own(categoryEntry);
    scratch.Own(L"CLSID\\" + category);
    ASSERT_TRUE(scratch.SetText(categoryEntry, L"CLSID", category));
    const DWORD merit = 1;
    ASSERT_TRUE(scratch.SetBytes(categoryEntry, L"Merit", &merit, sizeof(merit), REG_DWORD));
    const std::wstring instance = L"CLSID\\" + category + L"\\Instance";
    const std::wstring hiddenEntry = instance + L"\\" + NewGuidText();
    ASSERT_TRUE(scratch.SetBytes(hiddenEntry, L"FilterData", kCutRecord, sizeof(kCutRecord)));
    // Read, enumerate, and what the test needs to put it back: no KEY_NOTIFY.
    ASSERT_TRUE(SetKeyDacl(instance, L"D:P(A;;0x70009;;;WD)"));
    EXPECT_EQ(1u, Check().damaged);
    const BYTE sound[] = {2, 0, 0, 0, 0, 0, 0x60, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    ASSERT_TRUE(WriteValue(hiddenEntry, L"FilterData", REG_BINARY, sound, sizeof(sound)));
    const CheckResult unwatched = Check();
    EXPECT_EQ(0u, unwatched.damaged) << "a change below a key that cannot be watched was not seen";
    EXPECT_GE(unwatched.keysRead, 1u);
    EXPECT_GE(Check().keysRead, 1u) << "a key that cannot be watched was not read again";
    EXPECT_TRUE(SetKeyDacl(instance, L"D:(A;;KA;;;WD)"));
}

}  // namespace
