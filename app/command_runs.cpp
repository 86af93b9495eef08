#include "command_runs.h"

#include "../loadcheck/load_report.h"
#include "../loadcheck/load_rows.h"
#include "../report/codec_report.h"
#include "../report/report_file.h"

namespace {

// How often the load check is polled, as its dialog's timer polls it.
constexpr DWORD kPollIntervalMs = 5;
// Posted to the message-only window when a child ends, so that its end is followed at once.
constexpr UINT kChildEnded = WM_APP + 1;

// A window that is never shown, only there to be woken by a child's end.
class MessageOnlyWindow {
public:
    MessageOnlyWindow()
        : window_(CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr),
                                  nullptr)) {}
    ~MessageOnlyWindow() {
        if (window_) DestroyWindow(window_);
    }
    MessageOnlyWindow(const MessageOnlyWindow&) = delete;
    MessageOnlyWindow& operator=(const MessageOnlyWindow&) = delete;
    HWND Get() const { return window_; }

private:
    HWND window_;
};

// Waits for the next poll: the interval, or a message (a child ended), handled.
void WaitForPoll() {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, kPollIntervalMs, QS_ALLINPUT);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
}

bool AnyFails(LoadCodecList& codecs) {
    for (SIZE_T i = 0; i < codecs.Count(); ++i) {
        if (codecs[i].outcome == OutcomeFails) return true;
    }
    return false;
}

}  // namespace

int RunReportCommand(const ProgramCommand& command) {
    // Where a child's walk of the compressors crashed or hung, the report is
    // made without the lists and says why; nobody is asked anything.
    GrowingText text;
    const unsigned problems = BuildCodecReport(text);
    return EndCommand(command, WriteReportFile(command.file, text), problems != 0);
}

int RunLoadCheckCommand(const ProgramCommand& command) {
    LoadCheckRun run;
    const MessageOnlyWindow wake;
    if (wake.Get()) run.PostOnChildEnd(wake.Get(), kChildEnded);
    run.Start();
    LoadRunState state;
    while ((state = run.Poll()) == LoadRunning) WaitForPoll();
    HeapArray<LoadRow> rows;
    ArrangeLoadRows(run, rows);
    GrowingText text;
    BuildLoadReport(run, state, rows, text);
    const bool problems = state != LoadDone || AnyFails(run.Own()) || AnyFails(run.Other());
    return EndCommand(command, WriteReportFile(command.file, text), problems);
}
