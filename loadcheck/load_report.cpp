#include "load_report.h"

#include "../base/bounded_text.h"
#include "../report/report_command.h"
#include "../report/report_file.h"
#include "../report/report_text.h"

namespace {

constexpr wchar_t kRowIndent[] = L"       ";
constexpr std::size_t kCellCapacity = 2 * kNameCapacity;

void AppendRow(GrowingText& text, LoadCheckRun& run, const LoadRow& row, unsigned number) {
    wchar_t cell[kCellCapacity];
    LoadCellText(run, row, ColumnCodec, cell, kCellCapacity);
    AppendNumberedName(text, number, cell);
    AppendLine(text);
    const LoadCodec& codec = (row.source == LoadRow::Own ? run.Own() : run.Other())[row.index];
    LoadCellText(run, row, ColumnKind, cell, kCellCapacity);
    AppendLabelled(text, kRowIndent, L"Вид:", cell);
    AppendLabelled(text, kRowIndent, L"Класс:", codec.classId);
    LoadCellText(run, row, ColumnFile, cell, kCellCapacity);
    AppendLabelled(text, kRowIndent, L"Файл:", cell);
    LoadCellText(run, row, ColumnResult, cell, kCellCapacity);
    AppendLabelled(text, kRowIndent, L"Результат:", cell);
}

}  // namespace

void BuildLoadReport(LoadCheckRun& run, LoadRunState state, const HeapArray<LoadRow>& rows, GrowingText& text) {
    AppendLine(text, L"Проверка загрузки кодеков - Pelmora Vantrel v1.2");
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t line[kNameCapacity];
    FormatText(line, kNameCapacity, L"Дата: %04u-%02u-%02u %02u:%02u", now.wYear, now.wMonth, now.wDay, now.wHour,
               now.wMinute);
    AppendLine(text, line);
    AppendLine(text);
    FormatText(line, kNameCapacity, L"Кодеки %d-разрядных программ (загружены и созданы в отдельном процессе):",
               sizeof(void*) == 8 ? 64 : 32);
    AppendLine(text, line);
    wchar_t summary[kNameCapacity];
    FormatLoadSummary(run, state, summary, kNameCapacity);
    // The summary's lines, each a line of the file.
    for (wchar_t* part = summary; part;) {
        wchar_t* end = wcschr(part, L'\n');
        if (end) *end = L'\0';
        AppendLine(text, part);
        part = end ? end + 1 : nullptr;
    }
    unsigned number = 0;
    for (SIZE_T i = 0; i < rows.Count(); ++i) {
        if (rows[i].source == LoadRow::OtherHeading) {
            wchar_t heading[kCellCapacity], counts[kCellCapacity];
            LoadCellText(run, rows[i], ColumnCodec, heading, kCellCapacity);
            LoadCellText(run, rows[i], ColumnResult, counts, kCellCapacity);
            AppendLine(text);
            FormatText(line, kNameCapacity, L"%ls (проверены только файлы: %ls):", heading, counts);
            AppendLine(text, line);
            number = 0;
            continue;
        }
        AppendRow(text, run, rows[i], ++number);
    }
    AppendLine(text);
    AppendLine(text, L"Конец отчета.");
}

void SaveLoadReport(HWND owner, LoadCheckRun& run, LoadRunState state, const HeapArray<LoadRow>& rows) {
    wchar_t path[MAX_PATH * 4];
    if (!ChooseReportPath(owner, L"Проверка загрузки кодеков", path, MAX_PATH * 4)) return;
    GrowingText text;
    BuildLoadReport(run, state, rows, text);
    FinishReportSave(owner, path, WriteReportFile(path, text));
}
