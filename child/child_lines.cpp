#include "child_lines.h"

#include "../base/bounded_text.h"
#include "../base/line_safety.h"

#include <cwchar>

bool NextLineField(const wchar_t*& cursor, wchar_t* field, std::size_t capacity) {
    if (*cursor != L'\t') return false;
    ++cursor;
    const wchar_t* end = wcschr(cursor, L'\t');
    const std::size_t length = end ? static_cast<std::size_t>(end - cursor) : wcslen(cursor);
    const std::size_t kept = length < capacity ? length : capacity - 1;
    wmemcpy(field, cursor, kept);
    field[kept] = L'\0';
    cursor += length;
    return true;
}

bool NextHexField(const wchar_t*& cursor, unsigned long* value) {
    wchar_t field[16];
    if (!NextLineField(cursor, field, 16) || field[0] == L'\0') return false;
    wchar_t* end = nullptr;
    *value = wcstoul(field, &end, 16);
    return *end == L'\0';
}

void WriteChildLine(HANDLE channel, std::size_t lineCapacity, wchar_t kind,
                    std::initializer_list<const wchar_t*> fields) {
    if (lineCapacity > kChildLineCapacity) lineCapacity = kChildLineCapacity;
    wchar_t line[kChildLineCapacity] = {kind, L'\0'};
    for (const wchar_t* field : fields) {
        if (!field) break;
        AppendText(line, lineCapacity, L"\t");
        const std::size_t start = wcslen(line);
        AppendText(line, lineCapacity, field);
        // The tab separates fields and the line feed ends the line: neither, nor
        // anything else that may not stand raw in a line, is sent inside a field.
        ReplaceUnsafeInLine(line + start, L' ');
    }
    // The line feed always fits: a field too long for the line was cut.
    if (wcslen(line) > lineCapacity - 2) line[lineCapacity - 2] = L'\0';
    AppendText(line, lineCapacity, L"\n");
    DWORD written = 0;
    WriteFile(channel, line, static_cast<DWORD>(wcslen(line) * sizeof(wchar_t)), &written, nullptr);
}
