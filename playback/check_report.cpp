#include "check_report.h"

#include "../base/bounded_text.h"
#include "../child/child_lines.h"

#include <cwchar>

namespace {

void ReadSubtype(const wchar_t* text, ReportedRow& row) {
    row.hasSubtype = text[0] == L'{' && SUCCEEDED(CLSIDFromString(text, &row.subtype));
}

}  // namespace

void ReadReportLine(CheckReport& report, const wchar_t* line) {
    const wchar_t kind = line[0];
    if (kind == L'\0') return;
    const wchar_t* cursor = line + 1;
    wchar_t field[kChainTextCapacity];
    switch (kind) {
    case L'L':
        if (NextLineField(cursor, field, kChainTextCapacity)) CopyText(report.lastFilter, kChainTextCapacity, field);
        break;
    case L'A': report.noAudioDevice = true; break;
    case L'R':
        if (NextLineField(cursor, field, kChainTextCapacity)) {
            report.status = static_cast<HRESULT>(wcstoul(field, nullptr, 16));
            report.finished = true;
        }
        break;
    case L'F':
    case L'U': {
        if (report.rowCount >= kMaxChainRows) return;
        ReportedRow row;
        row.kind = kind == L'F' ? ChainFilter : ChainUnconnectedPin;
        if (kind == L'F' && !NextLineField(cursor, row.classId, kChainTextCapacity)) return;
        if (!NextLineField(cursor, field, kChainTextCapacity)) return;
        ReadSubtype(field, row);
        if (kind == L'F') NextLineField(cursor, row.graphName, kChainTextCapacity);
        report.rows[report.rowCount++] = row;
        break;
    }
    default: break;
    }
}

void WriteReportLine(HANDLE channel, wchar_t kind, const wchar_t* first, const wchar_t* second, const wchar_t* third) {
    WriteChildLine(channel, kReportLineCapacity, kind, {first, second, third});
}
