#include "shell_switch.h"

#include "../backups/registry_backup.h"
#include "../backups/registry_restore.h"
#include "../base/bounded_text.h"
#include "../base/elevation.h"
#include "../base/message_box.h"
#include "../catalogue/registry_link.h"

const wchar_t kShellChangeNote[] =
    L"Проводник применит изменение при следующем запуске. Эскизы, уже сохраненные в кэше Проводника, останутся до "
    L"очистки кэша (программа «Очистка диска», пункт «Эскизы»).";

namespace {

const wchar_t kConfirmCaption[] = L"Подтвердите действие";
const wchar_t kLinkNotChanged[] = L"Раздел является ссылкой реестра: программа через ссылки не записывает.";
const wchar_t kUserOnlyQuestion[] =
    L"Изменять раздел компьютера (HKEY_LOCAL_MACHINE) программе запрещено. Отключить обработчик только для "
    L"текущего пользователя?";

constexpr REGSAM kChangeAccess = KEY_QUERY_VALUE | KEY_SET_VALUE;

bool Confirmed(HWND owner, const wchar_t* question) {
    return ShowMessageBox(owner, question, kConfirmCaption, MB_ICONWARNING | MB_YESNO) == IDYES;
}

void ShowChangeFailure(HWND owner, LONG status) {
    wchar_t text[kShortTextCapacity];
    FormatText(text, kShortTextCapacity, L"Не удалось изменить запись реестра (ошибка %ld).", static_cast<long>(status));
    ShowMessageBox(owner, text, nullptr, MB_ICONERROR);
}

// After a change the registry refused: for lack of rights, the restart with them offered.
ShellSwitchEnd Refused(HWND owner, LONG status) {
    ShowChangeFailure(owner, status);
    return status == ERROR_ACCESS_DENIED && OfferRestartAsAdministrator(owner) ? ShellSwitchClosing
                                                                               : ShellSwitchNotDone;
}

// Opens root\path for changing its values, never through a link; with
// create, a key missing there is made first (and then opened as above).
KeyOpening OpenForChange(HKEY root, const wchar_t* path, REGSAM view, bool create, RegKey& key, LONG* status) {
    KeyOpening opening = OpenKeyPathUnlessLink(key, root, path, kChangeAccess | view, status);
    if (opening != KeyNotOpened || *status != ERROR_FILE_NOT_FOUND || !create) return opening;
    HKEY made = nullptr;
    *status = RegCreateKeyExW(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_QUERY_VALUE | view, nullptr, &made,
                              nullptr);
    if (*status != ERROR_SUCCESS) return KeyNotOpened;
    RegCloseKey(made);
    return OpenKeyPathUnlessLink(key, root, path, kChangeAccess | view, status);
}

// Writes the Blocked value of the row's class under root, after its backup.
// ERROR_SUCCESS, or the status that stopped it; ERROR_CANCELLED when the
// backup failed (it said so itself) or the key is a link (said here).
LONG WriteBlocked(HWND owner, HKEY root, REGSAM view, const ShellHandlerRow& row) {
    RegKey key;
    LONG status = ERROR_SUCCESS;
    const KeyOpening opening = OpenForChange(root, kBlockedPath, view, true, key, &status);
    if (opening == KeyIsLink) {
        ShowMessageBox(owner, kLinkNotChanged, nullptr, MB_ICONERROR);
        return ERROR_CANCELLED;
    }
    if (opening != KeyOpened) return status;
    if (!BackUpRegistryValue(owner, BackupShellHandlerOff, key.Get(), row.classId, nullptr, row.name, row.classId)) {
        return ERROR_CANCELLED;
    }
    return RegSetValueExW(key.Get(), row.classId, 0, REG_SZ, reinterpret_cast<const BYTE*>(row.name),
                          static_cast<DWORD>((lstrlenW(row.name) + 1) * sizeof(wchar_t)));
}

ShellSwitchEnd TurnShellExtensionOff(HWND owner, REGSAM view, const ShellHandlerRow& row) {
    wchar_t question[kNameCapacity * 2];
    FormatText(question, kNameCapacity * 2,
               L"Обработчик «%ls» будет отключен: Проводник перестанет загружать его для всех файлов. Вы хотите "
               L"продолжить?",
               row.name);
    if (!Confirmed(owner, question)) return ShellSwitchNotDone;
    LONG status = WriteBlocked(owner, HKEY_LOCAL_MACHINE, view, row);
    if (status == ERROR_SUCCESS) return ShellSwitchDone;
    if (status == ERROR_CANCELLED) return ShellSwitchNotDone;
    if (status != ERROR_ACCESS_DENIED) return Refused(owner, status);
    // The machine's key refused: the user's own is offered; declined, the restart with the rights.
    if (ShowMessageBox(owner, kUserOnlyQuestion, kConfirmCaption, MB_ICONQUESTION | MB_YESNO) != IDYES) {
        return OfferRestartAsAdministrator(owner) ? ShellSwitchClosing : ShellSwitchNotDone;
    }
    status = WriteBlocked(owner, HKEY_CURRENT_USER, 0, row);
    if (status == ERROR_SUCCESS) return ShellSwitchDone;
    if (status != ERROR_CANCELLED) ShowChangeFailure(owner, status);
    return ShellSwitchNotDone;
}

ShellSwitchEnd TurnPropertyHandlerOff(HWND owner, REGSAM view, const ShellHandlerRow& row, wchar_t* backup) {
    wchar_t question[kNameCapacity * 2];
    FormatText(question, kNameCapacity * 2,
               L"Обработчик свойств «%ls» будет отключен для расширения %ls: его запись будет удалена из реестра. "
               L"Вы хотите продолжить?",
               row.name, row.extension);
    if (!Confirmed(owner, question)) return ShellSwitchNotDone;
    wchar_t path[kNameCapacity];
    FormatText(path, kNameCapacity, L"%ls\\%ls", kPropertyHandlersPath, row.extension);
    RegKey key;
    LONG status = ERROR_SUCCESS;
    const KeyOpening opening = OpenForChange(HKEY_LOCAL_MACHINE, path, view, false, key, &status);
    if (opening == KeyIsLink) {
        ShowMessageBox(owner, kLinkNotChanged, nullptr, MB_ICONERROR);
        return ShellSwitchNotDone;
    }
    if (opening != KeyOpened) return Refused(owner, status);
    if (!BackUpRegistryValue(owner, BackupShellHandlerOff, key.Get(), L"", nullptr, row.name, row.classId, backup)) {
        return ShellSwitchNotDone;
    }
    status = RegDeleteValueW(key.Get(), L"");
    return status == ERROR_SUCCESS ? ShellSwitchDone : Refused(owner, status);
}

}  // namespace

