// Registry backups taken by the real program before it deletes a codec's
// entries, unregisters a codec or changes a merit: each backup, imported with
// the system's own reg.exe, gives back the same keys, value names, types and
// bytes; a backup that cannot be written stops the action.
#include "report_saving.h"
#include "test_codec.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <iterator>

namespace {

const wchar_t kBackupFailed[] =
    L"Не удалось сохранить резервную копию записей реестра\nОперация отменена, реестр не изменен";

const wchar_t kUnterminated[] = L"No terminator";

// String data of odd length whose last whole character is not a zero, and
// how the backup must write each: its own type, byte for byte.
const struct {
    const wchar_t* name;
    DWORD type;
    const char* data;
    DWORD size;
    const wchar_t* line;
} kOddStrings[] = {
    {L"Five bytes", REG_SZ, "A\0B\0C", 5, L"\"Five bytes\"=hex(1):41,00,42,00,43\r\n"},
    {L"Odd expand", REG_EXPAND_SZ, "%\0A\0%", 5, L"\"Odd expand\"=hex(2):25,00,41,00,25\r\n"},
    {L"Odd multi", REG_MULTI_SZ, "a\0\0\0b\0c", 7, L"\"Odd multi\"=hex(7):61,00,00,00,62,00,63\r\n"},
};

bool IsOddString(const RegistryItem& item) {
    for (const auto& odd : kOddStrings) {
        if (item.isValue && item.name == odd.name) return true;
    }
    return false;
}

// What an import of the backup gives back, where the import is exact: the
// same items, except that the import ends string data that lacks a
// terminator with one. The odd-length strings are left out; the import
// changes them (see ImportedOddString).
RegistrySnapshot AfterImport(RegistrySnapshot snapshot) {
    for (RegistryItem& item : snapshot) {
        if (item.isValue && item.name == kUnterminated) item.data.insert(item.data.end(), {0, 0});
    }
    std::erase_if(snapshot, IsOddString);
    return snapshot;
}

std::wstring DmoKey(const std::wstring& classId) { return L"DirectShow\\MediaObjects\\" + classId.substr(1, 36); }

// Values of every type the registry editor's format has to carry, with names
// and data that need escaping, non-Latin letters, line breaks in data, and
// strings the format can write only as hexadecimal.
void WriteEveryType(const std::wstring& key) {
    WriteText(key, L"Plain", L"text with \"quotes\" and \\ back\\slashes\\");
    WriteText(key, L"Кириллица \"в имени\" \\ с чертой", L"значение по-русски");
    WriteText(key, L"Line breaks", L"first line\r\nsecond line\nthird\r");
    // Six bytes of "abcX": the system stores "abc" without a terminator only
    // when the character after the counted ones is not zero.
    WriteValue(key, kUnterminated, REG_SZ, L"abcX", 6);
    WriteValue(key, L"Empty string value", REG_SZ, L"", 0);
    WriteValue(key, L"Odd size", REG_SZ, "a\0\0\0c", 5);
    for (const auto& odd : kOddStrings) WriteValue(key, odd.name, odd.type, odd.data, odd.size);
    WriteText(key, L"Expand", L"%SystemRoot%\\system32\\vantrel.ax", REG_EXPAND_SZ);
    WriteValue(key, L"Multi", REG_MULTI_SZ, L"first\0second \"2\"\0\0", 36);
    const DWORD dword = 0x12345678;
    WriteValue(key, L"Dword", REG_DWORD, &dword, 4);
    WriteValue(key, L"Short dword", REG_DWORD, "\x01\x02", 2);
    const std::uint64_t qword = 0x0123456789ABCDEFull;
    WriteValue(key, L"Qword", REG_QWORD, &qword, 8);
    BYTE binary[300];
    for (int i = 0; i < 300; ++i) binary[i] = static_cast<BYTE>(i * 7);
    WriteValue(key, L"Binary", REG_BINARY, binary, sizeof(binary));
    WriteValue(key, L"Empty binary", REG_BINARY, nullptr, 0);
    WriteValue(key, L"None", REG_NONE, "\x00\xff\x10", 3);
    WriteValue(key, L"Other type", 0x1234ABCD, "type", 4);
}

// Presses a button of the management dialog and answers its confirmation with Yes.
void ConfirmAction(const ProgramUnderTest& program, HWND manage, int button) {
    PressButton(manage, button);
    HWND confirm = WaitForMessageBox(program, {manage});
    CHECK(confirm && WindowText(confirm) == kConfirmTitle, confirm ? WindowText(confirm) : L"no confirmation");
    if (!confirm) return;
    PressButton(confirm, IDYES);
    CHECK(program.WaitDialogGone(confirm), L"confirmation stayed");
}

// Confirms the action of the button, waits until the management dialog has
// closed, and gives the backup file the action wrote ("" when none came).
std::wstring ConfirmAndTakeBackup(const ProgramUnderTest& program, HWND manage, int button) {
    const std::vector<std::wstring> files = BackupFiles();
    ConfirmAction(program, manage, button);
    CHECK(program.WaitDialogGone(manage), L"management dialog stayed");
    const std::wstring backup = WaitForNewBackup(files);
    CHECK(!backup.empty(), L"no new backup in " + BackupFolder());
    return backup;
}

// The texts of the program's visible dialogs and message boxes, for failure reports.
std::wstring VisibleTexts(const ProgramUnderTest& program) {
    std::wstring texts;
    for (HWND dialog : program.VisibleDialogs()) texts += L"[" + WindowText(dialog) + L": " + MessageBoxText(dialog) + L"]";
    return texts.empty() ? L"no dialog" : texts;
}

// Imports the backup and compares each tree with what the import should give back.
void ImportAndCompare(const std::wstring& backup, const std::vector<std::wstring>& paths,
                      const std::vector<RegistrySnapshot>& expected, const wchar_t* systemFolder = L"system32",
                      REGSAM view = 0) {
    const int code = ImportRegFile(backup, systemFolder);
    CHECK(code == 0, Format(L"reg import exit code %d", code));
    for (size_t i = 0; i < paths.size(); ++i) {
        // The odd-length strings, which the import changes, are checked on their own.
        RegistrySnapshot after = TreeSnapshot(paths[i], view);
        std::erase_if(after, IsOddString);
        const std::wstring difference = SnapshotDifference(expected[i], after);
        CHECK(difference.empty(), paths[i] + L": " + difference);
        std::printf("%s: %lu items expected, %lu after the import, %s\n", Utf8(paths[i]).c_str(),
                    static_cast<unsigned long>(expected[i].size()), static_cast<unsigned long>(after.size()),
                    difference.empty() ? "identical" : "different");
    }
}

std::vector<RegistrySnapshot> Snapshots(const std::vector<std::wstring>& paths, REGSAM view = 0) {
    std::vector<RegistrySnapshot> snapshots;
    for (const std::wstring& path : paths) snapshots.push_back(TreeSnapshot(path, view));
    return snapshots;
}

// Whether text holds part, letter case aside (the system keeps a key name's
// case as it was created: SOFTWARE or Software, WOW6432Node or Wow6432Node).
bool ContainsNoCase(std::wstring text, std::wstring part) {
    CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
    CharLowerBuffW(part.data(), static_cast<DWORD>(part.size()));
    return text.find(part) != std::wstring::npos;
}

// Moves the backup folder aside for a test and puts it back afterwards.
struct BackupFolderAside {
    std::wstring aside = BackupFolder() + L" aside " + NewGuidText().substr(1, 8);
    bool moved = false;
    BackupFolderAside() { moved = MoveFileW(BackupFolder().c_str(), aside.c_str()) != FALSE; }
    ~BackupFolderAside() {
        const DWORD attributes = GetFileAttributesW(BackupFolder().c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            DeleteFileW(BackupFolder().c_str());
        }
        if (moved) MoveFileW(aside.c_str(), BackupFolder().c_str());
    }
};

// Whether the backup file's name is "<date> <time> <action> - <class id>.reg"
// in printable ASCII only.
bool IsAsciiBackupName(const std::wstring& path, const std::wstring& action, const std::wstring& classId) {
    const std::wstring fileName = path.substr(path.rfind(L'\\') + 1);
    for (wchar_t c : fileName) {
        if (c < 0x20 || c > 0x7E) return false;
    }
    const std::wstring stamp = L"0000-00-00 00-00-00";
    if (fileName.size() < stamp.size()) return false;
    for (size_t i = 0; i < stamp.size(); ++i) {
        if (stamp[i] == L'0' ? !iswdigit(fileName[i]) : fileName[i] != stamp[i]) return false;
    }
    return fileName.substr(stamp.size()) == L" " + action + L" - " + classId + L".reg";
}

// Dialog 134 and the restore, driven as a user drives them.
const wchar_t kBackupsTitle[] = L"Резервные копии реестра";
const wchar_t kNotABackup[] = L"Файл не является резервной копией программы\nСтрока ";

HWND OpenBackupsDialog(const ProgramUnderTest& program) {
    program.PostCommand(IDM_REGISTRY_BACKUPS);
    HWND dialog = program.WaitForDialog(kBackupsTitle);
    CHECK(dialog != nullptr, L"no dialog 134: " + program.Dialogs());
    return dialog;
}

// Chooses the backup's row in dialog 134 and presses a button of the
// dialog; false when the file is not listed.
bool PressForBackup(const ProgramUnderTest& program, HWND dialog, const std::wstring& backup, int button) {
    HWND list = GetDlgItem(dialog, IDC_BACKUP_LIST);
    const std::wstring file = backup.substr(backup.rfind(L'\\') + 1);
    const auto rows = ListViewRows(list, program.processId, 4);
    for (size_t i = 0; i < rows.size(); ++i) {
        if (rows[i][3] != file) continue;
        SelectListViewRow(list, program.processId, static_cast<int>(i));
        CHECK(IsWindowEnabled(GetDlgItem(dialog, button)), L"the button is disabled");
        PressButton(dialog, button);
        return true;
    }
    CheckFailed(__FILE__, __LINE__, "the backup is listed", file + Format(L" not among %lu rows", (unsigned long)rows.size()));
    return false;
}

// The restore's question, a message box or, where its keys do not fit one,
// dialog 137; null when none came.
HWND WaitForRestoreQuestion(const ProgramUnderTest& program, HWND dialog) {
    HWND question = nullptr;
    WaitUntil([&] {
        for (HWND shown : program.VisibleDialogs()) {
            if (shown != dialog && (GetDlgItem(shown, kMessageBoxTextId) || GetDlgItem(shown, IDC_RESTORE_QUESTION_LIST))) {
                question = shown;
            }
        }
        return question != nullptr;
    });
    return question;
}

// The question's text as a message box shows it: its words, a blank line,
// and its lines; dialog 137's list rows are its lines.
std::wstring QuestionText(HWND question) {
    if (!GetDlgItem(question, IDC_RESTORE_QUESTION_LIST)) return MessageBoxText(question);
    std::wstring text = ControlText(question, IDC_RESTORE_QUESTION_TEXT) + L"\n";
    for (const std::wstring& row : ListBoxRows(GetDlgItem(question, IDC_RESTORE_QUESTION_LIST))) text += L"\n" + row;
    return text;
}

// The lines the question names, after its words and the blank line.
std::vector<std::wstring> QuestionLines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    const size_t blank = text.find(L"\n\n");
    if (blank == std::wstring::npos) return lines;
    for (size_t at = blank + 2; at <= text.size();) {
        const size_t end = text.find(L'\n', at);
        lines.push_back(text.substr(at, end == std::wstring::npos ? std::wstring::npos : end - at));
        if (end == std::wstring::npos) break;
        at = end + 1;
    }
    return lines;
}

