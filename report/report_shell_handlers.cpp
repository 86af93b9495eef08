#include "../base/app_state.h"
#include "../base/bounded_text.h"
#include "../shellhandlers/shell_handlers.h"
#include "report_sections.h"
#include "report_text.h"

namespace {

constexpr wchar_t kRowIndent[] = L"       ";

}  // namespace

void AppendShellHandlers(GrowingText& text, ReportProblems& problems, const ReportView& view) {
    AppendLine(text, L"Обработчики файлов Проводника (ShellEx расширений видео и аудио, "
                     L"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\PropertySystem\\PropertyHandlers):");
    ShellHandlerList rows;
    ReadShellHandlers(view.flag, rows);
    problems.where = L"Обработчики файлов Проводника";
    for (SIZE_T i = 0; i < rows.Count(); ++i) {
        const ShellHandlerRow& row = rows[i];
        wchar_t title[kNameCapacity];
        FormatText(title, kNameCapacity, L"%ls: %ls", row.extension, kShellKinds[row.kind].title);
        AppendNumberedName(text, static_cast<unsigned>(i + 1), title);
        AppendLine(text);
        AppendLabelled(text, kRowIndent, L"Состояние:", row.stateText);
        wchar_t handler[kNameCapacity];
        // Named by its class key, with its class id; a class without a key by its id alone.
        if (lstrcmpiW(row.name, row.classId) == 0) {
            CopyText(handler, kNameCapacity, row.classId);
        } else {
            FormatText(handler, kNameCapacity, L"%ls (%ls)", row.name, row.classId);
        }
        AppendLabelled(text, kRowIndent, L"Обработчик:", handler);
        if (row.file[0] != L'\0') AppendLabelled(text, kRowIndent, L"Файл:", row.file);
        AppendLabelled(text, kRowIndent, L"Раздел:", row.where);
        if (row.note[0] != L'\0') AppendLabelled(text, kRowIndent, L"Примечание:", row.note);
        // Found at a later place of the lookup: Explorer never reaches them.
        if (row.hidden[0] != L'\0') AppendLabelled(text, kRowIndent, L"Скрыты им:", row.hidden);
        AppendLine(text);
        if (IsShellProblem(row)) {
            FormatText(handler, kNameCapacity, L"%ls, %ls", title, row.name);
            NoteProblem(problems, handler, row.stateText);
        }
    }
    problems.where = L"";
    if (rows.Count() == 0) AppendLine(text, L"  (нет)");
    AppendLine(text);
}
