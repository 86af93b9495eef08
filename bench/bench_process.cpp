// Measurements 5 to 8: the real program as a process, driven from here as a
// user would drive it. Cold start to a filled list (5), a double click on a row
// until the management dialog shows (7) and OK in the merit dialog until the
// management dialog shows the new merit (8), each against the bare window
// program driven the same way; peak working set after a scan driven through
// the program's own menu command against the peak just after start (6).
#include "bench_common.h"
#include "bench_program.h"

#include "../base/scoped.h"
#include "../resources/resource.h"
#include "../tests/common/test_windows.h"

namespace {

const wchar_t kScanDoneText[] = L"Поиск завершен.";
const wchar_t kManageTitle[] = L"Управление кодеком";
const wchar_t kMeritTitle[] = L"Изменить приоритет кодека";

// One cold start: from CreateProcess to a visible window whose list has rows.
// A start that fails says where in `failure`, and gives no time.
struct StartResult {
    double ms = -1.0;
    std::string failure;
};

StartResult ColdStart(const std::wstring& exe, const wchar_t* className) {
    StartResult result;
    BenchProgram child;
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
    BenchProgram child;
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

// One program (the real one or the bare window) kept running for
// measurements 7 and 8, with its management dialog open for 8.
struct Driven {
    Driven(const char* label_, const wchar_t* className_) : label(label_), className(className_) {}
    const char* label;
    const wchar_t* className;
    BenchProgram child;
    HWND window = nullptr;
    HWND list = nullptr;
    HWND manage = nullptr;
    int row = -1;
    std::string failure;

    // Starts it, waits for its filled list and finds the row named `name`.
    bool Start(const std::wstring& exe, const std::wstring& name) {
        if (!child.Start(exe)) {
            failure = Text("CreateProcess failed (error %lu)", GetLastError());
            return false;
        }
        window = child.WaitFilledList(className, 30000);
        if (!window) {
            failure = "no filled list within 30 s";
            return false;
        }
        list = GetDlgItem(window, IDC_FILTER_LIST);
        const std::vector<std::wstring> rows = ListBoxRows(list);
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (rows[i] == name) row = static_cast<int>(i);
        }
        if (row < 0) failure = "no row named " + Utf8(name);
        return row >= 0;
    }
    // A visible dialog of this process with that title, other than `except`.
    HWND Dialog(const wchar_t* title, HWND except = nullptr) const {
        for (HWND dialog : VisibleTopLevelWindows(child.Pid(), L"#32770")) {
            if (dialog != except && WindowText(dialog) == title) return dialog;
        }
        return nullptr;
    }
};

// 7: a double click on the row until the management dialog shows; the dialog
// is left open. Returns the milliseconds, or -1 (with the reason in failure).
double TimeDoubleClick(Driven& driven) {
    const double start = NowMs();
    DoubleClickListRow(driven.list, driven.row);
    if (!PollUntil([&] { return (driven.manage = driven.Dialog(kManageTitle)) != nullptr; }, 30000)) {
        driven.failure = "no management dialog within 30 s";
        return -1.0;
    }
    return NowMs() - start;
}

// Closes the management dialog with its OK and waits until it is gone (not timed).
bool CloseManagement(Driven& driven) {
    PostMessageW(GetDlgItem(driven.manage, IDOK), BM_CLICK, 0, 0);
    const HWND manage = driven.manage;
    driven.manage = nullptr;
    return PollUntil([&] { return !IsWindow(manage) || !IsWindowVisible(manage); }, 10000);
}

// 8: with the management dialog open, its merit button, the number typed in
// the merit dialog (not timed), then OK until the management dialog shows
// that merit. Returns the milliseconds, or -1 (with the reason in failure).
double TimeMeritOk(Driven& driven, std::uint32_t merit) {
    PostMessageW(GetDlgItem(driven.manage, IDC_CHANGE_MERIT), BM_CLICK, 0, 0);
    HWND meritDialog = nullptr;
    if (!PollUntil([&] { return (meritDialog = driven.Dialog(kMeritTitle, driven.manage)) != nullptr; }, 10000)) {
        driven.failure = "no merit dialog within 10 s";
        return -1.0;
    }
    const std::wstring number = HexWord(merit);
    SendMessageW(GetDlgItem(meritDialog, IDC_MERIT_NUMBER), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(number.c_str()));
    const double start = NowMs();
    PostMessageW(GetDlgItem(meritDialog, IDOK), BM_CLICK, 0, 0);
    if (!PollUntil([&] { return ControlText(driven.manage, IDC_MERIT_TEXT) == number; }, 30000)) {
        driven.failure = "the management dialog shows " + Utf8(ControlText(driven.manage, IDC_MERIT_TEXT)) +
                         ", not " + Utf8(number);
        return -1.0;
    }
    return NowMs() - start;
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

    // 7 and 8. The two waits a user feels most, on the filter the mapper
    // enumerates last, in the real program and in the bare window, both kept
    // running and driven in turns.
    if (Selected("7") || Selected("8")) {
        Driven program("program", L"MyClass");
        Driven bare("bare window", L"BenchBareWindow");
        if (!program.Start(programExe, kBenchLastFilterName) || !bare.Start(bareExe, kBenchLastFilterName)) {
            Progress("7 and 8 not measured: program %s; bare window %s", program.failure.c_str(),
                     bare.failure.c_str());
            return false;
        }
        Progress("7 and 8: row %d of the program's list, row %d of the bare window's", program.row, bare.row);
        const auto measure = [&](const char* label, const std::function<double(Driven&)>& time, Samples& samples,
                                 Driven& driven, int repetition) {
            const double ms = time(driven);
            if (ms < 0) {
                Progress("%s repetition %d of the %s not counted: %s", label, repetition, driven.label,
                         driven.failure.c_str());
                return false;
            }
            samples.Add(ms);
            return true;
        };
        int failures = 0;
        if (Selected("7")) {
            ResultRow row{"7", "double click on a row until the management dialog", "the same double click on the "
                          "bare window's row: Instance walk, mapper walk with names, class key reads, the same "
                          "dialog template with its texts", "ms", {}, {}, ""};
            const int reps = 9 * scale;
            for (Driven* driven : {&program, &bare}) {  // one unmeasured round each first
                if (TimeDoubleClick(*driven) < 0 || !CloseManagement(*driven)) ++failures;
            }
            for (int i = 0; i < reps; ++i) {
                for (Driven* driven : {&program, &bare}) {
                    if (!measure("7", TimeDoubleClick, driven == &program ? row.program : row.reference, *driven,
                                 i + 1) ||
                        !CloseManagement(*driven)) {
                        ++failures;
                    }
                }
            }
            row.note = Text("\"%s\", row %d of %d in the program's list; %d failed rounds",
                            Utf8(kBenchLastFilterName).c_str(), program.row,
                            static_cast<int>(ListBoxRows(program.list).size()), failures);
            Progress("7 done: %s", row.note.c_str());
            rows.push_back(std::move(row));
        }
        if (Selected("8")) {
            ResultRow row{"8", "OK in the merit dialog until the new merit shows", "the same on the bare window's "
                          "dialogs: Instance walk and FilterData rewrite, mapper walk with names, the text set", "ms",
                          {}, {}, ""};
            const int reps = 9 * scale;
            failures = 0;
            // Merits below every other filter's keep this filter the last one the mapper enumerates.
            const std::uint32_t merits[2] = {0x00170000, 0x00170001};
            for (Driven* driven : {&program, &bare}) {
                if (TimeDoubleClick(*driven) < 0) ++failures;
            }
            for (int i = 0; i <= reps; ++i) {  // round 0 is unmeasured
                for (Driven* driven : {&program, &bare}) {
                    Samples& samples = driven == &program ? row.program : row.reference;
                    const auto time = [&](Driven& d) { return TimeMeritOk(d, merits[i % 2]); };
                    if (i == 0) {
                        if (time(*driven) < 0) ++failures;
                    } else if (!measure("8", time, samples, *driven, i)) {
                        ++failures;
                    }
                }
            }
            for (Driven* driven : {&program, &bare}) CloseManagement(*driven);
            row.note = Text("\"%s\" given merits 0x%08x and 0x%08x in turn (still the lowest); %d failed rounds",
                            Utf8(kBenchLastFilterName).c_str(), merits[0], merits[1], failures);
            Progress("8 done: %s", row.note.c_str());
            rows.push_back(std::move(row));
        }
        for (Driven* driven : {&program, &bare}) {
            const int exitCode = driven->child.Close(driven->window);
            if (exitCode != 0) Progress("the %s ended with %d after WM_CLOSE", driven->label, exitCode);
        }
    }
    return true;
}
