// The baseline program of the benchmark's cold start (measurement 5): the
// bare form of the calls and reads that the program makes at start-up, written
// straight against the platform, with the program's resources (manifest, menu,
// bitmaps, strings) linked in. None of the program's own code is in it.
//
// Start-up: common controls and COM initialised; six bitmaps loaded; a window
// with the menu; six picture buttons, the combobox with five rows, the list and
// the check box; the tooltip with six tools; the legacy filter category's
// names from the device enumerator added to the (still hidden) list; shown.
#include "../app/win_headers.h"
#include "../resources/resource.h"
#include "bare_reads.h"

namespace {

const wchar_t kClassName[] = L"BenchBareWindow";

HINSTANCE g_instance;

LRESULT CALLBACK BareWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
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
    const HWND list = Child(window, L"LISTBOX", L"", LBS_STANDARD, 0, 40, 350, 300, IDC_FILTER_LIST);
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
    BareDeviceWalk(CLSID_LegacyAmFilterCategory, list);
    ShowWindow(window, showCommand);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    CoUninitialize();
    return static_cast<int>(message.wParam);
}