ShellSwitchEnd TurnShellHandlerOff(HWND owner, REGSAM view, const ShellHandlerRow& row, wchar_t* backup) {
    backup[0] = L'\0';
    return row.kind == ShellProperty ? TurnPropertyHandlerOff(owner, view, row, backup)
                                     : TurnShellExtensionOff(owner, view, row);
}

ShellSwitchEnd TurnBlockedHandlerOn(HWND owner, REGSAM view, const ShellHandlerRow& row) {
    wchar_t question[kNameCapacity * 2];
    FormatText(question, kNameCapacity * 2,
               L"Обработчик «%ls» будет включен: Проводник снова будет загружать его. Вы хотите продолжить?", row.name);
    if (!Confirmed(owner, question)) return ShellSwitchNotDone;
    // The machine's value and the user's, wherever there is one; both backed up in one file first.
    RegKey keys[2];
    BackedUpValue values[2];
    std::size_t count = 0;
    LONG status = ERROR_SUCCESS;
    const HKEY roots[2] = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER};
    for (int i = 0; i < 2; ++i) {
        const REGSAM rootView = roots[i] == HKEY_LOCAL_MACHINE ? view : 0;
        RegKey reading;
        if (OpenKeyPathUnlessLink(reading, roots[i], kBlockedPath, KEY_QUERY_VALUE | rootView) != KeyOpened ||
            RegQueryValueExW(reading.Get(), row.classId, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
            continue;
        }
        if (OpenForChange(roots[i], kBlockedPath, rootView, false, keys[count], &status) != KeyOpened) {
            return Refused(owner, status);
        }
        values[count] = {keys[count].Get(), row.classId};
        ++count;
    }
    if (count == 0) return ShellSwitchDone;  // turned on meanwhile
    if (!BackUpValues(owner, BackupShellHandlerOn, row.name, row.classId, values, count)) return ShellSwitchNotDone;
    for (std::size_t i = 0; i < count; ++i) {
        status = RegDeleteValueW(values[i].key, row.classId);
        if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) return Refused(owner, status);
    }
    return ShellSwitchDone;
}

ShellSwitchEnd TurnPropertyHandlerOn(HWND owner, const ShellHandlerRow& row, const wchar_t* backup) {
    wchar_t ownBackup[MAX_PATH] = {};
    switch (RestoreBackup(owner, backup, row.name, row.classId, ownBackup)) {
    case RestoreWritten: return ShellSwitchDone;
    case RestoreClosing: return ShellSwitchClosing;
    case RestoreNotDone: break;
    }
    return ShellSwitchNotDone;
}