// Restores the backup from dialog 134, answering Yes, and gives the text of
// the box that reports the restore ("" when none); the dialog stays open.
// The restore's own backup goes to *ownBackup, the question's text to *asked.
// With look, the dialog and the question are look points. With an empty
// backup, the row chosen in the dialog is restored.
std::wstring RestoreFromDialog(const ProgramUnderTest& program, HWND dialog, const std::wstring& backup,
                               std::wstring* ownBackup = nullptr, HWND* reportBox = nullptr, bool look = false,
                               std::wstring* asked = nullptr) {
    const std::vector<std::wstring> files = BackupFiles();
    if (look) LookPoint(L"backups-dialog");
    if (backup.empty()) {
        PressButton(dialog, IDC_BACKUP_RESTORE);
    } else if (!PressForBackup(program, dialog, backup, IDC_BACKUP_RESTORE)) {
        return L"";
    }
    HWND confirm = WaitForRestoreQuestion(program, dialog);
    if (!confirm) return CheckFailed(__FILE__, __LINE__, "the restore's question", program.Dialogs()), L"";
    if (look) LookPoint(L"restore-question");
    const std::wstring question = QuestionText(confirm);
    if (asked) *asked = question;
    CHECK(question.rfind(kRestoreQuestion, 0) == 0 && GetWindow(confirm, GW_OWNER) == dialog &&
              WindowText(confirm) == L"Подтвердите действие",
          question);
    PressButton(confirm, IDYES);
    CHECK(program.WaitDialogGone(confirm), L"the question stayed");
    const std::wstring own = WaitForNewBackup(files);
    CHECK(!own.empty(), L"the restore took no backup: " + program.Dialogs());
    if (ownBackup) *ownBackup = own;
    program.Settle();  // the writes are done, or their report is shown
    HWND box = nullptr;
    for (HWND visible : program.VisibleDialogs()) {
        if (visible != dialog && GetDlgItem(visible, kMessageBoxTextId)) box = visible;
    }
    if (reportBox) *reportBox = box;
    return box ? MessageBoxText(box) : L"";
}

// Opens dialog 134, restores the backup in it, checks nothing was reported, and closes the dialog.
std::wstring RestoreInDialog(const ProgramUnderTest& program, const std::wstring& backup, bool look = false,
                             std::wstring* asked = nullptr) {
    HWND dialog = OpenBackupsDialog(program);
    if (!dialog) return L"";
    std::wstring own;
    const std::wstring report = RestoreFromDialog(program, dialog, backup, &own, nullptr, look, asked);
    CHECK(report.empty(), report);
    std::printf("restored %s; its own backup: %s\n", Utf8(backup).c_str(), Utf8(own).c_str());
    PressButton(dialog, IDCANCEL);
    CHECK(program.WaitDialogGone(dialog), L"dialog 134 stayed");
    return own;
}

// Compares each tree with what it held, byte for byte.
void CompareTrees(const std::vector<std::wstring>& paths, const std::vector<RegistrySnapshot>& expected,
                  const wchar_t* after) {
    for (size_t i = 0; i < paths.size(); ++i) {
        const RegistrySnapshot now = TreeSnapshot(paths[i]);
        const std::wstring difference = SnapshotDifference(expected[i], now);
        CHECK(difference.empty(), std::wstring(after) + L": " + paths[i] + L": " + difference);
        std::printf("%s after %s: %lu items, %s\n", Utf8(paths[i]).c_str(), Utf8(after).c_str(),
                    static_cast<unsigned long>(now.size()), difference.empty() ? "identical" : "different");
    }
}

// The full name a backup gives a key under HKEY_CLASSES_ROOT, in this width's view under Wine.
std::wstring MachineClassesName(const std::wstring& path) {
    return std::wstring(L"HKEY_LOCAL_MACHINE\\Software\\Classes\\") + (sizeof(void*) == 4 ? L"Wow6432Node\\" : L"") +
           path;
}

// Whether the key's full name is a class key itself: one name after CLSID.
bool IsClassKeyName(const std::wstring& name) {
    const size_t classes = name.find(L"\\CLSID\\");
    return classes != std::wstring::npos && name.find(L'\\', classes + 7) == std::wstring::npos;
}

// Checks that the question names every key of the file: each class once,
// first (alone, or with its name in brackets), then every key in the file's
// order, each followed by one line for each of its values, under it.
void CheckQuestionNamesEveryKey(const std::wstring& asked, const std::wstring& fileText) {
    std::vector<std::wstring> classes;
    std::vector<std::pair<std::wstring, size_t>> keys;  // each key with its number of values
    for (size_t at = 0; at < fileText.size();) {
        const size_t end = std::min(fileText.find(L"\r\n", at), fileText.size());
        const std::wstring line = fileText.substr(at, end - at);
        at = end + 2;
        if (line.size() > 2 && line[0] == L'[') {
            const std::wstring key = line.substr(1, line.size() - 2);
            keys.emplace_back(key, 0);
            if (IsClassKeyName(key) && std::find(classes.begin(), classes.end(), key) == classes.end()) {
                classes.push_back(key);
            }
        } else if (!keys.empty() && !line.empty() && (line[0] == L'"' || line[0] == L'@')) {
            ++keys.back().second;
        }
    }
    const std::vector<std::wstring> lines = QuestionLines(asked);
    size_t expected = classes.size();
    for (const auto& key : keys) expected += 1 + key.second;
    bool named = lines.size() == expected;
    for (size_t i = 0; named && i < classes.size(); ++i) {
        named = lines[i] == classes[i] || lines[i].rfind(classes[i] + L" (", 0) == 0;
    }
    size_t at = classes.size();
    for (size_t k = 0; named && k < keys.size(); ++k) {
        named = lines[at++] == keys[k].first;
        for (size_t v = 0; named && v < keys[k].second; ++v) named = lines[at++].rfind(L"    «", 0) == 0;
    }
    CHECK(named && asked.find(L"и еще") == std::wstring::npos,
          Format(L"%lu classes and %lu keys in the file; the question:\n", (unsigned long)classes.size(),
                 (unsigned long)keys.size()) + asked);
}

// Writes text as a registry file of the backups' own form: UTF-16LE with a byte order mark.
void WriteRegFile(const std::wstring& path, const std::wstring& text) {
    std::wstring whole = L"\xFEFF" + text;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, whole.data(), static_cast<DWORD>(whole.size() * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(file);
}

// The refusal of a file that would write the machine's keys without the
// hash this program gave it on this machine, and that hash's line.
const wchar_t kNotMadeHere[] =
    L"Файл создан не этой программой на этом компьютере или изменен после создания: восстановление в разделы "
    L"компьютера запрещено";
const wchar_t kHashLabel[] = L"; Хеш резервной копии (HMAC-SHA256): ";
const wchar_t kHashKeyPath[] = L"SOFTWARE\\Pelmora Vantrel";

// The machine's key of the backups' hash as the program keeps it (the 64-bit
// view, for both widths); empty before the program made one.
std::vector<BYTE> BackupHashKey() {
    BYTE bytes[64] = {};
    DWORD size = sizeof(bytes);
    DWORD type = 0;
    RegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kHashKeyPath, 0, KEY_READ | KEY_WOW64_64KEY, key.Put()) != ERROR_SUCCESS ||
        RegQueryValueExW(key.Get(), L"BackupHashKey", nullptr, &type, bytes, &size) != ERROR_SUCCESS ||
        type != REG_BINARY) {
        return {};
    }
    return std::vector<BYTE>(bytes, bytes + size);
}

// Whether the key that holds the backups' hash key lets only Administrators
// and SYSTEM at it (nothing inherited) and holds that one value, nothing else.
bool HashKeyKeptForAdministrators() {
    RegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kHashKeyPath, 0, KEY_READ | KEY_WOW64_64KEY, key.Put()) != ERROR_SUCCESS) {
        return false;
    }
    DWORD subkeys = 1, values = 0, size = 0;
    RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                     nullptr, nullptr);
    RegGetKeySecurity(key.Get(), DACL_SECURITY_INFORMATION, nullptr, &size);
    std::vector<BYTE> descriptor(size ? size : 1);
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    BOOL present = FALSE, defaulted = FALSE;
    ACL* dacl = nullptr;
    if (RegGetKeySecurity(key.Get(), DACL_SECURITY_INFORMATION, descriptor.data(), &size) != ERROR_SUCCESS ||
        !GetSecurityDescriptorControl(descriptor.data(), &control, &revision) ||
        !GetSecurityDescriptorDacl(descriptor.data(), &present, &dacl, &defaulted) || !present || !dacl) {
        return false;
    }
    std::printf("the hash key: %lu values, %lu subkeys, %u entries of its DACL, %s\n", (unsigned long)values,
                (unsigned long)subkeys, dacl->AceCount, (control & SE_DACL_PROTECTED) ? "protected" : "inheriting");
    bool administrators = false, system = false, others = false;
    for (WORD i = 0; i < dacl->AceCount; ++i) {
        void* entry = nullptr;
        if (!GetAce(dacl, i, &entry)) return false;
        const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(entry);
        PSID sid = const_cast<DWORD*>(&allowed->SidStart);
        const bool isAllowed = allowed->Header.AceType == ACCESS_ALLOWED_ACE_TYPE;
        if (isAllowed && IsWellKnownSid(sid, WinBuiltinAdministratorsSid)) {
            administrators = true;
        } else if (isAllowed && IsWellKnownSid(sid, WinLocalSystemSid)) {
            system = true;
        } else {
            others = true;
        }
    }
    return values == 1 && subkeys == 0 && (control & SE_DACL_PROTECTED) && administrators && system && !others;
}

// The line a backup of the program ends with: HMAC-SHA256 with key of the
// file's bytes before it (text after the byte order mark, which counts too).
std::wstring HashLine(const std::vector<BYTE>& key, const std::wstring& text) {
    const std::wstring whole = L"\xFEFF" + text;
    CryptoAlgorithm algorithm;
    CryptoHash hash;
    BYTE digest[32] = {};
    if (key.empty() ||
        !BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(algorithm.Put(), BCRYPT_SHA256_ALGORITHM, nullptr,
                                                    BCRYPT_ALG_HANDLE_HMAC_FLAG)) ||
        !BCRYPT_SUCCESS(BCryptCreateHash(algorithm.Get(), hash.Put(), nullptr, 0, const_cast<BYTE*>(key.data()),
                                         static_cast<ULONG>(key.size()), 0)) ||
        !BCRYPT_SUCCESS(BCryptHashData(hash.Get(), reinterpret_cast<BYTE*>(const_cast<wchar_t*>(whole.data())),
                                       static_cast<ULONG>(whole.size() * sizeof(wchar_t)), 0)) ||
        !BCRYPT_SUCCESS(BCryptFinishHash(hash.Get(), digest, sizeof(digest), 0))) {
        return L"(no hash)";
    }
    std::wstring line = kHashLabel;
    for (BYTE b : digest) line += Format(L"%02x", b);
    return line + L"\r\n";
}

// The machine's key of the backups' hash, made by the program where there
// is none yet: a file of the user's own keys (which needs no hash) restored,
// whose own backup the program gives the first hash. The user's classes are
// left as they were.
std::vector<BYTE> ProgramHashKey(const ProgramUnderTest& program) {
    if (!BackupHashKey().empty()) return BackupHashKey();
    RegKey probe;
    const bool hadUserClasses = RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, KEY_READ | KEY_WOW64_64KEY,
                                              probe.Put()) == ERROR_SUCCESS;
    probe.Close();
    const std::wstring id = NewGuidText();
    const std::wstring userKey = L"Software\\Classes\\Filter\\" + id;
    const std::wstring file = BackupFolder() + L"\\Vantrel hash key " + id.substr(1, 8) + L".reg";
    CreateDirectoryW(BackupFolder().substr(0, BackupFolder().rfind(L'\\')).c_str(), nullptr);
    CreateDirectoryW(BackupFolder().c_str(), nullptr);
    WriteRegFile(file, L"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\" + userKey +
                           L"]\r\n@=\"Vantrel hash key\"\r\n");
    const std::wstring own = RestoreInDialog(program, file);
    const std::wstring made = hadUserClasses ? userKey : std::wstring(L"Software\\Classes");
    RegKey tree;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, made.c_str(), 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, tree.Put()) == ERROR_SUCCESS) {
        RegDeleteTreeW(tree.Get(), nullptr);
    }
    tree.Close();
    RegDeleteKeyExW(HKEY_CURRENT_USER, made.c_str(), KEY_WOW64_64KEY, 0);
    for (const std::wstring& path : {file, own}) DeleteFileW(path.c_str());
    CHECK(!BackupHashKey().empty(), L"the program made no key for its backups' hash");
    return BackupHashKey();
}

