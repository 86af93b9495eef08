#include "registry_backup.h"

#include "../base/app_state.h"
#include "../base/bounded_text.h"
#include "../base/growing_text.h"
#include "../base/message_box.h"
#include "../base/scoped.h"
#include "backup_file.h"
#include "backup_seal.h"
#include "../registry/key_path_list.h"
#include "reg_file_text.h"
#include "../catalogue/registry_link.h"
#include "../registry/registry_location.h"
#include "../registry/registry_removal.h"
#include "../registry/server_registrations.h"

#include <cwchar>

namespace {

const wchar_t kBackupFailedMessage[] =
    L"Не удалось сохранить резервную копию записей реестра\nОперация отменена, реестр не изменен";

// The keys that RemoveCodecRegistry (and, with withDmo, RemoveDmoRegistration)
// delete for this class id and list row, found as they find them.
void CollectCodecKeys(const wchar_t* classId, const wchar_t* friendlyName, bool withDmo, KeyPathList& keys) {
    CodecEntryPaths paths;
    const std::size_t count = FindCodecEntryPaths(classId, friendlyName, paths);
    for (std::size_t i = 0; i < count; ++i) AddKeyPath(keys, paths[i]);
    wchar_t dmoPath[kNameCapacity];
    if (withDmo && FindDmoKeyPath(classId, dmoPath, kNameCapacity)) AddKeyPath(keys, dmoPath);
}

// Appends the key's line, its values and then each subkey with everything
// below it. Every key is named by its own place: on Windows a key seen
// through HKEY_CLASSES_ROOT may hold subkeys from the user's classes and
// from the machine's alike. False when any part cannot be read or written.
bool AppendKeyTree(GrowingText& text, HKEY key) {
    GrowingText name;
    if (!AppendRealKeyName(name, key) || !AppendRegKeyLine(text, TextChars(name), name.length)) return false;
    for (int attempt = 0;; ++attempt) {
        DWORD longestValueName = 0, largestValue = 0;
        if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &longestValueName,
                             &largestValue, nullptr, nullptr) != ERROR_SUCCESS) {
            return false;
        }
        HeapBuffer valueName;
        HeapBuffer data;
        if (!valueName.Reserve((longestValueName + 1) * sizeof(wchar_t)) || !data.Reserve(largestValue + 1)) {
            return false;
        }
        const std::size_t mark = text.length;
        bool grew = false;
        for (DWORD index = 0;; ++index) {
            DWORD nameCount = longestValueName + 1;
            DWORD size = largestValue;
            DWORD type = 0;
            const LONG status = RegEnumValueW(key, index, reinterpret_cast<wchar_t*>(valueName.Get()), &nameCount,
                                              nullptr, &type, data.Get(), &size);
            if (status == ERROR_NO_MORE_ITEMS) break;
            if (status == ERROR_MORE_DATA) {
                grew = true;  // a value changed while it was read: read them all again
                break;
            }
            if (status != ERROR_SUCCESS) return false;
            if (!AppendRegValueLine(text, reinterpret_cast<const wchar_t*>(valueName.Get()), nameCount, type,
                                    data.Get(), size)) {
                return false;
            }
        }
        if (!grew) break;
        if (attempt == 3) return false;
        // Drop the values written in this pass and start the key's values over.
        TruncateText(text, mark);
    }

    DWORD longestSubkey = 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, &longestSubkey, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    HeapBuffer subkeyName;
    if (!subkeyName.Reserve((longestSubkey + 1) * sizeof(wchar_t))) return false;
    for (DWORD index = 0;; ++index) {
        DWORD count = longestSubkey + 1;
        auto* subName = reinterpret_cast<wchar_t*>(subkeyName.Get());
        const LONG status = RegEnumKeyExW(key, index, subName, &count, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status != ERROR_SUCCESS) return false;  // ERROR_MORE_DATA too: a key added meanwhile
        RegKey subkey;
        const KeyOpening opening = OpenKeyUnlessLink(subkey, key, subName, KEY_READ);
        // A link is never entered: it stays where it is, and what it points
        // to is not the codec's. So does a subkey that the deletion cannot
        // open either: neither needs a copy. One the deletion could open but
        // this cannot read cannot be saved.
        if (opening == KeyIsLink) continue;
        if (opening == KeyNotOpened) {
            RegKey asDeleted;
            if (OpenKeyUnlessLink(asDeleted, key, subName, MAXIMUM_ALLOWED) == KeyOpened) return false;
            continue;
        }
        if (!AppendKeyTree(text, subkey.Get())) return false;
    }
    return !text.failed;
}

