#include "preference_values.h"

#include "../base/bounded_text.h"
#include "../base/elevation.h"
#include "../base/message_box.h"
#include "../base/scoped.h"
#include "../catalogue/playback_preferences.h"
#include "../catalogue/registry_text.h"
#include "key_ownership.h"
#include "ownership_messages.h"

#include <cwchar>

const wchar_t kLinkNotWritten[] = L"Раздел является ссылкой реестра: программа через ссылки не записывает.";

namespace {

const wchar_t kWriteFailedMessage[] = L"Не удалось изменить предпочтительный декодер (Ошибка записи данных в реестр)";

// The data of one value as text: a string up to its first zero, anything
// else as hexadecimal bytes, as much as fits.
void DataAsText(DWORD type, const BYTE* data, DWORD size, wchar_t* text) {
    text[0] = L'\0';
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        const std::size_t count = size / sizeof(wchar_t);
        std::size_t i = 0;
        for (; i < count && i + 1 < kPreferenceTextCapacity; ++i) {
            const wchar_t c = static_cast<wchar_t>(data[2 * i] | (data[2 * i + 1] << 8));
            if (c == L'\0') break;
            text[i] = c;
        }
        text[i] = L'\0';
        return;
    }
    for (DWORD i = 0; i < size; ++i) {
        wchar_t byte[4];
        FormatText(byte, 4, i == 0 ? L"%02x" : L",%02x", data[i]);
        if (AppendText(text, kPreferenceTextCapacity, byte) != kTextOk) return;
    }
}

LONG ApplyChange(HKEY key, const wchar_t* valueName, const wchar_t* classId) {
    if (!classId) {
        const LONG status = RegDeleteValueW(key, valueName);
        return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
    }
    const DWORD bytes = static_cast<DWORD>((std::wcslen(classId) + 1) * sizeof(wchar_t));
    return RegSetValueExW(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(classId), bytes);
}

// The key belongs to the system: asked, and on Yes changed as its temporary owner.
PreferenceChangeEnd ChangeAsOwner(HWND owner, const PreferenceKey& key, const wchar_t* valueName,
                                  const wchar_t* classId, const PreferenceBackUp& backUp) {
    if (!AskToTakeOwnership(owner)) return PreferenceNotChanged;
    OwnershipResult result;
    ChangeKeyAsOwner(
        key.root, key.path, key.view,
        [&](const wchar_t* sddl) {
            // Read, as it is read everywhere, without going through a link.
            RegKey reading;
            const KeyOpening opening = OpenPreferencesKey(reading, key.path, key.view, KEY_QUERY_VALUE);
            if (opening == KeyIsLink) ShowMessageBox(owner, kLinkNotWritten, nullptr, MB_ICONERROR);
            return opening == KeyOpened && backUp(reading.Get(), valueName, sddl);
        },
        [&](HKEY writable) { return ApplyChange(writable, valueName, classId); }, result);
    // A backup that failed has said so itself, and nothing was changed.
    if (result.failedStep == OwnershipBeforeChange) return PreferenceNotChanged;
    if (result.failedStep != OwnershipDone) {
        ShowOwnershipFailure(owner, L"Не удалось изменить предпочтительный декодер.", result);
        return result.failedStep > OwnershipChange ? PreferenceChanged : PreferenceNotChanged;
    }
    return PreferenceChanged;
}

PreferenceChangeEnd Refused(HWND owner, const PreferenceKey& key, const wchar_t* valueName, const wchar_t* classId,
                            const PreferenceBackUp& backUp, bool keyOpened) {
    if (!ProcessIsElevated()) {
        ShowMessageBox(owner, kWriteFailedMessage, nullptr, MB_ICONERROR);
        return OfferRestartAsAdministrator(owner) ? PreferenceClosing : PreferenceNotChanged;
    }
    // An administrator refused at the open: the key's permissions keep its
    // values to its owner. Refused only at the write, it is something else.
    if (keyOpened) {
        ShowMessageBox(owner, kWriteFailedMessage, nullptr, MB_ICONERROR);
        return PreferenceNotChanged;
    }
    return ChangeAsOwner(owner, key, valueName, classId, backUp);
}

}  // namespace

