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
