#include "bench_program.h"

#include "../resources/resource.h"
#include "../tests/common/test_windows.h"
#include "bench_common.h"

#include <psapi.h>

BenchProgram::~BenchProgram() {
    if (Process() && Running()) {
        TerminateProcess(Process(), 99);
        WaitForSingleObject(Process(), 5000);
    }
}

bool BenchProgram::Start(const std::wstring& path) {
    wchar_t full[MAX_PATH];
    const DWORD length = GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr);
    const std::wstring exe = (length > 0 && length < MAX_PATH) ? full : path;
    std::wstring commandLine = L"\"" + exe + L"\"";
    std::wstring folder = exe.substr(0, exe.find_last_of(L'\\'));
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                        handles_.Get())) {
        return false;
    }
    pid_ = handles_.Get()->dwProcessId;
    return true;
}

HWND BenchProgram::WaitFilledList(const wchar_t* className, DWORD deadlineMs) {
    const double end = NowMs() + deadlineMs;
    while (NowMs() < end) {
        for (HWND window : VisibleTopLevelWindows(pid_, className)) {
            const HWND list = GetDlgItem(window, IDC_FILTER_LIST);
            if (list && SendMessageW(list, LB_GETCOUNT, 0, 0) > 0) return window;
        }
        if (WaitForSingleObject(Process(), 1) != WAIT_TIMEOUT) return nullptr;
    }
    return nullptr;
}

int BenchProgram::Close(HWND window) {
    PostMessageW(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(Process(), 10000) != WAIT_OBJECT_0) return -1000;
    return ExitCode();
}

double BenchProgram::PeakWorkingSetMb() const {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    if (!GetProcessMemoryInfo(Process(), &counters, sizeof(counters))) return -1.0;
    return static_cast<double>(counters.PeakWorkingSetSize) / (1024.0 * 1024.0);
}

int BenchProgram::ExitCode() const {
    DWORD code = 0;
    GetExitCodeProcess(Process(), &code);
    return static_cast<int>(code);
}
