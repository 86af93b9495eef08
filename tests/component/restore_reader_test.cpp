// What a restore accepts: the lines of the backups' own form, read back as
// they were written, the keys a restore may write, and the classes below
// CLSID as the registry and the file make them codecs or not; the hash that
// marks a backup as the program's own.
#include "../../backups/backup_seal.h"
#include "../../backups/reg_file_reader.h"
#include "../../backups/reg_file_text.h"
#include "../../backups/restore_classes.h"
#include "../../backups/restore_scope.h"
#include "test_support.h"

namespace {

const wchar_t kHead[] = L"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\{x}]\r\n";

std::size_t Parse(const std::wstring& text, RegFileContents& contents) {
    std::wstring whole = L"\xFEFF" + text;
    return ParseRegFile(reinterpret_cast<const BYTE*>(whole.data()), whole.size() * sizeof(wchar_t), contents);
}

}  // namespace

TEST(RestoreReader, ReadsBackWhatTheWriterWrites) {
    // Every form the writer has, through the writer itself.
    GrowingText text;
    AppendRegFileHeader(text);
    AppendRegKeyLine(text, L"HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\{x}", 44);
    BYTE binary[200];
    for (int i = 0; i < 200; ++i) binary[i] = static_cast<BYTE>(i * 7 + 1);
    const struct {
        const wchar_t* name;
        DWORD type;
        const BYTE* data;
        DWORD size;
    } values[] = {
        {L"", REG_SZ, reinterpret_cast<const BYTE*>(L"default"), 16},
        {L"quote \" and \\ back", REG_SZ, reinterpret_cast<const BYTE*>(L"a \"b\" \\c\\"), 20},
        {L"odd", REG_SZ, reinterpret_cast<const BYTE*>("A\0B\0C"), 5},
        {L"dword", REG_DWORD, reinterpret_cast<const BYTE*>("\x78\x56\x34\x12"), 4},
        {L"short dword", REG_DWORD, reinterpret_cast<const BYTE*>("\x01\x02"), 2},
        {L"binary", REG_BINARY, binary, 200},
        {L"empty", REG_BINARY, nullptr, 0},
        {L"other", 0x1234ABCD, reinterpret_cast<const BYTE*>("type"), 4},
    };
    for (const auto& value : values) {
        AppendRegValueLine(text, value.name, wcslen(value.name), value.type, value.data, value.size);
    }
    AppendRegValueRemoval(text, L"gone \"1\"", 8);
    RegFileContents contents;
    ASSERT_EQ(0u, ParseRegFile(reinterpret_cast<const BYTE*>(TextChars(text)), text.length * sizeof(wchar_t), contents))
        << Utf8(TextChars(text));
    ASSERT_EQ(std::size(values) + 2, contents.count);
    EXPECT_EQ(RegFileKey, RegFileEntryAt(contents, 0).kind);
    for (std::size_t i = 0; i < std::size(values); ++i) {
        const RegFileEntry& entry = RegFileEntryAt(contents, i + 1);
        EXPECT_TEXT_EQ(values[i].name, RegFileEntryName(contents, entry));
        EXPECT_EQ(values[i].type, entry.type) << Utf8(values[i].name);
        ASSERT_EQ(values[i].size, entry.size) << Utf8(values[i].name);
        EXPECT_EQ(0, memcmp(values[i].data, RegFileEntryData(contents, entry), entry.size)) << Utf8(values[i].name);
    }
    EXPECT_EQ(RegFileRemoveValue, RegFileEntryAt(contents, contents.count - 1).kind);
    EXPECT_TEXT_EQ(L"gone \"1\"", RegFileEntryName(contents, RegFileEntryAt(contents, contents.count - 1)));
}

