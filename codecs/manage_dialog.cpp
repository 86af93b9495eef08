// The codec management dialog: the facts about one filter of the list and
// the actions on it.
#include "manage_dialog.h"
#include "../base/app_state.h"
#include "../base/bounded_text.h"
#include "../base/dialog_state.h"
#include "../base/list_box.h"
#include "../base/message_box.h"
#include "../catalogue/filter_list.h"
#include "../catalogue/registry_lookup.h"
#include "../catalogue/registry_text.h"
#include "../catalogue/server_path.h"
#include "../merit/merit.h"
#include "../backups/registry_backup.h"
#include "../registry/removal_report.h"
#include "../resources/resource.h"
#include "managed_codec.h"
#include "regsvr32.h"

namespace {

const wchar_t kConfirmCaption[] = L"Подтвердите действие";
const wchar_t kUnregisterQuestion[] =
    L"Данная операция удалит из системы все записи о выбранном кодеке, а также о всех других кодеках в одной DLL с "
    L"выбранным (если они есть). Если кодек зарегистрирован некорректно, удаление будет невозможно. Вы хотите "
    L"продолжить?";
const wchar_t kDeleteQuestion[] =
    L"Данная операция удалит записи о кодеке из реестра. Ее следует применять только если нельзя  удалить кодек "
    L"другим способом. Вы хотите продолжить?";

void ShowMerit(HWND dialog) {
    wchar_t text[kNameCapacity];
    FormatMerit(text);
    SetDlgItemTextW(dialog, IDC_MERIT_TEXT, text);
}

// The codec this dialog was opened for (see ManagedCodec).
ManagedCodec& CodecOf(HWND dialog) {
    return *DialogState<ManagedCodec>(dialog);
}

void ChangeMerit(HWND dialog, ManagedCodec& codec) {
    DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_MERIT), dialog, MeritDialog, 0);
    PutBackManagedCodec(codec);
    g_app.currentMerit = ReadFilterMerit();
    codec.merit = g_app.currentMerit;
    ShowMerit(dialog);
}

// Only Yes lets a destructive action go on: a box that could not be shown
// (0) was never answered.
bool Confirmed(HWND dialog, const wchar_t* question) {
    return ShowMessageBox(dialog, question, kConfirmCaption, MB_ICONWARNING | MB_YESNO) == IDYES;
}

void Unregister(HWND dialog, const ManagedCodec& codec) {
    if (!ConfirmUnregistration(dialog)) return;
    PutBackManagedCodec(codec);
    if (!UnregisterServerFile(dialog, g_app.selectedName, g_app.selectedClsid, g_app.serverPath,
                              g_app.serverPathType)) {
        return;
    }
    RefreshFilterList();
    EndDialog(dialog, 0);
}

void DeleteCodec(HWND dialog, const ManagedCodec& codec) {
    if (!ConfirmDeletion(dialog)) return;
    PutBackManagedCodec(codec);
    const bool withDmo = codec.lookupKind == LookupClassKey;
    if (!BackUpCodecEntries(dialog, BackupDeleteCodec, codec.name, codec.classId, withDmo)) return;
    // Whatever stayed is named in a box owned by this dialog; when the user
    // restarts the program for the rights, this instance closes after it.
    RemoveCodecEntriesAndReport(dialog, codec.classId, codec.name, withDmo);
    RefreshFilterList();
    EndDialog(dialog, 0);
}

}  // namespace

INT_PTR CALLBACK ManageDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: {
        // The dialog's own copy of the codec it opens for, taken from the
        // selection just looked up; it lives as long as the dialog does.
        auto* copy = MakeDialogState<ManagedCodec>(dialog);
        if (!copy) return TRUE;
        TakeManagedCodec(*copy);
        const ManagedCodec& codec = *copy;
        SetDlgItemTextW(dialog, IDC_FRIENDLY_NAME, codec.name);
        SetDlgItemTextW(dialog, IDC_OBJECT_NAME, codec.objectName);
        SetDlgItemTextW(dialog, IDC_SERVER_PATH, codec.serverPath);
        SetDlgItemTextW(dialog, IDC_CLASS_ID, codec.classId);
        ShowMerit(dialog);
        return TRUE;
    }
    case WM_NCDESTROY:
        DeleteDialogState<ManagedCodec>(dialog);
        return FALSE;
    case WM_CLOSE:
        EndDialog(dialog, 0);
        return FALSE;
    case WM_COMMAND: {
        if (GetWindowLongPtrW(dialog, DWLP_USER) == 0) return FALSE;
        ManagedCodec& codec = CodecOf(dialog);
        const WORD id = LOWORD(wParam);
        // Each action works on the codec shown, put back into AppState first.
        if (id == IDC_CHANGE_MERIT || id == IDC_CHECK_FILE || id == IDC_UNREGISTER || id == IDC_DELETE_CODEC) {
            PutBackManagedCodec(codec);
        }
        switch (id) {
        case IDOK: EndDialog(dialog, 0); break;
        case IDC_CHANGE_MERIT: ChangeMerit(dialog, codec); break;
        case IDC_CHECK_FILE: ShowServerFileCheck(dialog, ServerFileExists(g_app.serverPath, g_app.serverPathType)); break;
        case IDC_UNREGISTER: Unregister(dialog, codec); break;
        case IDC_DELETE_CODEC: DeleteCodec(dialog, codec); break;
        default: break;  // Esc's cancel is ignored: the dialog stays open
        }
        return FALSE;
    }
    default:
        return FALSE;
    }
}

