// The help file, the web pages and the about box.
#include "help_links.h"
#include "../base/app_state.h"
#include "../base/shell_open.h"
#include "../resources/resource.h"

const wchar_t kHomePageAddress[] = L"https://pelmora.example/vantrel/";
const wchar_t kForumAddress[] = L"https://forum.pelmora.example/";
const wchar_t kFeedbackAddress[] = L"https://pelmora.example/vantrel/form/";
const wchar_t kHelpFileName[] = L"readme.txt";

namespace {

const wchar_t kAboutText[] =
    L"Утилита для управления кодеками. Поддерживает DirectShow и DMO кодеки\r\n"
    L"ВНИМАНИЕ! Всегда удаляйте кодеки с осторожностью! Перед удалением\r\n"
    L"смотрите, какой файл ему соответсвует. Если это файл из папки WINDOWS, не удаляйте кодек\r\n";

}  // namespace

void OpenHelpFile() { ShellOpen(kHelpFileName); }
void OpenHomePage() { ShellOpen(kHomePageAddress); }
void OpenForumPage() { ShellOpen(kForumAddress); }

INT_PTR CALLBACK AboutDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        SetDlgItemTextW(dialog, IDC_ABOUT_TEXT, kAboutText);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK: EndDialog(dialog, 0); break;
        case IDC_ABOUT_HOME_PAGE: ShellOpen(kHomePageAddress); break;
        case IDC_ABOUT_FEEDBACK: ShellOpen(kFeedbackAddress); break;
        default: break;  // Esc's cancel is not handled: the box stays open
        }
        return FALSE;
    default:
        return FALSE;
    }
}

void OpenAboutBox() {
    DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_ABOUT), g_app.mainWindow, AboutDialog, 0);
}
