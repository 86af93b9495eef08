// Measurements 5 and 6: the real program as a process. Cold start to a filled
// list against the bare window program; peak working set after a scan driven
// through the program's own menu command against the peak just after start.
#include "bench_common.h"

#include "../app/scoped.h"
#include "../resources/resource.h"
#include "../tests/common/test_windows.h"

#include <psapi.h>

namespace {

const wchar_t kScanDoneText[] = L"Поиск завершен.";

// The program under measurement, ended (if still running) and its handles closed when the owner goes.
class Child {
public:
    ~Child() {
        if (Process() && Running()) {
            TerminateProcess(Process(), 99);
            WaitForSingleObject(Process(), 5000);
        }
    }
    // Starts the program with its own folder as the current directory.
    bool Start(const std::wstring& path) {
        wchar_t full[MAX_PATH];
        const DWORD length = GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr);
        const std::wstring exe = (length > 0 && length < MAX_PATH) ? full : path;
        std::wstring commandLine = L"\"" + exe + L"\"";
        std::wstring folder = exe.substr(0, exe.find_last_of(L'\\'));
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                            &startup, handles_.Get())) {
            return false;
        }
        pid_ = handles_.Get()->dwProcessId;
        return true;
    }
    // Polls (1 ms apart) until a visible top-level window of that class has a
    // list with rows; returns the window, or null after the deadline.
    HWND WaitFilledList(const wchar_t* className, DWORD deadlineMs) {
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
    // Closes the window as its close box does and waits for the exit code (-1000: none in time).
    int Close(HWND window) {
        PostMessageW(window, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(Process(), 10000) != WAIT_OBJECT_0) return -1000;
        return ExitCode();
    }
    double PeakWorkingSetMb() const {
        PROCESS_MEMORY_COUNTERS counters{};
        counters.cb = sizeof(counters);
        if (!GetProcessMemoryInfo(Process(), &counters, sizeof(counters))) return -1.0;
        return static_cast<double>(counters.PeakWorkingSetSize) / (1024.0 * 1024.0);
    }
    int ExitCode() const {
        DWORD code = 0;
        GetExitCodeProcess(Process(), &code);
        return static_cast<int>(code);
    }
    DWORD Pid() const { return pid_; }
    bool Running() const { return WaitForSingleObject(Process(), 0) == WAIT_TIMEOUT; }

private:
    HANDLE Process() const { return handles_.Process(); }
    ProcessHandles handles_;
    DWORD pid_ = 0;
};

// One cold start: from CreateProcess to a visible window whose list has rows.
// A start that fails says where in `failure`, and gives no time.
struct StartResult {
    double ms = -1.0;
    std::string failure;
};

StartResult ColdStart(const std::wstring& exe, const wchar_t* className) {
    StartResult result;
    Child child;
    const double start = NowMs();
    if (!child.Start(exe)) {
        result.failure = Text("CreateProcess failed (error %lu)", GetLastError());
        return result;
    }
    const HWND window = child.WaitFilledList(className, 30000);
    const double elapsed = NowMs() - start;
    if (!window) {
        result.failure = child.Running() ? "no filled list within 30 s"
                                         : Text("ended before its list was filled (exit code %d)", child.ExitCode());
        return result;
    }
    const int exitCode = child.Close(window);
    if (exitCode != 0) {
        result.failure = exitCode == -1000 ? "still running 10 s after WM_CLOSE" : Text("exit code %d", exitCode);
        return result;
    }
    result.ms = elapsed;
    return result;
}

struct ScanRun {
    double startPeakMb = -1.0, scanPeakMb = -1.0, scanMs = 0.0;
    int prompts = 0;
    bool completed = false;
    std::string failure;
};