// Writes text as WriteRegFile does, ended with a blank line and the hash
// line the program's own backups end with on this machine: a file as if the
// program had written it.
void WriteProgramsRegFile(const ProgramUnderTest& program, const std::wstring& path, const std::wstring& text) {
    const std::wstring body = text + L"\r\n";
    WriteRegFile(path, body + HashLine(ProgramHashKey(program), body));
}

}  // namespace

SCENARIO(backup_delete_round_trip) {
    const std::wstring classId = NewGuidText();
    const std::wstring name = L"Vantrel Backup Delete " + classId.substr(1, 8);
    const std::wstring classKey = L"CLSID\\" + classId;
    const std::wstring entry = kLegacyInstance + classId;
    RegistryScratch keys;
    keys.Own(classKey);
    keys.Own(entry);
    keys.Own(DmoKey(classId));
    WriteText(classKey, nullptr, name + L" Object");
    WriteText(classKey + L"\\InprocServer32", nullptr, L"C:\\codecs\\vantrel backup.ax");
    WriteText(classKey + L"\\InprocServer32", L"ThreadingModel", L"Both");
    CreateKeyPath(classKey + L"\\Empty key");
    WriteEveryType(classKey);
    std::vector<BYTE> large(3000);
    for (size_t i = 0; i < large.size(); ++i) large[i] = static_cast<BYTE>(i * 13 + 5);
    WriteValue(classKey, L"Binary \"3000\" \\", REG_BINARY, large.data(), static_cast<DWORD>(large.size()));
    WriteEveryType(classKey + L"\\Pins\\Вход \"1\"");
    WriteText(entry, L"FriendlyName", name);
    WriteText(entry, L"CLSID", classId);
    WriteEveryType(entry);
    // Found under its Instance entry, the codec keeps its DMO key: the deletion
    // leaves it, and so the backup leaves it out.
    WriteText(DmoKey(classId), nullptr, name);
    const std::vector<std::wstring> paths = {classKey, entry, DmoKey(classId)};
    const std::vector<RegistrySnapshot> before = Snapshots(paths);
    std::printf("made %lu + %lu + %lu items\n", static_cast<unsigned long>(before[0].size()),
                static_cast<unsigned long>(before[1].size()), static_cast<unsigned long>(before[2].size()));

    ProgramUnderTest program;
    HWND manage = OpenManagement(program, name, exePath);
    if (!manage) return;
    const std::wstring backup = ConfirmAndTakeBackup(program, manage, 1015);
    if (backup.empty()) return;
    std::printf("backup: %s\n", Utf8(backup).c_str());
    CHECK(!KeyExists(classKey) && !KeyExists(entry), L"not deleted");
    CHECK(TreeSnapshot(DmoKey(classId)) == before[2], L"the DMO key changed");

    // The deletion's backup with a system class's server added at its end:
    // refused at that line, and nothing of the file is written.
    const std::wstring victim = L"CLSID\\" + NewGuidText();
    keys.Own(victim);
    WriteText(victim + L"\\InprocServer32", nullptr, L"C:\\windows\\system32\\ole32.dll");
    const RegistrySnapshot victimBefore = TreeSnapshot(victim);
    const std::wstring backupText = RegFileText(backup);
    size_t lines = 0;
    for (size_t at = backupText.find(L"\r\n"); at != std::wstring::npos; at = backupText.find(L"\r\n", at + 2)) ++lines;
    const std::wstring mixed = BackupFolder() + L"\\Vantrel mixed " + classId.substr(1, 8) + L".reg";
    WriteRegFile(mixed, backupText + L"\r\n[" + MachineClassesName(victim + L"\\InprocServer32") +
                            L"]\r\n@=\"C:\\\\Users\\\\Public\\\\payload.dll\"\r\n");
    if (HWND dialog = OpenBackupsDialog(program)) {
        const std::vector<std::wstring> files = BackupFiles();
        if (PressForBackup(program, dialog, mixed, IDC_BACKUP_RESTORE)) {
            HWND box = WaitForMessageBox(program, {dialog});
            const std::wstring text = box ? MessageBoxText(box) : program.Dialogs();
            CHECK(text == kNotABackup + std::to_wstring(lines + 2), text);
            if (box) PressButton(box, GetDlgItem(box, IDOK) ? IDOK : IDNO);
            CHECK(!box || program.WaitDialogGone(box), program.Dialogs());
        }
        CHECK(!KeyExists(classKey) && !KeyExists(entry) && TreeSnapshot(victim) == victimBefore && BackupFiles() == files,
              L"the mixed file was written in part");
        PressButton(dialog, IDCANCEL);
        CHECK(program.WaitDialogGone(dialog), L"dialog 134 stayed");
    }
    DeleteFileW(mixed.c_str());

    // Restored from dialog 134, every value comes back with its type and
    // bytes as they were, the odd-length and unterminated strings included.
    RestoreInDialog(program, backup);
    CompareTrees(paths, before, L"the restore");
    DeleteTree(classKey);
    DeleteTree(entry);

    // The registry editor's format: byte order mark, header, CRLF line ends,
    // the keys under the root that holds them.
    bool byteOrderMark = false;
    const std::wstring text = RegFileText(backup, &byteOrderMark);
    CHECK(byteOrderMark, L"no UTF-16LE byte order mark");
    CHECK(text.rfind(L"Windows Registry Editor Version 5.00\r\n", 0) == 0, text.substr(0, 60));
    size_t bareLineFeeds = 0;
    for (size_t i = 0; i < text.size(); ++i) bareLineFeeds += text[i] == L'\n' && (i == 0 || text[i - 1] != L'\r');
    CHECK(bareLineFeeds == 0, Format(L"%lu line feeds without a carriage return", (unsigned long)bareLineFeeds));
    // Under Wine, HKEY_CLASSES_ROOT shows the machine's classes only; the
    // 32-bit build sees their 32-bit view.
    const std::wstring machineKey = std::wstring(L"[HKEY_LOCAL_MACHINE\\Software\\Classes\\") +
                                    (sizeof(void*) == 4 ? L"Wow6432Node\\" : L"") + L"CLSID\\" + classId + L"]";
    CHECK(ContainsNoCase(text, machineKey), L"no " + machineKey);
    CHECK(text.find(classId.substr(1, 36) + L"]") == std::wstring::npos, L"the DMO key is in the backup");

    // The string stored without a terminator comes back with one, its bytes
    // otherwise unchanged; everything else comes back byte for byte.
    std::vector<RegistrySnapshot> expected;
    for (const RegistrySnapshot& snapshot : before) expected.push_back(AfterImport(snapshot));
    ImportAndCompare(backup, paths, expected);
    const std::vector<BYTE> unterminated = ReadBytes(classKey, kUnterminated);
    std::printf("\"%s\" after the import: %lu bytes\n", Utf8(kUnterminated).c_str(),
                static_cast<unsigned long>(unterminated.size()));
    CHECK(unterminated == std::vector<BYTE>({'a', 0, 'b', 0, 'c', 0, 0, 0}), L"not abc with a terminator");

    // String data of odd length is in the backup byte for byte, in each of the
    // three keys that hold it. The import puts a zero character over its odd
    // last byte, making it two bytes longer (the last of them undefined).
    for (const auto& odd : kOddStrings) {
        size_t lines = 0;
        for (size_t at = text.find(odd.line); at != std::wstring::npos; at = text.find(odd.line, at + 1)) ++lines;
        CHECK(lines == 3, Format(L"%lu lines %ls", (unsigned long)lines, odd.line));
        const std::vector<BYTE> imported = ReadBytes(classKey, odd.name);
        std::wstring bytes;
        for (BYTE b : imported) bytes += Format(L" %02x", b);
        std::printf("\"%s\" (%lu bytes) after the import: %lu bytes:%s\n", Utf8(odd.name).c_str(),
                    static_cast<unsigned long>(odd.size), static_cast<unsigned long>(imported.size()),
                    Utf8(bytes).c_str());
        std::vector<BYTE> kept(odd.data, odd.data + odd.size - 1);
        kept.insert(kept.end(), {0, 0});
        CHECK(imported.size() == odd.size + 2 && std::equal(kept.begin(), kept.end(), imported.begin()),
              std::wstring(odd.name) + L":" + bytes);
    }
}

SCENARIO(backup_unregister_round_trip) {
    // regsvr32 /u runs the DLL's own unregistration, which removes every codec
    // of the DLL: here a second filter in another category and a DMO with its
    // category entry too. The second filter's server is written through a
    // variable and in other letter case: it names the same file all the same.
    TestCodec codec(L"Vantrel Backup Unregister", L"none");
    codec.AddExtras();
    CHECK(codec.Regsvr32(L"/s") == 0, codec.Regsvr32Result());
    SetEnvironmentVariableW(L"VANTREL_PACK_DIR", codec.folder.path.c_str());
    std::wstring upperName = codec.dllPath.substr(codec.folder.path.size());
    CharUpperBuffW(upperName.data(), static_cast<DWORD>(upperName.size()));
    const std::wstring variablePath = L"%VANTREL_PACK_DIR%" + upperName;
    CHECK(WriteText(L"CLSID\\" + codec.extraFilterId + L"\\InprocServer32", nullptr, variablePath, REG_EXPAND_SZ),
          variablePath);
    // A codec of another file in the same folder stays, and stays out of the backup.
    RegistryScratch keys;
    const std::wstring bystanderId = NewGuidText();
    keys.Own(L"CLSID\\" + bystanderId);
    WriteText(L"CLSID\\" + bystanderId + L"\\InprocServer32", nullptr, codec.dllPath + L".other.dll");
    // What else a DLL's unregistration may remove: classes that name the same
    // file in other ways (its 8.3 short name; forward slashes in quotes; a bare
    // name that the search path finds), the old filter mapper's key of a class,
    // and media type entries whose source filter is one of them. The test
    // removes them after regsvr32, as such a DLL would; the backup gives them back.
    wchar_t shortPath[MAX_PATH] = {};
    GetShortPathNameW(codec.dllPath.c_str(), shortPath, MAX_PATH);
    CHECK(shortPath[0] != L'\0' && codec.dllPath != shortPath, L"short name: " + std::wstring(shortPath));
    std::wstring slashed = L"\"" + codec.dllPath + L"\"";
    std::replace(slashed.begin(), slashed.end(), L'\\', L'/');
    std::wstring searchPath(32767, L'\0');
    searchPath.resize(GetEnvironmentVariableW(L"PATH", searchPath.data(), 32767));
    SetEnvironmentVariableW(L"PATH", (codec.folder.path + L";" + searchPath).c_str());
    std::vector<std::wstring> others;
    for (const std::wstring& server : {std::wstring(shortPath), slashed, std::wstring(L"testcodec.dll")}) {
        const std::wstring classKey = L"CLSID\\" + NewGuidText();
        keys.Own(classKey);
        WriteText(classKey + L"\\InprocServer32", nullptr, server);
        others.push_back(classKey);
    }
    const std::wstring majorType = L"Media Type\\" + NewGuidText();
    const std::wstring extension = L"Media Type\\Extensions\\.vantrel" + codec.classId.substr(1, 8);
    for (const std::wstring& key : {L"Filter\\" + codec.classId, majorType, extension}) keys.Own(key);
    WriteText(L"Filter\\" + codec.classId, nullptr, codec.name);
    WriteText(majorType + L"\\" + NewGuidText(), L"Source Filter", others[0].substr(6));
    WriteText(extension, L"Source Filter", codec.extraFilterId);
    others.insert(others.end(), {L"Filter\\" + codec.classId, majorType, extension});
    const std::vector<std::wstring> paths = codec.KeysWithExtras();
    const std::vector<RegistrySnapshot> before = Snapshots(paths);
    for (size_t i = 0; i < paths.size(); ++i) CHECK(!before[i].empty(), L"the test codec did not make " + paths[i]);
    const std::vector<RegistrySnapshot> othersBefore = Snapshots(others);

    ProgramUnderTest program;
    HWND manage = OpenManagement(program, codec.name, exePath);
    if (!manage) return;
    const std::wstring backup = ConfirmAndTakeBackup(program, manage, 1013);
    if (backup.empty()) return;
    std::printf("backup: %s\n", Utf8(backup).c_str());
    const auto left = [&] {
        std::vector<std::wstring> keys;
        for (const std::wstring& path : paths) {
            if (KeyExists(path)) keys.push_back(path);
        }
        return keys;
    };
    CHECK(WaitUntil([&] { return left().empty(); }), L"still registered: " + Joined(left()));
    CHECK(RegFileText(backup).find(bystanderId) == std::wstring::npos, L"the other file's codec is in the backup");
    for (const std::wstring& key : others) DeleteTree(key);
    std::vector<std::wstring> allPaths = paths;
    allPaths.insert(allPaths.end(), others.begin(), others.end());
    std::vector<RegistrySnapshot> allBefore = before;
    allBefore.insert(allBefore.end(), othersBefore.begin(), othersBefore.end());
    // Restored from dialog 134 first, then, once removed again, imported. The
    // question names every class of the file, and every other key after them.
    std::wstring asked;
    RestoreInDialog(program, backup, false, &asked);
    CheckQuestionNamesEveryKey(asked, RegFileText(backup));
    CompareTrees(allPaths, allBefore, L"the restore");
    for (const std::wstring& key : allPaths) DeleteTree(key);
    ImportAndCompare(backup, allPaths, allBefore);
}

