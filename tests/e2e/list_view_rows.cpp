#include "list_view_rows.h"

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

const std::vector<std::wstring>* Row(const Table& rows, const std::wstring& name) {
    const int at = RowNamed(rows, name);
    return at < 0 ? nullptr : &rows[static_cast<std::size_t>(at)];
}
