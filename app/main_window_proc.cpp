#include "../backups/backups_dialog.h"
#include "../base/app_state.h"
#include "../catalogue/filter_list.h"
#include "../catalogue/property_pages.h"
#include "../drivercodecs/drivers_dialog.h"
#include "../loadcheck/driver_check.h"
#include "../loadcheck/load_dialog.h"
#include "../loadcheck/shell_check.h"
#include "../codecs/manage_dialog.h"
#include "../codecs/register_commands.h"
#include "../playback/playback_dialog.h"
#include "../preferred/preferred_dialog.h"
#include "../report/report_command.h"
#include "../resources/resource.h"
#include "../scan/scan.h"
#include "../shellhandlers/shell_dialog.h"
#include "../transforms/transforms_dialog.h"
#include "codec_walk_guard.h"
#include "help_links.h"
#include "main_window.h"

namespace {

void OnCommand(WORD id, WORD code) {
    switch (id) {
    case IDC_FILTER_LIST:
        if (code == LBN_DBLCLK) OpenManageDialog();
        break;
    case IDC_CATEGORY_COMBO:
        if (code == CBN_SELCHANGE) {
            const UserChoosesCategory choice;
            RefreshFilterList();
            SendMessageW(g_app.filterList, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        }
        break;
    case IDC_SHOW_SYSTEM:
        // The automatic check box toggles its own mark; the flag stays its opposite.
        g_app.hideSystemFilters = !g_app.hideSystemFilters;
        RefreshFilterList();
        break;
    case IDM_REFRESH: RefreshFilterList(); break;
    case IDM_REGISTER_NEW: RegisterNewCodec(); break;
    case IDM_MANAGE: OpenManageDialog(); break;
    case IDM_PROPERTIES: ShowFilterProperties(); break;
    case IDM_SCAN: RunScanCommand(); break;
    case IDM_EXIT: SendMessageW(g_app.mainWindow, WM_CLOSE, 0, 0); break;
    case IDM_HELP: OpenHelpFile(); break;
    case IDM_HOME_PAGE: OpenHomePage(); break;
    case IDM_FORUM: OpenForumPage(); break;
    case IDM_ABOUT: OpenAboutBox(); break;
    case IDM_REGISTER_ADDITIONAL: RegisterAdditionalSystemCodecs(); break;
    case IDM_REGISTER_MAIN: RegisterMainSystemCodecs(); break;
    case IDM_PLAYBACK_CHECK: RunPlaybackCheckCommand(); break;
    case IDM_SAVE_REPORT: SaveCodecReport(); break;
    case IDM_PREFERRED_DECODERS: OpenPreferredDecodersDialog(); break;
    case IDM_TRANSFORMS: OpenTransformsDialog(); break;
    case IDM_REGISTRY_BACKUPS: OpenBackupsDialog(); break;
    case IDM_LOAD_CHECK: OpenLoadCheckDialog(); break;
    case IDM_DRIVER_CODECS: OpenDriverCodecsDialog(MakeDriverLoadCheck); break;
    case IDM_SHELL_HANDLERS: OpenShellHandlersDialog(MakeShellLoadCheck); break;
    default: break;  // 40005, 40012 to 40029 and unknown ids do nothing
    }
}

}  // namespace

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case kWalkRefusedMessage:
        AskAboutRefusedWalk(wParam != 0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}