SCENARIO(backup_merit_round_trip) {
    TestCodec codec(L"Vantrel Backup Merit", L"none");
    CHECK(codec.Regsvr32(L"/s") == 0, L"registration failed");
    const std::vector<std::wstring> paths = {codec.InstancePath()};
    const std::vector<RegistrySnapshot> before = Snapshots(paths);
    const std::vector<BYTE> oldData = ReadBytes(codec.InstancePath(), L"FilterData");
    CHECK(oldData.size() >= 8, Format(L"FilterData of %lu bytes", (unsigned long)oldData.size()));

    ProgramUnderTest program;
    HWND manage = OpenManagement(program, codec.name, exePath);
    if (!manage) return;
    // Two changes in a row, within the same second most likely: two files, two names.
    std::vector<std::wstring> backups;
    for (int preset : {40029, 40026}) {
        const std::vector<std::wstring> files = BackupFiles();
        PressButton(manage, 1001);
        HWND merit = program.WaitForDialog(kMeritTitle);
        if (!merit) return CheckFailed(__FILE__, __LINE__, "merit dialog", L"none");
        PressButton(merit, preset);
        PressButton(merit, IDOK);
        CHECK(program.WaitDialogGone(merit), L"merit dialog stayed");
        backups.push_back(WaitForNewBackup(files));
        CHECK(!backups.back().empty(), L"no new backup");
        std::printf("backup: %s\n", Utf8(backups.back()).c_str());
    }
    if (backups[0].empty() || backups[1].empty()) return;
    CHECK(backups[0] != backups[1], backups[0]);
    program.Settle();
    CHECK(ReadBytes(codec.InstancePath(), L"FilterData") != oldData, L"the merit was not changed");
    bool byteOrderMark = false;
    const std::wstring text = RegFileText(backups[0], &byteOrderMark);
    CHECK(text.find(L"\"FriendlyName\"") == std::wstring::npos, L"more than FilterData in the backup");
    CHECK(text.find(L"\"FilterData\"=hex:") != std::wstring::npos, L"no FilterData in the backup");

    // The first backup holds the FilterData from before both changes.
    ImportAndCompare(backups[0], paths, before);
    CHECK(ReadBytes(codec.InstancePath(), L"FilterData") == oldData, L"old FilterData bytes not back");
    PressButton(manage, IDOK);
    CHECK(program.WaitDialogGone(manage), L"management dialog stayed");

    // From dialog 134: the second backup gives back the merit of the first
    // change; the restore's own backup, restored, gives back what it overwrote.
    const std::vector<BYTE> imported = ReadBytes(codec.InstancePath(), L"FilterData");
    const std::wstring own = RestoreInDialog(program, backups[1]);
    const std::vector<BYTE> restored = ReadBytes(codec.InstancePath(), L"FilterData");
    std::printf("merit: %s imported, %s restored\n", Utf8(MeritWordText(imported)).c_str(),
                Utf8(MeritWordText(restored)).c_str());
    CHECK(restored != imported && MeritWordText(restored) == L"0x00200000", MeritWordText(restored));
    if (own.empty()) return;
    RestoreInDialog(program, own, true);
    CompareTrees(paths, before, L"the restore of the restore's own backup");
}

SCENARIO(backup_hostile_data) {
    // A friendly name of 700 characters with every character a file name cannot hold.
    std::wstring longName = L"Vantrel <Враждебный> \"кодек\" a/b\\c|d?e*f:g\t";
    longName += NewGuidText().substr(1, 8) + L" ";
    while (longName.size() < 700) longName += L"<>:\"/\\|?* Длинное имя кодека ";
    longName.resize(700);
    const std::wstring classId = NewGuidText();
    const std::wstring classKey = L"CLSID\\" + classId;
    const std::wstring entry = kLegacyInstance + NewGuidText();
    RegistryScratch keys;
    keys.Own(classKey);
    keys.Own(entry);
    keys.Own(DmoKey(classId));
    // The list shows the whole name; the program holds 499 characters of it,
    // which the class key's name matches: the codec is found by its class key,
    // and its deletion takes the DMO key as well.
    WriteText(classKey, nullptr, longName.substr(0, 499));
    WriteText(classKey + L"\\InprocServer32", nullptr, L"C:\\codecs\\\"hostile\" \\ codec.ax");
    WriteText(classKey, L"Quoted \"name\" \\ with \\\\ backslashes\\", L"\"quoted\" data \\ with \\\\ backslashes\\");
    WriteText(classKey, L"\\", L"\\\\");
    WriteText(classKey, L"\"", L"\"");
    WriteText(classKey, L"@", L"not the default value");
    WriteText(classKey, L"Long text", std::wstring(5000, L'Ж') + L" конец");
    std::vector<BYTE> blob(1 << 20);
    for (size_t i = 0; i < blob.size(); ++i) blob[i] = static_cast<BYTE>((i * 2654435761u) >> 13);
    WriteValue(classKey, L"Blob \"1 MB\" \\", REG_BINARY, blob.data(), static_cast<DWORD>(blob.size()));
    WriteText(entry, L"FriendlyName", longName);
    WriteText(entry, L"CLSID", classId);
    WriteText(DmoKey(classId), nullptr, L"Vantrel \"DMO\" \\");
    WriteValue(DmoKey(classId), L"InputTypes", REG_BINARY, "vids\0\0\0\0", 8);
    const std::vector<std::wstring> paths = {classKey, entry, DmoKey(classId)};
    const std::vector<RegistrySnapshot> before = Snapshots(paths);

    ProgramUnderTest program;
    HWND manage = OpenManagement(program, longName, exePath);
    if (!manage) return;
    const std::vector<std::wstring> files = BackupFiles();
    PressButton(manage, 1015);
    HWND confirm = WaitForMessageBox(program, {manage});
    if (!confirm) return CheckFailed(__FILE__, __LINE__, "confirmation", L"none");
    const ULONGLONG pressed = GetTickCount64();
    PressButton(confirm, IDYES);
    const std::wstring backup = WaitForNewBackup(files, 60000);
    const ULONGLONG appeared = GetTickCount64();
    CHECK(!backup.empty(), L"no new backup; on the screen: " + VisibleTexts(program));
    if (backup.empty()) return;
    std::printf("the backup with the 1 MB value was in the folder %lu ms after Yes was pressed\n",
                static_cast<unsigned long>(appeared - pressed));
    CHECK(program.WaitDialogGone(manage, 30000), L"management dialog stayed");
    for (const std::wstring& path : paths) CHECK(!KeyExists(path), L"not deleted: " + path);

    // The file name: within MAX_PATH, no character a file name cannot hold,
    // the local date and time, the action, and the start of the friendly name.
    std::printf("backup: %s (%lu characters)\n", Utf8(backup).c_str(), static_cast<unsigned long>(backup.size()));
    CHECK(backup.size() <= MAX_PATH - 1, Format(L"%lu characters", (unsigned long)backup.size()));
    const std::wstring fileName = backup.substr(BackupFolder().size() + 1);
    CHECK(fileName.find_first_of(L"<>:\"/\\|?*\t") == std::wstring::npos, fileName);
    SYSTEMTIME now;
    GetLocalTime(&now);
    CHECK(fileName.rfind(Format(L"%04u-%02u-%02u ", now.wYear, now.wMonth, now.wDay), 0) == 0, fileName);
    CHECK(fileName.find(L" Удаление кодека - Vantrel _Враждебный_ _кодек_ a_b_c_d_e_f_g_") != std::wstring::npos,
          fileName);
    CHECK(fileName.size() > 4 && fileName.substr(fileName.size() - 4) == L".reg", fileName);
    CHECK(GetFileAttributesW(backup.c_str()) != INVALID_FILE_ATTRIBUTES, L"cannot be opened by its name");

    const ULONGLONG importStart = GetTickCount64();
    ImportAndCompare(backup, paths, before);
    std::printf("reg import took %lu ms\n", static_cast<unsigned long>(GetTickCount64() - importStart));
    CHECK(ReadBytes(classKey, L"Blob \"1 MB\" \\") == blob, L"the 1 MB value differs");
}

SCENARIO(backup_folder_blocked) {
    const std::wstring classId = NewGuidText();
    const std::wstring name = L"Vantrel Backup Blocked " + classId.substr(1, 8);
    const std::wstring classKey = L"CLSID\\" + classId;
    const std::wstring entry = kLegacyInstance + classId;
    RegistryScratch keys;
    keys.Own(classKey);
    keys.Own(entry);
    WriteText(classKey, nullptr, name + L" Object");
    WriteText(entry, L"FriendlyName", name);
    WriteText(entry, L"CLSID", classId);
    const std::vector<std::wstring> paths = {classKey, entry};
    const std::vector<RegistrySnapshot> before = Snapshots(paths);

    // A file where the backup folder should be.
    CreateDirectoryW(BackupFolder().substr(0, BackupFolder().rfind(L'\\')).c_str(), nullptr);
    BackupFolderAside aside;
    HANDLE blocker = CreateFileW(BackupFolder().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    CHECK(blocker != INVALID_HANDLE_VALUE, L"cannot put a file at " + BackupFolder());
    CloseHandle(blocker);

    ProgramUnderTest program;
    HWND manage = OpenManagement(program, name, exePath);
    if (!manage) return;
    ConfirmAction(program, manage, 1015);
    HWND box = WaitForMessageBox(program, {manage});
    CHECK(box != nullptr, L"no message box");
    if (!box) return;
    const std::wstring text = MessageBoxText(box);
    std::printf("message box: \"%s\", caption \"%s\"\n", Utf8(text).c_str(), Utf8(WindowText(box)).c_str());
    CHECK(text == kBackupFailed, text);
    CHECK(GetWindow(box, GW_OWNER) == manage, L"not owned by the management dialog");
    LookPoint(L"backup-failed");
    PressButton(box, IDOK);
    CHECK(program.WaitDialogGone(box), L"message box stayed");
    program.Settle();
    CHECK(IsWindowVisible(manage), L"the management dialog closed");
    for (size_t i = 0; i < paths.size(); ++i) {
        const std::wstring difference = SnapshotDifference(before[i], TreeSnapshot(paths[i]));
        CHECK(difference.empty(), paths[i] + L": " + difference);
    }
    std::printf("registry after the refused deletion: %s\n",
                TreeSnapshot(classKey) == before[0] && TreeSnapshot(entry) == before[1] ? "unchanged" : "changed");
    const DWORD attributes = GetFileAttributesW(BackupFolder().c_str());
    CHECK(attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY), L"the file was replaced");
    PressButton(manage, IDOK);
    CHECK(program.WaitDialogGone(manage), L"management dialog stayed after OK");
}

