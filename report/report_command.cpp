#include "report_command.h"

#include "../base/app_state.h"
#include "../base/bounded_text.h"
#include "../base/message_box.h"
#include "../base/shell_open.h"
#include "codec_report.h"
#include "report_file.h"

#include <shlobj.h>

namespace {

constexpr std::size_t kPathCapacity = MAX_PATH * 4;

// "<title> <YYYY-MM-DD HH-MM>.txt" in local time.
void DefaultReportName(const wchar_t* title, wchar_t* name, std::size_t capacity) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    FormatText(name, capacity, L"%ls %04u-%02u-%02u %02u-%02u.txt", title, now.wYear, now.wMonth, now.wDay, now.wHour,
               now.wMinute);
}

}  // namespace

bool ChooseReportPath(HWND owner, const wchar_t* title, wchar_t* path, std::size_t capacity) {
    wchar_t documents[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, documents))) documents[0] = L'\0';
    DefaultReportName(title, path, capacity);
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = L"Текстовые файлы (*.txt)\0*.txt\0";
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = path;
    dialog.nMaxFile = static_cast<DWORD>(capacity);
    dialog.lpstrInitialDir = documents[0] ? documents : nullptr;
    dialog.lpstrTitle = L"Сохранить отчет";
    dialog.lpstrDefExt = L"txt";
    // The folder is checked when the report is written, so that a folder
    // that is not there gets the program's own message.
    dialog.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    return GetSaveFileNameW(&dialog) != FALSE;
}

const wchar_t* DescribeSaveError(DWORD error) {
    switch (error) {
    case ERROR_PATH_NOT_FOUND:
    case ERROR_FILE_NOT_FOUND:
    case ERROR_DIRECTORY:
    case ERROR_BAD_NETPATH:
        return L"Папка не найдена.";
    case ERROR_FILE_READ_ONLY:
        return L"Файл только для чтения, и программа его не заменяет.";
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return L"Нет доступа: файл защищен от записи или открыт в другой программе, или в эту папку нельзя писать.";
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return L"Недостаточно места на диске.";
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return L"Недостаточно памяти для отчета.";
    case ERROR_INVALID_NAME:
    case ERROR_FILENAME_EXCED_RANGE:
        return L"Недопустимое или слишком длинное имя файла.";
    default:
        return nullptr;
    }
}

namespace {

void ShowSaveFailure(HWND owner, const wchar_t* path, DWORD error) {
    wchar_t message[kPathCapacity + 300];
    CopyText(message, kPathCapacity + 300, L"Не удалось сохранить отчет:\n");
    AppendText(message, kPathCapacity + 300, path);
    AppendText(message, kPathCapacity + 300, L"\n\n");
    const wchar_t* reason = DescribeSaveError(error);
    wchar_t code[64];
    if (!reason) {
        FormatText(code, 64, L"Ошибка %lu.", error);
        reason = code;
    }
    AppendText(message, kPathCapacity + 300, reason);
    AppendText(message, kPathCapacity + 300, L"\nФайл под этим именем не создан и не изменен.");
    ShowMessageBox(owner, message, L"Сохранить отчет", MB_OK | MB_ICONERROR);
}

}  // namespace

void FinishReportSave(HWND owner, const wchar_t* path, DWORD error) {
    if (error != ERROR_SUCCESS) {
        ShowSaveFailure(owner, path, error);
        return;
    }
    wchar_t message[kPathCapacity + 64];
    CopyText(message, kPathCapacity + 64, L"Отчет сохранен:\n");
    AppendText(message, kPathCapacity + 64, path);
    AppendText(message, kPathCapacity + 64, L"\n\nОткрыть его?");
    if (ShowMessageBox(owner, message, L"Отчет сохранен", MB_YESNO | MB_ICONINFORMATION) == IDYES) ShellOpen(path);
}

void SaveCodecReport() {
    wchar_t path[kPathCapacity];
    if (!ChooseReportPath(g_app.mainWindow, L"Отчет Pelmora Vantrel", path, kPathCapacity)) return;

    GrowingText text;
    const HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    BuildCodecReport(text);
    const DWORD error = WriteReportFile(path, text);
    SetCursor(previous);
    FinishReportSave(g_app.mainWindow, path, error);
}
