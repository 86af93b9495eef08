#include "check_report.h"

#include "../base/bounded_text.h"
#include "../base/line_safety.h"

#include <cwchar>

namespace {

constexpr std::size_t kLineCapacity = kReportLineCapacity;

// Copies the field that starts at *cursor (up to a tab or the end) into
// field and moves the cursor past it; false when there is none.
bool NextField(const wchar_t*& cursor, wchar_t* field, std::size_t capacity) {
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

void ReadSubtype(const wchar_t* text, ReportedRow& row) {
    row.hasSubtype = text[0] == L'{' && SUCCEEDED(CLSIDFromString(text, &row.subtype));
}

void AppendField(wchar_t* line, const wchar_t* field) {
    if (!field) return;
    AppendText(line, kLineCapacity, L"\t");
    const std::size_t start = wcslen(line);
    AppendText(line, kLineCapacity, field);
    // The tab separates fields and the line feed ends the line: neither, nor
    // anything else that may not stand raw in a line, is sent inside a field.
    ReplaceUnsafeInLine(line + start, L' ');
}

}  // namespace

void ReadReportLine(CheckReport& report, const wchar_t* line) {
    const wchar_t kind = line[0];
    if (kind == L'\0') return;
    const wchar_t* cursor = line + 1;
    wchar_t field[kChainTextCapacity];
    switch (kind) {
    case L'L':
        if (NextField(cursor, field, kChainTextCapacity)) CopyText(report.lastFilter, kChainTextCapacity, field);
        break;
    case L'A': report.noAudioDevice = true; break;
    case L'R':
        if (NextField(cursor, field, kChainTextCapacity)) {
            report.status = static_cast<HRESULT>(wcstoul(field, nullptr, 16));
            report.finished = true;
        }
        break;
    case L'F':
    case L'U': {
        if (report.rowCount >= kMaxChainRows) return;
        ReportedRow row;
        row.kind = kind == L'F' ? ChainFilter : ChainUnconnectedPin;
        if (kind == L'F' && !NextField(cursor, row.classId, kChainTextCapacity)) return;
        if (!NextField(cursor, field, kChainTextCapacity)) return;
        ReadSubtype(field, row);
        if (kind == L'F') NextField(cursor, row.graphName, kChainTextCapacity);
        report.rows[report.rowCount++] = row;
        break;
    }
    default: break;
    }
}

void WriteReportLine(HANDLE channel, wchar_t kind, const wchar_t* first, const wchar_t* second, const wchar_t* third) {
    wchar_t line[kLineCapacity] = {kind, L'\0'};
    AppendField(line, first);
    AppendField(line, second);
    AppendField(line, third);
    // The line feed always fits: a field too long for the line was cut.
    if (wcslen(line) > kLineCapacity - 2) line[kLineCapacity - 2] = L'\0';
    AppendText(line, kLineCapacity, L"\n");
    DWORD written = 0;
    WriteFile(channel, line, static_cast<DWORD>(wcslen(line) * sizeof(wchar_t)), &written, nullptr);
}
