#include "parent_console.h"

#include "scoped.h"

#include <cwchar>

namespace {

// The text as UTF-8 written to a pipe or file.
void WriteUtf8(HANDLE output, const wchar_t* text, int length) {
    const int needed = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    HeapBuffer bytes;
    if (needed <= 0 || !bytes.Reserve(static_cast<SIZE_T>(needed))) return;
    char* chars = reinterpret_cast<char*>(bytes.Get());
    if (WideCharToMultiByte(CP_UTF8, 0, text, length, chars, needed, nullptr, nullptr) != needed) return;
    DWORD written = 0;
    WriteFile(output, chars, static_cast<DWORD>(needed), &written, nullptr);
}

}  // namespace

void WriteToParentConsole(const wchar_t* text) {
    const int length = static_cast<int>(std::wcslen(text));
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    if (output && output != INVALID_HANDLE_VALUE) {
        const DWORD type = GetFileType(output);
        if (type == FILE_TYPE_PIPE || type == FILE_TYPE_DISK) {
            WriteUtf8(output, text, length);
            return;
        }
    }
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
    FileHandle console(CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, 0, nullptr));
    if (console.Valid()) {
        DWORD written = 0;
        // The shell that started the program has printed its prompt already:
        // the text begins on a line of its own.
        WriteConsoleW(console.Get(), L"\r\n", 2, &written, nullptr);
        WriteConsoleW(console.Get(), text, static_cast<DWORD>(length), &written, nullptr);
    }
    FreeConsole();
}
