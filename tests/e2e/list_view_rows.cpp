// Reading and selecting the rows of a list view in the program's process.
#include "list_view_rows.h"

#include <commctrl.h>

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

Table ListViewRows(HWND chain, DWORD pid, int columns) {
    RemoteBlock block(pid);
    Table rows;
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

void SelectListViewRow(HWND chain, DWORD pid, int row) {
    RemoteBlock block(pid);
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    block.Put(item);
    SendMessageW(chain, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(block.at));
}

std::wstring TableText(const Table& rows) {
    std::wstring text;
    for (const auto& row : rows) text += L"\n  [" + Joined(row) + L"]";
    return text.empty() ? L"(no rows)" : text;
}

int RowNamed(const Table& rows, const std::wstring& name) {
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i][0] == name) return static_cast<int>(i);
    }
    return -1;
}
