#include "shell_turned_off.h"

#include "../backups/backup_file.h"
#include "../backups/backup_listing.h"
#include "../backups/registry_backup.h"
#include "../backups/restore_scope.h"
#include "../base/bounded_text.h"
#include "../catalogue/registry_link.h"
#include "../catalogue/view_registry.h"

#include <cwchar>

namespace {

// Whether the view's keys lie in the 32-bit half (below Wow6432Node) of 64-bit Windows.
bool ViewIsOtherHalf(REGSAM view) {
    if (!SystemIs64Bit()) return false;
    return view == KEY_WOW64_32KEY || (view == 0 && sizeof(void*) == 4);
}

// Whether the extension's key of the view has no default value now (a key
// that is a link, or cannot be read, counts as holding one).
bool DefaultGone(REGSAM view, const wchar_t* extension) {
    wchar_t path[kNameCapacity];
    if (FormatText(path, kNameCapacity, L"%ls\\%ls", kPropertyHandlersPath, extension) != kTextOk) return false;
    RegKey key;
    LONG status = ERROR_SUCCESS;
    const KeyOpening opening = OpenKeyPathUnlessLink(key, HKEY_LOCAL_MACHINE, path, KEY_READ | view, &status);
    if (opening == KeyNotOpened) return status == ERROR_FILE_NOT_FOUND;
    return opening == KeyOpened && RegQueryValueExW(key.Get(), L"", nullptr, nullptr, nullptr, nullptr) == ERROR_FILE_NOT_FOUND;
}

// Adds the property handlers the file sets back, of the view's half.
void TakeBackup(const wchar_t* path, bool otherHalf, REGSAM view, HeapArray<TurnedOffHandler>& found) {
    RegFileBytes bytes;
    RegFileContents contents;
    std::size_t badLine = 0;
    DWORD error = 0;
    if (!ReadRegFile(path, bytes, contents, &badLine, &error) || badLine != 0 || contents.failed) return;
    const wchar_t* extension = nullptr;
    RestoreTarget target;
    for (std::size_t i = 0; i < contents.count; ++i) {
        const RegFileEntry& entry = RegFileEntryAt(contents, i);
        const wchar_t* name = RegFileEntryName(contents, entry);
        if (entry.kind == RegFileKey) {
            extension = nullptr;
            if (FindRestoreTarget(name, target) && RestoreValuesOf(target) == RestorePropertyHandler &&
                InOtherHalf(target) == otherHalf) {
                const wchar_t* last = std::wcsrchr(name, L'\\');
                extension = last ? last + 1 : nullptr;
            }
            continue;
        }
        TurnedOffHandler handler = {};
        if (!extension || entry.kind != RegFileSetValue || name[0] != L'\0' || std::wcslen(extension) >= kExtensionCapacity ||
            !RestoreValueAllowed(target, contents, entry) ||
            !RegFileValueText(contents, entry, handler.classId, 40)) {
            continue;
        }
        bool known = false;
        for (SIZE_T k = 0; k < found.Count() && !known; ++k) known = lstrcmpiW(found[k].extension, extension) == 0;
        if (known || !DefaultGone(view, extension)) continue;
        CopyText(handler.extension, kExtensionCapacity, extension);
        CopyText(handler.backup, MAX_PATH, path);
        found.Append(handler);
    }
}

}  // namespace

void FindTurnedOffPropertyHandlers(REGSAM view, HeapArray<TurnedOffHandler>& found) {
    found.Clear();
    wchar_t folder[MAX_PATH];
    if (!FindBackupFolder(folder)) return;
    BackupListing listing;
    ListBackupFiles(folder, listing);
    const bool otherHalf = ViewIsOtherHalf(view);
    // Newest first: an extension's newest backup is the one taken.
    for (std::size_t i = 0; i < listing.count; ++i) {
        const BackupRow& row = BackupRowAt(listing, i);
        if (lstrcmpW(row.action, BackupActionName(BackupShellHandlerOff)) != 0) continue;
        wchar_t path[MAX_PATH];
        if (FormatText(path, MAX_PATH, L"%ls\\%ls", folder, row.file) != kTextOk) continue;
        TakeBackup(path, otherHalf, view, found);
    }
}