SCENARIO(backup_name_refused) {
    // Run under LC_ALL=C (see tests/e2e/CMakeLists.txt): Wine then refuses
    // every file name holding a Cyrillic letter, and so every name of the form
    // "<date> <time> Удаление кодека - ...". A process cannot give the
    // processes it starts another locale: Wine takes it from the Unix parent.
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring probe = std::wstring(temp) + L"Проверка " + NewGuidText().substr(1, 8) + L".txt";
    HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    const DWORD error = GetLastError();
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        DeleteFileW(probe.c_str());
    }
    std::printf("a Cyrillic file name: %s\n",
                file == INVALID_HANDLE_VALUE ? Utf8(Format(L"refused with error %lu", error)).c_str() : "accepted");
    CHECK(file == INVALID_HANDLE_VALUE, L"a Cyrillic file name was accepted: this run does not refuse the usual names");

    TestCodec codec(L"Vantrel Кодек без имени", L"none");
    CHECK(codec.Regsvr32(L"/s") == 0, codec.Regsvr32Result());
    ProgramUnderTest program;
    HWND manage = OpenManagement(program, codec.name, exePath);
    if (!manage) return;

    // A merit change, named by the class id its Instance entry names.
    std::vector<std::wstring> files = BackupFiles();
    PressButton(manage, 1001);
    HWND merit = program.WaitForDialog(kMeritTitle);
    if (!merit) return CheckFailed(__FILE__, __LINE__, "merit dialog", program.Dialogs());
    PressButton(merit, 40029);
    PressButton(merit, IDOK);
    CHECK(program.WaitDialogGone(merit), L"merit dialog stayed: " + program.Dialogs());
    const std::wstring meritBackup = WaitForNewBackup(files);
    std::printf("merit change backup: %s\n", Utf8(meritBackup).c_str());
    CHECK(IsAsciiBackupName(meritBackup, L"Change merit", codec.classId),
          meritBackup.empty() ? L"no new backup; on the screen: " + program.Dialogs() : meritBackup);

    // The deletion happens, and its backup gives back the keys, Cyrillic name and all.
    const std::vector<std::wstring> paths = {codec.ClassKey(), codec.InstancePath()};
    const std::vector<RegistrySnapshot> before = Snapshots(paths);
    files = BackupFiles();
    ConfirmAction(program, manage, 1015);
    CHECK(program.WaitDialogGone(manage), L"management dialog stayed: " + program.Dialogs());
    const std::wstring backup = WaitForNewBackup(files);
    std::printf("deletion backup: %s\n", Utf8(backup).c_str());
    CHECK(!backup.empty(), L"no new backup; on the screen: " + program.Dialogs());
    if (backup.empty()) return;
    CHECK(IsAsciiBackupName(backup, L"Delete codec", codec.classId), backup);
    for (const std::wstring& path : paths) CHECK(!KeyExists(path), L"not deleted: " + path);
    ImportAndCompare(backup, paths, before);
}

X86_SCENARIO(backup_restores_32bit_view) {
    // Run by the x86 build: the driver and the program are 32-bit programs on 64-bit Windows.
    TestCodec codec(L"Vantrel Backup 32-bit", L"none");
    CHECK(codec.Regsvr32(L"/s") == 0, L"registration failed");
    const std::vector<std::wstring> paths = {codec.ClassKey(), codec.InstancePath()};
    const std::vector<RegistrySnapshot> before = Snapshots(paths, KEY_WOW64_32KEY);
    for (const std::wstring& path : paths) {
        CHECK(KeyExists(path, KEY_WOW64_32KEY) && !KeyExists(path, KEY_WOW64_64KEY), L"not in the 32-bit view only: " + path);
    }

    ProgramUnderTest program;
    HWND manage = OpenManagement(program, codec.name, exePath);
    if (!manage) return;
    const std::wstring backup = ConfirmAndTakeBackup(program, manage, 1015);
    if (backup.empty()) return;
    bool byteOrderMark = false;
    const std::wstring text = RegFileText(backup, &byteOrderMark);
    CHECK(ContainsNoCase(text, L"\\Wow6432Node\\") && ContainsNoCase(text, L"\\CLSID\\" + codec.classId + L"]"),
          L"the class key is not named in the 32-bit view: " + text.substr(0, 200));
    for (const std::wstring& path : paths) CHECK(!KeyExists(path, KEY_WOW64_32KEY), L"not deleted: " + path);

    // The 64-bit reg.exe, as the registry editor that opens the file on 64-bit
    // Windows, and then the 32-bit one: both restore into the 32-bit view only.
    for (const wchar_t* tool : {L"sysnative", L"syswow64"}) {
        for (const std::wstring& path : paths) DeleteTree(path, KEY_WOW64_32KEY);
        ImportAndCompare(backup, paths, before, tool, KEY_WOW64_32KEY);
        for (const std::wstring& path : paths) {
            CHECK(!KeyExists(path, KEY_WOW64_64KEY), std::wstring(tool) + L" reg.exe wrote the 64-bit view: " + path);
        }
    }
}