TEST(RestoreReader, NamesTheFirstLineNotOfTheForm) {
    const struct {
        std::wstring text;
        std::size_t line;
    } cases[] = {
        {std::wstring(kHead) + L"\"a\"=dword:0000000\r\n", 4},        // seven digits
        {std::wstring(kHead) + L"\"a\"=hex:1,02\r\n", 4},              // a byte of one digit
        {std::wstring(kHead) + L"\"a\"=hex:01,\r\n", 4},               // a comma ends it
        {std::wstring(kHead) + L"\"a\"=hex:01,\\\r\n", 4},             // continued past the end
        {std::wstring(kHead) + L"\"a\"=hex:01,\\\r\n03\r\n", 5},       // continued without blanks
        {std::wstring(kHead) + L"\"a\\n\"=\"b\"\r\n", 4},              // an escape the writer never writes
        {std::wstring(kHead) + L"\"a\"=\"b\"\n\"c\"=-\r\n", 4},        // a line feed alone
        {std::wstring(kHead) + L"\"a\"=\"b\"", 4},                     // no line break at the end
        {std::wstring(kHead) + L"; the owner before\r\n\"a\"=hex:1\r\n", 5},  // a comment is passed over
        {std::wstring(kHead) + L"\"a\"=hex(7:00\r\n", 4},
        // What only a registry link holds: its target's value, by its name or its type.
        {std::wstring(kHead) + L"\"b\"=\"c\"\r\n\"SymbolicLinkValue\"=hex(6):5c,00,52,00\r\n", 5},
        {std::wstring(kHead) + L"\"symboliclinkvalue\"=\"x\"\r\n", 4},
        {std::wstring(kHead) + L"\"SymbolicLinkValue\"=-\r\n", 4},
        {std::wstring(kHead) + L"\"Target\"=hex(6):5c,00,\\\r\n  52,00\r\n", 4},
        {L"Windows Registry Editor Version 5.00\r\n\"a\"=-\r\n", 2},   // a value before any key
        {L"REGEDIT4\r\n", 1},
    };
    for (const auto& test : cases) {
        RegFileContents contents;
        EXPECT_EQ(test.line, Parse(test.text, contents)) << Utf8(test.text);
    }
}

