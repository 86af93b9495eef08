#include "child_process.h"

#include "../base/app_state.h"
#include "../base/bounded_text.h"
#include "../base/elevation.h"
#include "child_lines.h"
#include "restricted_token.h"

#include <cwchar>
#include <iterator>

const wchar_t kCheckedWithAdministratorRights[] = L"Проверка выполнена с правами администратора";

namespace {

// What one poll reads at most: a poll every few milliseconds takes a whole
// report in well under a second, and never holds the program up.
constexpr DWORD kPollBytesAtMost = 64 * 1024;

// Ends the job's processes when its last handle closes: the program's end,
// however it ends, takes the child with it.
bool MakeJob(KernelHandle& job) {
    *job.Put() = CreateJobObjectW(nullptr, nullptr);
    if (!job) return false;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    return SetInformationJobObject(job.Get(), JobObjectExtendedLimitInformation, &limits, sizeof(limits)) != FALSE;
}

}  // namespace

bool ChildProcess::Start(const wchar_t* arguments, const ChildLimits& limits, HANDLE inherited, bool input) {
    if (process_.Process() || !Launch(arguments, inherited, input)) return false;
    limits_ = limits;
    lines_.Reset(limits.lineChars, limits.bytes);
    clockStart_ = GetTickCount64();
    clockLimit_ = limits_.timeMs;
    state_ = ChildRunning;
    return true;
}

bool ChildProcess::Launch(const wchar_t* arguments, HANDLE inherited, bool input) {
    wchar_t exe[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, exe, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return false;
    wchar_t commandLine[2 * MAX_PATH + 2 * kNameCapacity];
    if (FormatText(commandLine, std::size(commandLine), L"\"%ls\" %ls", exe, arguments) != kTextOk) return false;
    wchar_t systemFolder[MAX_PATH];
    const UINT folderLength = GetSystemDirectoryW(systemFolder, MAX_PATH);
    const wchar_t* folder = folderLength > 0 && folderLength < MAX_PATH ? systemFolder : nullptr;

    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    KernelHandle writeEnd;
    if (!CreatePipe(pipe_.Put(), writeEnd.Put(), &inherit, 64 * 1024)) return false;
    // Only the child's ends are inherited.
    SetHandleInformation(pipe_.Get(), HANDLE_FLAG_INHERIT, 0);
    KernelHandle readEnd;
    if (input) {
        if (!CreatePipe(readEnd.Put(), input_.Put(), &inherit, 4096)) return false;
        SetHandleInformation(input_.Get(), HANDLE_FLAG_INHERIT, 0);
    }
    if (inherited) SetHandleInformation(inherited, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd.Get();
    startup.hStdInput = readEnd.Get();
    // Suspended until it belongs to the job.
    const DWORD flags = CREATE_SUSPENDED;
    BOOL created = FALSE;
    if (ProcessIsElevated()) {
        KernelHandle token;
        if (MakeRestrictedToken(token)) {
            created = CreateProcessAsUserW(token.Get(), exe, commandLine, nullptr, nullptr, TRUE, flags, nullptr, folder,
                                           &startup, process_.Get());
        }
        elevated_ = !created;
    }
    if (!created) {
        created = CreateProcessW(exe, commandLine, nullptr, nullptr, TRUE, flags, nullptr, folder, &startup,
                                 process_.Get());
    }
    writeEnd.Close();  // the pipes now end when the child does
    readEnd.Close();
    if (inherited) SetHandleInformation(inherited, HANDLE_FLAG_INHERIT, 0);
    if (!created) return false;
    // Where the program already runs in a job that allows no other, the
    // child goes without one: the checks end it themselves on every path.
    if (MakeJob(job_)) AssignProcessToJobObject(job_.Get(), process_.Process());
    ResumeThread(process_.Get()->hThread);
    return true;
}

ChildProcess::~ChildProcess() {
    if (state_ == ChildRunning && process_.Process()) TerminateProcess(process_.Process(), 1);
    // Waits for a call of the wait's callback under way, which uses endMessage_.
    if (endWait_) UnregisterWaitEx(endWait_, INVALID_HANDLE_VALUE);
}

namespace {

void CALLBACK PostEndEvent(void* context, BOOLEAN) {
    const auto* end = static_cast<const ChildEndMessage*>(context);
    PostMessageW(end->window, end->message, 0, 0);
}

}  // namespace

void ChildProcess::PostOnEnd(HWND window, UINT message) {
    if (endWait_ || !process_.Process()) return;
    endMessage_ = {window, message};
    if (!RegisterWaitForSingleObject(&endWait_, process_.Process(), PostEndEvent, &endMessage_, INFINITE,
                                     WT_EXECUTEONLYONCE)) {
        endWait_ = nullptr;
    }
}

bool ChildProcess::Send(const wchar_t* line) {
    if (!input_ || state_ != ChildRunning) return false;
    wchar_t text[kChildLineCapacity];
    if (FormatText(text, kChildLineCapacity, L"%ls\n", line) != kTextOk) return false;
    DWORD written = 0;
    const DWORD bytes = static_cast<DWORD>(wcslen(text) * sizeof(wchar_t));
    return WriteFile(input_.Get(), text, bytes, &written, nullptr) && written == bytes;
}

void ChildProcess::RestartClock(DWORD timeMs) {
    clockStart_ = GetTickCount64();
    clockLimit_ = timeMs;
}

bool ChildProcess::ReadAvailable() {
    DWORD available = 0;
    if (!PeekNamedPipe(pipe_.Get(), nullptr, 0, nullptr, &available, nullptr) || available == 0) return true;
    const DWORD wanted = available < kPollBytesAtMost ? available : kPollBytesAtMost;
    if (!chunk_.Reserve(wanted)) return false;
    DWORD got = 0;
    if (!ReadFile(pipe_.Get(), chunk_.Get(), wanted, &got, nullptr) || got == 0) return true;
    return lines_.Take(chunk_.Get(), got, reader_);
}

bool ChildProcess::Drain() {
    for (int round = 0; round < 64 && !reader_.Complete(); ++round) {
        DWORD available = 0;
        if (!PeekNamedPipe(pipe_.Get(), nullptr, 0, nullptr, &available, nullptr) || available == 0) return true;
        if (!ReadAvailable()) return false;
    }
    return true;
}

void ChildProcess::End(ChildState state) {
    if (state_ != ChildRunning) return;
    TerminateProcess(process_.Process(), 1);
    WaitForSingleObject(process_.Process(), 2000);
    state_ = state;
}

void ChildProcess::WaitForEnd(DWORD ms) const {
    if (state_ == ChildRunning) WaitForSingleObject(process_.Process(), ms);
}

ChildState ChildProcess::Poll() {
    if (state_ != ChildRunning) return state_;
    if (!ReadAvailable()) {
        End(ChildFlooded);
    } else if (reader_.Complete()) {
        state_ = ChildFinished;
    } else if (WaitForSingleObject(process_.Process(), 0) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process_.Process(), &exitCode_);
        // What it wrote before it ended, no more than the pipe held.
        const bool sound = Drain();
        state_ = !sound ? ChildFlooded : reader_.Complete() ? ChildFinished : ChildCrashed;
    } else if (GetTickCount64() - clockStart_ >= clockLimit_) {
        End(ChildTimedOut);
        Drain();  // what it was doing may still be in the pipe
    }
    return state_;
}
