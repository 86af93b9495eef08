// The baseline program of the benchmark's process measurements: the bare form
// of the calls and reads that the program makes at start-up (measurement 5),
// on a double click on a row (7) and on OK in the merit dialog (8), written
// straight against the platform, with the program's resources (manifest,
// menu, bitmaps, strings, dialog templates) linked in. None of the program's
// own code is in it. The benchmark drives it exactly as it drives the program.
//
// Start-up: common controls and COM initialised; six bitmaps loaded; a window
// with the menu; six picture buttons, the combobox with five rows, the list and
// the check box; the tooltip with six tools; the legacy filter category's
// names from the device enumerator added to the (still hidden) list; shown.
// Double click on a row: the row's text; the legacy Instance key walked to
// the entry of that name and its CLSID read; the filter mapper walked to the
// filter of that name and its FilterData parsed; the class key's two default
// values read; the management dialog template shown modally with five texts.
// Its merit button: the merit dialog template, modal. OK there: the number
// read; the Instance key walked again and the entry's FilterData rewritten;
// then the filter mapper walked again and the merit text set.
#include "../base/win_headers.h"
#include "../resources/resource.h"
#include "../tests/common/test_registry.h"
#include "bare_reads.h"

#include <cwchar>

namespace {

const wchar_t kClassName[] = L"BenchBareWindow";

HINSTANCE g_instance;
HWND g_list;
wchar_t g_name[500];
std::wstring g_classId, g_objectName, g_serverPath;
std::uint32_t g_merit;

void ShowMerit(HWND dialog) {
    wchar_t text[32];
    swprintf(text, 32, L"0x%08x", g_merit);
    SetDlgItemTextW(dialog, IDC_MERIT_TEXT, text);
}

INT_PTR CALLBACK MeritProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) return TRUE;
    if (message != WM_COMMAND) return FALSE;
    if (LOWORD(wParam) == IDOK) {
        wchar_t text[256] = {};
        GetDlgItemTextW(dialog, IDC_MERIT_NUMBER, text, 256);
        BareMeritWrite(kLegacyInstance, g_name, static_cast<std::uint32_t>(std::wcstoul(text, nullptr, 0)));
        EndDialog(dialog, IDOK);
    } else if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
    }
    return TRUE;
}

INT_PTR CALLBACK ManageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        SetDlgItemTextW(dialog, IDC_FRIENDLY_NAME, g_name);
        SetDlgItemTextW(dialog, IDC_OBJECT_NAME, g_objectName.c_str());
        SetDlgItemTextW(dialog, IDC_SERVER_PATH, g_serverPath.c_str());
        SetDlgItemTextW(dialog, IDC_CLASS_ID, g_classId.c_str());
        ShowMerit(dialog);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            EndDialog(dialog, IDOK);
        } else if (LOWORD(wParam) == IDC_CHANGE_MERIT) {
            DialogBoxParamW(g_instance, MAKEINTRESOURCEW(IDD_MERIT), dialog, MeritProc, 0);
            g_merit = BareMeritRead(g_name);
            ShowMerit(dialog);
        }
        return TRUE;
    default:
        return FALSE;
    }
}

void OpenManagement(HWND window) {
    const LRESULT row = SendMessageW(g_list, LB_GETCURSEL, 0, 0);
    if (row == LB_ERR || SendMessageW(g_list, LB_GETTEXTLEN, row, 0) >= 500) return;
    SendMessageW(g_list, LB_GETTEXT, row, reinterpret_cast<LPARAM>(g_name));
    if (!BareInstanceLookup(kLegacyInstance, g_name, &g_classId)) return;
    g_merit = BareMeritRead(g_name);
    if (!BareClassRead(g_classId, &g_objectName, &g_serverPath)) return;
    DialogBoxParamW(g_instance, MAKEINTRESOURCEW(IDD_MANAGE), window, ManageProc, 0);
}

LRESULT CALLBACK BareWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_FILTER_LIST && HIWORD(wParam) == LBN_DBLCLK) OpenManagement(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

HWND Child(HWND parent, const wchar_t* className, const wchar_t* text, DWORD style, int x, int y, int width,
           int height, int id) {
    return CreateWindowExW(0, className, text, WS_CHILD | WS_VISIBLE | style, x, y, width, height, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), g_instance, nullptr);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    g_instance = instance;
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    CoInitialize(nullptr);

    const struct {
        int id, bitmap, tip, y;
    } buttons[] = {{IDM_MANAGE, IDB_MANAGE, IDS_TIP_MANAGE, 0},
                   {IDM_PROPERTIES, IDB_PROPERTIES, IDS_TIP_PROPERTIES, 40},
                   {IDM_REGISTER_NEW, IDB_ADD_CODEC, IDS_TIP_ADD_CODEC, 80},
                   {IDM_HELP, IDB_HELP, IDS_TIP_HELP, 120},
                   {IDM_HOME_PAGE, IDB_HOME_PAGE, IDS_TIP_HOME_PAGE, 160},
                   {IDM_ABOUT, IDB_INFO, IDS_TIP_INFO, 200}};
    HBITMAP bitmaps[6];
    for (int i = 0; i < 6; ++i) {
        bitmaps[i] = static_cast<HBITMAP>(LoadImageW(instance, MAKEINTRESOURCEW(buttons[i].bitmap), IMAGE_BITMAP, 0, 0, 0));
    }

    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = BareWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_APP));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszMenuName = MAKEINTRESOURCEW(IDR_MAIN_MENU);
    windowClass.lpszClassName = kClassName;
    if (!RegisterClassExW(&windowClass)) return 1;
    const HWND window = CreateWindowExW(0, kClassName, L"Bench bare window", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0,
                                        500, 440, nullptr, nullptr, instance, nullptr);
    if (!window) return 2;

    HWND buttonWindows[6];
    for (int i = 0; i < 6; ++i) {
        buttonWindows[i] = Child(window, L"BUTTON", L"", BS_PUSHBUTTON | BS_BITMAP, 350, buttons[i].y, 40, 40,
                                 buttons[i].id);
        SendMessageW(buttonWindows[i], BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmaps[i]));
    }
    const HWND combo = Child(window, L"COMBOBOX", L"", CBS_DROPDOWNLIST, 0, 0, 250, 400, IDC_CATEGORY_COMBO);
    g_list = Child(window, L"LISTBOX", L"", LBS_STANDARD, 0, 40, 350, 300, IDC_FILTER_LIST);
    Child(window, L"BUTTON", L"system filters", BS_AUTOCHECKBOX, 0, 340, 350, 30, IDC_SHOW_SYSTEM);

    const HWND tooltip = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                         CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window, nullptr,
                                         instance, nullptr);
    SetWindowPos(tooltip, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    for (int i = 0; i < 6; ++i) {
        TOOLINFOW tool{};
        tool.cbSize = sizeof(tool);
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = window;
        tool.uId = reinterpret_cast<UINT_PTR>(buttonWindows[i]);
        tool.hinst = instance;
        tool.lpszText = MAKEINTRESOURCEW(buttons[i].tip);
        SendMessageW(tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }

    for (const wchar_t* row : {L"Audio", L"Device control", L"DirectShow", L"Video", L"VBI"}) {
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row));
    }
    SendMessageW(combo, CB_SETCURSEL, 2, 0);
    BareDeviceWalk(CLSID_LegacyAmFilterCategory, g_list);
    ShowWindow(window, showCommand);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    CoUninitialize();
    return static_cast<int>(message.wParam);
}
