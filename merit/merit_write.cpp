#include "../app/app_state.h"
#include "../app/bounded_text.h"
#include "../app/message_box.h"
#include "../app/scoped.h"
#include "../catalogue/category_table.h"
#include "../catalogue/registry_text.h"
#include "../codecs/registry_backup.h"
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

// NotBackedUp ends the walk as Written does: the backup has shown its own message.
enum class EntryOutcome { PassedOver, Written, NotBackedUp };

// Tries one Instance entry: a matching name with a FilterData long enough to
// hold a merit word gets the merit written into bytes 4 to 7.
EntryOutcome RewriteEntryMerit(HKEY entry, std::uint32_t merit) {
    wchar_t name[kNameCapacity];
    if (!ReadRegistryText(entry, L"FriendlyName", name, kNameCapacity)) return EntryOutcome::PassedOver;
    if (lstrcmpiW(g_app.selectedName, name) != 0) return EntryOutcome::PassedOver;

    DWORD size = 0;
    if (RegQueryValueExW(entry, L"FilterData", nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS) {
        return EntryOutcome::PassedOver;
    }
    if (size < kMeritWordEnd) return EntryOutcome::PassedOver;
    HeapBlock block(size);
    if (!block) return EntryOutcome::PassedOver;
    if (RegQueryValueExW(entry, L"FilterData", nullptr, nullptr, block.Get(), &size) != ERROR_SUCCESS) {
        ShowError(kReadFailedMessage);
        return EntryOutcome::PassedOver;
    }
    if (size < kMeritWordEnd) return EntryOutcome::PassedOver;
    // The value as it is now is saved first; without that backup nothing is written.
    if (!BackUpFilterData(entry, g_app.selectedName)) return EntryOutcome::NotBackedUp;
    for (DWORD i = 0; i < 4; ++i) block.Get()[kMeritOffset + i] = static_cast<BYTE>(merit >> (8 * i));
    if (RegSetValueExW(entry, L"FilterData", 0, REG_BINARY, block.Get(), size) != ERROR_SUCCESS) {
        ShowError(kWriteFailedMessage);
    }
    return EntryOutcome::Written;
}

}  // namespace

void WriteFilterMerit() {
    const std::uint32_t merit = g_app.currentMerit;
    wchar_t instancePath[kNameCapacity];
    BuildInstanceKeyPath(instancePath, kNameCapacity, SelectedRegistryCategory());

    RegKey instance;
    if (instance.Open(HKEY_CLASSES_ROOT, instancePath) != ERROR_SUCCESS) {
        ShowError(kNoAccessMessage);
        return;
    }
    const bool finished = ForEachSubkeyName(instance.Get(), [&](const wchar_t* entryName) {
        wchar_t entryPath[kNameCapacity];
        CopyText(entryPath, kNameCapacity, instancePath);
        AppendText(entryPath, kNameCapacity, entryName);
        RegKey entry;
        if (entry.Open(HKEY_CLASSES_ROOT, entryPath) != ERROR_SUCCESS) return false;
        return RewriteEntryMerit(entry.Get(), merit) != EntryOutcome::PassedOver;
    });
    if (!finished) ShowError(kNotChangedMessage);
}
