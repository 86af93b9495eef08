#include "child_side.h"

#include "../base/bounded_text.h"

#include <shellapi.h>

#include <cstdio>

bool ReadChildCommandLine(const wchar_t* option, wchar_t* const* arguments, int count, std::size_t capacity) {
    int given = 0;
    wchar_t** words = CommandLineToArgvW(GetCommandLineW(), &given);
    if (!words) return false;
    bool child = given == count + 2 && lstrcmpW(words[1], option) == 0;
    for (int i = 0; child && i < count; ++i) child = CopyText(arguments[i], capacity, words[i + 2]) == kTextOk;
    LocalFree(words);
    return child;
}

namespace {

LONG WINAPI EndOnFault(EXCEPTION_POINTERS*) { return EXCEPTION_EXECUTE_HANDLER; }

}  // namespace

HANDLE BeginChildProcess() {
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetUnhandledExceptionFilter(EndOnFault);
    const HANDLE pipe = GetStdHandle(STD_OUTPUT_HANDLE);
    HANDLE channel = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), pipe, GetCurrentProcess(), &channel, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
        return pipe;
    }
    std::fflush(stdout);
    if (!_wfreopen(L"NUL", L"w", stdout)) std::fclose(stdout);  // closes the runtime's copy of the pipe
    SetStdHandle(STD_OUTPUT_HANDLE, nullptr);
    return channel;
}

bool ReadChildInput(wchar_t* line, std::size_t capacity) {
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    std::size_t length = 0;
    for (;;) {
        wchar_t c = 0;
        DWORD got = 0;
        if (!input || !ReadFile(input, &c, sizeof(c), &got, nullptr) || got != sizeof(c)) return false;
        if (c == L'\n') break;
        if (length + 1 < capacity) line[length++] = c;
    }
    line[length] = L'\0';
    return true;
}

void EndChildProcess() {
    TerminateProcess(GetCurrentProcess(), 0);
    for (;;) Sleep(INFINITE);
}
