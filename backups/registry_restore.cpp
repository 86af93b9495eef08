#include "registry_restore.h"

#include "../base/app_state.h"
#include "../base/bounded_text.h"
#include "../base/elevation.h"
#include "../base/line_safety.h"
#include "../base/message_box.h"
#include "../catalogue/mapper_entries.h"
#include "../registry/key_ownership.h"
#include "../registry/ownership_messages.h"
#include "../registry/removal_report.h"
#include "backup_seal.h"
#include "reg_file_reader.h"
#include "reg_file_text.h"
#include "registry_backup.h"
#include "restore_classes.h"
#include "restore_question.h"
#include "restore_scope.h"
#include "restore_value_line.h"

#include <cwchar>

namespace {

const wchar_t kNotABackup[] = L"Файл не является резервной копией программы";
const wchar_t kUnreadable[] = L"Не удалось прочитать файл резервной копии";
const wchar_t kNoKeys[] = L"В резервной копии нет записей реестра.";
const wchar_t kNotMadeHere[] =
    L"Файл создан не этой программой на этом компьютере или изменен после создания: восстановление в разделы "
    L"компьютера запрещено";
const wchar_t kCheckNeedsRights[] =
    L"Резервную копию с записями разделов компьютера программа может проверить только с правами администратора.";
const wchar_t kConfirmCaption[] = L"Подтвердите действие";
const wchar_t kNotFinishedCaption[] = L"Восстановление не завершено";
const wchar_t kKeysNotWritten[] = L"Не все записи удалось восстановить в реестре. Не записаны:";
const wchar_t kOwnedKeyNotWritten[] = L"Не удалось восстановить записи раздела реестра, принадлежащего системе.";
const wchar_t kLinkOnTheWay[] = L"Раздел является ссылкой реестра; программа через ссылки не записывает.";
constexpr std::size_t kValuesNamedAtMost = 5;
constexpr std::size_t kMostValueNameShown = 64;

// The first line a restore must not write: a key outside the kinds a
// restore writes, a value its kind does not take, a key reached through a
// registry link, and, for a file read whole, a class key it must not write
// (the class keys are judged by the whole file); 0 when there is none.
std::size_t FirstLineOutOfScope(const RegFileContents& contents, bool whole, ClassesOfFile& classes) {
    std::size_t refused = 0;
    RestoreTarget target;
    for (std::size_t i = 0; i < contents.count && refused == 0; ++i) {
        const RegFileEntry& entry = RegFileEntryAt(contents, i);
        const wchar_t* name = RegFileEntryName(contents, entry);
        if (entry.kind != RegFileKey) {
            if (!RestoreValueAllowed(target, contents, entry)) refused = entry.line;
            continue;
        }
        RegKey key;
        LONG status = ERROR_SUCCESS;
        if (!FindRestoreTarget(name, target) || OpenRestoreKey(target, false, KEY_READ, key, &status) == KeyIsLink) {
            refused = entry.line;
        }
    }
    if (!whole) return refused;
    JudgeClassKeys(contents, classes);
    if (classes.refusedLine != 0 && (refused == 0 || classes.refusedLine < refused)) refused = classes.refusedLine;
    return refused;
}

bool HasKeys(const RegFileContents& contents) {
    for (std::size_t i = 0; i < contents.count; ++i) {
        if (RegFileEntryAt(contents, i).kind == RegFileKey) return true;
    }
    return false;
}

// Reads the file and says why it is not restored; true when it may be.
bool ReadBackupToRestore(HWND owner, const wchar_t* path, RegFileBytes& bytes, RegFileContents& contents,
                         ClassesOfFile& classes) {
    std::size_t badLine = 0;
    DWORD error = ERROR_SUCCESS;
    if (!ReadRegFile(path, bytes, contents, &badLine, &error) || contents.failed) {
        ShowMessageBox(owner, kUnreadable, nullptr, MB_ICONERROR);
        return false;
    }
    // The keys read are all above a line that is not of the form.
    const std::size_t refused = FirstLineOutOfScope(contents, badLine == 0, classes);
    if (classes.failed) {
        ShowMessageBox(owner, kUnreadable, nullptr, MB_ICONERROR);
        return false;
    }
    if (refused != 0) badLine = refused;
    if (badLine == 0 && !HasKeys(contents)) {
        ShowMessageBox(owner, kNoKeys, nullptr, MB_ICONINFORMATION);
        return false;
    }
    if (badLine == 0) return true;
    wchar_t text[kNameCapacity];
    FormatText(text, kNameCapacity, L"%ls\nСтрока %lu", kNotABackup, static_cast<unsigned long>(badLine));
    ShowMessageBox(owner, text, nullptr, MB_ICONERROR);
    return false;
}

// Whether the file writes any key outside HKEY_CURRENT_USER (every key of
// it is one a restore may write by now).
bool WritesMachineKeys(const RegFileContents& contents) {
    for (std::size_t i = 0; i < contents.count; ++i) {
        const RegFileEntry& entry = RegFileEntryAt(contents, i);
        RestoreTarget target;
        if (entry.kind == RegFileKey &&
            (!FindRestoreTarget(RegFileEntryName(contents, entry), target) || target.root != HKEY_CURRENT_USER)) {
            return true;
        }
    }
    return false;
}

// The backup folder is the user's own, and any program the user runs may
// write a file there: the machine's keys, which the programs of every user
// read (elevated ones included), are written only from a file this program wrote on this
// machine with administrator rights, unchanged since (backup_seal.h). The
// user's own keys need no such file. Says why a file is refused; true when
// it may be restored. *closing when this instance closes for a restart with
// administrator rights, which the check of the file needs.
bool MadeHereWhereNeeded(HWND owner, const RegFileBytes& bytes, const RegFileContents& contents, bool* closing) {
    if (!WritesMachineKeys(contents)) return true;
    const SealCheck seal = CheckBackupSeal(bytes.data.Get(), bytes.size);
    if (seal == SealMatches) return true;
    if (seal == SealKeyRefused && !ProcessIsElevated()) {
        wchar_t text[kNameCapacity];
        FormatText(text, kNameCapacity, L"%ls\n%ls", kCheckNeedsRights, kRestartAsAdministratorQuestion);
        if (ShowMessageBox(owner, text, kConfirmCaption, MB_YESNO | MB_ICONQUESTION) == IDYES) {
            *closing = RestartAsAdministrator();
        }
        return false;
    }
    ShowMessageBox(owner, seal == SealUnchecked ? kUnreadable : kNotMadeHere, nullptr, MB_ICONERROR);
    return false;
}

// Opens the key a key line names as a restore opens it: one name at a time,
// never through a link (KeyNotOpened for a name a restore does not write).
KeyOpening OpenFileKey(const wchar_t* keyName, bool create, REGSAM access, RestoreTarget& target, RegKey& key,
                       LONG* status) {
    return FindRestoreTarget(keyName, target) ? OpenRestoreKey(target, create, access, key, status) : KeyNotOpened;
}

bool KeyIsMissing(const wchar_t* name) {
    RestoreTarget target;
    RegKey key;
    LONG status = ERROR_SUCCESS;
    return OpenFileKey(name, false, KEY_READ, target, key, &status) == KeyNotOpened && status == ERROR_FILE_NOT_FOUND;
}

// Asks with every class the file writes, then every key with each value it
// sets or removes there.
bool Confirm(HWND owner, const RegFileContents& contents, const ClassesOfFile& classes) {
    RestoreQuestion question;
    for (SIZE_T i = 0; i < classes.classes.Count(); ++i) {
        GrowingText line;
        AppendWrittenClass(line, contents, classes.classes[i]);
        AddQuestionLine(question, TextChars(line));
    }
    for (std::size_t i = 0; i < contents.count; ++i) {
        const RegFileEntry& entry = RegFileEntryAt(contents, i);
        if (entry.kind != RegFileKey) {
            GrowingText line;
            AppendValueForQuestion(line, contents, entry);
            AddQuestionLine(question, TextChars(line));
            continue;
        }
        const wchar_t* name = RegFileEntryName(contents, entry);
        question.createsKeys = question.createsKeys || KeyIsMissing(name);
        AddQuestionLine(question, name);
    }
    return AskToRestore(owner, question);
}

// Before a key of preferred handlers that the restore will write as its
// temporary owner (an administrator may not open it to set values), the
// comment line with its owner and permissions as they are now.
bool AppendOwnerBeforeTakingOver(GrowingText& text, const RestoreTarget& target, HKEY key) {
    if (!ProcessIsElevated() || !IsPreferencesKey(target)) return true;
    RegKey writable;
    LONG status = ERROR_SUCCESS;
    if (OpenRestoreKey(target, false, KEY_SET_VALUE, writable, &status) != KeyNotOpened ||
        status != ERROR_ACCESS_DENIED) {
        return true;
    }
    GrowingText sddl;
    return AppendOwnerAndPermissions(sddl, key) == ERROR_SUCCESS && AppendOwnerComment(text, TextChars(sddl));
}

// Backs up every value the file sets or removes as it is now; one that is
// not there yet is written as removed, so that restoring this backup takes
// away what the restore made, in the keys there and in the keys the restore
// makes alike. A backup never deletes keys: the keys made stay.
bool BackUpBeforeRestore(HWND owner, const RegFileContents& contents, const wchar_t* friendlyName,
                         const wchar_t* classId, wchar_t* ownBackup) {
    GrowingText text;
    AppendRegFileHeader(text);
    bool complete = true;
    for (std::size_t i = 0; i < contents.count && complete; ++i) {
        const RegFileEntry& keyEntry = RegFileEntryAt(contents, i);
        if (keyEntry.kind != RegFileKey) continue;
        const wchar_t* keyName = RegFileEntryName(contents, keyEntry);
        RestoreTarget target;
        RegKey key;
        LONG status = ERROR_SUCCESS;
        const KeyOpening opening = OpenFileKey(keyName, false, KEY_READ, target, key, &status);
        const bool made = opening == KeyNotOpened && status == ERROR_FILE_NOT_FOUND;
        // A key that is there but cannot be read could not be given back.
        complete = opening == KeyOpened || made;
        if (opening == KeyOpened) complete = AppendOwnerBeforeTakingOver(text, target, key.Get());
        complete = complete && AppendRegKeyLine(text, keyName, std::wcslen(keyName));
        for (std::size_t v = i + 1; v < contents.count && complete; ++v) {
            const RegFileEntry& value = RegFileEntryAt(contents, v);
            if (value.kind == RegFileKey) break;
            const wchar_t* valueName = RegFileEntryName(contents, value);
            if (made) {
                // Removing a value from a key that is not there changes nothing.
                if (value.kind == RegFileSetValue) complete = AppendRegValueRemoval(text, valueName, std::wcslen(valueName));
                continue;
            }
            const LONG stored = AppendStoredValue(text, key.Get(), valueName);
            complete = stored == ERROR_FILE_NOT_FOUND ? AppendRegValueRemoval(text, valueName, std::wcslen(valueName))
                                                      : stored == ERROR_SUCCESS;
        }
    }
    return WriteBackupOrSay(owner, text, BackupRestore, friendlyName, classId, complete, ownBackup);
}

// The values of one key as they were written: the first failure's code,
// and the names of the values written and of those not written.
struct KeyValuesWritten {
    LONG firstFailure = ERROR_SUCCESS;
    GrowingText written;
    std::size_t writtenCount = 0;
    GrowingText failed;
    std::size_t failedCount = 0;
};

// Adds «name» to a list of value names, the first few of them.
void NameValue(GrowingText& names, std::size_t& count, const wchar_t* name) {
    if (count++ >= kValuesNamedAtMost) return;
    if (names.length) AppendString(names, L", ");
    AppendChar(names, L'«');
    AppendSafeInLineCut(names, name[0] == L'\0' ? L"(по умолчанию)" : name, kMostValueNameShown, L'?');
    AppendChar(names, L'»');
}

void AppendNamedValues(GrowingText& line, const GrowingText& names, std::size_t count) {
    AppendString(line, TextChars(names));
    if (count > kValuesNamedAtMost) {
        wchar_t more[kShortTextCapacity];
        FormatText(more, kShortTextCapacity, L" и еще %u", static_cast<unsigned>(count - kValuesNamedAtMost));
        AppendString(line, more);
    }
}

// Writes the values of the key whose line is contents' entry keyEntry, up
// to the next key line, into key, every one of them tried.
void WriteKeyValues(const RegFileContents& contents, std::size_t keyEntry, HKEY key, KeyValuesWritten& result) {
    for (std::size_t i = keyEntry + 1; i < contents.count; ++i) {
        const RegFileEntry& entry = RegFileEntryAt(contents, i);
        if (entry.kind == RegFileKey) break;
        const wchar_t* name = RegFileEntryName(contents, entry);
        LONG status = ERROR_SUCCESS;
        if (entry.kind == RegFileSetValue) {
            status = RegSetValueExW(key, name, 0, entry.type, RegFileEntryData(contents, entry), entry.size);
        } else {
            status = RegDeleteValueW(key, name);
            if (status == ERROR_FILE_NOT_FOUND) status = ERROR_SUCCESS;
        }
        if (status == ERROR_SUCCESS) {
            NameValue(result.written, result.writtenCount, name);
        } else {
            NameValue(result.failed, result.failedCount, name);
            if (result.firstFailure == ERROR_SUCCESS) result.firstFailure = status;
        }
    }
}

// A key of preferred handlers that an administrator may not write belongs
// to the system: on the user's Yes (the question names the key and its
// view) its values are written as its temporary owner. The restore's own
// backup already holds them as they were, and the owner and permissions
// before it. The system's code for a key left unwritten (ERROR_SUCCESS when
// written; the refusal itself when the user says No).
LONG WriteAsOwner(HWND owner, const RegFileContents& contents, std::size_t keyEntry, const RestoreTarget& target,
                  KeyValuesWritten& written) {
    wchar_t path[kNameCapacity];
    const wchar_t* keyName = RegFileEntryName(contents, RegFileEntryAt(contents, keyEntry));
    if (!RestoreTargetPath(target, path, kNameCapacity) || !AskToTakeOwnership(owner, keyName)) return ERROR_ACCESS_DENIED;
    OwnershipResult result;
    ChangeKeyAsOwner(
        target.root, path, KEY_WOW64_64KEY, [](const wchar_t*) { return true; },
        [&](HKEY key) {
            WriteKeyValues(contents, keyEntry, key, written);
            return written.firstFailure;
        },
        result);
    if (result.failedStep == OwnershipDone) return ERROR_SUCCESS;
    ShowOwnershipFailure(owner, kOwnedKeyNotWritten, result);
    // Past the change the values are written; what was not given back is told above.
    if (result.failedStep > OwnershipChange) return ERROR_SUCCESS;
    return result.error != ERROR_SUCCESS ? result.error : ERROR_ACCESS_DENIED;
}

// Names a key not written, or written in part: then with the values that
// were written and those that were not.
void NameKeyNotWritten(NamedKeys& notWritten, const wchar_t* keyName, const KeyValuesWritten& written) {
    if (written.writtenCount == 0 || written.failedCount == 0) {
        NameKey(notWritten, L"", keyName);
        return;
    }
    GrowingText line;
    AppendString(line, keyName);
    AppendString(line, L": записаны значения ");
    AppendNamedValues(line, written.written, written.writtenCount);
    AppendString(line, L"; не записаны ");
    AppendNamedValues(line, written.failed, written.failedCount);
    NameKey(notWritten, L"", TextChars(line));
}

// Writes every entry; the keys not written, and why, go to notWritten and
// outcome. Every box is owned by owner.
void WriteEntries(HWND owner, const RegFileContents& contents, NamedKeys& notWritten, RemovalOutcome& outcome) {
    const bool elevated = ProcessIsElevated();
    for (std::size_t i = 0; i < contents.count; ++i) {
        const RegFileEntry& entry = RegFileEntryAt(contents, i);
        if (entry.kind != RegFileKey) continue;
        const wchar_t* keyName = RegFileEntryName(contents, entry);
        RestoreTarget target;
        RegKey key;
        LONG status = ERROR_ACCESS_DENIED;
        const KeyOpening opening = OpenFileKey(keyName, true, KEY_SET_VALUE, target, key, &status);
        if (opening == KeyIsLink) {
            outcome.linkKept = true;
            NameKey(notWritten, L"", keyName);
            continue;
        }
        KeyValuesWritten written;
        if (opening == KeyOpened) {
            WriteKeyValues(contents, i, key.Get(), written);
            status = written.firstFailure;
        } else if (status == ERROR_ACCESS_DENIED && elevated && IsPreferencesKey(target)) {
            // Refused at the open, as the key's permissions refuse an
            // administrator; a write refused on an opened key is something else.
            status = WriteAsOwner(owner, contents, i, target, written);
        }
        if (status == ERROR_SUCCESS) continue;
        if (outcome.refusal == ERROR_SUCCESS) outcome.refusal = status;
        NameKeyNotWritten(notWritten, keyName, written);
    }
}

}  // namespace

RestoreResult RestoreBackup(HWND owner, const wchar_t* path, const wchar_t* friendlyName, const wchar_t* classId,
                            wchar_t* ownBackup) {
    ownBackup[0] = L'\0';
    RegFileBytes bytes;
    RegFileContents contents;
    ClassesOfFile classes;
    if (!ReadBackupToRestore(owner, path, bytes, contents, classes)) return RestoreNotDone;
    bool closing = false;
    if (!MadeHereWhereNeeded(owner, bytes, contents, &closing)) return closing ? RestoreClosing : RestoreNotDone;
    if (!Confirm(owner, contents, classes)) return RestoreNotDone;
    if (!BackUpBeforeRestore(owner, contents, friendlyName, classId, ownBackup)) return RestoreNotDone;
    NamedKeys notWritten;
    RemovalOutcome outcome;
    WriteEntries(owner, contents, notWritten, outcome);
    ForgetMapperEntriesCheck();
    if (notWritten.count == 0) return RestoreWritten;
    return ShowKeysNotChanged(owner, kNotFinishedCaption, kKeysNotWritten, notWritten, outcome, kLinkOnTheWay)
               ? RestoreClosing
               : RestoreWritten;
}