KeyOpening ForEachPreferenceValue(const PreferenceKey& key, const std::function<void(const PreferenceValue&)>& visit) {
    RegKey opened;
    const KeyOpening opening = OpenPreferencesKey(opened, key.path, key.view, KEY_QUERY_VALUE);
    if (opening != KeyOpened) return opening;
    DWORD largest = 0;
    if (RegQueryInfoKeyW(opened.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                         &largest, nullptr, nullptr) != ERROR_SUCCESS) {
        return KeyOpened;
    }
    HeapBuffer data;
    if (!data.Reserve(largest + 2)) return KeyOpened;
    for (DWORD index = 0;; ++index) {
        PreferenceValue value = {};
        DWORD nameCount = kPreferenceTextCapacity;
        DWORD type = REG_NONE;
        DWORD size = static_cast<DWORD>(data.Size());
        const LONG status = RegEnumValueW(opened.Get(), index, value.name, &nameCount, nullptr, &type, data.Get(), &size);
        if (status == ERROR_MORE_DATA) {
            // A value that grew meanwhile is read again with room for it; a
            // name longer than 255 characters names no subtype and is passed over.
            if (size + 2 > data.Size() && nameCount < kPreferenceTextCapacity && data.Reserve(size + 2)) --index;
            continue;
        }
        if (status != ERROR_SUCCESS) return KeyOpened;
        value.name[kPreferenceTextCapacity - 1] = L'\0';
        DataAsText(type, data.Get(), size, value.data);
        value.usable = IsGuidText(value.name) && type == REG_SZ && IsGuidText(value.data);
        visit(value);
    }
}

PreferenceChangeEnd ChangePreferenceValue(HWND owner, const PreferenceKey& key, const wchar_t* valueName,
                                          const wchar_t* classId, const PreferenceBackUp& backUp) {
    // The key opened without going through a link; made first where it is missing.
    RegKey writable;
    LONG opened = ERROR_SUCCESS;
    KeyOpening opening = OpenPreferencesKey(writable, key.path, key.view, KEY_QUERY_VALUE | KEY_SET_VALUE, &opened);
    if (opening == KeyNotOpened && opened == ERROR_FILE_NOT_FOUND) {
        RegKey made;
        opened = RegCreateKeyExW(key.root, key.path, 0, nullptr, 0, KEY_QUERY_VALUE | key.view, nullptr, made.Put(),
                                 nullptr);
        if (opened == ERROR_SUCCESS) {
            opening = OpenPreferencesKey(writable, key.path, key.view, KEY_QUERY_VALUE | KEY_SET_VALUE, &opened);
        }
    }
    if (opening == KeyIsLink) {
        ShowMessageBox(owner, kLinkNotWritten, nullptr, MB_ICONERROR);
        return PreferenceNotChanged;
    }
    if (opened == ERROR_ACCESS_DENIED) return Refused(owner, key, valueName, classId, backUp, false);
    if (opening != KeyOpened) {
        ShowMessageBox(owner, kWriteFailedMessage, nullptr, MB_ICONERROR);
        return PreferenceNotChanged;
    }
    if (!backUp(writable.Get(), valueName, nullptr)) return PreferenceNotChanged;
    const LONG written = ApplyChange(writable.Get(), valueName, classId);
    if (written == ERROR_ACCESS_DENIED) return Refused(owner, key, valueName, classId, backUp, true);
    if (written != ERROR_SUCCESS) {
        ShowMessageBox(owner, kWriteFailedMessage, nullptr, MB_ICONERROR);
        return PreferenceNotChanged;
    }
    return PreferenceChanged;
}