SCENARIO(restore_preferred_and_refused_write) {
    // A preferred decoder planted for a subtype of its own, and a file that
    // removes it, named as backups name the preferences key of this view.
    const std::wstring preferred = L"SOFTWARE\\Microsoft\\DirectShow\\Preferred";
    const std::wstring fullName = std::wstring(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\") +
                                  (sizeof(void*) == 4 ? L"Wow6432Node\\" : L"") + L"Microsoft\\DirectShow\\Preferred";
    const std::wstring subtype = NewGuidText();
    const std::wstring decoder = NewGuidText();
    RegKey key;
    CHECK(RegCreateKeyExW(HKEY_LOCAL_MACHINE, preferred.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.Put(),
                          nullptr) == ERROR_SUCCESS,
          preferred);
    const auto planted = [&] {
        wchar_t text[64] = {};
        DWORD size = sizeof(text) - sizeof(wchar_t);
        return RegQueryValueExW(key.Get(), subtype.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size) ==
                       ERROR_SUCCESS
                   ? std::wstring(text)
                   : std::wstring(L"(none)");
    };
    RegSetValueExW(key.Get(), subtype.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(decoder.c_str()),
                   static_cast<DWORD>((decoder.size() + 1) * sizeof(wchar_t)));
    const std::wstring removal = BackupFolder() + L"\\Vantrel preferred " + subtype.substr(1, 8) + L".reg";
    CreateDirectoryW(BackupFolder().substr(0, BackupFolder().rfind(L'\\')).c_str(), nullptr);
    CreateDirectoryW(BackupFolder().c_str(), nullptr);

    RefuseKeys({L"DirectShow\\Preferred"});
    ProgramUnderTest program;
    const bool started = program.Start(exePath);
    RefuseKeys({});
    if (!started) return CheckFailed(__FILE__, __LINE__, "program started", program.State());
    // A file of the machine's keys: as if the program had written it here.
    WriteProgramsRegFile(program, removal,
                         L"Windows Registry Editor Version 5.00\r\n\r\n[" + fullName + L"]\r\n\"" + subtype + L"\"=-\r\n");

    // The removal, and its own backup restored: the value is back as it was.
    const std::wstring own = RestoreInDialog(program, removal);
    CHECK(planted() == L"(none)", L"not removed: " + planted());
    if (own.empty()) return;
    CHECK(ContainsNoCase(RegFileText(own), L"\"" + subtype + L"\"=\"" + decoder + L"\""), RegFileText(own));
    const std::wstring ownOfOwn = RestoreInDialog(program, own);
    CHECK(planted() == decoder, L"not given back: " + planted());

    // Refused for lack of rights (the refusal DLL): the keys not written, the
    // cause, and the restart offered in the same box, owned by dialog 134.
    RestoreInDialog(program, removal);
    if (!program.LoadRefusals()) return CheckFailed(__FILE__, __LINE__, "refusals loaded", program.State());
    HWND dialog = OpenBackupsDialog(program);
    if (!dialog) return;
    HWND box = nullptr;
    const std::wstring report = RestoreFromDialog(program, dialog, own, nullptr, &box);
    const std::wstring expected = L"Не все записи удалось восстановить в реестре. Не записаны:\n" + fullName +
                                  L"\nНедостаточно прав для изменения реестра.\n"
                                  L"Перезапустить программу с правами администратора?";
    CHECK(report == expected, report + L"\nexpected:\n" + expected);
    if (!box) return;
    CHECK(WindowText(box) == L"Восстановление не завершено", WindowText(box));
    CHECK(GetWindow(box, GW_OWNER) == dialog && GetDlgItem(box, IDYES) && GetDlgItem(box, IDNO),
          L"not a Yes/No box of dialog 134");
    LookPoint(L"restore-unfinished");
    PressButton(box, IDNO);
    CHECK(program.WaitDialogGone(box), program.Dialogs());
    CHECK(IsWindowVisible(dialog) && program.Running(), program.State());
    CHECK(planted() == L"(none)", L"written despite the refusal: " + planted());
    PressButton(dialog, IDCANCEL);
    RegDeleteValueW(key.Get(), subtype.c_str());
    for (const std::wstring& file : {removal, own, ownOfOwn}) DeleteFileW(file.c_str());
}

SCENARIO(restore_refuses_foreign_files) {
    ProgramUnderTest program;
    if (!program.Start(exePath)) return CheckFailed(__FILE__, __LINE__, "program started", program.State());
    {
        // No folder: an empty list, nothing to restore.
        BackupFolderAside aside;
        HWND dialog = OpenBackupsDialog(program);
        if (!dialog) return;
        const int rows = static_cast<int>(SendMessageW(GetDlgItem(dialog, IDC_BACKUP_LIST), LVM_GETITEMCOUNT, 0, 0));
        CHECK(rows == 0 && !IsWindowEnabled(GetDlgItem(dialog, IDC_BACKUP_RESTORE)),
              Format(L"%d rows, restore %ls", rows, IsWindowEnabled(GetDlgItem(dialog, IDC_BACKUP_RESTORE)) ? L"enabled" : L"disabled"));
        PressButton(dialog, IDCANCEL);
        CHECK(program.WaitDialogGone(dialog), L"dialog 134 stayed");
    }
    CreateDirectoryW(BackupFolder().substr(0, BackupFolder().rfind(L'\\')).c_str(), nullptr);
    CreateDirectoryW(BackupFolder().c_str(), nullptr);

    // Each file first names a codec key that a restore could write (an entry
    // of the legacy filter category, which has its Instance key), then the
    // line at fault: nothing at all may be written, and no backup is taken.
    RegistryScratch keys;
    const std::wstring scratch = kLegacyInstance + NewGuidText();
    const std::wstring target = L"CLSID\\" + NewGuidText();
    const std::wstring linkPath = L"CLSID\\" + NewGuidText();
    keys.Own(scratch);
    keys.Own(target);
    CreateKeyPath(target);
    ScratchLink link(linkPath, target);
    CHECK(link.made, L"no link at " + linkPath);
    // A class that is there and is no codec (a system class, say), and a codec
    // (an Instance entry names it): neither may be made to run other code.
    const std::wstring victimId = NewGuidText();
    const std::wstring victim = L"CLSID\\" + victimId;
    const std::wstring codecId = NewGuidText();
    keys.Own(victim);
    keys.Own(L"CLSID\\" + codecId);
    keys.Own(kLegacyInstance + codecId);
    keys.Own(L"DirectShow\\MediaObjects\\" + victimId.substr(1, 36));
    WriteText(victim + L"\\InprocServer32", nullptr, L"C:\\windows\\system32\\ole32.dll");
    WriteText(L"CLSID\\" + codecId + L"\\InprocServer32", nullptr, L"C:\\codecs\\vantrel.ax");
    WriteText(kLegacyInstance + codecId, L"CLSID", codecId);
    const RegistrySnapshot victimBefore = TreeSnapshot(victim);
    const RegistrySnapshot codecBefore = TreeSnapshot(L"CLSID\\" + codecId);
    const std::wstring header = L"Windows Registry Editor Version 5.00\r\n\r\n[" + MachineClassesName(scratch) +
                                L"]\r\n\"Planted\"=\"yes\"\r\n\r\n";
    const std::wstring payload = L"]\r\n@=\"C:\\\\Users\\\\Public\\\\payload.exe\"\r\n";
    // Ten harmless keys of the codec, then a system class's local server (line 36).
    std::wstring hijack = header;
    for (int i = 0; i < 10; ++i) {
        hijack += L"[" + MachineClassesName(L"CLSID\\" + codecId + L"\\Pins\\Pin " + std::to_wstring(i)) +
                  L"]\r\n\"Direction\"=dword:00000000\r\n\r\n";
    }
    hijack += L"[" + MachineClassesName(victim + L"\\LocalServer32") + payload;
    std::wstring large = L"\"Large\"=hex:00";
    for (int i = 1; i < 2 * 1024 * 1024; ++i) large += (i % 25 == 0) ? L",\\\r\n  00" : L",00";
    const struct {
        const wchar_t* kind;
        std::wstring text;
        int line;  // 0: a file without keys
    } files[] = {
        {L"system", header + L"[HKEY_LOCAL_MACHINE\\SYSTEM\\Vantrel restore test]\r\n\"a\"=dword:00000001\r\n", 6},
        {L"key deletion", header + L"[-" + MachineClassesName(target) + L"]\r\n", 6},
        {L"cut", header + L"\"Cut\"=hex:01,02,\\\r\n  03,0", 7},
        {L"2 MB", header + large + L"\r\n", 6},
        {L"link", header + L"[" + MachineClassesName(linkPath) + L"\\Sub]\r\n\"b\"=\"c\"\r\n", 6},
        {L"escape", header + L"[" + MachineClassesName(L"CLSID\\..\\..\\..\\SYSTEM") + L"]\r\n", 6},
        {L"UTF-8", L"", 1},
        // What makes a key look like a registry link.
        {L"link value", header + L"[" + MachineClassesName(scratch) + L"]\r\n\"SymbolicLinkValue\"=hex(6):5c,00,52,00\r\n", 7},
        // Classes: new ones that no key of the file makes codecs, a class that
        // is there and is no codec (a DMO key in the file does not make it
        // one), and another program or class to run for a codec.
        {L"hijack", hijack, 36},
        {L"new classes", header + L"[" + MachineClassesName(L"CLSID\\" + NewGuidText()) + L"]\r\n@=\"harmless\"\r\n", 6},
        {L"system class", header + L"[" + MachineClassesName(victim + L"\\InprocServer32") + payload, 6},
        {L"made a codec", header + L"[" + MachineClassesName(victim + L"\\InprocServer32") + payload + L"\r\n[" +
                              MachineClassesName(L"DirectShow\\MediaObjects\\" + victimId.substr(1, 36)) + L"]\r\n@=\"x\"\r\n", 6},
        {L"local server", header + L"[" + MachineClassesName(L"CLSID\\" + codecId + L"\\LocalServer32") + payload, 6},
        {L"treat as", header + L"[" + MachineClassesName(L"CLSID\\" + codecId + L"\\TreatAs") + L"]\r\n@=\"" + victimId + L"\"\r\n", 6},
        {L"new category", header + L"[" + MachineClassesName(L"CLSID\\" + codecId + L"\\Instance\\" + victimId) + L"]\r\n\"CLSID\"=\"" + victimId + L"\"\r\n", 6},
        {L"no keys", L"Windows Registry Editor Version 5.00\r\n\r\n; only a comment\r\n", 0},
    };
    const std::wstring stem = BackupFolder() + L"\\Vantrel foreign " + victimId.substr(1, 8) + L" ";
    std::vector<std::wstring> written;
    for (const auto& file : files) {
        written.push_back(stem + file.kind + L".reg");
        if (file.line == 1) {
            // The header file's text in UTF-8, as a text editor may save it.
            const std::string utf8 = Utf8(header);
            HANDLE handle = CreateFileW(written.back().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            DWORD done = 0;
            WriteFile(handle, utf8.data(), static_cast<DWORD>(utf8.size()), &done, nullptr);
            CloseHandle(handle);
        } else {
            WriteRegFile(written.back(), file.text);
        }
    }
    HWND dialog = OpenBackupsDialog(program);
    if (!dialog) return;
    for (size_t i = 0; i < std::size(files); ++i) {
        const std::vector<std::wstring> before = BackupFiles();
        if (!PressForBackup(program, dialog, written[i], IDC_BACKUP_RESTORE)) continue;
        HWND box = WaitForMessageBox(program, {dialog});
        const std::wstring text = box ? MessageBoxText(box) : L"no box: " + program.Dialogs();
        std::printf("%s: \"%s\"\n", Utf8(files[i].kind).c_str(), Utf8(text).c_str());
        const std::wstring expected =
            files[i].line ? kNotABackup + std::to_wstring(files[i].line) : L"В резервной копии нет записей реестра.";
        CHECK(text == expected, std::wstring(files[i].kind) + L": " + text);
        if (box) PressButton(box, box && GetDlgItem(box, IDOK) ? IDOK : IDNO);
        CHECK(!box || program.WaitDialogGone(box), program.Dialogs());
        CHECK(!KeyExists(scratch) && SubkeyNames(target).empty(), std::wstring(files[i].kind) + L": written");
        CHECK(TreeSnapshot(victim) == victimBefore && TreeSnapshot(L"CLSID\\" + codecId) == codecBefore &&
                  !KeyExists(L"DirectShow\\MediaObjects\\" + victimId.substr(1, 36)) &&
                  !KeyExists(kLegacyInstance + victimId),
              std::wstring(files[i].kind) + L": a class written");
        CHECK(BackupFiles() == before, std::wstring(files[i].kind) + L": a backup was taken");
    }

    // "Показать" shows a file as text and imports nothing: a file whose keys
    // are all a restore may write, and which no one restores here.
    WriteRegFile(written[0], header);
    const auto editors = [] {
        std::vector<HWND> found;
        for (HWND window = FindWindowW(L"Notepad", nullptr); window; window = FindWindowExW(nullptr, window, L"Notepad", nullptr)) {
            found.push_back(window);
        }
        return found;
    };
    if (PressForBackup(program, dialog, written[0], IDC_BACKUP_SHOW)) {
        CHECK(WaitUntil([&] { return !editors().empty(); }), L"no text editor; on the screen: " + program.Dialogs());
        for (HWND editor : editors()) {
            std::printf("shown in \"%s\"\n", Utf8(WindowText(editor)).c_str());
            PostMessageW(editor, WM_CLOSE, 0, 0);
        }
        CHECK(WaitUntil([&] { return editors().empty(); }), L"the editor stayed");
        CHECK(!KeyExists(scratch), L"\"Показать\" imported the file");
    }
    PressButton(dialog, IDCANCEL);
    for (const std::wstring& file : written) DeleteFileW(file.c_str());
}

SCENARIO(backup_transform_delete_and_unregister) {
    // "Удалить кодек" in dialog 133 takes the transform key, its category
    // entry and its class key, after a backup that gives them back byte for
    // byte; the codec's other registrations stay. Then "Отменить регистрацию"
    // runs the file's own unregistration, with the unregister backup first.
    TestCodec codec(L"Vantrel Backup Transform", L"none");
    codec.AddExtras();
    CHECK(codec.Regsvr32(L"/s") == 0, codec.Regsvr32Result());
    const std::wstring row = codec.name + L" (MFT)";
    const std::vector<std::wstring> paths = {L"CLSID\\" + codec.extraMftId, codec.TransformKey(),
                                             codec.TransformCategoryEntry()};
    const std::vector<RegistrySnapshot> before = Snapshots(paths);
    for (size_t i = 0; i < paths.size(); ++i) CHECK(!before[i].empty(), L"the test codec did not make " + paths[i]);

    ProgramUnderTest program;
    if (!program.Start(exePath)) return;
    HWND dialog = OpenTransforms(program);
    if (!dialog) return;
    HWND list = GetDlgItem(dialog, IDC_TRANSFORM_LIST);
    // Wine's own decoders with the test codec's: every column, scrolled to its end too.
    LookPoint(L"transforms-wine-decoders");
    SendMessageW(list, LVM_SCROLL, 4000, 0);
    LookPoint(L"transforms-wine-decoders-right");
    SendMessageW(list, LVM_SCROLL, -4000, 0);
    SelectListViewRow(list, program.processId, RowNamed(TransformRows(program, dialog), row));
    std::vector<std::wstring> files = BackupFiles();
    ConfirmAction(program, dialog, IDC_TRANSFORM_DELETE);
    const std::wstring backup = WaitForNewBackup(files);
    CHECK(!backup.empty(), L"no new backup in " + BackupFolder());
    CHECK(WaitUntil([&] { return RowNamed(TransformRows(program, dialog), row) < 0; }), L"the row stayed");
    for (const std::wstring& path : paths) CHECK(!KeyExists(path), path + L" not deleted");
    CHECK(KeyExists(codec.ClassKey()) && KeyExists(L"CLSID\\" + codec.extraDmoId), L"the codec's other keys went");
    if (!backup.empty()) ImportAndCompare(backup, paths, before);

    // The transform is back, as the dialog shows it when it is opened again (an
    // opening reads the registry once): its unregistration, through the same
    // runner and backup as the management dialog's.
    PressButton(dialog, IDCANCEL);
    CHECK(program.WaitDialogGone(dialog), L"dialog 133 stayed");
    dialog = OpenTransforms(program);
    if (!dialog) return;
    list = GetDlgItem(dialog, IDC_TRANSFORM_LIST);
    const Table rows = TransformRows(program, dialog);
    SelectListViewRow(list, program.processId, RowNamed(rows, row));
    files = BackupFiles();
    ConfirmAction(program, dialog, IDC_TRANSFORM_UNREGISTER);
    const std::wstring unregistered = WaitForNewBackup(files);
    CHECK(WaitUntil([&] { return !KeyExists(codec.TransformKey()) && !KeyExists(codec.ClassKey()); }),
          L"still registered");
    const std::wstring text = RegFileText(unregistered);
    for (const std::wstring& path : paths) {
        CHECK(ContainsNoCase(text, path + L"]"), L"not in the unregister backup: " + path);
    }
    CHECK(WaitUntil([&] { return RowNamed(TransformRows(program, dialog), row) < 0; }), TableText(rows));
}

// A file of twelve codecs that are not there yet, each registered as a DMO
// by the file itself: the question is dialog 137, naming all twelve classes
// with their names before any other key, and saying that the keys it makes
// stay. The restore's own backup is chosen afterwards, even beside a file
// whose name is dated 2099, and restored it takes every value away again,
// leaving the keys empty.
SCENARIO(restore_question_names_every_class) {
    ProgramUnderTest program;
    if (!program.Start(exePath)) return CheckFailed(__FILE__, __LINE__, "program started", program.State());
    CreateDirectoryW(BackupFolder().substr(0, BackupFolder().rfind(L'\\')).c_str(), nullptr);
    CreateDirectoryW(BackupFolder().c_str(), nullptr);
    const std::wstring id = NewGuidText().substr(1, 8);
    RegistryScratch keys;
    const std::wstring header = L"Windows Registry Editor Version 5.00\r\n";
    const std::wstring futureKey = L"Filter\\" + NewGuidText();
    keys.Own(futureKey);
    const std::wstring future = BackupFolder() + L"\\2099-01-01 00-00-00 Удаление кодека - Vantrel Future " + id + L".reg";
    WriteRegFile(future, header + L"\r\n[" + MachineClassesName(futureKey) + L"]\r\n@=\"Vantrel Future\"\r\n");

    std::wstring text = header;
    std::vector<std::wstring> classKeys, lines, others;
    for (int i = 1; i <= 12; ++i) {
        const std::wstring classId = NewGuidText();
        const std::wstring classKey = L"CLSID\\" + classId;
        const std::wstring dmo = L"DirectShow\\MediaObjects\\" + classId.substr(1, 36);
        keys.Own(classKey);
        keys.Own(dmo);
        const std::wstring name = L"Vantrel Class " + std::to_wstring(i);
        text += L"\r\n[" + MachineClassesName(classKey) + L"]\r\n@=\"" + name + L"\"\r\n";
        text += L"\r\n[" + MachineClassesName(classKey + L"\\InprocServer32") +
                L"]\r\n@=\"C:\\\\codecs\\\\vantrel twelve.ax\"\r\n\"ThreadingModel\"=\"Both\"\r\n";
        text += L"\r\n[" + MachineClassesName(dmo) + L"]\r\n@=\"Vantrel DMO " + std::to_wstring(i) + L"\"\r\n";
        classKeys.push_back(classKey);
        lines.push_back(MachineClassesName(classKey) + L" (" + name + L")");
        // Every key after the classes, each value under its key with its type and data.
        others.insert(others.end(), {MachineClassesName(classKey), L"    «(по умолчанию)» (REG_SZ): " + name,
                                     MachineClassesName(classKey + L"\\InprocServer32"),
                                     L"    «(по умолчанию)» (REG_SZ): C:\\codecs\\vantrel twelve.ax",
                                     L"    «ThreadingModel» (REG_SZ): Both", MachineClassesName(dmo),
                                     L"    «(по умолчанию)» (REG_SZ): Vantrel DMO " + std::to_wstring(i)});
    }
    lines.insert(lines.end(), others.begin(), others.end());
    const std::wstring file = BackupFolder() + L"\\Vantrel twelve classes " + id + L".reg";
    WriteProgramsRegFile(program, file, text);
    const auto nameOf = [](const std::wstring& path) { return path.substr(path.rfind(L'\\') + 1); };

    HWND dialog = OpenBackupsDialog(program);
    if (!dialog) return;
    HWND list = GetDlgItem(dialog, IDC_BACKUP_LIST);
    const auto chosen = [&] {
        const auto rows = ListViewRows(list, program.processId, 4);
        const int row = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
        return row >= 0 && static_cast<size_t>(row) < rows.size() ? rows[row][3] : std::wstring(L"(none)");
    };
    // The file dated 2099 goes by its own time: written before the other, it
    // comes after it, and is not chosen.
    auto rows = ListViewRows(list, program.processId, 4);
    CHECK(rows.size() >= 2 && rows[0][3] == nameOf(file) && rows[1][3] == nameOf(future) &&
              rows[1][0].find(L"2099") == std::wstring::npos,
          TableText(rows));
    CHECK(chosen() == nameOf(file), chosen());

    std::wstring asked, own;
    std::wstring report = RestoreFromDialog(program, dialog, file, &own, nullptr, true, &asked);
    CHECK(report.empty(), report);
    CHECK(QuestionLines(asked) == lines, asked);
    CHECK(asked.find(L"\nРазделы, которых нет в реестре, будут созданы.") != std::wstring::npos, asked);
    for (const std::wstring& classKey : classKeys) {
        CHECK(ReadBytes(classKey + L"\\InprocServer32", L"ThreadingModel").size() == 10, L"not written: " + classKey);
    }
    if (own.empty()) return;
    CHECK(chosen() == nameOf(own), L"chosen after the restore: " + chosen() + L", its own backup " + own);
    const std::wstring ownText = RegFileText(own);
    CHECK(ownText.find(L"\r\n[" + MachineClassesName(classKeys[0] + L"\\InprocServer32") +
                       L"]\r\n@=-\r\n\"ThreadingModel\"=-\r\n") != std::wstring::npos,
          ownText.substr(0, 600));

    // "Восстановить" again, on the row chosen: the restore undone, every
    // value gone and the keys left empty.
    std::wstring undoAsked, ownOfOwn;
    report = RestoreFromDialog(program, dialog, L"", &ownOfOwn, nullptr, false, &undoAsked);
    CHECK(report.empty(), report);
    const std::vector<std::wstring> undoLines = QuestionLines(undoAsked);
    CHECK(undoLines.size() == lines.size() && std::equal(undoLines.begin(), undoLines.begin() + 12, lines.begin()),
          undoAsked);
    for (const std::wstring& classKey : classKeys) {
        const RegistrySnapshot left = TreeSnapshot(classKey);
        const bool empty = left.size() == 2 && std::none_of(left.begin(), left.end(), [](const RegistryItem& item) {
                               return item.isValue;
                           });
        CHECK(empty, classKey + L": " + Format(L"%lu items", (unsigned long)left.size()));
    }
    PressButton(dialog, IDCANCEL);
    CHECK(program.WaitDialogGone(dialog), L"dialog 134 stayed");
    for (const std::wstring& path : {future, file, own, ownOfOwn}) DeleteFileW(path.c_str());
}

namespace {

// HKEY_CURRENT_USER\Software\Classes made a registry link to a key of the
// machine's (\Registry\Machine\<target>), or that link removed.
bool MakeUserClassesLink(const std::wstring& target) {
    HKEY link = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, nullptr, REG_OPTION_CREATE_LINK,
                        KEY_ALL_ACCESS | KEY_CREATE_LINK | KEY_WOW64_64KEY, nullptr, &link, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const std::wstring kernelTarget = L"\\Registry\\Machine\\" + target;
    const LONG status = RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK,
                                       reinterpret_cast<const BYTE*>(kernelTarget.data()),
                                       static_cast<DWORD>(kernelTarget.size() * sizeof(wchar_t)));
    RegCloseKey(link);
    return status == ERROR_SUCCESS;
}

// A key of the 64-bit view removed with everything in it.
void DeleteTreeByName(HKEY root, const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, &key) == ERROR_SUCCESS) {
        RegDeleteTreeW(key, nullptr);
        RegCloseKey(key);
    }
    RegDeleteKeyExW(root, path.c_str(), KEY_WOW64_64KEY, 0);
}