// Appends the tree at path under HKEY_CLASSES_ROOT, named where it really
// lives. A key that does not exist adds nothing, and neither does a link,
// which the deletion leaves; one that exists but cannot be read makes the
// backup fail.
bool AppendClassesTree(GrowingText& text, const wchar_t* path) {
    RegKey key;
    LONG status = ERROR_SUCCESS;
    const KeyOpening opening = OpenKeyUnlessLink(key, HKEY_CLASSES_ROOT, path, KEY_READ, &status);
    if (opening == KeyIsLink || status == ERROR_FILE_NOT_FOUND) return true;
    if (opening != KeyOpened) return false;
    return AppendKeyTree(text, key.Get());
}

}  // namespace

bool BackUpKeys(HWND owner, BackupAction action, const wchar_t* friendlyName, const wchar_t* classId,
                const KeyPathList& keys) {
    GrowingText text;
    AppendRegFileHeader(text);
    bool complete = !keys.failed;
    for (std::size_t i = 0; i < keys.count && complete; ++i) complete = AppendClassesTree(text, KeyPathAt(keys, i));
    return WriteBackupOrSay(owner, text, action, friendlyName, classId, complete);
}

const wchar_t* BackupActionName(BackupAction action) {
    switch (action) {
    case BackupDeleteCodec: return L"Удаление кодека";
    case BackupScanRemoval: return L"Удаление некорректного кодека";
    case BackupUnregister: return L"Отмена регистрации";
    case BackupMeritChange: return L"Изменение приоритета";
    case BackupRestore: return L"Восстановление";
    case BackupPreferredChange: return L"Изменение предпочтительного декодера";
    case BackupShellHandlerOff: return L"Отключение обработчика Проводника";
    case BackupShellHandlerOn: return L"Включение обработчика Проводника";
    case kBackupActionCount: break;
    }
    return L"Изменение реестра";
}

const wchar_t* BackupActionAsciiName(BackupAction action) {
    switch (action) {
    case BackupDeleteCodec: return L"Delete codec";
    case BackupScanRemoval: return L"Remove broken codec";
    case BackupUnregister: return L"Unregister";
    case BackupMeritChange: return L"Change merit";
    case BackupRestore: return L"Restore";
    case BackupPreferredChange: return L"Change preferred decoder";
    case BackupShellHandlerOff: return L"Turn off Explorer handler";
    case BackupShellHandlerOn: return L"Turn on Explorer handler";
    case kBackupActionCount: break;
    }
    return L"Registry change";
}

LONG AppendStoredValue(GrowingText& text, HKEY key, const wchar_t* valueName) {
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD type = 0;
        DWORD size = 0;
        LONG status = RegQueryValueExW(key, valueName, nullptr, &type, nullptr, &size);
        if (status != ERROR_SUCCESS) return status;
        HeapBuffer data;
        if (!data.Reserve(size + 1)) return ERROR_NOT_ENOUGH_MEMORY;
        DWORD read = size;
        status = RegQueryValueExW(key, valueName, nullptr, &type, data.Get(), &read);
        if (status == ERROR_MORE_DATA) continue;  // it grew meanwhile: ask again
        if (status != ERROR_SUCCESS) return status;
        return AppendRegValueLine(text, valueName, std::wcslen(valueName), type, data.Get(), read) ? ERROR_SUCCESS
                                                                                                : ERROR_INVALID_NAME;
    }
    return ERROR_MORE_DATA;
}

