// The main window's menu and tooltips, read in-process (menus cannot be read
// from another process under this runtime).
#include "../../resources/resource.h"
#include "test_support.h"

#include <map>

namespace {

std::wstring MenuText(HMENU menu, UINT position) {
    wchar_t text[128] = {};
    GetMenuStringW(menu, position, text, 128, MF_BYPOSITION);
    return text;
}

// Every item text of a menu, as one text, for failure messages.
std::string MenuTexts(HMENU menu) {
    std::vector<std::wstring> texts;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) texts.push_back(MenuText(menu, static_cast<UINT>(i)));
    return Utf8(Joined(texts));
}

TEST(MainWindowMenu, ItemsTextsAndCommandIds) {
    EnsureMainWindow();
    HMENU bar = GetMenu(g_app.mainWindow);
    ASSERT_NE(nullptr, bar);
    ASSERT_EQ("[Кодек][Обслуживание][Справка]", MenuTexts(bar));

    // Separators have id 0 and no text.
    const std::vector<std::vector<std::pair<UINT, std::wstring>>> expected = {
        {{IDM_REFRESH, L"Обновить список"}, {0, L""}, {IDM_REGISTER_NEW, L"Зарегистрировать новый.."},
         {IDM_MANAGE, L"Управление.."}, {IDM_PROPERTIES, L"Свойства"}, {0, L""}, {IDM_EXIT, L"Выход"}},
        {{IDM_SCAN, L"Поиск некорректных кодеков"},
         {IDM_REGISTER_MAIN, L"Зарегистрировать системные кодеки (основные)"},
         {IDM_REGISTER_ADDITIONAL, L"Зарегистрировать системные кодеки (дополнительные)"}, {0, L""},
         {IDM_PLAYBACK_CHECK, L"Проверить воспроизведение файла.."},
         {IDM_SAVE_REPORT, L"Сохранить отчет о кодеках.."},
         {IDM_PREFERRED_DECODERS, L"Предпочтительные декодеры Windows.."}, {IDM_TRANSFORMS, L"Кодеки Media Foundation.."},
         {IDM_REGISTRY_BACKUPS, L"Резервные копии реестра.."}, {IDM_LOAD_CHECK, L"Проверить загрузку кодеков.."},
         {IDM_DRIVER_CODECS, L"Кодеки ACM и Video for Windows.."},
         {IDM_SHELL_HANDLERS, L"Обработчики файлов Проводника.."}},
        {{IDM_HELP, L"Справка"}, {IDM_HOME_PAGE, L"Сайт программы"}, {IDM_FORUM, L"Форум"}, {0, L""},
         {IDM_ABOUT, L"О программе"}},
    };
    for (int m = 0; m < 3; ++m) {
        HMENU popup = GetSubMenu(bar, m);
        ASSERT_EQ(static_cast<int>(expected[m].size()), GetMenuItemCount(popup))
            << "menu " << m << ": " << MenuTexts(popup);
        for (UINT i = 0; i < expected[m].size(); ++i) {
            EXPECT_TEXT_EQ(expected[m][i].second, MenuText(popup, i)) << "menu " << m << " item " << i;
            MENUITEMINFOW info{};
            info.cbSize = sizeof(info);
            info.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STATE;
            ASSERT_TRUE(GetMenuItemInfoW(popup, i, TRUE, &info));
            if (expected[m][i].first == 0) {
                EXPECT_TRUE(info.fType & MFT_SEPARATOR) << "menu " << m << " item " << i << " of type " << info.fType;
            } else {
                EXPECT_EQ(expected[m][i].first, info.wID) << "menu " << m << " item " << i;
                EXPECT_EQ(0u, info.fState & (MFS_DISABLED | MFS_CHECKED)) << "menu " << m << " item " << i;
            }
        }
    }
}

BOOL CALLBACK MatchTooltip(HWND window, LPARAM param) {
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    if (lstrcmpiW(className, TOOLTIPS_CLASSW) != 0 || GetWindow(window, GW_OWNER) != g_app.mainWindow) return TRUE;
    *reinterpret_cast<HWND*>(param) = window;
    return FALSE;
}

// The tooltip control owned by the main window.
HWND FindTooltip() {
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), MatchTooltip, reinterpret_cast<LPARAM>(&found));
    return found;
}

TEST(MainWindowTooltips, EachPictureButtonHasItsText) {
    EnsureMainWindow();
    HWND tooltip = FindTooltip();
    ASSERT_NE(nullptr, tooltip);
    const LONG_PTR style = GetWindowLongPtrW(tooltip, GWL_EXSTYLE);
    EXPECT_TRUE(style & WS_EX_TOPMOST) << "extended style " << Utf8(HexWord(static_cast<std::uint32_t>(style)));
    const std::map<int, std::wstring> expected = {
        {IDM_MANAGE, L"Управление выбранным кодеком"}, {IDM_PROPERTIES, L"Свойства выбранного кодека"},
        {IDM_REGISTER_NEW, L"Зарегистрировать новый кодек.."}, {IDM_HELP, L"Справка"},
        {IDM_HOME_PAGE, L"Домашняя страница программы"}, {IDM_ABOUT, L"Информация"},
    };
    ASSERT_EQ(6, SendMessageW(tooltip, TTM_GETTOOLCOUNT, 0, 0));
    for (const auto& [id, text] : expected) {
        HWND button = GetDlgItem(g_app.mainWindow, id);
        ASSERT_NE(nullptr, button) << id;
        wchar_t shown[256] = {};
        TOOLINFOW tool{};
        tool.cbSize = sizeof(tool);
        tool.hwnd = g_app.mainWindow;
        tool.uId = reinterpret_cast<UINT_PTR>(button);
        tool.lpszText = shown;
        SendMessageW(tooltip, TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&tool));
        EXPECT_TEXT_EQ(text, shown) << "button " << id;
        // The picture, not the caption, is what the button shows.
        EXPECT_NE(0, SendMessageW(button, BM_GETIMAGE, IMAGE_BITMAP, 0)) << "button " << id;
    }
}

}  // namespace
