// The main window: start-up state, system filters, categories, refresh, exit.
#include "driver.h"

#include <algorithm>

namespace {

bool Contains(const std::vector<std::wstring>& rows, const std::wstring& name) {
    return std::find(rows.begin(), rows.end(), name) != rows.end();
}

// The list box sorts as the platform compares texts, without regard to case.
bool SortedAsTheListSorts(const std::vector<std::wstring>& rows) {
    for (size_t i = 1; i < rows.size(); ++i) {
        if (CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, rows[i - 1].c_str(), -1, rows[i].c_str(), -1) ==
            CSTR_GREATER_THAN) {
            return false;
        }
    }
    return true;
}

}  // namespace

SCENARIO(startup_state) {
    ProgramUnderTest program;
    if (!program.Start(exePath)) return CheckFailed(__FILE__, __LINE__, "program started", program.State());
    CHECK(WindowText(program.mainWindow) == L"Pelmora Vantrel v1.2", WindowText(program.mainWindow));
    const std::vector<std::wstring> categories = program.ComboRows();
    const std::vector<std::wstring> expected = {L"Audio Compressors ", L"Device Control Filters ",
                                                L"DirectShow Filters ", L"Video Compressors ",
                                                L"WDM Streaming VBI Codecs"};
    CHECK(categories == expected, Joined(categories));
    CHECK(program.ComboSelection() == 2, Format(L"%d", program.ComboSelection()));
    const std::vector<std::wstring> rows = program.ListRows();
    CHECK(rows.size() >= 5, Joined(rows));
    CHECK(SortedAsTheListSorts(rows), Joined(rows));
    CHECK(!Contains(rows, L"Null Renderer"), Joined(rows));
    CHECK(!Contains(rows, L"SampleGrabber"), Joined(rows));
    CHECK(!Contains(rows, L"File Source (Async.)"), Joined(rows));
    CHECK(Contains(rows, L"Video Renderer"), Joined(rows));
    CHECK(program.ListSelection() == -1, Format(L"%d", program.ListSelection()));
    CHECK(!program.Checked(), L"checked");
    CHECK(WindowText(program.checkBox) == L"показать системные фильтры", WindowText(program.checkBox));

    // Controls stay where they were put, also after the window is maximised.
    RECT before{}, after{};
    GetWindowRect(program.list, &before);
    MapWindowPoints(HWND_DESKTOP, program.mainWindow, reinterpret_cast<POINT*>(&before), 2);
    CHECK(before.left == 0 && before.top == 40 && before.right - before.left == 350,
          Format(L"%ld,%ld %ldx%ld", before.left, before.top, before.right - before.left, before.bottom - before.top));
    PostMessageW(program.mainWindow, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    program.Settle();
    GetWindowRect(program.list, &after);
    MapWindowPoints(HWND_DESKTOP, program.mainWindow, reinterpret_cast<POINT*>(&after), 2);
    CHECK(EqualRect(&before, &after),
          Format(L"%ld,%ld %ldx%ld", after.left, after.top, after.right - after.left, after.bottom - after.top));

    PostMessageW(program.mainWindow, WM_CLOSE, 0, 0);
    const int code = program.WaitExit();
    CHECK(code == 0, Format(L"%d", code));
}

SCENARIO(system_filters_toggle) {
    ProgramUnderTest program;
    if (!program.Start(exePath)) return CheckFailed(__FILE__, __LINE__, "program started", program.State());
    const std::vector<std::wstring> hidden = program.ListRows();

    PostMessageW(program.checkBox, BM_CLICK, 0, 0);
    CHECK(program.WaitForRow(L"Null Renderer", true), Joined(program.ListRows()));
    const std::vector<std::wstring> shown = program.ListRows();
    CHECK(program.Checked(), L"unchecked");
    CHECK(Contains(shown, L"SampleGrabber") && Contains(shown, L"File Source (Async.)"), Joined(shown));
    CHECK(SortedAsTheListSorts(shown), Joined(shown));
    // Every row that was listed before is still there; only system filters came in.
    for (const std::wstring& row : hidden) CHECK(Contains(shown, row), row);
    CHECK(shown.size() > hidden.size(), Format(L"%zu vs %zu", shown.size(), hidden.size()));

    PostMessageW(program.checkBox, BM_CLICK, 0, 0);
    CHECK(program.WaitForRow(L"Null Renderer", false), Joined(program.ListRows()));
    CHECK(program.ListRows() == hidden, Joined(program.ListRows()));
    CHECK(!program.Checked(), L"checked");
}

SCENARIO(video_compressors) {
    ProgramUnderTest program;
    if (!program.Start(exePath)) return CheckFailed(__FILE__, __LINE__, "program started", program.State());
    SendMessageW(program.list, LB_SETCURSEL, 1, 0);
    program.ChooseCategory(3);
    program.Settle();
    const std::vector<std::wstring> rows = program.ListRows();
    CHECK(!rows.empty() && rows.size() <= 6, Joined(rows));
    CHECK(!Contains(rows, L"Video Renderer"), Joined(rows));
    CHECK(program.ListSelection() == -1, Format(L"%d", program.ListSelection()));

    // Audio compressors have no enumerator under this runtime: an empty list.
    program.ChooseCategory(0);
    program.Settle();
    CHECK(program.ListRows().empty(), Joined(program.ListRows()));
}

SCENARIO(refresh_keeps_row_index) {
    ProgramUnderTest program;
    if (!program.Start(exePath)) return CheckFailed(__FILE__, __LINE__, "program started", program.State());
    SendMessageW(program.list, LB_SETCURSEL, 3, 0);
    program.PostCommand(IDM_REFRESH);
    program.Settle();
    CHECK(program.ListSelection() == 3, Format(L"%d", program.ListSelection()));

    // The check box restores the index too, although the row may now hold another name.
    PostMessageW(program.checkBox, BM_CLICK, 0, 0);
    program.Settle();
    CHECK(program.ListSelection() == 3, Format(L"%d", program.ListSelection()));

    // A row index past the end of the refilled list leaves nothing selected.
    const int last = static_cast<int>(program.ListRows().size()) - 1;
    SendMessageW(program.list, LB_SETCURSEL, last, 0);
    program.ChooseCategory(3);
    program.Settle();
    SendMessageW(program.list, LB_SETCURSEL, static_cast<WPARAM>(program.ListRows().size() - 1), 0);
    program.ChooseCategory(2);
    program.Settle();
    CHECK(program.ListSelection() == -1, Format(L"%d", program.ListSelection()));
}

SCENARIO(exit_from_menu) {
    ProgramUnderTest program;
    if (!program.Start(exePath)) return CheckFailed(__FILE__, __LINE__, "program started", program.State());
    program.PostCommand(IDM_EXIT);
    const int code = program.WaitExit();
    CHECK(code == 0, Format(L"%d", code));
}

SCENARIO(exit_from_close_box) {
    ProgramUnderTest program;
    if (!program.Start(exePath)) return CheckFailed(__FILE__, __LINE__, "program started", program.State());
    PostMessageW(program.mainWindow, WM_SYSCOMMAND, SC_CLOSE, 0);
    const int code = program.WaitExit();
    CHECK(code == 0, Format(L"%d", code));
}

SCENARIO(inert_commands) {
    ProgramUnderTest program;
    if (!program.Start(exePath)) return CheckFailed(__FILE__, __LINE__, "program started", program.State());
    SendMessageW(program.list, LB_SETCURSEL, 2, 0);
    const std::vector<std::wstring> rows = program.ListRows();
    // Ids that name no command of the main window: around and between its commands,
    // and the dialogs' control ids in that range.
    std::vector<int> ids = {40005, 40031, 41000, 39999};
    for (int id = 40012; id <= 40029; ++id) ids.push_back(id);
    for (int id : ids) program.PostCommand(id);
    // The list's own notifications other than a double click open nothing either.
    program.PostCommand(IDC_FILTER_LIST, LBN_SELCHANGE, program.list);
    program.PostCommand(IDC_CATEGORY_COMBO, CBN_SETFOCUS, program.combo);
    CHECK(program.Settle(), L"not settled");
    CHECK(program.Running(), program.State());
    CHECK(program.ListRows() == rows, Joined(program.ListRows()));
    CHECK(program.ListSelection() == 2, Format(L"%d", program.ListSelection()));
    CHECK(program.ComboSelection() == 2, Format(L"%d", program.ComboSelection()));
    CHECK(program.VisibleDialogs().empty(), program.Dialogs());
}

// For ./scripts/run without a display: wait for the filled list, signal, wait
// for the screenshot, close through the close box, pass on the exit code.
int RunForScreenshot(const std::wstring& exePath, const std::wstring& signals) {
    ProgramUnderTest program;
    const std::wstring folder = exePath.substr(0, exePath.find_last_of(L'\\'));
    if (!program.Start(exePath, folder)) return 1;
    program.Settle();
    HANDLE ready = CreateFileW((signals + L"\\ready").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CloseHandle(ready);
    WaitUntil([&] { return GetFileAttributesW((signals + L"\\shot-taken").c_str()) != INVALID_FILE_ATTRIBUTES; },
              60000);
    PostMessageW(program.mainWindow, WM_SYSCOMMAND, SC_CLOSE, 0);
    return program.WaitExit();
}
