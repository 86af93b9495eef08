#include "test_windows.h"

#include <algorithm>

#include <commctrl.h>

bool WaitUntil(const std::function<bool()>& condition, DWORD deadlineMs, DWORD pollMs) {
    const ULONGLONG end = GetTickCount64() + deadlineMs;
    for (;;) {
        if (condition()) return true;
        if (GetTickCount64() >= end) return false;
        Sleep(pollMs);
    }
}

namespace {

struct WindowSearch {
    DWORD pid;
    const wchar_t* className;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<WindowSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != search->pid || !IsWindowVisible(window)) return TRUE;
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    if (lstrcmpW(className, search->className) == 0) search->found.push_back(window);
    return TRUE;
}

BOOL CALLBACK CollectChildText(HWND child, LPARAM param) {
    reinterpret_cast<std::vector<std::wstring>*>(param)->push_back(WindowText(child));
    return TRUE;
}

std::vector<std::wstring> Rows(HWND control, UINT countMessage, UINT lengthMessage, UINT textMessage) {
    std::vector<std::wstring> rows;
    // The program may refill its list between the two messages that read a
    // row (a row's length, then its text, which is copied without a bound),
    // so the text is read into room for far more than any row holds, never
    // into room for the length just asked.
    constexpr size_t kRoom = 1 << 16;
    std::wstring text;
    const LRESULT count = SendMessageW(control, countMessage, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        const LRESULT length = SendMessageW(control, lengthMessage, i, 0);
        if (length < 0) break;
        text.assign(std::max(kRoom, static_cast<size_t>(length) + 1), L'\0');
        const LRESULT copied = SendMessageW(control, textMessage, i, reinterpret_cast<LPARAM>(text.data()));
        if (copied < 0) break;
        rows.emplace_back(text.c_str());
    }
    return rows;
}

}  // namespace

std::vector<HWND> VisibleTopLevelWindows(DWORD pid, const wchar_t* className) {
    WindowSearch search{pid, className, {}};
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring WindowText(HWND window) {
    const LRESULT length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
    if (length <= 0) return L"";
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const LRESULT copied = SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    return text;
}

std::wstring ControlText(HWND dialog, int id) { return WindowText(GetDlgItem(dialog, id)); }

std::wstring MessageBoxText(HWND box) { return ControlText(box, kMessageBoxTextId); }

std::vector<std::wstring> ChildTexts(HWND parent) {
    std::vector<std::wstring> texts;
    EnumChildWindows(parent, CollectChildText, reinterpret_cast<LPARAM>(&texts));
    return texts;
}

bool HasChildText(HWND parent, const std::wstring& text) {
    const std::vector<std::wstring> texts = ChildTexts(parent);
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

void PressButton(HWND dialog, int id) { PostMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

std::vector<std::wstring> ListBoxRows(HWND list) { return Rows(list, LB_GETCOUNT, LB_GETTEXTLEN, LB_GETTEXT); }

std::vector<std::wstring> ComboBoxRows(HWND combo) {
    return Rows(combo, CB_GETCOUNT, CB_GETLBTEXTLEN, CB_GETLBTEXT);
}

void DoubleClickListRow(HWND list, int row) {
    SendMessageW(list, LB_SETTOPINDEX, row, 0);
    const int top = static_cast<int>(SendMessageW(list, LB_GETTOPINDEX, 0, 0));
    const int height = static_cast<int>(SendMessageW(list, LB_GETITEMHEIGHT, 0, 0));
    const LPARAM point = MAKELPARAM(20, (row - top) * height + height / 2);
    PostMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, point);
    PostMessageW(list, WM_LBUTTONUP, 0, point);
    PostMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, point);
    PostMessageW(list, WM_LBUTTONUP, 0, point);
}

namespace {

// Memory inside the program's process, for the list view messages whose
// records Wine does not carry across processes.
struct RemoteBlock {
    HANDLE process = nullptr;
    BYTE* at = nullptr;
    static constexpr SIZE_T kSize = 8192;
    explicit RemoteBlock(DWORD pid) {
        process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
        if (process) at = static_cast<BYTE*>(VirtualAllocEx(process, nullptr, kSize, MEM_COMMIT, PAGE_READWRITE));
    }
    ~RemoteBlock() {
        if (at) VirtualFreeEx(process, at, 0, MEM_RELEASE);
        if (process) CloseHandle(process);
    }
    template <typename T> void Put(const T& value) { WriteProcessMemory(process, at, &value, sizeof(T), nullptr); }
    wchar_t* TextAt() const { return reinterpret_cast<wchar_t*>(at + 512); }
    std::wstring Text() const {
        wchar_t text[1024] = {};
        ReadProcessMemory(process, at + 512, text, sizeof(text) - sizeof(wchar_t), nullptr);
        return text;
    }
};

}  // namespace

std::vector<std::wstring> ListViewHeadings(HWND chain, DWORD pid) {
    HWND header = ListView_GetHeader(chain);
    RemoteBlock block(pid);
    std::vector<std::wstring> headings;
    const int count = static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        HDITEMW item{};
        item.mask = HDI_TEXT;
        item.pszText = block.TextAt();
        item.cchTextMax = 1000;
        block.Put(item);
        SendMessageW(header, HDM_GETITEMW, i, reinterpret_cast<LPARAM>(block.at));
        headings.push_back(block.Text());
    }
    return headings;
}

std::vector<std::vector<std::wstring>> ListViewRows(HWND chain, DWORD pid, int columns) {
    RemoteBlock block(pid);
    std::vector<std::vector<std::wstring>> rows;
    const int count = static_cast<int>(SendMessageW(chain, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
        std::vector<std::wstring> cells;
        for (int column = 0; column < columns; ++column) {
            LVITEMW item{};
            item.iSubItem = column;
            item.pszText = block.TextAt();
            item.cchTextMax = 1000;
            block.Put(item);
            SendMessageW(chain, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(block.at));
            cells.push_back(block.Text());
        }
        rows.push_back(cells);
    }
    return rows;
}

void SetListViewRowSelected(HWND list, DWORD pid, int row, bool selected) {
    RemoteBlock block(pid);
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED;
    item.state = selected ? LVIS_SELECTED : 0;
    block.Put(item);
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(block.at));
}

void SelectListViewRow(HWND chain, DWORD pid, int row) {
    RemoteBlock block(pid);
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    block.Put(item);
    SendMessageW(chain, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(block.at));
}

