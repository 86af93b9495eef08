#include "child_process.h"

#include "../base/app_state.h"
#include "../base/bounded_text.h"
#include "../base/elevation.h"
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

bool ChildProcess::Start(const wchar_t* arguments, const ChildLimits& limits, HANDLE inherited) {
    if (process_.Process() || !Launch(arguments, inherited)) return false;
    limits_ = limits;
    clockStart_ = GetTickCount64();
    clockLimit_ = limits_.timeMs;
    state_ = ChildRunning;
    return true;
}

bool ChildProcess::Launch(const wchar_t* arguments, HANDLE inherited) {
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
    // Only the child's end is inherited.
    SetHandleInformation(pipe_.Get(), HANDLE_FLAG_INHERIT, 0);
    if (inherited) SetHandleInformation(inherited, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd.Get();
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
    writeEnd.Close();  // the pipe now ends when the child does
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
}

void ChildProcess::RestartClock(DWORD timeMs) {
    clockStart_ = GetTickCount64();
    clockLimit_ = timeMs;
}

bool ChildProcess::ReadAvailable() {
    DWORD available = 0;
    if (!PeekNamedPipe(pipe_.Get(), nullptr, 0, nullptr, &available, nullptr) || available == 0) return true;
    const DWORD wanted = available < kPollBytesAtMost ? available : kPollBytesAtMost;
    if (!bytes_.Reserve(byteCount_ + wanted + sizeof(wchar_t))) return false;
    DWORD got = 0;
    if (!ReadFile(pipe_.Get(), bytes_.Get() + byteCount_, wanted, &got, nullptr) || got == 0) return true;
    bytesReceived_ += got;
    if (bytesReceived_ > limits_.bytes) return false;
    return TakeLines(got);
}

// Hands each line completed by the newBytes just read to the reader and keeps
// the rest for later; false when the rest is already longer than any line.
bool ChildProcess::TakeLines(SIZE_T newBytes) {
    wchar_t* chars = reinterpret_cast<wchar_t*>(bytes_.Get());
    const SIZE_T count = (byteCount_ + newBytes) / sizeof(wchar_t);
    // Only the new characters can end a line (the held ones were looked at).
    SIZE_T i = byteCount_ / sizeof(wchar_t);
    byteCount_ += newBytes;
    SIZE_T start = 0;
    for (; i < count; ++i) {
        if (chars[i] != L'\n') continue;
        chars[i] = L'\0';
        reader_.TakeLine(chars + start);
        start = i + 1;
    }
    const SIZE_T keptBytes = byteCount_ - start * sizeof(wchar_t);
    memmove(bytes_.Get(), bytes_.Get() + start * sizeof(wchar_t), keptBytes);
    byteCount_ = keptBytes;
    return byteCount_ < limits_.lineChars * sizeof(wchar_t);
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
    TerminateProcess(process_.Process(), 1);
    WaitForSingleObject(process_.Process(), 2000);
    state_ = state;
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
