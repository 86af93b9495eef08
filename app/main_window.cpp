#include "main_window.h"

#include "../base/app_state.h"
#include "../base/message_box.h"
#include "../catalogue/category_combo.h"
#include "../catalogue/category_table.h"
#include "../catalogue/filter_list.h"
#include "../resources/resource.h"

namespace {

struct ButtonPlace {
    int id;
    const wchar_t* text;
    int y;
};

// The six picture buttons share one style and column; only id, text and row differ.
const DWORD kPictureButtonStyle = WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON | BS_BITMAP;

HWND CreateChild(const wchar_t* className, const wchar_t* text, DWORD style, int x, int y, int width, int height,
                 int id, HINSTANCE instance) {
    return CreateWindowExW(0, className, text, style, x, y, width, height, g_app.mainWindow,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
}

HWND CreatePictureButton(const ButtonPlace& place, HINSTANCE instance) {
    return CreateChild(L"BUTTON", place.text, kPictureButtonStyle, 350, place.y, 40, 40, place.id, instance);
}

HBITMAP LoadButtonBitmap(HINSTANCE instance, int id) {
    return static_cast<HBITMAP>(LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, 0));
}

void AttachBitmap(HWND button, HBITMAP bitmap) {
    SendMessageW(button, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap));
}

void AddTooltip(HWND tooltip, HWND button, HINSTANCE instance, int stringId) {
    TOOLINFOW tool;
    ZeroMemory(&tool, sizeof(tool));
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = g_app.mainWindow;
    tool.uId = reinterpret_cast<UINT_PTR>(button);
    tool.hinst = instance;
    tool.lpszText = MAKEINTRESOURCEW(stringId);
    SendMessageW(tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

}  // namespace

namespace {

// The main window with its controls and the category chosen, its list not
// yet filled.
bool BuildMainWindow(HINSTANCE instance) {
    // The button pictures live until the process ends; they are never released.
    // Loaded in this order; attached in the order of the buttons.
    const HBITMAP propertiesPicture = LoadButtonBitmap(instance, IDB_PROPERTIES);
    const HBITMAP managePicture = LoadButtonBitmap(instance, IDB_MANAGE);
    const HBITMAP addCodecPicture = LoadButtonBitmap(instance, IDB_ADD_CODEC);
    const HBITMAP infoPicture = LoadButtonBitmap(instance, IDB_INFO);
    const HBITMAP helpPicture = LoadButtonBitmap(instance, IDB_HELP);
    const HBITMAP homePagePicture = LoadButtonBitmap(instance, IDB_HOME_PAGE);

    WNDCLASSEXW windowClass;
    ZeroMemory(&windowClass, sizeof(windowClass));
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_APP));
    windowClass.hIconSm = LoadIconW(instance, MAKEINTRESOURCEW(IDI_APP));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszMenuName = MAKEINTRESOURCEW(IDR_MAIN_MENU);
    windowClass.lpszClassName = L"MyClass";
    if (!RegisterClassExW(&windowClass)) {
        ShowMessageBox(nullptr, L"Fail to create class", L"Error", MB_ICONWARNING);
        return false;
    }

    g_app.mainWindow = CreateWindowExW(0, L"MyClass", L"Pelmora Vantrel v1.2", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0,
                                       500, 440, nullptr, nullptr, instance, nullptr);
    if (!g_app.mainWindow) {
        ShowMessageBox(nullptr, L"Fail to create window", L"Error", MB_ICONWARNING);
        return false;
    }

    const HWND manage = CreatePictureButton({IDM_MANAGE, L"Управление", 0}, instance);
    g_app.categoryCombo = CreateChild(L"COMBOBOX", L"", WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST, 0, 0, 250, 400,
                                      IDC_CATEGORY_COMBO, instance);
    g_app.filterList = CreateChild(L"LISTBOX", L"", WS_CHILD | WS_VISIBLE | LBS_STANDARD, 0, 40, 350, 300,
                                   IDC_FILTER_LIST, instance);
    CreateChild(L"BUTTON", L"показать системные фильтры", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, 0, 340, 350, 30,
                IDC_SHOW_SYSTEM, instance);
    const HWND properties = CreatePictureButton({IDM_PROPERTIES, L"Свойства", 40}, instance);
    const HWND addCodec = CreatePictureButton({IDM_REGISTER_NEW, L"Добавить кодек..", 80}, instance);
    const HWND help = CreatePictureButton({IDM_HELP, L"Справка", 120}, instance);
    const HWND homePage = CreatePictureButton({IDM_HOME_PAGE, L"Сайт программы", 160}, instance);
    const HWND info = CreatePictureButton({IDM_ABOUT, L"Информация", 200}, instance);

    AttachBitmap(manage, managePicture);
    AttachBitmap(properties, propertiesPicture);
    AttachBitmap(addCodec, addCodecPicture);
    AttachBitmap(help, helpPicture);
    AttachBitmap(info, infoPicture);
    AttachBitmap(homePage, homePagePicture);

    const HWND tooltip = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                         CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, g_app.mainWindow,
                                         nullptr, instance, nullptr);
    SetWindowPos(tooltip, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    AddTooltip(tooltip, manage, instance, IDS_TIP_MANAGE);
    AddTooltip(tooltip, properties, instance, IDS_TIP_PROPERTIES);
    AddTooltip(tooltip, addCodec, instance, IDS_TIP_ADD_CODEC);
    AddTooltip(tooltip, help, instance, IDS_TIP_HELP);
    AddTooltip(tooltip, homePage, instance, IDS_TIP_HOME_PAGE);
    AddTooltip(tooltip, info, instance, IDS_TIP_INFO);

    FillCategoryCombo();
    SendMessageW(g_app.categoryCombo, CB_SETCURSEL, kDefaultCategoryRow, 0);
    return true;
}

}  // namespace

bool CreateMainWindow(HINSTANCE instance) {
    if (!BuildMainWindow(instance)) return false;
    // Selecting by message does not notify the window, so the list is filled here.
    RefreshFilterList();
    return true;
}

int RunProgram(HINSTANCE instance, int showCommand) {
    INITCOMMONCONTROLSEX controls;
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_WIN95_CLASSES;
    InitCommonControlsEx(&controls);
    CoInitialize(nullptr);

    if (!BuildMainWindow(instance)) return -1;
    RefreshFilterList();

    ShowWindow(g_app.mainWindow, showCommand);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    CoUninitialize();
    return static_cast<int>(message.wParam);
}
