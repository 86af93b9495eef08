#include "driver_removal.h"

#include "../backups/registry_backup.h"
#include "../base/bounded_text.h"
#include "../base/growing_text.h"
#include "../base/message_box.h"
#include "../base/path_file_name.h"
#include "../catalogue/registry_link.h"
#include "../catalogue/string_value.h"
#include "../codecs/manage_dialog.h"
#include "../registry/registry_location.h"
#include "../registry/removal_report.h"

#include <cwchar>

namespace {

const wchar_t kSystemIniUnchanged[] = L"Запись system.ini программа не изменяет.";

// The access a deletion needs, and the reading its checks need.
constexpr REGSAM kChangeAccess = KEY_QUERY_VALUE | KEY_SET_VALUE;

bool ValueThere(HKEY key, const wchar_t* name) {
    return key && RegQueryValueExW(key, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

// The name of the description's value in drivers.desc for the data: the data
// as written, else its file's name (as the list reads it); empty where neither is there.
void DescriptionValueName(HKEY descriptions, const wchar_t* data, wchar_t* name, std::size_t capacity) {
    CopyText(name, capacity, L"");
    if (!descriptions || data[0] == L'\0') return;
    if (ValueThere(descriptions, data)) {
        CopyText(name, capacity, data);
        return;
    }
    const wchar_t* file = PathFileName(data);
    if (file != data && ValueThere(descriptions, file)) CopyText(name, capacity, file);
}

// Whether another codec value of the key describes itself by the same
// description: then the description stays for it.
bool DescriptionShared(HKEY drivers, HKEY descriptions, const DriverCodec& codec, const wchar_t* descriptionName) {
    bool shared = false;
    wchar_t name[kDriverNameCapacity];
    for (DWORD index = 0; !shared; ++index) {
        DWORD length = kDriverNameCapacity;
        const LONG status = RegEnumValueW(drivers, index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) break;
        DriverKind kind;
        if (status != ERROR_SUCCESS || lstrcmpiW(name, codec.name) == 0 || !DriverKindOfName(name, &kind)) continue;
        wchar_t data[kNameCapacity], described[kNameCapacity];
        ReadStringValue(drivers, name, data, kNameCapacity);
        DescriptionValueName(descriptions, data, described, kNameCapacity);
        shared = lstrcmpiW(described, descriptionName) == 0;
    }
    return shared;
}

// Deletes the value; a refusal goes to outcome.
void DeleteValue(HKEY key, const wchar_t* name, RemovalOutcome& outcome) {
    const LONG status = RegDeleteValueW(key, name);
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND && outcome.refusal == ERROR_SUCCESS) {
        outcome.refusal = status;
    }
}

// Names the value still there as "<key>: <name>".
void NoteValueLeft(NamedKeys& left, HKEY key, const wchar_t* name) {
    if (!ValueThere(key, name)) return;
    GrowingText place;
    if (!AppendRealKeyName(place, key)) AppendString(place, L"HKEY_LOCAL_MACHINE");
    AppendString(place, L": ");
    AppendString(place, name);
    NameKey(left, L"", TextChars(place));
}

}  // namespace

DriverRemoval RemoveDriverCodec(HWND owner, REGSAM view, const DriverCodec& codec) {
    if (codec.fromSystemIni) {
        ShowMessageBox(owner, kSystemIniUnchanged, nullptr, MB_ICONINFORMATION);
        return DriverNotRemoved;
    }
    if (!ConfirmDeletion(owner)) return DriverNotRemoved;
    // Opened as the list read them, never through a link; for writing where
    // the registry allows it, else for reading, so that a refusal is named
    // with what stayed.
    RegKey drivers, descriptions;
    LONG status = ERROR_SUCCESS;
    KeyOpening opening = OpenKeyPathUnlessLink(drivers, HKEY_LOCAL_MACHINE, kDrivers32Path, kChangeAccess | view, &status);
    RemovalOutcome outcome;
    if (opening == KeyNotOpened && status == ERROR_ACCESS_DENIED) {
        outcome.refusal = status;
        opening = OpenKeyPathUnlessLink(drivers, HKEY_LOCAL_MACHINE, kDrivers32Path, KEY_READ | view, &status);
    }
    if (OpenKeyPathUnlessLink(descriptions, HKEY_LOCAL_MACHINE, kDriverDescriptionsPath, kChangeAccess | view) !=
        KeyOpened) {
        OpenKeyPathUnlessLink(descriptions, HKEY_LOCAL_MACHINE, kDriverDescriptionsPath, KEY_READ | view);
    }
    // A cut name is not the value's own: nothing of that name is there to delete.
    if (opening != KeyOpened || codec.nameCut || !ValueThere(drivers.Get(), codec.name)) {
        ShowNothingToDelete(owner);
        return DriverNotRemoved;
    }
    wchar_t described[kNameCapacity];
    DescriptionValueName(descriptions.Get(), codec.data, described, kNameCapacity);
    if (described[0] != L'\0' && DescriptionShared(drivers.Get(), descriptions.Get(), codec, described)) {
        described[0] = L'\0';
    }
    BackedUpValue values[2] = {{drivers.Get(), codec.name}, {descriptions.Get(), described}};
    const std::size_t count = described[0] != L'\0' ? 2 : 1;
    if (!BackUpValues(owner, BackupDeleteCodec, codec.name, codec.name, values, count)) return DriverNotRemoved;
    for (std::size_t i = 0; i < count; ++i) DeleteValue(values[i].key, values[i].name, outcome);
    NamedKeys left;
    for (std::size_t i = 0; i < count; ++i) NoteValueLeft(left, values[i].key, values[i].name);
    return ReportValuesLeft(owner, left, outcome) ? DriverRestarting : DriverRemoved;
}