TEST(RestoreScope, OnlyTheCodecKeysByPlainNames) {
    const struct {
        const wchar_t* name;
        bool allowed;
    } cases[] = {
        {L"HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\{x}", true},
        {L"hkey_local_machine\\SOFTWARE\\classes\\Wow6432Node\\CLSID\\{x}", true},
        {L"HKEY_CURRENT_USER\\Software\\Classes\\CLSID\\{x}\\Instance", true},
        {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\DirectShow\\Preferred", true},
        {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\DirectShow\\Preferred", true},
        {L"HKEY_LOCAL_MACHINE\\Software\\Classes\\Media Type\\Extensions\\.avi", true},
        {L"HKEY_LOCAL_MACHINE\\Software\\Classes\\MediaFoundation\\Transforms\\Preferred", true},
        {L"HKEY_LOCAL_MACHINE\\Software\\Classes", false},             // the root itself
        {L"HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID", false},      // a codec root itself
        {L"HKEY_LOCAL_MACHINE\\Software\\Classes\\exefile\\shell\\open\\command", false},
        {L"HKEY_CURRENT_USER\\Software\\Classes\\Wow6432Node\\txtfile\\shell", false},
        {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\DirectShow\\Preferred\\x", false},
        {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\DirectShow", false},
        {L"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet", false},
        {L"HKEY_LOCAL_MACHINE\\Software\\Classes\\..\\..\\SYSTEM", false},
        {L"HKEY_LOCAL_MACHINE\\Software\\Classes\\.\\CLSID", false},
        {L"HKEY_LOCAL_MACHINE\\Software\\Classes\\\\CLSID", false},   // a doubled backslash
        {L"HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\", false},   // a final one
        {L"\\HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID", false},
        {L"HKEY_LOCAL_MACHINE\\Software\\ClassesX\\CLSID", false},
        {L"HKEY_CLASSES_ROOT\\CLSID\\{x}", false},
        {L"HKEY_USERS\\S-1-5-21_Classes\\CLSID", false},
        {L"HKLM\\Software\\Classes\\CLSID", false},
        // The ACM and Video for Windows codecs' keys, of either view, and nothing below or above them.
        {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32", true},
        {L"HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion\\drivers32", true},
        {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\drivers.desc", true},
        {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion\\drivers.desc", true},
        {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32\\x", false},
        {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", false},
        {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", false},
        {L"HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32", false},
        // Explorer's handlers turned off: Blocked of the machine (either view) and of the user, and an
        // extension's key of PropertyHandlers (either view); nothing below or above them.
        {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Blocked", true},
        {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Blocked", true},
        {L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Blocked", true},
        {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Blocked\\x", false},
        {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved", false},
        {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\PropertySystem\\PropertyHandlers\\.mkv", true},
        {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\PropertySystem\\PropertyHandlers\\.mkv", true},
        {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\PropertySystem\\PropertyHandlers", false},
        {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\PropertySystem\\PropertyHandlers\\.mkv\\x", false},
        {L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\PropertySystem\\PropertyHandlers\\.mkv", false},
    };
    for (const auto& test : cases) {
        RestoreTarget target;
        EXPECT_EQ(test.allowed, FindRestoreTarget(test.name, target)) << Utf8(test.name);
    }
    // Of Drivers32 only a codec's own value in the form Windows reads, as
    // text; of drivers.desc only the description of a file that a codec
    // value of the same file names, in the same view.
    const std::wstring current = L"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\";
    const std::wstring drivers = current + L"Drivers32]\r\n";
    const std::wstring descriptions = current + L"drivers.desc]\r\n";
    const std::wstring otherDrivers = L"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32]\r\n";
    const std::wstring blocked =
        L"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Blocked]\r\n";
    const std::wstring property =
        L"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\PropertySystem\\PropertyHandlers\\.mkv]\r\n";
    const std::wstring xvid = drivers + L"\"vidc.XVID\"=\"C:\\\\codecs\\\\xvid.dll\"\r\n";
    const struct {
        std::wstring lines;
        bool allowed;
    } values[] = {
        {xvid, true},
        {drivers + L"\"VIDS.draw\"=\"draw.dll\"\r\n\"msacm.l3acm\"=\"l3codeca.acm\"\r\n", true},
        {drivers + L"\"MsAcm.x\"=\"x.acm\"\r\n", true},  // Windows compares the names so
        {drivers + L"\"msacm.x\"=-\r\n", true},
        {drivers + L"\"wave\"=\"wdmaud.drv\"\r\n", false},
        {drivers + L"\"wavemapper\"=\"msacm32.drv\"\r\n", false},
        {drivers + L"\"midi1\"=\"x.drv\"\r\n", false},
        {drivers + L"@=\"x.dll\"\r\n", false},
        {drivers + L"\"vidc\"=\"x.dll\"\r\n", false},
        {drivers + L"\"VIDC.X\"=\"x.dll\"\r\n", false},  // not four characters
        {drivers + L"\"vidc.abcde\"=\"x.dll\"\r\n", false},
        {drivers + L"\"vidc.\"=\"x.dll\"\r\n", false},
        {drivers + L"\"msacm.\"=\"x.acm\"\r\n", false},
        {drivers + L"\"msacm.x \"=\"x.acm\"\r\n", false},
        {drivers + L"\"msacm. x\"=\"x.acm\"\r\n", false},
        {drivers + L"\"vidc.abc \"=\"x.dll\"\r\n", false},
        {drivers + L"\"msacm.x\"=hex(2):25,00,54,00,45,00,4d,00,50,00,25,00,00,00\r\n", false},  // %TEMP%
        {drivers + L"\"msacm.x\"=hex:01,02\r\n", false},
        {drivers + L"\"msacm.x\"=dword:00000001\r\n", false},
        // Descriptions: by the codec's file name or its whole path, letter case aside.
        {xvid + descriptions + L"\"xvid.dll\"=\"Xvid\"\r\n", true},
        {xvid + descriptions + L"\"C:\\\\Codecs\\\\XVID.dll\"=\"Xvid\"\r\n", true},
        {descriptions + L"\"xvid.dll\"=\"Xvid\"\r\n" + xvid, true},
        {xvid + descriptions + L"\"wdmaud.drv\"=\"spoofed\"\r\n", false},
        {descriptions + L"\"xvid.dll\"=\"Xvid\"\r\n", false},
        {otherDrivers + L"\"vidc.XVID\"=\"C:\\\\codecs\\\\xvid.dll\"\r\n" + descriptions + L"\"xvid.dll\"=\"Xvid\"\r\n", false},
        {drivers + L"\"wave\"=\"xvid.dll\"\r\n" + descriptions + L"\"xvid.dll\"=\"Xvid\"\r\n", false},
        {drivers + L"\"vidc.XVID\"=-\r\n" + descriptions + L"\"xvid.dll\"=-\r\n", true},
        {descriptions + L"\"xvid.dll\"=-\r\n", false},
        // Blocked: values named by class ids, as text; a property handler's key: its default, a class id.
        {blocked + L"\"{E357FCCD-A995-4576-B01F-234630154E96}\"=\"Vantrel\"\r\n", true},
        {blocked + L"\"{e357fccd-a995-4576-b01f-234630154e96}\"=-\r\n", true},
        {blocked + L"\"Vantrel\"=\"x\"\r\n", false},
        {blocked + L"@=\"x\"\r\n", false},
        {blocked + L"\"{E357FCCD-A995-4576-B01F-234630154E96}\"=dword:00000001\r\n", false},
        {property + L"@=\"{E357FCCD-A995-4576-B01F-234630154E96}\"\r\n", true},
        {property + L"@=-\r\n", true},
        {property + L"@=\"C:\\\\x.dll\"\r\n", false},
        {property + L"\"Other\"=\"{E357FCCD-A995-4576-B01F-234630154E96}\"\r\n", false},
        {property + L"@=hex(2):7b,00,7d,00,00,00\r\n", false},
    };
    for (const auto& test : values) {
        RegFileContents contents;
        ASSERT_EQ(0u, Parse(L"Windows Registry Editor Version 5.00\r\n\r\n" + test.lines, contents)) << Utf8(test.lines);
        bool allowed = true;
        RestoreTarget target;
        for (std::size_t i = 0; i < contents.count; ++i) {
            const RegFileEntry& entry = RegFileEntryAt(contents, i);
            if (entry.kind == RegFileKey) {
                ASSERT_TRUE(FindRestoreTarget(RegFileEntryName(contents, entry), target)) << Utf8(test.lines);
            } else {
                allowed = allowed && RestoreValueAllowed(target, contents, entry);
            }
        }
        EXPECT_EQ(test.allowed, allowed) << Utf8(test.lines);
    }
    std::wstring longName = L"HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\" + std::wstring(256, L'a');
    RestoreTarget target;
    EXPECT_FALSE(FindRestoreTarget(longName.c_str(), target));
    ASSERT_TRUE(FindRestoreTarget(L"HKEY_CURRENT_USER\\Software\\Classes\\CLSID\\{x}", target));
    EXPECT_EQ(HKEY_CURRENT_USER, target.root);
    EXPECT_TEXT_EQ(L"CLSID\\{x}", target.below);

    // Of the keys a restore may write, only the machine's keys of preferred
    // handlers may be taken over from the system.
    const struct {
        const wchar_t* name;
        bool preferences;
    } owned[] = {
        {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\DirectShow\\Preferred", true},
        {L"HKEY_LOCAL_MACHINE\\software\\WOW6432NODE\\Microsoft\\DirectShow\\preferred", true},
        {L"HKEY_LOCAL_MACHINE\\Software\\Classes\\MediaFoundation\\Transforms\\Preferred", true},
        {L"HKEY_LOCAL_MACHINE\\Software\\Classes\\Wow6432Node\\MediaFoundation\\Transforms\\Preferred", true},
        {L"HKEY_CURRENT_USER\\Software\\Classes\\MediaFoundation\\Transforms\\Preferred", false},
        {L"HKEY_LOCAL_MACHINE\\Software\\Classes\\MediaFoundation\\Transforms\\Preferred\\x", false},
        {L"HKEY_LOCAL_MACHINE\\Software\\Classes\\MediaFoundation\\Transforms\\DoNotUse", false},
        {L"HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\{x}", false},
    };
    for (const auto& test : owned) {
        ASSERT_TRUE(FindRestoreTarget(test.name, target)) << Utf8(test.name);
        EXPECT_EQ(test.preferences, IsPreferencesKey(target)) << Utf8(test.name);
    }
    wchar_t path[MAX_PATH];
    ASSERT_TRUE(RestoreTargetPath(target, path, MAX_PATH));
    EXPECT_TEXT_EQ(L"Software\\Classes\\CLSID\\{x}", path);
}

namespace {

// A key's full name in this width's half of the machine's classes, as the program's backups name it.
std::wstring MachineName(const std::wstring& path) {
    return std::wstring(L"HKEY_LOCAL_MACHINE\\Software\\Classes\\") + (sizeof(void*) == 4 ? L"Wow6432Node\\" : L"") + path;
}

std::wstring UserName(const std::wstring& path) {
    return std::wstring(L"HKEY_CURRENT_USER\\Software\\Classes\\") + (sizeof(void*) == 4 ? L"Wow6432Node\\" : L"") + path;
}

std::wstring ServerKey(const std::wstring& name, const std::wstring& server) {
    return L"[" + name + L"\\InprocServer32]\r\n@=\"" + server + L"\"\r\n";
}

}  // namespace

TEST(RestoreClasses, JudgedByTheRegistryAndTheFile) {
    // A class that is there and is no codec, and a codec of the machine's by its DMO key.
    RegistryScratch keys;
    const std::wstring system = NewGuidText(), codec = NewGuidText();
    keys.Own(L"CLSID\\" + system);
    keys.Own(L"CLSID\\" + codec);
    keys.Own(L"DirectShow\\MediaObjects\\" + codec.substr(1, 36));
    ASSERT_TRUE(WriteText(L"CLSID\\" + system + L"\\InprocServer32", nullptr, L"C:\\windows\\system32\\ole32.dll"));
    ASSERT_TRUE(WriteText(L"DirectShow\\MediaObjects\\" + codec.substr(1, 36), nullptr, L"Vantrel DMO"));
    ASSERT_TRUE(WriteText(L"CLSID\\" + codec + L"\\InprocServer32", nullptr, L"C:\\codecs\\vantrel.ax"));
    // A Media Foundation deletion's backup: a transform not there any more.
    const std::wstring transform = NewGuidText();
    std::wstring transformKey = transform.substr(1, 36);
    CharLowerBuffW(transformKey.data(), static_cast<DWORD>(transformKey.size()));
    const std::wstring mftDeletion =
        L"[" + MachineName(L"MediaFoundation\\Transforms\\" + transformKey) + L"]\r\n@=\"Vantrel MFT\"\r\n\r\n[" +
        MachineName(L"MediaFoundation\\Transforms\\Categories\\d6c02d4b-6833-45b4-971a-05a4b04bab91\\" + transformKey) +
        L"]\r\n\r\n[" + MachineName(L"CLSID\\" + transform) + L"]\r\n@=\"Vantrel MFT\"\r\n\r\n" +
        ServerKey(MachineName(L"CLSID\\" + transform), L"C:\\\\codecs\\\\vantrel mft.dll");
    const std::wstring page = NewGuidText();
    const struct {
        const char* kind;
        std::wstring keys;
        std::size_t refusedLine;
        std::size_t classes;
    } cases[] = {
        {"a Media Foundation deletion", mftDeletion, 0, 1},
        // The user's classes override the machine's: a system class there is no codec there either.
        {"a system class in the user's classes", ServerKey(UserName(L"CLSID\\" + system), L"C:\\\\payload.dll"), 3, 1},
        {"a machine's codec in the user's classes", ServerKey(UserName(L"CLSID\\" + codec), L"C:\\\\codecs\\\\vantrel.ax"), 0, 1},
        // A new class is written beside a codec of the file that its server serves too, and only then.
        {"a page of the transform's file", mftDeletion + L"\r\n" + ServerKey(MachineName(L"CLSID\\" + page), L"C:\\\\codecs\\\\Vantrel MFT.dll"), 0, 2},
        {"a class of another file", mftDeletion + L"\r\n" + ServerKey(MachineName(L"CLSID\\" + page), L"C:\\\\codecs\\\\other.dll"), 14, 2},
    };
    for (const auto& test : cases) {
        RegFileContents contents;
        ASSERT_EQ(0u, Parse(L"Windows Registry Editor Version 5.00\r\n\r\n" + test.keys, contents)) << test.kind;
        ClassesOfFile classes;
        JudgeClassKeys(contents, classes);
        EXPECT_FALSE(classes.failed) << test.kind;
        EXPECT_EQ(test.refusedLine, classes.refusedLine) << test.kind;
        EXPECT_EQ(test.classes, classes.classes.Count()) << test.kind;
    }
}

// A backup's hash line matches only the program's own text, unchanged, with
// that line last: any byte changed (the byte order mark, a value, the hash
// itself) or a line added after it, and the file is not the program's.
TEST(BackupSeal, MatchesOnlyTheUnchangedText) {
    HKEY existing = nullptr;
    const bool keyThere = RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Pelmora Vantrel", 0,
                                        KEY_READ | KEY_WOW64_64KEY, &existing) == ERROR_SUCCESS;
    if (existing) RegCloseKey(existing);
    GrowingText text;
    AppendRegFileHeader(text);
    AppendRegKeyLine(text, L"HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\{x}", 44);
    AppendRegValueLine(text, L"", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"codec"), 12);
    GrowingText again;
    AppendChars(again, TextChars(text), text.length);
    ASSERT_EQ(SealAdded, SealBackupText(text));
    ASSERT_EQ(SealAdded, SealBackupText(again));
    EXPECT_TEXT_EQ(TextChars(text), TextChars(again));  // one key per machine, made once
    std::vector<BYTE> bytes(reinterpret_cast<const BYTE*>(TextChars(text)),
                            reinterpret_cast<const BYTE*>(TextChars(text)) + text.length * sizeof(wchar_t));
    RegFileContents contents;
    EXPECT_EQ(0u, ParseRegFile(bytes.data(), bytes.size(), contents));
    EXPECT_EQ(2u, contents.count);
    EXPECT_EQ(SealMatches, CheckBackupSeal(bytes.data(), bytes.size()));
    for (std::size_t at : {std::size_t{0}, std::size_t{30}, bytes.size() / 2, bytes.size() - 6}) {
        std::vector<BYTE> changed = bytes;
        changed[at] ^= 1;
        EXPECT_EQ(SealNotMatched, CheckBackupSeal(changed.data(), changed.size())) << at;
    }
    std::vector<BYTE> longer = bytes;
    for (wchar_t c : std::wstring(L"\r\n[HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\{y}]\r\n")) {
        longer.insert(longer.end(), {static_cast<BYTE>(c & 0xFF), static_cast<BYTE>(c >> 8)});
    }
    EXPECT_EQ(SealNotMatched, CheckBackupSeal(longer.data(), longer.size()));
    EXPECT_EQ(SealNotMatched, CheckBackupSeal(bytes.data(), bytes.size() - 4));  // without its line end
    if (!keyThere) RegDeleteKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Pelmora Vantrel", KEY_WOW64_64KEY, 0);
}
