#include "../base/app_state.h"
#include "../base/bounded_text.h"
#include "../base/elevation.h"
#include "../base/message_box.h"
#include "../base/scoped.h"
#include "../catalogue/category_combo.h"
#include "../catalogue/category_table.h"
#include "../catalogue/filter_data.h"
#include "../catalogue/instance_entries.h"
#include "../catalogue/registry_lookup.h"
#include "../catalogue/registry_text.h"
#include "../registry/registry_backup.h"
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

// What trying one Instance entry came to. EntryNotBackedUp ends the walk as
// EntryWritten does: the backup has shown its own message.
enum EntryOutcome {
    EntryPassedOver,
    EntryWritten,
    EntryNotBackedUp,
};

// Tries one Instance entry: a name equal to friendlyName without regard to
// case, with a sound FilterData (which holds a merit word), gets the merit
// written into bytes 4 to 7.
EntryOutcome RewriteEntryMerit(HKEY entry, const wchar_t* friendlyName, std::uint32_t merit) {
    wchar_t name[kNameCapacity];
    if (!ReadRegistryText(entry, L"FriendlyName", name, kNameCapacity)) return EntryPassedOver;
    if (lstrcmpiW(friendlyName, name) != 0) return EntryPassedOver;

    DWORD size = 0;
    if (RegQueryValueExW(entry, L"FilterData", nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS) {
        return EntryPassedOver;
    }
    if (size < kMeritWordEnd) return EntryPassedOver;
    HeapBuffer block;
    if (!block.Reserve(size)) return EntryPassedOver;
    DWORD type = REG_NONE;
    if (RegQueryValueExW(entry, L"FilterData", nullptr, &type, block.Get(), &size) != ERROR_SUCCESS) {
        ShowError(kReadFailedMessage);
        return EntryPassedOver;
    }
    if (size < kMeritWordEnd) return EntryPassedOver;
    // A damaged registration record is left as it is: writing into it would
    // not make it one the mapper can read.
    if (type != REG_BINARY || CheckFilterData(block.Get(), size) != FilterDataSound) return EntryPassedOver;
    // The value as it is now is saved first; without that backup nothing is
    // written. The class id the entry names goes into the backup's name where
    // the friendly name cannot.
    wchar_t classId[kClassIdCapacity];
    ReadRegistryText(entry, L"CLSID", classId, kClassIdCapacity);
    if (!BackUpFilterData(entry, friendlyName, classId)) return EntryNotBackedUp;
    for (DWORD i = 0; i < 4; ++i) block.Get()[kMeritOffset + i] = static_cast<BYTE>(merit >> (8 * i));
    const LONG written = RegSetValueExW(entry, L"FilterData", 0, REG_BINARY, block.Get(), size);
    if (written != ERROR_SUCCESS) {
        ShowError(kWriteFailedMessage);
        // Refused for lack of rights: a restart with them is offered.
        if (written == ERROR_ACCESS_DENIED) OfferRestartAsAdministrator(nullptr);
    }
    return EntryWritten;
}

}  // namespace

void WriteMeritOfFilter(const wchar_t* friendlyName, std::uint32_t merit) {
    wchar_t instancePath[kNameCapacity];
    BuildInstanceKeyPath(instancePath, kNameCapacity, SelectedRegistryCategory());
    const InstanceWalkEnd end = ForEachInstanceEntry(instancePath, [&](HKEY entry, const wchar_t*) {
        return RewriteEntryMerit(entry, friendlyName, merit) != EntryPassedOver;
    });
    if (end == InstanceWalkNoKey) {
        ShowError(kNoAccessMessage);
    } else if (end != InstanceWalkStopped) {
        ShowError(kNotChangedMessage);
    }
}

void WriteFilterMerit() { WriteMeritOfFilter(g_app.selectedName, g_app.currentMerit); }
