// The program's own command line where it writes nothing: the usage for "/?"
// and for what it does not take, and a report that cannot be written. (The
// reports it writes are compared with the saved ones in the report and load
// check scenarios.)
#include "driver.h"

#include <shlobj.h>

namespace {

const wchar_t kUsageLine[] = L"PelmoraVantrel.exe /report \"файл\"     сохранить отчет о кодеках в файл, без окна\r\n";

// The files of the current folder and of the Documents folder, where a report
// might land that was not written where it was asked.
std::vector<std::wstring> FilesNearby() {
    wchar_t current[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, current);
    wchar_t documents[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, documents);
    std::vector<std::wstring> files = FolderFiles(current);
    for (const std::wstring& file : FolderFiles(documents)) files.push_back(L"Documents\\" + file);
    return files;
}

}  // namespace

// "/?", an option the program does not know, a missing or extra file name:
// the usage (after what was wrong) on the standard output, exit code 2, no
// window. A report into a folder that is not there: exit code 2, the reason
// printed, nothing written anywhere. A report of the clean test prefix: exit
// code 0.
SCENARIO(command_line_usage_and_exit_codes) {
    const std::vector<std::pair<std::wstring, std::wstring>> cases = {
        {L"/?", L""},
        {L"/bogus", L"Неизвестный параметр: /bogus\r\n\r\n"},
        {L"report.txt", L"Неизвестный параметр: report.txt\r\n\r\n"},
        {L"/REPORT", L"Не указан файл отчета после /REPORT.\r\n\r\n"},
        {L"/loadcheck \"\"", L"Не указан файл отчета после /loadcheck.\r\n\r\n"},
        {L"-report a.txt b.txt", L"Лишний параметр: b.txt\r\n\r\n"},
    };
    const std::vector<std::wstring> filesBefore = FilesNearby();
    for (const auto& [arguments, problem] : cases) {
        const CommandRun run = RunProgramCommand(exePath, arguments, 20000);
        CHECK(run.leftovers == 0 && run.exitCode == 2 && run.windowsSeen.empty() && run.output.rfind(problem + L"Pelmora Vantrel v1.2\r\n", 0) == 0 &&
                  Holds(run.output, kUsageLine),
              arguments + L": " + Describe(run));
    }

    ScratchFolder folder(L"Vantrel command");
    const std::wstring absent = folder.path + L"\\absent\\report.txt";
    const CommandRun run = RunProgramCommand(exePath, L"/report \"" + absent + L"\"");
    CHECK(run.leftovers == 0 && run.exitCode == 2 && run.windowsSeen.empty() &&
              run.output == L"Не удалось сохранить отчет:\r\n" + absent +
                                L"\r\nПапка не найдена.\r\nФайл под этим именем не создан и не изменен.\r\n",
          Describe(run));
    CHECK(FolderFiles(folder.path).empty() && GetFileAttributesW((folder.path + L"\\absent").c_str()) == INVALID_FILE_ATTRIBUTES,
          Joined(FolderFiles(folder.path)));
    CHECK(FilesNearby() == filesBefore, Joined(FilesNearby()) + L" against " + Joined(filesBefore));

    // The test prefix, where nothing is broken: exit code 0, both views
    // without problems; a name relative to the current folder is written there.
    wchar_t current[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, current);
    SetCurrentDirectoryW(folder.path.c_str());
    const CommandRun clean = RunProgramCommand(exePath, L"/report \"clean report.txt\"");
    SetCurrentDirectoryW(current);
    const std::wstring text = Utf8FileText(folder.path + L"\\clean report.txt");
    const std::size_t first = text.find(L"\r\nНеполадок не найдено.\r\n");
    CHECK(clean.leftovers == 0 && clean.exitCode == 0 && clean.windowsSeen.empty() && clean.output.empty() && first != std::wstring::npos &&
              text.find(L"\r\nНеполадок не найдено.\r\n", first + 1) != std::wstring::npos &&
              text.find(L"Неполадки") == std::wstring::npos,
          Describe(clean) + L"\n" + text.substr(0, 2000));
    DeleteFileW((folder.path + L"\\clean report.txt").c_str());
}
