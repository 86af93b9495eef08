#include "removal_report.h"

#include "../base/app_state.h"
#include "../base/bounded_text.h"
#include "../base/elevation.h"
#include "../base/growing_text.h"
#include "../base/line_safety.h"
#include "../base/message_box.h"
#include "../base/scoped.h"
#include "../catalogue/registry_text.h"
#include "../catalogue/registry_link.h"
#include "key_path_list.h"
#include "registry_removal.h"

namespace {

const wchar_t kCaption[] = L"Удаление не завершено";
const wchar_t kKeysLeft[] = L"Не все записи кодека удалось удалить из реестра. Остались:";
const wchar_t kNoRights[] = L"Недостаточно прав для изменения реестра.";
const wchar_t kLinkKept[] = L"Раздел является ссылкой реестра; программа ссылки не удаляет.";
const wchar_t kNothingToDelete[] = L"Записей кодека в реестре уже нет\nУдалять нечего, реестр не изменен";
const wchar_t kNothingToDeleteCaption[] = L"Удаление не выполнено";

// The keys still there, each named from HKEY_CLASSES_ROOT, parents before
// what lies below them.
using KeysLeft = NamedKeys;

void NoteKeyLeft(KeysLeft& left, const wchar_t* path) { NameKey(left, L"HKEY_CLASSES_ROOT\\", path); }

// Notes every subkey of an open key that is still there, and what lies below
// each. A link is named but never entered; a subkey that is listed is there,
// even when it cannot be opened.
void NoteSubkeysLeft(KeysLeft& left, HKEY key, const wchar_t* path) {
    ForEachSubkeyName(key, [&](const wchar_t* name) {
        GrowingText subkeyPath;
        AppendString(subkeyPath, path);
        AppendChar(subkeyPath, L'\\');
        AppendString(subkeyPath, name);
        NoteKeyLeft(left, TextChars(subkeyPath));
        RegKey subkey;
        if (OpenKeyUnlessLink(subkey, key, name, KEY_READ) == KeyOpened) {
            NoteSubkeysLeft(left, subkey.Get(), TextChars(subkeyPath));
        }
        return false;
    });
}

// Notes the key at path, when it is still there, and everything below it.
void NoteTreeLeft(KeysLeft& left, const wchar_t* path) {
    RegKey key;
    LONG status = ERROR_SUCCESS;
    const KeyOpening opening = OpenKeyUnlessLink(key, HKEY_CLASSES_ROOT, path, KEY_READ, &status);
    if (opening == KeyNotOpened && status == ERROR_FILE_NOT_FOUND) return;
    NoteKeyLeft(left, path);
    if (opening == KeyOpened) NoteSubkeysLeft(left, key.Get(), path);
}

// The line that says why: a refusal for lack of rights first, since the user
// can do something about it, then a kept link, then the system's code.
void AppendCause(GrowingText& text, const RemovalOutcome& outcome, const wchar_t* linkCause) {
    AppendChar(text, L'\n');
    if (outcome.refusal == ERROR_ACCESS_DENIED) {
        AppendString(text, kNoRights);
    } else if (outcome.linkKept) {
        AppendString(text, linkCause);
    } else {
        wchar_t line[kShortTextCapacity];
        FormatText(line, kShortTextCapacity, L"Ошибка %ld.", static_cast<long>(outcome.refusal));
        AppendString(text, line);
    }
}

}  // namespace

bool RemoveCodecEntriesAndReport(HWND owner, const wchar_t* classId, const wchar_t* friendlyName, bool withDmo) {
    // The keys are found first, as the removal finds them, so that they can be
    // looked at again once it is done. With the legacy filter category chosen,
    // its entry is named twice: the list keeps it once.
    CodecEntryPaths paths;
    const std::size_t count = FindCodecEntryPaths(classId, friendlyName, paths);
    KeyPathList keys;
    for (std::size_t i = 0; i < count; ++i) AddKeyPath(keys, paths[i]);
    wchar_t dmoPath[kNameCapacity];
    if (withDmo && FindDmoKeyPath(classId, dmoPath, kNameCapacity)) AddKeyPath(keys, dmoPath);
    return RemoveKeysAndReport(owner, keys);
}

bool RemoveKeysAndReport(HWND owner, const KeyPathList& keys) {
    RemovalOutcome outcome;
    for (std::size_t i = 0; i < keys.count; ++i) DeleteKeyTree(HKEY_CLASSES_ROOT, KeyPathAt(keys, i), &outcome);
    KeysLeft left;
    for (std::size_t i = 0; i < keys.count; ++i) NoteTreeLeft(left, KeyPathAt(keys, i));
    if (left.count == 0) return false;

    return ShowKeysNotChanged(owner, kCaption, kKeysLeft, left, outcome, kLinkKept);
}

bool AnyKeyPresent(const KeyPathList& keys) {
    for (std::size_t i = 0; i < keys.count; ++i) {
        RegKey key;
        LONG status = ERROR_SUCCESS;
        const KeyOpening opening = OpenKeyUnlessLink(key, HKEY_CLASSES_ROOT, KeyPathAt(keys, i), KEY_READ, &status);
        if (opening != KeyNotOpened || status != ERROR_FILE_NOT_FOUND) return true;
    }
    return false;
}

void NameKey(NamedKeys& keys, const wchar_t* prefix, const wchar_t* path) {
    if (keys.count++ >= kListedKeysAtMost) return;
    AppendChar(keys.listed, L'\n');
    AppendString(keys.listed, prefix);
    // A key name may hold a line break or a direction mark: the box keeps one key a line.
    AppendSafeInLine(keys.listed, path, L'?');
}

void AppendNamedKeys(GrowingText& text, const NamedKeys& keys) {
    AppendChars(text, TextChars(keys.listed), keys.listed.length);
    if (keys.count > kListedKeysAtMost) {
        wchar_t more[kShortTextCapacity];
        FormatText(more, kShortTextCapacity, L"\nи еще %u", static_cast<unsigned>(keys.count - kListedKeysAtMost));
        AppendString(text, more);
    }
}

bool ShowKeysNotChanged(HWND owner, const wchar_t* caption, const wchar_t* heading, const NamedKeys& keys,
                        const RemovalOutcome& outcome, const wchar_t* linkCause) {
    GrowingText text;
    AppendString(text, heading);
    AppendNamedKeys(text, keys);
    AppendCause(text, outcome, linkCause);
    // Without rights, the restart is offered in the same box.
    const bool offer = outcome.refusal == ERROR_ACCESS_DENIED && !ProcessIsElevated();
    if (offer) {
        AppendChar(text, L'\n');
        AppendString(text, kRestartAsAdministratorQuestion);
    }
    const UINT style = MB_ICONWARNING | (offer ? MB_YESNO : MB_OK);
    const int answer = ShowMessageBox(owner, TextChars(text), caption, style);
    return offer && answer == IDYES && RestartAsAdministrator();
}

bool ReportValuesLeft(HWND owner, const NamedKeys& left, const RemovalOutcome& outcome) {
    if (left.count == 0) return false;
    return ShowKeysNotChanged(owner, kCaption, kKeysLeft, left, outcome, kLinkKept);
}

void ShowNothingToDelete(HWND owner) { ShowMessageBox(owner, kNothingToDelete, kNothingToDeleteCaption, MB_ICONINFORMATION); }
