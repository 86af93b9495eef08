// The program's side of the playback check: starts the child process for a
// file, collects its report as it arrives, and ends a child that crashed or
// that still works after the time limit. Polled from the dialog's timer, so
// that the program's windows keep answering meanwhile.
#pragma once
#include "../base/scoped.h"
#include "check_report.h"

constexpr DWORD kCheckTimeLimitMs = 15000;

enum CheckState {
    CheckRunning,
    CheckFinished,    // the child sent its whole report
    CheckCrashed,     // the child ended without it
    CheckTimedOut,    // the child was ended at the time limit
    CheckNotStarted,  // the child could not be started
};

class PlaybackCheckRun {
public:
    explicit PlaybackCheckRun(const wchar_t* path);
    ~PlaybackCheckRun();
    PlaybackCheckRun(const PlaybackCheckRun&) = delete;
    PlaybackCheckRun& operator=(const PlaybackCheckRun&) = delete;

    // Reads what the child has sent; once the check is over, the same state
    // is given on every later call.
    CheckState Poll();
    const CheckReport& Report() const { return report_; }

private:
    void ReadAvailable();
    void TakeLines();

    CheckState state_ = CheckRunning;
    KernelHandle pipe_;  // the reading end
    ProcessHandles process_;
    ULONGLONG started_ = 0;
    HeapBuffer bytes_;
    SIZE_T byteCount_ = 0;
    CheckReport report_;
};