// Starts the program, reads its peak working set once the list is filled,
// posts the scan command, answers each question "No" (IDNO) and reads the peak
// again when the closing message shows, before pressing its OK.
ScanRun DriveScan(const std::wstring& exe) {
    ScanRun run;
    Child child;
    if (!child.Start(exe)) {
        run.failure = Text("CreateProcess failed (error %lu)", GetLastError());
        return run;
    }
    const HWND mainWindow = child.WaitFilledList(L"MyClass", 30000);
    if (!mainWindow) {
        run.failure = "no filled list within 30 s";
        return run;
    }
    Sleep(200);  // the first paint after the window shows belongs to start-up
    run.startPeakMb = child.PeakWorkingSetMb();

    const double start = NowMs();
    PostMessageW(mainWindow, WM_COMMAND, MAKEWPARAM(IDM_SCAN, 0), 0);
    HWND lastPressed = nullptr;
    const double deadline = start + 240000;
    while (NowMs() < deadline && child.Running()) {
        bool pressed = false;
        for (HWND dialog : VisibleTopLevelWindows(child.Pid(), L"#32770")) {
            const HWND text = GetDlgItem(dialog, kMessageBoxTextId);
            if (!text || dialog == lastPressed) continue;
            if (GetDlgItem(dialog, IDNO)) {
                PostMessageW(GetDlgItem(dialog, IDNO), BM_CLICK, 0, 0);
                ++run.prompts;
            } else if (WindowText(text) == kScanDoneText) {
                run.scanMs = NowMs() - start;
                run.scanPeakMb = child.PeakWorkingSetMb();
                run.completed = true;
                PostMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
            } else {
                continue;  // the progress dialog's own labels
            }
            lastPressed = dialog;
            pressed = true;
            break;
        }
        if (run.completed) break;
        if (!pressed) Sleep(1);
    }
    if (!run.completed) {
        run.failure = child.Running() ? Text("no closing message within 240 s (%d prompts answered)", run.prompts)
                                      : Text("ended during the scan (exit code %d)", child.ExitCode());
        return run;
    }
    Sleep(100);
    const int exitCode = child.Close(mainWindow);
    if (exitCode != 0) run.failure = exitCode == -1000 ? "still running 10 s after WM_CLOSE" : Text("exit code %d", exitCode);
    return run;
}

}  // namespace

bool RunProcesses(std::vector<ResultRow>& rows, const std::wstring& programExe, const std::wstring& bareExe,
                  int scale) {
    // 5. Cold start, the program and the bare window taking turns.
    if (Selected("5")) {
        ResultRow row{"5", "cold start of PelmoraVantrel.exe to a filled list", "cold start of the bare window program: "
                      "the same controls, bitmaps, menu and tooltips, and the device enumerator's legacy names in its "
                      "list (bench_bare_window.exe)", "ms", {}, {}, ""};
        const int reps = 7 * scale;
        int failures = 0;
        // One start of each first, unmeasured: it brings the files into the page cache.
        ColdStart(programExe, L"MyClass");
        ColdStart(bareExe, L"BenchBareWindow");
        for (int i = 0; i < reps; ++i) {
            const StartResult program = ColdStart(programExe, L"MyClass");
            const StartResult bare = ColdStart(bareExe, L"BenchBareWindow");
            // A pair counts only when both starts succeeded, so that the two columns stay paired.
            if (!program.failure.empty() || !bare.failure.empty()) {
                ++failures;
                Progress("5 repetition %d not counted: program %s; bare window %s", i + 1,
                         program.failure.empty() ? "started" : program.failure.c_str(),
                         bare.failure.empty() ? "started" : bare.failure.c_str());
                continue;
            }
            row.program.Add(program.ms);
            row.reference.Add(bare.ms);
        }
        row.note = Text("%d of %d start pairs failed (each reason is on stderr); one unmeasured start of each first",
                        failures, reps);
        Progress("5 done: %s", row.note.c_str());
        rows.push_back(std::move(row));
    }

    // 6. Peak working set, a fresh program each time.
    if (Selected("6")) {
        ResultRow row{"6", "peak working set after a scan (real exe)", "peak working set of the same process just "
                      "after start, list filled", "MB", {}, {}, ""};
        const int reps = 3 * scale;
        Samples scanTimes;
        int prompts = 0, failures = 0;
        for (int i = 0; i < reps; ++i) {
            ScanRun run = DriveScan(programExe);
            if (run.failure.empty() && (run.startPeakMb <= 0 || run.scanPeakMb <= 0)) {
                run.failure = "no memory counters";
            }
            if (!run.failure.empty()) {
                ++failures;
                Progress("6 repetition %d not counted: %s", i + 1, run.failure.c_str());
                continue;
            }
            row.program.Add(run.scanPeakMb);
            row.reference.Add(run.startPeakMb);
            scanTimes.Add(run.scanMs);
            prompts = run.prompts;
            Progress("6 repetition %d: start %.1f MB, after scan %.1f MB, scan %.0f ms, %d prompts", i + 1,
                     run.startPeakMb, run.scanPeakMb, run.scanMs, run.prompts);
        }
        row.note = Text("%d prompts answered No per scan (IDNO pressed); the driven scan took %.0f ms median "
                        "(%.0f..%.0f) with its message boxes; %d failed runs",
                        prompts, scanTimes.Median(), scanTimes.Min(), scanTimes.Max(), failures);
        Progress("6 done: %s", row.note.c_str());
        rows.push_back(std::move(row));
    }

    return true;
}