// The user's classes removed with everything in them (a test prefix has none of its own).
void RemoveUserClasses() { DeleteTreeByName(HKEY_CURRENT_USER, L"Software\\Classes"); }

void RemoveUserClassesLink() {
    using NtDeleteKeyFunction = LONG(WINAPI*)(HANDLE);
    const auto ntDeleteKey = reinterpret_cast<NtDeleteKeyFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtDeleteKey")));
    HKEY link = nullptr;
    if (ntDeleteKey && RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", REG_OPTION_OPEN_LINK,
                                     KEY_ALL_ACCESS | KEY_WOW64_64KEY, &link) == ERROR_SUCCESS) {
        ntDeleteKey(link);
        RegCloseKey(link);
    }
}

}  // namespace

// The user's classes, HKEY_CURRENT_USER\Software\Classes: made a link to a
// key of the machine's, a restore of a key below them is refused and writes
// nothing there; where they are not there (as under Wine), they are made and
// the key written. And a key written in part is named with the values
// written and those not written.
SCENARIO(restore_user_classes_and_a_key_in_part) {
    ProgramUnderTest program;
    if (!program.Start(exePath)) return CheckFailed(__FILE__, __LINE__, "program started", program.State());
    CreateDirectoryW(BackupFolder().substr(0, BackupFolder().rfind(L'\\')).c_str(), nullptr);
    CreateDirectoryW(BackupFolder().c_str(), nullptr);
    const std::wstring id = NewGuidText();
    const std::wstring header = L"Windows Registry Editor Version 5.00\r\n\r\n";
    RemoveUserClassesLink();
    RemoveUserClasses();
    const std::wstring userKey = L"Software\\Classes\\Filter\\" + id;
    const std::wstring userFile = BackupFolder() + L"\\Vantrel user classes " + id.substr(1, 8) + L".reg";
    WriteRegFile(userFile, header + L"[HKEY_CURRENT_USER\\" + userKey + L"]\r\n@=\"Vantrel user filter\"\r\n");

    RegistryScratch keys;
    const std::wstring partKey = L"Filter\\" + NewGuidText();
    keys.Own(partKey);
    const std::wstring partFile = BackupFolder() + L"\\Vantrel in part " + id.substr(1, 8) + L".reg";
    // A file of the machine's keys, as if the program had written it here.
    WriteProgramsRegFile(program, partFile, header + L"[" + MachineClassesName(partKey) + L"]\r\n\"Good\"=\"yes\"\r\n\"" +
                                                std::wstring(20000, L'a') + L"\"=\"no\"\r\n");

    const std::wstring target = L"Software\\Vantrel user classes " + id.substr(1, 8);
    HKEY made = nullptr;
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, target.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &made,
                    nullptr);
    if (made) RegCloseKey(made);
    CHECK(MakeUserClassesLink(target), L"no link at HKEY_CURRENT_USER\\Software\\Classes");
    HWND dialog = OpenBackupsDialog(program);
    if (!dialog) return;
    const std::vector<std::wstring> files = BackupFiles();
    if (PressForBackup(program, dialog, userFile, IDC_BACKUP_RESTORE)) {
        HWND box = WaitForMessageBox(program, {dialog});
        const std::wstring text = box ? MessageBoxText(box) : program.Dialogs();
        CHECK(text == kNotABackup + std::wstring(L"3"), text);
        if (box) PressButton(box, GetDlgItem(box, IDOK) ? IDOK : IDNO);
        CHECK(!box || program.WaitDialogGone(box), program.Dialogs());
    }
    HKEY written = nullptr;
    CHECK(RegOpenKeyExW(HKEY_LOCAL_MACHINE, (target + L"\\Filter").c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &written) ==
              ERROR_FILE_NOT_FOUND && BackupFiles() == files,
          L"written through the link");
    if (written) RegCloseKey(written);
    RemoveUserClassesLink();
    DeleteTreeByName(HKEY_LOCAL_MACHINE, target);

    // No user's classes at all: made, and the key written.
    std::wstring own;
    std::wstring report = RestoreFromDialog(program, dialog, userFile, &own);
    CHECK(report.empty(), report);
    wchar_t value[64] = {};
    DWORD size = sizeof(value) - sizeof(wchar_t);
    HKEY userFilter = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, userKey.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &userFilter) == ERROR_SUCCESS) {
        RegQueryValueExW(userFilter, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
        RegCloseKey(userFilter);
    }
    CHECK(std::wstring(value) == L"Vantrel user filter", L"not written: " + std::wstring(value));

    // One value written, one whose name the registry does not take.
    std::wstring partOwn;
    report = RestoreFromDialog(program, dialog, partFile, &partOwn);
    const std::wstring expected = L"Не все записи удалось восстановить в реестре. Не записаны:\n" +
                                  MachineClassesName(partKey) + L": записаны значения «Good»; не записаны «" +
                                  std::wstring(64, L'a') + L"…»\nОшибка ";
    CHECK(report.rfind(expected, 0) == 0, report + L"\nexpected to start with:\n" + expected);
    CHECK(ReadBytes(partKey, L"Good").size() == 8, L"the good value not written");
    for (HWND box : program.VisibleDialogs()) {
        if (box != dialog) PressButton(box, IDOK);
    }
    PressButton(dialog, IDCANCEL);
    CHECK(program.WaitDialogGone(dialog), L"dialog 134 stayed");
    RemoveUserClasses();
    for (const std::wstring& path : {userFile, own, partFile, partOwn}) DeleteFileW(path.c_str());
}

