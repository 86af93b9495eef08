#include "../base/app_state.h"
#include "../base/bounded_text.h"
#include "../base/elevation.h"
#include "../base/message_box.h"
#include "../base/scoped.h"
#include "../catalogue/category_combo.h"
#include "../catalogue/category_table.h"
#include "../catalogue/filter_data.h"
#include "../catalogue/mapper_entries.h"
#include "../catalogue/registry_lookup.h"
#include "../catalogue/registry_text.h"
#include "../backups/registry_backup.h"
#include "merit.h"

namespace {

// Bytes 4 to 7 of FilterData hold the merit; a shorter value has no merit word.
constexpr DWORD kMeritOffset = 4;
constexpr DWORD kMeritWordEnd = 8;

const wchar_t kNoAccessMessage[] =
    L"Не удалось получить доступ к HKEY_CLASSES_ROOT:Возможно, у вас нет прав доступа к реестру\n";
const wchar_t kReadFailedMessage[] = L"Произошла ошибка чтения данных кодека из реестра\nПриносим извенения";
const wchar_t kWriteFailedMessage[] = L"Не удалось изменить приоритет (Ошибка записи данных в реестр)\n";
const wchar_t kNotChangedMessage[] = L"Не удалось изменить приоритет (Неопознанная ошибка)\n";

void ShowError(const wchar_t* text) { ShowMessageBox(nullptr, text, nullptr, MB_ICONERROR); }

// What trying the entry came to. EntryNotBackedUp shows no message of its
// own here: the backup has shown one.
enum EntryOutcome {
    EntryNotWritten,
    EntryWritten,
    EntryNotBackedUp,
};

// Writes the merit into bytes 4 to 7 of the FilterData of the entry at
// entryPath when that value is sound (and so holds a merit word).
EntryOutcome RewriteEntryMerit(HKEY entry, const wchar_t* entryPath, const wchar_t* friendlyName, std::uint32_t merit,
                               HWND owner) {
    DWORD size = 0;
    if (RegQueryValueExW(entry, L"FilterData", nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS) {
        return EntryNotWritten;
    }
    if (size < kMeritWordEnd) return EntryNotWritten;
    HeapBuffer block;
    if (!block.Reserve(size)) return EntryNotWritten;
    DWORD type = REG_NONE;
    if (RegQueryValueExW(entry, L"FilterData", nullptr, &type, block.Get(), &size) != ERROR_SUCCESS) {
        ShowError(kReadFailedMessage);
        return EntryNotWritten;
    }
    if (size < kMeritWordEnd) return EntryNotWritten;
    // A damaged registration record is left as it is: writing into it would
    // not make it one the mapper can read.
    if (type != REG_BINARY || CheckFilterData(block.Get(), size) != FilterDataSound) return EntryNotWritten;
    // The value as it is now is saved first; without that backup nothing is
    // written. The class id the entry names goes into the backup's name where
    // the friendly name cannot.
    wchar_t classId[kClassIdCapacity];
    ReadRegistryText(entry, L"CLSID", classId, kClassIdCapacity);
    if (!BackUpFilterData(entry, friendlyName, classId)) return EntryNotBackedUp;
    for (DWORD i = 0; i < 4; ++i) block.Get()[kMeritOffset + i] = static_cast<BYTE>(merit >> (8 * i));
    const LONG written = RegSetValueExW(entry, L"FilterData", 0, REG_BINARY, block.Get(), size);
    ForgetMapperEntryAt(entryPath);
    if (written != ERROR_SUCCESS) {
        ShowError(kWriteFailedMessage);
        // Refused for lack of rights: a restart with them is offered.
        if (written == ERROR_ACCESS_DENIED) OfferRestartAsAdministrator(owner);
    }
    return EntryWritten;
}

}  // namespace

void WriteFilterMerit(HWND owner) {
    const std::uint32_t merit = g_app.currentMerit;
    wchar_t instancePath[kNameCapacity];
    BuildInstanceKeyPath(instancePath, kNameCapacity, SelectedRegistryCategory());
    {
        RegKey instance;
        if (instance.Open(HKEY_CLASSES_ROOT, instancePath) != ERROR_SUCCESS) {
            ShowError(kNoAccessMessage);
            return;
        }
    }
    // Only the entry the management works on is written: another entry of
    // the same name is another codec, whatever state this one is in.
    wchar_t entryPath[kNameCapacity];
    RegKey entry;
    EntryOutcome outcome = EntryNotWritten;
    if (FindSelectedEntry(entryPath) && entry.Open(HKEY_CLASSES_ROOT, entryPath) == ERROR_SUCCESS) {
        outcome = RewriteEntryMerit(entry.Get(), entryPath, g_app.selectedName, merit, owner);
    }
    if (outcome == EntryNotWritten) ShowError(kNotChangedMessage);
}
