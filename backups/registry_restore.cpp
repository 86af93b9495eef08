#include "registry_restore.h"

#include "../base/app_state.h"
#include "../base/bounded_text.h"
#include "../base/elevation.h"
#include "../base/message_box.h"
#include "../registry/key_ownership.h"
#include "../registry/ownership_messages.h"
#include "reg_file_reader.h"
#include "reg_file_text.h"
#include "registry_backup.h"
#include "../registry/removal_report.h"
#include "restore_scope.h"

#include <cwchar>

namespace {

const wchar_t kNotABackup[] = L"Файл не является резервной копией программы";
const wchar_t kUnreadable[] = L"Не удалось прочитать файл резервной копии";
const wchar_t kQuestion[] = L"Восстановить записи реестра из резервной копии?";
const wchar_t kConfirmCaption[] = L"Подтвердите действие";
const wchar_t kNotFinishedCaption[] = L"Восстановление не завершено";
const wchar_t kKeysNotWritten[] = L"Не все записи удалось восстановить в реестре. Не записаны:";
const wchar_t kOwnedKeyNotWritten[] = L"Не удалось восстановить записи раздела реестра, принадлежащего системе.";
const wchar_t kLinkOnTheWay[] = L"Раздел является ссылкой реестра; программа через ссылки не записывает.";

// The number of the first line whose key a restore must not write: outside
// the codec keys, or reached through a registry link; 0 when there is none.
std::size_t FirstKeyRefused(const RegFileContents& contents) {
    for (std::size_t i = 0; i < contents.count; ++i) {
        const RegFileEntry& entry = RegFileEntryAt(contents, i);
        if (entry.kind != RegFileKey) continue;
        RestoreTarget target;
        if (!FindRestoreTarget(RegFileEntryName(contents, entry), target)) return entry.line;
        RegKey key;
        LONG status = ERROR_SUCCESS;
        if (OpenRestoreKey(target, false, KEY_READ, key, &status) == KeyIsLink) return entry.line;
    }
    return 0;
}

// Reads the file and says why it is not restored; true when it may be.
bool ReadBackupToRestore(HWND owner, const wchar_t* path, RegFileContents& contents) {
    std::size_t badLine = 0;
    DWORD error = ERROR_SUCCESS;
    if (!ReadRegFile(path, contents, &badLine, &error) || contents.failed) {
        ShowMessageBox(owner, kUnreadable, nullptr, MB_ICONERROR);
        return false;
    }
    // The keys read are all above a line that is not of the form.
    const std::size_t keyRefused = FirstKeyRefused(contents);
    if (keyRefused != 0) badLine = keyRefused;
    if (badLine == 0) return true;
    wchar_t text[kNameCapacity];
    FormatText(text, kNameCapacity, L"%ls\nСтрока %lu", kNotABackup, static_cast<unsigned long>(badLine));
    ShowMessageBox(owner, text, nullptr, MB_ICONERROR);
    return false;
}

bool Confirm(HWND owner, const RegFileContents& contents) {
    NamedKeys keys;
    for (std::size_t i = 0; i < contents.count; ++i) {
        const RegFileEntry& entry = RegFileEntryAt(contents, i);
        if (entry.kind == RegFileKey) NameKey(keys, L"", RegFileEntryName(contents, entry));
    }
    GrowingText text;
    AppendString(text, kQuestion);
    AppendChar(text, L'\n');  // a blank line between the question and its keys
    AppendNamedKeys(text, keys);
    if (text.failed) return false;
    return ShowMessageBox(owner, TextChars(text), kConfirmCaption, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

// Backs up every value the file sets or removes as it is now; one that is
// not there yet is written as removed, so that restoring this backup takes
// away what the restore made. Keys that are not there add nothing: a backup
// never deletes keys.
bool BackUpBeforeRestore(HWND owner, const RegFileContents& contents, const wchar_t* friendlyName,
                         const wchar_t* classId) {
    GrowingText text;
    AppendRegFileHeader(text);
    bool complete = true;
    RegKey key;
    for (std::size_t i = 0; i < contents.count && complete; ++i) {
        const RegFileEntry& entry = RegFileEntryAt(contents, i);
        const wchar_t* name = RegFileEntryName(contents, entry);
        if (entry.kind == RegFileKey) {
            RestoreTarget target;
            LONG status = ERROR_SUCCESS;
            key.Close();
            if (FindRestoreTarget(name, target) && OpenRestoreKey(target, false, KEY_READ, key, &status) == KeyOpened) {
                complete = AppendRegKeyLine(text, name, std::wcslen(name));
            } else {
                // A key that cannot be read now could not be given back.
                complete = status == ERROR_FILE_NOT_FOUND;
            }
            continue;
        }
        if (!key) continue;
        const LONG status = AppendStoredValue(text, key.Get(), name);
        if (status == ERROR_FILE_NOT_FOUND) {
            complete = AppendRegValueRemoval(text, name, std::wcslen(name));
        } else {
            complete = status == ERROR_SUCCESS;
        }
    }
    return WriteBackupOrSay(owner, text, BackupRestore, friendlyName, classId, complete);
}

// Writes the values of the key whose line is contents' entry keyEntry, up
// to the next key line, into key; the first failure's code, after trying
// every value.
LONG WriteKeyValues(const RegFileContents& contents, std::size_t keyEntry, HKEY key) {
    LONG first = ERROR_SUCCESS;
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
        if (first == ERROR_SUCCESS) first = status;
    }
    return first;
}

// A key of preferred handlers that an administrator may not write belongs
// to the system: on the user's Yes its values are written as its temporary
// owner. The restore's own backup already holds them as they were. The
// system's code for a key left unwritten (ERROR_SUCCESS when written; the
// refusal itself when the user says No).
LONG WriteAsOwner(HWND owner, const RegFileContents& contents, std::size_t keyEntry, const RestoreTarget& target) {
    wchar_t path[kNameCapacity];
    if (!RestoreTargetPath(target, path, kNameCapacity) || !AskToTakeOwnership(owner)) return ERROR_ACCESS_DENIED;
    OwnershipResult result;
    ChangeKeyAsOwner(
        target.root, path, KEY_WOW64_64KEY, [](const wchar_t*) { return true; },
        [&](HKEY key) { return WriteKeyValues(contents, keyEntry, key); }, result);
    if (result.failedStep == OwnershipDone) return ERROR_SUCCESS;
    ShowOwnershipFailure(owner, kOwnedKeyNotWritten, result);
    // Past the change the values are written; what was not given back is told above.
    if (result.failedStep > OwnershipChange) return ERROR_SUCCESS;
    return result.error != ERROR_SUCCESS ? result.error : ERROR_ACCESS_DENIED;
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
        const KeyOpening opening = FindRestoreTarget(keyName, target)
                                       ? OpenRestoreKey(target, true, KEY_SET_VALUE, key, &status)
                                       : KeyNotOpened;
        if (opening == KeyIsLink) {
            outcome.linkKept = true;
            NameKey(notWritten, L"", keyName);
            continue;
        }
        if (opening == KeyOpened) {
            status = WriteKeyValues(contents, i, key.Get());
        } else if (status == ERROR_ACCESS_DENIED && elevated && IsPreferencesKey(target)) {
            // Refused at the open, as the key's permissions refuse an
            // administrator; a write refused on an opened key is something else.
            status = WriteAsOwner(owner, contents, i, target);
        }
        if (status == ERROR_SUCCESS) continue;
        if (outcome.refusal == ERROR_SUCCESS) outcome.refusal = status;
        NameKey(notWritten, L"", keyName);
    }
}

}  // namespace

RestoreResult RestoreBackup(HWND owner, const wchar_t* path, const wchar_t* friendlyName, const wchar_t* classId) {
    RegFileContents contents;
    if (!ReadBackupToRestore(owner, path, contents)) return RestoreNotDone;
    if (!Confirm(owner, contents)) return RestoreNotDone;
    if (!BackUpBeforeRestore(owner, contents, friendlyName, classId)) return RestoreNotDone;
    NamedKeys notWritten;
    RemovalOutcome outcome;
    WriteEntries(owner, contents, notWritten, outcome);
    if (notWritten.count == 0) return RestoreWritten;
    return ShowKeysNotChanged(owner, kNotFinishedCaption, kKeysNotWritten, notWritten, outcome, kLinkOnTheWay)
               ? RestoreClosing
               : RestoreWritten;
}
