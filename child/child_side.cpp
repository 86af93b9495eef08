#include "child_side.h"

#include "../base/bounded_text.h"
#include "child_lines.h"

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
    // What the program sent is read as it comes, a pipe's read at a time
    // (a read of each character would cost a call of the platform each);
    // what follows the line is kept for the next call.
    static wchar_t pending[kChildLineCapacity];
    static std::size_t pendingCount = 0;
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    std::size_t length = 0;
    for (;;) {
        for (std::size_t i = 0; i < pendingCount; ++i) {
            if (pending[i] != L'\n') {
                if (length + 1 < capacity) line[length++] = pending[i];
                continue;
            }
            pendingCount -= i + 1;
            for (std::size_t k = 0; k < pendingCount; ++k) pending[k] = pending[i + 1 + k];
            line[length] = L'\0';
            return true;
        }
        pendingCount = 0;
        DWORD got = 0;
        if (!input || !ReadFile(input, pending, sizeof(pending), &got, nullptr) || got < sizeof(wchar_t)) return false;
        // A byte left over from a character cut in two is not expected from the program; it is dropped.
        pendingCount = got / sizeof(wchar_t);
    }
}

void EndChildProcess() {
    TerminateProcess(GetCurrentProcess(), 0);
    for (;;) Sleep(INFINITE);
}