// A codec of dialog 136 turned off and on again: the design's question, the
// backup ("Удаление кодека") of its Drivers32 value and its description,
// both deleted; the backup imported by the system's reg.exe, and restored
// from dialog 134, gives both back byte for byte; a restore file that also
// sets another value of Drivers32 (a sound driver's) is refused at its line;
// the codec report lists the codecs with their states; a deletion the
// registry refuses names what stayed and offers the restart.
SCENARIO(backup_driver_codec_round_trip) {
    const CopiedFiles files(L"Vantrel_driver_backup", {}, L"_");
    const std::wstring file = files.Copy(DriverCodecDll(), L"vantrel_backup.dll");
    const PlantedDriver codec(L"vidc.VTbk", file, 0, L"Vantrel Backup Video");
    const PlantedDriver gone(L"msacm.vantrelgone", files.Path(L"gone.acm"));
    const PlantedDriver refused(L"vidc.VTrf", files.Copy(DriverCodecDll(), L"vantrel_refused.dll"));
    DWORD valueType = 0, descriptionType = 0;
    const std::vector<BYTE> value = MachineValue(kDrivers32Key, codec.name.c_str(), 0, &valueType);
    const std::vector<BYTE> description = MachineValue(kDriversDescKey, file.c_str(), 0, &descriptionType);
    const auto sameAsPlanted = [&] {
        DWORD type = 0, type2 = 0;
        return MachineValue(kDrivers32Key, codec.name.c_str(), 0, &type) == value && type == valueType &&
               MachineValue(kDriversDescKey, file.c_str(), 0, &type2) == description && type2 == descriptionType;
    };
    CHECK(!value.empty() && !description.empty(), L"not planted");

    SetEnvironmentVariableW(L"VANTREL_REFUSE_VALUES", refused.name.c_str());
    ProgramUnderTest program;
    const bool started = program.Start(exePath) && program.LoadRefusals();
    SetEnvironmentVariableW(L"VANTREL_REFUSE_VALUES", nullptr);
    if (!started) return CheckFailed(__FILE__, __LINE__, "program started with the refusals", program.State());
    HWND dialog = OpenDriverCodecs(program);
    if (!dialog) return;
    const auto deleteRow = [&](const std::wstring& name) {
        const Table rows = DriverCodecRows(program, dialog);
        SetListViewRowSelected(GetDlgItem(dialog, IDC_DRIVER_LIST), program.processId, -1, false);
        SelectListViewRow(GetDlgItem(dialog, IDC_DRIVER_LIST), program.processId, RowNamed(rows, name));
        PressButton(dialog, IDC_DRIVER_DELETE);
        HWND confirm = WaitForMessageBox(program, {dialog});
        CHECK(confirm && WindowText(confirm) == kConfirmTitle &&
                  MessageBoxText(confirm) == L"Данная операция удалит записи о кодеке из реестра. Ее следует применять "
                                             L"только если нельзя  удалить кодек другим способом. Вы хотите продолжить?",
              program.Dialogs());
        if (confirm) PressButton(confirm, IDYES);
        CHECK(!confirm || program.WaitDialogGone(confirm), program.Dialogs());
    };

    std::vector<std::wstring> before = BackupFiles();
    deleteRow(codec.name);
    std::wstring backup = WaitForNewBackup(before);
    CHECK(!backup.empty() && backup.find(L" Удаление кодека - vidc.VTbk.reg") != std::wstring::npos, backup);
    const std::wstring where = std::wstring(L"HKEY_LOCAL_MACHINE\\Software\\") + (sizeof(void*) == 4 ? L"Wow6432Node\\" : L"") +
                               L"Microsoft\\Windows NT\\CurrentVersion\\";
    std::wstring escaped = file;
    for (std::size_t at = escaped.find(L'\\'); at != std::wstring::npos; at = escaped.find(L'\\', at + 2)) escaped.insert(at, L"\\");
    const std::wstring text = RegFileText(backup);
    CHECK(ContainsNoCase(text, L"[" + where + L"Drivers32]\r\n\"vidc.VTbk\"=\"" + escaped + L"\"\r\n") &&
              ContainsNoCase(text, L"[" + where + L"drivers.desc]\r\n\"" + escaped + L"\"=\"Vantrel Backup Video\"\r\n"),
          text);
    // Its last line: the hash of the text before it with the machine's key,
    // which is its key's one value, readable by Administrators and SYSTEM only.
    const std::vector<BYTE> hashKey = BackupHashKey();
    const size_t lastLine = text.rfind(L"\r\n", text.size() < 3 ? 0 : text.size() - 3) + 2;
    CHECK(hashKey.size() == 32 && text.substr(lastLine) == HashLine(hashKey, text.substr(0, lastLine)),
          Format(L"a key of %lu bytes; the backup ends: ", (unsigned long)hashKey.size()) + text.substr(lastLine));
    CHECK(HashKeyKeptForAdministrators(), L"the key's permissions or values are not only for administrators");
    // The backup is written before the values go.
    CHECK(WaitUntil([&] {
              return MachineValue(kDrivers32Key, codec.name.c_str()).empty() && MachineValue(kDriversDescKey, file.c_str()).empty();
          }),
          L"not deleted");
    CHECK(RowNamed(DriverCodecRows(program, dialog), codec.name) < 0, L"the row stayed");

    // Imported by the system's reg.exe: both values back as they were.
    CHECK(ImportRegFile(backup) == 0, backup);
    CHECK(sameAsPlanted(), L"not back after reg import");

    // Deleted again, then restored from dialog 134, the dialog 136 row back.
    before = BackupFiles();
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_DRIVER_VIEW, CBN_SELCHANGE), 0);  // read again
    deleteRow(codec.name);
    backup = WaitForNewBackup(before);
    CHECK(!backup.empty() && WaitUntil([&] { return MachineValue(kDrivers32Key, codec.name.c_str()).empty(); }),
          L"not deleted again");
    PressButton(dialog, IDCANCEL);
    CHECK(program.WaitDialogGone(dialog), program.Dialogs());
    std::wstring asked;
    RestoreInDialog(program, backup, false, &asked);
    CHECK(sameAsPlanted(), L"not back after the restore");
    CHECK(ContainsNoCase(asked, where + L"Drivers32") && ContainsNoCase(asked, where + L"drivers.desc"), asked);

    // Another value of Drivers32 in a restore file: refused at its line, nothing written.
    const std::wstring foreign = BackupFolder() + L"\\Vantrel wave " + NewGuidText().substr(1, 8) + L".reg";
    const std::wstring head = L"Windows Registry Editor Version 5.00\r\n\r\n[" + where + L"Drivers32]\r\n\"vidc.VTnw\"=\"" +
                              escaped + L"\"\r\n";
    WriteRegFile(foreign, head + L"\"wave\"=\"vantrel.drv\"\r\n");
    if (HWND backups = OpenBackupsDialog(program)) {
        if (PressForBackup(program, backups, foreign, IDC_BACKUP_RESTORE)) {
            HWND box = WaitForMessageBox(program, {backups});
            CHECK(box && MessageBoxText(box) == kNotABackup + std::wstring(L"5"), program.Dialogs());
            if (box) PressButton(box, IDOK);
            CHECK(!box || program.WaitDialogGone(box), program.Dialogs());
        }
        CHECK(MachineValue(kDrivers32Key, L"vidc.VTnw").empty() && MachineValue(kDrivers32Key, L"wave").empty(),
              L"the foreign file was written");
        PressButton(backups, IDCANCEL);
        CHECK(program.WaitDialogGone(backups), program.Dialogs());
    }
    DeleteFileW(foreign.c_str());

    // An audio codec turned off: its backup, changed by one byte or without
    // its hash line, and a file planted with codec values of its own that name
    // another DLL, are each refused before any question, nothing written and
    // no backup taken; the backup itself is restored, its question naming the
    // value and its data under its key.
    dialog = OpenDriverCodecs(program);
    if (!dialog) return;
    before = BackupFiles();
    deleteRow(gone.name);
    const std::wstring acmBackup = WaitForNewBackup(before);
    CHECK(!acmBackup.empty() && WaitUntil([&] { return MachineValue(kDrivers32Key, gone.name.c_str()).empty(); }),
          L"the audio codec not deleted");
    PressButton(dialog, IDCANCEL);
    CHECK(program.WaitDialogGone(dialog), program.Dialogs());
    const std::wstring acmText = RegFileText(acmBackup);
    std::wstring changed = acmText;
    const size_t fileAt = changed.find(L"gone.acm");
    if (fileAt != std::wstring::npos) changed[fileAt] = L'G';  // one byte of UTF-16LE
    std::wstring planted = L"Windows Registry Editor Version 5.00\r\n\r\n[" + where + L"Drivers32]\r\n";
    const std::vector<std::wstring> codecNames = {gone.name, L"msacm.imaadpcm", L"vidc.h2pb", L"vids.h2pb"};
    for (size_t i = 1; i < codecNames.size(); ++i) planted += L"\"" + codecNames[i] + L"\"=\"" + escaped + L"\"\r\n";
    const size_t hashAt = acmText.rfind(kHashLabel);
    const struct {
        const wchar_t* kind;
        std::wstring text;
    } refusedFiles[] = {{L"changed", changed},
                        {L"without its hash", hashAt == std::wstring::npos ? acmText : acmText.substr(0, hashAt)},
                        {L"planted", planted}};
    const auto codecValues = [&] {
        std::vector<std::vector<BYTE>> values;
        for (const std::wstring& name : codecNames) values.push_back(MachineValue(kDrivers32Key, name.c_str()));
        return values;
    };
    const std::vector<std::vector<BYTE>> valuesBefore = codecValues();
    std::vector<std::wstring> refusedPaths;
    for (const auto& refused : refusedFiles) {
        refusedPaths.push_back(BackupFolder() + L"\\Vantrel " + refused.kind + L" " + NewGuidText().substr(1, 8) + L".reg");
        WriteRegFile(refusedPaths.back(), refused.text);
    }
    if (HWND backups = OpenBackupsDialog(program)) {
        for (size_t i = 0; i < std::size(refusedFiles); ++i) {
            const std::vector<std::wstring> files = BackupFiles();
            if (!PressForBackup(program, backups, refusedPaths[i], IDC_BACKUP_RESTORE)) continue;
            HWND box = WaitForMessageBox(program, {backups});
            CHECK(box && MessageBoxText(box) == kNotMadeHere && GetDlgItem(box, IDOK),
                  std::wstring(refusedFiles[i].kind) + L": " + program.Dialogs());
            if (box) PressButton(box, GetDlgItem(box, IDOK) ? IDOK : IDNO);
            CHECK(!box || program.WaitDialogGone(box), program.Dialogs());
            CHECK(codecValues() == valuesBefore && BackupFiles() == files, std::wstring(refusedFiles[i].kind) + L": written");
        }
        std::wstring acmAsked;
        const std::wstring report = RestoreFromDialog(program, backups, acmBackup, nullptr, nullptr, false, &acmAsked);
        CHECK(report.empty(), report);
        const std::vector<std::wstring> lines = QuestionLines(acmAsked);
        const std::wstring data = gone.data.size() > 100 ? gone.data.substr(0, 100) + L"..." : gone.data;
        CHECK(lines.size() == 2 && ContainsNoCase(lines[0], where + L"Drivers32") &&
                  lines[1] == L"    «" + gone.name + L"» (REG_SZ): " + data,
              acmAsked);
        CHECK(!MachineValue(kDrivers32Key, gone.name.c_str()).empty(), L"the audio codec not restored");
        PressButton(backups, IDCANCEL);
        CHECK(program.WaitDialogGone(backups), program.Dialogs());
    }
    for (const std::wstring& path : refusedPaths) DeleteFileW(path.c_str());

    // The report: each view's codecs with their states, the missing file among the problems.
    ScratchFolder saved(L"Vantrel driver report");
    const std::wstring reportPath = saved.path + L"\\report.txt";
    const SaveOutcome outcome = SaveReport(program, reportPath);
    const std::wstring report = Utf8FileText(reportPath);
    CHECK(outcome.caption == kSavedCaption, Describe(outcome));
    CHECK(report.find(L"  Кодеки ACM и Video for Windows: msacm.vantrelgone - файл не найден\r\n") != std::wstring::npos &&
              report.find(L". vidc.VTbk\r\n       Вид:        видео (VfW)\r\n       Описание:   Vantrel Backup Video\r\n") !=
                  std::wstring::npos &&
              report.find(L". vidc.mrle\r\n       Вид:        видео (VfW)\r\n") != std::wstring::npos &&
              report.find(L"       Состояние:  в порядке, из system.ini\r\n") != std::wstring::npos,
          report.substr(report.find(L"Кодеки ACM и Video for Windows (") == std::wstring::npos
                            ? 0
                            : report.find(L"Кодеки ACM и Video for Windows ("),
                        3000));

    // The registry refuses the deletion: the value stays, and says so, with the restart offered.
    dialog = OpenDriverCodecs(program);
    if (!dialog) return;
    before = BackupFiles();
    deleteRow(refused.name);
    HWND box = WaitForMessageBox(program, {dialog});
    CHECK(box && WindowText(box) == L"Удаление не завершено" &&
              MessageBoxText(box) == L"Не все записи кодека удалось удалить из реестра. Остались:\n" + where +
                                         L"Drivers32: vidc.VTrf\nНедостаточно прав для изменения реестра.\n"
                                         L"Перезапустить программу с правами администратора?",
          program.Dialogs());
    if (box) PressButton(box, IDNO);
    CHECK(!box || program.WaitDialogGone(box), program.Dialogs());
    CHECK(!MachineValue(kDrivers32Key, refused.name.c_str()).empty() && BackupFiles().size() == before.size() + 1,
          L"the refused value went, or no backup was taken");
    PressButton(dialog, IDCANCEL);
    CHECK(program.WaitDialogGone(dialog), program.Dialogs());
}
