#include "../base/app_state.h"
#include "../base/bounded_text.h"
#include "../base/message_box.h"
#include "../resources/resource.h"
#include "merit.h"

namespace {

const wchar_t kBadNumberMessage[] =
    L"Нужно ввести правильное шестнадцатеричное число с префиксом 0х, или выбрать предопределенное значение";

void ShowMeritNumber(HWND dialog, std::uint32_t merit) {
    wchar_t text[kShortTextCapacity];
    FormatText(text, kShortTextCapacity, L"0x%08x", merit);
    SetDlgItemTextW(dialog, IDC_MERIT_NUMBER, text);
}

void OnOk(HWND dialog) {
    wchar_t text[kShortTextCapacity] = {};
    GetDlgItemTextW(dialog, IDC_MERIT_NUMBER, text, kShortTextCapacity);
    text[kShortTextCapacity - 1] = L'\0';
    std::uint32_t merit = 0;
    if (!ParseMeritText(text, &merit)) {
        ShowMessageBox(dialog, kBadNumberMessage, nullptr, MB_ICONWARNING);
        return;
    }
    g_app.currentMerit = merit;
    // The dialog takes no second OK while the write and its messages are up
    // (the design's messages have no owner, and so disable nothing); the
    // question that offers a restart is its own.
    EnableWindow(dialog, FALSE);
    WriteFilterMerit(dialog);
    EnableWindow(dialog, TRUE);
    EndDialog(dialog, 0);
}

}  // namespace

INT_PTR CALLBACK MeritDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        ShowMeritNumber(dialog, g_app.currentMerit);
        return TRUE;
    case WM_CLOSE:
        EndDialog(dialog, 0);
        return FALSE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_MERIT_PREFERRED: ShowMeritNumber(dialog, 0x00800000); break;
        case IDC_MERIT_NORMAL: ShowMeritNumber(dialog, 0x00600000); break;
        case IDC_MERIT_UNLIKELY: ShowMeritNumber(dialog, 0x00400000); break;
        case IDC_MERIT_DO_NOT_USE: ShowMeritNumber(dialog, 0x00200000); break;
        case IDOK: OnOk(dialog); break;
        case IDCANCEL: EndDialog(dialog, 0); break;
        default: break;
        }
        return FALSE;
    default:
        return FALSE;
    }
}
