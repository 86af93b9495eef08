// The codec management dialog.
#pragma once
#include "../base/win_headers.h"

INT_PTR CALLBACK ManageDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Opens the codec management dialog for the list's selected row, after
// looking the filter up; tells the user when it cannot be managed.
void OpenManageDialog();
// The same for a list row named by its text (the scan's prompt names the row
// it means, whatever the list's selection is by the time it is answered).
void OpenManageDialogForRow(const wchar_t* rowText);
// The same for a registration chosen by its class id (a filter the playback
// check found): the entry of the combobox's category whose CLSID names
// classId, whatever other entry shares its name; rowText is the list row that
// shows it. The dialog's facts, actions and backups all concern that entry.
void OpenManageDialogForClass(const wchar_t* rowText, const wchar_t* classId);
// The same for a codec that only its class key registers (a DMO), chosen by
// its class id: found as a lookup by name finds such a codec (LookupClassKey),
// so that a deletion takes its DMO key too.
void OpenManageDialogForClassKey(const wchar_t* name, const wchar_t* classId);
// The message for a filter that neither registry place names: "...Тип кодека
// не поддерживается".
void ShowCodecNotSupported();

// "Проверка корректности": the result of looking for the server file (with
// its variables expanded), in a box owned by owner.
void ShowServerFileCheck(HWND owner, bool found);
// The questions before "Отменить регистрацию" and "Удалить кодек", owned by
// owner; true only when the answer is Yes.
bool ConfirmUnregistration(HWND owner);
bool ConfirmDeletion(HWND owner);
// Backs up what the file's own unregistration can remove (BackUpUnregistration)
// and then runs "regsvr32 /u" on serverPath (a value of serverType), as
// ExpandServerPath takes it. False,
// with nothing run, when the backup could not be written.
bool UnregisterServerFile(HWND owner, const wchar_t* friendlyName, const wchar_t* classId, const wchar_t* serverPath,
                          DWORD serverType);
