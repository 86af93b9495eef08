#include "command_line.h"

#include "../base/bounded_text.h"
#include "../base/parent_console.h"
#include "../base/scoped.h"
#include "../report/report_command.h"

#include <shellapi.h>

namespace {

// Whether word is the option name, written with "/" or "-", in any case.
bool IsOption(const wchar_t* word, const wchar_t* name) {
    return (word[0] == L'/' || word[0] == L'-') && lstrcmpiW(word + 1, name) == 0;
}

void Usage(ProgramCommand& command, const wchar_t* problem, const wchar_t* word) {
    command.kind = CommandUsage;
    FormatText(command.problem, kNameCapacity, problem, word);
}

}  // namespace

void ReadProgramCommand(ProgramCommand& command) {
    command = {};
    int count = 0;
    const LocalMem<wchar_t*> words(CommandLineToArgvW(GetCommandLineW(), &count));
    if (!words.Get() || count <= 1) return;
    const wchar_t* option = words.Get()[1];
    if (IsOption(option, L"?")) {
        command.kind = CommandUsage;
        return;
    }
    const bool report = IsOption(option, L"report");
    if (!report && !IsOption(option, L"loadcheck")) return Usage(command, L"Неизвестный параметр: %ls", option);
    if (count < 3 || words.Get()[2][0] == L'\0') return Usage(command, L"Не указан файл отчета после %ls.", option);
    if (count > 3) return Usage(command, L"Лишний параметр: %ls", words.Get()[3]);
    // A name relative to the current folder becomes a full one, as the save
    // dialog gives it; "/" separators become "\".
    const DWORD length = GetFullPathNameW(words.Get()[2], kCommandPathCapacity, command.file, nullptr);
    if (length == 0 || length >= kCommandPathCapacity) {
        return Usage(command, L"Недопустимое или слишком длинное имя файла: %ls", words.Get()[2]);
    }
    command.kind = report ? CommandReport : CommandLoadCheck;
}

int PrintUsage(const ProgramCommand& command) {
    wchar_t text[kNameCapacity * 4];
    CopyText(text, kNameCapacity * 4, L"");
    if (command.problem[0] != L'\0') {
        AppendText(text, kNameCapacity * 4, command.problem);
        AppendText(text, kNameCapacity * 4, L"\r\n\r\n");
    }
    AppendText(text, kNameCapacity * 4,
               L"Pelmora Vantrel v1.2\r\n"
               L"\r\n"
               L"PelmoraVantrel.exe                    открыть окно программы\r\n"
               L"PelmoraVantrel.exe /report \"файл\"     сохранить отчет о кодеках в файл, без окна\r\n"
               L"PelmoraVantrel.exe /loadcheck \"файл\"  проверить загрузку кодеков и сохранить ее отчет в файл, "
               L"без окна\r\n"
               L"PelmoraVantrel.exe /?                 эта справка\r\n"
               L"\r\n"
               L"Код завершения: 0 - неполадок не найдено, 1 - отчет называет неполадки,\r\n"
               L"2 - отчет не сохранен или командная строка неверна.\r\n"
               L"Пример (cmd): start /wait PelmoraVantrel.exe /report \"%USERPROFILE%\\Desktop\\codecs.txt\"\r\n");
    WriteToParentConsole(text);
    return kExitNotWritten;
}

int EndCommand(const ProgramCommand& command, DWORD error, bool problems) {
    if (error == ERROR_SUCCESS) return problems ? kExitProblems : kExitNoProblems;
    wchar_t text[kCommandPathCapacity + kNameCapacity];
    const wchar_t* reason = DescribeSaveError(error);
    wchar_t code[64];
    if (!reason) {
        FormatText(code, 64, L"Ошибка %lu.", error);
        reason = code;
    }
    FormatText(text, kCommandPathCapacity + kNameCapacity,
               L"Не удалось сохранить отчет:\r\n%ls\r\n%ls\r\nФайл под этим именем не создан и не изменен.\r\n",
               command.file, reason);
    WriteToParentConsole(text);
    return kExitNotWritten;
}
