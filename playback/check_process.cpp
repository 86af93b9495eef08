#include "check_process.h"

#include "../base/bounded_text.h"
#include "graph_child.h"

#include <cwchar>
#include <iterator>

PlaybackCheckRun::PlaybackCheckRun(const wchar_t* path) {
    state_ = CheckNotStarted;
    wchar_t exe[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, exe, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    wchar_t commandLine[2 * MAX_PATH + kNameCapacity];
    if (FormatText(commandLine, std::size(commandLine), L"\"%ls\" %ls \"%ls\"", exe, kPlaybackCheckOption, path) !=
        kTextOk) {
        return;
    }
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    KernelHandle writeEnd;
    if (!CreatePipe(pipe_.Put(), writeEnd.Put(), &inherit, 64 * 1024)) return;
    // Only the child's end is inherited.
    SetHandleInformation(pipe_.Get(), HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = writeEnd.Get();
    startup.hStdError = nullptr;
    const BOOL created = CreateProcessW(exe, commandLine, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                                        process_.Get());
    writeEnd.Close();  // the pipe now ends when the child does
    if (!created) return;
    started_ = GetTickCount64();
    state_ = CheckRunning;
}

PlaybackCheckRun::~PlaybackCheckRun() {
    if (state_ == CheckRunning && process_.Process()) TerminateProcess(process_.Process(), 1);
}

void PlaybackCheckRun::ReadAvailable() {
    for (;;) {
        DWORD available = 0;
        if (!PeekNamedPipe(pipe_.Get(), nullptr, 0, nullptr, &available, nullptr) || available == 0) return;
        if (!bytes_.Reserve(byteCount_ + available + sizeof(wchar_t))) return;
        DWORD got = 0;
        if (!ReadFile(pipe_.Get(), bytes_.Get() + byteCount_, available, &got, nullptr) || got == 0) return;
        byteCount_ += got;
        TakeLines();
    }
}

// Hands each complete line to the report and keeps the rest for later.
void PlaybackCheckRun::TakeLines() {
    wchar_t* chars = reinterpret_cast<wchar_t*>(bytes_.Get());
    const SIZE_T count = byteCount_ / sizeof(wchar_t);
    SIZE_T start = 0;
    for (SIZE_T i = 0; i < count; ++i) {
        if (chars[i] != L'\n') continue;
        chars[i] = L'\0';
        ReadReportLine(report_, chars + start);
        start = i + 1;
    }
    const SIZE_T keptBytes = byteCount_ - start * sizeof(wchar_t);
    memmove(bytes_.Get(), bytes_.Get() + start * sizeof(wchar_t), keptBytes);
    byteCount_ = keptBytes;
}

CheckState PlaybackCheckRun::Poll() {
    if (state_ != CheckRunning) return state_;
    ReadAvailable();
    if (report_.finished) {
        state_ = CheckFinished;
    } else if (WaitForSingleObject(process_.Process(), 0) == WAIT_OBJECT_0) {
        ReadAvailable();  // what it wrote before it ended
        state_ = report_.finished ? CheckFinished : CheckCrashed;
    } else if (GetTickCount64() - started_ >= kCheckTimeLimitMs) {
        TerminateProcess(process_.Process(), 1);
        WaitForSingleObject(process_.Process(), 2000);
        ReadAvailable();
        state_ = CheckTimedOut;
    }
    return state_;
}
