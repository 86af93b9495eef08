#include "child_lines.h"

#include "../base/bounded_text.h"
#include "../base/line_safety.h"

#include <cstring>
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

bool ChildLineSplitter::Take(const BYTE* bytes, SIZE_T count, ChildLineReader& reader) {
    received_ += count;
    if (received_ > bytesAtMost_ || !held_.Reserve(heldBytes_ + count + sizeof(wchar_t))) return false;
    memcpy(held_.Get() + heldBytes_, bytes, count);
    wchar_t* chars = reinterpret_cast<wchar_t*>(held_.Get());
    const SIZE_T total = (heldBytes_ + count) / sizeof(wchar_t);
    // Only the new characters can end a line (the held ones were looked at).
    SIZE_T i = heldBytes_ / sizeof(wchar_t);
    heldBytes_ += count;
    SIZE_T start = 0;
    for (; i < total; ++i) {
        if (chars[i] != L'\n') continue;
        chars[i] = L'\0';
        reader.TakeLine(chars + start);
        start = i + 1;
    }
    const SIZE_T keptBytes = heldBytes_ - start * sizeof(wchar_t);
    memmove(held_.Get(), held_.Get() + start * sizeof(wchar_t), keptBytes);
    heldBytes_ = keptBytes;
    return heldBytes_ < lineChars_ * sizeof(wchar_t);
}

void FormatChildLine(wchar_t* line, std::size_t lineCapacity, wchar_t kind,
                     std::initializer_list<const wchar_t*> fields) {
    if (lineCapacity > kChildLineCapacity) lineCapacity = kChildLineCapacity;
    line[0] = kind;
    line[1] = L'\0';
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
}

void WriteChildLine(HANDLE channel, std::size_t lineCapacity, wchar_t kind,
                    std::initializer_list<const wchar_t*> fields) {
    wchar_t line[kChildLineCapacity];
    FormatChildLine(line, lineCapacity, kind, fields);
    DWORD written = 0;
    WriteFile(channel, line, static_cast<DWORD>(wcslen(line) * sizeof(wchar_t)), &written, nullptr);
}