bool WriteBackupOrSay(HWND owner, GrowingText& text, BackupAction action, const wchar_t* friendlyName,
                      const wchar_t* classId, bool complete, wchar_t* written) {
    const BackupFileName name = {BackupActionName(action), BackupActionAsciiName(action), friendlyName, classId};
    // Without administrator rights the machine's key is refused, and the
    // backup goes without its hash: such a program can write no machine key
    // that a restore would need it for. A key or hash that cannot be made
    // where the rights are there fails the backup, as a failed write does:
    // a restore into the machine's keys would refuse the file.
    if (complete && !text.failed && SealBackupText(text) != SealFailed && WriteBackupFile(text, name, written)) {
        return true;
    }
    ShowMessageBox(owner, kBackupFailedMessage, nullptr, MB_ICONERROR);
    return false;
}

bool BackUpCodecEntries(HWND owner, BackupAction action, const wchar_t* friendlyName, const wchar_t* classId,
                        bool withDmo) {
    KeyPathList keys;
    CollectCodecKeys(classId, friendlyName, withDmo, keys);
    return BackUpKeys(owner, action, friendlyName, classId, keys);
}

bool BackUpUnregistration(HWND owner, const wchar_t* friendlyName, const wchar_t* classId, const wchar_t* serverFile) {
    KeyPathList keys;
    CollectCodecKeys(classId, friendlyName, true, keys);
    CollectServerRegistrations(serverFile, classId, keys);
    return BackUpKeys(owner, BackupUnregister, friendlyName, classId, keys);
}

bool BackUpFilterData(HKEY entry, const wchar_t* friendlyName, const wchar_t* classId) {
    GrowingText text;
    AppendRegFileHeader(text);
    GrowingText name;
    const bool complete = AppendRealKeyName(name, entry) && AppendRegKeyLine(text, TextChars(name), name.length) &&
                          AppendStoredValue(text, entry, L"FilterData") == ERROR_SUCCESS;
    return WriteBackupOrSay(nullptr, text, BackupMeritChange, friendlyName, classId, complete);
}

bool AppendOwnerComment(GrowingText& text, const wchar_t* sddl) {
    GrowingText comment;
    AppendString(comment, L"Владелец и права раздела до изменения (SDDL): ");
    AppendString(comment, sddl);
    return !comment.failed && AppendRegCommentLine(text, TextChars(comment), comment.length);
}

bool BackUpRegistryValue(HWND owner, BackupAction action, HKEY key, const wchar_t* valueName,
                         const wchar_t* securityComment, const wchar_t* friendlyName, const wchar_t* classId,
                         wchar_t* written) {
    GrowingText text;
    AppendRegFileHeader(text);
    bool complete = !securityComment || AppendOwnerComment(text, securityComment);
    GrowingText name;
    complete = complete && AppendRealKeyName(name, key) && AppendRegKeyLine(text, TextChars(name), name.length);
    if (complete) {
        const LONG status = RegQueryValueExW(key, valueName, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_FILE_NOT_FOUND) {
            complete = AppendRegValueRemoval(text, valueName, std::wcslen(valueName));
        } else {
            complete = AppendStoredValue(text, key, valueName) == ERROR_SUCCESS;
        }
    }
    return WriteBackupOrSay(owner, text, action, friendlyName, classId, complete, written);
}

bool BackUpValues(HWND owner, BackupAction action, const wchar_t* friendlyName, const wchar_t* asciiName,
                  const BackedUpValue* values, std::size_t count) {
    GrowingText text;
    AppendRegFileHeader(text);
    bool complete = true;
    for (std::size_t i = 0; i < count && complete; ++i) {
        // A key's line before its values, again wherever the key changes.
        if (i == 0 || values[i - 1].key != values[i].key) {
            GrowingText name;
            complete = AppendRealKeyName(name, values[i].key) && AppendRegKeyLine(text, TextChars(name), name.length);
        }
        complete = complete && AppendStoredValue(text, values[i].key, values[i].name) == ERROR_SUCCESS;
    }
    return WriteBackupOrSay(owner, text, action, friendlyName, asciiName, complete);
}
