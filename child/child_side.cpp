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

void EndChildProcess() {
    TerminateProcess(GetCurrentProcess(), 0);
    for (;;) Sleep(INFINITE);
}
