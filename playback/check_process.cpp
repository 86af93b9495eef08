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

namespace {

// What one poll reads at most: a poll every few milliseconds takes a whole
// report in well under a second, and never holds the program up.
constexpr DWORD kPollBytesAtMost = 64 * 1024;
// The most a line the child writes holds, its line feed included.
constexpr SIZE_T kLineBytesAtMost = (kReportLineCapacity - 1) * sizeof(wchar_t);

}  // namespace

bool PlaybackCheckRun::ReadAvailable() {
    DWORD available = 0;
    if (!PeekNamedPipe(pipe_.Get(), nullptr, 0, nullptr, &available, nullptr) || available == 0) return true;
    const DWORD wanted = available < kPollBytesAtMost ? available : kPollBytesAtMost;
    if (!bytes_.Reserve(byteCount_ + wanted + sizeof(wchar_t))) return false;
    DWORD got = 0;
    if (!ReadFile(pipe_.Get(), bytes_.Get() + byteCount_, wanted, &got, nullptr) || got == 0) return true;
    bytesReceived_ += got;
    if (bytesReceived_ > kReportBytesAtMost) return false;
    return TakeLines(got);
}

// Hands each line completed by the newBytes just read to the report and keeps
// the rest for later; false when the rest is already longer than any line.
bool PlaybackCheckRun::TakeLines(SIZE_T newBytes) {
    wchar_t* chars = reinterpret_cast<wchar_t*>(bytes_.Get());
    const SIZE_T count = (byteCount_ + newBytes) / sizeof(wchar_t);
    // Only the new characters can end a line (the held ones were looked at).
    SIZE_T i = byteCount_ / sizeof(wchar_t);
    byteCount_ += newBytes;
    SIZE_T start = 0;
    for (; i < count; ++i) {
        if (chars[i] != L'\n') continue;
        chars[i] = L'\0';
        ReadReportLine(report_, chars + start);
        start = i + 1;
    }
    const SIZE_T keptBytes = byteCount_ - start * sizeof(wchar_t);
    memmove(bytes_.Get(), bytes_.Get() + start * sizeof(wchar_t), keptBytes);
    byteCount_ = keptBytes;
    return byteCount_ < kLineBytesAtMost;
}

bool PlaybackCheckRun::Drain() {
    for (int round = 0; round < 64 && !report_.finished; ++round) {
        DWORD available = 0;
        if (!PeekNamedPipe(pipe_.Get(), nullptr, 0, nullptr, &available, nullptr) || available == 0) return true;
        if (!ReadAvailable()) return false;
    }
    return true;
}

void PlaybackCheckRun::End(CheckState state) {
    TerminateProcess(process_.Process(), 1);
    WaitForSingleObject(process_.Process(), 2000);
    state_ = state;
}

CheckState PlaybackCheckRun::Poll() {
    if (state_ != CheckRunning) return state_;
    if (!ReadAvailable()) {
        End(CheckFlooded);
    } else if (report_.finished) {
        state_ = CheckFinished;
    } else if (WaitForSingleObject(process_.Process(), 0) == WAIT_OBJECT_0) {
        // What it wrote before it ended, no more than the pipe held.
        const bool sound = Drain();
        state_ = !sound ? CheckFlooded : report_.finished ? CheckFinished : CheckCrashed;
    } else if (GetTickCount64() - started_ >= kCheckTimeLimitMs) {
        End(CheckTimedOut);
        Drain();  // the name of the filter it was trying may still be in the pipe
    }
    return state_;
}
