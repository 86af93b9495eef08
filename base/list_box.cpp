#include "list_box.h"

#include "bounded_text.h"
#include "scoped.h"

bool GetListRowText(HWND list, int row, wchar_t* text, std::size_t capacity) {
    text[0] = L'\0';
    const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(row), 0);
    if (length < 0) return false;
    if (static_cast<std::size_t>(length) < capacity) {
        const LRESULT copied = SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(text));
        if (copied < 0) {
            text[0] = L'\0';
            return false;
        }
        text[capacity - 1] = L'\0';
        return true;
    }
    // The row does not fit: read it whole into a block of its own, then cut it.
    HeapBuffer whole;
    if (!whole.Reserve((static_cast<SIZE_T>(length) + 1) * sizeof(wchar_t))) return false;
    auto* wholeText = reinterpret_cast<wchar_t*>(whole.Get());
    if (SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(wholeText)) < 0) return false;
    wholeText[length] = L'\0';
    CopyText(text, capacity, wholeText);
    return true;
}

int ListRowCount(HWND list) {
    const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    return count > 0 ? static_cast<int>(count) : 0;
}

int CompareAsListSorts(HWND list, const wchar_t* a, const wchar_t* b) {
    const LCID locale = static_cast<LCID>(SendMessageW(list, LB_GETLOCALE, 0, 0));
    const int result = CompareStringW(locale, NORM_IGNORECASE, a, -1, b, -1);
    if (result == CSTR_EQUAL) return 0;
    if (result == CSTR_GREATER_THAN) return 1;
    return -1;
}