void ShowServerFileCheck(HWND owner, bool found) {
    if (found) {
        ShowMessageBox(owner, L"Кодек зарегистрирован корректно", L"Результат проверки", MB_ICONINFORMATION);
    } else {
        ShowMessageBox(owner, L"Возможно, кодек зарегистрирован некорректно", nullptr, MB_ICONWARNING);
    }
}

bool ConfirmUnregistration(HWND owner) { return Confirmed(owner, kUnregisterQuestion); }
bool ConfirmDeletion(HWND owner) { return Confirmed(owner, kDeleteQuestion); }

bool UnregisterServerFile(HWND owner, const wchar_t* friendlyName, const wchar_t* classId, const wchar_t* serverPath,
                          DWORD serverType) {
    // regsvr32 loads the file the check looked for: the path with its
    // variables expanded where its value is expandable. One too long to
    // expand is not given to it at all.
    wchar_t expanded[kNameCapacity];
    const bool expandable = ExpandServerPath(serverPath, serverType, expanded, kNameCapacity);
    // The file's own unregistration may remove every codec it serves, in any
    // category: all of that is saved first.
    if (!BackUpUnregistration(owner, friendlyName, classId, expanded)) return false;
    if (expandable) RunRegsvr32(Regsvr32Unregister, expanded);
    return true;
}

void ShowCodecNotSupported() {
    ShowMessageBox(nullptr, L"Невозможно активировать управление для данного кодека:\nТип кодека не поддерживается",
                   nullptr, MB_ICONERROR);
}

void OpenManageDialog() {
    const LRESULT row = SendMessageW(g_app.filterList, LB_GETCURSEL, 0, 0);
    if (row == LB_ERR) {
        ShowMessageBox(g_app.mainWindow, L"Не выбран кодек", nullptr, MB_OK);
        return;
    }
    wchar_t rowText[kNameCapacity];
    GetListRowText(g_app.filterList, static_cast<int>(row), rowText, kNameCapacity);
    OpenManageDialogForRow(rowText);
}

namespace {

// Reads the merit and the class key's facts of the codec just looked up into
// AppState and runs the dialog; tells the user when the class key is missing.
void ManageLookedUpCodec() {
    g_app.currentMerit = ReadFilterMerit();
    CopyText(g_app.objectName, kNameCapacity, L"");
    CopyText(g_app.serverPath, kNameCapacity, L"");
    if (ReadClassInfo(g_app.selectedClsid, g_app.objectName, g_app.serverPath, &g_app.serverPathType) == 0) {
        ShowMessageBox(nullptr, L"Невозможно активировать управление для данного кодека:\nДанные в реестре повреждены",
                       nullptr, MB_ICONERROR);
        return;
    }
    DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_MANAGE), g_app.mainWindow, ManageDialog, 0);
}

}  // namespace

void OpenManageDialogForRow(const wchar_t* rowText) {
    CopyText(g_app.selectedName, kNameCapacity, rowText);
    if (lstrcmpiW(g_app.selectedName, L"") == 0) return;
    g_app.selectedByClassId = false;

    bool classIdCut = false;
    g_app.lookupKind = FindFilterRegistration(g_app.selectedClsid, g_app.selectedName, &classIdCut);
    // A class id cut to fit names no class: like an empty one, it is never
    // taken for a key name, so the codec cannot be managed.
    if (classIdCut) CopyText(g_app.selectedClsid, kNameCapacity, L"");
    if (g_app.lookupKind == LookupNone) {
        ShowCodecNotSupported();
        return;
    }
    ManageLookedUpCodec();
}

void OpenManageDialogForClassKey(const wchar_t* name, const wchar_t* classId) {
    CopyText(g_app.selectedName, kNameCapacity, name);
    // Chosen by its class id: the merit is not looked for by the name, which
    // another registration may carry.
    g_app.selectedByClassId = true;
    g_app.lookupKind = LookupClassKey;
    if (!IsUsableClassId(classId) || CopyText(g_app.selectedClsid, kNameCapacity, classId) != kTextOk) {
        CopyText(g_app.selectedClsid, kNameCapacity, L"");
        ShowCodecNotSupported();
        return;
    }
    ManageLookedUpCodec();
}

void OpenManageDialogForClass(const wchar_t* rowText, const wchar_t* classId) {
    CopyText(g_app.selectedName, kNameCapacity, rowText);
    g_app.selectedByClassId = true;
    g_app.lookupKind = LookupInstanceKey;
    CopyText(g_app.selectedClsid, kNameCapacity, classId);
    wchar_t entryPath[kNameCapacity];
    if (!FindSelectedEntry(entryPath)) {
        CopyText(g_app.selectedClsid, kNameCapacity, L"");
        ShowCodecNotSupported();
        return;
    }
    ManageLookedUpCodec();
}
